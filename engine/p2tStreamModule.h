// Decoding the strings of content streams: bytes to characters, string
// operands, CID hex strings, and Flate data.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/p2tCIDModule.h"
#include "engine/p2tFileReadModule.h"

struct p2tEngine;

// The character each byte stands for on its own, one character per byte:
// ASCII and half-width katakana keep their byte; any other byte becomes a
// space. The result is code page 932 bytes, one per input byte.
std::string p2tByteData2Str(p2tEngine& eng, const std::vector<uint8_t>& data);
char p2tByteChar(uint8_t b);

// The text of all string operands on one line (code page 932 bytes).
std::string p2tStringOperands2Str(const CidTable& table, std::string_view line);
// The same for the line's bytes followed by suffix, each byte taken as its own
// character (p2tByteChar), appended to out, without NULs when dropNul.
void p2tAppendStringOperands(const CidTable& table, std::string_view line, std::string_view suffix, std::string& out,
                             bool dropNul);
std::string p2tHexCID2Str(const CidTable& table, std::string_view hexDigits);
const std::string& p2tCID2Str(const CidTable& table, int32_t cid);

// Inflates a "/FlateDecode" stream; sets eng.flateFailed. The bytes lie in
// the engine's inflate buffer and stay valid until the next call.
std::string_view p2tFlateDecode(p2tEngine& eng, const p2tBytes& data, int32_t dataSize);
