// Structure independence of the extended reading mode: the text of a PDF is
// the same however the file stores its objects (tables or cross-reference
// streams, object streams, hybrids, chains of updates), encrypts them with an
// empty user password, or encodes its streams.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "engine/extended/crossReference.h"
#include "engine/extended/extendedReading.h"
#include "engine/extended/rawFile.h"
#include "engine/p2tFileReadModule.h"

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
    std::string command = "qpdf --allow-weak-crypto " + options + " " + in + " " + out + " >/dev/null 2>&1";
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
    w.object(2, "<< /Type /Pages /Kids [3 0 R 5 0 R 7 0 R] /Count 3 /Resources << /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >> >>");
    w.object(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>");
    w.stream(4, showText("First page") + "T*\n(second line) Tj\n", deflated);
    w.object(5, "<< /Type /Page /Parent 2 0 R /Contents [6 0 R 9 0 R] >>");
    w.stream(6, showText("Second page"), deflated);
    w.object(7, "<< /Type /Page /Parent 2 0 R /Contents 8 0 R >>");
    w.stream(8, "BT\n/F1 12 Tf\n<4142> Tj\nET\n", deflated);
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
        ASSERT_NE(expected.text.find("paren)"), std::string::npos) << expected.text;

        const char* variants[] = {
            "--object-streams=generate",
            "--object-streams=generate --compress-streams=n",
            "--object-streams=generate --stream-data=compress --recompress-flate",
            "--stream-data=uncompress",
            "--qdf --normalize-content=n --object-streams=disable",
            "--linearize",
            "--linearize --object-streams=generate",
            "--encrypt \"\" owner 40 --",
            "--encrypt \"\" owner 128 --",
            "--encrypt \"\" owner 128 --use-aes=y --",
            "--encrypt \"\" owner 128 --use-aes=y --cleartext-metadata --",
            "--encrypt \"\" owner 256 --",
            "--encrypt \"\" owner 256 -- --object-streams=generate",
            "--encrypt \"\" owner 256 --force-R5 --",
        };
        for (const char* options : variants) {
            std::string variant = qpdf(original, options);
            ASSERT_FALSE(variant.empty()) << options;
            ASSERT_EQ(variant.find("/Encrypt") != std::string::npos,
                      std::string(options).find("encrypt") != std::string::npos);
            EngineHarness::Result got = convertExtended(variant);
            EXPECT_TRUE(got.ok) << options << ": " << got.log;
            EXPECT_EQ(got.text, expected.text) << options << " deflated=" << deflated;
        }
    }
}

// An engine converts file after file and keeps what it can between them;
// the options may change between runs. Each file still reads as it would
// on an engine of its own.
TEST(ExtendedStructureTest, EachFileReadsAsOnAFreshEngine)
{
    PdfWriter w;
    w.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    w.object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /Resources << /Font << /F1 << /Type /Font /Subtype /Type1 "
                "/BaseFont /Helvetica >> >> >> >>");
    w.object(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>");
    w.stream(4, "BT /F1 12 Tf 72 720 Td (one) Tj 0 -20 Td (two) Tj ET", true);
    w.section("/Size 5 /Root 1 0 R");
    const std::string doc = w.str();
    EngineHarness h;
    h.settings.extended = true;
    const EngineHarness::Result first = h.convert(doc);
    h.settings.CRLF = !h.settings.CRLF;
    const EngineHarness::Result second = h.convert(doc);
    EngineHarness fresh;
    fresh.settings.extended = true;
    fresh.settings.CRLF = h.settings.CRLF;
    EXPECT_EQ(second.text, fresh.convert(doc).text);
    EXPECT_NE(second.text, first.text);
}

TEST(ExtendedStructureTest, AFileThatNeedsAPasswordIsRefused)
{
    if (!haveQpdf())
        GTEST_SKIP() << "qpdf is not installed";
    for (const char* bits : {"40", "128", "256"}) {
        std::string locked = qpdf(sampleDocument(true), std::string("--encrypt secret owner ") + bits + " --");
        ASSERT_FALSE(locked.empty());
        EngineHarness::Result got = convertExtended(locked);
        EXPECT_FALSE(got.ok);
        EXPECT_EQ(got.log, "...非対応(暗号化)\r\n") << bits;
    }
}

// How the writer-made variants store the sample document.
enum class Storage { Table, XrefStream, ObjectStreams, Hybrid, TableThenStream, StreamThenTable };

// A content stream's data through the filters named.
std::string encodedStream(const std::string& data, const std::string& how)
{
    std::string bytes, dict;
    if (how == "lzw") {
        bytes = lzwEncode(data);
        dict = " /Filter /LZWDecode";
    } else if (how == "lzw-late") {
        bytes = lzwEncode(data, false);
        dict = " /Filter /LZW /DecodeParms << /EarlyChange 0 >>";
    } else if (how == "a85-flate") {
        bytes = ascii85Encode(deflateBytes(data));
        dict = " /Filter [/ASCII85Decode /FlateDecode]";
    } else if (how == "ahx-rl") {
        std::string rl = runLengthEncode(data);
        static const char* digits = "0123456789ABCDEF";
        for (char c : rl) {
            bytes += digits[static_cast<uint8_t>(c) >> 4];
            bytes += digits[static_cast<uint8_t>(c) & 15];
            bytes += ' ';
        }
        bytes += '>';
        dict = " /Filter [/AHx /RL] /DecodeParms [null null]";
    } else if (how == "png-flate") {
        bytes = deflateBytes(pngPredict(data, 5, 5));
        dict = " /Filter /Fl /DecodeParms << /Predictor 15 /Columns 5 >>";
    } else if (how == "lzw-png") {
        bytes = lzwEncode(pngPredict(data, 3, 5));
        dict = " /Filter [/LZWDecode] /DecodeParms [<< /Predictor 12 /Colors 1 /BitsPerComponent 8 /Columns 3 >>]";
    } else {
        bytes = data;
    }
    return "<< /Length " + std::to_string(bytes.size()) + dict + " >>\nstream\n" + bytes + "\nendstream";
}

std::string writerDocument(Storage storage, const std::string& filters)
{
    const std::vector<std::pair<int, std::string>> dicts = {
        {1, "<< /Type /Catalog /Pages 2 0 R >>"},
        {2, "<< /Type /Pages /Kids [3 0 R 5 0 R 7 0 R] /Count 3 /Resources << /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >> >>"},
        {3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>"},
        {5, "<< /Type /Page /Parent 2 0 R /Contents [6 0 R 9 0 R] >>"},
        {7, "<< /Type /Page /Parent 2 0 R /Contents 8 0 R >>"},
    };
    const std::vector<std::pair<int, std::string>> streams = {
        {4, showText("First page") + "T*\n(second line) Tj\n"},
        {6, showText("Second page")},
        {8, "BT\n/F1 12 Tf\n<4142> Tj\nET\n"},
        {9, showText("Second stream (escaped \\) paren)")},
    };
    const std::string trailer = "/Size 12 /Root 1 0 R";
    PdfWriter w;
    auto writeStreams = [&] {
        for (const auto& [num, data] : streams)
            w.object(num, encodedStream(data, filters));
    };
    switch (storage) {
    case Storage::Table:
    case Storage::XrefStream:
        for (const auto& [num, body] : dicts)
            w.object(num, body);
        writeStreams();
        if (storage == Storage::Table)
            w.section(trailer);
        else
            w.xrefStream(10, trailer);
        break;
    case Storage::ObjectStreams:
    case Storage::Hybrid:
        w.objectStream(11, dicts);
        writeStreams();
        if (storage == Storage::ObjectStreams) {
            w.xrefStream(10, trailer);
        } else {
            size_t at = w.xrefStream(10, "/Size 12", true);
            w.section(trailer + " /XRefStm " + std::to_string(at));
        }
        break;
    case Storage::TableThenStream:
    case Storage::StreamThenTable: {
        // The first revision shows other text on the first page; the update
        // replaces that page's content and moves the page tree into an object
        // stream (stream sections only).
        for (const auto& [num, body] : dicts)
            w.object(num, body);
        for (const auto& [num, data] : streams)
            w.object(num, encodedStream(num == 4 ? showText("Old text") : data, filters));
        size_t first = storage == Storage::TableThenStream ? w.section(trailer) : w.xrefStream(10, trailer);
        w.object(4, encodedStream(streams[0].second, filters));
        std::string prev = trailer + " /Prev " + std::to_string(first);
        if (storage == Storage::TableThenStream) {
            w.objectStream(11, {dicts[1]});
            w.xrefStream(10, prev);
        } else {
            w.section(prev);
        }
        break;
    }
    }
    return w.str();
}

TEST(ExtendedStructureTest, SameTextHoweverTheWriterStoresTheFile)
{
    const std::string expected = convertExtended(sampleDocument(false)).text;
    for (Storage storage : {Storage::Table, Storage::XrefStream, Storage::ObjectStreams, Storage::Hybrid,
                            Storage::TableThenStream, Storage::StreamThenTable}) {
        for (const char* filters : {"none", "lzw", "lzw-late", "a85-flate", "ahx-rl", "png-flate", "lzw-png"}) {
            EngineHarness::Result got = convertExtended(writerDocument(storage, filters));
            EXPECT_TRUE(got.ok) << got.log;
            EXPECT_EQ(got.text, expected) << "storage " << static_cast<int>(storage) << ", filters " << filters;
        }
    }
}

// The extended reader reaches the content the default mode's page walk
// reaches, page by page and stream by stream: read with the default mode's
// line analysis, the file gives the default mode's text however it is stored.
TEST(ExtendedStructureTest, ReachesWhatTheDefaultModeReads)
{
    EngineHarness plain;
    plain.settings.headfootUse[1] = true;
    const EngineHarness::Result expected = plain.convert(sampleDocument(true));
    ASSERT_TRUE(expected.ok) << expected.log;
    std::vector<std::pair<std::string, std::string>> files;
    for (Storage storage : {Storage::Table, Storage::ObjectStreams, Storage::Hybrid, Storage::TableThenStream})
        files.emplace_back("storage " + std::to_string(static_cast<int>(storage)), writerDocument(storage, "lzw"));
    if (haveQpdf())
        for (const char* options : {"--object-streams=generate", "--encrypt \"\" owner 256 --"})
            files.emplace_back(options, qpdf(sampleDocument(true), options));
    for (const auto& [name, file] : files) {
        EngineHarness h;
        h.settings.extended = true;
        h.settings.headfootUse[1] = true;
        h.eng.extended.writePage = appendPageTextByLines;
        const EngineHarness::Result got = h.convert(file);
        EXPECT_TRUE(got.ok) << name << ": " << got.log;
        EXPECT_EQ(got.text, expected.text) << name;
    }
}

} // namespace

// Table entries in the fixed form of 20 bytes are read by a short path,
// others through the lexer: spaced either way, a table gives the same entries.
TEST(ExtendedStructureTest, FixedTableEntriesReadAsTheirTokens)
{
    const std::vector<std::string> offsets = {"0000000000", "0000000017", "0099999999", "0100000000",
                                              "1234567890", "9999999999", "0000000908", "00000001a7"};
    auto entries = [&](bool fixed) {
        std::string pdf = "%PDF-1.4\nxref\n0 " + std::to_string(offsets.size()) + "\n";
        for (size_t i = 0; i < offsets.size(); ++i)
            pdf += offsets[i] + (fixed ? " " : "  ") + (i % 2 ? "00003" : "65535") + (i == 6 ? " f" : " n")
                   + (fixed ? "\r\n" : " \n");
        pdf += "trailer\n<</Size 8/Root 1 0 R>>\nstartxref\n9\n%%EOF\n";
        p2tReader reader;
        reader.openMemory(pdf.data(), pdf.size());
        pdf::RawFile file(reader);
        pdf::CrossReference xref;
        EXPECT_TRUE(xref.read(file));
        std::vector<std::string> found;
        for (int32_t num = 0; num < static_cast<int32_t>(offsets.size()); ++num) {
            const pdf::XrefEntry* e = xref.find(num);
            found.push_back(e && e->type == pdf::XrefEntry::InFile
                                ? std::to_string(e->where) + " " + std::to_string(e->gen)
                                : "none"); // free, or not defined
        }
        return found;
    };
    const std::vector<std::string> expected = {"0 65535", "17 3", "99999999 65535", "100000000 3",
                                               "1234567890 65535", "9999999999 3", "none", "none"};
    EXPECT_EQ(entries(true), expected);
    EXPECT_EQ(entries(false), expected);
}
