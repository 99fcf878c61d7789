// Inflating zlib data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>


// One-shot inflate of data into at most outSize + 1 bytes; on success data is
// replaced by the inflated bytes. Returns zlib's result code (0 = success).
// Arrays of fewer than two bytes are left as they are and give 0.
int32_t uncompressBytes(std::vector<uint8_t>& data, int32_t outSize);

// The lower and upper index of a byte array (0 and 0 when it is empty).
void getArrayBounds(const std::vector<uint8_t>& data, int32_t& lower, int32_t& upper);

// Inflates size bytes of data followed by zeroTail zero bytes, as zlib's
// one-shot uncompress would into a buffer of limit bytes: true when the zlib
// stream ends within the input and within limit, the inflated bytes then
// being the first `produced` bytes of buffer. The buffer is reused from call
// to call and grows only as output is produced, and the zeros are fed as they
// are needed, so the cost follows what the data holds rather than the sizes
// asked for.
bool inflateLikeUncompress(const uint8_t* data, size_t size, uint64_t zeroTail, size_t limit,
                           std::vector<uint8_t>& buffer, size_t& produced);

// The Adler-32 check value of size bytes, as zlib streams end with it.
uint32_t adler32Of(const uint8_t* data, size_t size);

struct z_stream_s;

// The same, keeping zlib's state from one stream to the next instead of
// setting it up anew for each of the thousands of streams of a book.
class Inflater {
public:
    Inflater();
    ~Inflater();
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    bool inflate(const uint8_t* data, size_t size, uint64_t zeroTail, size_t limit, std::vector<uint8_t>& buffer,
                 size_t& produced);

private:
    std::unique_ptr<z_stream_s> zs_;
    bool ready_ = false;
};
