// Glyph names to Unicode: the Adobe Glyph List, the names "uniXXXX" and
// "uXXXX[XX]", ligature names joined by underscores ("f_f_i") and names
// with a suffix after a period ("a.sc").
#pragma once

#include <string>
#include <string_view>

namespace pdf {

// The text a glyph name stands for; empty when the name says nothing
// ("g12", ".notdef", names no list knows). `dingbats`: the names of the
// ZapfDingbats font ("a1") are read first.
std::u32string glyphNameText(std::string_view name, bool dingbats = false);

} // namespace pdf
