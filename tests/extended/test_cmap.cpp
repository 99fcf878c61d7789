// CMaps, glyph names and encodings: each construct on one line of a table.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "engine/extended/cmap.h"
#include "engine/extended/fontEncodings.h"
#include "engine/extended/glyphList.h"
#include "tests/support/memorySource.h"

namespace {

using namespace std::string_view_literals;
using testing_support::utf8Of;

// What a CMap makes of some bytes: per code "hex:cid:text", cid "-" when
// unmapped, text "-" when unmapped.
std::string readCodes(const pdf::CMap& cmap, std::string_view bytes)
{
    std::string out;
    for (size_t pos = 0; pos < bytes.size();) {
        pdf::CMap::Code code = cmap.nextCode(bytes, pos);
        pos += code.length;
        char hex[16];
        std::snprintf(hex, sizeof hex, "%0*X", code.length * 2, code.value);
        auto cid = cmap.cid(code.value);
        std::u32string text;
        bool mapped = cmap.text(code.value, text);
        out += std::string(hex) + ":" + (cid ? std::to_string(*cid) : "-") + ":" + (mapped ? utf8Of(text) : "-") + " ";
    }
    return out;
}

TEST(CMapTest, EachConstruct)
{
    struct Case {
        const char* cmap;
        std::string_view bytes;
        const char* expected;
    } cases[] = {
        // code space: one- and two-byte codes mixed; bytes matching no range
        {"2 begincodespacerange <00> <80> <8140> <9FFC> endcodespacerange", "A\x81\x40\xA0\x81",
         "41:-:- 8140:-:- A0:-:- 81:-:- "},
        {"1 begincodespacerange <00000000> <FFFFFFFF> endcodespacerange", "\x01\x02\x03\x04\x05",
         "01020304:-:- 05:-:- "},
        {"", "\x01\x02\x03", "0102:-:- 03:-:- "},
        // cidrange, cidchar, notdefrange; a later range overrides the part it overlaps
        {"1 begincodespacerange <0000> <FFFF> endcodespacerange 1 beginnotdefrange <0000> <001F> 1 endnotdefrange "
         "1 begincidrange <0020> <007E> 1 endcidrange 1 begincidchar <0041> 500 endcidchar",
         "\x00\x05\x00\x40\x00\x41\x00\x42\x01\x00"sv, "0005:1:- 0040:33:- 0041:500:- 0042:35:- 0100:-:- "},
        // a range over all four-byte codes, kept as one range
        {"1 begincodespacerange <00000000> <FFFFFFFF> endcodespacerange 1 begincidrange <00000000> <FFFFFFFF> 7 "
         "endcidrange",
         "\xFF\xFF\xFF\xF0", "FFFFFFF0:4294967287:- "},
        // bfchar: UTF-16, surrogates, several characters, a glyph name, U+0000
        {"1 begincodespacerange <00> <FF> endcodespacerange 5 beginbfchar <01> <0041> <02> <D835DC00> "
         "<03> <00660066> <04> /fi <05> <0000> endbfchar",
         "\x01\x02\x03\x04\x05\x06", "01:-:A 02:-:𝐀 03:-:ff 04:-:ﬁ 05:-:- 06:-:- "},
        // bfrange, both forms; the last character counts up
        {"1 begincodespacerange <0000> <FFFF> endcodespacerange 2 beginbfrange <0010> <0012> <00410042> "
         "<0020> <0022> [<0058> <D83DDE00>] endbfrange",
         "\x00\x11\x00\x12\x00\x20\x00\x21\x00\x22"sv, "0011:-:AC 0012:-:AD 0020:-:X 0021:-:😀 0022:-:- "},
        // surrogate destination counting up past its pair
        {"1 beginbfrange <01> <02> <D83DDE00> endbfrange", "\x02", "02:-:😁 "},
        // damaged: missing end keywords, stray tokens, truncated
        {"1 beginbfchar <01> <0041> <02> 1 beginbfrange <03> <05> <0061> <06> endbfrange", "\x01\x02\x04",
         "0102:-:- 04:-:b "},
    };
    for (const Case& c : cases) {
        auto cmap = pdf::CMap::parse(c.cmap);
        EXPECT_EQ(readCodes(*cmap, c.bytes), c.expected) << c.cmap;
    }
}

TEST(CMapTest, UseCMapLoopsAndVerticalWriting)
{
    std::string self = "/WMode 1 def /Self usecmap 1 begincidchar <01> 5 endcidchar";
    int calls = 0;
    pdf::CMapResolver resolver = [&](std::string_view name, int depth) -> std::shared_ptr<const pdf::CMap> {
        ++calls;
        if (name == "Self")
            return pdf::CMap::parse(self, resolver, depth);
        return pdf::CMap::parse("1 begincidrange <00> <FF> 100 endcidrange", resolver, depth);
    };
    auto looped = pdf::CMap::parse(self, resolver);
    EXPECT_EQ(calls, pdf::kMaxCMapDepth);
    EXPECT_TRUE(looped->vertical());
    EXPECT_EQ(looped->cid(1).value_or(0), 5u);

    // The base's mappings first, this CMap's own over them.
    auto child = pdf::CMap::parse("/Base usecmap 1 begincidchar <41> 7 endcidchar", resolver);
    EXPECT_EQ(child->cid(0x41).value_or(0), 7u);
    EXPECT_EQ(child->cid(0x42).value_or(0), 166u);
    EXPECT_FALSE(child->vertical());

    // Texts come from the base too: one character or several, counting up,
    // U+0000 (no text); this CMap's own over them.
    const char* texts = "1 begincodespacerange <00> <FF> endcodespacerange 3 beginbfchar <01> <0041> <02> <00660066> "
                        "<05> <0000> endbfchar 1 beginbfrange <03> <04> <0061> endbfrange";
    pdf::CMapResolver textBase = [&](std::string_view, int depth) { return pdf::CMap::parse(texts, {}, depth); };
    auto withTexts = pdf::CMap::parse("/T usecmap 1 beginbfchar <01> <0042> endbfchar", textBase);
    EXPECT_EQ(readCodes(*withTexts, "\x01\x02\x03\x04\x05"), "01:-:B 02:-:ff 03:-:a 04:-:b 05:-:- ");
}

TEST(CMapTest, ManyOverlappingHugeRanges)
{
    // Every range over all four-byte codes, each a little narrower: the last
    // read wins where it lies, the older ones keep their edges.
    std::string text = "1 begincodespacerange <00000000> <FFFFFFFF> endcodespacerange 20000 begincidrange\n";
    char line[64];
    for (unsigned i = 0; i < 20000; ++i) {
        std::snprintf(line, sizeof line, "<%08X> <%08X> %u\n", i, 0xFFFFFFFFu - i, i);
        text += line;
    }
    text += "endcidrange";
    auto cmap = pdf::CMap::parse(text);
    EXPECT_EQ(cmap->cid(0).value_or(9), 0u);
    EXPECT_EQ(cmap->cid(19999).value_or(0), 19999u);
    EXPECT_EQ(cmap->cid(0x80000000).value_or(0), 19999u + 0x80000000u - 19999u);
    EXPECT_EQ(cmap->cid(0xFFFFFFFF).value_or(9), 0u + 0xFFFFFFFFu);
}

TEST(CMapTest, LookupsAmongManyRangesMatchAScan)
{
    // A thousand ranges of one to seven codes, some with gaps between them,
    // as character collections have: each code finds the range holding it,
    // or none.
    struct Range {
        uint32_t low, high, cid;
        char32_t text;
    };
    std::vector<Range> ranges;
    std::string cids = "1 begincodespacerange <0000> <FFFF> endcodespacerange 1000 begincidrange\n";
    std::string texts = "endcidrange 1000 beginbfrange\n";
    char line[64];
    uint32_t code = 3;
    for (uint32_t i = 0; i < 1000; ++i) {
        Range r{code, code + i % 7, i * 10, 0x4E00 + i * 8};
        ranges.push_back(r);
        std::snprintf(line, sizeof line, "<%04X> <%04X> %u\n", r.low, r.high, r.cid);
        cids += line;
        std::snprintf(line, sizeof line, "<%04X> <%04X> <%04X>\n", r.low, r.high, static_cast<unsigned>(r.text));
        texts += line;
        code = r.high + 1 + i % 3;
    }
    auto cmap = pdf::CMap::parse(cids + texts + "endbfrange");
    size_t r = 0;
    for (uint32_t c = 0; c < code + 10; ++c) {
        while (r < ranges.size() && ranges[r].high < c)
            ++r;
        const bool in = r < ranges.size() && ranges[r].low <= c;
        std::u32string text;
        cmap->text(c, text);
        EXPECT_EQ(cmap->cid(c), in ? std::optional<uint32_t>(ranges[r].cid + c - ranges[r].low) : std::nullopt) << c;
        EXPECT_EQ(text, in ? std::u32string(1, ranges[r].text + c - ranges[r].low) : U"") << c;
    }
}

TEST(GlyphNamesTest, NamesToText)
{
    struct Case {
        const char* name;
        bool dingbats;
        const char* text;
    } cases[] = {
        {"A", false, "A"},         {"Euro", false, "€"},          {"fi", false, "ﬁ"},
        {"f_f_i", false, "ffi"},   {"uni0041", false, "A"},       {"uni00410042", false, "AB"},
        {"uni004", false, ""},     {"uniD800", false, ""},        {"u1D400", false, "𝐀"},
        {"u110000", false, ""},    {"a.sc", false, "a"},          {"T_h.alt", false, "Th"},
        {".notdef", false, ""},    {"g12", false, ""},            {"a1", false, ""},
        {"a1", true, "✁"},         {"space", true, " "},          {"uni30423044", false, "あい"},
        // the expert set's styles read as the characters they style
        {"Asmall", false, "a"},    {"Lslashsmall", false, "ł"},   {"Brevesmall", false, "˘"},
        {"oneoldstyle", false, "1"}, {"dollarsuperior", false, "$"}, {"rupiah", false, "\uF6DD"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf8Of(pdf::glyphNameText(c.name, c.dingbats)), c.text) << c.name;
}

TEST(EncodingsTest, BaseEncodingsAndDifferences)
{
    using pdf::BaseEncoding;
    struct Case {
        BaseEncoding encoding;
        int code;
        const char* name;
    } cases[] = {
        {BaseEncoding::Standard, 0x27, "quoteright"}, {BaseEncoding::Standard, 0xAE, "fi"},
        {BaseEncoding::Standard, 0x80, ""},           {BaseEncoding::WinAnsi, 0x80, "Euro"},
        {BaseEncoding::WinAnsi, 0x27, "quotesingle"}, {BaseEncoding::WinAnsi, 0xA0, "space"},
        {BaseEncoding::WinAnsi, 0x81, ""},            {BaseEncoding::MacRoman, 0x80, "Adieresis"},
        {BaseEncoding::MacRoman, 0xDB, "currency"},   {BaseEncoding::Symbol, 0x61, "alpha"},
        {BaseEncoding::ZapfDingbats, 0x21, "a1"},     {BaseEncoding::Standard, 300, ""},
        {BaseEncoding::MacExpert, 0x61, "Asmall"},    {BaseEncoding::MacExpert, 0x56, "ff"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pdf::encodingGlyphName(c.encoding, c.code), c.name) << c.code;
    EXPECT_EQ(pdf::baseEncodingNamed("MacRomanEncoding"), BaseEncoding::MacRoman);
    EXPECT_EQ(pdf::baseEncodingNamed("MacExpertEncoding"), BaseEncoding::MacExpert);
    EXPECT_FALSE(pdf::baseEncodingNamed("ExpertEncoding"));

    pdf::GlyphNames names = pdf::glyphNamesOf(BaseEncoding::WinAnsi);
    pdf::Array differences = {pdf::Object::name("skipped"), pdf::Object::integer(65), pdf::Object::name("B"),
                              pdf::Object::name("C"),       pdf::Object::integer(255), pdf::Object::name("y"),
                              pdf::Object::name("beyond"),  pdf::Object::integer(-3), pdf::Object::name("neg")};
    pdf::applyDifferences(differences, names);
    EXPECT_EQ(names[65], "B");
    EXPECT_EQ(names[66], "C");
    EXPECT_EQ(names[67], "C");
    EXPECT_EQ(names[255], "y");
    EXPECT_EQ(names[0], "");
}

} // namespace
