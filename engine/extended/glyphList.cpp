#include "engine/extended/glyphList.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "engine/extended/fontTables.h"
#include "engine/extended/lexer.h"

namespace pdf {

namespace {

const char32_t* findName(const tables::NamedText* list, size_t size, std::string_view name)
{
    const tables::NamedText* end = list + size;
    const tables::NamedText* it = std::lower_bound(
        list, end, name,
        [](const tables::NamedText& e, std::string_view n) { return tables::nameBefore(tables::nameAt(e.name), n); });
    return it != end && tables::nameAt(it->name) == name ? tables::textAt(it->text) : nullptr;
}

// `digits` hex digits at the start of `s` as a number; -1 if any is not one.
long hexValue(std::string_view s, size_t digits)
{
    long v = 0;
    for (size_t i = 0; i < digits; ++i) {
        int d = hexDigitValue(static_cast<uint8_t>(s[i]));
        if (d < 0)
            return -1;
        v = v * 16 + d;
    }
    return v;
}

bool isScalar(long c) { return c >= 0 && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

bool isPrivateUse(char32_t c) { return c >= 0xE000 && c <= 0xF8FF; }

// The lower case of the Latin capitals the expert set draws small.
char32_t lowerLatin(char32_t c)
{
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return c + 0x20;
    switch (c) {
    case 0x141: case 0x152: case 0x160: case 0x17D: return c + 1; // Ł Œ Š Ž
    case 0x178: return 0xFF;                                   // Ÿ
    default: return c;
    }
}

// The glyph list gives the expert set's styled glyphs ("Asmall",
// "oneoldstyle", "dollarsuperior") private use codes, which no one can
// search or read: they are written as the characters they are styles of, a
// small capital as its lower case letter.
bool expertStyleText(std::string_view name, std::u32string& out)
{
    for (std::string_view style : {"small", "oldstyle", "superior", "inferior", "fitted"}) {
        if (name.size() <= style.size() || !name.ends_with(style))
            continue;
        std::string stem(name.substr(0, name.size() - style.size()));
        const char32_t* t = findName(tables::kGlyphList, tables::kGlyphListSize, stem);
        if (!t) { // "Brevesmall": the accent's own name is in lower case
            stem[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(stem[0])));
            t = findName(tables::kGlyphList, tables::kGlyphListSize, stem);
        }
        if (!t || isPrivateUse(*t))
            return false;
        for (; *t; ++t)
            out += style == "small" ? lowerLatin(*t) : *t;
        return true;
    }
    return false;
}

// One component of a name (no underscores, no suffix).
bool componentText(std::string_view name, bool dingbats, std::u32string& out)
{
    if (dingbats)
        if (const char32_t* t = findName(tables::kDingbatNames, tables::kDingbatNamesSize, name)) {
            out += t;
            return true;
        }
    if (const char32_t* t = findName(tables::kGlyphList, tables::kGlyphListSize, name)) {
        if (isPrivateUse(*t) && expertStyleText(name, out))
            return true;
        out += t;
        return true;
    }
    // "uni" and groups of four hex digits.
    if (name.size() >= 7 && name.substr(0, 3) == "uni" && (name.size() - 3) % 4 == 0) {
        std::u32string text;
        for (size_t i = 3; i < name.size(); i += 4) {
            long c = hexValue(name.substr(i), 4);
            if (!isScalar(c))
                return false;
            text += static_cast<char32_t>(c);
        }
        out += text;
        return true;
    }
    // "u" and four to six hex digits.
    if (name.size() >= 5 && name.size() <= 7 && name[0] == 'u') {
        long c = hexValue(name.substr(1), name.size() - 1);
        if (!isScalar(c))
            return false;
        out += static_cast<char32_t>(c);
        return true;
    }
    return false;
}

} // namespace

std::u32string glyphNameText(std::string_view name, bool dingbats)
{
    if (size_t dot = name.find('.'); dot != std::string_view::npos)
        name = name.substr(0, dot);
    std::u32string out;
    if (name.empty() || name.size() > 256)
        return out;
    while (!name.empty()) {
        size_t bar = name.find('_');
        componentText(name.substr(0, bar), dingbats, out);
        if (bar == std::string_view::npos)
            break;
        name.remove_prefix(bar + 1);
    }
    return out;
}

} // namespace pdf
