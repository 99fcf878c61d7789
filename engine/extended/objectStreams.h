// Objects packed into object streams (/Type /ObjStm): the decoded streams
// are kept per file, the least recently used dropped beyond a memory budget.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/extended/pdfObject.h"

namespace pdf {

class ObjectStreams {
public:
    // The decoded data of object stream `num` (decrypted and unfiltered);
    // nothing when it is not a usable object stream.
    using Decoder = std::function<std::optional<std::string>(int32_t num, Object& stream)>;

    // The object `num` stored at `index` of object stream `streamNum`; null
    // when the stream does not hold it.
    Object get(const Decoder& decode, int32_t streamNum, int32_t index, int32_t num);
    // The numbers of the objects a stream holds (for a rebuilt table).
    std::vector<int32_t> contents(const Decoder& decode, int32_t streamNum);
    void clear();

private:
    struct Decoded {
        std::string data;
        std::vector<std::pair<int32_t, size_t>> objects; // number, offset in data
        uint64_t lastUse = 0;
    };
    const Decoded* load(const Decoder& decode, int32_t streamNum);

    std::unordered_map<int32_t, Decoded> cache_;
    size_t bytes_ = 0;
    uint64_t uses_ = 0;
};

} // namespace pdf
