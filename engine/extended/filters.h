// The standard stream filters of the extended reading mode: FlateDecode and
// LZWDecode with their predictors, ASCIIHexDecode, ASCII85Decode and
// RunLengthDecode, by full name or abbreviation, one after the other as a
// stream's /Filter array lists them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/extended/pdfObject.h"
#include "engine/extended/streamPieces.h"

namespace pdf {

struct FilterStep {
    std::string name; // as the file spells it (abbreviations allowed)
    Dict parms;       // its /DecodeParms (empty: the defaults)
};

// What decoding keeps from one stream to the next: zlib's state, set up once
// per document instead of once per stream. One per thread.
class FilterContext {
public:
    FilterContext();
    ~FilterContext();
    FilterContext(const FilterContext&) = delete;
    FilterContext& operator=(const FilterContext&) = delete;
    struct Zlib;
    std::unique_ptr<Zlib> zlib;
};

enum class FilterResult : uint8_t {
    Ok,       // decoded (possibly cut at the limit, or up to damage in the data)
    Image,    // an image-only filter: the data holds no text
    Failed,   // an unknown filter or parameters out of range
};

// The steps a stream's /Filter and /DecodeParms (a name or an array of
// them, a dictionary or an array of them, resolved) describe; false when
// they are not of those kinds.
bool filterSteps(const Object& filter, const Object& parms, std::vector<FilterStep>& out);

// Decodes `data` in place through the steps in order, keeping at most
// `limit` bytes after each. Damaged data gives what could be decoded before
// the damage, as readers do; only unusable parameters fail.
FilterResult applyFilters(const std::vector<FilterStep>& steps, std::string& data, size_t limit,
                          FilterContext* context = nullptr);

// A FlateDecode stream without a predictor handed out a piece at a time: the
// same bytes applyFilters gives all at once. Inflated whole where that is
// fast, else with no more than a piece held. It uses the context's inflate
// state, which nothing else may use meanwhile.
class InflatePieces final : public StreamPieces {
public:
    // Whether the steps are this kind of stream.
    static bool takes(const std::vector<FilterStep>& steps);
    InflatePieces(std::string data, size_t limit, FilterContext& context);
    size_t read(char* at, size_t room) override;

private:
    bool inflateAtOnce();
    size_t fill(char* at, size_t room);

    std::string data_;
    size_t limit_;
    FilterContext::Zlib& z_;
    size_t produced_ = 0;
    bool started_ = false;
    bool bare_ = false;
    bool ended_ = false;
    std::unique_ptr<char[]> whole_; // inflated at once: handed out from here
    size_t wholeSize_ = 0;
    size_t wholeAt_ = 0;
};

// One filter, for tests: the same rules as applyFilters.
FilterResult applyFilter(const FilterStep& step, std::string_view in, std::string& out, size_t limit,
                         FilterContext* context = nullptr);

} // namespace pdf
