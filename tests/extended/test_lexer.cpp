// The extended reader's lexer and object parser on the corners writers and
// damaged files produce.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/extended/lexer.h"

namespace {

// One line per token: kind and value, so a case compares whole.
std::string dump(std::string_view bytes)
{
    pdf::Lexer lexer(bytes);
    std::string out;
    for (pdf::Token t = lexer.next(); t.type != pdf::Token::Type::End; t = lexer.next()) {
        using T = pdf::Token::Type;
        switch (t.type) {
        case T::Int: out += 'i'; out += std::to_string(t.intValue); break;
        case T::Real: out += 'r'; out += std::to_string(t.realValue); break;
        case T::String: out += t.hex ? 'h' : 's'; out += t.text; break;
        case T::Name: out += '/'; out += t.text; break;
        case T::Keyword: out += 'k'; out += t.text; break;
        case T::ArrayOpen: out += "["; break;
        case T::ArrayClose: out += "]"; break;
        case T::DictOpen: out += "<<"; break;
        case T::DictClose: out += ">>"; break;
        case T::BraceOpen: out += "{"; break;
        case T::BraceClose: out += "}"; break;
        default: break;
        }
        out += ' ';
    }
    return out;
}

TEST(LexerTest, TokensAsWritersAndDamagedFilesWriteThem)
{
    struct Case {
        const char* in;
        const char* tokens;
    } cases[] = {
        {"12 -3 +4 .5 -.25 4. --7", "i12 i-3 i4 r0.500000 r-0.250000 r4.000000 i-7 "},
        {"- . +. 9223372036854775807 9223372036854775808 0.0000000000000000000000000001", "i0 r0.000000 r0.000000 "
         "r9223372036854777856.000000 r9223372036854777856.000000 r0.000000 "},
        {"1.2.3 abc T* '", "k1.2.3 kabc kT* k' "},
        {"/Name/A#42C /#zz", "/Name /ABC /#zz "},
        {"(a(b)c) (\\n\\(\\)\\\\\\101\\7x) (line\\\r\ncont)", "sa(b)c s\n()\\A\ax slinecont "},
        {"(cr\r\nlf) (\\q)", "scr\nlf sq "},
        {"<48 65 6c6C 6> <>", "hHell` h "},
        // Long enough to be read sixteen bytes at a time.
        {"(0123456789abcde(f)0123456789\\)0123\r\n456789abcdef0123456)", "s0123456789abcde(f)0123456789)0123\n456789abcdef0123456 "},
        {"<4 8656C6C6F2C20776F726C64 2 1x!>", "hHello, world! "},
        {"<< /K [1 2] >> { } % comment\n) >", "<< /K [ i1 i2 ] >> { } k) k> "},
        {"(unterminated", "sunterminated "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dump(c.in), c.tokens) << c.in;
}

// The content streams' quick reading of numbers and operators must class
// and value every token as the general one does, whatever the bytes.
TEST(LexerTest, WordsReadAsTokens)
{
    using namespace std::string_literals;
    std::vector<std::string> inputs = {
        "12 -3 +4 .5 -.25 4. --7 - + . -. 1.2.3 1..2 1-2 12a a12 T* ' \" 0.5 w /F1 3 Tf",
        "11746.6 62.8 l 123456789012.25 1234567890123456789012 99999999999999999999.5l 7(x)8[9]10<</A 1>>11%c\n12",
        "\r\n\t\f 1\0002 3.%x\r4 BI /W 1 ID \x01 EI 5 -0 00012345678.000012345678 1.2345678901234567"s,
    };
    const std::string alphabet = "0123456789.+-e \n\r\t()/<>[]{}%aT*'\0"s;
    uint32_t seed = 12345;
    for (int i = 0; i < 300; ++i) {
        std::string s;
        for (int k = 0; k < 40; ++k) {
            seed = seed * 1103515245 + 12345;
            s += alphabet[(seed >> 16) % alphabet.size()];
        }
        inputs.push_back(s);
    }
    for (const std::string& in : inputs) {
        pdf::Lexer words(in), tokens(in);
        pdf::Token t, expected;
        std::string_view word;
        for (;;) {
            const pdf::Lexer::Word kind = words.nextWord(word);
            tokens.next(expected);
            if (kind == pdf::Lexer::Word::Other)
                words.next(t);
            ASSERT_EQ(words.pos(), tokens.pos()) << in;
            if (kind == pdf::Lexer::Word::End) {
                ASSERT_EQ(expected.type, pdf::Token::Type::End) << in;
                break;
            }
            if (kind == pdf::Lexer::Word::Number) {
                ASSERT_TRUE(expected.type == pdf::Token::Type::Int || expected.type == pdf::Token::Type::Real) << in;
                const double value = expected.type == pdf::Token::Type::Int ? static_cast<double>(expected.intValue)
                                                                            : expected.realValue;
                EXPECT_EQ(pdf::numberValue(word), value) << word;
            } else if (kind == pdf::Lexer::Word::Keyword) {
                ASSERT_EQ(expected.type, pdf::Token::Type::Keyword) << in;
                EXPECT_EQ(word, expected.text);
            } else {
                ASSERT_EQ(t.type, expected.type) << in;
                EXPECT_EQ(t.text, expected.text);
            }
        }
    }
}

TEST(LexerTest, ObjectsReferencesAndDamage)
{
    pdf::Lexer lexer("<< /Type /Page /Kids [3 0 R 4 0 R 5] /N 1 /Bad foo /Last true >> 7");
    pdf::Object o;
    ASSERT_TRUE(pdf::parseObject(lexer, o));
    const pdf::Dict& d = o.dictValue();
    EXPECT_TRUE(d.get("Type").isName("Page"));
    const pdf::Array& kids = d.get("Kids").arrayValue();
    ASSERT_EQ(kids.size(), 3u);
    EXPECT_EQ(kids[1].refValue(), (pdf::Ref{4, 0}));
    EXPECT_EQ(kids[2].intValue(), 5);
    EXPECT_TRUE(d.get("Bad").isNull());
    EXPECT_TRUE(d.get("Last").boolValue());
    ASSERT_TRUE(pdf::parseObject(lexer, o));
    EXPECT_EQ(o.intValue(), 7);

    // "num gen R" told from numbers that merely follow each other, whatever
    // stands between and after them.
    struct Case {
        const char* in;
        const char* items;
    } cases[] = {
        {"[1 0 R 2 0 RG 3 0 R/N 4 0%c\nR 5 +0 R 6\n0\rR]", "r1.0 i2 i0 r3.0 /N r4.0 r5.0 r6.0 "},
        {"[7 00000000001 R 8 2147483648 R 9 0 10 0 R 11 0 R(s) 12 0 [13 0 R] 14 0 R", "r7.1 i8 i2147483648 i9 i0 r10.0 "
                                                                                   "r11.0 s i12 i0 [] r14.0 "},
        {"[-1 0 R 15 0.0 R 16 0 R0 17 0 <<>> 18 0 R", "i-1 i0 i15 n0 i16 i0 i17 i0 <> r18.0 "},
    };
    for (const Case& c : cases) {
        pdf::Lexer arrayLexer(c.in);
        ASSERT_TRUE(pdf::parseObject(arrayLexer, o));
        std::string items;
        for (const pdf::Object& item : o.arrayValue()) {
            if (item.isRef())
                items += "r" + std::to_string(item.refValue().num) + "." + std::to_string(item.refValue().gen);
            else if (item.isInt())
                items += "i" + std::to_string(item.intValue());
            else if (item.isName())
                items += "/" + item.text();
            else if (item.isString())
                items += "s";
            else if (item.isArray())
                items += "[]";
            else if (item.isDict())
                items += "<>";
            else
                items += "n" + std::to_string(static_cast<int>(item.number()));
            items += ' ';
        }
        EXPECT_EQ(items, c.items) << c.in;
    }

    // Nesting beyond the cap ends the object instead of the stack.
    std::string deep(100000, '[');
    pdf::Lexer deepLexer(deep);
    EXPECT_FALSE(pdf::parseObject(deepLexer, o));
}

} // namespace
