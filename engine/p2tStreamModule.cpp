#include "engine/p2tStreamModule.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

#include "engine/compress.h"
#include "engine/p2tEngine.h"
#include "engine/p2tOutputModule.h"

namespace {

constexpr int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Inflate limits: the first attempt's buffer, then the second's.
constexpr size_t kFirstLimit = 1000000 + 1;
constexpr size_t kSecondLimit = 10000000 + 1;

} // namespace

std::string p2tByteData2Str(p2tEngine& eng, const std::vector<uint8_t>& data)
{
    eng.debugLog.logWrite("p2tByteData2Str", "start");
    std::string s(data.size(), ' ');
    for (size_t i = 0; i < data.size(); ++i)
        s[i] = p2tByteChar(data[i]);
    eng.debugLog.logWrite("p2tByteData2Str", "end");
    return s;
}

std::string_view p2tCID2Str(const CidTable& table, int32_t cid)
{
    if (cid < 0 || static_cast<size_t>(cid) >= table.shortTexts.size())
        return {};
    const CidTable::ShortText& text = table.shortTexts[static_cast<size_t>(cid)];
    if (text.length != CidTable::kLong)
        return {text.bytes, text.length};
    uint32_t index;
    std::memcpy(&index, text.bytes, sizeof index);
    return table.longTexts[index];
}

std::string p2tHexCID2Str(const CidTable& table, std::string_view hexDigits)
{
    std::string result;
    for (size_t p = 0; p + 4 <= hexDigits.size(); p += 4) {
        int cid = 0;
        for (size_t k = 0; k < 4; ++k) {
            int v = hexValue(hexDigits[p + k]);
            if (v < 0)
                return result; // not a hexadecimal group: decoding stops here
            cid = cid << 4 | v;
        }
        result += p2tCID2Str(table, cid);
    }
    return result;
}

std::string p2tStringOperands2Str(const CidTable& table, std::string_view line)
{
    TextBuffer text;
    p2tAppendStringOperands(table, line, {}, text, false);
    return std::string(text.view());
}

namespace {

// What each byte is to the string-operand scan, so that the common bytes
// cost one table look-up: inside a literal string a "plain" byte is copied
// as it is, and in a hexadecimal string a byte has its digit value.
struct OperandBytes {
    bool plain[256];
    int8_t hex[256]; // -1: not a digit
    constexpr OperandBytes() : plain(), hex()
    {
        for (int b = 0; b < 256; ++b) {
            char c = p2tByteChar(static_cast<uint8_t>(b));
            plain[b] = c == static_cast<char>(b) && c != '\\' && c != ')' && c != '\0';
            hex[b] = static_cast<int8_t>(hexValue(c));
        }
    }
};
constexpr OperandBytes kOperandBytes;

// The string operands of a line, fed in pieces (the line, then what is taken
// as following it) with the state kept between them. The text is written
// through a pointer into room made in out beforehand: the room left always
// exceeds the bytes not yet read, as every character of a literal string
// takes a byte and a CID's four digits make room for four bytes of text.
class OperandScan {
public:
    OperandScan(const CidTable& table, TextBuffer& out, size_t bytes, bool dropNul)
        : table_(table), out_(out), roomEnd_(out.size() + bytes + 1), dropNul_(dropNul)
    {
        w_ = out_.room(bytes + 1); // + 1: the space of a backslash at the very end
    }

    void feed(std::string_view bytes)
    {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
        const uint8_t* const end = p + bytes.size();
        if (escaped_ && p < end) {
            escaped_ = false;
            put(p2tByteChar(*p++)); // the next character as it is; no escape is interpreted
        }
        // The state in a register while the piece is read: kept in this
        // object, it would be read again after every byte written.
        auto state = state_;
        while (p < end) {
            if (state == Literal) {
                // Writes through w_ may touch any char, this object's fields
                // included as far as the compiler knows: the loop keeps its own.
                char* w = w_;
                const bool* const plain = kOperandBytes.plain;
#if defined(__SSE2__)
                // Sixteen bytes a step, stored whole (the room left exceeds
                // the bytes not yet read) and kept up to the first that is
                // not plain: a backslash, ")", NUL or any byte from 0x80 on.
                while (end - p >= 16) {
                    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(w), v);
                    const __m128i special = _mm_or_si128(
                        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\\')), _mm_cmpeq_epi8(v, _mm_set1_epi8(')'))),
                        _mm_cmpeq_epi8(v, _mm_setzero_si128()));
                    const auto stop = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(special, v)));
                    const int kept = stop == 0 ? 16 : std::countr_zero(stop);
                    w += kept;
                    p += kept;
                    if (kept < 16)
                        break;
                }
#endif
                while (end - p >= 4 && (plain[p[0]] & plain[p[1]] & plain[p[2]] & plain[p[3]])) {
                    std::memcpy(w, p, 4);
                    w += 4;
                    p += 4;
                }
                while (p < end && plain[*p])
                    *w++ = static_cast<char>(*p++);
                w_ = w;
                if (p == end)
                    break;
                const char c = p2tByteChar(*p++);
                if (c == ')') {
                    state = Outside;
                } else if (c == '\\') {
                    if (p == end) {
                        escaped_ = true;
                        break;
                    }
                    put(p2tByteChar(*p++));
                } else {
                    put(c);
                }
            } else if (state == Hex) {
                if (digits_ == 0 && !hexStopped_) {
                    p = putWholeGroups(p, end);
                    if (p == end)
                        break;
                }
                const char c = p2tByteChar(*p++);
                if (c == '>') {
                    state = Outside;
                } else if (c != ' ' && !hexStopped_) {
                    int v = kOperandBytes.hex[static_cast<uint8_t>(c)];
                    if (v < 0) {
                        hexStopped_ = true; // a group that is not hexadecimal ends the decoding
                    } else {
                        cid_ = cid_ << 4 | v;
                        if (++digits_ == 4) {
                            putCid(cid_);
                            cid_ = 0;
                            digits_ = 0;
                        }
                    }
                }
            } else {
                // Up to the next string: nothing between strings gives text.
                while (p < end && *p != '(' && *p != '<')
                    ++p;
                if (p == end)
                    break;
                const uint8_t c = *p++;
                if (c == '(') {
                    state = Literal;
                } else if (c == '<') {
                    state = Hex;
                    hexStart_ = w_; // a hex string gives its text only when it is closed
                    cid_ = 0;
                    digits_ = 0;
                    hexStopped_ = false;
                }
            }
        }
        state_ = state;
    }

    void finish()
    {
        if (escaped_)
            put(' ');
        if (state_ == Hex)
            w_ = hexStart_;
        out_.resize(static_cast<size_t>(w_ - out_.data()));
    }

private:
    // Whole groups of four digits at once, with the spaces between them;
    // gives where the first byte not taken is. The write position and the
    // table stay in registers: every text written could otherwise, as far
    // as the compiler knows, change them.
    const uint8_t* putWholeGroups(const uint8_t* p, const uint8_t* end)
    {
        const int8_t* const hex = kOperandBytes.hex;
        const CidTable::ShortText* const texts = table_.shortTexts.data();
        const size_t known = table_.shortTexts.size();
        static_assert(sizeof(CidTable::ShortText) == 8 && offsetof(CidTable::ShortText, length) == 7);
        char* w = w_;
        while (end - p >= 4) {
            const int a = hex[p[0]], b = hex[p[1]], c = hex[p[2]], d = hex[p[3]];
            if ((a | b | c | d) < 0)
                break;
            const auto cid = static_cast<size_t>(a << 12 | b << 8 | c << 4 | d);
            uint64_t text; // the text's bytes first, its length in the last byte
            if (cid < known && (std::memcpy(&text, &texts[cid], sizeof text), text >> 56 <= 4)) {
                std::memcpy(w, &text, 4);
                w += text >> 56;
            } else {
                w_ = w;
                putCid(static_cast<int>(cid));
                w = w_;
            }
            p += 4;
            if (p < end && *p == ' ')
                ++p;
        }
        w_ = w;
        return p;
    }


    void put(char c)
    {
        if (!(dropNul_ && c == '\0'))
            *w_++ = c;
    }

    void putCid(int cid)
    {
        // Texts of up to four bytes fill the room the CID's digits left.
        const auto index = static_cast<size_t>(cid);
        if (index < table_.shortTexts.size() && table_.shortTexts[index].length <= 4) {
            std::memcpy(w_, table_.shortTexts[index].bytes, 4);
            w_ += table_.shortTexts[index].length;
            return;
        }
        const std::string_view text = p2tCID2Str(table_, cid);
        // Its four digits gave no text of their own, which leaves room for
        // four bytes; a longer text makes more.
        if (text.size() > 4) {
            const size_t at = static_cast<size_t>(w_ - out_.data());
            const size_t hexAt = static_cast<size_t>(hexStart_ - out_.data());
            out_.resize(at);
            roomEnd_ += text.size();
            w_ = out_.room(roomEnd_ - at);
            hexStart_ = out_.data() + hexAt;
        }
        char* w = w_;
        for (char c : text)
            *w++ = c;
        w_ = w;
    }

    const CidTable& table_;
    TextBuffer& out_;
    size_t roomEnd_; // where the room made for the text ends
    char* w_;
    const bool dropNul_;
    enum { Outside, Literal, Hex } state_ = Outside;
    bool escaped_ = false; // a backslash ended the last piece
    char* hexStart_ = nullptr;
    int cid_ = 0;
    int digits_ = 0;
    bool hexStopped_ = false;
};

} // namespace

void p2tAppendStringOperands(const CidTable& table, std::string_view line, std::string_view suffix, TextBuffer& out,
                             bool dropNul)
{
    OperandScan scan(table, out, line.size() + suffix.size(), dropNul);
    scan.feed(line);
    scan.feed(suffix);
    scan.finish();
}

void TextBuffer::grow(size_t atLeast)
{
    const size_t capacity = std::max(atLeast, 2 * capacity_);
    auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ > 0)
        std::memcpy(bigger.get(), data_.get(), size_);
    data_ = std::move(bigger);
    capacity_ = capacity;
}

std::string_view p2tFlateDecode(p2tEngine& eng, p2tBytesView data, int32_t dataSize)
{
    eng.debugLog.logWrite("p2tFlateDecode", "start dataSize=", dataSize);
    // The work array is the stream's dataSize bytes followed by one zero byte:
    // the data's first bytes, then zeros for the rest.
    size_t keep = static_cast<size_t>(std::clamp<int64_t>(dataSize, 0, static_cast<int64_t>(data.bytes.size())));
    uint64_t zeros = static_cast<uint64_t>(static_cast<int64_t>(dataSize) + 1 - static_cast<int64_t>(keep));
    std::vector<uint8_t>& buffer = eng.inflateBuffer;
    size_t produced = 0;
    bool ok;
    if (keep + zeros < 2) {
        // Nothing to inflate: the work array as it is, one zero byte.
        if (buffer.empty())
            buffer.resize(1);
        buffer[0] = 0;
        produced = 1;
        ok = true;
    } else {
        // One pass with the larger buffer gives what the two attempts give:
        // whatever fits the first buffer also fits the second.
        ok = eng.inflater.inflate(data.bytes.data(), keep, zeros, kSecondLimit, buffer, produced);
    }
    static_assert(kFirstLimit < kSecondLimit);
    if (!ok) {
        eng.debugLog.logWrite("p2tFlateDecode", "エラーが発生しました dataSize=", dataSize);
        p2tOutputMessage(eng, "...flateDecodeの解凍失敗\r\n");
        eng.flateFailed = true;
        return {};
    }
    eng.debugLog.logWrite("p2tFlateDecode", "ret=0,ubound=", static_cast<int64_t>(produced) - 1);
    eng.debugLog.logWrite("p2tFlateDecode", "end");
    eng.flateFailed = false;
    return {reinterpret_cast<const char*>(buffer.data()), produced};
}
