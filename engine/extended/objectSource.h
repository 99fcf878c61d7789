// What the readers of a page's content (the content interpreter, the font
// and CMap readers) need of a document: objects by reference and the decoded
// data of streams. The document reader implements it; tests implement it
// over objects built in memory.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "engine/extended/pdfObject.h"
#include "engine/extended/streamPieces.h"

namespace pdf {

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
