#include "engine/extended/cmap.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <map>

#include "engine/extended/glyphList.h"
#include "engine/extended/lexer.h"
#include "engine/extended/pdfObject.h"

namespace pdf {

namespace {

// Mappings one CMap may hold (every usecmap base included): enough for the
// largest predefined CMaps many times over, small enough to bound memory.
constexpr size_t kMaxMappings = size_t(1) << 20;
constexpr size_t kMaxCodeRanges = 256;
constexpr size_t kMaxTextLength = 256; // characters of one destination

// Ranges as they are read, in order. Most CMaps never overlap two ranges:
// sorting them is all it takes. Where ranges overlap, they are laid down
// again in the order read, a later one overriding what it overlaps (the
// pieces of older ranges outside it stay).
template <class Value>
class RangeMap {
public:
    struct Range {
        uint32_t low, high;
        Value value;
    };

    void add(uint32_t low, uint32_t high, Value value) { ranges_.push_back({low, high, value}); }

    // The ranges sorted and disjoint. `shifted(v, n)`: the value of the code
    // n past a range's start.
    template <class Shift>
    std::vector<Range> finish(Shift shifted) const
    {
        std::vector<Range> sorted = ranges_;
        auto byLow = [](const Range& a, const Range& b) { return a.low < b.low; };
        std::stable_sort(sorted.begin(), sorted.end(), byLow);
        bool disjoint = true;
        for (size_t i = 1; i < sorted.size() && disjoint; ++i)
            disjoint = sorted[i].low > sorted[i - 1].high;
        if (disjoint)
            return sorted;
        std::map<uint32_t, Range> map;
        for (const Range& r : ranges_) {
            auto it = map.upper_bound(r.low);
            if (it != map.begin()) {
                --it;
                if (it->second.high < r.low)
                    ++it;
            }
            while (it != map.end() && it->first <= r.high) {
                Range old = it->second;
                it = map.erase(it);
                if (old.low < r.low)
                    map.emplace(old.low, Range{old.low, r.low - 1, old.value});
                if (old.high > r.high)
                    map.emplace(r.high + 1, Range{r.high + 1, old.high, shifted(old.value, r.high + 1 - old.low)});
            }
            map.emplace(r.low, r);
        }
        sorted.clear();
        for (const auto& entry : map)
            sorted.push_back(entry.second);
        return sorted;
    }

private:
    std::vector<Range> ranges_;
};

struct CidValue {
    uint32_t cid;
    bool same;
};

// A text is an index in texts_, or, with this bit set, the one character it
// is: most are one character, and a character collection has tens of
// thousands of them.
constexpr uint32_t kOneCharacter = 1u << 31;

struct TextValue {
    uint32_t text;
    uint32_t shift;
};

constexpr size_t kIndexedRanges = 32;      // fewer are searched whole
constexpr size_t kMaxIndexBlocks = 1u << 16;

template <class Range>
CMap::RangeIndex indexOf(const std::vector<Range>& ranges)
{
    CMap::RangeIndex index;
    if (ranges.size() < kIndexedRanges)
        return index;
    // A block per four ranges or so: a few reads per lookup, a small index.
    const size_t blocks = std::min(std::bit_ceil(ranges.size() / 4), kMaxIndexBlocks);
    const uint32_t maxCode = ranges.back().high;
    while (index.shift < 32 && (uint64_t(maxCode) >> index.shift) >= blocks)
        ++index.shift;
    index.first.resize(blocks + 1);
    size_t r = 0;
    for (size_t b = 0; b <= blocks; ++b) {
        const uint64_t blockStart = uint64_t(b) << index.shift;
        while (r < ranges.size() && ranges[r].high < blockStart)
            ++r;
        index.first[b] = static_cast<uint32_t>(r);
    }
    return index;
}

// The range holding `code` among sorted, disjoint ranges; null if none.
template <class Range>
const Range* findRange(const std::vector<Range>& ranges, const CMap::RangeIndex& index, uint32_t code)
{
    auto from = ranges.begin(), to = ranges.end();
    if (!index.first.empty()) {
        const uint64_t block = uint64_t(code) >> index.shift;
        if (block + 1 >= index.first.size())
            return nullptr; // past the last range
        // The first range ending at or after `code` lies between the first
        // reaching into its block and the first reaching into the next.
        from = ranges.begin() + index.first[block];
        to = ranges.begin() + std::min<size_t>(index.first[block + 1] + size_t{1}, ranges.size());
    }
    auto it = std::lower_bound(from, to, code, [](const Range& r, uint32_t c) { return r.high < c; });
    return it != to && it->low <= code ? &*it : nullptr;
}

// A code written as a string: its value and length; none if its length is
// not 1 to 4.
std::optional<CMap::Code> codeOf(const Token& t)
{
    if (t.type != Token::Type::String || t.text.empty() || t.text.size() > 4)
        return std::nullopt;
    CMap::Code c;
    for (unsigned char b : t.text)
        c.value = (c.value << 8) | b;
    c.length = static_cast<uint8_t>(t.text.size());
    return c;
}

// The first token of an entry in a begin...end group: a string. Anything
// else (the end keyword, or the next group's begin in a damaged CMap) is
// left for the caller's loop.
bool entryStart(Lexer& lexer, Token& t)
{
    size_t at = lexer.pos();
    lexer.next(t);
    if (t.type == Token::Type::String)
        return true;
    lexer.setPos(at);
    return false;
}

} // namespace

std::u32string utf16Text(std::string_view bytes)
{
    std::u32string out;
    if (bytes.size() % 2) {
        for (unsigned char b : bytes)
            out += b;
        return out;
    }
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t u = (static_cast<unsigned char>(bytes[i]) << 8) | static_cast<unsigned char>(bytes[i + 1]);
        if (u >= 0xD800 && u < 0xDC00) {
            if (i + 3 < bytes.size()) {
                char32_t low = (static_cast<unsigned char>(bytes[i + 2]) << 8) | static_cast<unsigned char>(bytes[i + 3]);
                if (low >= 0xDC00 && low < 0xE000) {
                    out += 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
            continue;
        }
        if (u >= 0xDC00 && u < 0xE000)
            continue;
        out += u;
    }
    return out;
}

class CMapBuilder {
public:
    CMapBuilder(const CMapResolver& resolver, int depth) : resolver_(resolver), depth_(depth) {}

    void include(const CMap& base)
    {
        for (const CMap::CodeRange& r : base.codeSpace_)
            addCodeRange(r);
        for (const CMap::CidRange& r : base.cids_)
            addCids(r.low, r.high, r.cid, r.same);
        for (const CMap::TextRange& r : base.text_)
            addText(r.low, r.high, r.single != 0 ? std::u32string(1, r.single) : base.texts_[r.text], r.shift);
        if (base.vertical_)
            cmap_->vertical_ = true;
    }

    void read(std::string_view bytes);

    std::shared_ptr<const CMap> finish()
    {
        for (const auto& r : cids_.finish(
                 [](CidValue v, uint32_t n) { return v.same ? v : CidValue{v.cid + n, false}; }))
            cmap_->cids_.push_back({r.low, r.high, r.value.cid, r.value.same});
        const auto texts = text_.finish([](TextValue v, uint32_t n) { return TextValue{v.text, v.shift + n}; });
        cmap_->text_.reserve(texts.size());
        for (const auto& r : texts) {
            if (r.value.text & kOneCharacter) {
                cmap_->text_.push_back({r.low, r.high, 0, r.value.shift, r.value.text & ~kOneCharacter});
                continue;
            }
            const std::u32string& text = cmap_->texts_[r.value.text];
            cmap_->text_.push_back({r.low, r.high, r.value.text, r.value.shift, text.size() == 1 ? text[0] : 0});
        }
        cmap_->cidIndex_ = indexOf(cmap_->cids_);
        cmap_->textIndex_ = indexOf(cmap_->text_);
        return std::move(cmap_);
    }

    void addCodeRange(const CMap::CodeRange& r)
    {
        if (cmap_->codeSpace_.size() < kMaxCodeRanges)
            cmap_->codeSpace_.push_back(r);
    }

    void addCids(uint32_t low, uint32_t high, uint32_t cid, bool same = false)
    {
        if (low > high || !room())
            return;
        cids_.add(low, high, CidValue{cid, same});
    }

    void addText(uint32_t low, uint32_t high, std::u32string text, uint32_t shift = 0)
    {
        if (low > high || !room())
            return;
        if (text.size() == 1 && text[0] != 0 && text[0] < kOneCharacter) {
            text_.add(low, high, TextValue{kOneCharacter | text[0], shift});
            return;
        }
        if (text.size() > kMaxTextLength)
            text.resize(kMaxTextLength);
        uint32_t index = static_cast<uint32_t>(cmap_->texts_.size());
        cmap_->texts_.push_back(std::move(text));
        text_.add(low, high, TextValue{index, shift});
    }

    void name(std::string name, bool vertical)
    {
        cmap_->name_ = std::move(name);
        cmap_->vertical_ = vertical;
    }

private:
    bool room() { return ++mappings_ <= kMaxMappings; }
    void readCodeSpace(Lexer& lexer);
    void readCids(Lexer& lexer, bool ranges, bool notdef = false);
    void readText(Lexer& lexer, bool ranges);
    bool readCodes(Lexer& lexer, bool ranges, std::optional<CMap::Code>& low, std::optional<CMap::Code>& high);

    const CMapResolver& resolver_;
    int depth_;
    std::shared_ptr<CMap> cmap_ = std::make_shared<CMap>();
    RangeMap<CidValue> cids_;
    RangeMap<TextValue> text_;
    size_t mappings_ = 0;
    Token a_, b_, c_; // reused: a CMap has tens of thousands of entries
};

void CMapBuilder::readCodeSpace(Lexer& lexer)
{
    Token& a = a_;
    Token& b = b_;
    while (entryStart(lexer, a)) {
        lexer.next(b);
        if (b.type != Token::Type::String)
            return;
        if (a.text.size() != b.text.size() || a.text.empty() || a.text.size() > 4)
            continue;
        CMap::CodeRange r;
        const size_t n = std::min<size_t>(a.text.size(), sizeof r.low);
        r.length = static_cast<uint8_t>(n);
        std::memcpy(r.low, a.text.data(), n);
        std::memcpy(r.high, b.text.data(), n);
        addCodeRange(r);
    }
}

// Entries start "<low> <high>" (ranges) or "<code>" (single codes); false
// when the group ends or is damaged.
bool CMapBuilder::readCodes(Lexer& lexer, bool ranges, std::optional<CMap::Code>& low,
                            std::optional<CMap::Code>& high)
{
    if (!entryStart(lexer, a_))
        return false;
    low = codeOf(a_);
    if (ranges) {
        lexer.next(b_);
        if (b_.type != Token::Type::String)
            return false;
        high = codeOf(b_);
    } else {
        high = low;
    }
    return true;
}

void CMapBuilder::readCids(Lexer& lexer, bool ranges, bool notdef)
{
    std::optional<CMap::Code> low, high;
    while (readCodes(lexer, ranges, low, high)) {
        size_t at = lexer.pos();
        lexer.next(c_);
        if (c_.type != Token::Type::Int) {
            if (c_.type == Token::Type::Keyword) {
                lexer.setPos(at);
                return;
            }
            continue;
        }
        if (low && high && c_.intValue >= 0 && c_.intValue <= 0xFFFFFFFFLL)
            addCids(low->value, high->value, static_cast<uint32_t>(c_.intValue), notdef);
    }
}

void CMapBuilder::readText(Lexer& lexer, bool ranges)
{
    std::optional<CMap::Code> low, high;
    while (readCodes(lexer, ranges, low, high)) {
        size_t at = lexer.pos();
        lexer.next(c_);
        if (c_.type == Token::Type::End || c_.type == Token::Type::Keyword) {
            lexer.setPos(at);
            return;
        }
        if (c_.type == Token::Type::String || c_.type == Token::Type::Name) {
            if (low && high)
                addText(low->value, high->value,
                        c_.type == Token::Type::String ? utf16Text(c_.text) : glyphNameText(c_.text));
            continue;
        }
        Object dst;
        parseObject(lexer, c_, dst);
        if (!low || !high || !dst.isArray())
            continue;
        // One destination per code, as many as both the range and the array
        // hold.
        uint64_t code = low->value;
        for (const Object& o : dst.arrayValue()) {
            if (code > high->value)
                break;
            std::u32string text;
            if (o.isString())
                text = utf16Text(o.text());
            else if (o.isName())
                text = glyphNameText(o.text());
            addText(static_cast<uint32_t>(code), static_cast<uint32_t>(code), std::move(text));
            ++code;
        }
    }
}

void CMapBuilder::read(std::string_view bytes)
{
    Lexer lexer(bytes);
    Token prev2, prev1, t;
    while (true) {
        size_t before = lexer.pos();
        lexer.next(t);
        if (t.type == Token::Type::End)
            break;
        if (t.type == Token::Type::Keyword) {
            if (t.text == "begincodespacerange")
                readCodeSpace(lexer);
            else if (t.text == "begincidrange")
                readCids(lexer, true);
            else if (t.text == "begincidchar")
                readCids(lexer, false);
            else if (t.text == "beginnotdefrange")
                readCids(lexer, true, true);
            else if (t.text == "beginnotdefchar")
                readCids(lexer, false, true);
            else if (t.text == "beginbfchar")
                readText(lexer, false);
            else if (t.text == "beginbfrange")
                readText(lexer, true);
            else if (t.text == "usecmap" && prev1.type == Token::Type::Name && resolver_ && depth_ < kMaxCMapDepth) {
                if (auto base = resolver_(prev1.text, depth_ + 1))
                    include(*base);
            } else if (t.text == "def" && prev2.type == Token::Type::Name) {
                if (prev2.text == "WMode" && prev1.type == Token::Type::Int)
                    cmap_->vertical_ = prev1.intValue == 1;
                else if (prev2.text == "CMapName" && prev1.type == Token::Type::Name && cmap_->name_.empty())
                    cmap_->name_ = prev1.text.substr(0, 128);
            }
        }
        if (lexer.pos() <= before)
            break; // no progress: damaged data
        prev2 = std::move(prev1);
        prev1 = std::move(t);
    }
}

std::shared_ptr<const CMap> CMap::parse(std::string_view bytes, const CMapResolver& resolver, int depth)
{
    return parse(bytes, nullptr, resolver, depth);
}

std::shared_ptr<const CMap> CMap::parse(std::string_view bytes, const CMap* base, const CMapResolver& resolver,
                                        int depth)
{
    CMapBuilder builder(resolver, depth);
    if (base)
        builder.include(*base);
    builder.read(bytes);
    return builder.finish();
}

std::shared_ptr<const CMap> CMap::identity(bool vertical)
{
    CMapResolver none;
    CMapBuilder builder(none, 0);
    CMap::CodeRange r;
    r.length = 2;
    r.high[0] = r.high[1] = 0xFF;
    builder.addCodeRange(r);
    builder.addCids(0, 0xFFFF, 0, false);
    builder.name(vertical ? "Identity-V" : "Identity-H", vertical);
    return builder.finish();
}

CMap::Code CMap::nextCode(std::string_view bytes, size_t pos) const
{
    size_t left = bytes.size() - pos;
    auto value = [&](size_t n) {
        Code c;
        for (size_t i = 0; i < n; ++i)
            c.value = (c.value << 8) | static_cast<uint8_t>(bytes[pos + i]);
        c.length = static_cast<uint8_t>(n);
        return c;
    };
    if (codeSpace_.empty())
        return value(std::min<size_t>(2, left));
    // The shortest range matching whole; else the range matching the most
    // leading bytes; else the shortest range.
    size_t full = 0, bestMatched = 0, bestLength = 0, shortest = 4;
    for (const CodeRange& r : codeSpace_) {
        shortest = std::min<size_t>(shortest, r.length);
        size_t matched = 0;
        while (matched < r.length && matched < left && static_cast<uint8_t>(bytes[pos + matched]) >= r.low[matched]
               && static_cast<uint8_t>(bytes[pos + matched]) <= r.high[matched])
            ++matched;
        if (matched == r.length) {
            if (full == 0 || matched < full)
                full = matched;
        } else if (matched > bestMatched) {
            bestMatched = matched;
            bestLength = r.length;
        }
    }
    size_t n = full ? full : bestMatched ? bestLength : shortest;
    return value(std::min(n, left));
}

std::optional<uint32_t> CMap::cid(uint32_t code) const
{
    if (const CidRange* r = findRange(cids_, cidIndex_, code))
        return r->same ? r->cid : r->cid + (code - r->low);
    return std::nullopt;
}

std::u32string_view CMap::textOf(uint32_t code, std::u32string& scratch) const
{
    const TextRange* r = findRange(text_, textIndex_, code);
    if (!r)
        return {};
    const uint64_t offset = uint64_t(r->shift) + (code - r->low);
    std::u32string_view base = r->single != 0 ? std::u32string_view(&r->single, 1) : texts_[r->text];
    if (base.empty())
        return {};
    if (offset == 0)
        return base.size() == 1 && base[0] == 0 ? std::u32string_view() : base;
    uint64_t last = uint64_t(base.back()) + offset;
    if (last > 0x10FFFF || (last >= 0xD800 && last < 0xE000))
        return {};
    scratch.assign(base.substr(0, base.size() - 1));
    scratch += static_cast<char32_t>(last);
    return scratch;
}

bool CMap::text(uint32_t code, std::u32string& out) const
{
    std::u32string scratch;
    std::u32string_view text = textOf(code, scratch);
    out += text;
    return !text.empty();
}

unsigned CMap::codeLengths() const
{
    unsigned bits = 0;
    for (const CodeRange& r : codeSpace_)
        bits |= 1u << (r.length - 1);
    return bits;
}

} // namespace pdf
