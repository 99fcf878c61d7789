#include "engine/p2tFileReadModule.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/system.h"

namespace {

constexpr size_t kWindowSize = 64 * 1024;
// A window starts a little before the byte asked for, so that the tokenizer's
// single steps back stay inside it.
constexpr int64_t kWindowLead = 4096;

bool isWhitespace(uint8_t c) { return c == ' ' || c == '\r' || c == '\n'; }

ssize_t preadFull(int fd, uint8_t* out, size_t n, int64_t offset)
{
    size_t done = 0;
    while (done < n) {
        ssize_t r = pread(fd, out + done, n - done, static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        done += static_cast<size_t>(r);
    }
    return static_cast<ssize_t>(done);
}

} // namespace

p2tReader::~p2tReader() { close(); }

bool p2tReader::openFile(const std::string& path)
{
    close();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    for (Window& w : windows_) {
        if (!w.bytes) // kept from file to file: a folder run opens thousands
            w.bytes = std::make_unique_for_overwrite<uint8_t[]>(kWindowSize); // filled by reading only
        w.start = 0;
        w.length = 0;
        w.lastUse = 0;
    }
    // Most PDFs of a folder run fit in one window: read it straight away, and
    // a short read of a regular file is its end, which saves asking its size.
    Window& first = windows_[0];
    ssize_t got;
    do
        got = pread(fd, first.bytes.get(), kWindowSize, 0);
    while (got < 0 && errno == EINTR);
    int64_t length;
    if (got >= 0 && static_cast<size_t>(got) < kWindowSize) {
        length = got;
    } else {
        // A large file, or no regular file at all (a folder or a pipe fails the read).
        struct stat st{};
        if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || st.st_size > INT32_MAX) {
            ::close(fd);
            return false;
        }
        length = st.st_size;
        got = std::max<ssize_t>(0, got);
    }
    fd_ = fd;
    length_ = static_cast<int32_t>(length);
    first.length = static_cast<size_t>(std::min<int64_t>(got, length));
    buf_ = first.bytes.get();
    bufStart_ = 0;
    bufLen_ = first.length;
    pos_ = 0;
    budget_ = readBudgetFor(length_);
    open_ = true;
    return true;
}

void p2tReader::openMemory(const void* data, size_t size)
{
    close();
    buf_ = static_cast<const uint8_t*>(data);
    length_ = static_cast<int32_t>(std::min<size_t>(size, INT32_MAX));
    bufStart_ = 0;
    bufLen_ = static_cast<size_t>(length_);
    pos_ = 0;
    budget_ = readBudgetFor(length_);
    open_ = true;
}

void p2tReader::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    open_ = false;
    length_ = 0;
    pos_ = 0;
    buf_ = nullptr;
    bufStart_ = 0;
    bufLen_ = 0;
    for (Window& w : windows_)
        w.length = 0;
}

bool p2tReader::fillWindowAt(int64_t pos)
{
    if (pos < 0 || pos >= length_)
        return false;
    if (pos >= bufStart_ && pos < bufStart_ + static_cast<int64_t>(bufLen_))
        return true;
    if (fd_ < 0)
        return false; // memory is one window already
    Window* use = &windows_[0];
    for (Window& w : windows_) {
        if (pos >= w.start && pos < w.start + static_cast<int64_t>(w.length)) {
            use = &w;
            break;
        }
        if (w.lastUse < use->lastUse)
            use = &w;
    }
    if (!(pos >= use->start && pos < use->start + static_cast<int64_t>(use->length))) {
        int64_t start = std::max<int64_t>(0, pos - kWindowLead);
        size_t want = static_cast<size_t>(std::min<int64_t>(kWindowSize, length_ - start));
        ssize_t got = preadFull(fd_, use->bytes.get(), want, start);
        use->start = start;
        use->length = got > 0 ? static_cast<size_t>(got) : 0;
    }
    use->lastUse = ++uses_;
    buf_ = use->bytes.get();
    bufStart_ = use->start;
    bufLen_ = use->length;
    return pos < bufStart_ + static_cast<int64_t>(bufLen_);
}

uint8_t p2tReader::slowNextByte()
{
    if (budget_ < 0) {
        budget_ = -1;
        pos_ = std::max<int64_t>(pos_, length_);
        return 0;
    }
    // Past the end (or where the file came up short) a read gives 0 and still moves on.
    if (!fillWindowAt(pos_)) {
        ++pos_;
        return 0;
    }
    return buf_[pos_++ - bufStart_];
}

std::string_view p2tReader::window()
{
    if (!fillWindowAt(pos_))
        return {};
    return {reinterpret_cast<const char*>(buf_) + (pos_ - bufStart_),
            static_cast<size_t>(bufStart_ + static_cast<int64_t>(bufLen_) - pos_)};
}

namespace {

struct TokenBytes {
    bool continues[256];
    bool space[256];  // whitespace
    bool single[256]; // a token of its own: "[", "]", "(", ")"
    constexpr TokenBytes() : continues(), space(), single()
    {
        for (int b = 0; b < 256; ++b)
            continues[b] = true;
        for (unsigned char d : {' ', '\r', '\n', '/', '[', ']', '(', ')', '<', '>'})
            continues[d] = false;
        for (unsigned char d : {' ', '\r', '\n'})
            space[d] = true;
        for (unsigned char d : {'[', ']', '(', ')'})
            single[d] = true;
    }
};
constexpr TokenBytes kTokenBytes;

} // namespace

size_t p2tReader::appendTokenRun(std::string& token)
{
    if (budget_ <= 0 || !fillWindowAt(pos_))
        return 0;
    const uint8_t* p = buf_ + (pos_ - bufStart_);
    size_t avail = static_cast<size_t>(bufStart_ + static_cast<int64_t>(bufLen_) - pos_);
    if (static_cast<int64_t>(avail) > budget_)
        avail = static_cast<size_t>(budget_);
    size_t n = 0;
    while (n < avail && kTokenBytes.continues[p[n]])
        ++n;
    token.append(reinterpret_cast<const char*>(p), n);
    pos_ += static_cast<int64_t>(n);
    budget_ -= static_cast<int64_t>(n);
    return n;
}

// The next token from `from` on, when it and the byte after it lie in the
// window before its last byte (no step of the byte-by-byte reading then meets
// the end of the file): its bytes [first, end), where reading goes on (next)
// and one past the last byte looked at (looked), which is what the reading
// costs of the budget.
// Inlined into the scans: called once for every token they pass.
[[gnu::always_inline]] inline bool p2tReader::tokenInWindow(const uint8_t* from, TokenBounds& t) const
{
    const uint8_t* const limit = buf_ + bufLen_ - 1;
    const uint8_t* first = from;
    while (first < limit && kTokenBytes.space[*first])
        ++first;
    if (first >= limit)
        return false;
    const uint8_t c = *first;
    const uint8_t* end = first + 1; // one past the token's last byte
    if (kTokenBytes.single[c]) {
        t = {first, end, end, end};
        return true;
    }
    const bool* const continues = kTokenBytes.continues;
    // Most tokens are short: a few bytes one at a time before the long steps,
    // with no need to watch the window's end when it lies beyond them.
    if (limit - end > 8) {
        for (int k = 0; k < 8 && continues[*end]; ++k)
            ++end;
    } else {
        while (end < limit && continues[*end])
            ++end;
    }
    if (end < limit && continues[*end]) {
#if defined(__SSE2__)
        // Sixteen bytes a step: the bytes that end a token (whitespace and
        // delimiters; "()" and "<>" each compared as one after setting a bit).
        const __m128i one = _mm_set1_epi8(1), two = _mm_set1_epi8(2);
        while (limit - end >= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end));
            const __m128i spaces = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(' ')),
                                                             _mm_cmpeq_epi8(v, _mm_set1_epi8('\r'))),
                                                _mm_cmpeq_epi8(v, _mm_set1_epi8('\n')));
            const __m128i brackets = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('[')),
                                                  _mm_cmpeq_epi8(v, _mm_set1_epi8(']')));
            const __m128i others = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(v, one), _mm_set1_epi8(')')),
                                                             _mm_cmpeq_epi8(_mm_or_si128(v, two), _mm_set1_epi8('>'))),
                                                _mm_cmpeq_epi8(v, _mm_set1_epi8('/')));
            auto ends = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(spaces, brackets), others)));
            if (ends != 0) {
                end += std::countr_zero(ends);
                break;
            }
            end += 16;
        }
#endif
        while (limit - end >= 4 && (continues[end[0]] & continues[end[1]] & continues[end[2]] & continues[end[3]]))
            end += 4;
    }
    while (end < limit && continues[*end])
        ++end;
    if (end >= limit)
        return false;
    const uint8_t d = *end; // whitespace or a delimiter
    if (isWhitespace(d)) {
        if (d == '\r') // a CR's LF is taken with it
            t = {first, end, end + (end[1] == '\n' ? 2 : 1), end + 2};
        else
            t = {first, end, end + 1, end + 1};
    } else if (end == first + 1 && ((c == '<' && d == '<') || (c == '>' && d == '>'))) {
        t = {first, end + 1, end + 1, end + 1}; // "<<" or ">>"
    } else {
        t = {first, end, end, end + 1}; // the delimiter starts the next token
    }
    return true;
}

// Makes the window hold the read position and the byte after it, filling it
// there (as reading the next byte would) after a seek elsewhere; false when it
// cannot.
bool p2tReader::windowAtPosition()
{
    const auto holds = [this] { return pos_ >= bufStart_ && pos_ + 1 < bufStart_ + static_cast<int64_t>(bufLen_); };
    return holds() || (fillWindowAt(pos_) && holds());
}

bool p2tReader::readTokenViewInWindow(std::string_view& token)
{
    TokenBounds t;
    if (!windowAtPosition())
        return false;
    const uint8_t* const from = buf_ + (pos_ - bufStart_);
    if (!tokenInWindow(from, t) || budget_ <= t.looked - from)
        return false;
    token = {reinterpret_cast<const char*>(t.first), static_cast<size_t>(t.end - t.first)};
    budget_ -= t.looked - from;
    pos_ += t.next - from;
    return true;
}

bool p2tReader::readTokenInWindow(std::string& token)
{
    std::string_view view;
    if (!readTokenViewInWindow(view))
        return false;
    token.assign(view);
    return true;
}

namespace {

// What the bytes of a 64-byte run of the window are to the tokenizer, one bit
// per byte (bit i: byte i).
struct ChunkClasses {
    uint64_t space;  // ' ', CR, LF
    uint64_t cr;
    uint64_t lf;
    uint64_t single; // "[", "]", "(", ")": tokens of one byte
    uint64_t opener; // "/", "<", ">": end the token before them and start one
    uint64_t angle;  // "<", ">"
    uint64_t key;    // the first byte of a key
};

uint64_t bitCount(uint64_t x)
{
    // Without the processor's own instruction, which the baseline lacks.
    x -= (x >> 1) & 0x5555555555555555ULL;
    x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return (x * 0x0101010101010101ULL) >> 56;
}

class ChunkClassifier {
public:
    static constexpr int kKeyFirsts = 4;
    explicit ChunkClassifier(const uint8_t (&keyFirsts)[kKeyFirsts])
    {
        for (int j = 0; j < kKeyFirsts; ++j)
#if defined(__SSE2__)
            keys_[j] = _mm_set1_epi8(static_cast<char>(keyFirsts[j]));
#else
            keys_[j] = keyFirsts[j];
#endif
    }

    ChunkClasses classify(const uint8_t* p) const
    {
        ChunkClasses m{};
#if defined(__SSE2__)
        for (int k = 0; k < 4; ++k) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
            auto is = [&v](char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
            auto bits = [k](__m128i hits) {
                return static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(hits))) << (16 * k);
            };
            const __m128i cr = is('\r'), lf = is('\n');
            // "(" and ")" compared as one after setting their low bit, "<" and ">" after setting bit 1.
            const __m128i angle = _mm_cmpeq_epi8(_mm_or_si128(v, _mm_set1_epi8(2)), _mm_set1_epi8('>'));
            m.cr |= bits(cr);
            m.lf |= bits(lf);
            m.space |= bits(_mm_or_si128(_mm_or_si128(cr, lf), is(' ')));
            m.single |= bits(_mm_or_si128(_mm_or_si128(is('['), is(']')),
                                          _mm_cmpeq_epi8(_mm_or_si128(v, _mm_set1_epi8(1)), _mm_set1_epi8(')'))));
            m.angle |= bits(angle);
            m.opener |= bits(_mm_or_si128(angle, is('/')));
            m.key |= bits(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, keys_[0]), _mm_cmpeq_epi8(v, keys_[1])),
                                       _mm_or_si128(_mm_cmpeq_epi8(v, keys_[2]), _mm_cmpeq_epi8(v, keys_[3]))));
        }
#else
        for (int i = 0; i < 64; ++i) {
            const uint8_t c = p[i];
            const uint64_t bit = uint64_t{1} << i;
            m.cr |= c == '\r' ? bit : 0;
            m.lf |= c == '\n' ? bit : 0;
            m.space |= isWhitespace(c) ? bit : 0;
            m.single |= (c == '[' || c == ']' || c == '(' || c == ')') ? bit : 0;
            m.angle |= (c == '<' || c == '>') ? bit : 0;
            m.opener |= (c == '<' || c == '>' || c == '/') ? bit : 0;
            for (uint8_t k : keys_)
                m.key |= c == k ? bit : 0;
        }
#endif
        return m;
    }

private:
#if defined(__SSE2__)
    __m128i keys_[kKeyFirsts];
#else
    uint8_t keys_[kKeyFirsts];
#endif
};

} // namespace

// The keys a scan stops at, and what lets most tokens be told apart from
// them at a glance.
struct p2tReader::KeySet {
    std::initializer_list<std::string_view> keys;
    uint64_t lengths = 0; // bit n: some key has n bytes (n < 64)

    explicit KeySet(std::initializer_list<std::string_view> k) : keys(k)
    {
        for (std::string_view key : keys)
            lengths |= key.size() < 64 ? uint64_t{1} << key.size() : 0;
    }

    // The keys' first bytes, the first repeated to fill; false when there are
    // more than four. Asked for only by the scans that go on in chunks.
    bool firstBytes(uint8_t (&firsts)[4]) const
    {
        int count = 0;
        for (std::string_view key : keys) {
            if (key.empty() || std::find(firsts, firsts + count, key[0]) != firsts + count)
                continue;
            if (count == 4)
                return false;
            firsts[count++] = static_cast<uint8_t>(key[0]);
        }
        std::fill(firsts + count, firsts + 4, count > 0 ? firsts[0] : uint8_t{0});
        return true;
    }

    static bool sameByte(char k, uint8_t t) { return static_cast<uint8_t>(k) == t; }

    bool holds(const uint8_t* token, size_t n) const
    {
        if (n < 64 && (lengths >> n & 1) == 0)
            return false;
        for (std::string_view key : keys)
            if (key.size() == n && std::equal(key.begin(), key.end(), token, sameByte))
                return true;
        return false;
    }
};

// Moves past tokens 64 bytes at a time, charging the budget what reading them
// one by one charges: each byte once, and once more the byte after a token
// that ends at a delimiter or at a CR without an LF (reading looks at it and
// reads it again). A token that starts with a key's first byte is compared
// with the keys where it lies in its chunk; only a key, a token that runs out
// of its chunk there, and "<<" or ">>" are read one by one. Stops before a
// key, or where the window or the budget come near their end: the caller
// reads on from there.
const uint8_t* p2tReader::skipChunksToKey(const uint8_t* from, const KeySet& keys, const uint8_t (&firsts)[4])
{
    const ChunkClassifier classifier(firsts);
    const uint8_t* const windowEnd = buf_ + bufLen_;
    constexpr uint64_t kAll = ~uint64_t{0}, kTop = uint64_t{1} << 63;
    const uint8_t* chunk = from; // reading stands at `from`; the bytes from there to `chunk` hold no token end
    uint64_t carry = 0;          // 1: the byte before the chunk is on a token that may go on
    // Every token taken ends before the window's last byte, as tokenInWindow wants.
    while (windowEnd - chunk > 65) {
        const ChunkClasses m = classifier.classify(chunk);
        const uint64_t lfNext = m.lf >> 1 | (chunk[64] == '\n' ? kTop : 0);
        const uint64_t angleNext = m.angle >> 1 | ((chunk[64] | 2) == '>' ? kTop : 0);
        const uint64_t inToken = ~(m.space | m.single); // bytes of tokens that may go on
        const uint64_t delimiter = m.single | m.opener;
        const uint64_t afterToken = inToken << 1 | carry;
        const uint64_t starts = ~m.space & (~afterToken | delimiter);
        // "<>" and "><" are taken for "<<" and ">>" here: token by token is only slower.
        uint64_t problems = m.angle & angleNext;
        for (uint64_t candidates = starts & m.key; candidates != 0; candidates &= candidates - 1) {
            const int first = std::countr_zero(candidates);
            const uint64_t ends = first == 63 ? 0 : (m.space | delimiter) & kAll << (first + 1);
            if (ends == 0 && (m.single >> first & 1) == 0) {
                problems |= uint64_t{1} << first; // runs out of the chunk
                break;
            }
            const int length = (m.single >> first & 1) != 0 ? 1 : std::countr_zero(ends) - first;
            if (keys.holds(chunk + first, static_cast<size_t>(length))) {
                problems |= uint64_t{1} << first;
                break;
            }
        }
        const uint64_t beforeProblem = problems ? (problems & (0 - problems)) - 1 : kAll;
        // Where reading stops after a token, as "after byte i": a one-byte
        // token; whitespace ending a token (after the LF of a CR LF); the byte
        // before a delimiter that ends a token.
        const uint64_t crlfEnd = m.cr & lfNext & afterToken;
        const uint64_t stops =
            (m.single | (m.space & afterToken & ~crlfEnd) | crlfEnd << 1 | (inToken & delimiter >> 1))
            & beforeProblem;
        // A token from the chunk before may end at a delimiter that opens this one.
        if (stops != 0 || (carry & delimiter) != 0) {
            const int stop = 64 - std::countl_zero(stops);
            // Every token end up to the stop is charged here, the byte at the
            // stop itself read again when a token ends there; none lies
            // between the last stop and the chunk's end.
            const uint64_t rereads = afterToken & (delimiter | (m.cr & ~lfNext));
            const uint64_t upToStop = stop >= 63 ? kAll : (uint64_t{2} << stop) - 1;
            const int64_t to = chunk + stop - from;
            const auto charge = static_cast<int64_t>(static_cast<uint64_t>(to) + bitCount(rereads & upToStop));
            if (budget_ <= charge)
                return from; // the last of the budget is spent token by token
            budget_ -= charge;
            pos_ += to;
            from += to;
        }
        if (problems == 0) {
            carry = inToken >> 63;
            chunk += 64;
            continue;
        }
        // Token by token past the first problem, then chunks from there.
        const uint8_t* const problem = chunk + std::countr_zero(problems);
        for (TokenBounds key; from <= problem;)
            if (skipNonKeyTokens(from, keys, 1, key) == 0)
                return from;
        chunk = from;
        carry = 0;
    }
    return from;
}

// Moves past up to `most` tokens that are not keys, each charged what reading
// it charges, with the position and the budget kept here until the last;
// gives how many. Stops before a key (key gets its bounds, else its first
// stays null), a token not wholly in the window, or the end of the budget.
int p2tReader::skipNonKeyTokens(const uint8_t*& from, const KeySet& keys, int most, TokenBounds& key)
{
    const uint8_t* p = from;
    int64_t budget = budget_;
    int n = 0;
    key.first = nullptr;
    for (TokenBounds t; n < most; ++n) {
        if (!tokenInWindow(p, t) || budget <= t.looked - p)
            break;
        if (keys.holds(t.first, static_cast<size_t>(t.end - t.first))) {
            key = t;
            break;
        }
        budget -= t.looked - p;
        p = t.next;
    }
    budget_ = budget;
    pos_ += p - from;
    from = p;
    return n;
}

bool p2tReader::skipToKey(const KeySet& keys, TokenBounds& key)
{
    key.first = nullptr;
    if (!windowAtPosition())
        return false;
    const uint8_t* from = buf_ + (pos_ - bufStart_);
    // A scan that goes on past a dictionary's worth of tokens is most often in
    // stream data: from there on, runs of tokens none of which starts like a
    // key are passed a chunk at a time, when the keys start with few bytes.
    constexpr int kTokensBeforeChunks = 13;
    if (skipNonKeyTokens(from, keys, kTokensBeforeChunks, key) == kTokensBeforeChunks) {
        if (uint8_t firsts[4]; keys.firstBytes(firsts))
            from = skipChunksToKey(from, keys, firsts);
        skipNonKeyTokens(from, keys, INT_MAX, key);
    }
    return key.first != nullptr;
}

void p2tReader::skipTokensOtherThan(std::initializer_list<std::string_view> keys)
{
    TokenBounds key;
    skipToKey(KeySet(keys), key);
}

bool p2tReader::skipToKeyAndRead(std::initializer_list<std::string_view> keys, std::string_view& token)
{
    TokenBounds key;
    if (!skipToKey(KeySet(keys), key))
        return false;
    // The key as readTokenViewInWindow reads it: its bounds are those it finds.
    const uint8_t* const from = buf_ + (pos_ - bufStart_);
    token = {reinterpret_cast<const char*>(key.first), static_cast<size_t>(key.end - key.first)};
    budget_ -= key.looked - from;
    pos_ += key.next - from;
    return true;
}

bool p2tReader::readXrefEntryInWindow(int32_t& address, int32_t& gen, char& kind)
{
    if (pos_ < bufStart_ || pos_ >= bufStart_ + static_cast<int64_t>(bufLen_))
        return false;
    const uint8_t* const from = buf_ + (pos_ - bufStart_);
    // The longest form ends 24 bytes on, plus leading whitespace; the byte
    // after the entry is looked at, and each token's next byte lies before
    // the window's last, as tokenInWindow wants.
    const uint8_t* const limit = buf_ + bufLen_ - 1;
    const uint8_t* p = from;
    while (p < limit && isWhitespace(*p))
        ++p;
    if (limit - p < 26)
        return false;
    auto digits = [&p](int32_t& value) {
        uint64_t v = 0;
        const uint8_t* const first = p;
        while (p - first < 10 && static_cast<unsigned>(*p - '0') <= 9)
            v = v * 10 + static_cast<unsigned>(*p++ - '0');
        if (p == first || *p != ' ' || v > INT32_MAX)
            return false;
        ++p;
        value = static_cast<int32_t>(v);
        return true;
    };
    int32_t a, g;
    if (!digits(a) || !digits(g) || (*p != 'n' && *p != 'f') || !isWhitespace(p[1]))
        return false;
    const uint8_t* end = p + 1; // the whitespace after the kind
    int64_t next = end + 1 - from, looked = next;
    if (*end == '\r') {
        if (end[1] == '\n')
            next = looked = end + 2 - from;
        else
            looked = end + 2 - from; // a lone CR: the byte after it is read again
    }
    if (budget_ <= looked)
        return false;
    budget_ -= looked;
    pos_ += next;
    address = a;
    gen = g;
    kind = static_cast<char>(*p);
    return true;
}

size_t p2tReader::readInto(uint8_t* out, size_t n)
{
    if (pos_ < 0 || pos_ >= length_)
        return 0;
    n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(n), length_ - pos_));
    size_t done = 0;
    if (pos_ >= bufStart_ && pos_ < bufStart_ + static_cast<int64_t>(bufLen_)) {
        size_t avail = static_cast<size_t>(bufStart_ + static_cast<int64_t>(bufLen_) - pos_);
        done = std::min(avail, n);
        std::memcpy(out, buf_ + (pos_ - bufStart_), done);
    }
    if (done < n && fd_ >= 0) {
        ssize_t got = preadFull(fd_, out + done, n - done, pos_ + static_cast<int64_t>(done));
        done += got > 0 ? static_cast<size_t>(got) : 0;
    }
    pos_ += static_cast<int64_t>(done);
    return done;
}

bool p2tSeek(p2tReader& fileNo, int32_t& position)
{
    if (position < 0 || position >= fileNo.length())
        return false;
    if (position == 0)
        position = 1; // the first byte of a file is never read again after a seek
    fileNo.setPosition(position);
    return true;
}

bool p2tSeekEnd(p2tReader& fileNo)
{
    int32_t last = fileNo.length() - 1;
    return p2tSeek(fileNo, last);
}

bool p2tSeekBack(p2tReader& fileNo, int32_t& count)
{
    int64_t target = fileNo.position() - count;
    if (target < 0)
        target = 0;
    count = static_cast<int32_t>(std::min<int64_t>(target, INT32_MAX));
    return p2tSeek(fileNo, count);
}

int32_t p2tGetPosition(p2tReader& fileNo)
{
    return static_cast<int32_t>(std::min<int64_t>(fileNo.position(), INT32_MAX));
}

bool p2tIsEOF(p2tReader& fileNo) { return fileNo.atEnd(); }

uint8_t p2tReadByte(p2tReader& fileNo) { return fileNo.nextByte(); }

int32_t p2tGetFileLength(p2tReader& fileNo) { return fileNo.length(); }

p2tBytes p2tReadBytes(p2tReader& fileNo, int32_t n)
{
    p2tBytes result;
    if (n < 0)
        return result;
    int64_t total = static_cast<int64_t>(n) + 1;
    int64_t pos = fileNo.position();
    int64_t inFile = pos < fileNo.length() ? std::min<int64_t>(total, fileNo.length() - pos) : 0;
    result.bytes.resize(static_cast<size_t>(inFile));
    size_t got = fileNo.readInto(result.bytes.data(), result.bytes.size());
    result.bytes.resize(got);
    result.zeroTail = static_cast<uint32_t>(total - static_cast<int64_t>(got));
    fileNo.setPosition(pos + total);
    return result;
}

p2tBytesView p2tReadBytesView(p2tReader& fileNo, int32_t n, p2tBytes& spare)
{
    const int64_t pos = fileNo.position();
    if (n >= 0 && pos < fileNo.length()) {
        const int64_t total = static_cast<int64_t>(n) + 1;
        const auto inFile = static_cast<size_t>(std::min<int64_t>(total, fileNo.length() - pos));
        const std::string_view window = fileNo.window();
        if (window.size() >= inFile) {
            fileNo.setPosition(pos + total);
            return {{reinterpret_cast<const uint8_t*>(window.data()), inFile}, static_cast<uint32_t>(total - inFile)};
        }
    }
    spare = p2tReadBytes(fileNo, n);
    return spare;
}

std::string p2tGetToken(p2tReader& fileNo)
{
    std::string token;
    p2tReadToken(fileNo, token);
    return token;
}

std::string_view p2tReadTokenView(p2tReader& fileNo, std::string& spare)
{
    std::string_view view;
    if (fileNo.readTokenViewInWindow(view))
        return view;
    p2tReadToken(fileNo, spare);
    return spare;
}

std::string_view p2tReadTokenAfterOthers(p2tReader& fileNo, std::initializer_list<std::string_view> keys,
                                         std::string& spare)
{
    std::string_view token;
    if (fileNo.skipToKeyAndRead(keys, token))
        return token;
    return p2tReadTokenView(fileNo, spare);
}

void p2tReadToken(p2tReader& fileNo, std::string& token)
{
    if (fileNo.readTokenInWindow(token))
        return;
    token.clear();
    bool started = false;
    uint8_t c;
    for (;;) {
        c = fileNo.nextByte();
        if (!isWhitespace(c)) {
            started = true;
            token += static_cast<char>(c);
        }
        if (fileNo.atEnd() || started)
            break;
    }
    if (token.size() == 1 && (c == '[' || c == ']' || c == '(' || c == ')'))
        return;
    for (;;) {
        // Bytes that can only continue the token are taken in one go; after
        // the last byte of the file the token ends.
        if (fileNo.appendTokenRun(token) > 0) {
            if (fileNo.atEnd())
                return;
            continue;
        }
        c = fileNo.nextByte();
        const bool loneLt = token.size() == 1 && token[0] == '<';
        const bool loneGt = token.size() == 1 && token[0] == '>';
        if (isWhitespace(c)) {
            started = false;
            if (c == '\r' && fileNo.nextByte() != '\n') {
                int32_t one = 1;
                p2tSeekBack(fileNo, one);
            }
        } else if (c == '/' || c == '[' || c == ']' || c == '(' || c == ')' || (c == '<' && !loneLt)
                   || (c == '>' && !loneGt)) {
            started = false;
            int32_t one = 1;
            p2tSeekBack(fileNo, one);
        } else {
            token += static_cast<char>(c);
            if ((c == '<' && loneLt) || (c == '>' && loneGt))
                return; // "<<" or ">>"
        }
        if (fileNo.atEnd() || !started)
            return;
    }
}

std::optional<std::vector<uint8_t>> p2tReadFileBytes(const std::string& path)
{
    p2tReader reader;
    if (!reader.openFile(path) || reader.length() == 0)
        return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(reader.length()));
    if (reader.readInto(bytes.data(), bytes.size()) != bytes.size())
        return std::nullopt;
    return bytes;
}

bool p2tWriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool written = platform::writeAll(fd, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    return ::close(fd) == 0 && written;
}

std::optional<int32_t> p2tToLong(std::string_view token)
{
    // Plain digits, as in every cross-reference entry: no sign, no fraction,
    // and too few digits for the sum to overflow.
    if (!token.empty() && token.size() <= 18) {
        uint64_t value = 0;
        size_t i = 0;
        for (; i < token.size(); ++i) {
            const unsigned digit = static_cast<unsigned char>(token[i]) - unsigned{'0'};
            if (digit > 9)
                break;
            value = value * 10 + digit;
        }
        if (i == token.size())
            return value > INT32_MAX ? std::nullopt : std::optional<int32_t>(static_cast<int32_t>(value));
    }
    size_t i = 0;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-'))
        negative = token[i++] == '-';
    int64_t whole = 0;
    size_t digits = 0;
    while (i < token.size() && token[i] >= '0' && token[i] <= '9') {
        whole = whole * 10 + (token[i++] - '0');
        ++digits;
        if (whole > static_cast<int64_t>(INT32_MAX) + 1)
            return std::nullopt;
    }
    if (i < token.size() && token[i] == '.') {
        ++i;
        size_t fracStart = i;
        while (i < token.size() && token[i] >= '0' && token[i] <= '9')
            ++i;
        digits += i - fracStart;
        if (i == token.size() && i > fracStart) {
            // Round half to even on the fraction's digits.
            std::string_view frac = token.substr(fracStart, i - fracStart);
            int cmp; // fraction against one half
            if (frac[0] > '5')
                cmp = 1;
            else if (frac[0] < '5')
                cmp = -1;
            else
                cmp = frac.find_first_not_of('0', 1) == std::string_view::npos ? 0 : 1;
            if (cmp > 0 || (cmp == 0 && whole % 2 == 1))
                ++whole;
        }
    }
    if (digits == 0 || i != token.size())
        return std::nullopt;
    int64_t value = negative ? -whole : whole;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(value);
}
