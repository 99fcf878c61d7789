// A PDF document as the extended reading mode opens it: the cross-reference
// (rebuilt once when damaged), objects in the file and in object streams,
// decryption, stream filters, the catalog and the list of pages.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/extended/crossReference.h"
#include "engine/extended/filters.h"
#include "engine/extended/objectSource.h"
#include "engine/extended/objectStreams.h"
#include "engine/extended/rawFile.h"

class p2tReader;

namespace pdf {

class Encryption;

// A page with what it inherits from the nodes above it already applied.
// Only what a page's conversion reads is kept, not its whole dictionary: a
// document's pages are listed before the first is read.
struct Page {
    Ref ref;           // num -1 for a page written directly into /Kids
    Object contents;   // the page's /Contents as its dictionary gives it
    Object resources;  // /Resources, inherited when the page has none
};

class Document : public ObjectSource {
public:
    // Reads through `reader`, which is open on the file and stays so while
    // the document lives.
    explicit Document(p2tReader& reader);
    ~Document() override;

    enum class Status { Ok, Damaged, NeedsPassword };
    // Reads the cross-reference, sets up decryption and finds the catalog.
    Status open();

    Object resolve(const Object& object) override;
    std::optional<std::string> streamData(const Object& stream, size_t limit) override;
    std::unique_ptr<StreamPieces> streamPieces(const Object& stream, size_t limit) override;
    // The object numbered so (the generation is not checked: damaged files
    // get it wrong); null when there is none.
    Object object(Ref ref);

    const Dict& trailer() const { return xref_.trailer(); }
    const Object& catalog() const { return catalog_; }

    // The pages in order, the tree walked once: a node met twice (a cycle
    // or a shared node) or nested too deep is skipped.
    const std::vector<Page>& pages();

private:
    // The object numbered so, kept in the cache when `keep` is set.
    Object fetch(Ref ref, bool keep);
    Object load(int32_t num);
    Object decryptStrings(const Object& o, Ref ref, int depth) const;
    void walk(const Object& node, const Page& inherited, int depth, std::unordered_set<int32_t>& seen);
    void rebuildOnce();
    // A stream's data as the file holds it (decrypted), and its filters;
    // false when the filters are not of a known form.
    bool rawData(const Stream& stream, std::string& data, std::vector<FilterStep>& steps);

    RawFile file_;
    CrossReference xref_;
    ObjectStreams objectStreams_;
    std::unique_ptr<Encryption> encryption_;
    FilterContext filterContext_;
    FilterContext piecesContext_; // for the one stream read a piece at a time
    // Objects read so far; emptied when it grows past a bound, since a page
    // loop reads each page's objects once and memory must stay bounded. The
    // page tree's nodes are not kept: each is read once.
    std::unordered_map<int32_t, Object> cache_;
    // Objects being read, innermost last: a reference back to one is a loop.
    // Only a few at once (an object stream, a /Length), so a list will do.
    std::vector<int32_t> loading_;
    Object catalog_;
    std::optional<std::vector<Page>> pages_;
};

} // namespace pdf
