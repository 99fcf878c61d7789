// A font as the content interpreter uses it: the codes of a shown string, the
// Unicode text of each, and how far each moves the pen.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/extended/objectSource.h"
#include "engine/extended/pdfObject.h"

namespace pdf {

struct Glyph {
    uint32_t code = 0;      // as read from the string, through the font's code space
    uint8_t codeLength = 1; // bytes the code took (1 to 4)
    bool wordSpace = false; // the single-byte code 32, to which word spacing applies
    // Its Unicode text; empty when nothing maps it (never a guess). A view
    // into the font, or into the caller's scratch string: valid until the
    // next glyph is read.
    std::u32string_view text;
    double width = 0;       // advance in glyph space (vertical advance for vertical fonts); times fontMatrixScale() gives text space
                            // (vertical: the font's w1y as written, negative going down, -1000 by default)
};

class Font {
public:
    virtual ~Font() = default;
    // The glyph whose code starts at `pos` (< bytes.size()) of a shown
    // string; the next starts `codeLength` bytes further. Glyph by glyph,
    // so that a string of a million glyphs needs no memory of its own.
    virtual Glyph glyphAt(std::string_view bytes, size_t pos, std::u32string& scratch) const = 0;
    virtual bool vertical() const { return false; }
    // A font of one-byte codes whose text and width are a table lookup: the
    // text of each of the 256 codes and its width in glyph space (code 32
    // takes word spacing). Null tables for any other font.
    struct ByteTable {
        const std::u32string* text = nullptr;
        const double* widths = nullptr;
    };
    virtual ByteTable byteTable() const { return {}; }
    // Glyph space to text space: a thousandth for all but Type3 fonts, whose
    // own font matrix says.
    virtual double fontMatrixScale() const { return 0.001; }
};

} // namespace pdf
