#include "engine/compress.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void getArrayBounds(const std::vector<uint8_t>& data, int32_t& lower, int32_t& upper)
{
    lower = 0;
    upper = data.empty() ? 0 : static_cast<int32_t>(data.size() - 1);
}

int32_t uncompressBytes(std::vector<uint8_t>& data, int32_t outSize)
{
    int32_t lb, ub;
    getArrayBounds(data, lb, ub);
    if (ub <= lb)
        return Z_OK;
    std::vector<uint8_t> out;
    size_t produced = 0;
    if (!inflateLikeUncompress(data.data(), data.size(), 0, static_cast<size_t>(outSize) + 1, out, produced))
        return Z_DATA_ERROR; // data stays as it was
    out.resize(produced);
    data = std::move(out);
    return Z_OK;
}

bool inflateLikeUncompress(const uint8_t* data, size_t size, uint64_t zeroTail, size_t limit,
                           std::vector<uint8_t>& buffer, size_t& produced)
{
    Inflater inflater;
    return inflater.inflate(data, size, zeroTail, limit, buffer, produced);
}

uint32_t adler32Of(const uint8_t* data, size_t size)
{
    constexpr uint32_t kBase = 65521;
    uint64_t s1 = 1, s2 = 0;
#if defined(__SSE2__)
    // Blocks of up to 347 runs of sixteen bytes, with no sum overflowing its
    // 32 bits. For a block of L bytes b[j]: s1 += sum b[j], and
    // s2 += L * s1 + sum (L - j) * b[j], where (L - j) is sixteen for every
    // whole run after b[j]'s (the sums of the runs before each run, added up)
    // plus (16 - i) for b[j] at place i of its run.
    constexpr size_t kRunsPerBlock = 347;
    const __m128i zero = _mm_setzero_si128();
    const __m128i weightsLow = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
    const __m128i weightsHigh = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
    while (size >= 16) {
        const size_t runs = std::min(size / 16, kRunsPerBlock);
        __m128i sums = zero, sumsBefore = zero, weighted = zero;
        for (size_t r = 0; r < runs; ++r) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * r));
            sumsBefore = _mm_add_epi32(sumsBefore, sums);
            sums = _mm_add_epi32(sums, _mm_sad_epu8(v, zero));
            weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpacklo_epi8(v, zero), weightsLow));
            weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), weightsHigh));
        }
        auto total = [](__m128i x) {
            uint32_t lanes[4];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), x);
            return uint64_t{lanes[0]} + lanes[1] + lanes[2] + lanes[3];
        };
        const uint64_t length = 16 * runs;
        s2 = (s2 + length * s1 + 16 * total(sumsBefore) + total(weighted)) % kBase;
        s1 = (s1 + total(sums)) % kBase;
        data += length;
        size -= length;
    }
#endif
    while (size > 0) {
        const size_t n = std::min<size_t>(size, 5552); // zlib's bound: no overflow within it
        for (size_t i = 0; i < n; ++i) {
            s1 += data[i];
            s2 += s1;
        }
        s1 %= kBase;
        s2 %= kBase;
        data += n;
        size -= n;
    }
    return static_cast<uint32_t>(s2 << 16 | s1);
}

Inflater::Inflater() : zs_(std::make_unique<z_stream_s>()) {}

Inflater::~Inflater()
{
    if (ready_)
        inflateEnd(zs_.get());
}

bool Inflater::inflate(const uint8_t* data, size_t size, uint64_t zeroTail, size_t limit,
                       std::vector<uint8_t>& buffer, size_t& produced)
{
    static const uint8_t kZeros[4096] = {};
    static uint8_t nowhere;
    z_stream& zs = *zs_;
    if (!ready_) {
        zs = z_stream{};
        if (inflateInit(&zs) != Z_OK)
            return false;
        // The check value is worked out here, over the whole output at once,
        // faster than zlib does it piece by piece; zlib only reads it.
        inflateValidate(&zs, 0);
        ready_ = true;
    } else if (inflateReset(&zs) != Z_OK) {
        return false;
    }
    zs.next_in = nullptr;
    zs.avail_in = 0;
    zs.avail_out = 0;
    produced = 0;
    size_t fed = 0;
    uint64_t zerosLeft = zeroTail;
    int ret;
    for (;;) {
        if (zs.avail_out == 0) {
            if (produced < limit && produced == buffer.size())
                buffer.resize(std::min(limit, std::max<size_t>(65536, buffer.size() * 2)));
            size_t room = std::min(limit, buffer.size()) - produced;
            zs.next_out = room ? buffer.data() + produced : &nowhere; // full: inflate may still end the stream
            zs.avail_out = static_cast<uInt>(std::min<size_t>(room, 1u << 30));
        }
        if (zs.avail_in == 0) {
            if (fed < size) {
                size_t n = std::min<size_t>(size - fed, 1u << 30);
                zs.next_in = const_cast<Bytef*>(data + fed);
                zs.avail_in = static_cast<uInt>(n);
                fed += n;
            } else if (zerosLeft > 0) {
                size_t n = static_cast<size_t>(std::min<uint64_t>(zerosLeft, sizeof kZeros));
                zs.next_in = const_cast<Bytef*>(kZeros);
                zs.avail_in = static_cast<uInt>(n);
                zerosLeft -= n;
            }
        }
        uInt before = zs.avail_out;
        ret = ::inflate(&zs, Z_NO_FLUSH);
        produced += before - zs.avail_out;
        if (ret != Z_OK)
            break;
    }
    if (ret != Z_STREAM_END)
        return false;
    // The stream's last four bytes read are its check value, most significant
    // byte first; those past the data are zeros.
    uint32_t expected = 0;
    for (uLong at = zs.total_in - 4; at < zs.total_in; ++at)
        expected = expected << 8 | (at < size ? data[at] : 0);
    return adler32Of(buffer.data(), produced) == expected;
}
