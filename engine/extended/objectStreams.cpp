#include "engine/extended/objectStreams.h"

#include <algorithm>

#include "engine/extended/lexer.h"

namespace pdf {

namespace {

// Decoded object streams kept at once; a stream larger than this is decoded
// again for each lookup that misses the object cache.
constexpr size_t kBudget = size_t{64} << 20;

} // namespace

void ObjectStreams::clear()
{
    cache_.clear();
    bytes_ = 0;
}

const ObjectStreams::Decoded* ObjectStreams::load(const Decoder& decode, int32_t streamNum)
{
    auto it = cache_.find(streamNum);
    if (it != cache_.end()) {
        it->second.lastUse = ++uses_;
        return &it->second;
    }
    Object stream;
    std::optional<std::string> data = decode(streamNum, stream);
    const Dict& dict = stream.dictValue();
    if (!data || !dict.get("Type").isName("ObjStm"))
        return nullptr;
    const int64_t n = dict.get("N").intValue();
    const int64_t first = dict.get("First").intValue();
    if (n < 0 || first < 0 || first > static_cast<int64_t>(data->size()))
        return nullptr;
    Decoded d;
    Lexer lexer(*data);
    // Each pair takes at least four bytes: a count beyond that is damage.
    for (int64_t i = 0; i < n && i < first / 4 + 1; ++i) {
        Token num = lexer.next(), off = lexer.next();
        if (num.type != Token::Type::Int || off.type != Token::Type::Int || num.intValue < 0
            || num.intValue > INT32_MAX || off.intValue < 0 || first + off.intValue >= static_cast<int64_t>(data->size()))
            break;
        d.objects.emplace_back(static_cast<int32_t>(num.intValue), static_cast<size_t>(first + off.intValue));
    }
    d.data = std::move(*data);
    d.data.shrink_to_fit();
    d.lastUse = ++uses_;
    // Make room: the least recently used go first.
    while (bytes_ + d.data.size() > kBudget && !cache_.empty()) {
        auto oldest = std::min_element(cache_.begin(), cache_.end(),
                                       [](const auto& a, const auto& b) { return a.second.lastUse < b.second.lastUse; });
        bytes_ -= oldest->second.data.size();
        cache_.erase(oldest);
    }
    bytes_ += d.data.size();
    return &cache_.emplace(streamNum, std::move(d)).first->second;
}

Object ObjectStreams::get(const Decoder& decode, int32_t streamNum, int32_t index, int32_t num)
{
    const Decoded* d = load(decode, streamNum);
    if (!d)
        return {};
    // The index the table gives, or else wherever the number is listed.
    size_t at = SIZE_MAX;
    if (index >= 0 && static_cast<size_t>(index) < d->objects.size() && d->objects[static_cast<size_t>(index)].first == num)
        at = static_cast<size_t>(index);
    for (size_t i = 0; at == SIZE_MAX && i < d->objects.size(); ++i)
        if (d->objects[i].first == num)
            at = i;
    if (at == SIZE_MAX)
        return {};
    Lexer lexer(d->data, d->objects[at].second);
    Object value;
    parseObject(lexer, value);
    return value;
}

std::vector<int32_t> ObjectStreams::contents(const Decoder& decode, int32_t streamNum)
{
    std::vector<int32_t> nums;
    if (const Decoded* d = load(decode, streamNum))
        for (const auto& entry : d->objects)
            nums.push_back(entry.first);
    return nums;
}

} // namespace pdf
