// Text extraction from content streams: what each kind of line gives, string
// operands, CID hex strings, Flate data and the CID table.
#include <gtest/gtest.h>

#include "engine/compress.h"
#include "engine/p2tDivePagesModule.h"
#include "engine/p2tEtcModule.h"
#include "engine/p2tStreamModule.h"
#include "platform/cp932.h"
#include "tests/support/engineHarness.h"
#include "tests/support/pdfWriter.h"
#include "tests/support/referenceExtraction.h"

#include <zlib.h>

#include <random>

namespace {

std::string sjis(const char* utf8) { return platform::utf8ToCp932(utf8); }

} // namespace

TEST(ExtractionTest, FontAndMatrixOperatorsGiveSpacesAndLineBreaks)
{
    EngineHarness h;
    const std::string s = "BT\n/F1 12 Tf\n1 0 0 1 72 700 Tm\n(Hello) Tj\nET";
    EXPECT_EQ(h.analyze(s), " \r\nHello\r\n");
    h.settings.CRLF = false;
    EXPECT_EQ(h.analyze(s), " Hello\r\n");
}

TEST(ExtractionTest, OnlyTheOperatorAtTheVeryEndOfALineCounts)
{
    EngineHarness h;
    EXPECT_EQ(h.analyze("[(Hel) -120 (lo)] TJ"), "Hello\r\n") << "kerning numbers give nothing";
    EXPECT_EQ(h.analyze("(Hello) Tj ET"), "\r\n");
    EXPECT_EQ(h.analyze("(Hello) Tj "), "\r\n") << "a blank after the operator hides it";
    EXPECT_EQ(h.analyze("(a) tj\n(b) tJ\n(c) TJ"), "abc\r\n") << "any letter case";
    EXPECT_EQ(h.analyze("(x) Td\n(y) T*\n(z) \"\nBT\nET"), "\r\n");
    EXPECT_EQ(h.analyze(""), "\r\n");
}

TEST(ExtractionTest, NextLineShowOperator)
{
    EngineHarness h;
    EXPECT_EQ(h.analyze("(Next) '"), "\r\nNext\r\n");
    h.settings.CRLF = false;
    EXPECT_EQ(h.analyze("(Next) '"), "Next\r\n");
}

TEST(ExtractionTest, LiteralStringsTakeEveryCharacterAsItIs)
{
    EngineHarness h;
    EXPECT_EQ(h.analyze("(a\\)b) Tj"), "a)b\r\n");
    EXPECT_EQ(h.analyze("(a(b)c) Tj"), "a(b\r\n") << "parentheses are not counted";
    EXPECT_EQ(h.analyze("(\\n\\\\\\101) Tj"), "n\\101\r\n") << "no escape is interpreted";
    EXPECT_EQ(h.analyze("(open Tj"), "open Tj\r\n") << "an open literal gives what it has";
    EXPECT_EQ(h.analyze("(ab\\"), "\r\n");
    EXPECT_EQ(h.analyze(std::string("(a\0b) Tj", 8)), "ab\r\n") << "NULs are dropped";
    EXPECT_EQ(h.analyze("(\xb1\xb2\x82\xa0) Tj"), "\xb1\xb2  \r\n") << "half-width katakana kept, other high bytes blank";
}

TEST(ExtractionTest, LineEndsOfEveryKindGiveTheSameText)
{
    EngineHarness h;
    std::string crlf = h.analyze("/F1 1 Tf\r\n1 0 0 1 0 0 Tm\r\n(A) Tj\r\n");
    EXPECT_EQ(crlf, " \r\nA\r\n");
    EXPECT_EQ(h.analyze("/F1 1 Tf\n1 0 0 1 0 0 Tm\n(A) Tj\n"), crlf);
    EXPECT_EQ(h.analyze("/F1 1 Tf\r1 0 0 1 0 0 Tm\r(A) Tj\r"), crlf);
}

TEST(ExtractionTest, HexStringsAreCidsOfTheTable)
{
    EngineHarness h;
    EXPECT_EQ(h.analyze("<00220023> Tj"), "AB\r\n");
    EXPECT_EQ(h.analyze("<0022 0023> Tj"), "AB\r\n") << "blanks inside are ignored";
    EXPECT_EQ(h.analyze("<034b034c> Tj"), sjis("あぃ") + "\r\n");
    EXPECT_EQ(h.analyze("<48656C6C6F> Tj"), "\r\n") << "CIDs beyond the table and leftover digits give nothing";
    EXPECT_EQ(h.analyze("<0022zz230023> Tj"), "A\r\n") << "decoding stops at a group that is not hexadecimal";
    EXPECT_EQ(h.analyze("[<0022> 50 (x) <0023>] TJ"), "AxB\r\n");
    EXPECT_EQ(h.analyze("<00220023 Tj"), "\r\n") << "an open hex string gives nothing";
}

TEST(ExtractionTest, CidTableGivesWhatTheMapSays)
{
    const CidTable& t = buildCidTable();
    EXPECT_EQ(p2tCID2Str(t, 1), " ");   // U+0020
    EXPECT_EQ(p2tCID2Str(t, 34), "A");  // U+0041
    EXPECT_EQ(p2tCID2Str(t, 843), sjis("あ"));
    EXPECT_EQ(p2tCID2Str(t, 15443), "") << "U+2A6xx has no code page 932 form";
    EXPECT_EQ(p2tCID2Str(t, 7887), sjis("、")) << "a vertical form gives its base character";
    // A CID whose character has no code page 932 form of its own gives the
    // code Japanese text means by its JIS form, or the text of its
    // compatibility form.
    const std::pair<int32_t, std::string> shown[] = {
        {102, "\x81\x91"},     {609, "\x81\x92"}, {153, "\x81\xca"}, {151, "\x81\x7c"}, // ¢ £ ¬ −
        {665, "\x81\x60"},     {666, "\x81\x61"},                                     // 〜 ‖
        {112, "fi"},            {113, "fl"},        {140, "a"},         {228, "TM"},       // ﬁ ﬂ ª ™
        {157, "2"},             {9385, "1"},        {8020, "cm2"},      {8091, "21"},      // ² ₁ ㎠ ㉑
        {8143, sjis("(社)")},   {12181, sjis("より")},                                     // ㈳ vertical ゟ
    };
    for (const auto& [cid, text] : shown)
        EXPECT_EQ(p2tCID2Str(t, cid), text) << cid;
    for (int32_t cid : {0, -1, 15444, 65535})
        EXPECT_EQ(p2tCID2Str(t, cid), "") << cid;
}

TEST(ExtractionTest, UnsupportedFiltersStopTheFile)
{
    EngineHarness h;
    EXPECT_EQ(h.analyze("(x) Tj", "/LZWDecode"), "<failed>");
    EXPECT_EQ(h.log.text(), "フィルタ未対応:/LZWDecode");
    EXPECT_EQ(h.analyze("(x) Tj", "["), "<failed>");
}

TEST(FlateTest, InflatesAndFailsAsTheTwoAttemptsWould)
{
    EngineHarness h;
    EXPECT_EQ(h.analyze(deflateBytes("(Hi) Tj\n"), "/FlateDecode"), "Hi\r\n");
    EXPECT_EQ(h.analyze(deflateBytes("(Hi) Tj\n") + "trailing", "/FlateDecode"), "Hi\r\n")
        << "bytes after the end of the zlib stream are ignored";

    std::string big(1500000, ' ');
    big += "\n(Big) Tj";
    EXPECT_EQ(h.analyze(deflateBytes(big), "/FlateDecode"), "Big\r\n") << "needs the second, larger buffer";

    std::string tooBig(10000002, ' ');
    EXPECT_EQ(h.analyze(deflateBytes(tooBig), "/FlateDecode"), "<failed>");
    EXPECT_EQ(h.log.text(), "...flateDecodeの解凍失敗\r\n");
    EXPECT_TRUE(h.eng.flateFailed);

    h.log.clear();
    EXPECT_EQ(h.analyze("not zlib at all", "/FlateDecode"), "<failed>");
    EXPECT_EQ(h.log.text(), "...flateDecodeの解凍失敗\r\n");
}

TEST(FlateTest, EmptyStreamsAreNotFailures)
{
    EngineHarness h;
    EXPECT_EQ(h.analyze("", "/FlateDecode"), "\r\n") << "Length 0: one zero byte, nothing to inflate";
    EXPECT_EQ(h.analyze(deflateBytes(""), "/FlateDecode"), "\r\n") << "inflates to nothing: adds no text";
    EXPECT_FALSE(h.eng.flateFailed);
    EXPECT_EQ(h.log.text(), "");
}

TEST(FlateTest, UncompressBytesWrapper)
{
    std::vector<uint8_t> one{42};
    EXPECT_EQ(uncompressBytes(one, 500000), 0);
    EXPECT_EQ(one, std::vector<uint8_t>{42});

    std::string packed = deflateBytes("hello");
    std::vector<uint8_t> data(packed.begin(), packed.end());
    EXPECT_EQ(uncompressBytes(data, 500000), 0);
    EXPECT_EQ(std::string(data.begin(), data.end()), "hello");

    std::vector<uint8_t> garbage{1, 2, 3};
    EXPECT_NE(uncompressBytes(garbage, 500000), 0);
    EXPECT_EQ(garbage, (std::vector<uint8_t>{1, 2, 3}));

    std::vector<uint8_t> small(packed.begin(), packed.end());
    EXPECT_NE(uncompressBytes(small, 3), 0) << "more than outSize + 1 bytes";
    int32_t lb, ub;
    getArrayBounds({}, lb, ub);
    EXPECT_EQ(lb, 0);
    EXPECT_EQ(ub, 0);
}

TEST(FlateTest, CheckValuesAsZlibWorksThemOut)
{
    std::mt19937 rng(5);
    for (size_t n : {0, 1, 15, 16, 17, 5551, 5552, 5553, 5569, 100003}) {
        std::vector<uint8_t> bytes(n);
        for (uint8_t fill : {0, 1}) { // random bytes, then all 0xFF: the largest sums
            for (uint8_t& b : bytes)
                b = fill ? 0xFF : static_cast<uint8_t>(rng());
            EXPECT_EQ(adler32Of(bytes.data(), n), adler32(1, bytes.data(), static_cast<uInt>(n))) << n;
        }
    }
    // A stream whose check value does not match, or is cut off and made up
    // by the zeros after the data, fails; the sound one inflates.
    const std::string packed = deflateBytes(std::string(3000, 'x') + "check");
    std::vector<uint8_t> data(packed.begin(), packed.end()), buffer;
    size_t produced = 0;
    Inflater inflater;
    EXPECT_TRUE(inflater.inflate(data.data(), data.size(), 1, 10000, buffer, produced));
    EXPECT_EQ(produced, 3005u);
    EXPECT_FALSE(inflater.inflate(data.data(), data.size() - 2, 2, 10000, buffer, produced));
    data.back() ^= 1;
    EXPECT_FALSE(inflater.inflate(data.data(), data.size(), 1, 10000, buffer, produced));
}

TEST(CidTableTest, LoadsExactlyTheLinesOfTheDataFile)
{
    auto text = [](int lines, const std::string& end) {
        std::string s;
        for (int i = 1; i <= lines; ++i) {
            s += 'L';
            s += std::to_string(i);
            s += end;
        }
        return std::vector<uint8_t>(s.begin(), s.end());
    };
    CidTable t;
    EXPECT_FALSE(p2tCIDLoadText(t, text(15442, "\r\n")));
    EXPECT_TRUE(p2tCIDLoadText(t, text(15443, "\r\n")));
    EXPECT_EQ(p2tCID2Str(t, 15443), "L15443");
    EXPECT_TRUE(p2tCIDLoadText(t, text(15500, "\r")));
    EXPECT_EQ(p2tCID2Str(t, 1), "L1");
    EXPECT_EQ(p2tCID2Str(t, 0), "");

    // Texts of any length, through the code page and back: "\x87\x90" is
    // the code page's second code for "\x81\xe0", an undecodable byte a "?".
    std::vector<uint8_t> mixed = text(15443, "\r\n");
    const std::string first = "a text longer than eight bytes\r\n\x87\x90\x80\r\nabcdefg\r\nabcdefgh\r\n";
    mixed.insert(mixed.begin(), first.begin(), first.end());
    EXPECT_TRUE(p2tCIDLoadText(t, mixed));
    EXPECT_EQ(p2tCID2Str(t, 1), "a text longer than eight bytes");
    EXPECT_EQ(p2tCID2Str(t, 2), "\x81\xe0?");
    EXPECT_EQ(p2tCID2Str(t, 3), "abcdefg");
    EXPECT_EQ(p2tCID2Str(t, 4), "abcdefgh");
    EXPECT_EQ(p2tCID2Str(t, 5), "L1");
}

TEST(CidTableTest, StartUpFailuresShowTheMessage)
{
    TempDir dir;
    FakeBoxes boxes;
    CidTable t;
    EXPECT_FALSE(p2tCIDInit(t, dir.path(), boxes));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, "AdobeCID.datの読み込みでエラーが発生しました");
    EXPECT_EQ(boxes.shown()[0].icon, MessageBoxes::Icon::Critical);

    dir.write("AdobeCID.dat", "x"); // one byte: taken as is, then too few lines
    EXPECT_FALSE(p2tCIDInit(t, dir.path(), boxes));
    EXPECT_EQ(boxes.shown().size(), 2u);

    dir.write("AdobeCID.dat", "not zlib data"); // no message, empty table
    EXPECT_TRUE(p2tCIDInit(t, dir.path(), boxes));
    EXPECT_EQ(boxes.shown().size(), 2u);
}

TEST(CidTableTest, TemporaryDataFileNames)
{
    TempDir dir;
    std::tm when{};
    when.tm_year = 115;
    when.tm_mon = 2;
    when.tm_mday = 2;
    when.tm_hour = 14;
    when.tm_min = 5;
    when.tm_sec = 9;
    when.tm_isdst = -1;
    std::time_t t = std::mktime(&when);
    EXPECT_EQ(p2tMakeDataFileName(dir.path(), t), dir.file("data-20150302-140509-000.dat"));
    dir.write("data-20150302-140509-000.dat", "");
    EXPECT_EQ(p2tMakeDataFileName(dir.path(), t), dir.file("data-20150302-140509-001.dat"));
}

TEST(HeadFootTest, PlaceholdersAreReplacedInOrder)
{
    EngineHarness h;
    h.eng.pageNo = 3;
    h.eng.totalPages = 10;
    h.eng.currentFileName = "/docs/a.pdf";
    EXPECT_EQ(p2tExpandHeadFoot(h.eng, "Page %P of %A (%N)"), "Page 3 of 10 (a.pdf)");
    EXPECT_EQ(p2tExpandHeadFoot(h.eng, "%F"), "/docs/a.pdf");
    EXPECT_EQ(p2tExpandHeadFoot(h.eng, "%X %p 100%"), "%X %p 100%");
    h.eng.currentFileName = "/docs/x%Fy.pdf";
    EXPECT_EQ(p2tExpandHeadFoot(h.eng, "%N"), "x/docs/x%Fy.pdfy.pdf") << "a name holding %F gets the path";
    EXPECT_EQ(p2tExpandHeadFoot(h.eng, "頁%P"), sjis("頁3"));
}

// The one-pass extraction against the rules worked out step by step, on
// streams made of the characters that matter.
TEST(ExtractionTest, OnePassGivesTheTextOfTheStepByStepRules)
{
    const std::string pieces[] = {"(", ")", "<", ">", "\\", "'", "T", "J", "j", "m", "M", "f", "F", " ",
                                  "\r", "\n", "\r\n", std::string(1, '\0'), "\x82", "\xb1", "0022", "0", "a",
                                  "G", "[", "]", "Tj", "TJ", "Tm", "Tf", "<034b>",
                                  // drawing: paths, and labels shown with '
                                  "12.5 300.1 m\n", "0.5 1.5 2.5 3.5 re\n", "S\n", "7.1 8.2 l\r\n",
                                  "(label text) '\n", "(a longer label \\(in one literal string\\)) Tj\n", "(a\\)\xb1\x82 b)'\r", "<0022 034b> '\n"};
    std::mt19937 rng(11);
    EngineHarness h;
    for (int round = 0; round < 3000; ++round) {
        std::string data;
        int n = static_cast<int>(rng() % (round % 10 ? 60 : 400)); // some long enough for many 8-byte blocks
        for (int i = 0; i < n; ++i)
            data += pieces[rng() % std::size(pieces)];
        h.settings.CRLF = round % 2;
        std::string expected = referenceStreamText(h.eng.cidTable, data + "\n", h.settings.CRLF);
        ASSERT_EQ(h.analyze(data), expected) << "round " << round;
        std::string line; // a line as the stream string holds it: one character per byte
        for (unsigned char b : data)
            line += p2tByteChar(b);
        ASSERT_EQ(p2tStringOperands2Str(h.eng.cidTable, line), referenceOperands(h.eng.cidTable, line));
    }
}
