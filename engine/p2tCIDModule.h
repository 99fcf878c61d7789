// The CID table: Adobe-Japan1 CIDs 0 to 15443 -> their text, loaded at
// start-up from "AdobeCID.dat" in the program's data folder (its own folder,
// or the installation's data folder: platform::dataFolder).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/frontEnd.h"

struct CidTable {
    static constexpr int32_t kLastCid = 15443;
    // Each CID's text in code page 932 bytes, eight bytes a CID: hexadecimal
    // strings look up one CID after another, and the small table stays in
    // the processor's cache. A text of more than seven bytes (a few hundred
    // CIDs) lies in longTexts, its index in the first four bytes. Empty until
    // the table is loaded: every CID then gives no text.
    struct ShortText {
        char bytes[7];
        uint8_t length; // kLong: the text is longer, see longTexts
    };
    static constexpr uint8_t kLong = 0xFF;
    std::vector<ShortText> shortTexts;
    std::vector<std::string> longTexts;
};

inline constexpr const char* kCidDataFileName = "AdobeCID.dat";

// Loads the table from "AdobeCID.dat" in the data folder of the program that
// runs from programFolder. Returns false after showing the error box when the
// file cannot be read or has too few lines (the caller then ends the program). A file that is not zlib data leaves the table
// empty and returns true, without a message.
bool p2tCIDInit(CidTable& table, const std::string& programFolder, MessageBoxes& boxes);

// Fills the table from the inflated text of the data file; false when it has
// fewer than 15,443 lines.
bool p2tCIDLoadText(CidTable& table, const std::vector<uint8_t>& text);
