// Writes the benchmark corpus with the project's own PDF writer: classic
// cross-reference tables, FlateDecode content streams, text set with
// BT/Tf/Tm/Tj/TJ, literal strings and Adobe-Japan1 CID hex strings.
//
//   bench-makeCorpus OUTDIR
//
// Everything is drawn from a fixed seed, so every machine times the same
// bytes. OUTDIR/manifest.tsv lists each item with its page and object counts
// and its largest inflated content stream, which run.sh needs for the
// per-page, per-object and memory checks.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/pdfWriter.h"

namespace fs = std::filesystem;

namespace {

// splitmix64: the standard distributions differ between library versions,
// and the corpus must not.
struct Rng {
    uint64_t s;
    uint64_t next()
    {
        uint64_t z = (s += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int range(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<uint64_t>(hi - lo + 1)); }
    bool chance(int percent) { return range(1, 100) <= percent; }
};

const char* const kWords[] = {
    "the", "of", "and", "to", "in", "is", "that", "for", "it", "as", "was", "with", "be", "by", "on", "not",
    "he", "this", "are", "or", "his", "from", "at", "which", "but", "have", "an", "had", "they", "you", "were",
    "their", "one", "all", "we", "can", "her", "has", "there", "been", "if", "more", "when", "will", "would",
    "who", "so", "no", "report", "quarter", "sales", "figure", "table", "section", "market", "revenue",
    "customer", "order", "invoice", "delivery", "schedule", "meeting", "project", "budget", "result",
    "analysis", "growth", "period", "office", "product", "service", "contract", "payment", "review",
    "summary", "total", "increase", "decrease", "balance", "account", "support", "system", "network",
    "storage", "update", "version", "release", "document", "chapter", "river", "mountain", "morning",
    "evening", "letter", "window", "garden", "station", "harbour", "village", "journey", "winter", "summer",
    "silence", "lantern", "bridge", "forest", "valley", "stranger", "promise", "answer", "question",
    "kitchen", "library", "measure", "printer", "cabinet", "ledger", "receipt", "shipment", "warehouse",
    "(draft)", "2024", "12.5%", "No.", "A-17", "total:", "see", "page", "note", "item",
};
constexpr int kWordCount = static_cast<int>(sizeof kWords / sizeof kWords[0]);

// A literal string operand, with the parentheses of the words escaped.
std::string literal(Rng& rng, int words)
{
    std::string s = "(";
    for (int i = 0; i < words; ++i) {
        if (i)
            s += ' ';
        for (const char* p = kWords[rng.range(0, kWordCount - 1)]; *p; ++p) {
            if (*p == '(' || *p == ')' || *p == '\\')
                s += '\\';
            s += *p;
        }
    }
    if (rng.chance(40))
        s += '.';
    return s + ")";
}

// A TJ array: the words of a line cut into pieces with kerning between them.
std::string kernedArray(Rng& rng, int words)
{
    std::string s = "[";
    for (int i = 0; i < words; ++i) {
        std::string piece = literal(rng, 1);
        if (i) {
            s += ' ';
            s += std::to_string(rng.chance(70) ? rng.range(-40, 40) : -250);
            s += ' ';
        }
        s += piece;
    }
    return s + "]";
}

void hex4(std::string& s, int cid)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", cid);
    s += buf;
}

// Adobe-Japan1 CIDs: hiragana 842-924, katakana 925-1010, first-level kanji
// from 1125; punctuation 633/634 (the ideographic comma and full stop).
std::string hexJapanese(Rng& rng, int chars)
{
    std::string s = "<";
    for (int i = 0; i < chars; ++i) {
        int kind = rng.range(1, 100);
        int cid = kind <= 55 ? rng.range(842, 924) : kind <= 70 ? rng.range(925, 1010) : rng.range(1125, 4000);
        if (i && i % 2 == 0)
            s += ' ';
        hex4(s, cid);
    }
    hex4(s, 634);
    return s + ">";
}

// Latin text as CIDs of the same collection (space is CID 1, 'A' is CID 34).
std::string hexLatin(Rng& rng, int words)
{
    std::string text = literal(rng, words);
    std::string s = "<";
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == '\\')
            continue;
        if (i > 1)
            s += ' ';
        hex4(s, static_cast<unsigned char>(text[i]) - 31);
    }
    return s + ">";
}

struct Layout {
    double fontSize = 10;
    double lineHeight = 14;
    double top = 800;
    double left = 56;
    int rowsPerColumn = 1000000; // one column unless a page is laid out in several
    double columnWidth = 0;
};

// A page's content stream: lines of text, one show operator each, with the
// operator last on its line as page-description writers usually put it.
// With untilBytes, lines are added until the stream is that long.
std::string pageContent(Rng& rng, int lines, const Layout& at = Layout{}, const std::string& footer = "",
                        size_t untilBytes = 0)
{
    std::string s = "BT\n";
    int font = 0;
    char pos[96];
    auto useFont = [&](int f) {
        if (font == f)
            return;
        font = f;
        s += "/F" + std::to_string(f) + " " + std::to_string(static_cast<int>(at.fontSize)) + " Tf\n";
    };
    for (int i = 0; i < lines || s.size() < untilBytes; ++i) {
        int column = i / at.rowsPerColumn, row = i % at.rowsPerColumn;
        std::snprintf(pos, sizeof pos, "1 0 0 1 %.1f %.1f Tm\n", at.left + column * at.columnWidth,
                      at.top - row * at.lineHeight);
        int kind = rng.range(1, 100);
        if (kind <= 58) {
            useFont(1);
            s += pos + literal(rng, rng.range(6, 13)) + " Tj\n";
        } else if (kind <= 75) {
            useFont(1);
            s += pos + kernedArray(rng, rng.range(5, 10)) + " TJ\n";
        } else if (kind <= 92) {
            useFont(2);
            s += pos + hexJapanese(rng, rng.range(12, 30)) + " Tj\n";
        } else {
            useFont(2);
            s += pos + hexLatin(rng, rng.range(4, 8)) + " Tj\n";
        }
    }
    if (!footer.empty()) {
        useFont(1);
        s += "1 0 0 1 290 40 Tm\n(" + footer + ") Tj\n";
    }
    return s + "ET\n";
}

struct Item {
    std::string name;
    int files = 0;
    long pages = 0;
    long objects = 0;
    size_t inflated = 0;   // all content streams, inflated
    size_t maxStream = 0;  // the largest one
};

// Lays out a document: catalog 1, the shared fonts and resources 2 to 6,
// the page tree's inner nodes (at most 50 kids a node, balanced as writers
// usually do it), then for each page its /Page object, its content stream
// and, when asked, objects of its own. Every object lies in the one classic
// cross-reference table, or, when packed, every object but the streams lies
// in object streams of 100 listed by a cross-reference stream.
class DocBuilder {
public:
    static constexpr int kFanout = 50;
    std::string mediaBox = "[0 0 595 842]";
    bool packed = false;
    // Objects of a page besides its /Page and content stream: how many, and
    // a writer for them that returns the page's /Resources value.
    std::function<int(long page)> ownObjectCount;
    std::function<std::string(PdfWriter&, int firstNumber, long page)> writeOwnObjects;

    std::string build(long pages, const std::function<std::string(long)>& content, Item& item)
    {
        // Inner levels, level 0 being the parents of the pages.
        std::vector<long> levelCounts;
        for (long n = pages;;) {
            n = (n + kFanout - 1) / kFanout;
            levelCounts.push_back(n);
            if (n <= 1)
                break;
        }
        // The root is numbered first, each level below after it.
        std::vector<int> levelFirst(levelCounts.size());
        int next = 7;
        for (size_t l = levelCounts.size(); l-- > 0;) {
            levelFirst[l] = next;
            next += static_cast<int>(levelCounts[l]);
        }
        std::vector<int> pageNumber(static_cast<size_t>(pages));
        for (long i = 0; i < pages; ++i) {
            pageNumber[static_cast<size_t>(i)] = next;
            next += 2 + (ownObjectCount ? ownObjectCount(i) : 0);
        }
        auto node = [&](size_t level, long index) { return levelFirst[level] + static_cast<int>(index); };

        PdfWriter w;
        std::vector<std::pair<int, std::string>> toPack;
        auto object = [&](int number, const std::string& body) {
            if (packed)
                toPack.emplace_back(number, body);
            else
                w.object(number, body);
        };
        object(1, "<< /Type /Catalog /Pages " + ref(node(levelCounts.size() - 1, 0)) + " >>");
        object(2, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
        object(3, "<< /Type /Font /Subtype /Type0 /BaseFont /Ryumin-Light /Encoding /Identity-H "
                    "/DescendantFonts [4 0 R] >>");
        object(4, "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /Ryumin-Light "
                    "/CIDSystemInfo << /Registry (Adobe) /Ordering (Japan1) /Supplement 4 >> "
                    "/FontDescriptor 5 0 R /DW 1000 >>");
        object(5, "<< /Type /FontDescriptor /FontName /Ryumin-Light /Flags 6 /FontBBox [0 -141 1000 859] "
                    "/ItalicAngle 0 /Ascent 859 /Descent -141 /CapHeight 700 /StemV 80 >>");
        object(6, "<< /Font << /F1 2 0 R /F2 3 0 R >> /ProcSet [/PDF /Text] >>");

        long span = kFanout; // pages under one node of the level
        for (size_t l = 0; l < levelCounts.size(); ++l, span *= kFanout) {
            long below = l == 0 ? pages : levelCounts[l - 1];
            for (long k = 0; k < levelCounts[l]; ++k) {
                std::string body = "<< /Type /Pages";
                if (l + 1 < levelCounts.size())
                    body += " /Parent " + ref(node(l + 1, k / kFanout));
                body += " /Kids [ ";
                for (long c = k * kFanout; c < std::min(below, (k + 1) * kFanout); ++c)
                    body += ref(l == 0 ? pageNumber[static_cast<size_t>(c)] : node(l - 1, c)) + " ";
                body += "] /Count " + std::to_string(std::min(pages - k * span, span)) + " >>";
                object(node(l, k), body);
            }
        }

        for (long i = 0; i < pages; ++i) {
            int number = pageNumber[static_cast<size_t>(i)];
            std::string resources = writeOwnObjects ? writeOwnObjects(w, number + 2, i) : "6 0 R";
            object(number, "<< /Type /Page /Parent " + ref(node(0, i / kFanout)) + " /MediaBox " + mediaBox
                                 + " /Resources " + resources + " /Contents " + ref(number + 1) + " >>");
            std::string data = content(i);
            item.inflated += data.size();
            item.maxStream = std::max(item.maxStream, data.size());
            w.stream(number + 1, data, true);
        }
        for (size_t i = 0; i < toPack.size(); i += 100)
            w.objectStream(next++, {toPack.begin() + static_cast<long>(i),
                                    toPack.begin() + static_cast<long>(std::min(i + 100, toPack.size()))});
        item.pages += pages;
        item.objects += next - 1;
        if (packed)
            w.xrefStream(next, "/Size " + std::to_string(next + 1) + " /Root 1 0 R");
        else
            w.section("/Size " + std::to_string(next) + " /Root 1 0 R");
        return w.str();
    }

    static std::string ref(int n) { return std::to_string(n) + " 0 R"; }
};

void writeFile(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream f(path, std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f) {
        std::fprintf(stderr, "bench-makeCorpus: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

// A book page: running text of exactly 40 lines and a page number.
std::string bookPage(Rng& rng, long index)
{
    return pageContent(rng, 40, Layout{}, "- " + std::to_string(index + 1) + " -");
}

// A short page: a heading and a few lines, as in slides or forms.
std::string shortPage(Rng& rng, long index)
{
    return pageContent(rng, rng.range(3, 6), Layout{}, std::to_string(index + 1));
}

Item makeBook(const fs::path& path, long pages, uint64_t seed, bool packed = false)
{
    Item item{path.stem().string(), 1};
    Rng rng{seed};
    DocBuilder b;
    b.packed = packed;
    writeFile(path, b.build(pages, [&](long i) { return bookPage(rng, i); }, item));
    return item;
}

Item makeShortPages(const fs::path& path, long pages, uint64_t seed)
{
    Item item{path.stem().string(), 1};
    Rng rng{seed};
    DocBuilder b;
    writeFile(path, b.build(pages, [&](long i) { return shortPage(rng, i); }, item));
    return item;
}

// pages pages of book text, every page with objects of its own (its Latin
// font, a graphics state and the resources dictionary naming them; the CID
// font is shared, as writers that subset per page still share a CMap font),
// and small objects that nothing refers to (as left behind by editing) so
// that the file holds totalObjects objects.
Item makeManyObjects(const fs::path& path, long pages, long totalObjects, uint64_t seed)
{
    Item item{path.stem().string(), 1};
    Rng rng{seed};
    Rng looseRng{seed ^ 0x5151};
    long nodes = 0;
    for (long n = pages;;) {
        n = (n + DocBuilder::kFanout - 1) / DocBuilder::kFanout;
        nodes += n;
        if (n <= 1)
            break;
    }
    const int kOwn = 3;
    long loose = totalObjects - (6 + nodes + (2 + kOwn) * pages);
    auto looseOn = [&](long page) { return static_cast<int>(loose / pages + (page < loose % pages ? 1 : 0)); };
    DocBuilder b;
    b.ownObjectCount = [&](long page) { return kOwn + looseOn(page); };
    b.writeOwnObjects = [&](PdfWriter& w, int n, long page) {
        w.object(n, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
        w.object(n + 1, "<< /Type /ExtGState /LW 0.5 /LC 0 /LJ 0 /CA 1 /ca 1 >>");
        w.object(n + 2, "<< /Font << /F1 " + DocBuilder::ref(n) + " /F2 3 0 R >> /ExtGState << /GS1 "
                            + DocBuilder::ref(n + 1) + " >> /ProcSet [/PDF /Text] >>");
        for (int k = 0, count = looseOn(page); k < count; ++k) {
            int number = n + kOwn + k;
            std::string body;
            switch (looseRng.next() % 4) {
            case 0:
                body = "<< /Type /Annot /Subtype /Text /Rect [10 10 30 30] /Contents (note " + std::to_string(number)
                       + ") >>";
                break;
            case 1:
                body = "<< /Type /ExtGState /CA 1 /ca 1 /LW 0.5 >>";
                break;
            case 2:
                body = "[ " + std::to_string(looseRng.range(0, 999)) + " " + std::to_string(looseRng.range(0, 999))
                       + " ]";
                break;
            default:
                body = "<< /S /GoTo /D [" + std::to_string(looseRng.range(1, 999)) + " /Fit] >>";
            }
            w.object(number, body);
        }
        return DocBuilder::ref(n + 2);
    };
    writeFile(path, b.build(pages, [&](long i) { return bookPage(rng, i); }, item));
    return item;
}

// One page whose content stream inflates to about 8 MiB: a poster-sized
// page with the text in a grid of columns, so that no two lines overlap.
Item makeBigStream(const fs::path& path, size_t target, uint64_t seed)
{
    Item item{path.stem().string(), 1};
    Rng rng{seed};
    Layout at;
    at.fontSize = 3;
    at.lineHeight = 4;
    at.top = 14380;
    at.left = 20;
    at.rowsPerColumn = 3580;
    at.columnWidth = 300;
    DocBuilder b;
    b.mediaBox = "[0 0 14400 14400]";
    writeFile(path, b.build(1, [&](long) { return pageContent(rng, 0, at, "", target); }, item));
    return item;
}

// One page whose content stream inflates to about 8 MiB of drawing: a chart
// or a map with labels. One line in sixteen shows a label with ' (opening
// its own text object, closed at the start of the next line); every other
// line builds or paints a path (m, l, c, re, S, numbers of one decimal).
Item makeDrawingStream(const fs::path& path, size_t target, uint64_t seed)
{
    Item item{path.stem().string(), 1};
    Rng rng{seed};
    DocBuilder b;
    b.mediaBox = "[0 0 14400 14400]";
    auto content = [&](long) {
        std::string s = "0.5 w /F1 3 Tf 4 TL\n";
        char buf[160];
        auto coord = [&] { return rng.range(0, 143999) / 10.0; };
        bool inText = false;
        while (s.size() < target) {
            int kind = rng.range(0, 95);
            if (kind < 6) {
                s += inText ? "ET BT " : "BT ";
                s += literal(rng, rng.range(1, 3)) + " '\n";
                inText = true;
                continue;
            }
            if (inText)
                s += "ET ";
            inText = false;
            switch (kind % 6) {
            case 0:
                std::snprintf(buf, sizeof buf, "%.1f %.1f m\n", coord(), coord());
                break;
            case 1:
            case 2:
                std::snprintf(buf, sizeof buf, "%.1f %.1f l\n", coord(), coord());
                break;
            case 3:
                std::snprintf(buf, sizeof buf, "%.1f %.1f %.1f %.1f %.1f %.1f c\n", coord(), coord(), coord(),
                              coord(), coord(), coord());
                break;
            case 4:
                std::snprintf(buf, sizeof buf, "%.1f %.1f %.1f %.1f re\n", coord(), coord(),
                              rng.range(1, 4000) / 10.0, rng.range(1, 4000) / 10.0);
                break;
            default:
                std::snprintf(buf, sizeof buf, "S\n");
            }
            s += buf;
        }
        return s + (inText ? "ET\n" : "");
    };
    writeFile(path, b.build(1, content, item));
    return item;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench-makeCorpus OUTDIR\n");
        return 2;
    }
    fs::path out = argv[1];
    fs::create_directories(out);
    std::vector<Item> items;

    // 2,000 one- or two-page files of 30 to 50 lines a page.
    {
        Item folder{"folder2000", 0};
        Rng rng{2000};
        for (int f = 0; f < 2000; ++f) {
            long pages = rng.chance(35) ? 2 : 1;
            char name[32];
            std::snprintf(name, sizeof name, "doc%04d.pdf", f);
            DocBuilder b;
            Item one;
            std::string pdf = b.build(pages, [&](long) { return pageContent(rng, rng.range(30, 50)); }, one);
            writeFile(out / "folder2000" / name, pdf);
            ++folder.files;
            folder.pages += one.pages;
            folder.objects += one.objects;
            folder.inflated += one.inflated;
            folder.maxStream = std::max(folder.maxStream, one.maxStream);
        }
        items.push_back(folder);
    }
    items.push_back(makeBook(out / "book1000.pdf", 1000, 1000));
    // The same book as newer writers store it (extended reading only).
    items.push_back(makeBook(out / "book1000-objstm.pdf", 1000, 1000, true));
    items.push_back(makeBigStream(out / "stream8mb.pdf", 8u << 20, 8));
    items.push_back(makeDrawingStream(out / "drawing8mb.pdf", 8u << 20, 16));
    items.push_back(makeManyObjects(out / "objects200k.pdf", 1000, 200000, 200));
    items.push_back(makeShortPages(out / "pages30k.pdf", 30000, 30));
    // A fifth of the large files, same shapes: the per-page and per-object
    // costs of the large files are checked against these. Smaller ones
    // would be lost in the start-up cost and the timer's noise.
    items.push_back(makeBook(out / "scale" / "book200.pdf", 200, 100));
    items.push_back(makeManyObjects(out / "scale" / "objects40k.pdf", 200, 40000, 20));
    items.push_back(makeShortPages(out / "scale" / "pages6k.pdf", 6000, 3));
    // One line on one page: what a run costs before any page is read.
    items.push_back(makeShortPages(out / "scale" / "tiny.pdf", 1, 1));

    std::ofstream manifest(out / "manifest.tsv");
    manifest << "item\tfiles\tpages\tobjects\tinflated_bytes\tmax_stream_bytes\n";
    for (const Item& i : items)
        manifest << i.name << '\t' << i.files << '\t' << i.pages << '\t' << i.objects << '\t' << i.inflated << '\t'
                 << i.maxStream << '\n';
    manifest.close();
    if (!manifest) {
        std::fprintf(stderr, "bench-makeCorpus: cannot write the manifest\n");
        return 1;
    }
    for (const Item& i : items)
        std::printf("%-16s %5d files %6ld pages %7ld objects, %6.1f MB inflated, largest stream %zu bytes\n",
                    i.name.c_str(), i.files, i.pages, i.objects, i.inflated / 1e6, i.maxStream);
    return 0;
}
