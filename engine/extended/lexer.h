// Tokens and objects of PDF syntax read from bytes in memory: the one lexer
// of the extended reading mode, used for objects in the file, object
// streams, content streams and CMaps.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/extended/pdfObject.h"

namespace pdf {

struct Token {
    enum class Type : uint8_t {
        End,        // no more bytes
        Int,
        Real,
        String,     // literal or hex: `text` holds the decoded bytes
        Name,       // `text` without the slash, "#xx" decoded
        Keyword,    // anything else: operators, true/false/null, obj, R, stream...
        ArrayOpen,
        ArrayClose,
        DictOpen,
        DictClose,
        BraceOpen,  // PostScript procedures (CMaps, functions)
        BraceClose,
    };
    Type type = Type::End;
    bool hex = false;
    int64_t intValue = 0;
    double realValue = 0;
    std::string text;
    size_t start = 0; // offset of the token's first byte

    bool isKeyword(std::string_view k) const { return type == Type::Keyword && text == k; }
};

constexpr bool isPdfWhite(uint8_t c) { return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32; }
// A hexadecimal digit's value; -1 for any other byte.
constexpr int hexDigitValue(uint8_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
constexpr bool isPdfDelimiter(uint8_t c)
{
    return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' || c == '}' || c == '/'
           || c == '%';
}

class Lexer {
public:
    explicit Lexer(std::string_view bytes, size_t pos = 0) : bytes_(bytes), pos_(pos) {}

    // The next token; comments and white space are skipped. Malformed input
    // never fails: a stray ')' or '>' is a keyword, an unterminated string
    // ends at the end of the bytes, a number too long is read as far as it
    // goes.
    Token next();
    // The same into a token the caller reuses (content streams read millions).
    void next(Token& token);

    // Content streams are mostly numbers and operators: this reads one such
    // token without a Token. `word` holds its bytes, exactly as `next` would
    // have classed them (Number: `numberValue` gives its value). Other: the
    // next token is of another kind; the lexer stands at its first byte for
    // `next` to read.
    enum class Word : uint8_t { End, Number, Keyword, Other };
    Word nextWord(std::string_view& word);

    // Keywords by their first byte: `alone` for a keyword of that byte only,
    // `longer` for one with more bytes after it.
    struct KeywordSet {
        std::array<bool, 256> alone{}, longer{};
        bool holds(std::string_view word) const
        {
            return (word.size() == 1 ? alone : longer)[static_cast<uint8_t>(word[0])];
        }
    };
    // Passes operators a reader does not act on, with their operands: runs
    // of numbers (as nextWord reads them) each ended by a keyword that
    // `stops` does not hold. Stops before anything else (a string, a name,
    // an array, a comment, a keyword `stops` holds, "true", "false" or
    // "null"), before a token that starts at `limit` or later or runs to the
    // end of bytes that go on past them (`limit` short of the end), or after
    // `most` keywords; then stands after the last keyword passed. Gives how
    // many keywords it passed.
    size_t skipOperators(const KeywordSet& stops, size_t limit, int64_t most);

    size_t pos() const { return pos_; }
    void setPos(size_t pos) { pos_ = pos < bytes_.size() ? pos : bytes_.size(); }
    std::string_view bytes() const { return bytes_; }
    bool atEnd();
    void skipWhite();

private:
    void readLiteralString(Token& t);
    void readHexString(Token& t);
    void readName(Token& t);
    void readNumberOrKeyword(Token& t);

    std::string_view bytes_;
    size_t pos_;
};

// The value of a word `nextWord` read as a Number, as `next` reads it: an
// integer as its double, anything else as `next` reads a real. `integer`:
// whether `next` reads it as an Int.
double numberValue(std::string_view word, bool& integer);
double numberValue(std::string_view word);

// Objects nested deeper than this (arrays in arrays, dictionaries in
// dictionaries) end the object: a hostile file could otherwise exhaust the
// stack.
inline constexpr int kMaxObjectDepth = 256;

// Reads one object starting with `first` (already taken from the lexer):
// numbers followed by "gen R" become references, arrays and dictionaries are
// read whole. Returns false for a token that starts no object (a keyword
// other than true, false, null) or nesting beyond kMaxObjectDepth; `out` then
// holds null. Streams are not recognised here: the caller sees the
// dictionary and looks for the "stream" keyword itself.
bool parseObject(Lexer& lexer, Token& first, Object& out, int depth = 0);
// Convenience: reads the next object from the lexer.
bool parseObject(Lexer& lexer, Object& out);

} // namespace pdf
