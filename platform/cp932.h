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

// The one code page 932 character that stands for c: its own code, else, for
// the JIS forms that the converter's inverse misses (U+00A2, U+00A3, U+00AC,
// U+2212, U+301C, U+2016), the code page 932 character Japanese text means by
// them (0x8191, 0x8192, 0x81CA, 0x817C, 0x8160, 0x8161). Single bytes come as
// themselves; 0 when there is none (and for NUL).
uint16_t cp932CodeOf(char32_t c);

// The code page 932 text that shows c, for text that must say what a
// character means: cp932CodeOf(c), else the text of c's compatibility form
// when every character of that form has a code. The compatibility form is the
// plain character of a vertical, wide, narrow, small or font variant (a
// vertical ellipsis is the ellipsis), else c's NFKC form (U+FB01 "fi" ligature
// gives "fi", U+33A0 gives "cm2"). NUL gives one zero byte; empty when c has
// no such text.
std::string cp932TextOf(char32_t c);
// The same appended to `out`, for text written a character at a time.
void appendCp932TextOf(std::string& out, char32_t c);
// UTF-8 text with each character as cp932TextOf gives it (a surrogate pair
// spelt in two UTF-8 sequences is its one character).
std::string utf8ToCp932Text(std::string_view utf8);

// UTF-16 <-> code page 932. A character without a CP932 form becomes "?".
// Bytes that do not decode (a lone lead byte, an unassigned code) become "?".
std::string toCp932(std::u16string_view text);
std::u16string fromCp932(std::string_view bytes);
// toCp932(fromCp932(bytes)): the bytes as reading them as text and writing
// that text again leaves them, without the UTF-16 text in between.
std::string cp932RoundTrip(std::string_view bytes);
// Whether cp932RoundTrip leaves the bytes as they are (ASCII, half-width
// katakana, each character's preferred code), told without rebuilding them.
bool cp932RoundTripsAsIs(std::string_view bytes);

// The same for UTF-8, in which the program keeps paths and messages.
std::string utf8ToCp932(std::string_view utf8);
std::string cp932ToUtf8(std::string_view bytes);

std::u16string utf8ToUtf16(std::string_view utf8);
// Decodes the UTF-8 sequence at utf8[i] (i < utf8.size()) and moves i past
// it; a malformed sequence gives U+FFFD.
char32_t nextUtf8(std::string_view utf8, size_t& i);
std::string utf16ToUtf8(std::u16string_view text);

} // namespace platform
