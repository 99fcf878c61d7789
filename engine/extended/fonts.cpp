#include "engine/extended/fonts.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/extended/cmap.h"
#include "engine/extended/fontEncodings.h"
#include "engine/extended/fontMetrics.h"
#include "engine/extended/glyphList.h"
#include "engine/extended/lexer.h"

namespace pdf {

namespace {

// Limits on what a font may make us read.
constexpr size_t kMaxCMapStream = 8u << 20;
constexpr size_t kMaxFontProgramHead = 1u << 20; // the clear-text part of a Type 1 font read for its encoding
constexpr size_t kMaxWidthEntries = size_t(1) << 18;

// Widths from the file, made safe for arithmetic: absurd values count as 0.
double sane(double w) { return std::isfinite(w) && std::fabs(w) <= 1e6 ? w : 0.0; }

const Object& deref(ObjectSource& source, const Object& o, Object& holder)
{
    if (!o.isRef())
        return o;
    holder = source.resolve(o);
    return holder;
}

// A CMap or ToUnicode stream's data.
std::optional<std::string> cmapData(ObjectSource& source, const Object& stream)
{
    if (!stream.isStream())
        return std::nullopt;
    return source.streamData(stream, kMaxCMapStream);
}

uint64_t refKey(Ref r) { return (uint64_t(uint32_t(r.num)) << 32) | uint32_t(r.gen); }

// A CMap stream read once per document when the context keeps them.
template <class Read>
std::shared_ptr<const CMap> sharedCMap(const Object& streamOrRef, FontContext& context, Read read)
{
    if (!context.streamCMaps || !streamOrRef.isRef())
        return read();
    uint64_t key = refKey(streamOrRef.refValue());
    if (auto it = context.streamCMaps->find(key); it != context.streamCMaps->end())
        return it->second;
    auto cmap = read();
    if (context.streamCMaps->size() < FontCache::kMaxFonts)
        context.streamCMaps->emplace(key, cmap);
    return cmap;
}

std::shared_ptr<const CMap> toUnicodeOf(ObjectSource& source, const Dict& font, FontContext& context)
{
    const Object& ref = font.get("ToUnicode");
    return sharedCMap(ref, context, [&]() -> std::shared_ptr<const CMap> {
        auto data = cmapData(source, source.resolve(ref));
        return data ? CMap::parse(*data, context.cmaps.resolver()) : nullptr;
    });
}

// An embedded CMap (a stream), its /UseCMap followed to `depth`.
std::shared_ptr<const CMap> embeddedCMap(ObjectSource& source, const Object& stream, FontContext& context, int depth)
{
    if (depth > kMaxCMapDepth)
        return nullptr;
    auto data = cmapData(source, stream);
    if (!data)
        return nullptr;
    std::shared_ptr<const CMap> base;
    Object use = source.resolve(stream.dictValue().get("UseCMap"));
    if (use.isName())
        base = context.cmaps.get(use.text(), depth + 1);
    else if (use.isStream())
        base = embeddedCMap(source, use, context, depth + 1);
    return CMap::parse(*data, base.get(), context.cmaps.resolver(), depth);
}

// ---- simple fonts ---------------------------------------------------------

class SimpleFont final : public Font {
public:
    std::array<std::u32string, 256> text;
    std::array<double, 256> widths{};
    double scale = 0.001;

    Glyph glyphAt(std::string_view bytes, size_t pos, std::u32string&) const override
    {
        const uint8_t c = static_cast<uint8_t>(bytes[pos]);
        Glyph g;
        g.code = c;
        g.text = text[c];
        g.width = widths[c];
        g.wordSpace = c == 32;
        return g;
    }
    double fontMatrixScale() const override { return scale; }
    ByteTable byteTable() const override { return {text.data(), widths.data()}; }
};

// The built-in encoding of an embedded Type 1 font program: "dup 65 /A put"
// entries of its clear-text part, or StandardEncoding. False when the
// program says nothing readable.
bool type1BuiltinEncoding(ObjectSource& source, const Object& fontFile, GlyphNames& names)
{
    if (!fontFile.isStream())
        return false;
    auto data = source.streamData(fontFile, kMaxFontProgramHead);
    if (!data)
        return false;
    std::string_view clear(*data);
    if (size_t e = clear.find("eexec"); e != std::string_view::npos)
        clear = clear.substr(0, e);
    size_t at = clear.find("/Encoding");
    if (at == std::string_view::npos)
        return false;
    Lexer lexer(clear, at + 9);
    Token t = lexer.next();
    if (t.isKeyword("StandardEncoding")) {
        names = glyphNamesOf(BaseEncoding::Standard);
        return true;
    }
    bool any = false;
    Token prev[3];
    for (; t.type != Token::Type::End; t = lexer.next()) {
        if (t.isKeyword("def") || t.isKeyword("readonly"))
            break;
        if (t.isKeyword("put") && prev[0].isKeyword("dup") && prev[1].type == Token::Type::Int
            && prev[2].type == Token::Type::Name && prev[1].intValue >= 0 && prev[1].intValue < 256) {
            names[static_cast<size_t>(prev[1].intValue)] = prev[2].text;
            any = true;
        }
        prev[0] = std::move(prev[1]);
        prev[1] = std::move(prev[2]);
        prev[2] = std::move(t);
    }
    return any;
}

// Fonts of pictures, not letters: their codes say nothing of text.
bool pictureFontName(std::string_view name)
{
    for (std::string_view word : {"Symbol", "Wingding", "Webding", "Dingbat", "Marlett", "Extra"})
        if (name.find(word) != std::string_view::npos)
            return true;
    return false;
}

// Bitmap fonts of TeX documents name each glyph by a letter or two and its
// own code ("a97" at 97): a code that names itself. Such fonts keep ASCII's
// letters, digits and most punctuation where ASCII has them; the codes
// where TeX's text fonts put other characters give nothing.
bool selfNamed(std::string_view name, int code)
{
    size_t letters = 0;
    while (letters < name.size() && letters < 2 && ((name[letters] >= 'a' && name[letters] <= 'z')
                                                    || (name[letters] >= 'A' && name[letters] <= 'Z')))
        ++letters;
    if (letters == 0 || letters == name.size() || name.size() - letters > 3)
        return false;
    int number = 0;
    for (char c : name.substr(letters)) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + (c - '0');
    }
    if (number != code || code < 0x21 || code > 0x7A)
        return false;
    return std::string_view("\"'<>\\_`").find(static_cast<char>(code)) == std::string_view::npos;
}

// The text of a code by its glyph name.
std::u32string nameText(std::string_view name, int code, bool dingbats)
{
    std::u32string t = glyphNameText(name, dingbats);
    if (t.empty() && selfNamed(name, code))
        t = static_cast<char32_t>(code);
    return t;
}

std::shared_ptr<const Font> loadSimpleFont(ObjectSource& source, const Dict& font, std::string_view subtype,
                                           FontContext& context)
{
    auto result = std::make_shared<SimpleFont>();
    Object holder;
    std::string baseFont = deref(source, font.get("BaseFont"), holder).text();
    Object descriptorObject = source.resolve(font.get("FontDescriptor"));
    const Dict& descriptor = descriptorObject.dictValue();
    int64_t flags = deref(source, descriptor.get("Flags"), holder).intValue();
    bool symbolic = (flags & 4) != 0 && (flags & 32) == 0;
    bool type3 = subtype == "Type3";
    bool trueType = subtype == "TrueType";
    const StandardFont* standard = type3 ? nullptr : StandardFont::find(baseFont);
    bool embedded = descriptor.has("FontFile") || descriptor.has("FontFile2") || descriptor.has("FontFile3");
    if (standard && embedded && !standard->symbolic())
        standard = nullptr; // an embedded font has its own metrics: only the names tell

    // Code -> glyph name: the base encoding, then /Differences.
    Object encoding = source.resolve(font.get("Encoding"));
    std::optional<BaseEncoding> base;
    if (encoding.isName())
        base = baseEncodingNamed(encoding.text());
    else if (encoding.isDict())
        base = baseEncodingNamed(deref(source, encoding.dictValue().get("BaseEncoding"), holder).text());
    GlyphNames names;
    std::optional<BaseEncoding> namesFrom;
    bool haveNames = true;
    if (base)
        namesFrom = base;
    else if (standard && standard->symbolic())
        namesFrom = standard->name() == "Symbol" ? BaseEncoding::Symbol : BaseEncoding::ZapfDingbats;
    else if (!type3 && !trueType && type1BuiltinEncoding(source, source.resolve(descriptor.get("FontFile")), names))
        ;
    else if (type3 || (trueType && symbolic))
        haveNames = false; // the font program's own codes: no names
    else
        namesFrom = BaseEncoding::Standard;
    if (namesFrom)
        names = glyphNamesOf(*namesFrom);
    if (encoding.isDict()) {
        Object differences = source.resolve(encoding.dictValue().get("Differences"));
        if (differences.isArray()) {
            applyDifferences(differences.arrayValue(), names);
            haveNames = true;
        }
    }

    // Text: ToUnicode first, then the glyph names. A name the encoding
    // `names` started from gives is read from that encoding's table.
    std::shared_ptr<const CMap> toUnicode = toUnicodeOf(source, font, context);
    bool dingbats = standard && standard->name() == "ZapfDingbats";
    const EncodingGlyphs::Table* known =
        namesFrom && context.encodingGlyphs ? &context.encodingGlyphs->get(*namesFrom, standard) : nullptr;
    auto isKnown = [&](int c) { return known && names[c] == known->name[c]; };
    for (int c = 0; c < 256; ++c) {
        std::u32string& t = result->text[c];
        if (toUnicode && toUnicode->text(static_cast<uint32_t>(c), t))
            continue;
        if (haveNames && !names[c].empty())
            t = isKnown(c) ? known->text[c] : nameText(names[c], c, dingbats);
        else if (trueType && !base && c >= 0x20 && c < 0x7F && !pictureFontName(baseFont))
            t = static_cast<char32_t>(c); // a symbolic TrueType font's (3,0) table mirrors ASCII at F0xx
    }

    // Widths: /Widths from /FirstChar, else the standard font's, else
    // /MissingWidth.
    double missing = sane(deref(source, descriptor.get("MissingWidth"), holder).number());
    result->widths.fill(missing);
    Object widths = source.resolve(font.get("Widths"));
    if (widths.isArray()) {
        int64_t first = deref(source, font.get("FirstChar"), holder).intValue();
        const Array& w = widths.arrayValue();
        if (first > -int64_t(w.size()) && first < 256) {
            for (int64_t code = std::max<int64_t>(first, 0); code < 256 && code - first < int64_t(w.size()); ++code) {
                const Object& o = deref(source, w[static_cast<size_t>(code - first)], holder);
                if (o.isNumber())
                    result->widths[static_cast<size_t>(code)] = sane(o.number());
            }
        }
    } else if (standard) {
        for (int c = 0; c < 256; ++c) {
            if (names[c].empty())
                continue;
            if (isKnown(c)) {
                if (!std::isnan(known->width[c]))
                    result->widths[c] = known->width[c];
            } else if (auto w = standard->width(names[c])) {
                result->widths[c] = *w;
            }
        }
    }
    if (type3) {
        Object matrix = source.resolve(font.get("FontMatrix"));
        if (matrix.isArray() && !matrix.arrayValue().empty()) {
            double a = deref(source, matrix.arrayValue()[0], holder).number();
            if (std::isfinite(a) && std::fabs(a) <= 1e3)
                result->scale = a;
        }
    }
    return result;
}

// ---- composite fonts ------------------------------------------------------

struct WidthRange {
    uint32_t low, high;
    double value;   // horizontal: the width; vertical: w1y
};

// /W or /W2: "c [w ...]" and "c1 c2 w" entries; `values` numbers per glyph
// (1 for /W, 3 for /W2, of which the first is kept).
std::vector<WidthRange> readWidths(ObjectSource& source, const Object& array, size_t values)
{
    std::vector<WidthRange> out;
    if (!array.isArray())
        return out;
    const Array& a = array.arrayValue();
    Object h1, h2, h3;
    for (size_t i = 0; i + 1 < a.size() && out.size() < kMaxWidthEntries;) {
        const Object& first = deref(source, a[i], h1);
        const Object& second = deref(source, a[i + 1], h2);
        if (!first.isNumber() || first.intValue() < 0 || first.intValue() > 0xFFFFFFFFLL) {
            ++i;
            continue;
        }
        uint32_t c = static_cast<uint32_t>(first.intValue());
        if (second.isArray()) {
            const Array& list = second.arrayValue();
            for (size_t j = 0; j + values <= list.size() && out.size() < kMaxWidthEntries; j += values) {
                uint64_t code = uint64_t(c) + j / values;
                if (code > 0xFFFFFFFFu)
                    break;
                const Object& w = deref(source, list[j], h3);
                if (w.isNumber())
                    out.push_back({static_cast<uint32_t>(code), static_cast<uint32_t>(code), sane(w.number())});
            }
            i += 2;
            continue;
        }
        if (i + 1 + values < a.size() + 0 && second.isNumber()) {
            const Object& w = deref(source, a[i + 2], h3);
            int64_t last = second.intValue();
            if (w.isNumber() && last >= first.intValue() && last <= 0xFFFFFFFFLL)
                out.push_back({c, static_cast<uint32_t>(last), sane(w.number())});
            i += 2 + values;
            continue;
        }
        break;
    }
    std::stable_sort(out.begin(), out.end(), [](const WidthRange& x, const WidthRange& y) { return x.low < y.low; });
    return out;
}

std::optional<double> findWidth(const std::vector<WidthRange>& ranges, uint32_t cid)
{
    auto it = std::upper_bound(ranges.begin(), ranges.end(), cid,
                               [](uint32_t c, const WidthRange& r) { return c < r.low; });
    // Ranges may overlap in a damaged file: look back a few for one that
    // holds the CID.
    for (int n = 0; it != ranges.begin() && n < 8; ++n) {
        --it;
        if (cid <= it->high)
            return it->value;
    }
    return std::nullopt;
}

// How the codes of a Unicode-keyed predefined CMap are their own text.
enum class CodeText : uint8_t { None, Utf16, Utf32 };

class CompositeFont final : public Font {
public:
    std::shared_ptr<const CMap> encoding;
    std::shared_ptr<const CMap> toUnicode;
    std::shared_ptr<const CMap> collection; // CID -> Unicode of the font's character collection
    CodeText codeText = CodeText::None;
    std::vector<WidthRange> widths;
    double defaultWidth = 1000;
    bool isVertical = false;

    Glyph glyphAt(std::string_view bytes, size_t pos, std::u32string& scratch) const override
    {
        if (memoState_ == MemoState::Unknown)
            memoState_ = !encoding->hasCodeSpace() || encoding->codeLengths() == 2u ? MemoState::On : MemoState::Off;
        if (memoState_ == MemoState::Off || bytes.size() - pos < 2)
            return lookUp(bytes, pos, scratch);
        // Every code is two bytes: the glyphs of the codes read last are
        // kept, since text repeats its characters.
        const uint32_t value = static_cast<uint32_t>(static_cast<uint8_t>(bytes[pos])) << 8
                               | static_cast<uint8_t>(bytes[pos + 1]);
        if (!memo_)
            memo_ = std::make_unique<std::array<Memo, kMemoSize>>();
        Memo& m = (*memo_)[value % kMemoSize];
        if (m.code != value) {
            const Glyph g = lookUp(bytes, pos, scratch);
            if (g.text.size() > std::size(m.text))
                return g;
            m.code = value;
            m.length = static_cast<uint8_t>(g.text.size());
            std::copy(g.text.begin(), g.text.end(), m.text);
            m.width = g.width;
        }
        Glyph g;
        g.code = value;
        g.codeLength = 2;
        g.text = std::u32string_view(m.text, m.length);
        g.width = m.width;
        return g;
    }
    bool vertical() const override { return isVertical; }

private:
    Glyph lookUp(std::string_view bytes, size_t pos, std::u32string& scratch) const
    {
        CMap::Code code = encoding->nextCode(bytes, pos);
        Glyph g;
        g.code = code.value;
        g.codeLength = code.length;
        g.wordSpace = code.length == 1 && code.value == 32;
        uint32_t cid = encoding->cid(code.value).value_or(0);
        if (toUnicode)
            g.text = toUnicode->textOf(code.value, scratch);
        if (g.text.empty())
            g.text = textOfCode(code, scratch);
        if (g.text.empty() && collection && cid != 0)
            g.text = collection->textOf(cid, scratch);
        g.width = findWidth(widths, cid).value_or(defaultWidth);
        return g;
    }

    // The glyphs of recently read codes, by code. A font is read by one
    // conversion at a time, so its const reading may fill them.
    struct Memo {
        uint32_t code = UINT32_MAX; // none
        uint8_t length = 0;
        char32_t text[2] = {};
        double width = 0;
    };
    static constexpr size_t kMemoSize = 512;
    enum class MemoState : uint8_t { Unknown, On, Off };
    mutable MemoState memoState_ = MemoState::Unknown;
    mutable std::unique_ptr<std::array<Memo, kMemoSize>> memo_;

    std::u32string_view textOfCode(CMap::Code code, std::u32string& scratch) const
    {
        char32_t c = code.value;
        if (codeText == CodeText::Utf16 && code.length == 4) {
            char32_t high = code.value >> 16, low = code.value & 0xFFFF;
            if (high < 0xD800 || high >= 0xDC00 || low < 0xDC00 || low >= 0xE000)
                return {};
            c = 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
        } else if (codeText == CodeText::None || (codeText == CodeText::Utf16 && code.length > 2)) {
            return {};
        }
        if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))
            return {};
        scratch.assign(1, c);
        return scratch;
    }
};

bool knownOrdering(std::string_view o)
{
    return o == "Japan1" || o == "GB1" || o == "CNS1" || o == "Korea1" || o == "KR";
}

std::shared_ptr<const Font> loadCompositeFont(ObjectSource& source, const Dict& font, FontContext& context)
{
    auto result = std::make_shared<CompositeFont>();
    Object holder;
    Object encoding = source.resolve(font.get("Encoding"));
    std::string ordering;
    if (encoding.isName()) {
        const std::string& name = encoding.text();
        result->encoding = context.cmaps.get(name);
        ordering = context.cmaps.orderingOf(name);
        if (name.starts_with("Uni") && (name.find("UCS2") != std::string::npos || name.find("UTF16") != std::string::npos))
            result->codeText = CodeText::Utf16;
        else if (name.starts_with("Uni") && name.find("UTF32") != std::string::npos)
            result->codeText = CodeText::Utf32;
        if (!result->encoding) // a CMap we do not have: its codes are most likely two bytes
            result->encoding = context.cmaps.get(name.ends_with("-V") ? "Identity-V" : "Identity-H");
    } else {
        result->encoding = sharedCMap(font.get("Encoding"), context,
                                      [&] { return embeddedCMap(source, encoding, context, 0); });
    }
    if (!result->encoding)
        result->encoding = context.cmaps.get("Identity-H");
    result->isVertical = result->encoding->vertical();

    Object descendants = source.resolve(font.get("DescendantFonts"));
    Object cidFontObject;
    if (descendants.isArray() && !descendants.arrayValue().empty())
        cidFontObject = source.resolve(descendants.arrayValue()[0]);
    else if (descendants.isDict())
        cidFontObject = descendants;
    const Dict& cidFont = cidFontObject.dictValue();
    Object info = source.resolve(cidFont.get("CIDSystemInfo"));
    std::string cidOrdering = deref(source, info.dictValue().get("Ordering"), holder).text();
    if (knownOrdering(cidOrdering))
        ordering = cidOrdering;
    if (!ordering.empty())
        result->collection = context.cmaps.cidToUnicode(ordering);

    result->toUnicode = toUnicodeOf(source, font, context);

    if (result->isVertical) {
        Object dw2 = source.resolve(cidFont.get("DW2"));
        result->defaultWidth = -1000;
        if (dw2.isArray() && dw2.arrayValue().size() >= 2)
            result->defaultWidth = sane(deref(source, dw2.arrayValue()[1], holder).number());
        result->widths = readWidths(source, source.resolve(cidFont.get("W2")), 3);
    } else {
        const Object& dw = deref(source, cidFont.get("DW"), holder);
        if (dw.isNumber())
            result->defaultWidth = sane(dw.number());
        result->widths = readWidths(source, source.resolve(cidFont.get("W")), 1);
    }
    return result;
}

} // namespace

const EncodingGlyphs::Table& EncodingGlyphs::get(BaseEncoding encoding, const StandardFont* standard)
{
    std::unique_ptr<Table>& table = tables_[{standard, encoding}];
    if (!table) {
        table = std::make_unique<Table>();
        const bool dingbats = standard && standard->name() == "ZapfDingbats";
        for (int c = 0; c < 256; ++c) {
            table->name[c] = encodingGlyphName(encoding, c);
            table->width[c] = std::nan("");
            if (table->name[c].empty())
                continue;
            table->text[c] = nameText(table->name[c], c, dingbats);
            if (standard)
                if (auto w = standard->width(table->name[c]))
                    table->width[c] = *w;
        }
    }
    return *table;
}

std::shared_ptr<const Font> loadFont(ObjectSource& source, const Object& fontDictOrRef, FontContext& context)
{
    Object fontObject = source.resolve(fontDictOrRef);
    if (!fontObject.isDict())
        return std::make_shared<SimpleFont>();
    const Dict& font = fontObject.dictValue();
    Object holder;
    std::string subtype = deref(source, font.get("Subtype"), holder).text();
    if (subtype == "Type0")
        return loadCompositeFont(source, font, context);
    return loadSimpleFont(source, font, subtype, context);
}

namespace {

// Font dictionaries larger than this written out are not shared by contents.
constexpr size_t kMaxDescribedFont = 4096;

// A font dictionary written out with its references as references: two
// dictionaries that read alike make the same font, whichever objects hold
// them (some writers give each page its own copy of the same fonts). False
// when it is too large or holds what cannot be written out so.
bool describe(const Object& o, std::string& out, int depth)
{
    if (depth > kMaxObjectDepth || out.size() > kMaxDescribedFont)
        return false;
    auto sized = [&out](char tag, const std::string& bytes) {
        out += tag;
        out += std::to_string(bytes.size());
        out += ':';
        out += bytes;
    };
    switch (o.kind()) {
    case Object::Kind::Null:
        out += 'n';
        return true;
    case Object::Kind::Bool:
        out += o.boolValue() ? 't' : 'f';
        return true;
    case Object::Kind::Int:
        out += 'i';
        out += std::to_string(o.intValue());
        out += ' ';
        return true;
    case Object::Kind::Real: {
        const double r = o.number();
        out += 'r';
        out.append(reinterpret_cast<const char*>(&r), sizeof r);
        return true;
    }
    case Object::Kind::String:
        sized(o.hexString() ? 'h' : 's', o.text());
        return true;
    case Object::Kind::Name:
        sized('/', o.text());
        return true;
    case Object::Kind::Ref:
        out += 'R';
        out += std::to_string(o.refValue().num);
        out += ' ';
        out += std::to_string(o.refValue().gen);
        out += ' ';
        return true;
    case Object::Kind::Array:
        out += '[';
        for (const Object& item : o.arrayValue())
            if (!describe(item, out, depth + 1))
                return false;
        out += ']';
        return true;
    case Object::Kind::Dict:
        out += '<';
        for (const auto& [key, value] : o.dictValue().entries()) {
            sized('k', key);
            if (!describe(value, out, depth + 1))
                return false;
        }
        out += '>';
        return out.size() <= kMaxDescribedFont;
    case Object::Kind::Stream:
        return false;
    }
    return false;
}

} // namespace

std::shared_ptr<const Font> FontCache::get(ObjectSource& source, const Object& fontDictOrRef, FontContext& context)
{
    FontContext withStreams{context.cmaps, &cmaps_, context.encodingGlyphs};
    const bool byRef = fontDictOrRef.isRef();
    const uint64_t key = byRef ? refKey(fontDictOrRef.refValue()) : 0;
    if (byRef) {
        if (auto it = fonts_.find(key); it != fonts_.end())
            return it->second;
    } else if (!fontDictOrRef.isDict()) {
        return loadFont(source, fontDictOrRef, withStreams);
    } else if (auto it = direct_.find(&fontDictOrRef.dictValue()); it != direct_.end()) {
        return it->second.second;
    }
    const Object fontObject = source.resolve(fontDictOrRef);
    std::string contents;
    const bool described = fontObject.isDict() && describe(fontObject, contents, 0);
    std::shared_ptr<const Font> font;
    if (auto it = described ? byContents_.find(contents) : byContents_.end(); it != byContents_.end())
        font = it->second;
    if (!font) {
        font = loadFont(source, fontObject, withStreams);
        if (described && byContents_.size() < kMaxFonts)
            byContents_.emplace(std::move(contents), font);
    }
    if (byRef && fonts_.size() < kMaxFonts)
        fonts_.emplace(key, font);
    else if (!byRef && direct_.size() < kMaxFonts)
        direct_.emplace(&fontDictOrRef.dictValue(), std::make_pair(fontDictOrRef, font));
    return font;
}

} // namespace pdf
