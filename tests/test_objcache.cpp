// Building the object cache from cross-reference sections, and finding
// objects and their types through it.
#include <gtest/gtest.h>

#include "engine/p2tObjCacheModule.h"
#include "tests/support/pdfWriter.h"

namespace {

struct Cache {
    explicit Cache(std::string bytes) : bytes(std::move(bytes))
    {
        reader.openMemory(this->bytes.data(), this->bytes.size());
        p2tObjCacheInit(cache);
    }
    bool build() { return p2tObjCacheConstruction(ctx); }
    int32_t offsetOf(int32_t id, int32_t gen = 0)
    {
        int32_t e = p2tObjCacheFind(cache, id, gen);
        return e == -1 ? -1 : cache.record(e).address;
    }
    std::string bytes;
    p2tReader reader;
    ObjCache cache;
    DebugLog log;
    ObjCacheContext ctx{reader, cache, log};
};

} // namespace

TEST(ObjCacheTest, OneSubsectionWithFreeEntryZero)
{
    PdfWriter w;
    for (int i = 1; i <= 5; ++i)
        w.object(i, "<< /Type /T" + std::to_string(i) + " >>");
    w.section("/Size 6 /Root 1 0 R");
    Cache c(w.str());
    ASSERT_TRUE(c.build());
    EXPECT_EQ(c.cache.count(), 5);
    EXPECT_EQ(c.offsetOf(0, 65535), -1);
    EXPECT_EQ(c.offsetOf(1), static_cast<int32_t>(w.str().find("1 0 obj")));
    EXPECT_EQ(c.offsetOf(5), static_cast<int32_t>(w.str().find("5 0 obj")));
}

TEST(ObjCacheTest, TwoSubsectionsInOneSection)
{
    std::string body = "%PDF-1.4\n";
    std::string xref = "xref\n0 1\n0000000000 65535 f \n3 2\n0000000100 00000 n \n0000000200 00000 n \n";
    size_t at = body.size();
    body += xref + "trailer\n<< /Size 5 >>\nstartxref\n" + std::to_string(at) + "\n%%EOF\n";
    Cache c(body);
    ASSERT_TRUE(c.build());
    EXPECT_EQ(c.offsetOf(3), 100);
    EXPECT_EQ(c.offsetOf(4), 200);
    EXPECT_EQ(c.cache.count(), 2);
}

TEST(ObjCacheTest, NewestOffsetWinsAcrossAPrevChain)
{
    PdfWriter w;
    w.object(1, "<< /Type /Catalog >>");
    w.object(4, "<< /Old true >>");
    size_t first = w.section("/Size 5 /Root 1 0 R");
    w.object(4, "<< /New true >>");
    size_t second = w.section("/Size 5 /Root 1 0 R /Prev " + std::to_string(first));
    w.object(7, "<< /Third true >>");
    w.section("/Size 8 /Root 1 0 R /Prev " + std::to_string(second));
    Cache c(w.str());
    ASSERT_TRUE(c.build());
    EXPECT_EQ(c.offsetOf(4), static_cast<int32_t>(w.str().find("4 0 obj\n<< /New")));
    EXPECT_EQ(c.offsetOf(1), static_cast<int32_t>(w.str().find("1 0 obj")));
    EXPECT_EQ(c.offsetOf(7), static_cast<int32_t>(w.str().find("7 0 obj")));
    EXPECT_EQ(c.cache.count(), 3) << "the older entry for 4 0 is not registered";
}

TEST(ObjCacheTest, FreeEntryInANewerSectionDoesNotHideAnOlderOne)
{
    PdfWriter w;
    w.object(4, "<< /Type /Kept >>");
    size_t first = w.section("/Size 5");
    std::string update = "xref\n4 1\n0000000000 00000 f \ntrailer\n<< /Size 5 /Prev " + std::to_string(first)
        + " >>\nstartxref\n" + std::to_string(w.size()) + "\n%%EOF\n";
    w.raw(update);
    Cache c(w.str());
    ASSERT_TRUE(c.build());
    EXPECT_EQ(c.offsetOf(4), static_cast<int32_t>(w.str().find("4 0 obj")));
}

TEST(ObjCacheTest, ManyObjectsSharingTheLastDigitsAreAllFound)
{
    ObjCache cache;
    p2tObjCacheInit(cache);
    for (int32_t id : {7, 10007, 20007, 30007, 40007})
        p2tObjCacheRegister(cache, id, 0, id * 2);
    for (int32_t id : {7, 10007, 20007, 30007, 40007})
        EXPECT_EQ(cache.record(p2tObjCacheFind(cache, id, 0)).address, id * 2);
    EXPECT_EQ(p2tObjCacheFind(cache, 12, 0), -1);
    p2tObjCacheRegister(cache, 12, 0, 1);
    EXPECT_EQ(p2tObjCacheFind(cache, 12, 1), -1);
    EXPECT_EQ(p2tObjCacheFind(cache, -12, 0), -1);
    EXPECT_EQ(p2tObjCacheFind(cache, 12, -1), -1);
}

TEST(ObjCacheTest, EntryNumbersAndFirstRegistrationWinWithAMillionObjects)
{
    ObjCache cache;
    p2tObjCacheInit(cache);
    for (int32_t id = 0; id < 1000000; ++id)
        ASSERT_EQ(p2tObjCacheRegister(cache, id, 0, id), id + 1);
    EXPECT_EQ(p2tObjCacheRegister(cache, 5, 0, 99), 1000001) << "a later entry is numbered but never found";
    EXPECT_EQ(p2tObjCacheFind(cache, 5, 0), 6);
    EXPECT_EQ(p2tObjCacheFind(cache, 999999, 0), 1000000);
}

TEST(ObjCacheTest, TypeIsTheFirstTypeTokenOrUnknownMarkers)
{
    PdfWriter w;
    w.object(1, "<< /Resources << /Font << /Type /Font >> >> /Type /Page >>");
    w.object(2, "<< /Length 0 >>");
    w.object(3, "<< /Type /Pages >>");
    w.section("/Size 4");
    Cache c(w.str());
    ASSERT_TRUE(c.build());
    EXPECT_EQ(p2tGetObjType(c.ctx, 1, 0), "/Font") << "a nested /Type comes first";
    EXPECT_EQ(p2tGetObjType(c.ctx, 2, 0), "???");
    EXPECT_EQ(p2tGetObjType(c.ctx, 3, 0), "/Pages");
    EXPECT_EQ(p2tGetObjType(c.ctx, 9, 0), "");

    // Found once; the position is restored around the scan.
    int32_t at = 100;
    p2tSeek(c.reader, at);
    EXPECT_EQ(p2tGetObjType(c.ctx, 2, 0), "???");
    EXPECT_EQ(p2tGetPosition(c.reader), 100);

    ASSERT_TRUE(p2tSeekObj(c.ctx, 3, 0));
    EXPECT_EQ(p2tGetToken(c.reader), "3");
    EXPECT_EQ(p2tGetToken(c.reader), "0");
    EXPECT_EQ(p2tGetToken(c.reader), "obj");
}

TEST(ObjCacheTest, ObjectOutsideTheFileCannotBeSoughtAndStaysUnknown)
{
    ObjCache cache;
    p2tObjCacheInit(cache);
    std::string bytes = "%PDF-1.4\n1 0 obj << >> endobj\n";
    p2tReader reader;
    reader.openMemory(bytes.data(), bytes.size());
    DebugLog log;
    ObjCacheContext ctx{reader, cache, log};
    p2tObjCacheRegister(cache, 1, 0, 5000);
    EXPECT_FALSE(p2tSeekObj(ctx, 1, 0));
    EXPECT_EQ(p2tGetObjType(ctx, 1, 0), "UNKNOWN");
}

TEST(ObjCacheTest, StartxrefMustBeWithinTheLast51Bytes)
{
    std::string pdf = simplePdf({showText("x")});
    Cache ok(pdf);
    EXPECT_EQ(p2tGetStartXrefPosition(ok.ctx), static_cast<int32_t>(pdf.rfind("xref\n0 ")));

    Cache padded(pdf + std::string(60, ' '));
    EXPECT_EQ(p2tGetStartXrefPosition(padded.ctx), -1);
    EXPECT_FALSE(padded.build());

    Cache empty("");
    EXPECT_EQ(p2tGetStartXrefPosition(empty.ctx), -1);
    Cache oneByte("x");
    EXPECT_EQ(p2tGetStartXrefPosition(oneByte.ctx), -1);
}

TEST(ObjCacheTest, TraceLinesOfASection)
{
    PdfWriter w;
    w.object(1, "<< >>");
    size_t at = w.section("/Size 2");
    Cache c(w.str());
    std::vector<std::string> lines;
    c.log.open([&](std::string_view f, std::string_view m) { lines.push_back(std::string(f) + ": " + std::string(m)); });
    ASSERT_TRUE(c.build());
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "p2tGetStartXrefPosition: pos=" + std::to_string(at),
                         "p2tObjCacheConstructionSub: 処理開始 - xrefPosition=" + std::to_string(at),
                         "p2tObjCacheConstructionSub: trailerの読み込みを開始します",
                         "p2tObjCacheConstructionSub: %%EOF発見",
                         "p2tObjCacheConstructionSub: 処理終了",
                     }));
}

// Damaged tables make the construction fail instead of reading nonsense.
TEST(ObjCacheTest, UnsoundSectionsFail)
{
    auto withXref = [](const std::string& xrefBody) {
        std::string body = "%PDF-1.4\n1 0 obj << >> endobj\n";
        size_t at = body.size();
        return body + xrefBody + "\nstartxref\n" + std::to_string(at) + "\n%%EOF\n";
    };
    EXPECT_FALSE(Cache(withXref("xref\n0 2\n0000000000 65535 f \n00000000x9 00000 n \ntrailer << >>")).build())
        << "non-numeric offset";
    EXPECT_FALSE(Cache(withXref("xref\nzero 1\n0000000009 00000 n \ntrailer << >>")).build()) << "non-numeric first";
    EXPECT_FALSE(Cache(withXref("xref\n-5 1\n0000000009 00000 n \ntrailer << >>")).build()) << "negative number";
    EXPECT_FALSE(Cache(withXref("xref\n0 3\n0000000009 00000 n \ntrailer << >>")).build()) << "count too large";
    EXPECT_FALSE(Cache(withXref("xref\n0 1\n0000000009 00000 n \ntrailer << /Prev abc >>")).build());
    EXPECT_FALSE(Cache(withXref("xref\n0 1\n0000000009 00000 n \ntrailer << /Prev 999999 >>")).build())
        << "/Prev beyond the file";
    EXPECT_TRUE(Cache(withXref("xref\n0 1\n0000000009 00000 n \ntrailer << /Size 1 >>")).build());

    std::string pdf = simplePdf({showText("x")});
    size_t sx = pdf.rfind("startxref\n");
    std::string beyond = pdf.substr(0, sx) + "startxref\n99999999\n%%EOF\n";
    EXPECT_FALSE(Cache(beyond).build()) << "startxref beyond the file";
    std::string streamXref = pdf.substr(0, sx) + "startxref\n" + std::to_string(pdf.find("1 0 obj")) + "\n%%EOF\n";
    EXPECT_FALSE(Cache(streamXref).build()) << "an offset naming an object instead of a table";
}

TEST(ObjCacheTest, LargeSubsectionCountsAreReadInFull)
{
    std::string body = "%PDF-1.4\n";
    size_t at = body.size();
    std::string xref = "xref\n0 40000\n";
    for (int i = 0; i < 40000; ++i)
        xref += "0000000009 00000 n \n";
    body += xref + "trailer\n<< /Size 40000 >>\nstartxref\n" + std::to_string(at) + "\n%%EOF\n";
    Cache c(body);
    ASSERT_TRUE(c.build());
    EXPECT_EQ(c.cache.count(), 40000);
    EXPECT_NE(p2tObjCacheFind(c.cache, 39999, 0), -1);
}

TEST(ObjCacheTest, PrevLoopsAreCut)
{
    // A section whose /Prev names itself.
    PdfWriter w;
    w.object(1, "<< >>");
    size_t at = w.size();
    w.raw("xref\n0 2\n0000000000 65535 f \n0000000009 00000 n \ntrailer\n<< /Size 2 /Prev " + std::to_string(at)
          + " >>\nstartxref\n" + std::to_string(at) + "\n%%EOF\n");
    Cache self(w.str());
    EXPECT_TRUE(self.build());
    EXPECT_EQ(self.cache.count(), 1);

    // Two sections naming each other.
    PdfWriter two;
    two.object(1, "<< >>");
    size_t a = two.size();
    std::string sectionA = "xref\n0 2\n0000000000 65535 f \n0000000009 00000 n \ntrailer\n<< /Size 2 /Prev BBBBBB >>\n"
                           "startxref\n" + std::to_string(a) + "\n%%EOF\n";
    size_t b = a + sectionA.size();
    for (size_t p; (p = sectionA.find("BBBBBB")) != std::string::npos;) {
        char num[8];
        std::snprintf(num, sizeof num, "%06zu", b);
        sectionA.replace(p, 6, num);
    }
    two.raw(sectionA);
    two.raw("xref\n2 1\n0000000009 00000 n \ntrailer\n<< /Size 3 /Prev " + std::to_string(a) + " >>\nstartxref\n"
            + std::to_string(b) + "\n%%EOF\n");
    Cache loop(two.str());
    EXPECT_TRUE(loop.build());
    EXPECT_EQ(loop.cache.count(), 2);
}

TEST(ObjCacheTest, LongChainsOfUpdatesDoNotExhaustTheStack)
{
    PdfWriter w;
    w.object(1, "<< >>");
    size_t prev = w.section("/Size 2");
    for (int i = 0; i < 50000; ++i) {
        size_t at = w.size();
        w.raw("xref\ntrailer << /Prev " + std::to_string(prev) + " >>\n%%EOF\n");
        prev = at;
    }
    w.raw("startxref\n" + std::to_string(prev) + "\n%%EOF\n");
    Cache c(w.str());
    EXPECT_TRUE(c.build());
    EXPECT_NE(p2tObjCacheFind(c.cache, 1, 0), -1);
}
