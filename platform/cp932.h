// Code page 932 (Shift-JIS as Windows has it): the code page of every text
// file the program reads or writes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The character a single byte stands for when taken on its own: ASCII for
// 0x00-0x7F, half-width katakana (U+FF61-U+FF9F) for 0xA1-0xDF, and
// kNoCharacter for every other byte.
inline constexpr char32_t kNoCharacter = 0xFFFFFFFF;
char32_t cp932SingleByte(uint8_t b);

// True when c has a code page 932 form of its own (NUL included).
bool hasCp932Form(char32_t c);

// UTF-16 <-> code page 932. A character without a CP932 form becomes "?".
// Bytes that do not decode (a lone lead byte, an unassigned code) become "?".
std::string toCp932(std::u16string_view text);
std::u16string fromCp932(std::string_view bytes);

// The same for UTF-8, in which the program keeps paths and messages.
std::string utf8ToCp932(std::string_view utf8);
std::string cp932ToUtf8(std::string_view bytes);

std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view text);

} // namespace platform
