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
};

// Writes the text of one page (between its header and footer); false when
// the file must stop (its decode budget is spent).
bool appendPageText(p2tEngine& eng, pdf::Document& document, const pdf::Page& page);

// How a page's text is written: appendPageText(), or for the benchmark's
// measure of the file structure alone, the default mode's line analysis.
using PageTextWriter = bool (*)(p2tEngine& eng, pdf::Document& document, const pdf::Page& page);

// Converts the open PDF (eng.fileNo) into the open text file: nullptr when
// every page was written or the run was cancelled, else the failure's
// message for the processing log. The caller closes the files.
const char* p2tExtendedConvert(p2tEngine& eng, PageTextWriter writePage = appendPageText);
