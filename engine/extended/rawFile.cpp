#include "engine/extended/rawFile.h"

#include <algorithm>

#include "engine/extended/lexer.h"
#include "engine/p2tFileReadModule.h"
#include "platform/system.h"

namespace pdf {

namespace {

// Objects are read from a first slice of the file; one that does not end in
// it is read again from a slice twice as long, up to this.
constexpr size_t kFirstSlice = 4096;
constexpr size_t kLargestObject = size_t{256} << 20;

} // namespace

RawFile::RawFile(p2tReader& reader) : reader_(reader), parseBudget_(16 * reader.length() + (64 << 20)) {}

int64_t RawFile::length() const { return reader_.length(); }

std::string RawFile::read(int64_t offset, size_t n)
{
    std::string out;
    if (offset < 0 || offset >= length())
        return out;
    n = std::min(n, static_cast<size_t>(length() - offset));
    out.reserve(n);
    platform::preferLargePages(out.data(), out.capacity()); // a stream's data may run to megabytes
    out.resize(n);
    reader_.setPosition(offset);
    out.resize(reader_.readInto(reinterpret_cast<uint8_t*>(out.data()), n));
    return out;
}

std::string_view RawFile::view(int64_t offset, size_t n, std::string& scratch)
{
    if (offset < 0 || offset >= length())
        return {};
    n = std::min(n, static_cast<size_t>(length() - offset));
    reader_.setPosition(offset);
    std::string_view w = reader_.window();
    if (w.size() >= n)
        return w.substr(0, n);
    scratch = read(offset, n);
    return scratch;
}

Object RawFile::objectAt(int64_t offset, Ref& ref)
{
    std::string scratch;
    for (size_t slice = kFirstSlice;; slice *= 2) {
        if (parseBudget_ < 0)
            return {};
        std::string_view bytes = view(offset, slice, scratch);
        parseBudget_ -= static_cast<int64_t>(bytes.size());
        const bool whole = offset + static_cast<int64_t>(bytes.size()) >= length();
        Lexer lexer(bytes);
        Token num = lexer.next(), gen = lexer.next(), obj = lexer.next();
        if (num.type != Token::Type::Int || gen.type != Token::Type::Int || !obj.isKeyword("obj")
            || num.intValue < 0 || num.intValue > INT32_MAX || gen.intValue < 0 || gen.intValue > 65535)
            return {};
        ref = {static_cast<int32_t>(num.intValue), static_cast<int32_t>(gen.intValue)};
        Object value;
        Token first = lexer.next();
        bool ok = parseObject(lexer, first, value, 0);
        // An object cut by the slice's end is read again from a longer slice.
        Token after = lexer.next();
        if (after.type == Token::Type::End && !whole && slice < kLargestObject)
            continue;
        if (!ok)
            return {};
        if (value.isDict() && after.isKeyword("stream")) {
            // The data begins after the end of the line of "stream".
            size_t p = after.start + 6;
            if (p < bytes.size() && bytes[p] == '\r')
                ++p;
            if (p < bytes.size() && bytes[p] == '\n')
                ++p;
            Stream s;
            s.dict = value.sharedDict();
            s.offset = offset + static_cast<int64_t>(p);
            s.ref = ref;
            return Object::stream(std::move(s));
        }
        return value;
    }
}

std::string RawFile::streamBytes(const Stream& stream, int64_t declared, size_t limit)
{
    if (stream.offset < 0)
        return stream.data.substr(0, std::min(stream.data.size(), limit));
    const int64_t rest = length() - stream.offset;
    if (rest <= 0)
        return {};
    const int64_t most = static_cast<int64_t>(std::min<size_t>(limit, static_cast<size_t>(rest)));
    if (declared >= 0 && declared <= rest && declared <= most) {
        // The length is right when "endstream" follows, after an end of line:
        // the data and what follows it are read at once.
        std::string data = read(stream.offset, static_cast<size_t>(declared) + 32);
        size_t p = data.find_first_not_of("\r\n \t\f", static_cast<size_t>(declared));
        if (p != std::string::npos && data.compare(p, 9, "endstream") == 0) {
            data.resize(static_cast<size_t>(declared));
            return data;
        }
    }
    int64_t end = findEndstream(stream.offset, rest);
    if (end < 0)
        end = length();
    std::string data = read(stream.offset, static_cast<size_t>(std::min(end - stream.offset, most)));
    // The end of line before "endstream" is not data.
    if (static_cast<int64_t>(data.size()) == end - stream.offset) {
        if (!data.empty() && data.back() == '\n')
            data.pop_back();
        if (!data.empty() && data.back() == '\r')
            data.pop_back();
    }
    return data;
}

int64_t RawFile::findEndstream(int64_t offset, int64_t within)
{
    constexpr size_t kChunk = 64 * 1024;
    constexpr std::string_view kWord = "endstream";
    std::string scratch;
    for (int64_t at = offset; at < length() && at - offset < within; at += kChunk - kWord.size()) {
        if (parseBudget_ < 0)
            return -1;
        std::string_view bytes = view(at, kChunk, scratch);
        parseBudget_ -= static_cast<int64_t>(bytes.size());
        size_t hit = bytes.find(kWord);
        if (hit != std::string_view::npos)
            return at + static_cast<int64_t>(hit);
        if (bytes.size() < kChunk)
            break;
    }
    return -1;
}

} // namespace pdf
