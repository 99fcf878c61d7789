// What the readers of a page's content (the content interpreter, the font
// and CMap readers) need of a document: objects by reference and the decoded
// data of streams. The document reader implements it; tests implement it
// over objects built in memory.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "engine/extended/pdfObject.h"

namespace pdf {

// A stream's decoded data read a piece at a time.
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

class ObjectSource {
public:
    virtual ~ObjectSource() = default;

    // The object a reference names, followed through chains of references;
    // null when it is missing, damaged or the chain loops. Any other object
    // is returned as it is.
    virtual Object resolve(const Object& object) = 0;

    // The data of a stream with its filters applied (and decrypted), at most
    // `limit` bytes; nothing when the stream cannot be decoded or is an image
    // format that holds no text. `limit` bounds memory for hostile files.
    virtual std::optional<std::string> streamData(const Object& stream, size_t limit) = 0;

    // The same bytes read a piece at a time, so that a stream of many
    // megabytes need not be held whole; nothing when streamData gives
    // nothing. Only one such reading at a time.
    virtual std::unique_ptr<StreamPieces> streamPieces(const Object& stream, size_t limit)
    {
        auto data = streamData(stream, limit);
        if (!data)
            return nullptr;
        return std::make_unique<WholeStream>(std::move(*data));
    }
};

} // namespace pdf
