// Tables made at build time (by makeFontTables) from the Adobe Glyph List and
// the metrics of the standard 14 fonts. Read through glyphList.h and
// fontMetrics.h, not directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pdf::tables {

// Whether a table's name sorts before `name` (byte order), read without
// measuring it first: a font's 256 codes are each looked up by name.
inline bool nameBefore(const char* tableName, std::string_view name)
{
    for (size_t i = 0; i < name.size(); ++i) {
        const auto a = static_cast<unsigned char>(tableName[i]), b = static_cast<unsigned char>(name[i]);
        if (a == 0 || a != b)
            return a < b || a == 0; // a shorter table name sorts first
    }
    return false; // equal, or `name` is the shorter
}

// Names and texts lie in two pools, each ended by a NUL, and the tables hold
// their offsets rather than pointers: pointers in a position-independent
// program are patched one by one at every start, tens of thousands of them.
extern const char kNamePool[];
extern const char32_t kTextPool[];

inline const char* nameAt(uint32_t offset) { return kNamePool + offset; }
inline const char32_t* textAt(uint32_t offset) { return kTextPool + offset; }

struct NamedText {
    uint32_t name; // in kNamePool
    uint32_t text; // in kTextPool: one or more code points
};

// Sorted by name (byte order).
extern const NamedText kGlyphList[];
extern const size_t kGlyphListSize;
// The names of the ZapfDingbats font (a1, a2, ...), sorted by name.
extern const NamedText kDingbatNames[];
extern const size_t kDingbatNamesSize;

struct AfmGlyph {
    uint32_t name;  // in kNamePool
    int16_t code;   // in the font's built-in encoding; -1: not encoded
    uint16_t width; // in thousandths of the font size
};

struct AfmFont {
    const char* name; // the standard name ("Helvetica-Bold")
    const AfmGlyph* glyphs; // sorted by name
    size_t count;
};

extern const AfmFont kStandardFonts[];
extern const size_t kStandardFontsSize;

} // namespace pdf::tables
