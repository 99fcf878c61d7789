// The extended reading mode's conversion of one PDF: the document opened by
// the extended reader, its pages in order, each page's text.
#pragma once

#include <memory>

#include "engine/extended/fonts.h"
#include "engine/extended/textLayout.h"

struct p2tEngine;

namespace pdf {
class Document;
struct Page;
} // namespace pdf

// Writes the text of one page (between its header and footer); false when
// the file must stop (its decode budget is spent).
bool appendPageText(p2tEngine& eng, pdf::Document& document, const pdf::Page& page);

// Writes one page's content streams through the default mode's line
// analysis instead: what the file structure alone gives and costs. The
// benchmark measures it, and the tests hold it to the default mode's text.
bool appendPageTextByLines(p2tEngine& eng, pdf::Document& document, const pdf::Page& page);

using PageTextWriter = bool (*)(p2tEngine& eng, pdf::Document& document, const pdf::Page& page);

// The extended mode's state for the file being converted; reset per file.
struct p2tExtendedState {
    p2tExtendedState();
    ~p2tExtendedState();
    std::unique_ptr<pdf::Document> document;
    pdf::FontCache fonts; // the document's fonts, each read once
    std::unique_ptr<pdf::TextLayout> layout; // one for every page of every file: its tables are made once
    // The predefined CMaps, read from disk when a font first names one and
    // kept from file to file.
    std::unique_ptr<pdf::PredefinedCMaps> cmaps;
    pdf::EncodingGlyphs encodingGlyphs; // kept from file to file too
    PageTextWriter writePage = appendPageText; // appendPageTextByLines() to read the file structure alone; kept from file to file
};

// Converts the open PDF (eng.fileNo) into the open text file: nullptr when
// every page was written or the run was cancelled, else the failure's
// message for the processing log. The caller closes the files.
const char* p2tExtendedConvert(p2tEngine& eng);
