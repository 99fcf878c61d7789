// Font dictionaries of a PDF read into fonts the content interpreter uses:
// simple fonts (Type1, MMType1, TrueType, Type3) and composite ones (Type0
// over a CIDFont), with their codes' Unicode text and advances.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "engine/extended/font.h"
#include "engine/extended/objectSource.h"
#include "engine/extended/predefinedCMaps.h"

namespace pdf {

// CMaps read from a document's streams (ToUnicode, embedded encodings) by
// object reference: fonts sharing one stream read it once.
using StreamCMaps = std::unordered_map<uint64_t, std::shared_ptr<const CMap>>;

class StandardFont;
enum class BaseEncoding : uint8_t;

// What the codes of a base encoding read as in a simple font: each glyph
// name's text and, in a standard font, its width (NaN: none). Worked out
// once per engine for each encoding and standard font met: a folder of
// small files names the same few, and reading 256 names through the glyph
// list and the font metrics cost more than the rest of a short page.
class EncodingGlyphs {
public:
    struct Table {
        std::array<std::string_view, 256> name; // the encoding's, static
        std::array<std::u32string, 256> text;
        std::array<double, 256> width;
    };
    const Table& get(BaseEncoding encoding, const StandardFont* standard);

private:
    std::map<std::pair<const StandardFont*, BaseEncoding>, std::unique_ptr<Table>> tables_; // at most 6 x 15
};

// What loading a font needs beyond the document: the predefined CMaps and
// the encodings' glyphs, kept by the engine from file to file, and
// optionally the document's stream CMaps.
struct FontContext {
    PredefinedCMaps& cmaps;
    StreamCMaps* streamCMaps = nullptr;
    EncodingGlyphs* encodingGlyphs = nullptr;
};

// Reads a font dictionary (or a reference to one). Never null: anything that
// is no font reads as a one-byte font whose codes give no text and no
// advance. Bounded on any input: sizes and counts from the file are capped,
// CMaps nest at most kMaxCMapDepth deep.
std::shared_ptr<const Font> loadFont(ObjectSource& source, const Object& fontDictOrRef, FontContext& context);

// The fonts of one document, each read once: by object reference, or, for
// fonts written directly in a resource dictionary, by that dictionary (kept
// alive here, so that its address names it alone); fonts whose dictionaries
// read alike shared whatever names them; and the CMap streams they share.
class FontCache {
public:
    std::shared_ptr<const Font> get(ObjectSource& source, const Object& fontDictOrRef, FontContext& context);
    size_t size() const { return fonts_.size() + direct_.size(); }

    // Fonts (and CMap streams) kept at most; a document with more reads the
    // others each time.
    static constexpr size_t kMaxFonts = 4096;

private:
    std::unordered_map<uint64_t, std::shared_ptr<const Font>> fonts_;
    std::unordered_map<const Dict*, std::pair<Object, std::shared_ptr<const Font>>> direct_;
    std::unordered_map<std::string, std::shared_ptr<const Font>> byContents_; // at most kMaxFonts of 4 KB
    StreamCMaps cmaps_;
};

} // namespace pdf
