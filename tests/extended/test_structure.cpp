// Structure independence of the extended reading mode: the text of a PDF is
// the same however the file stores its objects (tables or cross-reference
// streams, object streams, hybrids, chains of updates), encrypts them with an
// empty user password, or encodes its streams.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/engineHarness.h"
#include "tests/support/pdfWriter.h"

namespace {

EngineHarness::Result convertExtended(const std::string& pdf)
{
    EngineHarness h;
    h.settings.extended = true;
    h.settings.headfootUse[1] = true;
    return h.convert(pdf);
}

bool haveQpdf() { return std::system("qpdf --version >/dev/null 2>&1") == 0; }

// The file rewritten by qpdf with the options given; empty when qpdf fails.
std::string qpdf(const std::string& pdf, const std::string& options)
{
    TempDir dir;
    std::string in = dir.write("in.pdf", pdf), out = dir.file("out.pdf");
    std::string command = "qpdf " + options + " " + in + " " + out + " >/dev/null 2>&1";
    int rc = std::system(command.c_str());
    // 3: warnings only.
    if (rc != 0 && !(WIFEXITED(rc) && WEXITSTATUS(rc) == 3))
        return {};
    return readFile(out);
}

// A document with text on three pages, one with two content streams, and
// shared resources on its page tree.
std::string sampleDocument(bool deflated)
{
    PdfWriter w;
    w.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    w.object(2, "<< /Type /Pages /Kids [3 0 R 5 0 R 7 0 R] /Count 3 /Resources << >> >>");
    w.object(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>");
    w.stream(4, showText("First page") + "T*\n(second line) Tj\n", deflated);
    w.object(5, "<< /Type /Page /Parent 2 0 R /Contents [6 0 R 9 0 R] >>");
    w.stream(6, showText("Second page"), deflated);
    w.object(7, "<< /Type /Page /Parent 2 0 R /Contents 8 0 R >>");
    w.stream(8, "BT\n<0021 0022> Tj\nET\n", deflated);
    w.stream(9, showText("Second stream (escaped \\) paren)"), deflated);
    w.section("/Size 10 /Root 1 0 R /ID [<0123456789abcdef0123456789abcdef> <0123456789abcdef0123456789abcdef>]");
    return w.str();
}

TEST(ExtendedStructureTest, SameTextHoweverQpdfStoresTheFile)
{
    if (!haveQpdf())
        GTEST_SKIP() << "qpdf is not installed";
    for (bool deflated : {false, true}) {
        const std::string original = sampleDocument(deflated);
        EngineHarness::Result expected = convertExtended(original);
        ASSERT_TRUE(expected.ok) << expected.log;
        ASSERT_NE(expected.text.find("Second stream"), std::string::npos);
        // Today's extraction: the same as the default mode on a classic file.
        EngineHarness defaultMode;
        defaultMode.settings.headfootUse[1] = true;
        EXPECT_EQ(defaultMode.convert(original).text, expected.text);

        const char* variants[] = {
            "--object-streams=generate",
            "--object-streams=generate --compress-streams=n",
            "--object-streams=generate --stream-data=compress --recompress-flate",
            "--stream-data=uncompress",
            "--qdf --normalize-content=n --object-streams=disable",
            "--linearize",
            "--linearize --object-streams=generate",
        };
        for (const char* options : variants) {
            std::string variant = qpdf(original, options);
            ASSERT_FALSE(variant.empty()) << options;
            EngineHarness::Result got = convertExtended(variant);
            EXPECT_TRUE(got.ok) << options << ": " << got.log;
            EXPECT_EQ(got.text, expected.text) << options << " deflated=" << deflated;
        }
    }
}

} // namespace
