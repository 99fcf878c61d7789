#include "engine/extended/lexer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pdf {

namespace {

// Bytes by class, for the loops content streams spend their time in:
// numbers and operators, read a byte at a time.
enum : uint8_t { kWhite = 1, kRegular = 2, kDigit = 4, kPoint = 8, kSign = 16 };
constexpr std::array<uint8_t, 256> kClass = [] {
    std::array<uint8_t, 256> classes{};
    for (int c = 0; c < 256; ++c) {
        const auto b = static_cast<uint8_t>(c);
        if (isPdfWhite(b))
            classes[c] = kWhite;
        else if (!isPdfDelimiter(b))
            classes[c] = kRegular;
    }
    for (int c = '0'; c <= '9'; ++c)
        classes[c] |= kDigit;
    classes['.'] |= kPoint;
    classes['+'] |= kSign;
    classes['-'] |= kSign;
    return classes;
}();

bool isRegular(uint8_t c) { return kClass[c] & kRegular; }

// Where the bytes of a literal string that stand for themselves end, from
// `pos` on: at "(", ")", a backslash, a CR or the end.
size_t plainRunEnd(std::string_view bytes, size_t pos)
{
    const size_t n = bytes.size();
#if defined(__SSE2__)
    while (n - pos >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + pos));
        // "(" and ")" compared as one after setting their low bit.
        const __m128i stops = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(v, _mm_set1_epi8(1)), _mm_set1_epi8(')')),
                         _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'))),
            _mm_cmpeq_epi8(v, _mm_set1_epi8('\r')));
        if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(stops)); mask != 0)
            return pos + static_cast<size_t>(std::countr_zero(mask));
        pos += 16;
    }
#endif
    while (pos < n && bytes[pos] != '(' && bytes[pos] != ')' && bytes[pos] != '\\' && bytes[pos] != '\r')
        ++pos;
    return pos;
}

constexpr std::array<int8_t, 256> kHexValue = [] {
    std::array<int8_t, 256> values{};
    for (int c = 0; c < 256; ++c)
        values[c] = static_cast<int8_t>(hexDigitValue(static_cast<uint8_t>(c)));
    return values;
}();

constexpr uint64_t kOnes = 0x0101010101010101;

// Marks (with its top bit) each byte of `w` whose value is `limit` or more;
// `limit` at most 0x80.
constexpr uint64_t bytesOutside(uint64_t w, uint8_t limit)
{
    return (((w & (kOnes * 0x7F)) + kOnes * (0x80 - limit)) | w) & (kOnes * 0x80);
}

// The mark of the first byte in memory order marked in `marks`.
uint64_t firstMark(uint64_t marks)
{
    return std::endian::native == std::endian::little ? marks & (0 - marks) : std::bit_floor(marks);
}

// The index of the first byte in memory order marked in `marks`; 8 for none.
int firstMarked(uint64_t marks)
{
    if (!marks)
        return 8;
    return (std::endian::native == std::endian::little ? std::countr_zero(marks) : std::countl_zero(marks)) >> 3;
}

// The end of a run of decimal digits from `p`, eight bytes at a time where
// eight remain: numbers are most of what content streams hold.
size_t skipDigits(const char* b, size_t p, size_t n)
{
    for (; p + 8 <= n; p += 8) {
        uint64_t w;
        std::memcpy(&w, b + p, 8);
        // A digit less '0' (by xor: no borrow between bytes) is below 10.
        if (const uint64_t other = bytesOutside(w ^ (kOnes * '0'), 10))
            return p + static_cast<size_t>(firstMarked(other));
    }
    while (p < n && (kClass[static_cast<uint8_t>(b[p])] & kDigit))
        ++p;
    return p;
}

// Most words of a content stream are unsigned numbers shorter than eight
// bytes: the end of such a number at `p` (which starts with a digit or a
// point) is the first byte that is no digit, a point passed over once, found
// without a branch per byte. 0 when eight bytes do not remain or the number
// does not end within them at a byte that ends a word.
size_t shortNumberEnd(const char* b, size_t p, size_t n)
{
    if (p + 8 > n)
        return 0;
    uint64_t w;
    std::memcpy(&w, b + p, 8);
    uint64_t other = bytesOutside(w ^ (kOnes * '0'), 10);
    const uint64_t points = bytesOutside(w ^ (kOnes * '.'), 1) ^ (kOnes * 0x80);
    other ^= firstMark(other) & points;
    const size_t end = p + static_cast<size_t>(firstMarked(other));
    return end < p + 8 && !(kClass[static_cast<uint8_t>(b[end])] & kRegular) ? end : 0;
}

// The scale of each decimal place, each the one before divided by ten just
// as the reading of a number divides it, so that values come out the same to
// the last bit.
constexpr std::array<double, 24> kPlaces = [] {
    std::array<double, 24> places{};
    places[0] = 1;
    for (size_t k = 1; k < places.size(); ++k)
        places[k] = places[k - 1] / 10;
    return places;
}();

// Numbers as writers produce them, and as damaged files do: signs repeated
// ("--5", taken as one), a lone point or sign (zero), no digits before the
// point (".5"). Anything else is a keyword. Integers too long for 64 bits
// become reals.
bool parseNumber(std::string_view s, Token::Type& type, int64_t& intValue, double& realValue)
{
    size_t i = 0;
    bool negative = false;
    while (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = negative || s[i] == '-';
        ++i;
    }
    int64_t whole = 0;
    bool overflow = false, point = false;
    double value = 0;
    // The whole part, then the fraction: a loop each, with no test per digit
    // of which part it is in.
    for (; i < s.size() && static_cast<unsigned>(s[i] - '0') <= 9; ++i) {
        const int d = s[i] - '0';
        if (whole > (INT64_MAX - 9) / 10)
            overflow = true;
        else
            whole = whole * 10 + d;
        value = value * 10 + d;
    }
    if (i < s.size() && s[i] == '.') {
        point = true;
        double scale = 1;
        size_t places = 0;
        for (++i; i < s.size() && static_cast<unsigned>(s[i] - '0') <= 9; ++i) {
            scale = ++places < kPlaces.size() ? kPlaces[places] : scale / 10;
            value += (s[i] - '0') * scale;
        }
    }
    if (i < s.size() || s.empty())
        return false; // a sign within, a second point, anything else
    if (!point && !overflow) {
        type = Token::Type::Int;
        intValue = negative ? -whole : whole;
        return true;
    }
    type = Token::Type::Real;
    realValue = negative ? -value : value;
    return true;
}

// What follows a number, read from the bytes without making tokens: most
// numbers are followed by plain bytes that tell at once whether they begin
// "gen R". Anything less plain (comments, signs, long digits) is Unsure and
// read token by token.
struct Ahead {
    enum Kind : uint8_t { Number, Reference, Unsure } kind = Unsure;
    int64_t gen = 0;
    size_t end = 0; // after the R
};

Ahead referenceAhead(std::string_view bytes, size_t p)
{
    auto at = [&](size_t i) { return static_cast<uint8_t>(bytes[i]); };
    auto skipWhite = [&] {
        while (p < bytes.size() && isPdfWhite(at(p)))
            ++p;
    };
    skipWhite();
    if (p == bytes.size())
        return {Ahead::Number};
    uint8_t c = at(p);
    if (c == '%' || c == '+' || c == '-' || c == '.')
        return {};
    if (c < '0' || c > '9')
        return {Ahead::Number}; // no integer comes next
    Ahead ahead;
    const size_t digits = p;
    while (p < bytes.size() && at(p) >= '0' && at(p) <= '9' && p - digits < 10)
        ahead.gen = ahead.gen * 10 + (at(p++) - '0');
    if (p == bytes.size())
        return {Ahead::Number};
    c = at(p);
    if (c == '%' || (c >= '0' && c <= '9') || (!isPdfWhite(c) && !isPdfDelimiter(c)))
        return {}; // a comment, more digits, or not an integer at all
    if (!isPdfWhite(c))
        return {Ahead::Number}; // a delimiter: no keyword follows the integer
    skipWhite();
    if (p == bytes.size() || at(p) != 'R')
        return p < bytes.size() && at(p) == '%' ? Ahead{} : Ahead{Ahead::Number};
    ++p;
    if (p < bytes.size() && !isPdfWhite(at(p)) && !isPdfDelimiter(at(p)))
        return {Ahead::Number}; // a keyword that only begins with R
    ahead.kind = Ahead::Reference;
    ahead.end = p;
    return ahead;
}

} // namespace

void Lexer::skipWhite()
{
    while (pos_ < bytes_.size()) {
        uint8_t c = static_cast<uint8_t>(bytes_[pos_]);
        if (kClass[c] & kWhite) {
            ++pos_;
        } else if (c == '%') {
            while (pos_ < bytes_.size() && bytes_[pos_] != '\r' && bytes_[pos_] != '\n')
                ++pos_;
        } else {
            break;
        }
    }
}

Lexer::Word Lexer::nextWord(std::string_view& word)
{
    const char* b = bytes_.data();
    const size_t n = bytes_.size();
    size_t p = pos_;
    uint8_t first = 0;
    for (;;) {
        while (p < n && ((first = kClass[static_cast<uint8_t>(b[p])]) & kWhite))
            ++p;
        if (p >= n) {
            pos_ = p;
            return Word::End;
        }
        if (b[p] != '%')
            break;
        while (p < n && b[p] != '\r' && b[p] != '\n')
            ++p;
    }
    const size_t start = p;
    if (!(first & kRegular)) {
        pos_ = p;
        return Word::Other;
    }
    if (first & (kDigit | kPoint)) {
        if (const size_t end = shortNumberEnd(b, p, n)) {
            word = std::string_view(b + start, end - start);
            pos_ = end;
            return Word::Number;
        }
    }
    Word kind = Word::Keyword;
    if (first & (kDigit | kPoint | kSign)) {
        // The forms parseNumber takes: signs, then digits with one point at most.
        while (p < n && (kClass[static_cast<uint8_t>(b[p])] & kSign))
            ++p;
        p = skipDigits(b, p, n);
        if (p < n && b[p] == '.')
            p = skipDigits(b, p + 1, n);
        if (p >= n || !(kClass[static_cast<uint8_t>(b[p])] & kRegular)) {
            word = std::string_view(b + start, p - start);
            pos_ = p;
            return Word::Number;
        }
    }
    while (p < n && (kClass[static_cast<uint8_t>(b[p])] & kRegular))
        ++p;
    word = std::string_view(b + start, p - start);
    pos_ = p;
    return kind;
}

size_t Lexer::skipOperators(const KeywordSet& stops, size_t limit, int64_t most)
{
    const char* b = bytes_.data();
    const size_t n = bytes_.size();
    const bool whole = limit >= n; // no token runs on past the bytes
    size_t p = pos_, passed = 0;
    while (static_cast<int64_t>(passed) < most) {
        while (p < n && (kClass[static_cast<uint8_t>(b[p])] & kWhite))
            ++p;
        if (p >= n || p >= limit)
            break;
        const size_t start = p;
        const uint8_t first = kClass[static_cast<uint8_t>(b[p])];
        if (!(first & kRegular))
            break;
        if (first & (kDigit | kPoint | kSign)) {
            if (const size_t end = (first & kSign) ? 0 : shortNumberEnd(b, p, n)) {
                p = end;
                continue;
            }
            while (p < n && (kClass[static_cast<uint8_t>(b[p])] & kSign))
                ++p;
            p = skipDigits(b, p, n);
            if (p < n && b[p] == '.')
                p = skipDigits(b, p + 1, n);
            if (p < n ? (kClass[static_cast<uint8_t>(b[p])] & kRegular) != 0 : !whole)
                break; // no number, or one that may go on
            continue;
        }
        while (p < n && (kClass[static_cast<uint8_t>(b[p])] & kRegular))
            ++p;
        if (p >= n && !whole)
            break;
        const std::string_view word(b + start, p - start);
        if (stops.holds(word) || word == "true" || word == "false" || word == "null")
            break;
        ++passed;
        pos_ = p;
    }
    return passed;
}

double numberValue(std::string_view word, bool& integer)
{
    Token::Type type = Token::Type::End;
    int64_t whole = 0;
    double real = 0;
    integer = false;
    if (!parseNumber(word, type, whole, real))
        return 0;
    integer = type == Token::Type::Int;
    return integer ? static_cast<double>(whole) : real;
}

double numberValue(std::string_view word)
{
    bool integer = false;
    return numberValue(word, integer);
}

bool Lexer::atEnd()
{
    skipWhite();
    return pos_ >= bytes_.size();
}

Token Lexer::next()
{
    Token t;
    next(t);
    return t;
}

void Lexer::next(Token& t)
{
    skipWhite();
    t.text.clear();
    t.hex = false;
    t.start = pos_;
    if (pos_ >= bytes_.size()) {
        t.type = Token::Type::End;
        return;
    }
    uint8_t c = static_cast<uint8_t>(bytes_[pos_]);
    switch (c) {
    case '(':
        ++pos_;
        readLiteralString(t);
        return;
    case '<':
        if (pos_ + 1 < bytes_.size() && bytes_[pos_ + 1] == '<') {
            pos_ += 2;
            t.type = Token::Type::DictOpen;
        } else {
            ++pos_;
            readHexString(t);
        }
        return;
    case '>':
        if (pos_ + 1 < bytes_.size() && bytes_[pos_ + 1] == '>') {
            pos_ += 2;
            t.type = Token::Type::DictClose;
        } else {
            ++pos_;
            t.type = Token::Type::Keyword;
            t.text.assign(1, '>');
        }
        return;
    case '[':
        ++pos_;
        t.type = Token::Type::ArrayOpen;
        return;
    case ']':
        ++pos_;
        t.type = Token::Type::ArrayClose;
        return;
    case '{':
        ++pos_;
        t.type = Token::Type::BraceOpen;
        return;
    case '}':
        ++pos_;
        t.type = Token::Type::BraceClose;
        return;
    case '/':
        ++pos_;
        readName(t);
        return;
    case ')':
        ++pos_;
        t.type = Token::Type::Keyword;
        t.text.assign(1, ')');
        return;
    default:
        readNumberOrKeyword(t);
        return;
    }
}

void Lexer::readLiteralString(Token& t)
{
    t.type = Token::Type::String;
    int depth = 1;
    const size_t n = bytes_.size();
    while (pos_ < n) {
        // Bytes that stand for themselves, a run at a time.
        size_t plain = plainRunEnd(bytes_, pos_);
        t.text.append(bytes_, pos_, plain - pos_);
        pos_ = plain;
        if (pos_ >= n)
            return;
        char c = bytes_[pos_++];
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (--depth == 0)
                return;
        } else if (c == '\r') {
            // An unescaped end of line in a string is a line feed, whatever it was.
            if (pos_ < n && bytes_[pos_] == '\n')
                ++pos_;
            c = '\n';
        } else if (c == '\\') {
            if (pos_ >= n)
                return;
            char e = bytes_[pos_++];
            switch (e) {
            case 'n': c = '\n'; break;
            case 'r': c = '\r'; break;
            case 't': c = '\t'; break;
            case 'b': c = '\b'; break;
            case 'f': c = '\f'; break;
            case '\r':
                if (pos_ < n && bytes_[pos_] == '\n')
                    ++pos_;
                continue; // a line continued
            case '\n':
                continue;
            default:
                if (e >= '0' && e <= '7') {
                    int v = e - '0';
                    for (int k = 0; k < 2 && pos_ < n && bytes_[pos_] >= '0' && bytes_[pos_] <= '7'; ++k)
                        v = v * 8 + (bytes_[pos_++] - '0');
                    c = static_cast<char>(v & 0xFF);
                } else {
                    c = e; // "\(", "\)", "\\", and an unknown escape stands for its character
                }
            }
        }
        t.text += c;
    }
}

void Lexer::readHexString(Token& t)
{
    t.type = Token::Type::String;
    t.hex = true;
    const size_t close = std::min(bytes_.find('>', pos_), bytes_.size());
    // Written in place, at most a byte for two digits: no check of room per byte.
    const size_t before = t.text.size();
    t.text.resize(before + (close - pos_ + 1) / 2);
    char* const first = t.text.data() + before;
    char* w = first;
    int high = -1;
    for (size_t p = pos_; p < close;) {
        if (high < 0 && close - p >= 2) { // two digits at once, the common case
            const int a = kHexValue[static_cast<uint8_t>(bytes_[p])], b = kHexValue[static_cast<uint8_t>(bytes_[p + 1])];
            if ((a | b) >= 0) {
                *w++ = static_cast<char>(a << 4 | b);
                p += 2;
                continue;
            }
        }
        const int v = kHexValue[static_cast<uint8_t>(bytes_[p++])];
        if (v < 0)
            continue; // white space, and damage, are passed over
        if (high < 0) {
            high = v;
        } else {
            *w++ = static_cast<char>(high << 4 | v);
            high = -1;
        }
    }
    if (high >= 0)
        *w++ = static_cast<char>(high << 4); // an odd final digit is followed by 0
    t.text.resize(before + static_cast<size_t>(w - first));
    pos_ = close < bytes_.size() ? close + 1 : close;
}

void Lexer::readName(Token& t)
{
    t.type = Token::Type::Name;
    while (pos_ < bytes_.size()) {
        uint8_t c = static_cast<uint8_t>(bytes_[pos_]);
        if (!isRegular(c))
            break;
        ++pos_;
        if (c == '#' && pos_ + 1 < bytes_.size()) {
            int h = hexDigitValue(static_cast<uint8_t>(bytes_[pos_]));
            int l = hexDigitValue(static_cast<uint8_t>(bytes_[pos_ + 1]));
            if (h >= 0 && l >= 0) {
                t.text += static_cast<char>(h << 4 | l);
                pos_ += 2;
                continue;
            }
        }
        t.text += static_cast<char>(c);
    }
}

void Lexer::readNumberOrKeyword(Token& t)
{
    size_t start = pos_;
    while (pos_ < bytes_.size() && isRegular(static_cast<uint8_t>(bytes_[pos_])))
        ++pos_;
    if (pos_ == start) {
        // A byte that is neither white space, a delimiter we know, nor
        // regular cannot occur; step over it so the caller always advances.
        ++pos_;
    }
    std::string_view run = bytes_.substr(start, pos_ - start);
    uint8_t c = static_cast<uint8_t>(run[0]);
    if ((kClass[c] & (kDigit | kPoint | kSign)) && parseNumber(run, t.type, t.intValue, t.realValue))
        return;
    t.type = Token::Type::Keyword;
    t.text.assign(run);
}

bool parseObject(Lexer& lexer, Object& out)
{
    Token t = lexer.next();
    return parseObject(lexer, t, out, 0);
}

bool parseObject(Lexer& lexer, Token& t, Object& out, int depth)
{
    out = Object();
    if (depth > kMaxObjectDepth)
        return false;
    switch (t.type) {
    case Token::Type::Int: {
        // "num gen R" is a reference; anything else leaves the lexer after the number.
        size_t after = lexer.pos();
        const Ahead ahead = referenceAhead(lexer.bytes(), after);
        switch (ahead.kind) {
        case Ahead::Number:
            out = Object::integer(t.intValue);
            return true;
        case Ahead::Reference:
            if (t.intValue >= 0 && t.intValue <= INT32_MAX && ahead.gen <= INT32_MAX) {
                out = Object::ref({static_cast<int32_t>(t.intValue), static_cast<int32_t>(ahead.gen)});
                lexer.setPos(ahead.end);
            } else {
                out = Object::integer(t.intValue);
            }
            return true;
        case Ahead::Unsure:
            break;
        }
        Token gen = lexer.next();
        if (gen.type == Token::Type::Int && t.intValue >= 0 && t.intValue <= INT32_MAX && gen.intValue >= 0
            && gen.intValue <= INT32_MAX) {
            Token r = lexer.next();
            if (r.isKeyword("R")) {
                out = Object::ref({static_cast<int32_t>(t.intValue), static_cast<int32_t>(gen.intValue)});
                return true;
            }
        }
        lexer.setPos(after);
        out = Object::integer(t.intValue);
        return true;
    }
    case Token::Type::Real:
        out = Object::real(std::isfinite(t.realValue) ? t.realValue : 0);
        return true;
    case Token::Type::String:
        out = Object::string(std::move(t.text), t.hex);
        return true;
    case Token::Type::Name:
        out = Object::name(std::move(t.text));
        return true;
    case Token::Type::ArrayOpen: {
        Array items;
        Token item;
        for (;;) {
            lexer.next(item);
            if (item.type == Token::Type::ArrayClose || item.type == Token::Type::End)
                break;
            Object value;
            if (!parseObject(lexer, item, value, depth + 1)) {
                if (item.type == Token::Type::ArrayOpen || item.type == Token::Type::DictOpen)
                    return false; // nested too deep
                if (item.type == Token::Type::DictClose || item.isKeyword("endobj")
                    || item.isKeyword("stream")) {
                    lexer.setPos(item.start); // a damaged array ends where its object does
                    break;
                }
                continue; // a stray keyword inside an array is dropped
            }
            items.push_back(std::move(value));
        }
        out = Object::array(std::move(items));
        return true;
    }
    case Token::Type::DictOpen: {
        Dict dict;
        Token key;
        for (;;) {
            lexer.next(key);
            if (key.type == Token::Type::DictClose || key.type == Token::Type::End)
                break;
            if (key.type != Token::Type::Name) {
                if (key.isKeyword("endobj") || key.isKeyword("stream") || key.type == Token::Type::ArrayClose) {
                    lexer.setPos(key.start);
                    break;
                }
                continue; // damage: a value without its key
            }
            std::string name = std::move(key.text);
            Token valueToken = lexer.next();
            if (valueToken.type == Token::Type::DictClose) {
                dict.set(std::move(name), Object());
                break;
            }
            Object value;
            if (!parseObject(lexer, valueToken, value, depth + 1)) {
                if (valueToken.type == Token::Type::ArrayOpen || valueToken.type == Token::Type::DictOpen)
                    return false; // nested too deep
                if (valueToken.isKeyword("endobj") || valueToken.isKeyword("stream")) {
                    lexer.setPos(valueToken.start);
                    break;
                }
            }
            dict.set(std::move(name), std::move(value));
        }
        out = Object::dict(std::move(dict));
        return true;
    }
    case Token::Type::Keyword:
        if (t.text == "true" || t.text == "false") {
            out = Object::boolean(t.text == "true");
            return true;
        }
        return t.text == "null";
    default:
        return false;
    }
}

} // namespace pdf
