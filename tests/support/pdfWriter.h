// A small PDF writer for the tests: lays out objects one after the other,
// remembers where each begins, and writes cross-reference sections with the
// right offsets. Damaged files are made by editing what it writes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

std::string deflateBytes(const std::string& data);

// Encoders of the other standard filters, for streams the tests store
// through them: LZW (with early change), ASCII85 (with "~>"), run length,
// and the PNG predictor (row tag `type` 0-4 on every row, or 5 cycling
// through them) over rows of `columns` bytes.
std::string lzwEncode(const std::string& data, bool earlyChange = true);
std::string ascii85Encode(const std::string& data);
std::string runLengthEncode(const std::string& data);
std::string pngPredict(const std::string& data, int columns, int type);

// One row of a cross-reference stream with /W [1 4 2]: type, offset or
// object stream, generation or index.
std::string xrefStreamRow(int type, uint32_t field2, int field3);

class PdfWriter {
public:
    PdfWriter() : out_("%PDF-1.4\n") {}

    // "N G obj\n" body "\nendobj\n"; the offset is remembered for the next xref.
    void object(int number, const std::string& body, int gen = 0);
    // A stream object with /Length (and /Filter /FlateDecode when deflated).
    void stream(int number, const std::string& data, bool deflated = false, const std::string& extraDict = "");
    void raw(const std::string& bytes) { out_ += bytes; }

    // A cross-reference section listing the objects written since the last one
    // (the first one also lists the free entry 0), in one subsection per run
    // of consecutive numbers, then its trailer and "startxref". Returns the
    // section's offset.
    size_t section(const std::string& trailerEntries, bool eofMarker = true);

    // An object stream `number` holding the objects given (number, body);
    // they are listed by the next cross-reference stream.
    void objectStream(int number, const std::vector<std::pair<int, std::string>>& objects);
    // A cross-reference stream `number` listing the objects written since
    // the last section (and those of object streams), deflated with the PNG
    // Up predictor, its dictionary also holding trailerEntries, followed by
    // "startxref" and "%%EOF". For a hybrid file it lists only the objects of
    // object streams and leaves the rest, and the end, to the table section
    // that names it in /XRefStm. Returns its offset.
    size_t xrefStream(int number, const std::string& trailerEntries, bool hybrid = false);

    size_t size() const { return out_.size(); }
    const std::string& str() const { return out_; }

private:
    std::string out_;
    std::map<std::pair<int, int>, size_t> pending_; // (number, gen) -> offset
    std::map<int, std::pair<int, int>> packed_;     // number -> (object stream, index)
    bool firstSection_ = true;
};

// A whole document: catalog 1, page tree root 2, then per page a /Page and a
// content stream of the text given.
std::string simplePdf(const std::vector<std::string>& pageContents, bool deflated = false);
// The same with each page's content stream given as stored, its dictionary
// also holding streamDict (" /Filter /FlateDecode" for data deflated once).
std::string simplePdfOfStreams(const std::vector<std::string>& streams, const std::string& streamDict = "");

// A content stream that shows one line of text.
std::string showText(const std::string& text);
