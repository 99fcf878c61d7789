#include "engine/extended/lexer.h"

#include <array>
#include <cmath>

namespace pdf {

namespace {

// Regular bytes (neither white space nor delimiters) by table: content
// streams are mostly numbers and operators, read a byte at a time.
constexpr std::array<bool, 256> kRegular = [] {
    std::array<bool, 256> regular{};
    for (int c = 0; c < 256; ++c)
        regular[c] = !isPdfWhite(static_cast<uint8_t>(c)) && !isPdfDelimiter(static_cast<uint8_t>(c));
    return regular;
}();

bool isRegular(uint8_t c) { return kRegular[c]; }

// Numbers as writers produce them, and as damaged files do: signs repeated
// ("--5", taken as one), a lone point or sign (zero), no digits before the
// point (".5"). Anything else is a keyword. Integers too long for 64 bits
// become reals.
bool parseNumber(std::string_view s, Token& t)
{
    size_t i = 0;
    bool negative = false;
    while (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = negative || s[i] == '-';
        ++i;
    }
    int64_t whole = 0;
    bool overflow = false, digits = false, point = false;
    double value = 0, scale = 1;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c >= '0' && c <= '9') {
            digits = true;
            if (point) {
                scale /= 10;
                value += (c - '0') * scale;
            } else {
                if (whole > (INT64_MAX - 9) / 10)
                    overflow = true;
                else
                    whole = whole * 10 + (c - '0');
                value = value * 10 + (c - '0');
            }
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (!digits && !point && i == 0)
        return false;
    if (!point && !overflow) {
        t.type = Token::Type::Int;
        t.intValue = negative ? -whole : whole;
        return true;
    }
    t.type = Token::Type::Real;
    t.realValue = negative ? -value : value;
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
        if (isPdfWhite(c)) {
            ++pos_;
        } else if (c == '%') {
            while (pos_ < bytes_.size() && bytes_[pos_] != '\r' && bytes_[pos_] != '\n')
                ++pos_;
        } else {
            break;
        }
    }
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
        size_t plain = pos_;
        while (plain < n && bytes_[plain] != '(' && bytes_[plain] != ')' && bytes_[plain] != '\\' && bytes_[plain] != '\r')
            ++plain;
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
    int high = -1;
    while (pos_ < bytes_.size()) {
        uint8_t c = static_cast<uint8_t>(bytes_[pos_++]);
        if (c == '>')
            break;
        int v = hexDigitValue(c);
        if (v < 0)
            continue; // white space, and damage, are passed over
        if (high < 0) {
            high = v;
        } else {
            t.text += static_cast<char>(high << 4 | v);
            high = -1;
        }
    }
    if (high >= 0)
        t.text += static_cast<char>(high << 4); // an odd final digit is followed by 0
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
    if (((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.') && parseNumber(run, t))
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
