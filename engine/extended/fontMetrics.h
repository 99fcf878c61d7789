// The standard 14 fonts: glyph widths and built-in encodings, for fonts a
// file names without giving their widths.
#pragma once

#include <optional>
#include <string_view>

namespace pdf::tables {
struct AfmFont;
}

namespace pdf {

class StandardFont {
public:
    // The standard font a /BaseFont names: the 14 names, a subset prefix
    // ("ABCDEF+"), and the names office programs use for them ("Arial,Bold",
    // "TimesNewRomanPS-ItalicMT", "CourierNew"). Null for any other font.
    static const StandardFont* find(std::string_view baseFont);

    std::string_view name() const;
    // The width of a glyph, in thousandths of the font size.
    std::optional<double> width(std::string_view glyphName) const;
    // The glyph name of a code in the font's own encoding; empty if none.
    std::string_view builtinName(int code) const;
    bool symbolic() const; // Symbol and ZapfDingbats: their own encodings

private:
    explicit StandardFont(const tables::AfmFont& font) : font_(font) {}
    const tables::AfmFont& font_;
    std::string_view codes_[256];
    friend struct StandardFontSet;
};

} // namespace pdf
