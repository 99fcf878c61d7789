// Fonts read from their dictionaries: text and advances of shown strings.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/extended/fonts.h"
#include "tests/support/memorySource.h"

namespace {

using testing_support::MemorySource;
using testing_support::pdfObject;
using testing_support::pdfStream;
using testing_support::utf8Of;


// "text:width" per glyph; "." for a glyph without text.
std::string shown(const pdf::Font& font, std::string_view bytes)
{
    std::string out;
    std::u32string scratch;
    for (size_t pos = 0; pos < bytes.size();) {
        const pdf::Glyph g = font.glyphAt(bytes, pos, scratch);
        pos += g.codeLength;
        char width[32];
        std::snprintf(width, sizeof width, "%g", g.width);
        out += (g.text.empty() ? "." : utf8Of(std::u32string(g.text))) + ":" + width + " ";
    }
    return out;
}

struct FontsTest : ::testing::Test {
    MemorySource source;
    pdf::PredefinedCMaps cmaps;
    pdf::FontContext context{cmaps};

    FontsTest()
    {
        source.add(1, pdfStream("<< >>", "1 begincodespacerange <00> <FF> endcodespacerange "
                                         "2 beginbfchar <01> <3042> <41> <005A> endbfchar"));
        source.add(2, pdfStream("<< >>", "1 begincodespacerange <0000> <FFFF> endcodespacerange "
                                         "1 beginbfrange <0001> <0002> <0041> endbfrange"));
        source.add(6, pdfStream("<< >>", "%!PS-AdobeFont-1.0: Greek\n/Encoding 256 array\n0 1 255 {1 index exch "
                                         "/.notdef put} for\ndup 65 /Alpha put\ndup 66 /beta put\nreadonly def\n"
                                         "currentfile eexec dup 67 /C put"));
    }
    std::string read(std::string_view fontDict, std::string_view bytes)
    {
        return shown(*pdf::loadFont(source, pdfObject(fontDict), context), bytes);
    }
};

TEST_F(FontsTest, SimpleFonts)
{
    struct Case {
        const char* font;
        std::string_view bytes;
        const char* expected;
    } cases[] = {
        // standard 14 metrics when there are no widths
        {"<< /Subtype /Type1 /BaseFont /Helvetica >>", "AB ", "A:667 B:667  :278 "},
        {"<< /Subtype /TrueType /BaseFont /TimesNewRomanPSMT /Encoding /WinAnsiEncoding >>", "\x80\x93",
         "€:500 “:444 "},
        {"<< /Subtype /Type1 /BaseFont /Helvetica /Encoding << /BaseEncoding /WinAnsiEncoding /Differences [66 /eacute "
         "/a12] >> >>", "ABC\x93", "A:667 é:556 .:0 “:333 "},
        {"<< /Subtype /Type1 /BaseFont /Symbol >>", "a", "α:631 "},
        {"<< /Subtype /Type1 /BaseFont /ZapfDingbats >>", "!", "✁:974 "},
        // /Differences over StandardEncoding, /Widths from /FirstChar, /MissingWidth
        {"<< /Subtype /Type1 /BaseFont /CMR10 /FirstChar 65 /Widths [500 600] /Encoding << /Differences [65 "
         "/f_f_i /uni00C9 /g12] >> /FontDescriptor << /Flags 32 /MissingWidth 250 /FontFile 99 0 R >> >>",
         "ABCD", "ffi:500 É:600 .:250 D:250 "},
        // an expert font: small capitals and old-style figures as letters and digits
        {"<< /Subtype /Type1 /BaseFont /GaramondExpert /Encoding /MacExpertEncoding >>", "aV1", "a:0 ﬀ:0 1:0 "},
        // an embedded Type 1 program's own encoding
        {"<< /Subtype /Type1 /BaseFont /ABCDEF+Greek /FontDescriptor << /Flags 4 /FontFile 6 0 R >> >>", "ABC",
         "Α:0 β:0 .:0 "},
        // ToUnicode before the encoding
        {"<< /Subtype /TrueType /BaseFont /Foo /Encoding /WinAnsiEncoding /ToUnicode 1 0 R >>", "\x01" "AB",
         "あ:0 Z:0 B:0 "},
        // symbolic TrueType without an encoding: control codes give nothing
        {"<< /Subtype /TrueType /BaseFont /BAAAAA+DejaVuSans /FontDescriptor << /Flags 4 >> >>", "\x01\x02Hi",
         ".:0 .:0 H:0 i:0 "},
        {"<< /Subtype /TrueType /BaseFont /Wingdings-Regular /FontDescriptor << /Flags 4 >> >>", "Hi", ".:0 .:0 "},
        // Type3: only its /Differences name glyphs
        {"<< /Subtype /Type3 /FontMatrix [0.01 0 0 0.01 0 0] /Encoding << /Differences [65 /A] >> /FirstChar 65 "
         "/Widths [50] >>",
         "AB", "A:50 .:0 "},
        // bitmap fonts whose glyph names are their codes
        {"<< /Subtype /Type3 /Encoding << /Differences [65 /a65 /g66 /a99 92 /a92] >> >>", "ABC\\", "A:0 B:0 .:0 .:0 "},
        // absurd widths tables
        {"<< /Subtype /Type1 /BaseFont /X /FirstChar -9223372036854775807 /Widths [1 2 3] >>", std::string_view("\0", 1), ".:0 "},
        {"<< /Subtype /Type1 /BaseFont /X /FirstChar 254 /Widths [1 9999999999 3 4] >>", "\xFE\xFF", ".:1 .:0 "},
        // not a font at all
        {"42", "A", ".:0 "},
    };
    pdf::EncodingGlyphs kept; // the encodings' tables as extended reading keeps them, filled as cases come
    for (const Case& c : cases) {
        context.encodingGlyphs = nullptr;
        EXPECT_EQ(read(c.font, c.bytes), c.expected) << c.font;
        context.encodingGlyphs = &kept;
        EXPECT_EQ(read(c.font, c.bytes), c.expected) << c.font << " (tables kept)";
    }
    context.encodingGlyphs = nullptr;
    auto type3 = pdf::loadFont(source, pdfObject("<< /Subtype /Type3 /FontMatrix [0.01 0 0 0.01 0 0] >>"), context);
    EXPECT_DOUBLE_EQ(type3->fontMatrixScale(), 0.01);
}

TEST_F(FontsTest, CompositeFonts)
{
    struct Case {
        const char* font;
        std::string_view bytes;
        const char* expected;
    } cases[] = {
        // Identity-H: glyph numbers only ToUnicode explains; /W both forms, /DW
        {"<< /Subtype /Type0 /Encoding /Identity-H /ToUnicode 2 0 R /DescendantFonts [<< /DW 900 /W [1 [500 600] "
         "10 20 700] /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) >> >>] >>",
         std::string_view("\0\x01\0\x02\0\x0F\0\x30\x05", 9), "A:500 B:600 .:700 .:900 .:900 "},
        // hostile /W: deep arrays, a range over every CID, a range backwards
        {"<< /Subtype /Type0 /Encoding /Identity-H /DescendantFonts [<< /W [5 [[[[[1]]]] 7] 0 4294967295 300 9 2 "
         "1] >>] >>",
         std::string_view("\0\x05\0\x06\0\x07", 6), ".:300 .:7 .:300 "},
        // codes read again, between them codes that a small table of recent
        // glyphs would put in one place, and a ligature
        {"<< /Subtype /Type0 /Encoding /Identity-H /ToUnicode 7 0 R /DescendantFonts [<< /W [1 [500] 3 [300] 513 "
         "[800] 1025 [900]] >>] >>",
         std::string_view("\0\x01\x02\x01\0\x01\0\x03\x04\x01\0\x03\x02\x01\0\x01", 16),
         "A:500 B:800 A:500 ffi:300 C:900 ffi:300 B:800 A:500 "},
        // an embedded CMap whose /UseCMap is itself; a font that is its own descendant
        {"<< /Subtype /Type0 /Encoding 3 0 R /DescendantFonts [4 0 R] >>", "AB", ".:1000 .:1000 "},
    };
    source.add(3, pdfStream("<< /UseCMap 3 0 R >>", "1 begincodespacerange <00> <FF> endcodespacerange "
                                                    "1 begincidrange <00> <FF> 0 endcidrange"));
    source.add(4, "<< /Subtype /Type0 /DescendantFonts [4 0 R] /Encoding 3 0 R >>");
    source.add(7, pdfStream("<< >>", "1 begincodespacerange <0000> <FFFF> endcodespacerange 4 beginbfchar "
                                     "<0001> <0041> <0201> <0042> <0401> <0043> <0003> <006600660069> endbfchar"));
    for (const Case& c : cases)
        EXPECT_EQ(read(c.font, c.bytes), c.expected) << c.font;

    auto vertical = pdf::loadFont(source, pdfObject("<< /Subtype /Type0 /Encoding /Identity-V /DescendantFonts "
                                                    "[<< /DW2 [880 -900] /W2 [1 [-500 500 880]] >>] >>"),
                                  context);
    EXPECT_TRUE(vertical->vertical());
    EXPECT_EQ(shown(*vertical, std::string_view("\0\x01\0\x02", 4)), ".:-500 .:-900 ");
}

TEST_F(FontsTest, PredefinedCMapsFromPopplerData)
{
    if (!std::filesystem::exists(pdf::predefinedCMapFolder() + "/Adobe-Japan1/90ms-RKSJ-H"))
        GTEST_SKIP() << "poppler-data is not installed";
    struct Case {
        const char* font;
        std::string_view bytes;
        const char* expected;
    } cases[] = {
        // Shift-JIS codes of one and two bytes, through Adobe-Japan1 CIDs to Unicode
        {"<< /Subtype /Type0 /Encoding /90ms-RKSJ-H /DescendantFonts [<< /DW 1000 /W [264 [500]] >>] >>",
         "\x82\xA0" "A", "あ:1000 A:500 "},
        {"<< /Subtype /Type0 /Encoding /UniJIS-UCS2-H /DescendantFonts [<< >>] >>", "\x30\x42", "あ:1000 "},
        {"<< /Subtype /Type0 /Encoding /UniGB-UCS2-H /DescendantFonts [<< >>] >>", "\x4E\x2D", "中:1000 "},
        {"<< /Subtype /Type0 /Encoding /ETen-B5-H /DescendantFonts [<< >>] >>", "\xA4\xA4", "中:1000 "},
        {"<< /Subtype /Type0 /Encoding /KSC-EUC-H /DescendantFonts [<< >>] >>", "\xB0\xA1", "가:1000 "},
        {"<< /Subtype /Type0 /Encoding /EUC-H /DescendantFonts [<< >>] >>", "\xA4\xA2", "あ:1000 "},
        // Japan1 CIDs without ToUnicode, as the default mode reads them; an Identity font's are not
        {"<< /Subtype /Type0 /Encoding /Identity-H /DescendantFonts [<< /CIDSystemInfo << /Registry (Adobe) "
         "/Ordering (Japan1) >> >>] >>",
         std::string_view("\x03\x4B\0\x00", 4), "あ:1000 .:1000 "},
        {"<< /Subtype /Type0 /Encoding /Identity-H /DescendantFonts [<< /CIDSystemInfo << /Registry (Adobe) "
         "/Ordering (Identity) >> >>] >>",
         std::string_view("\x03\x4B", 2), ".:1000 "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(c.font, c.bytes), c.expected) << c.font;
    auto vertical = pdf::loadFont(
        source, pdfObject("<< /Subtype /Type0 /Encoding /90ms-RKSJ-V /DescendantFonts [<< >>] >>"), context);
    EXPECT_TRUE(vertical->vertical());
    EXPECT_EQ(shown(*vertical, "\x81\x41"), "、:-1000 ");
}

TEST_F(FontsTest, CacheByReference)
{
    source.add(5, "<< /Subtype /Type1 /BaseFont /Helvetica >>");
    pdf::FontCache cache;
    auto a = cache.get(source, pdf::Object::ref({5, 0}), context);
    EXPECT_EQ(cache.get(source, pdf::Object::ref({5, 0}), context), a);
    pdf::Object direct = pdfObject("<< /Subtype /Type1 /BaseFont /Courier >>");
    auto b = cache.get(source, direct, context);
    EXPECT_EQ(cache.get(source, direct, context), b);
    EXPECT_NE(a, b);
    EXPECT_EQ(cache.size(), 2u);
    // Another object that reads alike is the same font; one that differs is not.
    source.add(20, "<< /BaseFont /Helvetica /Subtype /Type1 >>");
    source.add(21, "<< /Subtype /Type1 /BaseFont /Helvetica >>");
    source.add(22, "<< /Subtype /Type1 /BaseFont /Helvetica /FirstChar 32 >>");
    EXPECT_NE(cache.get(source, pdf::Object::ref({20, 0}), context), a);
    EXPECT_EQ(cache.get(source, pdf::Object::ref({21, 0}), context), a);
    EXPECT_NE(cache.get(source, pdf::Object::ref({22, 0}), context), a);
}

} // namespace
