// CMaps: the code space of a font's strings, codes to CIDs (the font's
// encoding CMap) and codes to Unicode (ToUnicode, and the CID-to-Unicode
// tables of the character collections). Ranges are kept as ranges, so a
// range over four-byte codes costs one entry, and every count read from the
// data is bounded.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pdf {

class CMap;

// Finds the CMap a "usecmap" (or a font's /UseCMap) names, `depth` levels
// below the first: the predefined CMaps. Null when there is none.
using CMapResolver = std::function<std::shared_ptr<const CMap>(std::string_view name, int depth)>;

// CMaps using CMaps using CMaps... deeper than this are not followed: a loop
// or a hostile chain ends here.
inline constexpr int kMaxCMapDepth = 8;

class CMap {
public:
    struct Code {
        uint32_t value = 0;
        uint8_t length = 1; // 1 to 4 bytes
    };

    // Reads a CMap (its PostScript-like text). Never fails: what cannot be
    // read is left out. `depth` counts the CMaps above this one in a usecmap
    // chain.
    static std::shared_ptr<const CMap> parse(std::string_view bytes, const CMapResolver& resolver = {},
                                             int depth = 0);
    // The same with a base CMap the font's stream dictionary names
    // (/UseCMap): its mappings come first, this CMap's own override them.
    static std::shared_ptr<const CMap> parse(std::string_view bytes, const CMap* base,
                                             const CMapResolver& resolver, int depth);
    // Identity-H and Identity-V: two-byte codes, each its own CID.
    static std::shared_ptr<const CMap> identity(bool vertical);

    // The code at `pos` (< bytes.size()), as the code space ranges split it.
    // Bytes that match no range take the length of the range that matches
    // the most of their first bytes; no ranges at all: two-byte codes.
    Code nextCode(std::string_view bytes, size_t pos) const;

    // The CID of a code (cidrange, cidchar, notdefrange); none if unmapped.
    std::optional<uint32_t> cid(uint32_t code) const;
    // The text of a code (bfchar, bfrange): a view into the CMap, or into
    // `scratch` for a code inside a range; empty when the CMap does not map it.
    std::u32string_view textOf(uint32_t code, std::u32string& scratch) const;
    // The same appended to `out`; false, and nothing appended, when unmapped.
    bool text(uint32_t code, std::u32string& out) const;

    bool vertical() const { return vertical_; }
    const std::string& name() const { return name_; }
    bool hasCodeSpace() const { return !codeSpace_.empty(); }
    bool hasText() const { return !text_.empty(); }
    bool hasCids() const { return !cids_.empty(); }
    // Code lengths used by the code space ranges (bit n-1 for n bytes).
    unsigned codeLengths() const;

    struct CodeRange {
        uint8_t length = 0;
        uint8_t low[4] = {};
        uint8_t high[4] = {};
    };
    struct CidRange {
        uint32_t low, high, cid; // `low` is CID `cid`, the next one more
        bool same = false;       // notdef ranges: every code the same CID
    };
    struct TextRange {
        uint32_t low, high;
        uint32_t text;  // index in texts_, when `single` is 0
        uint32_t shift; // added to the last character of the text for `low`
        // The text when it is one character other than U+0000 (most are),
        // which texts_ then does not hold; 0 otherwise.
        char32_t single = 0;
    };

    // Where a lookup starts among sorted ranges: for each block of 2^shift
    // codes, the first range reaching into it. A character collection's
    // thousands of ranges then cost a lookup a few reads, not a search
    // through all of them.
    struct RangeIndex {
        unsigned shift = 0;
        std::vector<uint32_t> first; // empty: few ranges, searched whole
    };

private:
    friend class CMapBuilder;
    std::string name_;
    bool vertical_ = false;
    std::vector<CodeRange> codeSpace_;
    std::vector<CidRange> cids_;   // sorted, disjoint
    std::vector<TextRange> text_;  // sorted, disjoint
    std::vector<std::u32string> texts_;
    RangeIndex cidIndex_;
    RangeIndex textIndex_;
};

// Reads UTF-16BE bytes (a bfchar destination) into code points: surrogate
// pairs joined, lone surrogates dropped. An odd length reads each byte as a
// character (writers put single bytes there).
std::u32string utf16Text(std::string_view bytes);

} // namespace pdf
