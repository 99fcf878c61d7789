// Where each object of a file lies: classic cross-reference tables,
// cross-reference streams, chains of both through /Prev and /XRefStm, and,
// for a damaged file, a table rebuilt by scanning the file.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "engine/extended/pdfObject.h"

namespace pdf {

class RawFile;

struct XrefEntry {
    enum Type : uint8_t { Free, InFile, InStream };
    Type type = Free;
    int32_t gen = 0;     // InFile: generation; InStream: index within the stream
    int64_t where = 0;   // InFile: offset; InStream: the object stream's number
};

class CrossReference {
public:
    // Reads the sections from the last "startxref" on, newest first; the
    // first definition of an object met wins. False when there is no usable
    // section or no /Root: the caller then rebuilds.
    bool read(RawFile& file);
    // Scans the whole file for "N G obj" and trailers: the last definition
    // in the file wins. Object streams found are listed in objectStreams()
    // for the document to open.
    void rebuild(RawFile& file);
    bool rebuilt() const { return rebuilt_; }

    const XrefEntry* find(int32_t num) const;
    // Adds an entry unless the object is defined already.
    void addIfMissing(int32_t num, const XrefEntry& entry);
    const Dict& trailer() const { return trailer_; }
    const std::vector<int32_t>& objectStreams() const { return objectStreams_; }
    // The last object of /Type /Catalog a rebuild met (num -1: none).
    Ref scannedCatalog() const { return catalog_; }

private:
    bool readTable(RawFile& file, int64_t offset, int64_t& prev, int64_t& xrefStm);
    bool readStream(RawFile& file, int64_t offset, int64_t& prev);
    void mergeTrailer(const Dict& dict);
    void define(int32_t num, const XrefEntry& entry, bool replace);

    XrefEntry& slot(int32_t num);
    // A section defines `count` entries up to number `highest`: the vector
    // is sized for them at once rather than doubled past them.
    void makeRoom(int32_t highest, size_t count);
    void growDense(size_t size);

    // Entries by number: object numbers run mostly from 1 up without gaps,
    // so a vector holds them, a map the few far beyond the others. The
    // vector grows only as far as the entries defined so far justify.
    std::vector<XrefEntry> dense_;
    std::unordered_map<int32_t, XrefEntry> sparse_;
    size_t defined_ = 0;
    Dict trailer_;
    std::vector<int32_t> objectStreams_;
    Ref catalog_{-1, 0};
    bool rebuilt_ = false;
};

// The data of a cross-reference or object stream as its own dictionary
// describes it (such streams are never encrypted and their parameters are
// direct), at most limit bytes; false when it cannot be decoded.
bool decodeStructureStream(RawFile& file, const Object& stream, size_t limit, std::string& out);

} // namespace pdf
