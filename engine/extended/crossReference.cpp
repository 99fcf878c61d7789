#include "engine/extended/crossReference.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <unordered_set>

#include "engine/extended/filters.h"
#include "engine/extended/lexer.h"
#include "engine/extended/rawFile.h"

namespace pdf {

namespace {

// A chain longer than this is damage (or a loop through new offsets).
constexpr int kMaxSections = 4096;
// A cross-reference stream decodes to no more than this.
constexpr size_t kMaxXrefStream = size_t{256} << 20;
// Tables are read from a first slice of the file, read again from one twice
// as long while they go on past its end.
constexpr size_t kTableSlice = 4096;
// Entries by number are kept in a vector up to this many, and beyond it up
// to four times the entries defined.
constexpr size_t kDenseStart = 1 << 16;

int64_t findStartxref(RawFile& file)
{
    // "startxref" lies near the end; a little garbage after "%%EOF" is allowed.
    const int64_t tail = std::min<int64_t>(file.length(), 64 * 1024);
    std::string bytes = file.read(file.length() - tail, static_cast<size_t>(tail));
    size_t at = bytes.rfind("startxref");
    if (at == std::string::npos)
        return -1;
    Lexer lexer(bytes, at + 9);
    Token t = lexer.next();
    if (t.type != Token::Type::Int || t.intValue < 0 || t.intValue >= file.length())
        return -1;
    return t.intValue;
}

uint64_t field(const uint8_t* p, int64_t width)
{
    uint64_t v = 0;
    for (int64_t i = 0; i < width; ++i)
        v = v << 8 | p[i];
    return v;
}

// "oooooooooo ggggg n" at p, followed by white space: a table entry as
// written by the book.
bool fixedEntry(std::string_view b, size_t p, int64_t& where, int64_t& gen)
{
    if (p + 19 >= b.size() || b[p + 10] != ' ' || b[p + 16] != ' ' || (b[p + 17] != 'n' && b[p + 17] != 'f')
        || !isPdfWhite(static_cast<uint8_t>(b[p + 18])))
        return false;
    // The first eight digits of the offset at once, as one number.
    uint64_t x;
    std::memcpy(&x, b.data() + p, 8);
    if constexpr (std::endian::native == std::endian::big)
        x = __builtin_bswap64(x);
    if ((x & 0xF0F0F0F0F0F0F0F0ull) != 0x3030303030303030ull
        || ((x + 0x0606060606060606ull) & 0xF0F0F0F0F0F0F0F0ull) != 0x3030303030303030ull)
        return false; // a byte that is no digit
    x = (x & 0x0F0F0F0F0F0F0F0Full) * 2561 >> 8;
    x = (x & 0x00FF00FF00FF00FFull) * 6553601 >> 16;
    x = (x & 0x0000FFFF0000FFFFull) * 42949672960001ull >> 32;
    // The rest summed in locals: stored through the references, each would
    // be read again after every byte.
    auto digits = [&](size_t from, size_t count, int64_t& value) {
        int64_t v = 0;
        for (size_t i = from; i < from + count; ++i) {
            const auto d = static_cast<unsigned>(static_cast<uint8_t>(b[p + i])) - '0';
            if (d > 9)
                return false;
            v = v * 10 + d;
        }
        value = v;
        return true;
    };
    int64_t w = 0, g = 0;
    if (!digits(8, 2, w) || !digits(11, 5, g))
        return false;
    where = static_cast<int64_t>(x & 0xFFFFFFFF) * 100 + w;
    gen = std::min<int64_t>(g, 65535);
    return true;
}

} // namespace

bool decodeStructureStream(RawFile& file, const Object& stream, size_t limit, std::string& out)
{
    const Stream* s = stream.streamValue();
    if (!s)
        return false;
    const Object& length = s->dict->get("Length");
    out = file.streamBytes(*s, length.isInt() ? length.intValue() : -1, kMaxXrefStream);
    std::vector<FilterStep> steps;
    if (!filterSteps(s->dict->get("Filter"), s->dict->get("DecodeParms"), steps))
        return false;
    return applyFilters(steps, out, limit) == FilterResult::Ok;
}

const XrefEntry* CrossReference::find(int32_t num) const
{
    const XrefEntry* e = nullptr;
    if (num >= 0 && static_cast<size_t>(num) < dense_.size()) {
        e = &dense_[static_cast<size_t>(num)];
    } else if (auto it = sparse_.find(num); it != sparse_.end()) {
        e = &it->second;
    }
    return e && e->type != XrefEntry::Free ? e : nullptr;
}

XrefEntry& CrossReference::slot(int32_t num)
{
    const auto at = static_cast<size_t>(num);
    if (at < dense_.size())
        return dense_[at];
    // A number within reach of the entries defined so far extends the
    // vector (doubling); one far beyond them (damage, or a hostile table)
    // goes to the map.
    const size_t reach = kDenseStart + 4 * defined_;
    if (at >= reach)
        return sparse_[num];
    growDense(std::min(reach, std::max(at + 1, 2 * dense_.size())));
    return dense_[at];
}

void CrossReference::makeRoom(int32_t highest, size_t count)
{
    const auto size = static_cast<size_t>(highest) + 1;
    if (highest >= 0 && size > dense_.size() && size <= kDenseStart + 4 * (defined_ + count))
        growDense(size);
}

// Takes in what the map held below the new end.
void CrossReference::growDense(size_t size)
{
    dense_.resize(size);
    for (auto it = sparse_.begin(); it != sparse_.end();) {
        if (static_cast<size_t>(it->first) < dense_.size()) {
            dense_[static_cast<size_t>(it->first)] = it->second;
            it = sparse_.erase(it);
        } else {
            ++it;
        }
    }
}

void CrossReference::define(int32_t num, const XrefEntry& entry, bool replace)
{
    if (num < 0)
        return;
    ++defined_;
    XrefEntry& e = slot(num);
    // A free entry gives way to a definition in an older section: hybrid
    // files list their compressed objects as free in the table. A number
    // not defined yet reads as free.
    if (replace || e.type == XrefEntry::Free)
        e = entry;
}

void CrossReference::addIfMissing(int32_t num, const XrefEntry& entry) { define(num, entry, false); }

void CrossReference::mergeTrailer(const Dict& dict)
{
    for (const auto& [key, value] : dict.entries())
        if (key != "Prev" && key != "XRefStm" && key != "W" && key != "Index" && key != "Filter"
            && key != "DecodeParms" && key != "Length" && key != "Type")
            trailer_.set(key, value);
}

bool CrossReference::readTable(RawFile& file, int64_t offset, int64_t& prev, int64_t& xrefStm)
{
    std::string scratch;
    // The subsections' counts say how long the table is: a slice cut short
    // is read again long enough for them at once, not doubled step by step.
    size_t wanted = 0;
    for (size_t slice = kTableSlice;; slice = std::max(slice * 2, wanted)) {
        std::string_view bytes = file.view(offset, slice, scratch);
        const bool whole = offset + static_cast<int64_t>(bytes.size()) >= file.length();
        // Read twice: once to learn that the slice holds the whole table and
        // how far its numbers go, then to define its entries. A table of a
        // million entries is then never held a second time as a list.
        Dict trailer;
        auto scan = [&](auto&& entry) -> bool { // false: the slice is cut short
            Lexer lexer(bytes);
            lexer.next(); // "xref"
            for (;;) {
                Token t = lexer.next();
                if (t.isKeyword("trailer")) {
                    Object dict;
                    Token first = lexer.next();
                    if (!parseObject(lexer, first, dict) || lexer.atEnd())
                        if (!whole)
                            return false;
                    trailer = dict.dictValue();
                    return true;
                }
                if (t.type != Token::Type::Int)
                    return t.type != Token::Type::End || whole;
                Token count = lexer.next();
                if (count.type != Token::Type::Int || t.intValue < 0 || count.intValue < 0
                    || t.intValue + count.intValue > INT32_MAX)
                    return count.type != Token::Type::End || whole;
                wanted = std::max(wanted, lexer.pos() + static_cast<size_t>(count.intValue) * 20 + kTableSlice);
                for (int64_t i = 0; i < count.intValue; ++i) {
                    const auto num = static_cast<int32_t>(t.intValue + i);
                    // Entries as the format writes them, 20 bytes each, are
                    // read directly; anything else goes through the lexer.
                    lexer.skipWhite();
                    if (int64_t where, gen; fixedEntry(bytes, lexer.pos(), where, gen)) {
                        XrefEntry e;
                        if (bytes[lexer.pos() + 17] == 'n') {
                            e.type = XrefEntry::InFile;
                            e.where = where;
                            e.gen = static_cast<int32_t>(gen);
                        }
                        entry(num, e);
                        lexer.setPos(lexer.pos() + 18);
                        continue;
                    }
                    Token where = lexer.next(), gen = lexer.next(), kind = lexer.next();
                    if (kind.type == Token::Type::End)
                        return whole;
                    if (where.type != Token::Type::Int || gen.type != Token::Type::Int
                        || (!kind.isKeyword("n") && !kind.isKeyword("f")))
                        break; // a damaged entry ends the subsection
                    XrefEntry e;
                    // An offset outside the file is kept: looking it up finds
                    // no object there, which has the table rebuilt.
                    if (kind.isKeyword("n")) {
                        e.type = XrefEntry::InFile;
                        e.where = where.intValue;
                        e.gen = static_cast<int32_t>(std::clamp<int64_t>(gen.intValue, 0, 65535));
                    }
                    entry(num, e);
                }
            }
        };
        if (!Lexer(bytes).next().isKeyword("xref"))
            return false;
        size_t found = 0;
        int32_t highest = -1;
        if (!scan([&](int32_t num, const XrefEntry&) {
                ++found;
                highest = std::max(highest, num);
            }))
            continue;
        makeRoom(highest, found);
        scan([&](int32_t num, const XrefEntry& e) { define(num, e, false); });
        mergeTrailer(trailer);
        const Object& p = trailer.get("Prev");
        prev = p.isInt() ? p.intValue() : -1;
        const Object& x = trailer.get("XRefStm");
        xrefStm = x.isInt() ? x.intValue() : -1;
        return found > 0 || trailer.size() > 0;
    }
}

bool CrossReference::readStream(RawFile& file, int64_t offset, int64_t& prev)
{
    Ref ref;
    Object stream = file.objectAt(offset, ref);
    const Stream* s = stream.streamValue();
    if (!s || !(s->dict->get("Type").isName("XRef") || s->dict->has("W")))
        return false;
    const Dict& dict = *s->dict;
    const Array& w = dict.get("W").arrayValue();
    if (w.size() < 3)
        return false;
    int64_t widths[3];
    for (int i = 0; i < 3; ++i) {
        widths[i] = w[static_cast<size_t>(i)].intValue();
        if (widths[i] < 0 || widths[i] > 8)
            return false; // no field is wider than an offset
    }
    const int64_t row = widths[0] + widths[1] + widths[2];
    if (row == 0)
        return false;
    std::string data;
    if (!decodeStructureStream(file, stream, kMaxXrefStream, data))
        return false;
    const int64_t rows = static_cast<int64_t>(data.size()) / row;
    std::vector<std::pair<int64_t, int64_t>> ranges;
    const Object& index = dict.get("Index");
    if (index.isArray()) {
        const Array& a = index.arrayValue();
        for (size_t i = 0; i + 1 < a.size(); i += 2)
            ranges.emplace_back(a[i].intValue(), a[i + 1].intValue());
    } else {
        ranges.emplace_back(0, dict.get("Size").intValue());
    }
    // Entries beyond the data the stream holds are not there, whatever
    // /Index or /Size claim.
    const auto* p = reinterpret_cast<const uint8_t*>(data.data());
    int64_t at = 0;
    for (auto [first, count] : ranges) {
        if (first < 0 || count < 0 || first > INT32_MAX)
            break;
        count = std::min({count, rows - at, INT32_MAX - first + 1});
        for (int64_t i = 0; i < count; ++i, ++at) {
            const uint8_t* r = p + at * row;
            uint64_t type = widths[0] == 0 ? 1 : field(r, widths[0]);
            uint64_t f2 = field(r + widths[0], widths[1]);
            uint64_t f3 = field(r + widths[0] + widths[1], widths[2]);
            XrefEntry e;
            if (type == 1) {
                e.type = XrefEntry::InFile;
                e.where = static_cast<int64_t>(std::min<uint64_t>(f2, INT64_MAX));
                e.gen = static_cast<int32_t>(std::min<uint64_t>(f3, 65535));
            } else if (type == 2 && f2 <= INT32_MAX && f3 <= INT32_MAX) {
                e.type = XrefEntry::InStream;
                e.where = static_cast<int64_t>(f2);
                e.gen = static_cast<int32_t>(f3);
            }
            define(static_cast<int32_t>(first + i), e, false);
        }
    }
    mergeTrailer(dict);
    const Object& pv = dict.get("Prev");
    prev = pv.isInt() ? pv.intValue() : -1;
    return true;
}

bool CrossReference::read(RawFile& file)
{
    int64_t offset = findStartxref(file);
    if (offset < 0)
        return false;
    std::unordered_set<int64_t> visited;
    bool any = false;
    for (int n = 0; offset >= 0 && offset < file.length() && n < kMaxSections; ++n) {
        if (!visited.insert(offset).second)
            break; // a loop of /Prev
        int64_t prev = -1, xrefStm = -1;
        bool ok = readTable(file, offset, prev, xrefStm);
        if (ok && xrefStm >= 0 && visited.insert(xrefStm).second) {
            int64_t ignored;
            readStream(file, xrefStm, ignored);
        }
        if (!ok)
            ok = readStream(file, offset, prev);
        if (!ok) {
            if (!any)
                return false; // the newest section is not where startxref says
            break;
        }
        any = true;
        offset = prev;
    }
    return any && trailer_.get("Root").isRef();
}

void CrossReference::rebuild(RawFile& file)
{
    rebuilt_ = true;
    dense_.clear();
    sparse_.clear();
    defined_ = 0;
    objectStreams_.clear();
    std::vector<Dict> trailers; // oldest first
    Ref& catalog = catalog_;
    catalog = {-1, 0};
    constexpr size_t kChunk = 1 << 20;
    constexpr size_t kOverlap = 64;
    std::string scratch;
    for (int64_t base = 0; base < file.length() && !file.exhausted(); base += kChunk) {
        std::string chunk = std::string(file.view(base, kChunk + kOverlap, scratch));
        const size_t limit = std::min(chunk.size(), kChunk);
        for (size_t hit = chunk.find("obj"); hit != std::string::npos && hit < limit; hit = chunk.find("obj", hit + 3)) {
            // "N G obj": digits, white space, digits, white space before it.
            size_t p = hit;
            auto white = [&](size_t& q) {
                size_t start = q;
                while (q > 0 && isPdfWhite(static_cast<uint8_t>(chunk[q - 1])))
                    --q;
                return q < start;
            };
            auto digits = [&](size_t& q) {
                size_t start = q;
                while (q > 0 && chunk[q - 1] >= '0' && chunk[q - 1] <= '9' && start - q < 10)
                    --q;
                return q < start;
            };
            if (hit + 3 < chunk.size() && !isPdfWhite(static_cast<uint8_t>(chunk[hit + 3]))
                && !isPdfDelimiter(static_cast<uint8_t>(chunk[hit + 3])))
                continue;
            if (!white(p) || !digits(p) || !white(p) || !digits(p))
                continue;
            if (p > 0 && !isPdfWhite(static_cast<uint8_t>(chunk[p - 1]))
                && !isPdfDelimiter(static_cast<uint8_t>(chunk[p - 1])))
                continue;
            const int64_t offset = base + static_cast<int64_t>(p);
            Ref ref;
            Object o = file.objectAt(offset, ref);
            if (o.isNull() && ref.num == 0)
                continue;
            define(ref.num, {XrefEntry::InFile, ref.gen, offset}, true);
            const Dict& d = o.dictValue();
            if (o.isStream() && d.get("Type").isName("ObjStm"))
                objectStreams_.push_back(ref.num);
            if (o.isStream() && d.get("Type").isName("XRef"))
                trailers.push_back(d);
            if (o.isDict() && d.get("Type").isName("Catalog"))
                catalog = ref;
        }
        for (size_t hit = chunk.find("trailer"); hit != std::string::npos && hit < limit;
             hit = chunk.find("trailer", hit + 7)) {
            Lexer lexer(file.view(base + static_cast<int64_t>(hit) + 7, kChunk, scratch));
            Object dict;
            if (parseObject(lexer, dict) && dict.isDict())
                trailers.push_back(dict.dictValue());
        }
    }
    // The last trailer in the file is the newest.
    for (auto it = trailers.rbegin(); it != trailers.rend(); ++it)
        mergeTrailer(*it);
    if (!trailer_.get("Root").isRef() && catalog.num >= 0) {
        Dict withRoot;
        withRoot.set("Root", Object::ref(catalog));
        for (const auto& [key, value] : trailer_.entries())
            withRoot.set(key, value);
        trailer_ = std::move(withRoot);
    }
}

} // namespace pdf
