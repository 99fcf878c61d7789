#include "platform/cp932.h"

#include <array>
#include <memory>

namespace platform {
namespace {

struct Entry {
    uint16_t code;
    uint16_t unicode;
};

constexpr Entry kDoubleByte[] = {
#include "cp932_table.inc"
};

// Made by the compiler: a program that converts a few file names pays no
// start-up for them, and only the pages it reads are loaded.
struct Tables {
    // Unicode (BMP) -> CP932 code; 0 means none. Single bytes are stored as is.
    std::array<uint16_t, 0x10000> encode{};
    // Lead byte 0x80-0xFF, trail byte 0x00-0xFF -> Unicode; 0 means none.
    std::array<uint16_t, 0x80 * 0x100> decode{};
    // One bit per double-byte code of decode: it comes back as itself.
    std::array<uint8_t, 0x80 * 0x100 / 8> asIs{};

    constexpr Tables()
    {
        for (unsigned b = 1; b < 0x80; ++b)
            encode[b] = static_cast<uint16_t>(b);
        for (unsigned b = 0xA1; b <= 0xDF; ++b)
            encode[0xFF61 + (b - 0xA1)] = static_cast<uint16_t>(b);
        for (const Entry& e : kDoubleByte) {
            if (encode[e.unicode] == 0)
                encode[e.unicode] = e.code;
            decode[((e.code >> 8) - 0x80) << 8 | (e.code & 0xFF)] = e.unicode;
        }
        for (unsigned i = 0; i < decode.size(); ++i)
            if (decode[i] != 0 && encode[decode[i]] == (0x8000 + i))
                asIs[i / 8] = static_cast<uint8_t>(asIs[i / 8] | 1u << (i % 8));
    }
};

constexpr Tables kTables;

constexpr const Tables& tables() { return kTables; }

bool isLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void appendCp932(std::string& out, char32_t c)
{
    uint16_t code = c < 0x10000 ? tables().encode[c] : 0;
    if (c == 0)
        out += '\0';
    else if (code == 0)
        out += '?';
    else if (code < 0x100)
        out += static_cast<char>(code);
    else {
        out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
    }
}

// Decodes one CP932 character at bytes[i]; undecodable bytes give '?'.
char32_t nextCp932(std::string_view bytes, size_t& i)
{
    auto b = static_cast<uint8_t>(bytes[i++]);
    if (isLeadByte(b)) {
        if (i >= bytes.size())
            return '?';
        auto t = static_cast<uint8_t>(bytes[i]);
        uint16_t u = tables().decode[(b - 0x80) << 8 | t];
        if (u == 0)
            return '?';
        ++i;
        return u;
    }
    char32_t c = cp932SingleByte(b);
    return c == kNoCharacter ? U'?' : c;
}

} // namespace

char32_t cp932SingleByte(uint8_t b)
{
    if (b < 0x80)
        return b;
    if (b >= 0xA1 && b <= 0xDF)
        return 0xFF61 + (b - 0xA1);
    return kNoCharacter;
}

bool hasCp932Form(char32_t c) { return c == 0 || (c < 0x10000 && tables().encode[c] != 0); }

uint16_t cp932CodeOf(char32_t c)
{
    if (c < 0x10000 && tables().encode[c] != 0)
        return tables().encode[c];
    // JIS X 0208 as Unicode's own mapping has it, where the converter decodes
    // the same codes to other characters.
    switch (c) {
    case 0x00A2: return 0x8191; // cent sign
    case 0x00A3: return 0x8192; // pound sign
    case 0x00AC: return 0x81CA; // not sign
    case 0x2212: return 0x817C; // minus sign
    case 0x301C: return 0x8160; // wave dash
    case 0x2016: return 0x8161; // double vertical line
    case 0x2014: return 0x815C; // em dash
    default: return 0;
    }
}

std::string toCp932(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        appendCp932(out, c);
    }
    return out;
}

std::u16string fromCp932(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();)
        out += static_cast<char16_t>(nextCp932(bytes, i));
    return out;
}

namespace {

// Each character that next decodes from text, in code page 932.
template <class Next>
std::string eachToCp932(std::string_view text, Next next)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();)
        appendCp932(out, next(text, i));
    return out;
}

} // namespace

bool cp932RoundTripsAsIs(std::string_view bytes)
{
    for (size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        if (b < 0x80 || (b >= 0xA1 && b <= 0xDF)) {
            ++i;
            continue;
        }
        if (!isLeadByte(b) || i + 1 == bytes.size())
            return false;
        const unsigned index = (b - 0x80u) << 8 | static_cast<uint8_t>(bytes[i + 1]);
        if (!(tables().asIs[index / 8] >> (index % 8) & 1))
            return false;
        i += 2;
    }
    return true;
}

std::string cp932RoundTrip(std::string_view bytes)
{
    if (cp932RoundTripsAsIs(bytes))
        return std::string(bytes);
    // Decoding gives no surrogates (every character of the code page lies in
    // the BMP outside them), so each character goes back on its own.
    return eachToCp932(bytes, nextCp932);
}

std::string utf8ToCp932(std::string_view utf8) { return eachToCp932(utf8, nextUtf8); }

std::string cp932ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    for (size_t i = 0; i < bytes.size();)
        appendUtf8(out, nextCp932(bytes, i));
    return out;
}

std::u16string utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        char32_t c = nextUtf8(utf8, i);
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        appendUtf8(out, c);
    }
    return out;
}

char32_t nextUtf8(std::string_view text, size_t& i)
{
    auto b = static_cast<uint8_t>(text[i++]);
    if (b < 0x80)
        return b;
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
    if (extra < 0 || b >= 0xF8)
        return 0xFFFD;
    char32_t c = b & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || (static_cast<uint8_t>(text[i]) & 0xC0) != 0x80)
            return 0xFFFD;
        c = c << 6 | (static_cast<uint8_t>(text[i++]) & 0x3F);
    }
    return c;
}

} // namespace platform
