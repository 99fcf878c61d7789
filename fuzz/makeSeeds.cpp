// Writes the seed corpus of fuzzConvert with the tests' PDF writer: small
// files that together reach every part of a conversion. Files named "fail-*"
// must fail (damaged, refused, or settings that stop the file); every other
// file must convert. The replay test holds the seeds to that.
//
// With "extended", the seeds of fuzzConvertExtended instead: the structures
// and filters only extended reading opens.
//
// Usage: makeSeeds FOLDER [extended]
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/support/pdfWriter.h"

namespace {

// A catalog and a root /Pages node with the kids given.
PdfWriter treeWith(const std::string& kids, int count)
{
    PdfWriter w;
    w.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    w.object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(count) + " >>");
    return w;
}

std::string onePage(const std::string& content, bool deflated = false)
{
    PdfWriter w = treeWith("3 0 R", 1);
    w.object(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>");
    w.stream(4, content, deflated);
    w.section("/Size 5 /Root 1 0 R");
    return w.str();
}

// The first byte picks the fuzz target's settings (XOR '%').
std::string withSettings(std::string pdf, unsigned flags)
{
    pdf[0] = static_cast<char>('%' ^ flags);
    return pdf;
}

std::map<std::string, std::string> seeds()
{
    std::map<std::string, std::string> s;
    const std::string hello = showText("Hello");

    s["one-page.pdf"] = simplePdf({hello});
    s["three-pages.pdf"] = simplePdf({showText("one"), showText("two"), showText("three")});
    s["deflated.pdf"] = simplePdf({showText("packed"), showText("again")}, true);

    // Every operator the extraction knows, with CR, LF and CR LF line ends.
    s["operators.pdf"] = onePage("BT\r/F1 12 Tf\r\n1 0 0 1 72 700 Tm\n(plain) Tj\n[(kern) -120 (ed)] TJ\n"
                                 "(quote) '\n<0022 03A0 0474> Tj\n[<0001> 50 (mix\\)ed)] TJ\nT* (next) tj\nET\n");
    s["cid-text.pdf"] = onePage("BT /F1 10 Tf\n<0474 0475 0476 04AE 0C7B> Tj\n<00220023> Tj\nET\n", true);
    s["katakana-bytes.pdf"] = onePage("BT\n(\xB1\xB2\xB3 \x82\xA0) Tj\nET\n");

    {
        // Nested /Pages nodes, a page without contents and one with an empty array.
        PdfWriter w = treeWith("3 0 R 7 0 R", 3);
        w.object(3, "<< /Type /Pages /Kids [4 0 R 6 0 R] /Count 2 >>");
        w.object(4, "<< /Type /Page /Contents 5 0 R >>");
        w.stream(5, showText("deep"));
        w.object(6, "<< /Type /Page >>");
        w.object(7, "<< /Type /Page /Contents [] >>");
        w.section("/Size 8 /Root 1 0 R");
        s["nested-tree.pdf"] = w.str();
    }
    {
        // Contents as an array, as an indirect array, and an indirect /Length.
        std::string text = showText("same");
        PdfWriter w = treeWith("3 0 R 6 0 R", 2);
        w.object(3, "<< /Type /Page /Contents [4 0 R 5 0 R] >>");
        w.object(4, "<< /Length 9 0 R >>\nstream\n" + text + "\nendstream");
        w.object(9, std::to_string(text.size()));
        w.stream(5, "(two) Tj", true);
        w.object(6, "<< /Type /Page /Contents 7 0 R >>");
        w.object(7, "[4 0 R 8 0 R]");
        w.object(8, "<< /Length 5 >>");
        w.section("/Size 10 /Root 1 0 R");
        s["content-arrays.pdf"] = w.str();
    }
    {
        // An update: a second cross-reference section pointing back with /Prev.
        PdfWriter w = treeWith("3 0 R", 1);
        w.object(3, "<< /Type /Page /Contents 4 0 R >>");
        w.stream(4, showText("old"));
        size_t first = w.section("/Size 5 /Root 1 0 R");
        w.stream(4, showText("new"));
        w.object(5, "<< /Info (x) >>", 2);
        w.section("/Size 6 /Root 1 0 R /Prev " + std::to_string(first));
        s["update-prev.pdf"] = w.str();
    }
    {
        // Many pages sharing one content stream.
        std::string kids;
        for (int i = 0; i < 40; ++i)
            kids += std::to_string(4 + i) + " 0 R ";
        PdfWriter w = treeWith(kids, 40);
        w.stream(3, showText("shared"), true);
        for (int i = 0; i < 40; ++i)
            w.object(4 + i, "<< /Type /Page /Contents 3 0 R >>");
        w.section("/Size 44 /Root 1 0 R");
        s["shared-contents.pdf"] = w.str();
    }
    {
        std::string lines;
        for (int i = 0; i < 200; ++i)
            lines += "1 0 0 1 72 " + std::to_string(700 - i) + " Tm\n(line " + std::to_string(i) + ") Tj\n";
        s["long-deflated.pdf"] = onePage("BT\n" + lines + "ET\n", true);
    }
    s["length-beyond-end.pdf"] = [] {
        PdfWriter w = treeWith("3 0 R", 1);
        w.object(3, "<< /Type /Page /Contents 4 0 R >>");
        w.object(4, "<< /Length 99999 >>\nstream\n(x) Tj\nendstream");
        w.section("/Size 5 /Root 1 0 R");
        return w.str();
    }();
    s["prev-to-itself.pdf"] = [] {
        PdfWriter w = treeWith("3 0 R", 1);
        w.object(3, "<< /Type /Page >>");
        w.section("/Size 4 /Root 1 0 R /Prev " + std::to_string(w.size()));
        return w.str();
    }();
    {
        // Objects spread over more than a window of the file reader, read
        // from memory and from a file.
        std::vector<std::string> pages;
        for (int i = 0; i < 30; ++i) {
            std::string lines;
            for (int k = 0; k < 8; ++k)
                lines += "1 0 0 1 72 " + std::to_string(700 - 12 * k) + " Tm\n(page " + std::to_string(i) + " line "
                    + std::to_string(k) + ") Tj\n";
            pages.push_back("BT\n" + lines + "ET\n");
        }
        s["from-file-spread.pdf"] = withSettings(simplePdf(pages), 64);
    }
    {
        // Many objects: the cache's index grows.
        PdfWriter w = treeWith("3 0 R", 1);
        w.object(3, "<< /Type /Page /Contents 4 0 R >>");
        w.stream(4, showText("many"));
        size_t first = w.section("/Size 5 /Root 1 0 R");
        size_t at = w.size();
        std::string xref = "xref\n100 700\n";
        char entry[32];
        for (int i = 0; i < 700; ++i) {
            std::snprintf(entry, sizeof entry, "%010zu %05d n \n", first, 0);
            xref += entry;
        }
        w.raw(xref + "trailer\n<< /Size 800 /Root 1 0 R /Prev " + std::to_string(first) + " >>\nstartxref\n"
              + std::to_string(at) + "\n%%EOF\n");
        s["many-objects.pdf"] = w.str();
    }
    s["from-file-content-arrays.pdf"] = withSettings(s["content-arrays.pdf"], 64 | 8);
    s["settings-no-crlf-footer.pdf"] = withSettings(simplePdf({hello, hello}), 1 | 2 | 4 | 8);

    // Files that must fail.
    s["fail-empty.pdf"] = "";
    s["fail-truncated.pdf"] = s["three-pages.pdf"].substr(0, s["three-pages.pdf"].size() / 2);
    s["fail-encrypted.pdf"] = [] {
        PdfWriter w = treeWith("3 0 R", 1);
        w.object(3, "<< /Type /Page /Contents 4 0 R >>");
        w.stream(4, showText("secret"));
        w.section("/Size 5 /Root 1 0 R /Encrypt 5 0 R");
        return w.str();
    }();
    s["fail-unknown-filter.pdf"] = [] {
        PdfWriter w = treeWith("3 0 R", 1);
        w.object(3, "<< /Type /Page /Contents 4 0 R >>");
        w.stream(4, "(x) Tj", false, " /Filter /ASCIIHexDecode");
        w.section("/Size 5 /Root 1 0 R");
        return w.str();
    }();
    s["fail-bad-flate.pdf"] = [] {
        std::string packed = deflateBytes(showText("cut"));
        PdfWriter w = treeWith("3 0 R", 1);
        w.object(3, "<< /Type /Page /Contents 4 0 R >>");
        w.object(4, "<< /Length 8 /Filter /FlateDecode >>\nstream\n" + packed.substr(0, 8) + "\nendstream");
        w.section("/Size 5 /Root 1 0 R");
        return w.str();
    }();
    s["fail-page-cycle.pdf"] = [] {
        PdfWriter w = treeWith("3 0 R", 1);
        w.object(3, "<< /Type /Pages /Kids [2 0 R] >>");
        w.section("/Size 4 /Root 1 0 R");
        return w.str();
    }();
    s["fail-bad-startxref.pdf"] = [] {
        std::string pdf = simplePdf({showText("x")});
        return pdf.substr(0, pdf.find("startxref")) + "startxref\n99999999\n%%EOF\n";
    }();
    s["fail-negative-length.pdf"] = [] {
        PdfWriter w = treeWith("3 0 R", 1);
        w.object(3, "<< /Type /Page /Contents 4 0 R >>");
        w.object(4, "<< /Length -5 >>\nstream\n(x) Tj\nendstream");
        w.section("/Size 5 /Root 1 0 R");
        return w.str();
    }();
    s["fail-no-count.pdf"] = [] {
        PdfWriter w;
        w.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        w.object(2, "<< /Type /Pages /Kids [] >>");
        w.section("/Size 3 /Root 1 0 R");
        return w.str();
    }();
    s["fail-disk-full.pdf"] = withSettings(simplePdf({hello}), 16);
    s["fail-cancel.pdf"] = withSettings(simplePdf({hello, hello, hello}), 32);
    return s;
}

} // namespace

// A three-page document written with the storage asked for.
std::string modernDocument(const std::string& storage, const std::string& filterDict, const std::string& encoded)
{
    const std::vector<std::pair<int, std::string>> dicts = {
        {1, "<< /Type /Catalog /Pages 2 0 R >>"},
        {2, "<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2 /Resources << >> /MediaBox [0 0 612 792] >>"},
        {3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Rotate 90 >>"},
        {5, "<< /Type /Page /Parent 2 0 R /Contents [4 0 R 6 0 R] >>"},
    };
    PdfWriter w;
    auto streams = [&] {
        w.object(4, "<< /Length " + std::to_string(encoded.size()) + filterDict + " >>\nstream\n" + encoded
                        + "\nendstream");
        w.stream(6, showText("more"), true);
    };
    if (storage == "xref-stream") {
        for (const auto& [num, body] : dicts)
            w.object(num, body);
        streams();
        w.xrefStream(7, "/Size 9 /Root 1 0 R");
    } else if (storage == "object-stream") {
        w.objectStream(8, dicts);
        streams();
        w.xrefStream(7, "/Size 9 /Root 1 0 R");
    } else if (storage == "hybrid") {
        w.objectStream(8, dicts);
        streams();
        size_t at = w.xrefStream(7, "/Size 9", true);
        w.section("/Size 9 /Root 1 0 R /XRefStm " + std::to_string(at));
    } else { // an update chain: a table, then a stream section
        for (const auto& [num, body] : dicts)
            w.object(num, body);
        streams();
        size_t first = w.section("/Size 9 /Root 1 0 R");
        w.objectStream(8, {dicts[2]});
        w.xrefStream(7, "/Size 9 /Root 1 0 R /Prev " + std::to_string(first));
    }
    return w.str();
}

std::map<std::string, std::string> extendedSeeds()
{
    std::map<std::string, std::string> s;
    const std::string text = showText("Hello") + "T*\n(again) Tj\n";
    for (const char* storage : {"xref-stream", "object-stream", "hybrid", "chain"})
        s[std::string(storage) + ".pdf"] = modernDocument(storage, " /Filter /FlateDecode", deflateBytes(text));
    s["lzw.pdf"] = modernDocument("object-stream", " /Filter /LZWDecode", lzwEncode(text));
    s["lzw-early-0.pdf"] = modernDocument("xref-stream", " /Filter /LZW /DecodeParms << /EarlyChange 0 >>",
                                          lzwEncode(text, false));
    s["ascii85-flate.pdf"] = modernDocument("hybrid", " /Filter [/A85 /Fl]", ascii85Encode(deflateBytes(text)));
    s["runlength.pdf"] = modernDocument("chain", " /Filter /RunLengthDecode", runLengthEncode(text));
    s["asciihex.pdf"] = modernDocument("xref-stream", " /Filter /AHx", "48656c6c6f>");
    s["png-predictor.pdf"] = modernDocument(
        "object-stream", " /Filter /FlateDecode /DecodeParms << /Predictor 15 /Colors 1 /Columns 6 >>",
        deflateBytes(pngPredict(text, 6, 5)));
    s["tiff-predictor.pdf"] = modernDocument(
        "xref-stream", " /Filter /FlateDecode /DecodeParms << /Predictor 2 /Colors 1 /Columns 8 >>", deflateBytes(text));
    s["image-filter.pdf"] = modernDocument("xref-stream", " /Filter /DCTDecode", "\xFF\xD8\xFF");
    // No startxref: the table is rebuilt from the objects.
    std::string damaged = modernDocument("object-stream", " /Filter /FlateDecode", deflateBytes(text));
    damaged.resize(damaged.rfind("startxref"));
    s["no-startxref.pdf"] = damaged;
    return s;
}

int main(int argc, char** argv)
{
    const bool extended = argc == 3 && std::string(argv[2]) == "extended";
    if (argc != 2 && !extended) {
        std::fprintf(stderr, "usage: makeSeeds FOLDER [extended]\n");
        return 2;
    }
    for (const auto& [name, bytes] : extended ? extendedSeeds() : seeds()) {
        std::ofstream out(std::string(argv[1]) + "/" + name, std::ios::binary);
        out << bytes;
        if (!out) {
            std::fprintf(stderr, "makeSeeds: cannot write %s\n", name.c_str());
            return 1;
        }
    }
    return 0;
}
