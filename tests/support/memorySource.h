// An ObjectSource over objects written in PDF syntax in memory, for the
// tests of the extended reader's font and content readers, and text as UTF-8.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "engine/extended/lexer.h"
#include "engine/extended/objectSource.h"

namespace testing_support {

// One object from its PDF syntax ("<< /A 1 >>", "[1 0 R]").
inline pdf::Object pdfObject(std::string_view text)
{
    pdf::Lexer lexer(text);
    pdf::Object o;
    pdf::parseObject(lexer, o);
    return o;
}

// A stream: its dictionary's syntax and its (already decoded) data.
inline pdf::Object pdfStream(std::string_view dict, std::string data)
{
    pdf::Stream s;
    s.dict = std::make_shared<pdf::Dict>(pdfObject(dict).dictValue());
    s.data = std::move(data);
    return pdf::Object::stream(std::move(s));
}

// Code points as UTF-8, to compare and print them.
inline std::string utf8Of(const std::u32string& s)
{
    std::string out;
    for (char32_t c : s) {
        if (c < 0x80)
            out += char(c);
        else if (c < 0x800)
            out += {char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
        else if (c < 0x10000)
            out += {char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
        else
            out += {char(0xF0 | c >> 18), char(0x80 | (c >> 12 & 0x3F)), char(0x80 | (c >> 6 & 0x3F)),
                    char(0x80 | (c & 0x3F))};
    }
    return out;
}

class MemorySource : public pdf::ObjectSource {
public:
    std::map<int, pdf::Object> objects; // by object number, generation 0

    void add(int num, pdf::Object o) { objects[num] = std::move(o); }
    void add(int num, std::string_view text) { objects[num] = pdfObject(text); }

    pdf::Object resolve(const pdf::Object& object) override
    {
        pdf::Object o = object;
        for (int hops = 0; o.isRef(); ++hops) {
            auto it = objects.find(o.refValue().num);
            if (hops > 32 || it == objects.end())
                return {};
            o = it->second;
        }
        return o;
    }
    std::optional<std::string> streamData(const pdf::Object& stream, size_t limit) override
    {
        const pdf::Stream* s = stream.streamValue();
        if (!s)
            return std::nullopt;
        return s->data.substr(0, limit);
    }
};

} // namespace testing_support
