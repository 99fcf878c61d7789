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
    return ret == Z_STREAM_END;
}
