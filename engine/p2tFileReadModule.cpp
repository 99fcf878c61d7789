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
        w.bytes.resize(kWindowSize); // kept from file to file: a folder run opens thousands
        w.start = 0;
        w.length = 0;
        w.lastUse = 0;
    }
    // Most PDFs of a folder run fit in one window: read it straight away, and
    // a short read of a regular file is its end, which saves asking its size.
    Window& first = windows_[0];
    ssize_t got;
    do
        got = pread(fd, first.bytes.data(), kWindowSize, 0);
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
    buf_ = first.bytes.data();
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
        ssize_t got = preadFull(fd_, use->bytes.data(), want, start);
        use->start = start;
        use->length = got > 0 ? static_cast<size_t>(got) : 0;
    }
    use->lastUse = ++uses_;
    buf_ = use->bytes.data();
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
    constexpr TokenBytes() : continues()
    {
        for (int b = 0; b < 256; ++b)
            continues[b] = true;
        for (unsigned char d : {' ', '\r', '\n', '/', '[', ']', '(', ')', '<', '>'})
            continues[d] = false;
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
bool p2tReader::tokenInWindow(const uint8_t* from, TokenBounds& t) const
{
    const uint8_t* const limit = buf_ + bufLen_ - 1;
    const uint8_t* first = from;
    while (first < limit && isWhitespace(*first))
        ++first;
    if (first >= limit)
        return false;
    const uint8_t c = *first;
    const uint8_t* end = first + 1; // one past the token's last byte
    if (c == '[' || c == ']' || c == '(' || c == ')') {
        t = {first, end, end, end};
        return true;
    }
    const bool* const continues = kTokenBytes.continues;
    // Most tokens are short: a few bytes one at a time before the long steps.
    for (int k = 0; k < 8 && end < limit && continues[*end]; ++k)
        ++end;
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

bool p2tReader::readTokenInWindow(std::string& token)
{
    TokenBounds t;
    if (pos_ < bufStart_ || pos_ + 1 >= bufStart_ + static_cast<int64_t>(bufLen_))
        return false;
    const uint8_t* const from = buf_ + (pos_ - bufStart_);
    if (!tokenInWindow(from, t) || budget_ <= t.looked - from)
        return false;
    token.assign(reinterpret_cast<const char*>(t.first), static_cast<size_t>(t.end - t.first));
    budget_ -= t.looked - from;
    pos_ += t.next - from;
    return true;
}

void p2tReader::skipTokensOtherThan(std::string_view a, std::string_view b)
{
    if (pos_ < bufStart_ || pos_ + 1 >= bufStart_ + static_cast<int64_t>(bufLen_))
        return;
    const uint8_t* from = buf_ + (pos_ - bufStart_);
    TokenBounds t;
    while (tokenInWindow(from, t) && budget_ > t.looked - from) {
        std::string_view token(reinterpret_cast<const char*>(t.first), static_cast<size_t>(t.end - t.first));
        if (token == a || token == b)
            break;
        budget_ -= t.looked - from;
        pos_ += t.next - from;
        from = t.next;
    }
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

std::string p2tGetToken(p2tReader& fileNo)
{
    std::string token;
    p2tReadToken(fileNo, token);
    return token;
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
