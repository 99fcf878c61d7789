// The content interpreter and the layout of its glyphs: content snippets
// drawn with a one-byte font and the text a reader of the page would type.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "engine/extended/contentInterpreter.h"

namespace {

using pdf::Object;

// Every byte is the character of the same number (Latin-1), half an em wide,
// except those given their own width.
class FakeFont : public pdf::Font {
public:
    FakeFont(bool vertical = false, double scale = 0.001, double width = 500)
        : vertical_(vertical), scale_(scale), width_(width)
    {
    }
    pdf::Glyph glyphAt(std::string_view bytes, size_t pos, std::u32string& scratch) const override
    {
        pdf::Glyph g;
        g.code = static_cast<uint8_t>(bytes[pos]);
        scratch.assign(g.code != 0, static_cast<char32_t>(g.code));
        g.text = scratch;
        g.width = g.code == 'i' ? width_ / 2 : width_;
        g.wordSpace = g.code == 32;
        return g;
    }
    bool vertical() const override { return vertical_; }
    double fontMatrixScale() const override { return scale_; }
    // The same glyphs as a table, as simple fonts give them: the
    // interpreter then reads strings by its other way.
    ByteTable byteTable() const override { return tables_ ? ByteTable{tables_->text, tables_->widths} : ByteTable{}; }
    void useTable()
    {
        tables_ = std::make_shared<Tables>();
        for (int c = 0; c < 256; ++c) {
            std::u32string scratch;
            const pdf::Glyph g = glyphAt(std::string(1, static_cast<char>(c)), 0, scratch);
            tables_->text[c] = g.text;
            tables_->widths[c] = g.width;
        }
    }

private:
    struct Tables {
        std::u32string text[256];
        double widths[256];
    };
    bool vertical_;
    double scale_;
    double width_;
    std::shared_ptr<Tables> tables_;
};

// Objects by number; streams hold their data unfiltered.
class FakeDocument : public pdf::ObjectSource, public pdf::FontSource {
public:
    Object resolve(const Object& o) override
    {
        Object cur = o;
        for (int i = 0; i < 32 && cur.isRef(); ++i) {
            auto it = objects.find(cur.refValue().num);
            cur = it == objects.end() ? Object() : it->second;
        }
        return cur.isRef() ? Object() : cur;
    }
    std::optional<std::string> streamData(const Object& stream, size_t limit) override
    {
        const pdf::Stream* s = stream.streamValue();
        if (!s)
            return std::nullopt;
        return s->data.substr(0, limit);
    }
    const pdf::Font* font(const Object& entry) override
    {
        auto it = fonts.find(entry.refValue().num);
        return entry.isRef() && it != fonts.end() ? &it->second : nullptr;
    }

    Object ref(int num) { return Object::ref({num, 0}); }
    Object stream(std::string data, pdf::Dict dict = {})
    {
        pdf::Stream s;
        s.dict = std::make_shared<pdf::Dict>(std::move(dict));
        s.data = std::move(data);
        return Object::stream(std::move(s));
    }
    Object form(std::string data, Object resources = {}, Object matrix = {})
    {
        pdf::Dict d;
        d.set("Subtype", Object::name("Form"));
        if (!resources.isNull())
            d.set("Resources", std::move(resources));
        if (!matrix.isNull())
            d.set("Matrix", std::move(matrix));
        return stream(std::move(data), std::move(d));
    }

    std::map<int32_t, Object> objects;
    std::map<int32_t, FakeFont> fonts;
};

Object dictOf(std::initializer_list<std::pair<const char*, Object>> entries)
{
    pdf::Dict d;
    for (const auto& [k, v] : entries)
        d.set(k, v);
    return Object::dict(std::move(d));
}

// A page's resources: F1 a horizontal font, F2 a vertical one, F3 a Type3
// font in hundredths; forms, an image and marked-content properties.
struct Fixture {
    FakeDocument doc;
    Object resources;

    Fixture()
    {
        doc.fonts.emplace(10, FakeFont());
        doc.fonts.emplace(11, FakeFont(true, 0.001, 1000));
        doc.fonts.emplace(12, FakeFont(false, 0.01, 50));
        Object fonts = dictOf({{"F1", doc.ref(10)}, {"F2", doc.ref(11)}, {"F3", doc.ref(12)}});
        doc.objects[20] = doc.form("BT /F1 10 Tf (form) Tj ET");
        doc.objects[21] = doc.form("/Self Do BT /F1 10 Tf (self) Tj ET");
        doc.objects[22] = doc.form("/B Do BT /F1 10 Tf (A) Tj ET");
        doc.objects[23] = doc.form("/A Do BT /F1 10 Tf (B) Tj ET");
        doc.objects[24] = doc.form("BT /F9 10 Tf (own) Tj ET", dictOf({{"Font", dictOf({{"F9", doc.ref(10)}})}}),
                                   Object::array({Object::integer(1), Object::integer(0), Object::integer(0),
                                                  Object::integer(1), Object::integer(0), Object::integer(-50)}));
        pdf::Dict image;
        image.set("Subtype", Object::name("Image"));
        doc.objects[25] = doc.stream("BT /F1 10 Tf (image) Tj ET", image);
        Object xobjects = dictOf({{"Fm1", doc.ref(20)},
                                  {"Self", doc.ref(21)},
                                  {"A", doc.ref(22)},
                                  {"B", doc.ref(23)},
                                  {"Own", doc.ref(24)},
                                  {"Im1", doc.ref(25)}});
        Object properties = dictOf({{"P1", dictOf({{"ActualText", Object::string("xyz")}})}});
        resources = dictOf({{"Font", fonts}, {"XObject", xobjects}, {"Properties", properties}});
    }

    std::string text(std::string content, bool lineBreaks = true, const pdf::ContentLimits& limits = {})
    {
        doc.objects[1] = doc.stream(std::move(content));
        pdf::TextLayout layout(lineBreaks);
        pdf::interpretPage(doc, doc, doc.ref(1), resources, layout, limits);
        std::string out = layout.take();
        for (size_t p; (p = out.find("\r\n")) != std::string::npos;)
            out.replace(p, 2, "|");
        return out;
    }
};

TEST(InterpreterTest, ContentSnippetsToText)
{
    struct Case {
        const char* content;
        const char* text; // "|" for a line break
    } cases[] = {
        {"BT /F1 10 Tf 72 700 Td (Hello) Tj ET", "Hello"},
        {"BT/F1 10 Tf(a\\(b\\)\\101\\\\\\\nc)Tj<4142 43>Tj ET", "a(b)A\\cABC"},
        // One line holding a whole page; operators wherever they stand.
        {"BT /F1 10 Tf 0 0 Td (ab) Tj 0 -12 Td (cd) Tj ET BT /F1 10 Tf 0 -24 Td (ef) Tj ET", "ab|cd|ef"},
        {"BT\n/F1\n10\nTf\n(x)\nTj\nET", "x"},
        // Kerning is nothing, a word's gap a space, a space glyph one space.
        {"BT /F1 10 Tf [(Wo) 50 (rd) -400 (next)] TJ ET", "Word next"},
        {"BT /F1 10 Tf [(a ) -300 (b) -2000 ( c)] TJ ET", "a b c"},
        // References, names, keywords and nested objects in a TJ array show nothing.
        {"BT /F1 10 Tf [(a) 1 0 R (b) Tj /N true [(x) -3000] <</K (y)>> (c)] TJ ET", "abc"},
        {"BT /F1 10 Tf [(a) -3000 0 R (b) 3 -3000 (c) 2 0 R (d)] TJ ET", "a b cd"},
        {"BT /F1 10 Tf 1 0 0 1 10 10 Tm (ab) Tj 1 0 0 1 20 10 Tm (cd) Tj 1 0 0 1 37 10 Tm (ef) Tj ET", "abcd ef"},
        // Next-line operators, leading, ' and ".
        {"BT /F1 10 Tf 12 TL (one) Tj T* (two) Tj (three) ' 1 2 (four) \" ET", "one|two|three|four"},
        {"BT /F1 10 Tf 0 -14 TD (a) Tj T* (b) Tj ET", "a|b"},
        // Character and word spacing, scaling, rise: still one word, still one line.
        {"BT /F1 10 Tf 3 Tc (abc) Tj ET BT /F1 10 Tf 0 -20 Td 20 Tw (a b) Tj ET", "abc|a b"},
        {"BT /F1 10 Tf 50 Tz (ab) Tj 5 0 Td (cd) Tj ET", "abcd"},
        {"BT /F1 10 Tf (x) Tj 4 Ts (2) Tj 0 Ts (y) Tj ET", "x2y"},
        {"2 0 0 2 0 0 cm BT /F1 10 Tf (ab) Tj ET BT /F1 20 Tf 10 0 Td (cd) Tj ET", "abcd"},
        {"BT /F3 10 Tf (ab) Tj ET BT /F1 10 Tf 10 0 Td (cd) Tj ET", "abcd"},
        // q and Q keep the graphics state; text state set inside is dropped with it.
        {"q 1 0 0 1 0 -100 cm BT /F1 10 Tf (in) Tj ET Q BT /F1 10 Tf (out) Tj ET", "in|out"},
        {"Q Q BT /F1 10 Tf (x) Tj ET", "x"},
        // Inline images: computed length, declared length, and "EI" inside the data.
        {"BT /F1 10 Tf (a) Tj ET BI /W 4 /H 1 /BPC 8 /CS /G ID EI E\nEI BT /F1 10 Tf 5 0 Td (b) Tj ET", "ab"},
        {"BI /W 1 /H 1 /F /DCT /L 6 ID \xff\xd8 EI \x80\nEI BT /F1 10 Tf (c) Tj ET", "c"},
        {"BI /W 9 /H 9 /F /DCT ID \xff EI \x90\x91 Tj\nEI BT /F1 10 Tf (d) Tj ET", "d"},
        // Form XObjects: placed by the CTM, own resources and matrix, self-drawing.
        {"q 1 0 0 1 100 0 cm /Fm1 Do Q BT /F1 10 Tf (x) Tj ET", "form x"},
        {"/Self Do", "self"},
        {"/A Do", "B A"},
        {"/Own Do BT /F1 10 Tf (x) Tj ET", "own|x"},
        {"/Im1 Do /Missing Do BT /F1 10 Tf (x) Tj ET", "x"},
        // Marked content with /ActualText replaces the glyphs it spans.
        {"BT /F1 10 Tf /Span <</ActualText (X)>> BDC (abc) Tj EMC (d) Tj ET", "Xd"},
        {"BT /F1 10 Tf (a) Tj /Span /P1 BDC 0 -20 Td (abc) Tj EMC ET", "a|xyz"},
        {"BT /F1 10 Tf /Span <</ActualText <FEFF00660069>>> BDC (f) Tj /X BMC (i) Tj EMC EMC (x) Tj ET", "fix"},
        {"BT /F1 10 Tf /Span <</ActualText (open)>> BDC (abc) Tj ET", "open"},
        // Vertical writing: a column is a line, columns in the order drawn.
        {"BT /F2 10 Tf 1 0 0 1 100 700 Tm (abc) Tj 1 0 0 1 85 700 Tm (de) Tj ET", "abc|de"},
        {"BT /F2 10 Tf 1 0 0 1 100 700 Tm [(ab) -1000 (c)] TJ ET", "ab c"},
        // Text drawn again over itself (fake bold, shadows) is written once.
        {"BT /F1 10 Tf (Bold) Tj ET BT /F1 10 Tf 0.3 0.2 Td (Bold) Tj ET BT /F1 10 Tf 30 0 Td (x) Tj ET", "Bold x"},
        {"BT /F1 10 Tf (a) Tj 0.2 0 Td (a) Tj (b) Tj ET", "ab"},
        {"BT /F1 10 Tf 12 TL (a bcd) Tj T* (ef) Tj ET BT /F1 10 Tf 0.2 -11.9 Td (ef) Tj ( g) Tj ET", "a bcd|ef g"},
        // Spaces within the redraw are the redraw's; one before new text is a space.
        {"BT /F1 10 Tf 12 TL (ab cd) Tj T* (ef) Tj ET BT /F1 10 Tf 0.2 0.1 Td (ab cd) Tj T* (ef) Tj ( g) Tj ET", "ab cd|ef g"},
        {"BT /F1 10 Tf (ab) Tj 0.2 0 Td (ab) Tj ( cd) Tj ET", "ab cd"},
        {"BT /F1 10 Tf (aa) Tj ET", "aa"},
        {"BT /F1 10 Tf (ii) Tj ET", "ii"},
        // Accents drawn over their letter, before or after it, are its combining marks.
        {"BT /F1 10 Tf [(Schl\250) 500 (usse)] TJ [( caf) (e) 500 (\264)] TJ ET", "Schlu\xcc\x88sse cafe\xcc\x81"},
        {"BT /F1 10 Tf (a^b ~) Tj ET", "a^b ~"},
    };
    for (const Case& c : cases) {
        Fixture f;
        EXPECT_EQ(f.text(c.content), c.text) << c.content;
    }
}

// A string reads as its glyphs shown one at a time, where they stand, do:
// spaces, accents, controls, glyphs drawn over earlier ones, long strings,
// by either way the interpreter reads strings (a font's table, or glyph by
// glyph).
TEST(InterpreterTest, StringsReadAsTheirGlyphsOneByOne)
{
    std::string text = "Fi  rst \001line\140e\264 ab  ";
    for (int i = 0; i < 300; ++i)
        text += static_cast<char>(i % 7 ? 'a' + i % 26 : ' ');
    auto hex = [](std::string_view bytes) {
        std::string h = "<";
        for (unsigned char c : bytes) {
            char two[3];
            std::snprintf(two, sizeof two, "%02X", c);
            h += two;
        }
        return h + ">";
    };
    // Drawn twice, the second time a little off: a fake bold; level, and
    // turned so that each glyph stands on a baseline of its own.
    for (std::string matrix : {"1 0 0 1 ", "0.96 0.28 -0.28 0.96 "}) {
        std::string whole = "BT /F1 10 Tf 0.5 Tc 2 Tw " + matrix + "10 700 Tm ", single = whole;
        for (const std::string& at : {std::string(), " " + matrix + "10.2 699.9 Tm "}) {
            whole += at + hex(text) + " Tj";
            single += at;
            for (char c : text)
                single += " " + hex(std::string(1, c)) + " Tj";
        }
        Fixture f;
        const std::string oneString = f.text(whole + " ET");
        // Accents beside their letters, not over them, stay characters of their own.
        EXPECT_EQ(oneString.substr(0, 16), "Fi rst line`e\xC2\xB4 ") << matrix;
        EXPECT_EQ(f.text(single + " ET"), oneString) << matrix;
        f.doc.fonts.find(10)->second.useTable();
        EXPECT_EQ(f.text(whole + " ET"), oneString) << matrix;
        EXPECT_EQ(f.text(single + " ET"), oneString) << matrix;
    }
}

// The layout takes a string's glyphs at once as it takes them one by one:
// kana past the room it makes at a time, spaces, and a turned baseline on
// which each glyph stands apart.
TEST(InterpreterTest, LayoutTakesAStringAsItsGlyphs)
{
    std::u32string texts;
    for (int i = 0; i < 200; ++i)
        texts += i % 9 == 4 ? U' ' : static_cast<char32_t>(i < 100 ? 0x3042 + i % 80 : 'a' + i % 26);
    auto read = [&](bool atOnce) {
        pdf::TextLayout layout(true);
        for (pdf::Point direction : {pdf::Point{1, 0}, pdf::Point{0.96, 0.28}}) {
            pdf::PlacedText g;
            g.direction = direction;
            g.size = 10;
            pdf::Point at{10, direction.y == 0 ? 700.0 : 600.0};
            size_t i = 0;
            auto next = [&](pdf::PlacedText& glyph) {
                if (i == texts.size())
                    return false;
                glyph.text = std::u32string_view(texts).substr(i++, 1);
                glyph.start = at;
                at = {at.x + 10 * direction.x, at.y + 10 * direction.y};
                glyph.end = at;
                return true;
            };
            if (atOnce)
                layout.addString(g, next);
            else
                while (next(g))
                    layout.add(g);
        }
        return layout.take();
    };
    const std::string whole = read(true);
    EXPECT_EQ(whole.substr(0, 16), "\xE3\x81\x82\xE3\x81\x83\xE3\x81\x84\xE3\x81\x85 \xE3\x81\x87");
    EXPECT_EQ(whole, read(false));
}

TEST(InterpreterTest, LineBreaksOffWriteSpaces)
{
    Fixture f;
    EXPECT_EQ(f.text("BT /F1 10 Tf 12 TL (ab) Tj T* (cd) Tj ET", false), "ab cd");
}

// A redraw is found however many lines lie between it and what it covers,
// above or below them, and never over an earlier page.
TEST(InterpreterTest, RedrawFoundAcrossManyLines)
{
    Fixture f;
    for (int lines : {3, 100}) {
        std::string content = "BT /F1 10 Tf 12 TL 0 600 Td (ab) Tj", expected = "ab";
        for (int i = 0; i < lines; ++i) {
            content += i % 2 ? " T* (c) Tj" : " T* (de) Tj";
            expected += i % 2 ? "|c" : "|de";
        }
        content += " ET BT /F1 10 Tf 0.2 600.1 Td (ab) Tj 1 0 0 1 0.1 588 Tm (de) Tj 1 0 0 1 0.1 576 Tm (x) Tj ET";
        EXPECT_EQ(f.text(content), expected + "|x") << lines;
    }
    f.doc.objects[1] = f.doc.stream("BT /F1 10 Tf (ab) Tj ET");
    pdf::TextLayout layout(true);
    pdf::interpretPage(f.doc, f.doc, f.doc.ref(1), f.resources, layout);
    EXPECT_EQ(layout.take(), "ab");
    pdf::interpretPage(f.doc, f.doc, f.doc.ref(1), f.resources, layout);
    EXPECT_EQ(layout.take(), "ab");
}

// A redraw is found within its tolerance (a tenth of the font size, at most
// 4 units) wherever it lies against the cells glyphs are kept in, and
// nothing beyond it is taken for one.
TEST(InterpreterTest, RedrawFoundWithinItsToleranceAnywhere)
{
    Fixture f;
    for (double size : {3.0, 10.0, 40.0, 100.0}) {
        const double tolerance = std::min(0.1 * size, 4.0);
        for (double x : {0.0, 0.99, 3.999, -2.5, 1000.5}) {
            for (double shift : {0.95, -0.95, 1.05, -1.05}) {
                char content[200];
                std::snprintf(content, sizeof content,
                              "BT /F1 %g Tf 1 0 0 1 %.4f 600 Tm (a) Tj 1 0 0 1 %.4f %.4f Tm (a) Tj ET", size, x,
                              x + shift * tolerance, 600 + 0.3 * shift * tolerance);
                EXPECT_EQ(f.text(content) == "a", std::fabs(shift) < 1) << content;
            }
        }
    }
}

// A long page goes to the sink in parts as it is read; joined, they are the
// page as a whole, cut only between characters (é is two bytes in UTF-8),
// line breaks and spaces where they were.
TEST(InterpreterTest, TextHandedOverEarlyReadsAsAWhole)
{
    Fixture f;
    std::string content = "BT /F1 10 Tf 12 TL";
    for (int i = 0; i < 30000; ++i)
        content += i % 7 ? " (\351t\351 ) Tj" : " T* (x) Tj";
    f.doc.objects[1] = f.doc.stream(content + " ET");
    pdf::TextLayout whole(true);
    pdf::interpretPage(f.doc, f.doc, f.doc.ref(1), f.resources, whole);
    const std::string expected = whole.take();
    std::string handed;
    size_t parts = 0;
    pdf::TextLayout inParts(true, [&](std::string_view text) {
        handed += text;
        ++parts;
    });
    pdf::interpretPage(f.doc, f.doc, f.doc.ref(1), f.resources, inParts);
    handed += inParts.take();
    EXPECT_GE(parts, 2u);
    EXPECT_TRUE(inParts.tookText());
    EXPECT_EQ(handed, expected);
}

// A page's content is read a window at a time: tokens the window's end cuts
// (long strings, arrays, dictionaries, comments), streams joined from an
// array and an inline image near the end read as the same bytes do when
// they run whole, as a form's do.
TEST(InterpreterTest, ContentReadInWindowsAsWhole)
{
    Fixture f;
    std::vector<std::string> parts(1, "BT /F1 10 Tf 12 TL ");
    uint32_t seed = 7;
    size_t size = 0;
    for (int i = 0; size < (3u << 20); ++i) {
        seed = seed * 1103515245 + 12345;
        std::string& s = parts.back();
        const size_t before = s.size();
        const std::string n = std::to_string(i);
        switch ((seed >> 16) % 8) {
        case 0: s += "(" + std::string(500 + i % 3000, static_cast<char>('a' + i % 26)) + ") Tj T* "; break;
        case 1: s += "[(w" + n + ") -250 (v) 120.5 <41 42>] TJ "; break;
        case 2: s += "% note " + std::string(i % 200, 'c') + "\n"; break;
        case 3: s += "/Span <</ActualText (t" + n + ") /Pad (" + std::string(i % 9000, 'p') + ")>> BDC (x) Tj EMC "; break;
        case 4: s += "1 0 0 1 " + std::to_string(i % 500) + ".25 " + std::to_string(700 - i % 600) + " Tm "; break;
        case 5: s += "q 1 0 0 1 3 4 cm 10 20 m 30.5 40 l S Q (" + n + ") ' "; break;
        case 6: s += "[(" + std::string(i % 20000, 'k') + ") " + n + " (" + n + ")] TJ "; break;
        default: s += i % 40 ? "(" + std::string(5000 + i % 70000, 'L') + ") Tj " : "ET BT /F1 10 Tf "; break;
        }
        // Operands kept while the window moves on, past a long comment.
        s += "(c) Tj 5 %" + std::string(i * 37 % 9000, 'm') + "\n0 Td (d) Tj ";
        size += s.size() - before;
        if (i % 200 == 199)
            parts.emplace_back();
    }
    parts.back() += "BI /W 4 /H 1 /BPC 8 /CS /G ID abEI EI (after) Tj ET";

    pdf::Array streams;
    std::string joined;
    for (size_t k = 0; k < parts.size(); ++k) {
        f.doc.objects[static_cast<int32_t>(60 + k)] = f.doc.stream(parts[k]);
        streams.push_back(f.doc.ref(static_cast<int32_t>(60 + k)));
        joined += (k ? "\n" : "") + parts[k];
    }
    ASSERT_GE(parts.size(), 3u);
    pdf::TextLayout windows(true), whole(true);
    pdf::interpretPage(f.doc, f.doc, Object::array(std::move(streams)), f.resources, windows);
    f.doc.objects[59] = f.doc.form(joined, f.resources);
    f.doc.objects[2] = f.doc.stream("/Whole Do");
    pdf::interpretPage(f.doc, f.doc, f.doc.ref(2),
                       dictOf({{"XObject", dictOf({{"Whole", f.doc.ref(59)}})}}), whole);
    const std::string expected = whole.take();
    EXPECT_GT(expected.size(), size_t{100000});
    EXPECT_NE(expected.find("after"), std::string::npos);
    EXPECT_TRUE(windows.take() == expected);
}

// Paths, colours and other operators that draw no text, passed over without
// being read into operands, change no text: numbers right after them still
// reach the text operators, in whichever window they stand.
TEST(InterpreterTest, DrawingAroundTextChangesNoText)
{
    const char* const drawing[] = {"10.5 20 m 30 40.25 l 1 2 3 4 5 6 c h S ", "-1.5 .5 +3 4 re f* 0.5 g 1 0 0 RG n ",
                                   "0 0 1 rg 2 w 1 J [3 1] 0 d ", "% a note\n", "/GS0 gs 12abc 1.2.3 B ",
                                   "true 3 w null 1 M ", "5 6 7 8 9 10 v y W n ", "1 2 3 4 5 6 c 7 8 l s "};
    std::string both = "BT /F1 10 Tf ", textOnly = both;
    uint32_t seed = 3;
    for (int i = 0; both.size() < (600u << 10); ++i) {
        seed = seed * 1103515245 + 12345;
        const std::string n = std::to_string(i);
        std::string text;
        switch ((seed >> 20) % 8) {
        case 0: text = "1 0 0 1 " + std::to_string(i % 400) + ".5 " + std::to_string(i % 700) + " Tm (m" + n + ") Tj "; break;
        case 1: text = "12 TL T* (t" + n + ") Tj "; break;
        case 2: text = "0 -14 Td (d" + n + ") Tj "; break;
        case 3: text = "(x" + n + ") ' "; break;
        case 4: text = "[(w" + n + ") -300 (z)] TJ "; break;
        case 5: text = "1 0 0 1 5 -3 cm (c" + n + ") Tj "; break;
        case 6: text = "q 2 0 0 2 0 0 cm (q" + n + ") Tj Q "; break;
        default: text = "ET BT /F1 10 Tf 1 0 0 1 72 " + std::to_string(i % 900) + " Tm "; break;
        }
        if ((seed >> 16) % 3 == 0) {
            textOnly += text;
            both += text;
        } else {
            both += drawing[(seed >> 24) % 8];
        }
    }
    Fixture f;
    const std::string expected = f.text(textOnly + "ET");
    EXPECT_GT(expected.size(), size_t{20000});
    EXPECT_TRUE(f.text(both + "ET") == expected);
}

// Hostile content ends in time with bounded memory and keeps what it read.
TEST(InterpreterTest, HostileContentEnds)
{
    Fixture f;
    std::string many;
    for (int i = 0; i < 200000; ++i)
        many += "1 0 0 1 0 0 cm 5 w ";
    EXPECT_EQ(f.text(many + "BT /F1 10 Tf (end) Tj ET"), "end");

    // Operands piling up without an operator: the last ones still count.
    std::string operands;
    for (int i = 0; i < 1000; ++i)
        operands += "(s) [(t) 1] <</A (u)>> /N ";
    EXPECT_EQ(f.text("BT /F1 10 Tf " + operands + "(e) Tj " + operands + "[(n) (d)] TJ " + operands
                     + "/Span <</ActualText (!)>> BDC (x) Tj EMC ET"),
              "end!");

    std::string deep(100000, 'q');
    EXPECT_EQ(f.text(deep + " BT /F1 10 Tf (deep) Tj ET " + std::string(100000, 'Q')), "deep");
    EXPECT_EQ(f.text(std::string(100000, '[') + std::string(100000, ']') + " BT /F1 10 Tf (x) Tj ET"), "x");

    // Absurd sizes and matrices: no crash, the text still comes out.
    EXPECT_EQ(f.text("999999999999999999999999 0 0 99999999999999999999 0 0 cm BT /F1 999999999999999999999 Tf "
                     "99999999999 0 0 -99999999999 99999999999 9 Tm (a) Tj 0 Tz (b) Tj ET"),
              "ab");

    // Forms drawing forms ten times each: the content budget ends the page.
    std::string tenTimes;
    for (int k = 0; k < 10; ++k)
        tenTimes += "/N Do BT /F1 10 Tf (n) Tj ET ";
    for (int i = 0; i < 8; ++i)
        f.doc.objects[40 + i] = f.doc.form(
            tenTimes, dictOf({{"XObject", dictOf({{"N", f.doc.ref(41 + i)}})}, {"Font", dictOf({{"F1", f.doc.ref(10)}})}}));
    pdf::ContentLimits limits;
    limits.maxContentBytes = 1 << 20;
    limits.maxFormDepth = 100;
    f.resources = dictOf({{"XObject", dictOf({{"N", f.doc.ref(40)}})}});
    std::string text = f.text("/N Do", true, limits);
    EXPECT_LT(text.size(), size_t{1} << 20);
    EXPECT_EQ(text.substr(0, 1), "n");
}

TEST(InterpreterTest, TextStrings)
{
    EXPECT_EQ(pdf::decodeTextString(std::string_view("\xfe\xff\x00\x41\xd8\x3d\xde\x00", 8)), U"A\U0001F600");
    EXPECT_EQ(pdf::decodeTextString("\xef\xbb\xbf\xe6\x97\xa5x"), U"\u65e5x");
    EXPECT_EQ(pdf::decodeTextString("a\x93\x84\x9f"), U"a\ufb01\u2014");
}

} // namespace
