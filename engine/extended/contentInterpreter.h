// The content-stream interpreter of the extended reading mode: runs a page's
// operators wherever they stand (a whole page may be one line), keeps the
// graphics and text state, draws Form XObjects, honours marked content's
// /ActualText and hands every glyph, placed on the page, to the layout.
#pragma once

#include <cstdint>
#include <string>

#include "engine/extended/font.h"
#include "engine/extended/objectSource.h"
#include "engine/extended/pdfObject.h"
#include "engine/extended/textLayout.h"

namespace pdf {

// Fonts as the page's resources name them, each loaded once per document.
class FontSource {
public:
    virtual ~FontSource() = default;
    // The font a /Font resource entry names (a reference or a dictionary);
    // null when it cannot be read: its strings then show nothing.
    virtual const Font* font(const Object& fontEntry) = 0;
};

struct ContentLimits {
    int maxFormDepth = 16;        // forms drawing forms
    int maxStateDepth = 256;      // q nesting kept; deeper saves are counted, not kept
    int maxMarkedDepth = 256;     // BMC/BDC nesting kept
    int64_t maxOperators = 20'000'000;
    // Bytes of content a page may decode and read, its forms each time they
    // are drawn included: a small form drawn by forms drawn by forms would
    // otherwise multiply without end.
    int64_t maxContentBytes = int64_t{256} << 20;
};

// Interprets a page: `contents` is the page's /Contents (a stream or an array
// of them, references allowed), `resources` its effective /Resources
// (inherited from the page tree already). Glyphs go to `layout` in the order
// the content draws them. Damage ends the reading quietly; whatever was read
// stays. Answers the bytes of content read, forms each time drawn included.
int64_t interpretPage(ObjectSource& objects, FontSource& fonts, const Object& contents, const Object& resources,
                   TextLayout& layout, const ContentLimits& limits = {});

// A text string of the file (/ActualText): UTF-16BE after its byte order
// mark, UTF-8 after its mark, else PDFDocEncoding.
std::u32string decodeTextString(std::string_view bytes);

} // namespace pdf
