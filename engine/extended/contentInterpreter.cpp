#include "engine/extended/contentInterpreter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <vector>

#include "engine/extended/lexer.h"

namespace pdf {

namespace {

// Operands before an operator beyond this many are damage; the older half is dropped.
constexpr size_t kMaxOperands = 64;
constexpr size_t kMaxContentParts = 10000; // streams of one page's /Contents array
constexpr int kMaxInlineImageEntries = 1000;

struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

    // this × m: this transformation first, then m.
    Matrix times(const Matrix& m) const
    {
        return {a * m.a + b * m.c,       a * m.b + b * m.d,       c * m.a + d * m.c,
                c * m.b + d * m.d,       e * m.a + f * m.c + m.e, e * m.b + f * m.d + m.f};
    }
    bool finite() const
    {
        return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d) && std::isfinite(e)
               && std::isfinite(f);
    }
    // Moves the origin by (x, y) of this space: translate(x, y) × this.
    void translate(double x, double y)
    {
        e += x * a + y * c;
        f += x * b + y * d;
    }
};

struct GraphicsState {
    Matrix ctm;
    const Font* font = nullptr;
    double fontSize = 0;
    double charSpace = 0;
    double wordSpace = 0;
    double horizontalScale = 1;
    double leading = 0;
    double rise = 0; // moves glyphs off the baseline to draw them; the line they belong to stays
};

constexpr uint32_t op(const char* s)
{
    uint32_t v = 0;
    for (int i = 0; s[i] && i < 4; ++i)
        v |= static_cast<uint32_t>(static_cast<uint8_t>(s[i])) << (8 * i);
    return v;
}

// The operators execute() acts on, by first byte (curveto "c" is not, "cm"
// is): the others (paths, colours, images) draw no text and are passed over
// at once.
constexpr Lexer::KeywordSet kActedOn = [] {
    Lexer::KeywordSet acted;
    for (const char c : std::string_view("'\"qQ"))
        acted.alone[static_cast<uint8_t>(c)] = true;
    for (const char c : std::string_view("BTcDE"))
        acted.longer[static_cast<uint8_t>(c)] = true;
    return acted;
}();

double length(double x, double y) { return std::sqrt(x * x + y * y); }

Point unit(double x, double y)
{
    double len = length(x, y);
    if (!(len > 0) || !std::isfinite(len))
        return {1, 0};
    return {x / len, y / len};
}

const char32_t kPdfDocHigh[] = {
    0x2022, 0x2020, 0x2021, 0x2026, 0x2014, 0x2013, 0x0192, 0x2044, 0x2039, 0x203A, 0x2212,
    0x2030, 0x201E, 0x201C, 0x201D, 0x2018, 0x2019, 0x201A, 0x2122, 0xFB01, 0xFB02, 0x0141,
    0x0152, 0x0160, 0x0178, 0x017D, 0x0131, 0x0142, 0x0153, 0x0161, 0x017E, 0x0000, 0x20AC,
}; // 0x80 to 0xA0; 0x9F is no character
const char32_t kPdfDocAccents[] = {0x02D8, 0x02C7, 0x02C6, 0x02D9, 0x02DD, 0x02DB, 0x02DA, 0x02DC}; // 0x18 to 0x1F

// Components of an inline image's colour space; -1 when only a resource
// would say.
int componentsOf(const Object& colorSpace)
{
    if (colorSpace.isArray())
        return colorSpace.arrayValue().empty() ? -1 : componentsOf(colorSpace.arrayValue()[0]);
    const std::string& n = colorSpace.text();
    if (n == "G" || n == "DeviceGray" || n == "CalGray" || n == "I" || n == "Indexed")
        return 1;
    if (n == "RGB" || n == "DeviceRGB" || n == "CalRGB")
        return 3;
    if (n == "CMYK" || n == "DeviceCMYK")
        return 4;
    return -1;
}

// An operand as the operators read it: numbers and strings without an
// object of their own, an array flattened to the numbers and strings a TJ
// shows, a dictionary (marked content's properties) kept as an object.
struct Operand {
    enum class Kind : uint8_t { Other, Number, String, Name, Array, Dict };
    Kind kind = Kind::Other;
    double number = 0; // an array's number; 0 for anything else, as an object's would be
    // Number: its bytes in the content, read only when an operator takes
    // it (most numbers draw paths, which no text needs); String, Name: bytes
    // of the operand bytes; Array: entries of the array items; Dict: the
    // index of its object.
    uint32_t start = 0;
    uint32_t size = 0;
};

// The streams of a page's /Contents joined as one, a line feed between two,
// read a window at a time: a page of many megabytes is never held whole.
class ContentFeed {
public:
    ContentFeed(ObjectSource& objects, const Object& contents, size_t limit)
        : objects_(objects), contents_(objects.resolve(contents)), limit_(limit)
    {
    }

    std::string_view bytes() const { return {window_.get(), size_}; }
    bool more() const { return !done_; }
    // The content's bytes read so far.
    int64_t total() const { return static_cast<int64_t>(total_); }

    // Drops the bytes before `keep`, then reads on until `want` bytes stand
    // after it or the content ends.
    void refill(size_t keep, size_t want)
    {
        if (keep > 0) {
            size_ -= keep;
            std::memmove(window_.get(), window_.get() + keep, size_);
        }
        if (want > capacity_) {
            // Grown in place where the allocator can (a large block is
            // moved by remapping, not copied and held twice), and not
            // cleared first: only bytes read are ever looked at.
            const size_t capacity = std::max(want, 2 * capacity_);
            char* larger = static_cast<char*>(std::realloc(window_.get(), capacity));
            if (!larger)
                throw std::bad_alloc();
            window_.release();
            window_.reset(larger);
            capacity_ = capacity;
        }
        while (size_ < want && !done_)
            size_ += readSome(window_.get() + size_, want - size_);
    }
    // Reads all the rest into the window.
    void drain()
    {
        while (!done_)
            refill(0, std::max(2 * size_, kContentWindow));
    }
    // Reads the rest only to count it.
    void skipRest()
    {
        while (!done_) {
            size_ = 0;
            refill(0, kContentWindow);
        }
    }

    // What the window holds: a page's first window small (most pages are
    // shorter), those after it larger, since inflate runs faster in longer
    // stretches.
    static constexpr size_t kContentWindow = 16 * 1024;
    size_t nextWindow()
    {
        windowStep_ = std::min(2 * windowStep_, kLargestWindow);
        return windowStep_;
    }


private:
    // Up to `room` bytes of what comes next; 0 only at the end.
    size_t readSome(char* at, size_t room)
    {
        while (!done_) {
            if (!part_ && !openNext()) {
                done_ = true;
                break;
            }
            if (separator_) {
                separator_ = false;
                *at = '\n'; // streams of one page split only between tokens
                ++total_;
                return 1;
            }
            if (const size_t got = part_->read(at, room)) {
                total_ += got;
                return got;
            }
            part_.reset();
        }
        return 0;
    }
    bool openNext()
    {
        const bool many = contents_.isArray();
        const size_t count = many ? std::min(contents_.arrayValue().size(), kMaxContentParts) : 1;
        while (next_ < count) {
            Object s = objects_.resolve(many ? contents_.arrayValue()[next_] : contents_);
            ++next_;
            if (!s.isStream() || total_ >= limit_)
                continue;
            part_ = objects_.streamPieces(s, limit_ - total_);
            if (part_) {
                separator_ = total_ > 0;
                return true;
            }
        }
        return false;
    }

    ObjectSource& objects_;
    Object contents_;
    size_t limit_;
    size_t next_ = 0;
    std::unique_ptr<StreamPieces> part_;
    bool separator_ = false;
    bool done_ = false;
    size_t total_ = 0;
    struct Free {
        void operator()(char* p) const { std::free(p); }
    };
    std::unique_ptr<char, Free> window_;
    size_t capacity_ = 0;
    size_t size_ = 0;
    static constexpr size_t kLargestWindow = 256 * 1024;
    size_t windowStep_ = kContentWindow;
};

class Interpreter {
public:
    Interpreter(ObjectSource& objects, FontSource& fonts, TextLayout& layout, const ContentLimits& limits)
        : objects_(objects), fonts_(fonts), layout_(layout), limits_(limits)
    {
        operands_.reserve(kMaxOperands);
    }

    void runPage(const Object& contents, const Object& resources);
    int64_t contentBytes() const { return contentBytes_; }

private:
    void run(std::string_view content, const Object& resources, int formDepth, ContentFeed* feed = nullptr);
    void refill(Lexer& lexer, size_t from, size_t want);
    void drainPage(Lexer* lexer);
    void keyword(Lexer& lexer, std::string_view word, const Object& resources, int formDepth);
    void execute(uint32_t code, const Object& resources, int formDepth);
    double number(size_t fromEnd) const
    {
        const Operand& o = operands_[operands_.size() - fromEnd];
        if (o.kind != Operand::Kind::Number)
            return 0;
        const double value = numberValue(content_.substr(o.start, o.size));
        return std::isfinite(value) ? value : 0;
    }
    bool numbers(size_t n) const;
    bool lastIs(Operand::Kind kind) const { return !operands_.empty() && operands_.back().kind == kind; }
    std::string_view bytesOf(const Operand& o) const
    {
        return std::string_view(operandBytes_).substr(o.start, o.size);
    }
    Operand bytesOperand(Operand::Kind kind, std::string_view bytes);
    Operand readArray(Lexer& lexer, Token& item);
    bool startsReference(Lexer& lexer, double num);
    void clearOperands()
    {
        operands_.clear();
        operandBytes_.clear();
        arrayItems_.clear();
        operandDicts_.clear();
    }
    void dropOlderOperands();

    void moveLine(double x, double y);
    void setFont(const Object& resources, std::string_view name, double size);
    void show(std::string_view bytes);
    void showArray(const Operand& array);
    void place(std::u32string_view text, PlacedText& placed);
    void beginMarked(const Object& resources);
    void endMarked();
    void flushActualText();
    void drawForm(const Object& resources, const std::string& name, int formDepth);
    void skipInlineImage(Lexer& lexer);

    ObjectSource& objects_;
    FontSource& fonts_;
    TextLayout& layout_;
    const ContentLimits& limits_;
    Object pageResources_;

    GraphicsState gs_;
    std::vector<GraphicsState> saved_;
    size_t savedBase_ = 0; // a form restores no further than the state it began with
    int64_t droppedSaves_ = 0;
    Matrix tm_, tlm_;

    std::string_view content_; // of the stream running: its numbers' bytes stay there
    ContentFeed* feed_ = nullptr; // the page's content, while it runs
    std::vector<Operand> operands_;
    std::string operandBytes_;       // strings' and names' bytes
    std::vector<Operand> arrayItems_; // numbers and strings of array operands
    std::vector<Object> operandDicts_;
    Token item_;                     // an array's entries, read with a token of their own
    std::u32string glyphText_; // where a font puts a glyph's text it does not hold itself
    int64_t operators_ = 0;
    int64_t contentBytes_ = 0;
    bool stopped_ = false;

    // The last font looked up, by the resources it was named in.
    const Dict* fontResources_ = nullptr;
    std::string fontName_;
    const Font* fontFound_ = nullptr;

    std::vector<Ref> activeForms_;
    std::map<uint64_t, std::string> formData_; // decoded once per page, drawn as often as the page says

    // Marked content: whether each open span carries the /ActualText in force.
    std::vector<bool> marked_;
    int64_t droppedMarked_ = 0;
    bool inActualText_ = false;
    std::u32string actualText_;
    bool actualPlaced_ = false;
    PlacedText actualPlace_;
};

bool Interpreter::numbers(size_t n) const
{
    if (operands_.size() < n)
        return false;
    for (size_t i = operands_.size() - n; i < operands_.size(); ++i)
        if (operands_[i].kind != Operand::Kind::Number)
            return false;
    return true;
}

void Interpreter::runPage(const Object& contents, const Object& resources)
{
    pageResources_ = objects_.resolve(resources);
    ContentFeed feed(objects_, contents, static_cast<size_t>(limits_.maxContentBytes));
    feed.refill(0, ContentFeed::kContentWindow);
    feed_ = &feed;
    run(feed.bytes(), pageResources_, 0, &feed);
    feed_ = nullptr;
    feed.skipRest(); // what a stop left unread still counts
    contentBytes_ += feed.total();
    flushActualText();
}

// Moves the page's window on: the bytes from `from` on are kept (and the
// numbers among the operands with them), and at least `want` stand there.
void Interpreter::refill(Lexer& lexer, size_t from, size_t want)
{
    for (const Operand& o : operands_)
        if (o.kind == Operand::Kind::Number)
            from = std::min<size_t>(from, o.start);
    for (Operand& o : operands_)
        if (o.kind == Operand::Kind::Number)
            o.start -= static_cast<uint32_t>(from);
    const size_t at = lexer.pos() - from;
    feed_->refill(from, want);
    content_ = feed_->bytes();
    lexer = Lexer(content_, at);
}

// Reads all the rest of the page's content, for what needs to see it whole
// or to know its size; the page's lexer, when given, goes on in it.
void Interpreter::drainPage(Lexer* lexer)
{
    if (!feed_ || !feed_->more())
        return;
    const bool running = content_.data() == feed_->bytes().data();
    feed_->drain();
    if (running)
        content_ = feed_->bytes();
    if (lexer)
        *lexer = Lexer(feed_->bytes(), lexer->pos());
}

void Interpreter::run(std::string_view content, const Object& resources, int formDepth, ContentFeed* feed)
{
    if (!feed)
        contentBytes_ += static_cast<int64_t>(content.size());
    const std::string_view outer = content_;
    content_ = content;
    Lexer lexer(content);
    Token t;
    std::string_view word;
    // The page's window moves on once fewer bytes than this are left: more
    // than most tokens, so that a token cut by its end is rare; such a token
    // is read again once the window holds more. Past `watch`, the window's
    // end is near (never, for a form's data or the page's last window).
    constexpr size_t kMargin = 4 * 1024;
    size_t watch = SIZE_MAX;
    auto setWatch = [&] {
        watch = feed && feed->more() ? lexer.bytes().size() - std::min(lexer.bytes().size(), kMargin) : SIZE_MAX;
    };
    setWatch();
    size_t tokenAt = 0;
    // Whether the token just read may go on past the window's end; if so
    // the window moves on and the token is read again.
    auto cut = [&] {
        if (lexer.pos() < lexer.bytes().size() || !feed->more())
            return false;
        lexer.setPos(tokenAt);
        refill(lexer, tokenAt, 2 * (lexer.bytes().size() - tokenAt) + ContentFeed::kContentWindow);
        setWatch();
        return true;
    };
    while (!stopped_) {
        if (lexer.pos() >= watch) [[unlikely]] {
            refill(lexer, lexer.pos(), feed->nextWindow());
            setWatch();
        }
        tokenAt = lexer.pos();
        const Lexer::Word kind = lexer.nextWord(word);
        if (lexer.pos() >= watch && cut()) [[unlikely]]
            continue;
        if (kind == Lexer::Word::Number) {
            operands_.push_back({Operand::Kind::Number, 0, static_cast<uint32_t>(word.data() - lexer.bytes().data()),
                                 static_cast<uint32_t>(word.size())});
        } else if (kind == Lexer::Word::Keyword) {
            if (feed && word == "BI") {
                // Inline image data is found by looking ahead as far as it goes.
                const size_t at = static_cast<size_t>(word.data() - lexer.bytes().data());
                drainPage(&lexer);
                setWatch();
                word = lexer.bytes().substr(at, word.size());
            }
            keyword(lexer, word, resources, formDepth);
            if (feed && (lexer.bytes().data() != feed->bytes().data() || lexer.bytes().size() != feed->bytes().size())) {
                lexer = Lexer(feed->bytes(), lexer.pos()); // a form drained the page
                setWatch();
            }
            // Paths and colours, most of a drawing, are passed without
            // being taken apart into operands.
            if (operands_.empty() && !stopped_)
                operators_ += static_cast<int64_t>(lexer.skipOperators(
                    kActedOn, std::min(watch, lexer.bytes().size()), limits_.maxOperators - operators_));
        } else if (kind == Lexer::Word::End) {
            break;
        } else {
            lexer.next(t);
            if (t.type == Token::Type::ArrayOpen) {
                const size_t bytes = operandBytes_.size(), items = arrayItems_.size();
                const Operand array = readArray(lexer, item_);
                if (lexer.pos() >= watch && cut()) [[unlikely]] {
                    operandBytes_.resize(bytes);
                    arrayItems_.resize(items);
                    continue;
                }
                operands_.push_back(array);
            } else if (t.type == Token::Type::DictOpen) {
                Object o;
                parseObject(lexer, t, o);
                if (lexer.pos() >= watch && cut()) [[unlikely]]
                    continue;
                Operand dict;
                if (o.isDict()) {
                    dict = {Operand::Kind::Dict, 0, static_cast<uint32_t>(operandDicts_.size())};
                    operandDicts_.push_back(std::move(o));
                }
                operands_.push_back(dict);
            } else {
                if (lexer.pos() >= watch && cut()) [[unlikely]]
                    continue;
                switch (t.type) {
                case Token::Type::String:
                    operands_.push_back(bytesOperand(Operand::Kind::String, t.text));
                    break;
                case Token::Type::Name:
                    operands_.push_back(bytesOperand(Operand::Kind::Name, t.text));
                    break;
                case Token::Type::Keyword: // a stray ')' or '>'
                    keyword(lexer, t.text, resources, formDepth);
                    break;
                default:
                    break; // a stray closing bracket or brace
                }
            }
        }
        if (operands_.size() >= kMaxOperands)
            dropOlderOperands();
    }
    content_ = outer;
}

// Runs an operator; true, false and null are operands.
void Interpreter::keyword(Lexer& lexer, std::string_view word, const Object& resources, int formDepth)
{
    if (word.size() >= 4 && (word == "true" || word == "false" || word == "null")) {
        operands_.emplace_back();
        return;
    }
    if (++operators_ > limits_.maxOperators) {
        stopped_ = true;
        return;
    }
    if (word.size() <= 3) {
        uint32_t code = 0;
        for (size_t i = 0; i < word.size(); ++i)
            code |= static_cast<uint32_t>(static_cast<uint8_t>(word[i])) << (8 * i);
        if (code == op("BI"))
            skipInlineImage(lexer);
        else if (kActedOn.holds(word))
            execute(code, resources, formDepth);
    }
    clearOperands();
}

Operand Interpreter::bytesOperand(Operand::Kind kind, std::string_view bytes)
{
    Operand o{kind, 0, static_cast<uint32_t>(operandBytes_.size()), static_cast<uint32_t>(bytes.size())};
    operandBytes_ += bytes;
    return o;
}

// An array operand, read as the object parser reads arrays, keeping only
// what a TJ shows: "num gen R" is a reference, not two numbers; a keyword
// inside is dropped; one that ends an object ends the array.
Operand Interpreter::readArray(Lexer& lexer, Token& item)
{
    const size_t first = arrayItems_.size();
    std::string_view word;
    for (;;) {
        const Lexer::Word kind = lexer.nextWord(word);
        if (kind == Lexer::Word::Number) {
            bool integer = false;
            const double value = numberValue(word, integer);
            if (!integer)
                arrayItems_.push_back({Operand::Kind::Number, std::isfinite(value) ? value : 0});
            else if (!startsReference(lexer, value))
                arrayItems_.push_back({Operand::Kind::Number, value});
            continue;
        }
        if (kind == Lexer::Word::Keyword) {
            if (word == "endobj" || word == "stream") {
                lexer.setPos(static_cast<size_t>(word.data() - lexer.bytes().data()));
                break;
            }
            continue;
        }
        if (kind == Lexer::Word::End)
            break;
        lexer.next(item);
        if (item.type == Token::Type::ArrayClose)
            break;
        switch (item.type) {
        case Token::Type::String:
            arrayItems_.push_back(bytesOperand(Operand::Kind::String, item.text));
            continue;
        case Token::Type::ArrayOpen:
        case Token::Type::DictOpen: {
            Object nested; // shows nothing, but must be read past
            if (!parseObject(lexer, item, nested, 1)) {
                arrayItems_.resize(first);
                return {}; // nested too deep: the array is lost
            }
            continue;
        }
        case Token::Type::DictClose:
            lexer.setPos(item.start); // a damaged array ends where its object does
            break;
        case Token::Type::Keyword: // a stray ')' or '>'
            continue;
        default:
            continue; // names and braces show nothing
        }
        break;
    }
    return {Operand::Kind::Array, 0, static_cast<uint32_t>(first), static_cast<uint32_t>(arrayItems_.size() - first)};
}

// Whether the integer `num` of an array, just read, begins "num gen R": a
// reference, read past whole. Otherwise the lexer stays after the integer.
bool Interpreter::startsReference(Lexer& lexer, double num)
{
    if (!(num >= 0 && num <= INT32_MAX))
        return false;
    const size_t after = lexer.pos();
    std::string_view word;
    bool integer = false;
    if (lexer.nextWord(word) == Lexer::Word::Number) {
        const double gen = numberValue(word, integer);
        if (integer && gen >= 0 && gen <= INT32_MAX && lexer.nextWord(word) == Lexer::Word::Keyword && word == "R")
            return true;
    }
    lexer.setPos(after);
    return false;
}

// Operands beyond kMaxOperands before an operator are damage: the older half
// goes, and with it what it held, so that memory stays bounded.
void Interpreter::dropOlderOperands()
{
    operands_.erase(operands_.begin(), operands_.begin() + kMaxOperands / 2);
    std::string bytes;
    std::vector<Operand> items;
    std::vector<Object> dicts;
    auto keepBytes = [&](Operand& o) {
        std::string_view b = bytesOf(o);
        o.start = static_cast<uint32_t>(bytes.size());
        bytes += b;
    };
    for (Operand& o : operands_) {
        if (o.kind == Operand::Kind::String || o.kind == Operand::Kind::Name) {
            keepBytes(o);
        } else if (o.kind == Operand::Kind::Array) {
            const size_t start = items.size();
            for (uint32_t i = 0; i < o.size; ++i) {
                Operand item = arrayItems_[o.start + i];
                if (item.kind == Operand::Kind::String)
                    keepBytes(item);
                items.push_back(item);
            }
            o.start = static_cast<uint32_t>(start);
        } else if (o.kind == Operand::Kind::Dict) {
            dicts.push_back(std::move(operandDicts_[o.start]));
            o.start = static_cast<uint32_t>(dicts.size() - 1);
        }
    }
    operandBytes_ = std::move(bytes);
    arrayItems_ = std::move(items);
    operandDicts_ = std::move(dicts);
}

void Interpreter::execute(uint32_t code, const Object& resources, int formDepth)
{
    switch (code) {
    case op("BT"):
        tm_ = tlm_ = Matrix();
        break;
    case op("Tf"):
        if (operands_.size() >= 2 && operands_[operands_.size() - 2].kind == Operand::Kind::Name)
            setFont(resources, bytesOf(operands_[operands_.size() - 2]), number(1));
        break;
    case op("Tj"):
        if (lastIs(Operand::Kind::String))
            show(bytesOf(operands_.back()));
        break;
    case op("TJ"):
        if (lastIs(Operand::Kind::Array))
            showArray(operands_.back());
        break;
    case op("'"):
        moveLine(0, -gs_.leading);
        if (lastIs(Operand::Kind::String))
            show(bytesOf(operands_.back()));
        break;
    case op("\""):
        if (operands_.size() >= 3 && lastIs(Operand::Kind::String)) {
            gs_.wordSpace = number(3);
            gs_.charSpace = number(2);
            moveLine(0, -gs_.leading);
            show(bytesOf(operands_.back()));
        }
        break;
    case op("Td"):
        if (numbers(2))
            moveLine(number(2), number(1));
        break;
    case op("TD"):
        if (numbers(2)) {
            gs_.leading = -number(1);
            moveLine(number(2), number(1));
        }
        break;
    case op("T*"):
        moveLine(0, -gs_.leading);
        break;
    case op("Tm"):
        if (numbers(6)) {
            Matrix m{number(6), number(5), number(4), number(3), number(2), number(1)};
            if (m.finite())
                tm_ = tlm_ = m;
        }
        break;
    case op("TL"):
        if (numbers(1))
            gs_.leading = number(1);
        break;
    case op("Tc"):
        if (numbers(1))
            gs_.charSpace = number(1);
        break;
    case op("Tw"):
        if (numbers(1))
            gs_.wordSpace = number(1);
        break;
    case op("Tz"):
        if (numbers(1))
            gs_.horizontalScale = number(1) / 100;
        break;
    case op("Ts"):
        if (numbers(1))
            gs_.rise = number(1);
        break;
    case op("q"):
        if (saved_.size() < static_cast<size_t>(limits_.maxStateDepth))
            saved_.push_back(gs_);
        else
            ++droppedSaves_;
        break;
    case op("Q"):
        if (droppedSaves_ > 0) {
            --droppedSaves_;
        } else if (saved_.size() > savedBase_) {
            gs_ = saved_.back();
            saved_.pop_back();
        }
        break;
    case op("cm"):
        if (numbers(6)) {
            Matrix m = Matrix{number(6), number(5), number(4), number(3), number(2), number(1)}.times(gs_.ctm);
            if (m.finite())
                gs_.ctm = m;
        }
        break;
    case op("Do"):
        if (lastIs(Operand::Kind::Name)) {
            std::string name(bytesOf(operands_.back())); // the form's own operands replace it
            drawForm(resources, name, formDepth);
        }
        break;
    case op("BMC"):
        clearOperands();
        beginMarked(resources);
        break;
    case op("BDC"):
        beginMarked(resources);
        break;
    case op("EMC"):
        endMarked();
        break;
    default:
        break; // paths, colours, images and the rest draw no text
    }
}

void Interpreter::moveLine(double x, double y)
{
    Matrix m = tlm_;
    m.translate(x, y);
    if (m.finite())
        tm_ = tlm_ = m;
}

void Interpreter::setFont(const Object& resources, std::string_view name, double size)
{
    gs_.fontSize = std::isfinite(size) ? size : 0;
    const Dict* dict = &resources.dictValue();
    if (dict != fontResources_ || name != fontName_) {
        Object fontDict = objects_.resolve(resources.dictValue().get("Font"));
        fontFound_ = fonts_.font(fontDict.dictValue().get(name));
        fontResources_ = dict;
        fontName_ = name;
    }
    gs_.font = fontFound_;
}

void Interpreter::show(std::string_view bytes)
{
    const Font* font = gs_.font;
    if (!font)
        return;
    const bool vertical = font->vertical();
    const double scale = font->fontMatrixScale();
    const double size = gs_.fontSize;
    // Within one string only the origin moves: direction and size hold.
    Matrix m = tm_.times(gs_.ctm);
    PlacedText p;
    if (vertical) {
        p.direction = unit(-m.c, -m.d);
        p.size = std::fabs(size) * length(m.a, m.b);
    } else {
        p.direction = gs_.horizontalScale < 0 ? unit(-m.a, -m.b) : unit(m.a, m.b);
        p.size = std::fabs(size) * length(m.c, m.d);
    }
    // Each glyph's text, start and end in turn, false after the last; the
    // layout takes a string at once (its glyphs follow each other).
    auto showEach = [&](auto&& next) {
        if (inActualText_) {
            while (next(p))
                place(p.text, p);
        } else {
            layout_.addString(p, next);
        }
    };
    if (const Font::ByteTable table = font->byteTable(); table.text && !vertical) {
        // As below, without a call per glyph.
        // The state in locals: the layout's writes could otherwise change
        // it as far as the compiler knows, and have it read again per glyph.
        const double charSpace = gs_.charSpace, wordSpace = gs_.wordSpace, horizontalScale = gs_.horizontalScale;
        Matrix tm = tm_;
        size_t i = 0;
        // Inlined, as the loop it is: the matrices then stay in registers
        // rather than behind the lambda's references.
        showEach([&](PlacedText& g) __attribute__((always_inline)) {
            if (i == bytes.size())
                return false;
            const auto c = static_cast<uint8_t>(bytes[i++]);
            const double spacing = charSpace + (c == 32 ? wordSpace : 0);
            const double advance = (table.widths[c] * scale * size + spacing) * horizontalScale;
            g.start = {m.e, m.f};
            tm.translate(advance, 0);
            m.translate(advance, 0);
            g.end = {m.e, m.f};
            g.text = table.text[c];
            return true;
        });
        tm_ = tm;
    } else {
        size_t pos = 0;
        showEach([&](PlacedText& g) __attribute__((always_inline)) {
            if (pos >= bytes.size())
                return false;
            const Glyph glyph = font->glyphAt(bytes, pos, glyphText_);
            pos += std::max<size_t>(glyph.codeLength, 1); // a font that took no byte still ends
            const double spacing = gs_.charSpace + (glyph.wordSpace ? gs_.wordSpace : 0);
            const double advance = vertical ? -std::fabs(glyph.width) * scale * size + spacing
                                            : (glyph.width * scale * size + spacing) * gs_.horizontalScale;
            g.start = {m.e, m.f};
            if (vertical) {
                tm_.translate(0, advance);
                m.translate(0, advance);
            } else {
                tm_.translate(advance, 0);
                m.translate(advance, 0);
            }
            g.end = {m.e, m.f};
            g.text = glyph.text;
            return true;
        });
    }
    if (!tm_.finite())
        tm_ = tlm_;
}

void Interpreter::place(std::u32string_view text, PlacedText& p)
{
    if (inActualText_) {
        if (!actualPlaced_) {
            actualPlace_ = p;
            actualPlaced_ = true;
        }
        actualPlace_.end = p.end;
        return;
    }
    p.text = text;
    layout_.add(p);
}

void Interpreter::showArray(const Operand& array)
{
    const Font* font = gs_.font;
    if (!font)
        return;
    const bool vertical = font->vertical();
    for (uint32_t i = 0; i < array.size; ++i) {
        const Operand& item = arrayItems_[array.start + i];
        if (item.kind == Operand::Kind::String) {
            show(bytesOf(item));
        } else {
            double shift = -item.number / 1000 * gs_.fontSize;
            if (vertical)
                tm_.translate(0, shift);
            else
                tm_.translate(shift * gs_.horizontalScale, 0);
            if (!tm_.finite())
                tm_ = tlm_;
        }
    }
}

void Interpreter::beginMarked(const Object& resources)
{
    if (marked_.size() >= static_cast<size_t>(limits_.maxMarkedDepth)) {
        ++droppedMarked_;
        return;
    }
    bool actual = false;
    if (!inActualText_ && !operands_.empty()) {
        Object properties;
        if (lastIs(Operand::Kind::Name)) {
            Object all = objects_.resolve(resources.dictValue().get("Properties"));
            properties = objects_.resolve(all.dictValue().get(bytesOf(operands_.back())));
        } else if (lastIs(Operand::Kind::Dict)) {
            properties = operandDicts_[operands_.back().start];
        }
        Object text = objects_.resolve(properties.dictValue().get("ActualText"));
        if (text.isString()) {
            actual = true;
            inActualText_ = true;
            actualText_ = decodeTextString(text.text());
            actualPlaced_ = false;
        }
    }
    marked_.push_back(actual);
}

void Interpreter::endMarked()
{
    if (droppedMarked_ > 0) {
        --droppedMarked_;
        return;
    }
    if (marked_.empty())
        return;
    bool actual = marked_.back();
    marked_.pop_back();
    if (actual)
        flushActualText();
}

// The replacement text of a span stands where its first glyph did; a span
// that drew nothing stands at the current text position.
void Interpreter::flushActualText()
{
    if (!inActualText_)
        return;
    inActualText_ = false;
    if (!actualPlaced_) {
        Matrix m = tm_.times(gs_.ctm);
        actualPlace_ = {};
        actualPlace_.start = actualPlace_.end = {m.e, m.f};
        actualPlace_.direction = unit(m.a, m.b);
        actualPlace_.size = std::fabs(gs_.fontSize) * length(m.c, m.d);
    }
    actualPlace_.text = actualText_;
    layout_.add(actualPlace_);
}

void Interpreter::drawForm(const Object& resources, const std::string& name, int formDepth)
{
    if (formDepth >= limits_.maxFormDepth)
        return;
    Object xobjects = objects_.resolve(resources.dictValue().get("XObject"));
    const Object& entry = xobjects.dictValue().get(name);
    Object form = objects_.resolve(entry);
    const Stream* stream = form.streamValue();
    if (!stream || !form.dictValue().get("Subtype").isName("Form"))
        return; // images hold no text
    Ref ref = entry.isRef() ? entry.refValue() : stream->ref;
    for (const Ref& active : activeForms_)
        if (ref.num != 0 && active == ref)
            return; // a form that draws itself
    drainPage(nullptr); // the page's whole size counts
    const int64_t remaining = limits_.maxContentBytes - contentBytes_ - (feed_ ? feed_->total() : 0);
    if (remaining <= 0) {
        stopped_ = true;
        return;
    }
    std::string scratch;
    const std::string* data = nullptr;
    uint64_t key = static_cast<uint64_t>(static_cast<uint32_t>(ref.num)) << 32 | static_cast<uint32_t>(ref.gen);
    if (ref.num != 0) {
        auto found = formData_.find(key);
        if (found == formData_.end()) {
            auto bytes = objects_.streamData(form, static_cast<size_t>(remaining));
            found = formData_.emplace(key, bytes ? std::move(*bytes) : std::string()).first;
        }
        data = &found->second;
    } else {
        if (auto bytes = objects_.streamData(form, static_cast<size_t>(remaining)))
            scratch = std::move(*bytes);
        data = &scratch;
    }
    if (static_cast<int64_t>(data->size()) > remaining) {
        stopped_ = true;
        return;
    }

    Matrix matrix;
    const Object& m = form.dictValue().get("Matrix");
    if (m.isArray() && m.arrayValue().size() == 6) {
        const Array& v = m.arrayValue();
        Matrix candidate{v[0].number(), v[1].number(), v[2].number(), v[3].number(), v[4].number(), v[5].number()};
        if (candidate.finite())
            matrix = candidate;
    }
    Object own = objects_.resolve(form.dictValue().get("Resources"));
    const Object& formResources = own.isDict() ? own : pageResources_;

    // The form runs in a state of its own: what it changes stays inside it.
    GraphicsState outerState = gs_;
    Matrix outerTm = tm_, outerTlm = tlm_;
    size_t outerBase = savedBase_, outerSaved = saved_.size();
    int64_t outerDropped = droppedSaves_;
    Matrix ctm = matrix.times(gs_.ctm);
    if (ctm.finite())
        gs_.ctm = ctm;
    savedBase_ = saved_.size();
    droppedSaves_ = 0;
    activeForms_.push_back(ref);
    clearOperands();
    run(*data, formResources, formDepth + 1);
    activeForms_.pop_back();
    saved_.resize(outerSaved);
    savedBase_ = outerBase;
    droppedSaves_ = outerDropped;
    gs_ = outerState;
    tm_ = outerTm;
    tlm_ = outerTlm;
}

// Inline image data is binary: it ends at the "EI" that follows its
// declared or computed length, or else at the first "EI" standing alone and
// followed by what reads as content again.
void Interpreter::skipInlineImage(Lexer& lexer)
{
    int64_t length = -1, width = 0, height = 0, bits = 8, components = -1;
    bool filtered = false, mask = false;
    Token t;
    for (int i = 0; i < kMaxInlineImageEntries; ++i) {
        lexer.next(t);
        if (t.type == Token::Type::End)
            return;
        if (t.isKeyword("ID"))
            break;
        if (t.type != Token::Type::Name)
            continue;
        std::string key = std::move(t.text);
        Token v;
        lexer.next(v);
        if (v.isKeyword("ID"))
            break;
        Object value;
        parseObject(lexer, v, value);
        if (key == "L" || key == "Length")
            length = value.isInt() ? value.intValue() : -1;
        else if (key == "F" || key == "Filter")
            filtered = !value.isNull() && !(value.isArray() && value.arrayValue().empty());
        else if (key == "W" || key == "Width")
            width = value.intValue();
        else if (key == "H" || key == "Height")
            height = value.intValue();
        else if (key == "BPC" || key == "BitsPerComponent")
            bits = value.intValue();
        else if (key == "IM" || key == "ImageMask")
            mask = value.boolValue();
        else if (key == "CS" || key == "ColorSpace")
            components = componentsOf(value);
    }
    std::string_view bytes = lexer.bytes();
    size_t start = lexer.pos();
    if (start < bytes.size() && isPdfWhite(static_cast<uint8_t>(bytes[start])))
        ++start;
    if (mask) {
        components = 1;
        bits = 1;
    }
    int64_t expected = -1;
    if (length >= 0)
        expected = length;
    else if (!filtered && components > 0 && width > 0 && height > 0 && bits > 0 && bits <= 16 && width < (1 << 24)
             && height < (1 << 24))
        expected = (width * components * bits + 7) / 8 * height;
    const size_t from = expected >= 0 && static_cast<uint64_t>(expected) <= bytes.size() - start
                            ? start + static_cast<size_t>(expected)
                            : start;

    auto endsHere = [&](size_t p) {
        if (p > start && p != from && !isPdfWhite(static_cast<uint8_t>(bytes[p - 1])))
            return false;
        size_t q = p + 2;
        if (q < bytes.size() && !isPdfWhite(static_cast<uint8_t>(bytes[q])) && !isPdfDelimiter(static_cast<uint8_t>(bytes[q])))
            return false;
        // What follows must read as content up to its first string.
        for (size_t k = q; k < bytes.size() && k < q + 48; ++k) {
            uint8_t c = static_cast<uint8_t>(bytes[k]);
            if (c == '(' || c == '<')
                break;
            if (c >= 0x80 || (c < 0x20 && !isPdfWhite(c)))
                return false;
        }
        return true;
    };
    auto find = [&](size_t p) -> size_t {
        while ((p = bytes.find("EI", p)) != std::string_view::npos) {
            if (endsHere(p))
                return p + 2;
            ++p;
        }
        return std::string_view::npos;
    };
    size_t end = find(from);
    if (end == std::string_view::npos && from != start)
        end = find(start);
    lexer.setPos(end == std::string_view::npos ? bytes.size() : end);
}

} // namespace

int64_t interpretPage(ObjectSource& objects, FontSource& fonts, const Object& contents, const Object& resources,
                      TextLayout& layout, const ContentLimits& limits)
{
    Interpreter interpreter(objects, fonts, layout, limits);
    interpreter.runPage(contents, resources);
    return interpreter.contentBytes();
}

std::u32string decodeTextString(std::string_view bytes)
{
    std::u32string out;
    if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFE && static_cast<uint8_t>(bytes[1]) == 0xFF) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            char32_t u = static_cast<uint8_t>(bytes[i]) << 8 | static_cast<uint8_t>(bytes[i + 1]);
            if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
                char32_t low = static_cast<uint8_t>(bytes[i + 2]) << 8 | static_cast<uint8_t>(bytes[i + 3]);
                if (low >= 0xDC00 && low < 0xE000) {
                    out += 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                    continue;
                }
            }
            if (u < 0xD800 || u >= 0xE000)
                out += u;
        }
        return out;
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        for (size_t i = 3; i < bytes.size();) {
            uint8_t c = static_cast<uint8_t>(bytes[i]);
            int extra = c < 0x80 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
            if (extra < 0 || i + extra >= bytes.size()) {
                ++i; // a stray or cut byte
                continue;
            }
            char32_t u = extra == 0 ? c : c & (0x3F >> extra);
            for (int k = 1; k <= extra; ++k)
                u = u << 6 | (static_cast<uint8_t>(bytes[i + k]) & 0x3F);
            out += u;
            i += extra + 1;
        }
        return out;
    }
    for (char ch : bytes) {
        uint8_t c = static_cast<uint8_t>(ch);
        if (c >= 0x18 && c <= 0x1F)
            out += kPdfDocAccents[c - 0x18];
        else if (c >= 0x80 && c <= 0xA0) {
            if (kPdfDocHigh[c - 0x80])
                out += kPdfDocHigh[c - 0x80];
        } else
            out += c;
    }
    return out;
}

} // namespace pdf
