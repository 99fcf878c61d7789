// The conversion settings, held in memory for the whole run of the program.
#pragma once

#include <string>

// The encoding of the text files.
enum class TextEncoding { Cp932, Utf8 }; // Utf8: without a byte order mark

struct Settings {
    static constexpr const char* kDefaultFormat = "---%P/%A---";

    bool OWConfirm = true;  // ask before overwriting an existing text file
    bool CRLF = true;       // line breaks at text-matrix and next-line operators
    bool headfootUse[2] = {true, false};                        // 0 header, 1 footer
    std::string headfootFormat[2] = {kDefaultFormat, kDefaultFormat}; // UTF-8
    bool subFolder = true;  // include subfolders in a folder run
    bool extended = false;  // extended reading (newer file structures)
    TextEncoding encoding = TextEncoding::Cp932;
};
