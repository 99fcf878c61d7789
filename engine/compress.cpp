#include "engine/compress.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

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
    p2tBytes input;
    input.bytes = data; // a copy: on failure data must stay as it was
    std::vector<uint8_t> out;
    if (!inflateLikeUncompress(input, static_cast<size_t>(outSize) + 1, out))
        return Z_DATA_ERROR;
    data = std::move(out);
    return Z_OK;
}

bool inflateLikeUncompress(const p2tBytes& input, size_t limit, std::vector<uint8_t>& out)
{
    static const uint8_t kZeros[4096] = {};
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        return false;
    out.clear();
    size_t produced = 0;
    size_t realFed = 0;
    uint64_t zerosLeft = input.zeroTail;
    int ret = Z_OK;
    for (;;) {
        if (zs.avail_out == 0 && produced < limit) {
            size_t grow = std::min(limit - produced, std::max<size_t>(16384, produced));
            out.resize(produced + grow);
            zs.next_out = out.data() + produced;
            zs.avail_out = static_cast<uInt>(grow);
        }
        if (zs.avail_in == 0) {
            if (realFed < input.bytes.size()) {
                size_t n = std::min<size_t>(input.bytes.size() - realFed, 1u << 30);
                zs.next_in = const_cast<Bytef*>(input.bytes.data() + realFed);
                zs.avail_in = static_cast<uInt>(n);
                realFed += n;
            } else if (zerosLeft > 0) {
                size_t n = static_cast<size_t>(std::min<uint64_t>(zerosLeft, sizeof kZeros));
                zs.next_in = const_cast<Bytef*>(kZeros);
                zs.avail_in = static_cast<uInt>(n);
                zerosLeft -= n;
            }
        }
        if (zs.avail_out == 0 && out.size() == 0) {
            // limit 0: give inflate a place to write nothing into.
            static uint8_t dummy;
            zs.next_out = &dummy;
        }
        uInt before = zs.avail_out;
        ret = inflate(&zs, Z_NO_FLUSH);
        produced += before - zs.avail_out;
        if (ret != Z_OK)
            break;
    }
    inflateEnd(&zs);
    out.resize(produced);
    if (ret != Z_STREAM_END) {
        out.clear();
        return false;
    }
    return true;
}
