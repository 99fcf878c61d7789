// Decoding the strings of content streams: bytes to characters, string
// operands, CID hex strings, and Flate data.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/p2tCIDModule.h"
#include "engine/p2tFileReadModule.h"

struct p2tEngine;

// The character each byte stands for on its own, one character per byte:
// ASCII and half-width katakana keep their byte; any other byte becomes a
// space. The result is code page 932 bytes, one per input byte.
std::string p2tByteData2Str(p2tEngine& eng, const std::vector<uint8_t>& data);
constexpr char p2tByteChar(uint8_t b)
{
    // Bytes with no character of their own in the code page keep a space.
    return (b < 0x80 || (b >= 0xA1 && b <= 0xDF)) ? static_cast<char>(b) : ' ';
}

// Text made a piece at a time. Room is made without clearing it (the pieces
// are written straight into it) and kept when the text is cleared: the text
// of every content stream of a file is made in one buffer.
class TextBuffer {
public:
    std::string_view view() const { return {data_.get(), size_}; }
    size_t size() const { return size_; }
    char* data() { return data_.get(); }
    void clear() { size_ = 0; }
    void append(std::string_view bytes)
    {
        std::memcpy(room(bytes.size()), bytes.data(), bytes.size());
        size_ += bytes.size();
    }
    // Where n more bytes can be written after the text; resize() then takes
    // in those written.
    char* room(size_t n)
    {
        if (n > capacity_ - size_)
            grow(size_ + n);
        return data_.get() + size_;
    }
    void resize(size_t n) { size_ = n; } // no more than the room made

private:
    void grow(size_t atLeast);
    std::unique_ptr<char[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// The text of all string operands on one line (code page 932 bytes).
std::string p2tStringOperands2Str(const CidTable& table, std::string_view line);
// The same for the line's bytes followed by suffix, each byte taken as its own
// character (p2tByteChar), appended to out, without NULs when dropNul.
void p2tAppendStringOperands(const CidTable& table, std::string_view line, std::string_view suffix, TextBuffer& out,
                             bool dropNul);
// Calls lineEnd(i) for each i where bytes[i] is CR or LF, in order. The
// bytes are searched eight or sixteen at a time.
template <class LineEnd>
void p2tForEachLineEnd(std::string_view bytes, LineEnd&& lineEnd)
{
    // The top bit of each byte of v that is zero, without carries between bytes.
    constexpr uint64_t kOnes = 0x0101010101010101ULL, kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    auto zeros = [](uint64_t v) { return ~(((v & kLow7) + kLow7) | v | kLow7); };
    const size_t n = bytes.size();
    size_t i = 0;
#if defined(__SSE2__)
    // Sixteen bytes a step where the processor has the instructions for it.
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    for (; i + 16 <= n; i += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
        auto ends = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
        for (; ends != 0; ends &= ends - 1)
            lineEnd(i + static_cast<size_t>(std::countr_zero(ends)));
    }
#endif
    for (; i + 8 <= n; i += 8) {
        uint64_t x;
        std::memcpy(&x, bytes.data() + i, sizeof x);
        if constexpr (std::endian::native == std::endian::big)
            x = __builtin_bswap64(x); // the first byte in the lowest bits
        for (uint64_t ends = zeros(x ^ (kOnes * '\r')) | zeros(x ^ (kOnes * '\n')); ends != 0; ends &= ends - 1)
            lineEnd(i + static_cast<size_t>(std::countr_zero(ends)) / 8);
    }
    for (; i < n; ++i)
        if (bytes[i] == '\r' || bytes[i] == '\n')
            lineEnd(i);
}

std::string p2tHexCID2Str(const CidTable& table, std::string_view hexDigits);
std::string_view p2tCID2Str(const CidTable& table, int32_t cid);

// Inflates a "/FlateDecode" stream; sets eng.flateFailed. The bytes lie in
// the engine's inflate buffer and stay valid until the next call.
std::string_view p2tFlateDecode(p2tEngine& eng, p2tBytesView data, int32_t dataSize);
