// Inflating zlib data.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/p2tFileReadModule.h"

// One-shot inflate of data into at most outSize + 1 bytes; on success data is
// replaced by the inflated bytes. Returns zlib's result code (0 = success).
// Arrays of fewer than two bytes are left as they are and give 0.
int32_t uncompressBytes(std::vector<uint8_t>& data, int32_t outSize);

// The lower and upper index of a byte array (0 and 0 when it is empty).
void getArrayBounds(const std::vector<uint8_t>& data, int32_t& lower, int32_t& upper);

// Inflates input (its bytes, then its zero tail) as zlib's one-shot
// uncompress would into a buffer of limit bytes: true and the inflated bytes
// when the zlib stream ends within the input and within limit. The output
// grows as it is produced, and the zeros are fed lazily, so the cost follows
// what the data really holds rather than the sizes asked for.
bool inflateLikeUncompress(const p2tBytes& input, size_t limit, std::vector<uint8_t>& out);
