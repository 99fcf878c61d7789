#include "engine/extended/textLayout.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace pdf {

namespace {

// Fractions of the font size, chosen on real documents: TeX's kerning stays
// under a tenth of an em and its narrowest word space is above a fifth; a
// line moves by a whole line height, a superscript by a third of one; a
// move back by more than a third of an em starts a new word.
constexpr double kSpaceGap = 0.15;
constexpr double kBackwardGap = 0.3;
constexpr double kLineShift = 0.5;
// Writing directions closer than this (cosine) are the same line's.
constexpr double kSameDirection = 0.95;

// A glyph drawn again within a tenth of an em of itself is the same glyph:
// fake bold and shadows offset a copy by less, while two neighbouring
// letters are at least their width apart.
constexpr double kDuplicateShift = 0.1;
constexpr double kDuplicateCell = 4; // user space units; tolerances never exceed it
// Glyphs are bucketed by rows of that height and columns a quarter as wide:
// labels drawn over each other share rows, and narrow columns keep the
// chains a lookup walks short.
constexpr double kDuplicateColumn = kDuplicateCell / 4;
constexpr size_t kBuckets = 4096; // a power of two
constexpr int kMaxChainSteps = 32;
// Text held before it goes to the sink.
constexpr size_t kHandOverAt = 64 * 1024;

bool finite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

bool isSpace(char32_t c)
{
    if (c <= 0x20)
        return c == 0x20 || c == 0x09 || c == 0x0A || c == 0x0D || c == 0x0C;
    return c >= 0xA0
           && (c == 0xA0 || c == 0x3000 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F
               || c == 0x205F);
}

// Control characters and zero-width marks write nothing.
bool isInvisible(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x200B || c == 0xFEFF; }

// A bucket by cell and first character; the row's part apart, since the
// glyphs of a line share it.
uint64_t rowKey(int64_t cy) { return static_cast<uint64_t>(cy) * 0xC2B2AE3D27D4EB4Full; }

size_t bucketOf(int64_t cx, uint64_t row, char32_t first)
{
    uint64_t h = static_cast<uint64_t>(cx) * 0x9E3779B97F4A7C15ull;
    h ^= row + (h >> 29);
    h ^= static_cast<uint64_t>(first) * 0x165667B19E3779F9ull + (h >> 32);
    return static_cast<size_t>(h ^ (h >> 31)) & (kBuckets - 1);
}

// The cell of a coordinate; false far outside any page, where no glyph is
// looked up.
constexpr double kFarAway = kLayoutFarAway;


// The cell of a coordinate within kFarAway.
int64_t cellNear(double v, double size = kDuplicateCell)
{
    // Rounded down without a call to floor: once per glyph.
    const double q = v / size;
    const auto cell = static_cast<int64_t>(q);
    return static_cast<double>(cell) > q ? cell - 1 : cell;
}

bool cellOf(double v, int64_t& cell, double size = kDuplicateCell)
{
    if (!(std::fabs(v) < kFarAway))
        return false;
    cell = cellNear(v, size);
    return true;
}

double duplicateTolerance(const PlacedText& g)
{
    double t = kDuplicateShift * g.size;
    double dx = g.end.x - g.start.x, dy = g.end.y - g.start.y;
    double advance = std::sqrt(dx * dx + dy * dy);
    if (advance > 0)
        t = std::min(t, 0.4 * advance);
    return std::min(t, kDuplicateCell);
}

// The combining form of an accent drawn as a glyph of its own; 0 for
// anything else.
char32_t combiningMark(char32_t c)
{
    switch (c) {
    case 0x60: case 0x2CB: return 0x300;
    case 0xB4: case 0x2CA: return 0x301;
    case 0x5E: case 0x2C6: return 0x302;
    case 0x7E: case 0x2DC: return 0x303;
    case 0xAF: case 0x2C9: return 0x304;
    case 0x2D8: return 0x306;
    case 0x2D9: return 0x307;
    case 0xA8: return 0x308;
    case 0x2DA: return 0x30A;
    case 0x2DD: return 0x30B;
    case 0x2C7: return 0x30C;
    case 0xB8: return 0x327;
    case 0x2DB: return 0x328;
    default: return c >= 0x300 && c <= 0x36F ? c : 0;
    }
}

// Whether an accent stands over a letter: its middle within the letter's
// advance, and not more than an em above or below it.
bool over(const PlacedText& accent, Point letterStart, Point letterEnd, Point direction, double size)
{
    double mx = (accent.start.x + accent.end.x) / 2 - letterStart.x;
    double my = (accent.start.y + accent.end.y) / 2 - letterStart.y;
    double along = mx * direction.x + my * direction.y;
    double across = std::fabs(mx * direction.y - my * direction.x);
    double length = (letterEnd.x - letterStart.x) * direction.x + (letterEnd.y - letterStart.y) * direction.y;
    double slack = 0.1 * size;
    return along >= -slack && along <= length + slack && across <= size;
}

} // namespace

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        if (c >= 0xD800 && c <= 0xDFFF)
            return;
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c <= 0x10FFFF) {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

TextLayout::TextLayout(bool lineBreaks, TextSink sink) : lineBreaks_(lineBreaks), sink_(std::move(sink))
{
    forgetClosedSpan();
}

// An empty span, which no glyph is near.
void TextLayout::forgetClosedSpan()
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    closedSpan_ = {inf, -inf, inf, -inf};
}

void TextLayout::addOther(const PlacedText& g)
{
    addAnyway(g);
    quick_ = hasPrevious_ && followable_ && !repeating_ && !accentHeld_ && pending_ != Gap::Break;
}

void TextLayout::addAnyway(const PlacedText& g)
{
    char32_t mark = 0;
    if (g.text.size() == 1) {
        const char32_t c = g.text[0];
        if (c >= 0x5E && !(c > 0x60 && c < 0x7E)) // below and among the small letters no accent stands
            mark = combiningMark(c);
    }
    if (mark && std::isfinite(g.size) && finite(g.start) && finite(g.end)) {
        if (hasPrevious_ && pending_ == Gap::None && !out_.empty()
            && over(g, previousStart_, previousEnd_, previousDirection_, g.size)) {
            appendUtf8(out_, mark); // drawn after its letter
            return;
        }
        flushAccent();
        accentHeld_ = true;
        accent_ = g;
        accentText_.assign(g.text);
        accent_.text = accentText_;
        accentMark_ = mark;
        return;
    }
    if (accentHeld_) {
        if (!g.text.empty() && finite(g.start) && finite(g.end) && over(accent_, g.start, g.end, g.direction, g.size)) {
            accentHeld_ = false;
            place(g);
            if (pending_ == Gap::None)
                appendUtf8(out_, accentMark_);
            return;
        }
        flushAccent();
    }
    place(g);
}

void TextLayout::flushAccent()
{
    if (accentHeld_) {
        accentHeld_ = false;
        place(accent_);
    }
}

void TextLayout::startRecent(const PlacedText& g)
{
    recent_.resize(kRecentGlyphs);
    bucketHead_.assign(kBuckets, -1);
    runs_.resize(kRuns);
    open_ = {g.start.y, g.start.x, g.start.x, seq_};
}

// A glyph off the open run's baseline: the run is closed, the glyph opens
// the next.
void TextLayout::closeRun(const PlacedText& g)
{
    if (seq_ > pageStart_) { // it holds glyphs of this page
        closedSpan_.minX = std::min(closedSpan_.minX, open_.minX);
        closedSpan_.maxX = std::max(closedSpan_.maxX, open_.maxX);
        closedSpan_.minY = std::min(closedSpan_.minY, open_.y);
        closedSpan_.maxY = std::max(closedSpan_.maxY, open_.y);
    }
    runs_[runNext_] = open_;
    runNext_ = (runNext_ + 1) % kRuns;
    runsClosed_ = std::min(runsClosed_ + 1, kRuns);
    open_ = {g.start.y, g.start.x, g.start.x, seq_};
}

// Numbers run on from page to page; when they would overflow they start
// again, forgetting what was drawn before.
void TextLayout::restartNumbers()
{
    seq_ = 0;
    indexed_ = 0;
    pageStart_ = 0;
    std::fill(bucketHead_.begin(), bucketHead_.end(), -1);
    runsClosed_ = 0;
    open_.firstSeq = 0;
}

void TextLayout::place(const PlacedText& g)
{
    const char32_t first = g.text.empty() ? 0 : g.text[0];
    Gap gap = Gap::None;
    bool mayRepeat;
    if (hasPrevious_ && followable_ && g.start.x == previousEnd_.x && g.start.y == previousEnd_.y
        && g.size == previousSize_ && g.direction.x == previousDirection_.x && g.direction.y == previousDirection_.y
        && finite(g.end)) {
        // Drawn just where the one before ended, the same way: no gap, and
        // a repeat only after a repeat. Most glyphs come so.
        mayRepeat = repeating_;
    } else {
        if (!finite(g.start) || !finite(g.end) || !std::isfinite(g.size)) {
            // Nowhere on any page: its text stands on a line of its own.
            pending_ = Gap::Break;
            hasPrevious_ = false;
            write(g.text);
            return;
        }
        // Only a glyph that does not simply follow the one before can be
        // drawn over an earlier one, or one that follows a glyph drawn twice.
        mayRepeat = !hasPrevious_ || repeating_;
        if (hasPrevious_) {
            double dx = g.start.x - previousEnd_.x, dy = g.start.y - previousEnd_.y;
            double along = dx * previousDirection_.x + dy * previousDirection_.y;
            double across = std::fabs(dx * previousDirection_.y - dy * previousDirection_.x);
            double turn = g.direction.x * previousDirection_.x + g.direction.y * previousDirection_.y;
            double lineSize = std::max(g.size, previousSize_);
            double size = g.size > 0 ? g.size : previousSize_;
            if (turn < kSameDirection || across > kLineShift * lineSize)
                gap = Gap::Break;
            else if (along > kSpaceGap * size || along < -kBackwardGap * size)
                gap = Gap::Space;
            mayRepeat = mayRepeat || gap != Gap::None || along < -0.01 * size || across > 0.01 * size;
        }
    }
    const bool visible = first != 0 && !isSpace(first);
    if (!visible && first != 0 && repeating_) {
        // A space within text drawn again: the redraw's own, written only
        // before new text.
        spaceInRepeat_ = true;
        previousEnd_ = g.end;
        return;
    }
    repeating_ = visible && mayRepeat && duplicate(g, first);
    if (repeating_) {
        previousEnd_ = g.end;
        return;
    }
    if (spaceInRepeat_) {
        spaceInRepeat_ = false;
        gap = std::max(gap, Gap::Space);
    }
    pending_ = std::max(pending_, gap);
    if (visible)
        remember(g, first);
    if (g.text.size() == 1 && first > 0x20 && first < 0x7F && pending_ == Gap::None)
        out_ += static_cast<char>(first); // as write() would, in short
    else
        write(g.text);
    previousStart_ = g.start;
    previousEnd_ = g.end;
    if (!hasPrevious_ || g.size != previousSize_ || g.direction.x != previousDirection_.x
        || g.direction.y != previousDirection_.y) {
        hasPrevious_ = true;
        previousDirection_ = g.direction;
        previousSize_ = g.size;
        // What the gap rules make of a glyph starting where this one ends.
        const double turn = g.direction.x * g.direction.x + g.direction.y * g.direction.y;
        followable_ = std::isfinite(turn) && turn >= kSameDirection && g.size >= 0;
    }
}

void TextLayout::write(std::u32string_view text)
{
    for (char32_t c : text) {
        if (c > 0x20 && c < 0x7F && pending_ == Gap::None) {
            out_ += static_cast<char>(c); // the common case, in short
            continue;
        }
        if (isSpace(c)) {
            pending_ = std::max(pending_, Gap::Space);
            continue;
        }
        if (isInvisible(c))
            continue;
        if (pending_ != Gap::None && !out_.empty()) {
            bool lineBreak = pending_ == Gap::Break;
            if (lineBreak && out_.back() == ' ')
                out_.pop_back();
            if (lineBreak && lineBreaks_)
                out_ += "\r\n";
            else if (out_.back() != ' ' && out_.back() != '\n')
                out_ += ' ';
        }
        pending_ = Gap::None;
        appendUtf8(out_, c);
    }
    if (out_.size() >= kHandOverAt && sink_)
        handOver();
}

// All but the last character: what comes next may take back a space before
// a line break, or look at what it follows.
void TextLayout::handOver()
{
    size_t keep = out_.size() - 1;
    while (keep > 0 && (static_cast<uint8_t>(out_[keep]) & 0xC0) == 0x80)
        --keep;
    sink_(std::string_view(out_).substr(0, keep));
    out_.erase(0, keep);
    handedOver_ = true;
}

bool TextLayout::duplicate(const PlacedText& g, char32_t first)
{
    if (recent_.empty())
        return false;
    int64_t cx, cy;
    if (!cellOf(g.start.x, cx, kDuplicateColumn) || !cellOf(g.start.y, cy))
        return false;
    double tolerance = duplicateTolerance(g);
    const int32_t oldest = std::max(seq_ - static_cast<int32_t>(kRecentGlyphs), pageStart_);
    if (!mayBeNear(g, tolerance, oldest))
        return false;
    if (indexed_ != seq_)
        index();
    // The cells the tolerance reaches into (with room for the rounding to
    // float), as offsets from the glyph's own: a glyph within it lies in no
    // other.
    auto reach = [&](double v, int64_t cell, double size, int64_t& from, int64_t& to) {
        const double slack = tolerance + std::fabs(v) * 1e-6 + 1e-9;
        from = cellNear(v - slack, size) - cell;
        to = cellNear(v + slack, size) - cell;
    };
    int64_t fromX, toX, fromY, toY;
    reach(g.start.x, cx, kDuplicateColumn, fromX, toX);
    reach(g.start.y, cy, kDuplicateCell, fromY, toY);
    // The glyph's own cell first, then the nearer ones: a redraw is most
    // often found there, and the others are then not looked at.
    auto nearestFirst = [](int64_t from, int64_t to, auto&& visit) {
        if (visit(0))
            return true;
        for (int64_t k = 1; -k >= from || k <= to; ++k)
            if ((-k >= from && visit(-k)) || (k <= to && visit(k)))
                return true;
        return false;
    };
    auto inCell = [&](int64_t i, int64_t j) {
        int32_t seq = bucketHead_[bucketOf(cx + i, rowKey(cy + j), first)];
        for (int steps = 0; seq >= 0 && seq >= oldest && steps < kMaxChainSteps; ++steps) {
            const Recent& r = recent_[static_cast<size_t>(seq) % kRecentGlyphs];
            if (r.seq != seq)
                break;
            if (r.first == first && r.length == g.text.size()
                && std::fabs(static_cast<float>(r.x) - g.start.x) <= tolerance
                && std::fabs(static_cast<float>(r.y) - g.start.y) <= tolerance)
                return true;
            seq = r.nextInBucket;
        }
        return false;
    };
    return nearestFirst(fromX, toX, [&](int64_t i) {
        return nearestFirst(fromY, toY, [&](int64_t j) { return inCell(i, j); });
    });
}

// False when no glyph from `oldest` on can be within `tolerance` of the
// glyph, as duplicate() compares them (rounded to float, which keeps the
// order of the origins and so the span of a run); true when one may be, or
// when the runs kept do not reach back that far.
bool TextLayout::mayBeNear(const PlacedText& g, double tolerance, int32_t oldest) const
{
    auto near = [&](const Run& run) {
        return std::fabs(static_cast<float>(run.y) - g.start.y) <= tolerance
               && !(static_cast<float>(run.maxX) - g.start.x < -tolerance)
               && !(static_cast<float>(run.minX) - g.start.x > tolerance);
    };
    if (seq_ <= oldest)
        return false; // nothing remembered on this page
    if (near(open_))
        return true;
    if (static_cast<float>(closedSpan_.maxY) - g.start.y < -tolerance
        || static_cast<float>(closedSpan_.minY) - g.start.y > tolerance
        || static_cast<float>(closedSpan_.maxX) - g.start.x < -tolerance
        || static_cast<float>(closedSpan_.minX) - g.start.x > tolerance)
        return false; // nor any run closed on this page
    int32_t from = open_.firstSeq; // the first glyph of the run looked at last
    for (size_t i = 1; i <= runsClosed_ && from > oldest; ++i) {
        const Run& run = runs_[(runNext_ + kRuns - i) % kRuns];
        if (near(run))
            return true;
        from = run.firstSeq;
    }
    return from > oldest;
}

// Puts the glyphs remembered since the last lookup into their buckets, in
// the order they were drawn; those already overwritten in the window are
// beyond any lookup anyway.
void TextLayout::index()
{
    double rowY = 0;
    uint64_t row = rowKey(cellNear(rowY));
    // Those of earlier pages are beyond any lookup too: left out.
    for (int32_t seq = std::max({indexed_, seq_ - static_cast<int32_t>(kRecentGlyphs), pageStart_}); seq < seq_;
         ++seq) {
        Recent& r = recent_[static_cast<size_t>(seq) % kRecentGlyphs];
        if (r.y != rowY) {
            rowY = r.y;
            row = rowKey(cellNear(rowY));
        }
        size_t bucket = bucketOf(cellNear(r.x, kDuplicateColumn), row, r.first);
        r.nextInBucket = bucketHead_[bucket];
        bucketHead_[bucket] = seq;
    }
    indexed_ = seq_;
}

std::string TextLayout::take()
{
    flushAccent();
    std::string page = std::move(out_);
    out_.clear();
    tookText_ = handedOver_ || !page.empty();
    handedOver_ = false;
    hasPrevious_ = false;
    quick_ = false;
    pending_ = Gap::None;
    pageStart_ = seq_; // the glyphs before are forgotten without clearing the table
    forgetClosedSpan();
    repeating_ = false;
    spaceInRepeat_ = false;
    return page;
}

} // namespace pdf
