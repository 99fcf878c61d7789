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

std::string onePageWithStream(const std::string& streamObject)
{
    PdfWriter w = tree("3 0 R", "1");
    w.object(3, "<< /Type /Page /Contents 4 0 R >>");
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
    return cases;
}
