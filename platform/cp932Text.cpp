#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/cp932.h"

namespace platform {
namespace {

// A character without a code of its own and its compatibility form, as
// makeCp932Compat writes them: the form is forms[at, at + size).
struct CompatForm {
    char32_t c;
    uint16_t at;
    uint8_t size;
};

#include "cp932_compat.inc"

void appendCode(std::string& out, uint16_t code)
{
    if (code >= 0x100)
        out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
}

} // namespace

void appendCp932TextOf(std::string& out, char32_t c)
{
    if (c == 0) {
        out += '\0';
        return;
    }
    if (uint16_t code = cp932CodeOf(c)) {
        appendCode(out, code);
        return;
    }
    auto it = std::lower_bound(std::begin(kCompatForms), std::end(kCompatForms), c,
                               [](const CompatForm& f, char32_t key) { return f.c < key; });
    if (it == std::end(kCompatForms) || it->c != c)
        return;
    const size_t before = out.size();
    for (uint16_t i = it->at; i < it->at + it->size; ++i) {
        uint16_t code = cp932CodeOf(kCompatText[i]);
        if (code == 0) {
            out.resize(before); // all of the form or nothing
            return;
        }
        appendCode(out, code);
    }
}

std::string cp932TextOf(char32_t c)
{
    std::string out;
    appendCp932TextOf(out, c);
    return out;
}

std::string utf8ToCp932Text(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        // ASCII but NUL is its own code page 932 byte: copied a run at a time.
        size_t ascii = i;
        for (uint64_t w; ascii + 8 <= utf8.size(); ascii += 8) { // eight bytes at once while all are such
            std::memcpy(&w, utf8.data() + ascii, 8);
            if ((w | (w - 0x0101010101010101ull)) & 0x8080808080808080ull)
                break; // a NUL or a byte of more than ASCII among them
        }
        while (ascii < utf8.size() && static_cast<uint8_t>(utf8[ascii] - 1) < 0x7F)
            ++ascii;
        out.append(utf8, i, ascii - i);
        i = ascii;
        if (i == utf8.size())
            break;
        // A character of three bytes with a code of its own (kana, kanji):
        // most of what is not ASCII, read here without a call per step.
        if (i + 2 < utf8.size()) {
            const auto b0 = static_cast<uint8_t>(utf8[i]), b1 = static_cast<uint8_t>(utf8[i + 1]),
                       b2 = static_cast<uint8_t>(utf8[i + 2]);
            if ((b0 & 0xF0) == 0xE0 && (b1 & 0xC0) == 0x80 && (b2 & 0xC0) == 0x80) {
                const char32_t c = (b0 & 0x0Fu) << 12 | (b1 & 0x3Fu) << 6 | (b2 & 0x3Fu);
                if (c >= 0x800 && (c < 0xD800 || c >= 0xE000)) {
                    if (const uint16_t code = cp932CodeOf(c)) {
                        appendCode(out, code);
                        i += 3;
                        continue;
                    }
                }
            }
        }
        char32_t c = nextUtf8(utf8, i);
        if (c >= 0xD800 && c < 0xDC00 && i < utf8.size()) {
            size_t next = i;
            char32_t low = nextUtf8(utf8, next);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i = next;
            }
        }
        appendCp932TextOf(out, c);
    }
    return out;
}

} // namespace platform
