// Converting whole files: the driver's messages, the page tree walk, content
// streams, headers and footers, cancellation and damaged files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "engine/p2tDivePagesModule.h"
#include "platform/cp932.h"
#include "platform/paths.h"
#include "tests/support/engineHarness.h"
#include "tests/support/pdfWriter.h"

namespace {

const std::string kHeader1of1 = "\r\n---1/1---\r\n";

std::string header(int page, int total) { return "\r\n---" + std::to_string(page) + "/" + std::to_string(total) + "---\r\n"; }

// A catalog, a root /Pages node with the kids given, and the rest as written.
PdfWriter treeWith(const std::string& kids, int count)
{
    PdfWriter w;
    w.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    w.object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(count) + " >>");
    return w;
}

} // namespace

TEST(DriverTest, ConvertsAWellFormedFile)
{
    EngineHarness h;
    auto r = h.convert(simplePdf({showText("Hello"), showText("World")}), false);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.log, "") << "nothing is appended on success";
    EXPECT_EQ(r.text, header(1, 2) + " \r\nHello\r\n" + header(2, 2) + " \r\nWorld\r\n");
    EXPECT_EQ(h.progress.childMax(), 3);
    EXPECT_EQ(h.progress.childValues, (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(h.progress.fileName, "doc.pdf");
}

TEST(DriverTest, FlateStreamsAndFooters)
{
    EngineHarness h;
    h.settings.headfootUse[0] = false;
    h.settings.headfootUse[1] = true;
    h.settings.headfootFormat[1] = "[%P] %N";
    auto r = h.convert(simplePdf({showText("A"), showText("B")}, true));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.text, " \r\nA\r\n\r\n[1] doc.pdf\r\n \r\nB\r\n\r\n[2] doc.pdf\r\n");
}

TEST(DriverTest, TraceLinesOfAConversion)
{
    EngineHarness h;
    h.convert(simplePdf({showText("x")}));
    auto has = [&](const std::string& line) {
        return std::find(h.trace.begin(), h.trace.end(), line) != h.trace.end();
    };
    EXPECT_TRUE(has("p2tGetRootObjNumber: /Root id=1 gen=0"));
    EXPECT_TRUE(has("p2tGetFirstPagesObjNumber: /Pages id=2 gen=0"));
    EXPECT_TRUE(has("p2tDivePages: start id=2 gen=0"));
    EXPECT_TRUE(has("p2tDivePage: start id=3 gen=0"));
    EXPECT_TRUE(has("p2tReadContents: start id=4 gen=0"));
    EXPECT_TRUE(has("p2tAnalyzeStream: filterName="));
}

TEST(DriverTest, EncryptedFilesAreRefused)
{
    EngineHarness h;
    PdfWriter w = treeWith("3 0 R", 1);
    w.object(3, "<< /Type /Page /Contents 4 0 R >>");
    w.stream(4, showText("secret"));
    w.section("/Size 20 /Root 1 0 R /Encrypt 5 0 R");
    auto r = h.convert(w.str(), false);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.log, "...非対応(暗号化)\r\n");
    EXPECT_EQ(r.text, "") << "the text file is closed, empty";
}

TEST(DriverTest, RootLookupReadsTheWholeTableWhenItHoldsOddWords)
{
    // An entry whose kind is "/Encrypt" is skipped by the cache, but the root
    // lookup reads the table from its start and sees it.
    std::string pdf = simplePdf({showText("x")});
    size_t free = pdf.find("65535 f ");
    pdf.replace(free + 6, 2, "/Encrypt");
    size_t sx = pdf.rfind("startxref");
    pdf.replace(pdf.find("\n", sx) + 1, pdf.find("\n", pdf.find("\n", sx) + 1) - pdf.find("\n", sx) - 1,
                std::to_string(pdf.rfind("xref\n0 ")));
    EngineHarness h;
    auto r = h.convert(pdf);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.log, "...非対応(暗号化)\r\n");
}

TEST(DriverTest, DamagedStructureMessages)
{
    struct Case {
        const char* what;
        std::string pdf;
        std::string log;
    };
    std::string good = simplePdf({showText("x")});
    PdfWriter noPages;
    noPages.object(1, "<< /Type /Catalog >>");
    noPages.section("/Size 2 /Root 1 0 R");
    PdfWriter noRoot = treeWith("", 0);
    noRoot.section("/Size 3");
    PdfWriter pagesMissing;
    pagesMissing.object(1, "<< /Type /Catalog /Pages 9 0 R >>");
    pagesMissing.section("/Size 2 /Root 1 0 R");
    PdfWriter noCount;
    noCount.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    noCount.object(2, "<< /Type /Pages /Kids [] >>");
    noCount.section("/Size 3 /Root 1 0 R");
    PdfWriter hugeCount = treeWith("", 0);
    hugeCount.object(2, "<< /Type /Pages /Kids [] /Count 99999999999 >>");
    hugeCount.section("/Size 3 /Root 1 0 R");
    PdfWriter badKids = treeWith("3 x R", 1);
    badKids.section("/Size 3 /Root 1 0 R");

    const Case cases[] = {
        {"data appended after %%EOF", good + std::string(60, ' '), "...ファイル破損\r\n"},
        {"catalog without /Pages", noPages.str(), "...ファイル破損\r\n"},
        {"no /Root", noRoot.str(), "...ファイル破損\r\n"},
        {"/Pages node not in the file", pagesMissing.str(), "...ページ数取得失敗\r\n...ファイル矛盾\r\n"},
        {"no /Count", noCount.str(), "...ファイル矛盾\r\n"},
        {"/Count beyond 32 bits", hugeCount.str(), "...ファイル矛盾\r\n"},
        {"kid number not a number", badKids.str(), "...ページ矛盾\r\n"},
        {"empty file", "", "...ファイル破損\r\n"},
        {"one byte", "%", "...ファイル破損\r\n"},
        {"cut in the middle", good.substr(0, good.size() / 2), "...ファイル破損\r\n"},
    };
    for (const Case& c : cases) {
        EngineHarness h;
        auto r = h.convert(c.pdf);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_EQ(r.log, c.log) << c.what;
    }
}

TEST(DriverTest, CountZeroStillWalksAndCountAsReferenceTakesTheNumber)
{
    EngineHarness h;
    PdfWriter w = treeWith("", 0);
    w.section("/Size 3 /Root 1 0 R");
    auto r = h.convert(w.str());
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(h.progress.childMax(), 1);

    EngineHarness h2;
    PdfWriter ref;
    ref.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    ref.object(2, "<< /Type /Pages /Kids [3 0 R] /Count 7 0 R >>");
    ref.object(3, "<< /Type /Page /Contents 4 0 R >>");
    ref.stream(4, showText("x"));
    ref.section("/Size 5 /Root 1 0 R");
    r = h2.convert(ref.str());
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(h2.progress.childMax(), 8);
    EXPECT_EQ(r.text, header(1, 7) + " \r\nx\r\n");
}

TEST(DriverTest, DecliningToOverwriteLeavesTheOldFile)
{
    EngineHarness h;
    std::string old = h.dir.write("doc.txt", "old text");
    auto r = h.convert(simplePdf({showText("new")}), false);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.log, "...出力ファイルが開けません\r\n");
    EXPECT_EQ(readFile(old), "old text");
    ASSERT_EQ(h.boxes.shown().size(), 1u);
    EXPECT_EQ(h.boxes.shown()[0].text, "以下のファイルは既に存在します。上書きしますか？\r" + old);
    EXPECT_TRUE(h.boxes.shown()[0].question);
    EXPECT_EQ(h.boxes.shown()[0].icon, MessageBoxes::Icon::Information);

    h.boxes.answers = {true};
    h.log.clear();
    r = h.convert(simplePdf({showText("new")}), false);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.text, kHeader1of1 + " \r\nnew\r\n");

    h.settings.OWConfirm = false;
    r = h.convert(simplePdf({showText("again")}), false);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(h.boxes.shown().size(), 2u) << "no question without OWConfirm";
    EXPECT_EQ(r.text, kHeader1of1 + " \r\nagain\r\n");
}

TEST(DriverTest, OutputThatCannotBeCreated)
{
    EngineHarness h;
    h.dir.write(".txt", "hidden, never asked about");
    h.settings.OWConfirm = false;
    auto r = h.convert(simplePdf({showText("x")}), false, ".pdf");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.log, "...出力ファイルが開けません\r\n");
    EXPECT_EQ(readFile(h.dir.file(".txt")), "hidden, never asked about");

    if (geteuid() != 0) { // root may write anywhere
        EngineHarness ro;
        std::string folder = ro.dir.file("ro");
        std::filesystem::create_directory(folder);
        ro.dir.write("ro/doc.pdf", simplePdf({showText("x")}));
        chmod(folder.c_str(), 0555);
        EXPECT_FALSE(p2tMain(ro.eng, folder + "/doc.pdf"));
        EXPECT_EQ(ro.log.text(), "...出力ファイルが開けません\r\n");
    }
}

TEST(DriverTest, AFullDiskIsReportedAsAFileThatCouldNotBeClosed)
{
    EngineHarness h;
    h.memory.limit = 10;
    auto r = h.convert(simplePdf({showText("Hello world, this is more than ten bytes")}));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.log, "...出力ファイルがクローズできません\r\n");
}

TEST(DriverTest, MissingPdfFailsAfterTheTextFileIsOpened)
{
    EngineHarness h;
    h.eng.outputFiles = &h.memory;
    EXPECT_FALSE(p2tMain(h.eng, h.dir.file("gone.pdf")));
    EXPECT_EQ(h.log.text(), "...ファイル破損\r\n");
}

TEST(DriverTest, CancelLetsThePageFinishThenStops)
{
    EngineHarness h;
    h.progress.onChildValue = [&](int32_t v) {
        if (v == 3) // the progress step after page 2
            h.progress.setCancelButtonPushed(true);
    };
    auto r = h.convert(simplePdf({showText("p1"), showText("p2"), showText("p3"), showText("p4"), showText("p5")}));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.log, "...中断\r\n");
    EXPECT_EQ(r.text, header(1, 5) + " \r\np1\r\n" + header(2, 5) + " \r\np2\r\n");
}

TEST(WalkTest, NestedNodesInKidsOrder)
{
    EngineHarness h;
    PdfWriter w = treeWith("3 0 R 5 0 R 9 0 R", 3);
    w.object(3, "<< /Type /Page /Contents 4 0 R >>");
    w.stream(4, showText("first"));
    w.object(5, "<< /Type /Pages /Kids [6 0 R 8 0 R] /Count 1 >>");
    w.object(6, "<< /Type /Page /Contents 7 0 R >>");
    w.stream(7, showText("nested"));
    w.object(8, "<< /Type /Annot >>"); // neither a page nor a node: skipped
    w.object(9, "<< /Type /Page /Contents 10 0 R >>");
    w.stream(10, showText("last"));
    w.section("/Size 11 /Root 1 0 R");
    h.settings.headfootFormat[0] = "%P";
    auto r = h.convert(w.str());
    EXPECT_TRUE(r.ok) << r.log;
    EXPECT_EQ(r.text, "\r\n1\r\n \r\nfirst\r\n\r\n2\r\n \r\nnested\r\n\r\n3\r\n \r\nlast\r\n");
}

TEST(WalkTest, PagesWithoutContentsOrWithEmptyContents)
{
    EngineHarness h;
    h.settings.headfootUse[1] = true;
    h.settings.headfootFormat[0] = "H%P";
    h.settings.headfootFormat[1] = "F%P";
    PdfWriter w = treeWith("3 0 R 4 0 R", 2);
    w.object(3, "<< /Type /Page >>");
    w.object(4, "<< /Type /Page /Contents [] >>");
    w.section("/Size 5 /Root 1 0 R");
    auto r = h.convert(w.str());
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.text, "\r\nH1\r\n\r\nH2\r\n\r\nF2\r\n") << "no footer and no progress step without /Contents";
    EXPECT_EQ(h.progress.childValues, (std::vector<int32_t>{0, 1, 3}));
}

TEST(WalkTest, EmptyKidsConvertNothing)
{
    EngineHarness h;
    PdfWriter w = treeWith("", 0);
    w.section("/Size 3 /Root 1 0 R");
    auto r = h.convert(w.str());
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.text, "");
}

TEST(ContentsTest, DirectAndIndirectLengthsAndArrays)
{
    EngineHarness h;
    h.settings.headfootUse[0] = false;
    std::string s = showText("same");
    PdfWriter w = treeWith("3 0 R 6 0 R", 2);
    w.object(3, "<< /Type /Page /Contents [4 0 R 5 0 R] >>");
    w.object(4, "<< /Length 12 0 R >>\nstream\n" + s + "\nendstream");
    w.object(12, std::to_string(s.size()));
    w.object(5, "<< /Filter /FlateDecode /Length " + std::to_string(deflateBytes("(two) Tj").size()) + " >>\nstream\n"
                    + deflateBytes("(two) Tj") + "\nendstream");
    w.object(6, "<< /Type /Page /Contents 7 0 R >>");
    w.object(7, "[4 0 R 8 0 R]");
    w.object(8, "<< /Length 5 >>"); // no stream: nothing, and no failure
    w.section("/Size 13 /Root 1 0 R");
    auto r = h.convert(w.str());
    EXPECT_TRUE(r.ok) << r.log;
    EXPECT_EQ(r.text, " \r\nsame\r\ntwo\r\n \r\nsame\r\n");
}

// A stream is read from the first "stream", "endstream" or "endobj" of its
// object, whatever the words of its dictionary are for.
TEST(ContentsTest, StreamDataStartsAtTheFirstWordThatCouldEndTheObject)
{
    EngineHarness h;
    h.settings.headfootUse[0] = false;
    PdfWriter w = treeWith("3 0 R", 1);
    w.object(3, "<< /Type /Page /Contents [4 0 R 5 0 R 6 0 R] >>");
    w.object(4, "<< /Length 6 /Note endstream >>\nstream\n(x) Tj\nendstream");
    w.object(5, "<< /Filter endobj /Length 6 >>\nstream\n(y) Tj\nendstream");
    w.object(6, "<< /Length 6 >>\nstream\n(z) Tj\nendstream");
    w.section("/Size 7 /Root 1 0 R");
    auto r = h.convert(w.str());
    EXPECT_TRUE(r.ok) << r.log;
    EXPECT_EQ(r.text, "z\r\n");
}

TEST(ContentsTest, MissingLengthStopsTheFile)
{
    EngineHarness h;
    PdfWriter w = treeWith("3 0 R", 1);
    w.object(3, "<< /Type /Page /Contents 4 0 R >>");
    w.object(4, "<< >>\nstream\n(x) Tj\nendstream");
    w.section("/Size 5 /Root 1 0 R");
    auto r = h.convert(w.str());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.log, "...解析エラー(p2tReadContents)\r\n...ページ矛盾\r\n");
    EXPECT_NE(std::find(h.trace.begin(), h.trace.end(), "p2tReadContents: Lengthが読めません id=4 gen=0 length=-1 filter="),
              h.trace.end());
}

TEST(ContentsTest, UnsupportedFilterMessageComesBeforeTheWalksMessage)
{
    EngineHarness h;
    PdfWriter w = treeWith("3 0 R", 1);
    w.object(3, "<< /Type /Page /Contents 4 0 R >>");
    w.stream(4, "(x) Tj", false, " /Filter /ASCIIHexDecode");
    w.section("/Size 5 /Root 1 0 R");
    auto r = h.convert(w.str());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.log, "フィルタ未対応:/ASCIIHexDecode...ページ矛盾\r\n");
}

TEST(ContentsTest, LengthBeyondTheFileReadsZerosWithoutAllocatingThem)
{
    for (const char* length : {"2000000000", "99999"}) {
        EngineHarness h;
        PdfWriter w = treeWith("3 0 R", 1);
        w.object(3, "<< /Type /Page /Contents 4 0 R >>");
        w.object(4, std::string("<< /Length ") + length + " >>\nstream\n(x) Tj\n(y) Tj\nendstream");
        w.section("/Size 5 /Root 1 0 R");
        auto r = h.convert(w.str());
        EXPECT_TRUE(r.ok) << length;
        // The data runs on through the rest of the file and into zeros past
        // its end; the last line ends in zeros and shows nothing.
        EXPECT_EQ(r.text, kHeader1of1 + "xy\r\n") << length;
    }
}

TEST(OutputTest, Utf8TextFilesHoldTheSameTextAsCodePage932Ones)
{
    // Page text, a raw byte string, and header and footer with a Japanese file name.
    const std::string pdf = simplePdf({"BT\n<034b034c00220023> Tj\n(\xb1\xb2) Tj\nET\n", showText("x")});
    std::string texts[2];
    for (TextEncoding encoding : {TextEncoding::Cp932, TextEncoding::Utf8}) {
        EngineHarness h;
        h.settings.encoding = encoding;
        h.settings.headfootUse[1] = true;
        h.settings.headfootFormat[1] = "[%N]";
        auto r = h.convert(pdf, true, "資料.pdf");
        ASSERT_TRUE(r.ok) << r.log;
        texts[encoding == TextEncoding::Utf8] = r.text;
    }
    EXPECT_NE(texts[0].find(platform::utf8ToCp932("あぃ")), std::string::npos);
    EXPECT_EQ(texts[1], platform::cp932ToUtf8(texts[0]));
    EXPECT_NE(texts[1].find("[資料.pdf]"), std::string::npos);

    // Unicode text as the extended reading writes it.
    for (TextEncoding encoding : {TextEncoding::Cp932, TextEncoding::Utf8}) {
        EngineHarness h;
        h.settings.encoding = encoding;
        h.eng.output.file = h.memory.create("u");
        h.eng.output.blOpened = true;
        p2tOutputWriteUnicode(h.eng, "A漢ｱ😀\r\n");
        EXPECT_EQ(h.memory.files["u"], encoding == TextEncoding::Utf8 ? "A漢ｱ😀\r\n" : platform::utf8ToCp932("A漢ｱ\r\n"))
            << "a character without a code page 932 form is left out";
    }
}

// Headers and footers against replacing the placeholders in the whole format,
// in order, with file names and formats that hold placeholders and broken
// UTF-8 of their own.
TEST(OutputTest, HeaderExpansionMatchesReplacingInTheWholeFormat)
{
    auto replaceAll = [](std::string s, const std::string& from, const std::string& to) {
        std::string out;
        size_t start = 0;
        for (size_t hit; (hit = s.find(from, start)) != std::string::npos; start = hit + from.size())
            out += s.substr(start, hit - start) + to;
        return out + s.substr(start);
    };
    EngineHarness h;
    h.eng.totalPages = 12;
    for (const char* name : {"/d/a.pdf", "/d/%P%F%A\xe3\x81.pdf"})
        for (const char* format : {"---%P/%A---", "%P%P", "%%PA", "%N%P", "x%F%P%A", "\xe3\x81%P\x81", "", "%"}) {
            h.eng.currentFileName = name;
            for (int32_t page : {1, 10}) {
                h.eng.pageNo = page;
                std::string s = replaceAll(format, "%P", std::to_string(page));
                s = replaceAll(s, "%A", "12");
                s = replaceAll(s, "%N", getFileName(name));
                s = replaceAll(s, "%F", name);
                EXPECT_EQ(p2tExpandHeadFoot(h.eng, format), platform::utf8ToCp932(s)) << format << " " << name;
            }
        }
}
