#include "engine/extended/filters.h"

#include "engine/extended/lexer.h"
#include "platform/system.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace pdf {

namespace {

// The name a filter goes by, with the abbreviations of inline images.
std::string_view canonical(std::string_view name)
{
    if (name == "Fl")
        return "FlateDecode";
    if (name == "LZW")
        return "LZWDecode";
    if (name == "AHx")
        return "ASCIIHexDecode";
    if (name == "A85")
        return "ASCII85Decode";
    if (name == "RL")
        return "RunLengthDecode";
    if (name == "DCT")
        return "DCTDecode";
    if (name == "CCF")
        return "CCITTFaxDecode";
    return name;
}

bool isImageFilter(std::string_view name)
{
    return name == "DCTDecode" || name == "JPXDecode" || name == "CCITTFaxDecode" || name == "JBIG2Decode";
}

} // namespace

struct FilterContext::Zlib {
    z_stream zs{};
    int windowBits = 0; // 0: not set up
    std::string buffer;  // inflated bytes, reused from stream to stream
    libdeflate_decompressor* whole = nullptr; // made when first wanted
    ~Zlib()
    {
        if (windowBits != 0)
            inflateEnd(&zs);
        if (whole)
            libdeflate_free_decompressor(whole);
    }
};

FilterContext::FilterContext() : zlib(std::make_unique<Zlib>()) {}
FilterContext::~FilterContext() = default;

namespace {

constexpr size_t kInflateBuffer = 64 * 1024;
constexpr size_t kInflatePiece = size_t{1} << 20;
// Output kept in pieces up to this; a longer stream is inflated again,
// straight into a buffer of its size, rather than held twice.
constexpr size_t kInflateKept = size_t{16} << 20;

// Sets zlib up to inflate `in` (zlib data, or with raw bare deflate data);
// false when it cannot.
bool startInflate(std::string_view in, bool raw, FilterContext::Zlib& z)
{
    const int bits = raw ? -MAX_WBITS : MAX_WBITS;
    if (z.windowBits == 0) {
        if (inflateInit2(&z.zs, bits) != Z_OK)
            return false;
    } else if (inflateReset2(&z.zs, bits) != Z_OK) {
        return false;
    }
    // The check value is not worked out: a stream whose check fails is read
    // up to its end all the same.
    inflateValidate(&z.zs, 0);
    z.windowBits = bits;
    // Files are at most 2 GB long: the data fits one call's count.
    z.zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.zs.avail_in = static_cast<uInt>(std::min<size_t>(in.size(), UINT32_MAX));
    return true;
}

// Inflates into [at, at + size); false once the data ends (or is damaged or
// cut short). `produced` grows by the bytes written.
bool inflateInto(char* at, size_t size, z_stream& zs, size_t& produced)
{
    zs.next_out = reinterpret_cast<Bytef*>(at);
    zs.avail_out = static_cast<uInt>(std::min(size, size_t{UINT32_MAX}));
    const uInt before = zs.avail_out;
    int rc = inflate(&zs, Z_NO_FLUSH);
    produced += before - zs.avail_out;
    return rc == Z_OK && !(before == zs.avail_out && zs.avail_in == 0);
}

// Whether data that inflated to nothing may be bare deflate data, with no
// zlib header: some writers store it so.
bool mayBeBareDeflate(std::string_view in)
{
    if (in.empty())
        return false;
    const auto cmf = static_cast<uint8_t>(in[0]);
    return (cmf & 0x0F) != 8 || in.size() < 2 || ((cmf << 8) | static_cast<uint8_t>(in[1])) % 31 != 0;
}

// Runs inflate over all of `in` (zlib data, or with raw bare deflate data)
// for at most `limit` bytes of output; `room(produced)` says where the next
// bytes go and how many fit there. Gives the number of bytes produced: data
// damaged part way gives what came before the damage.
// Room for a whole stream's output: what its compressed size suggests, up
// to `most`.
size_t wholeRoom(std::string_view in, size_t limit, size_t most)
{
    return std::min({limit, most, std::max(kInflateBuffer, in.size() * 16)});
}

// Inflates all of `in` into [out, out + room) at once with libdeflate, two to
// three times as fast as zlib: true when the data ends within the room and
// in good order. Anything else is zlib's to read, which also gives what
// comes before damage; data zlib refuses from its header on is not tried.
bool inflateWhole(std::string_view in, bool raw, FilterContext::Zlib& z, char* out, size_t room, size_t& produced)
{
    produced = 0;
    if (!raw) {
        // As zlib takes it: deflate, a window of at most 32 KB, the header's
        // check, and no preset dictionary.
        if (in.size() < 2)
            return false;
        const auto cmf = static_cast<uint8_t>(in[0]), flg = static_cast<uint8_t>(in[1]);
        if ((cmf & 0x0F) != 8 || (cmf >> 4) > 7 || (cmf << 8 | flg) % 31 != 0 || (flg & 0x20) != 0)
            return false;
    }
    if (!z.whole && !(z.whole = libdeflate_alloc_decompressor()))
        return false;
    size_t used = 0;
    const libdeflate_result result =
        raw ? libdeflate_deflate_decompress_ex(z.whole, in.data(), in.size(), out, room, &used, &produced)
            : libdeflate_zlib_decompress_ex(z.whole, in.data(), in.size(), out, room, &used, &produced);
    if (result != LIBDEFLATE_SUCCESS)
        produced = 0;
    return result == LIBDEFLATE_SUCCESS;
}

template <class Room>
size_t inflatePass(std::string_view in, size_t limit, bool raw, FilterContext::Zlib& z, Room room)
{
    if (!startInflate(in, raw, z))
        return 0;
    size_t produced = 0;
    while (produced < limit) {
        auto [at, size] = room(produced);
        if (!inflateInto(at, std::min(size, limit - produced), z.zs, produced))
            break;
    }
    return produced;
}

// Inflates into out, with libdeflate where it can, else with zlib. Most
// streams fit the reused buffer (a fresh one for
// each would be cleared and freed each time); a longer one goes on straight
// into out, its room set aside at once for what the stream's compressed size
// suggests and cleared a piece at a time just before inflate fills it, so
// that its bytes are neither copied nor touched twice. Past kInflateKept the
// output is only counted, then inflated again into room of its exact size:
// memory holds its bytes at most once.
void inflateData(std::string_view in, std::string& out, size_t limit, bool raw, FilterContext::Zlib& z)
{
    std::string& buffer = z.buffer;
    if (buffer.empty())
        buffer.resize(kInflateBuffer);
    out.clear();
    if (size_t room = wholeRoom(in, limit, kInflateKept), whole = 0; room <= buffer.size()) {
        if (inflateWhole(in, raw, z, buffer.data(), room, whole)) {
            out.assign(buffer, 0, whole);
            return;
        }
    } else {
        const auto bytes = std::make_unique_for_overwrite<char[]>(room);
        if (inflateWhole(in, raw, z, bytes.get(), room, whole)) {
            out.assign(bytes.get(), whole);
            return;
        }
    }
    bool inOut = false;              // past the buffer: the bytes go on in out
    std::unique_ptr<char[]> discard; // past kInflateKept: only counted
    auto keep = [&](size_t produced) -> std::pair<char*, size_t> {
        if (produced < buffer.size())
            return {buffer.data() + produced, buffer.size() - produced};
        if (produced >= kInflateKept) {
            if (!discard)
                discard.reset(new char[kInflatePiece]);
            return {discard.get(), kInflatePiece};
        }
        if (!inOut) {
            inOut = true;
            out.reserve(std::min({kInflateKept, limit, std::max(2 * buffer.size(), in.size() * 4)}));
            platform::preferLargePages(out.data(), out.capacity());
            out.assign(buffer, 0, produced);
        }
        out.resize(std::min(kInflateKept, produced + kInflatePiece));
        return {out.data() + produced, out.size() - produced};
    };
    const size_t produced = inflatePass(in, limit, raw, z, keep);
    if (produced <= kInflateKept) {
        if (inOut)
            out.resize(produced);
        else
            out.assign(buffer, 0, produced);
        return;
    }
    discard.reset();
    std::string().swap(out);
    out.resize(produced);
    out.resize(inflatePass(in, produced, raw, z, [&](size_t done) -> std::pair<char*, size_t> {
        return {out.data() + done, produced - done};
    }));
}

void flate(std::string_view in, std::string& out, size_t limit, FilterContext::Zlib& z)
{
    inflateData(in, out, limit, false, z);
    if (out.empty() && mayBeBareDeflate(in))
        inflateData(in, out, limit, true, z);
}

// LZW as PDF uses it: 9 to 12 bit codes, 256 clears the table, 257 ends the
// data; with early change the code width grows one code sooner. A code past
// the table ends the data (damage): what came before is kept.
void lzw(std::string_view in, std::string& out, size_t limit, bool earlyChange)
{
    struct Entry {
        int32_t prefix;
        uint8_t byte;
        uint8_t first;
        uint16_t length;
    };
    std::vector<Entry> table(4096);
    for (int i = 0; i < 256; ++i)
        table[static_cast<size_t>(i)] = {-1, static_cast<uint8_t>(i), static_cast<uint8_t>(i), 1};
    int next = 258, width = 9, previous = -1;
    uint32_t buffer = 0;
    int bits = 0;
    std::string scratch;
    for (size_t i = 0; out.size() < limit;) {
        while (bits < width && i < in.size()) {
            buffer = buffer << 8 | static_cast<uint8_t>(in[i++]);
            bits += 8;
        }
        if (bits < width)
            break;
        int code = static_cast<int>((buffer >> (bits - width)) & ((1u << width) - 1));
        bits -= width;
        if (code == 256) {
            next = 258;
            width = 9;
            previous = -1;
            continue;
        }
        if (code == 257 || code > next || (code == next && (previous < 0 || next >= 4096)))
            break;
        if (previous >= 0 && next < 4096) {
            // The new entry: the previous string and the first byte of this one
            // (its own first byte when it is the entry being defined).
            const Entry& p = table[static_cast<size_t>(previous)];
            uint8_t first = code == next ? p.first : table[static_cast<size_t>(code)].first;
            table[static_cast<size_t>(next)] = {previous, first, p.first, static_cast<uint16_t>(p.length + 1)};
            ++next;
        }
        const Entry& e = table[static_cast<size_t>(code)];
        scratch.assign(e.length, '\0');
        int c = code;
        for (size_t k = e.length; k-- > 0 && c >= 0; c = table[static_cast<size_t>(c)].prefix)
            scratch[k] = static_cast<char>(table[static_cast<size_t>(c)].byte);
        out.append(scratch, 0, std::min(scratch.size(), limit - out.size()));
        previous = code;
        if (next + (earlyChange ? 1 : 0) >= (1 << width) && width < 12)
            ++width;
    }
}


void asciiHex(std::string_view in, std::string& out, size_t limit)
{
    int high = -1;
    for (size_t i = 0; i < in.size() && out.size() < limit; ++i) {
        char c = in[i];
        if (c == '>')
            break;
        int v = hexDigitValue(static_cast<uint8_t>(c));
        if (v < 0)
            continue; // white space, and damage, are skipped
        if (high < 0) {
            high = v;
        } else {
            out += static_cast<char>(high << 4 | v);
            high = -1;
        }
    }
    if (high >= 0 && out.size() < limit)
        out += static_cast<char>(high << 4);
}

// ASCII85: groups of five characters '!'..'u' for four bytes, 'z' for four
// zeros, "~>" at the end; a last partial group gives one byte fewer than its
// characters. A group worth more than 32 bits ends the data.
void ascii85(std::string_view in, std::string& out, size_t limit)
{
    uint64_t value = 0;
    int count = 0;
    auto flush = [&](int chars) {
        for (int k = chars; k < 5; ++k)
            value = value * 85 + 84;
        if (value > UINT32_MAX)
            return false;
        for (int k = 0; k < chars - 1 && out.size() < limit; ++k)
            out += static_cast<char>((value >> (24 - 8 * k)) & 0xFF);
        return true;
    };
    for (size_t i = 0; i < in.size() && out.size() < limit; ++i) {
        auto c = static_cast<uint8_t>(in[i]);
        if (c == '~')
            break;
        if (isPdfWhite(c))
            continue;
        if (c == 'z' && count == 0) {
            out.append(std::min<size_t>(4, limit - out.size()), '\0');
            continue;
        }
        if (c < '!' || c > 'u')
            break;
        value = value * 85 + (c - '!');
        if (++count == 5) {
            if (!flush(5))
                return;
            value = 0;
            count = 0;
        }
    }
    if (count > 1)
        flush(count);
}

void runLength(std::string_view in, std::string& out, size_t limit)
{
    for (size_t i = 0; i < in.size() && out.size() < limit;) {
        auto n = static_cast<uint8_t>(in[i++]);
        if (n == 128)
            break;
        if (n < 128) {
            size_t len = std::min<size_t>({static_cast<size_t>(n) + 1, in.size() - i, limit - out.size()});
            out.append(in.substr(i, len));
            i += static_cast<size_t>(n) + 1;
        } else if (i < in.size()) {
            out.append(std::min<size_t>(257 - n, limit - out.size()), in[i++]);
        }
    }
}

int64_t intParm(const Dict& parms, std::string_view key, int64_t fallback)
{
    const Object& o = parms.get(key);
    return o.isNumber() ? o.intValue() : fallback;
}

// Undoes a PNG or TIFF predictor. Parameters out of range fail the stream.
bool unpredict(const Dict& parms, std::string& data)
{
    int64_t predictor = intParm(parms, "Predictor", 1);
    if (predictor == 1)
        return true;
    int64_t colors = intParm(parms, "Colors", 1);
    int64_t bpc = intParm(parms, "BitsPerComponent", 8);
    int64_t columns = intParm(parms, "Columns", 1);
    if (colors < 1 || colors > 32 || (bpc != 1 && bpc != 2 && bpc != 4 && bpc != 8 && bpc != 16) || columns < 1
        || columns > (1 << 24))
        return false;
    const size_t pixelBytes = static_cast<size_t>(std::max<int64_t>(1, (colors * bpc + 7) / 8));
    const size_t rowBytes = static_cast<size_t>((colors * bpc * columns + 7) / 8);
    std::string out;
    if (predictor == 2) {
        if (bpc != 8)
            return true; // only byte samples are undone: text streams have no others
        out = data;
        for (size_t row = 0; row < out.size(); row += rowBytes)
            for (size_t i = pixelBytes; i < rowBytes && row + i < out.size(); ++i)
                out[row + i] = static_cast<char>(out[row + i] + out[row + i - pixelBytes]);
        data = std::move(out);
        return true;
    }
    if (predictor < 10 || predictor > 15)
        return false;
    out.reserve(data.size());
    std::string prior(rowBytes, '\0');
    std::string row(rowBytes, '\0');
    for (size_t pos = 0; pos < data.size();) {
        auto type = static_cast<uint8_t>(data[pos++]);
        size_t len = std::min(rowBytes, data.size() - pos);
        std::fill(row.begin(), row.end(), '\0');
        std::memcpy(row.data(), data.data() + pos, len);
        pos += len;
        for (size_t i = 0; i < rowBytes; ++i) {
            int left = i >= pixelBytes ? static_cast<uint8_t>(row[i - pixelBytes]) : 0;
            int up = static_cast<uint8_t>(prior[i]);
            int upLeft = i >= pixelBytes ? static_cast<uint8_t>(prior[i - pixelBytes]) : 0;
            int add = 0;
            switch (type) {
            case 1: add = left; break;
            case 2: add = up; break;
            case 3: add = (left + up) / 2; break;
            case 4: {
                int p = left + up - upLeft;
                int pa = std::abs(p - left), pb = std::abs(p - up), pc = std::abs(p - upLeft);
                add = pa <= pb && pa <= pc ? left : pb <= pc ? up : upLeft;
                break;
            }
            default: break;
            }
            row[i] = static_cast<char>(static_cast<uint8_t>(row[i]) + add);
        }
        out.append(row, 0, len);
        prior.swap(row);
    }
    data = std::move(out);
    return true;
}

} // namespace

bool InflatePieces::takes(const std::vector<FilterStep>& steps)
{
    return steps.size() == 1 && canonical(steps[0].name) == "FlateDecode"
           && intParm(steps[0].parms, "Predictor", 1) == 1;
}

InflatePieces::InflatePieces(std::string data, size_t limit, FilterContext& context)
    : data_(std::move(data)), limit_(limit), z_(*context.zlib)
{
}

size_t InflatePieces::read(char* at, size_t room)
{
    if (!started_) {
        started_ = true;
        if (!inflateAtOnce() && !startInflate(data_, false, z_))
            ended_ = true;
    }
    if (whole_) {
        const size_t n = std::min(room, wholeSize_ - wholeAt_);
        std::memcpy(at, whole_.get() + wholeAt_, n);
        wholeAt_ += n;
        return n;
    }
    room = std::min(room, limit_ - produced_);
    if (ended_ || room == 0)
        return 0;
    size_t got = fill(at, room);
    if (got == 0 && produced_ == 0 && !bare_ && mayBeBareDeflate(data_)) {
        bare_ = true;
        if (startInflate(data_, true, z_))
            got = fill(at, room);
    }
    if (got < room)
        ended_ = true;
    produced_ += got;
    return got;
}

// Most content streams inflate at once, as inflateData reads them, and are
// then handed out from there; the rest go through zlib a piece at a time.
bool InflatePieces::inflateAtOnce()
{
    constexpr size_t kMostAtOnce = size_t{64} << 20;
    const size_t room = wholeRoom(data_, limit_, kMostAtOnce);
    auto bytes = std::make_unique_for_overwrite<char[]>(room);
    platform::preferLargePages(bytes.get(), room);
    size_t got = 0;
    if (!inflateWhole(data_, false, z_, bytes.get(), room, got)
        && !(mayBeBareDeflate(data_) && inflateWhole(data_, true, z_, bytes.get(), room, got)))
        return false;
    whole_ = std::move(bytes);
    wholeSize_ = got;
    std::string().swap(data_); // its compressed bytes are not wanted any more
    return true;
}

// Inflates until `room` bytes are written or the data ends.
size_t InflatePieces::fill(char* at, size_t room)
{
    size_t got = 0;
    while (got < room && inflateInto(at + got, room - got, z_.zs, got)) {
    }
    return got;
}

FilterResult applyFilter(const FilterStep& step, std::string_view in, std::string& out, size_t limit,
                         FilterContext* context)
{
    out.clear();
    std::string_view name = canonical(step.name);
    if (isImageFilter(name))
        return FilterResult::Image;
    if (name == "FlateDecode" || name == "LZWDecode") {
        if (name == "FlateDecode") {
            if (context) {
                flate(in, out, limit, *context->zlib);
            } else {
                FilterContext own;
                flate(in, out, limit, *own.zlib);
            }
        }
        else
            lzw(in, out, limit, intParm(step.parms, "EarlyChange", 1) != 0);
        return unpredict(step.parms, out) ? FilterResult::Ok : FilterResult::Failed;
    }
    if (name == "ASCIIHexDecode")
        asciiHex(in, out, limit);
    else if (name == "ASCII85Decode")
        ascii85(in, out, limit);
    else if (name == "RunLengthDecode")
        runLength(in, out, limit);
    else if (name == "Crypt")
        out.assign(in.substr(0, std::min(in.size(), limit))); // decryption happened before the filters
    else
        return FilterResult::Failed;
    return FilterResult::Ok;
}

bool filterSteps(const Object& filter, const Object& parms, std::vector<FilterStep>& out)
{
    out.clear();
    if (filter.isNull())
        return true;
    auto parmsAt = [&](size_t i) -> const Object& {
        if (parms.isArray())
            return i < parms.arrayValue().size() ? parms.arrayValue()[i] : Object::null();
        return i == 0 ? parms : Object::null();
    };
    if (filter.isName()) {
        out.push_back({filter.text(), parmsAt(0).dictValue()});
        return true;
    }
    if (!filter.isArray())
        return false;
    for (size_t i = 0; i < filter.arrayValue().size(); ++i) {
        const Object& f = filter.arrayValue()[i];
        if (!f.isName())
            return false;
        out.push_back({f.text(), parmsAt(i).dictValue()});
    }
    return true;
}

FilterResult applyFilters(const std::vector<FilterStep>& steps, std::string& data, size_t limit,
                          FilterContext* context)
{
    std::string out;
    for (const FilterStep& step : steps) {
        FilterResult r = applyFilter(step, data, out, limit, context);
        if (r != FilterResult::Ok)
            return r;
        data.swap(out);
    }
    if (data.size() > limit)
        data.resize(limit);
    return FilterResult::Ok;
}

} // namespace pdf
