// A stream's decoded data handed out a piece at a time, so that a stream of
// many megabytes need not be held whole.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <utility>

namespace pdf {

class StreamPieces {
public:
    virtual ~StreamPieces() = default;
    // Up to `room` more bytes into `at`; 0 at the end.
    virtual size_t read(char* at, size_t room) = 0;
};

// Data decoded whole, handed out a piece at a time.
class WholeStream final : public StreamPieces {
public:
    explicit WholeStream(std::string data) : data_(std::move(data)) {}
    size_t read(char* at, size_t room) override
    {
        const size_t n = std::min(room, data_.size() - at_);
        std::memcpy(at, data_.data() + at_, n);
        at_ += n;
        return n;
    }

private:
    std::string data_;
    size_t at_ = 0;
};

} // namespace pdf
