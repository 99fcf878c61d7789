// The encodings of simple fonts: the named base encodings, the built-in
// encodings of Symbol and ZapfDingbats, and /Differences over them.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "engine/extended/pdfObject.h"

namespace pdf {

enum class BaseEncoding : uint8_t { Standard, WinAnsi, MacRoman, MacExpert, Symbol, ZapfDingbats };

// "WinAnsiEncoding" and the other names /Encoding and /BaseEncoding take.
std::optional<BaseEncoding> baseEncodingNamed(std::string_view name);

// The glyph name of a code; empty where the encoding has none.
std::string_view encodingGlyphName(BaseEncoding encoding, int code);

// A simple font's code -> glyph name table.
using GlyphNames = std::array<std::string, 256>;

GlyphNames glyphNamesOf(BaseEncoding encoding);

// Applies a /Differences array: a code, then the names of it and the codes
// after it, then another code... Codes outside 0..255 and objects of other
// kinds are passed over.
void applyDifferences(const Array& differences, GlyphNames& names);

} // namespace pdf
