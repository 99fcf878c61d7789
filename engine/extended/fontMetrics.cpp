#include "engine/extended/fontMetrics.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/extended/fontTables.h"

namespace pdf {

// The 14 fonts with their code tables filled in, made once: the tables are
// constant data, shared by every document and thread.
struct StandardFontSet {
    std::vector<std::unique_ptr<StandardFont>> fonts;
    StandardFontSet()
    {
        for (size_t i = 0; i < tables::kStandardFontsSize; ++i) {
            auto f = std::unique_ptr<StandardFont>(new StandardFont(tables::kStandardFonts[i]));
            const tables::AfmFont& t = tables::kStandardFonts[i];
            for (size_t g = 0; g < t.count; ++g)
                if (t.glyphs[g].code >= 0 && t.glyphs[g].code < 256)
                    f->codes_[t.glyphs[g].code] = tables::nameAt(t.glyphs[g].name);
            fonts.push_back(std::move(f));
        }
    }
    const StandardFont* byName(std::string_view name) const
    {
        for (const auto& f : fonts)
            if (f->name() == name)
                return f.get();
        return nullptr;
    }
};

namespace {

const StandardFontSet& standardFonts()
{
    static const StandardFontSet set; // immutable after its thread-safe construction
    return set;
}

bool contains(std::string_view s, std::string_view part) { return s.find(part) != std::string_view::npos; }

} // namespace

const StandardFont* StandardFont::find(std::string_view baseFont)
{
    if (baseFont.size() > 7 && baseFont[6] == '+')
        baseFont.remove_prefix(7);
    const StandardFontSet& set = standardFonts();
    if (const StandardFont* f = set.byName(baseFont))
        return f;
    // Other names of the same faces: families by their usual names, styles
    // by the words in the name.
    std::string family;
    if (baseFont.starts_with("Arial") || baseFont.starts_with("Helvetica"))
        family = "Helvetica";
    else if (baseFont.starts_with("TimesNewRoman") || baseFont.starts_with("Times"))
        family = "Times";
    else if (baseFont.starts_with("CourierNew") || baseFont.starts_with("Courier"))
        family = "Courier";
    else if (baseFont.starts_with("Symbol"))
        return set.byName("Symbol");
    else if (baseFont.starts_with("ZapfDingbats"))
        return set.byName("ZapfDingbats");
    else
        return nullptr;
    bool bold = contains(baseFont, "Bold") || contains(baseFont, "Black");
    bool italic = contains(baseFont, "Italic") || contains(baseFont, "Oblique");
    std::string name = family;
    if (family == "Times")
        name += bold ? (italic ? "-BoldItalic" : "-Bold") : (italic ? "-Italic" : "-Roman");
    else if (bold || italic)
        name += std::string("-") + (bold ? "Bold" : "") + (italic ? "Oblique" : "");
    return set.byName(name);
}

std::string_view StandardFont::name() const { return font_.name; }

std::optional<double> StandardFont::width(std::string_view glyphName) const
{
    const tables::AfmGlyph* end = font_.glyphs + font_.count;
    const tables::AfmGlyph* it = std::lower_bound(
        font_.glyphs, end, glyphName,
        [](const tables::AfmGlyph& g, std::string_view n) { return tables::nameBefore(tables::nameAt(g.name), n); });
    if (it == end || tables::nameAt(it->name) != glyphName)
        return std::nullopt;
    return it->width;
}

std::string_view StandardFont::builtinName(int code) const
{
    return code >= 0 && code < 256 ? codes_[code] : std::string_view();
}

bool StandardFont::symbolic() const { return name() == "Symbol" || name() == "ZapfDingbats"; }

} // namespace pdf
