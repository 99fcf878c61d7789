// The bytes of the PDF being read in extended mode, through the engine's
// reader, and the indirect objects that start at given offsets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/extended/pdfObject.h"

class p2tReader;

namespace pdf {

class RawFile {
public:
    // The reader is open on the file already.
    explicit RawFile(p2tReader& reader);

    int64_t length() const;
    // Up to n bytes from offset on (fewer at the end of the file).
    std::string read(int64_t offset, size_t n);
    // The bytes from offset on, without copying when the file is in memory;
    // `scratch` holds a copy otherwise. At most n bytes.
    std::string_view view(int64_t offset, size_t n, std::string& scratch);

    // "N G obj" followed by an object at offset: the object, and its number
    // and generation in `ref`. A stream's data offset is recorded (its length
    // is the document's to find). Null when no object starts there.
    Object objectAt(int64_t offset, Ref& ref);

    // The raw data of a stream whose dictionary gives `declared` bytes (-1:
    // unknown). A length that does not end at "endstream" is replaced by the
    // distance to the next "endstream", as readers do; at most `limit` bytes.
    std::string streamBytes(const Stream& stream, int64_t declared, size_t limit);

    // Where "endstream" begins at or after offset, within `within` bytes;
    // -1 when it does not.
    int64_t findEndstream(int64_t offset, int64_t within);

    // Bytes the object parser may still read: a damaged file whose objects
    // never end would otherwise make every lookup read to the end of the file.
    bool exhausted() const { return parseBudget_ < 0; }

private:
    p2tReader& reader_;
    int64_t parseBudget_;
};

} // namespace pdf
