// Words and lines from where glyphs are drawn: the text of a page written the
// way its reader would type it, in the order the content draws it. A gap
// wider than a fraction of the font size is a space, a move off the baseline
// is a line break, kerning is nothing, and a glyph drawn again over itself
// (fake bold, shadows) is written once.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pdf {

struct Point {
    double x = 0;
    double y = 0;
};

// A glyph, or the replacement text of a marked span, as the page draws it:
// coordinates in the page's default user space.
struct PlacedText {
    std::u32string_view text; // empty: a glyph nothing maps (it still takes its place)
    Point start;              // origin on the baseline
    Point end;                // where the next glyph would start: start plus the advance
    Point direction;          // unit vector of the writing direction (down a column for vertical text)
    double size = 0;          // font size across the writing direction
};

// Where finished text goes while a page is read, as UTF-8 cut between
// characters: a page of millions of glyphs is then never held whole.
using TextSink = std::function<void(std::string_view)>;

class TextLayout {
public:
    // `lineBreaks` off: a space stands for every line break.
    explicit TextLayout(bool lineBreaks, TextSink sink = {});

    // Whether the glyph took the short way: addString() then gives the next
    // glyph of the string, which starts where this one ends, to
    // addFollowing().
    bool add(const PlacedText& glyph);
    // The glyphs of one string, each starting where the one before ended:
    // next(glyph) sets the text, start and end of the next one (`glyph`
    // keeps its direction and size) and answers false after the last. The
    // same as add() for each, with the short way's state held in locals
    // while glyph after glyph takes it.
    template <class Next>
    void addString(PlacedText& glyph, Next&& next);
    // The page's text not yet handed to the sink, as UTF-8 (no break at its
    // end); the layout then starts a new page.
    std::string take();
    // Whether the page last taken had any text, handed to the sink or not.
    bool tookText() const { return tookText_; }
    bool lineBreaks() const { return lineBreaks_; }

private:
    enum class Gap : uint8_t { None, Space, Break };

    // add() for a glyph that starts exactly where the last one added ended,
    // in its direction and size, after that one took the short way.
    bool addFollowing(const PlacedText& glyph);
    [[gnu::noinline]] void addOther(const PlacedText& glyph); // kept out of add(), whose short way then stays short
    bool addQuick(const PlacedText& glyph);
    // What the short way writes: printable ASCII but the accents, small
    // letters, CJK and Hangul.
    static bool shortWayCharacter(char32_t c)
    {
        return c - 0x20 < 0x5E - 0x20 || c - 0x61 < 0x7E - 0x61 || c - 0x3040 < 0xD800 - 0x3040;
    }
    void addAnyway(const PlacedText& glyph);
    [[gnu::noinline]] void startRecent(const PlacedText& glyph);
    [[gnu::noinline]] void closeRun(const PlacedText& glyph);
    void place(const PlacedText& glyph);
    void flushAccent();
    bool duplicate(const PlacedText& glyph, char32_t first);
    void remember(const PlacedText& glyph, char32_t first);
    // Writes a character the short way takes at `w` (room for four bytes),
    // after the space a pending gap asks for unless the text (from `begin`)
    // is empty or ends in one; gives the new end.
    static char* writeShortWay(char* w, const char* begin, char32_t c, Gap& pending)
    {
        if (pending == Gap::Space) {
            if (w > begin && w[-1] != ' ' && w[-1] != '\n')
                *w++ = ' ';
            pending = Gap::None;
        }
        if (c < 0x80) {
            *w++ = static_cast<char>(c);
        } else { // the short way's letters beyond ASCII: three bytes
            *w++ = static_cast<char>(0xE0 | (c >> 12));
            *w++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *w++ = static_cast<char>(0x80 | (c & 0x3F));
        }
        return w;
    }
    void restartNumbers();
    void forgetClosedSpan();
    bool mayBeNear(const PlacedText& glyph, double tolerance, int32_t oldest) const;
    void index();
    void write(std::u32string_view text);

    void handOver();

    bool lineBreaks_;
    TextSink sink_;
    std::string out_;
    bool handedOver_ = false; // some of this page's text went to the sink
    bool tookText_ = false;
    bool hasPrevious_ = false;
    Point previousStart_;
    Point previousEnd_;
    Point previousDirection_;
    double previousSize_ = 0;
    bool followable_ = false; // a glyph drawn where the previous one ended simply follows it
    bool quick_ = false;      // add() may take its short way: the state the way needs, worked out after each other glyph
    Gap pending_ = Gap::None;
    bool repeating_ = false; // the last glyph was drawn over an earlier one
    bool spaceInRepeat_ = false; // a space came after it, not yet written

    // An accent drawn over the letter that follows it (TeX draws accents
    // before their letter and moves back): held until that letter comes,
    // then written after it as a combining mark.
    bool accentHeld_ = false;
    PlacedText accent_;
    std::u32string accentText_;
    char32_t accentMark_ = 0;

    // Glyphs recently written, found by their place: a glyph drawn again over
    // itself is among the last few thousand, and a fixed window keeps a
    // million-glyph page in linear time and bounded memory. Glyphs are put
    // into the buckets only when a lookup comes, most of them in one go.
    struct Recent {
        double x = 0, y = 0; // bucketed as they are, compared rounded to float
        char32_t first = 0;
        uint32_t length = 0;
        int32_t seq = -1;
        int32_t nextInBucket = -1;
        // Holds the glyph numbered `number` (its chain is set when it is put in a bucket).
        void hold(Point start, char32_t firstChar, uint32_t textLength, int32_t number)
        {
            x = start.x;
            y = start.y;
            first = firstChar;
            length = textLength;
            seq = number;
        }
    };
    static constexpr size_t kRecentGlyphs = 2048;
    std::vector<Recent> recent_;
    std::vector<int32_t> bucketHead_;
    int32_t seq_ = 0;
    int32_t indexed_ = 0;   // glyphs before this one are in the buckets
    int32_t pageStart_ = 0; // the first glyph of this page

    // The same glyphs as runs on one baseline, with the span of their
    // origins: most lookups find no run near them and need no buckets at
    // all. The open run is kept apart; older ones in a small ring, and a
    // lookup reaching beyond them uses the buckets.
    struct Run {
        double y = 0, minX = 0, maxX = 0;
        int32_t firstSeq = 0;
    };
    static constexpr size_t kRuns = 64;
    Run open_;
    std::vector<Run> runs_; // ring of the runs closed, kRuns long once the first glyph comes
    size_t runsClosed_ = 0; // how many runs the ring holds, up to kRuns
    size_t runNext_ = 0;    // where the next closed run goes
    // The span of the runs closed on this page: a line below all before it
    // is answered here.
    struct Span {
        double minX = 0, maxX = 0, minY = 0, maxY = 0;
    };
    Span closedSpan_;
};

// Appends `c` to `out` as UTF-8; code points that are not characters
// (surrogates, beyond U+10FFFF) are left out.
void appendUtf8(std::string& out, char32_t c);

// Far outside any page: no glyph there is looked up.
inline constexpr double kLayoutFarAway = 1e12;

// Here, so that the interpreter's loop over a string takes the short way
// without a call.
inline bool TextLayout::add(const PlacedText& g)
{
    // Most glyphs are one printable character or a space drawn just where
    // the one before ended, the same way, after a glyph written once: all
    // the rules of addOther() then come to writing it and remembering where
    // it stands.
    if (quick_ && std::memcmp(&g.start, &previousEnd_, sizeof(Point)) == 0
        && std::memcmp(&g.direction, &previousDirection_, sizeof(Point)) == 0 && g.size == previousSize_
        && addQuick(g))
        return true;
    addOther(g);
    return false;
}

inline bool TextLayout::addFollowing(const PlacedText& g)
{
    if (addQuick(g))
        return true;
    addOther(g);
    return false;
}

// The short way for a glyph that follows the last one: taken when it is one
// character of those the short way knows and ends somewhere.
inline bool TextLayout::addQuick(const PlacedText& g)
{
    if (g.text.size() != 1)
        return false;
    const char32_t c = g.text[0];
    if (!shortWayCharacter(c) || !std::isfinite(g.end.x) || !std::isfinite(g.end.y))
        return false;
    if (c == 0x20) {
        pending_ = Gap::Space;
    } else {
        remember(g, c);
        const size_t used = out_.size();
        out_.resize(used + 4);
        out_.resize(static_cast<size_t>(writeShortWay(out_.data() + used, out_.data(), c, pending_) - out_.data()));
    }
    previousStart_ = g.start;
    previousEnd_ = g.end;
    return true;
}

template <class Next>
inline void TextLayout::addString(PlacedText& g, Next&& next)
{
    if (!next(g))
        return;
    bool follows = add(g);
    for (;;) {
        if (!follows) {
            if (!next(g))
                return;
            follows = add(g);
            continue;
        }
        // What the short way reads and changes, held here while glyph after
        // glyph takes it. A glyph that needs more (a new baseline, a place
        // far off, the end of the numbers or of the room made for the text)
        // goes to addFollowing() as it is, like one that cannot take it.
        const size_t used = out_.size();
        out_.resize(used + 256);
        char* const begin = out_.data();
        char* w = begin + used;
        char* const room = begin + out_.size() - 4;
        Recent* const ring = recent_.empty() ? nullptr : recent_.data();
        int32_t seq = seq_;
        const double y = open_.y;
        double minX = open_.minX, maxX = open_.maxX;
        Gap pending = pending_;
        Point start = previousStart_, end = previousEnd_;
        // Each glyph starts where the one before ended: an end near enough
        // (and so finite) is the next glyph's start near enough.
        auto near = [](Point q) { return std::fabs(q.x) < kLayoutFarAway && std::fabs(q.y) < kLayoutFarAway; };
        bool more = true;
        if (ring && near(end)) {
            while ((more = next(g)) && g.text.size() == 1 && w <= room) {
                const char32_t c = g.text[0];
                if (!shortWayCharacter(c) || !near(g.end))
                    break;
                if (c == 0x20) {
                    pending = Gap::Space;
                } else {
                    if (g.start.y != y || seq + 1 == INT32_MAX)
                        break;
                    maxX = std::max(maxX, g.start.x);
                    minX = std::min(minX, g.start.x);
                    ring[static_cast<size_t>(seq) % kRecentGlyphs].hold(g.start, c, 1, seq);
                    ++seq;
                    w = writeShortWay(w, begin, c, pending);
                }
                start = g.start;
                end = g.end;
            }
        } else {
            more = next(g);
        }
        out_.resize(static_cast<size_t>(w - begin));
        seq_ = seq;
        open_.minX = minX;
        open_.maxX = maxX;
        pending_ = pending;
        previousStart_ = start;
        previousEnd_ = end;
        if (!more)
            return;
        follows = addFollowing(g);
    }
}

inline void TextLayout::remember(const PlacedText& g, char32_t first)
{
    if (!(std::fabs(g.start.x) < kLayoutFarAway) || !(std::fabs(g.start.y) < kLayoutFarAway))
        return; // no lookup finds it
    if (recent_.empty()) [[unlikely]]
        startRecent(g);
    if (g.start.y == open_.y) {
        open_.maxX = std::max(open_.maxX, g.start.x);
        open_.minX = std::min(open_.minX, g.start.x);
    } else {
        closeRun(g);
    }
    recent_[static_cast<size_t>(seq_) % kRecentGlyphs].hold(g.start, first, static_cast<uint32_t>(g.text.size()), seq_);
    if (++seq_ == INT32_MAX) [[unlikely]]
        restartNumbers();
}

} // namespace pdf
