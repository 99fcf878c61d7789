#include "engine/extended/textLayout.h"

#include <algorithm>
#include <cmath>

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
constexpr size_t kRecentGlyphs = 4096;
constexpr size_t kBuckets = 8192; // a power of two
constexpr int kMaxChainSteps = 32;

bool finite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

bool isSpace(char32_t c)
{
    return c == 0x20 || c == 0x09 || c == 0x0A || c == 0x0D || c == 0x0C || c == 0xA0 || c == 0x3000
           || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F;
}

// Control characters and zero-width marks write nothing.
bool isInvisible(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x200B || c == 0xFEFF; }

size_t bucketOf(int64_t cx, int64_t cy, char32_t first)
{
    uint64_t h = static_cast<uint64_t>(cx) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<uint64_t>(cy) * 0xC2B2AE3D27D4EB4Full + (h >> 29);
    h ^= static_cast<uint64_t>(first) * 0x165667B19E3779F9ull + (h >> 32);
    return static_cast<size_t>(h ^ (h >> 31)) & (kBuckets - 1);
}

// The cell of a coordinate; false far outside any page, where no glyph is
// looked up.
bool cellOf(double v, int64_t& cell)
{
    if (!(std::fabs(v) < 1e12))
        return false;
    cell = static_cast<int64_t>(std::floor(v / kDuplicateCell));
    return true;
}

double duplicateTolerance(const PlacedText& g)
{
    double t = kDuplicateShift * g.size;
    double advance = std::hypot(g.end.x - g.start.x, g.end.y - g.start.y);
    if (advance > 0)
        t = std::min(t, 0.4 * advance);
    return std::min(t, kDuplicateCell);
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

TextLayout::TextLayout(bool lineBreaks) : lineBreaks_(lineBreaks), recent_(kRecentGlyphs), bucketHead_(kBuckets, -1) {}

void TextLayout::add(const PlacedText& g)
{
    if (!finite(g.start) || !finite(g.end) || !std::isfinite(g.size)) {
        // Nowhere on any page: its text stands on a line of its own.
        pending_ = Gap::Break;
        hasPrevious_ = false;
        write(g.text);
        return;
    }
    char32_t first = g.text.empty() ? 0 : g.text[0];
    bool visible = first != 0 && !isSpace(first);
    if (visible && duplicate(g, first)) {
        previousEnd_ = g.end;
        return;
    }
    if (hasPrevious_) {
        double dx = g.start.x - previousEnd_.x, dy = g.start.y - previousEnd_.y;
        double along = dx * previousDirection_.x + dy * previousDirection_.y;
        double across = std::fabs(dx * previousDirection_.y - dy * previousDirection_.x);
        double turn = g.direction.x * previousDirection_.x + g.direction.y * previousDirection_.y;
        double lineSize = std::max(g.size, previousSize_);
        double size = g.size > 0 ? g.size : previousSize_;
        Gap gap = Gap::None;
        if (turn < kSameDirection || across > kLineShift * lineSize)
            gap = Gap::Break;
        else if (along > kSpaceGap * size || along < -kBackwardGap * size)
            gap = Gap::Space;
        pending_ = std::max(pending_, gap);
    }
    if (visible)
        remember(g, first);
    write(g.text);
    hasPrevious_ = true;
    previousEnd_ = g.end;
    previousDirection_ = g.direction;
    previousSize_ = g.size;
}

void TextLayout::write(std::u32string_view text)
{
    for (char32_t c : text) {
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
}

bool TextLayout::duplicate(const PlacedText& g, char32_t first)
{
    int64_t cx, cy;
    if (!cellOf(g.start.x, cx) || !cellOf(g.start.y, cy))
        return false;
    double tolerance = duplicateTolerance(g);
    const int64_t oldest = seq_ - static_cast<int64_t>(kRecentGlyphs);
    for (int64_t i = -1; i <= 1; ++i) {
        for (int64_t j = -1; j <= 1; ++j) {
            int64_t seq = bucketHead_[bucketOf(cx + i, cy + j, first)];
            for (int steps = 0; seq >= 0 && seq >= oldest && steps < kMaxChainSteps; ++steps) {
                const Recent& r = recent_[static_cast<size_t>(seq) % kRecentGlyphs];
                if (r.seq != seq)
                    break;
                if (r.first == first && r.length == g.text.size() && std::fabs(r.x - g.start.x) <= tolerance
                    && std::fabs(r.y - g.start.y) <= tolerance)
                    return true;
                seq = r.nextInBucket;
            }
        }
    }
    return false;
}

void TextLayout::remember(const PlacedText& g, char32_t first)
{
    int64_t cx, cy;
    if (!cellOf(g.start.x, cx) || !cellOf(g.start.y, cy))
        return;
    size_t bucket = bucketOf(cx, cy, first);
    Recent& r = recent_[static_cast<size_t>(seq_) % kRecentGlyphs];
    r = {g.start.x, g.start.y, first, static_cast<uint32_t>(g.text.size()), seq_, bucketHead_[bucket]};
    bucketHead_[bucket] = seq_;
    ++seq_;
}

std::string TextLayout::take()
{
    std::string page = std::move(out_);
    out_.clear();
    hasPrevious_ = false;
    pending_ = Gap::None;
    std::fill(bucketHead_.begin(), bucketHead_.end(), -1);
    seq_ = 0;
    return page;
}

} // namespace pdf
