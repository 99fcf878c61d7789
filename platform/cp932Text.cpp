#include <algorithm>
#include <cstdint>

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

std::string cp932TextOf(char32_t c)
{
    std::string out;
    if (c == 0)
        return std::string(1, '\0');
    if (uint16_t code = cp932CodeOf(c)) {
        appendCode(out, code);
        return out;
    }
    auto it = std::lower_bound(std::begin(kCompatForms), std::end(kCompatForms), c,
                               [](const CompatForm& f, char32_t key) { return f.c < key; });
    if (it == std::end(kCompatForms) || it->c != c)
        return {};
    for (uint16_t i = it->at; i < it->at + it->size; ++i) {
        uint16_t code = cp932CodeOf(kCompatText[i]);
        if (code == 0)
            return {};
        appendCode(out, code);
    }
    return out;
}

} // namespace platform
