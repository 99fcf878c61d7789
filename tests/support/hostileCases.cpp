#include "tests/support/hostileCases.h"

#include <zlib.h>

#include "tests/support/pdfWriter.h"

namespace {

const std::string kBroken = "...ファイル破損\r\n";
const std::string kPages = "...ページ矛盾\r\n";
const std::string kInconsistent = "...ファイル矛盾\r\n";

// Catalog 1, root node 2 with these kids and count, then whatever follows.
PdfWriter tree(const std::string& kids, const std::string& count)
{
    PdfWriter w;
    w.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    w.object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + count + " >>");
    return w;
}

// `pageEntries`: more of the page's dictionary, such as its resources.
std::string onePageWithStream(const std::string& streamObject, const std::string& pageEntries = "")
{
    PdfWriter w = tree("3 0 R", "1");
    w.object(3, "<< /Type /Page /Contents 4 0 R" + pageEntries + " >>");
    w.object(4, streamObject);
    w.section("/Size 5 /Root 1 0 R");
    return w.str();
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to)
{
    for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size()))
        s.replace(p, from.size(), to);
    return s;
}

const std::string kEncrypted = "...非対応(暗号化)\r\n";

// A one-page document whose objects 1-4 (catalog, root node, page, content)
// are written as given, with a cross-reference stream (object 9) of the
// dictionary entries and raw rows given (deflated), unless rows is empty:
// then the xref stream is the writer's own.
std::string withXrefStream(const std::vector<std::pair<int, std::string>>& objects, const std::string& xrefDict,
                           const std::string& rows)
{
    PdfWriter w;
    for (const auto& [num, body] : objects)
        w.object(num, body);
    size_t at = w.size();
    std::string data = deflateBytes(rows);
    w.raw("9 0 obj\n<< /Type /XRef /Size 10 /Root 1 0 R /Filter /FlateDecode /Length " + std::to_string(data.size())
          + " " + xrefDict + " >>\nstream\n" + data + "\nendstream\nendobj\nstartxref\n" + std::to_string(at)
          + "\n%%EOF\n");
    return w.str();
}

const auto row = xrefStreamRow;

// An object stream `number` holding the bodies given, with extra entries.
std::string objectStream(const std::vector<std::pair<int, std::string>>& objects, const std::string& extra)
{
    std::string header, body;
    for (const auto& [num, text] : objects) {
        header += std::to_string(num) + " " + std::to_string(body.size()) + " ";
        body += text + "\n";
    }
    std::string data = deflateBytes(header + body);
    return "<< /Type /ObjStm /N " + std::to_string(objects.size()) + " /First " + std::to_string(header.size())
        + " /Filter /FlateDecode /Length " + std::to_string(data.size()) + extra + " >>\nstream\n" + data
        + "\nendstream";
}

void addExtendedCases(std::vector<HostileCase>& cases)
{
    const std::string catalog = "<< /Type /Catalog /Pages 2 0 R >>";
    const std::string pages = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
    const std::string fonts = " /Resources << /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >>";
    const std::string page = "<< /Type /Page /Parent 2 0 R /Contents 4 0 R" + fonts + " >>";
    const std::string content = "<< /Length 22 >>\nstream\nBT /F1 9 Tf (ok) Tj ET\nendstream";
    auto add = [&](std::string name, std::string pdf, bool converts, std::string log, std::string suffix) {
        cases.push_back({"extended-" + name, std::move(pdf), converts, std::move(log), std::move(suffix), true});
    };
    // Offsets of objects 1-4 written one after the other by PdfWriter from "%PDF-1.4\n".
    auto plain = [&](const std::vector<std::pair<int, std::string>>& objects) {
        PdfWriter w;
        std::vector<uint32_t> at;
        for (const auto& [num, body] : objects) {
            at.push_back(static_cast<uint32_t>(w.size()));
            w.object(num, body);
        }
        return at;
    };
    const std::vector<std::pair<int, std::string>> four = {{1, catalog}, {2, pages}, {3, page}, {4, content}};
    const std::vector<uint32_t> at = plain(four);
    std::string goodRows = row(0, 0, 65535);
    for (uint32_t a : at)
        goodRows += row(1, a, 0);

    add("xref-stream-sound", withXrefStream(four, "/W [1 4 2]", goodRows), true, "", "ok\r\n");
    // Fields wider than any offset, or none at all: the table is rebuilt from the objects.
    add("w-field-of-9-bytes", withXrefStream(four, "/W [1 9 2]", goodRows), true, "", "ok\r\n");
    add("w-all-zero", withXrefStream(four, "/W [0 0 0]", goodRows), true, "", "ok\r\n");
    add("w-negative", withXrefStream(four, "/W [1 -4 2]", goodRows), true, "", "ok\r\n");
    // Counts far beyond the data: only the rows that are there count.
    add("index-count-2000000000", withXrefStream(four, "/W [1 4 2] /Index [0 2000000000 2147483647 2000000000]", goodRows),
        true, "", "ok\r\n");
    add("size-2000000000", replaceAll(withXrefStream(four, "/W [1 4 2]", goodRows), "/Size 10", "/Size 2000000000"),
        true, "", "ok\r\n");
    {
        std::string far = row(0, 0, 65535);
        for (size_t i = 0; i < at.size(); ++i)
            far += row(1, i == 2 ? 0xFFFFFFF0u : at[i], 0);
        add("offset-past-the-end", withXrefStream(four, "/W [1 4 2]", far), true, "", "ok\r\n");
        add("predictor-columns-0", withXrefStream(four, "/W [1 4 2] /DecodeParms << /Predictor 12 /Columns 0 >>", goodRows),
            true, "", "ok\r\n");
        add("predictor-colors-1000", withXrefStream(four, "/W [1 4 2] /DecodeParms << /Predictor 12 /Colors 1000 >>",
                                                    goodRows),
            true, "", "ok\r\n");
    }
    {
        // An object stream that lists itself among its objects, and whose
        // cross-reference entry says it lies inside itself.
        std::vector<std::pair<int, std::string>> objects = {
            {3, page}, {4, content}, {5, objectStream({{1, catalog}, {2, pages}, {5, "<< >>"}}, " /Extends 5 0 R")}};
        std::vector<uint32_t> offsets = plain(objects);
        std::string rows = row(0, 0, 65535) + row(2, 5, 0) + row(2, 5, 1) + row(1, offsets[0], 0) + row(1, offsets[1], 0)
            + row(2, 5, 2);
        add("object-stream-inside-itself", withXrefStream(objects, "/W [1 4 2]", rows), true, "", "ok\r\n");
        // Two object streams, each said to lie in the other; the scan finds
        // neither in the file, so nothing holds the catalog.
        std::string loop = row(0, 0, 65535) + row(2, 6, 0) + row(2, 6, 1) + row(1, offsets[0], 0)
            + row(1, offsets[1], 0) + row(2, 6, 0) + row(2, 5, 0);
        std::vector<std::pair<int, std::string>> none = {{3, page}, {4, content}};
        add("object-streams-inside-each-other", withXrefStream(none, "/W [1 4 2]", loop), false, kBroken, "");
    }
    {
        // An object stream whose counts and offsets go beyond its data.
        std::vector<std::pair<int, std::string>> objects = {
            {3, page}, {4, content},
            {5, replaceAll(objectStream({{1, catalog}, {2, pages}}, ""), "/N 2", "/N 2000000000")}};
        std::vector<uint32_t> offsets = plain(objects);
        std::string rows = row(0, 0, 65535) + row(2, 5, 0) + row(2, 5, 1) + row(1, offsets[0], 0) + row(1, offsets[1], 0)
            + row(1, offsets[2], 0);
        add("object-stream-n-2000000000", withXrefStream(objects, "/W [1 4 2]", rows), true, "", "ok\r\n");
        std::string firstFar = replaceAll(withXrefStream(objects, "/W [1 4 2]", rows), "/First ", "/First 9999");
        add("object-stream-first-past-its-data", firstFar, false, kBroken, "");
    }
    // Content streams through damaged filters give what came before the damage.
    add("lzw-code-past-the-table",
        onePageWithStream("<< /Length 5 /Filter /LZWDecode >>\nstream\n\x80\x0B\x7F\xFF\xFF\nendstream"), true, "",
        "\r\n");
    add("ascii85-group-past-32-bits",
        onePageWithStream("<< /Length 12 /Filter /ASCII85Decode >>\nstream\n+?(sJs8W-\"~>\nendstream"), true, "",
        "\r\n");
    add("predictor-bits-3",
        onePageWithStream("<< /Length 2 /Filter /FlateDecode /DecodeParms << /Predictor 12 /BitsPerComponent 3 >> "
                          ">>\nstream\nxx\nendstream"),
        true, "", "\r\n");
    add("length-2000000000", onePageWithStream("<< /Length 2000000000 >>\nstream\nBT /F1 9 Tf (x) Tj ET\nendstream", fonts), true, "",
        "x\r\n");
    add("length-refers-to-itself", onePageWithStream("<< /Length 4 0 R >>\nstream\nBT /F1 9 Tf (x) Tj ET\nendstream", fonts), true, "",
        "x\r\n");
    add("inflates-to-300-MB",
        onePageWithStream("<< /Length " + std::to_string(deflatedZeros(300 << 20).size()) + " /Filter /FlateDecode >>\nstream\n"
                          + deflatedZeros(300 << 20) + "\nendstream"),
        false, kPages, "");
    {
        PdfWriter w = tree("2 0 R 3 0 R", "2");
        w.object(3, page);
        w.object(4, content);
        w.section("/Size 5 /Root 1 0 R");
        add("kids-cycle", w.str(), true, "", "ok\r\n");
    }
    // Encryption dictionaries whose strings have the wrong lengths.
    for (const auto& [name, dict] : std::vector<std::pair<std::string, std::string>>{
             {"o-of-5-bytes", "<< /Filter /Standard /V 1 /R 2 /O <0102030405> /U <0102030405> /P -4 >>"},
             {"key-length-1000", "<< /Filter /Standard /V 2 /R 3 /Length 1000 /O <" + std::string(64, '0') + "> /U <"
                                     + std::string(64, '0') + "> /P -4 >>"},
             {"aes256-u-of-10-bytes",
              "<< /Filter /Standard /V 5 /R 6 /Length 256 /O <00> /U <00112233445566778899> /UE <00> /P -4 >>"},
             {"revision-99", "<< /Filter /Standard /V 5 /R 99 /O <00> /U <00> /P -4 >>"},
             {"other-handler", "<< /Filter /Unknown /V 1 /R 2 >>"}}) {
        PdfWriter w = tree("3 0 R", "1");
        w.object(3, page);
        w.object(4, content);
        w.object(5, dict);
        w.section("/Size 6 /Root 1 0 R /Encrypt 5 0 R /ID [<00112233445566778899aabbccddeeff> <00>]");
        add("encrypt-" + name, w.str(), false, kEncrypted, "");
    }
}

} // namespace

std::string deflatedZeros(size_t n)
{
    z_stream zs{};
    deflateInit(&zs, 9);
    static const unsigned char zeros[65536] = {};
    std::string out;
    unsigned char buf[65536];
    size_t left = n;
    int flush;
    do {
        size_t chunk = std::min(left, sizeof zeros);
        left -= chunk;
        zs.next_in = const_cast<unsigned char*>(zeros);
        zs.avail_in = static_cast<uInt>(chunk);
        flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        do {
            zs.next_out = buf;
            zs.avail_out = sizeof buf;
            deflate(&zs, flush);
            out.append(reinterpret_cast<char*>(buf), sizeof buf - zs.avail_out);
        } while (zs.avail_out == 0);
    } while (flush != Z_FINISH);
    deflateEnd(&zs);
    return out;
}

std::vector<HostileCase> hostileCases()
{
    std::vector<HostileCase> cases;
    const std::string good = simplePdf({showText("fine")});

    { // A section whose /Prev names itself: the loop is cut and the file reads on.
        PdfWriter w = tree("3 0 R", "1");
        w.object(3, "<< /Type /Page /Contents 4 0 R >>");
        w.stream(4, showText("self"));
        size_t at = w.size();
        w.section("/Size 5 /Root 1 0 R /Prev " + std::to_string(at));
        cases.push_back({"prev-self", w.str(), true, "", "self\r\n"});
    }
    { // Two sections naming each other.
        PdfWriter w = tree("3 0 R", "1");
        w.object(3, "<< /Type /Page /Contents 4 0 R >>");
        w.stream(4, showText("loop"));
        size_t first = w.section("/Size 5 /Root 1 0 R /Prev SECOND____");
        size_t second = w.section("/Size 5 /Root 1 0 R /Prev " + std::to_string(first));
        std::string pdf = w.str();
        std::string num = std::to_string(second);
        pdf = replaceAll(pdf, "SECOND____", num + std::string(10 - num.size(), ' '));
        cases.push_back({"prev-two-section-loop", pdf, true, "", "loop\r\n"});
    }
    { // Two kids lead back to the root.
        PdfWriter w = tree("3 0 R", "1");
        w.object(3, "<< /Type /Pages /Kids [2 0 R] /Count 1 >>");
        w.section("/Size 4 /Root 1 0 R");
        cases.push_back({"kids-cycle", w.str(), false, kPages, ""});
    }
    { // Every node lists the next node twice: 2^60 visits if followed.
        PdfWriter w = tree("3 0 R 3 0 R", "1");
        for (int i = 3; i < 63; ++i)
            w.object(i, "<< /Type /Pages /Kids [" + std::to_string(i + 1) + " 0 R " + std::to_string(i + 1) + " 0 R] >>");
        w.object(63, "<< /Type /Page /Contents [] >>");
        w.section("/Size 64 /Root 1 0 R");
        cases.push_back({"kids-doubling", w.str(), false, kPages, ""});
    }
    { // A content array that contains itself.
        PdfWriter w = tree("3 0 R", "1");
        w.object(3, "<< /Type /Page /Contents 4 0 R >>");
        w.object(4, "[5 0 R 4 0 R]");
        w.stream(5, showText("a"));
        w.section("/Size 6 /Root 1 0 R");
        cases.push_back({"contents-array-self", w.str(), false, kPages, ""});
    }
    { // A page tree nested 100,000 levels deep.
        PdfWriter w = tree("3 0 R", "1");
        const int depth = 100000;
        for (int i = 3; i < 3 + depth; ++i)
            w.object(i, "<< /Type /Pages /Kids [" + std::to_string(i + 1) + " 0 R] >>");
        w.object(3 + depth, "<< /Type /Page >>");
        w.section("/Size " + std::to_string(4 + depth) + " /Root 1 0 R");
        cases.push_back({"tree-100000-deep", w.str(), false, kPages, ""});
    }
    cases.push_back({"length-2000000000",
                     onePageWithStream("<< /Length 2000000000 >>\nstream\n(huge) Tj\nendstream"), true, "", "huge\r\n"});
    cases.push_back({"length-minus-5", onePageWithStream("<< /Length -5 >>\nstream\n(x) Tj\nendstream"), false,
                     "...解析エラー(p2tReadContents)\r\n" + kPages, ""});
    cases.push_back({"length-not-a-number", onePageWithStream("<< /Length many >>\nstream\n(x) Tj\nendstream"), false,
                     kPages, ""});
    { // More pages than a 16-bit counter holds.
        const int pages = 40000;
        std::string kids;
        for (int i = 0; i < pages; ++i)
            kids += std::to_string(4 + i) + " 0 R ";
        PdfWriter w = tree(kids, std::to_string(pages));
        w.stream(3, "(p) Tj");
        for (int i = 0; i < pages; ++i)
            w.object(4 + i, "<< /Type /Page /Contents 3 0 R >>");
        w.section("/Size " + std::to_string(4 + pages) + " /Root 1 0 R");
        cases.push_back({"count-40000", w.str(), true, "", "\r\n---40000/40000---\r\np\r\n"});
    }
    {
        PdfWriter w = tree("", "99999999999");
        w.section("/Size 3 /Root 1 0 R");
        cases.push_back({"count-99999999999", w.str(), false, kInconsistent, ""});
    }
    {
        std::string pdf = good;
        size_t entry = pdf.find(" 00000 n \n");
        pdf.replace(entry - 10, 10, "00000x0017");
        cases.push_back({"xref-entry-not-a-number", pdf, false, kBroken, ""});
    }
    {
        PdfWriter w = tree("3 zero R", "1");
        w.section("/Size 3 /Root 1 0 R");
        cases.push_back({"kids-not-a-number", w.str(), false, kPages, ""});
    }
    {
        std::string pdf = good;
        size_t sx = pdf.rfind("startxref\n");
        cases.push_back({"startxref-beyond-the-file", pdf.substr(0, sx) + "startxref\n123456789\n%%EOF\n", false, kBroken, ""});
        std::string rootFar = good;
        size_t catalogEntry = rootFar.find("\n", rootFar.find("65535 f")) + 1;
        rootFar.replace(catalogEntry, 10, "0999999999");
        cases.push_back({"object-beyond-the-file", rootFar, false, kBroken, ""});
    }
    {
        std::string pdf = simplePdf({showText(std::string(2000, 'x'))});
        size_t mid = pdf.find("stream\n") + 1000;
        cases.push_back({"cut-in-a-stream", pdf.substr(0, mid), false, kBroken, ""});
    }
    cases.push_back({"empty-file", "", false, kBroken, ""});
    cases.push_back({"one-byte", "%", false, kBroken, ""});
    {
        std::string bomb = deflatedZeros(200u << 20);
        cases.push_back({"inflates-to-200-MB",
                         onePageWithStream("<< /Length " + std::to_string(bomb.size()) + " /Filter /FlateDecode >>\nstream\n"
                                           + bomb + "\nendstream"),
                         false, "...flateDecodeの解凍失敗\r\n" + kPages, ""});
    }
    { // One page listed 7,000 times, its stream inflating to 10 MB each time.
        std::string zeros = deflatedZeros(10000000);
        std::string kids;
        for (int i = 0; i < 7000; ++i)
            kids += "3 0 R ";
        PdfWriter w = tree(kids, "7000");
        w.object(3, "<< /Type /Page /Contents 4 0 R >>");
        w.object(4, "<< /Length " + std::to_string(zeros.size()) + " /Filter /FlateDecode >>\nstream\n" + zeros
                        + "\nendstream");
        w.section("/Size 5 /Root 1 0 R");
        cases.push_back({"page-listed-7000-times", w.str(), false, kPages, ""});
    }
    {
        // Built by appending: a literal put in front of a temporary string
        // makes GCC 12 at -O3 warn (-Wrestrict) about a copy that cannot overlap.
        const std::string line(100000, 'L');
        std::string content = "(";
        content.append(line).append(") Tj");
        cases.push_back({"line-of-100000-characters", simplePdf({content}), true, "", line + "\r\n"});
    }
    {
        std::string hex;
        for (int i = 0; i < 10000; ++i)
            hex += "0022";
        cases.push_back({"hex-string-of-40000-digits", simplePdf({"<" + hex + "> Tj"}), true, "",
                         std::string(10000, 'A') + "\r\n"});
    }
    { // Trailers without "%%EOF" make every section read all the newer ones.
        PdfWriter w = tree("", "0");
        size_t prev = w.section("/Size 3 /Root 1 0 R", false);
        for (int i = 0; i < 20000; ++i) {
            size_t at = w.size();
            w.raw("xref\ntrailer << /Root 1 0 R /Prev " + std::to_string(prev) + " /Pad " + std::string(100, 'p') + " >>\n");
            prev = at;
        }
        w.raw("startxref\n" + std::to_string(prev) + "\n%%EOF\n");
        cases.push_back({"trailers-without-end-markers", w.str(), false, kBroken, ""});
    }
    addExtendedCases(cases);
    return cases;
}
