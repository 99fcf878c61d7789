// Build-time generator of "AdobeCID.dat": the text of Adobe-Japan1 CIDs 1 to
// 15443 in code page 932, one line each (CR LF), compressed as one zlib stream.
//
// The characters come from the CMap "Adobe-Japan1-UCS2" (CID -> Unicode),
// each written as platform::cp932TextOf gives it: its own code page 932 form,
// the JIS form Japanese text means by it, or its compatibility form (a
// vertical bracket becomes the bracket, a ligature its letters, a squared unit
// its letters). A CID with a character that has none of these gives no text.
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QTextStream>

#include <zlib.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/cp932.h"

namespace {

constexpr int kLastCid = 15443;
constexpr size_t kMaxText = 500000; // the most the program inflates the file to

// UTF-16 hex digits ("d849de09") -> code points.
std::u32string decodeHex(const QString& hex)
{
    std::u16string units;
    for (int i = 0; i + 4 <= hex.size(); i += 4)
        units += static_cast<char16_t>(hex.mid(i, 4).toUInt(nullptr, 16));
    std::u32string out;
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        out += c;
    }
    return out;
}

std::string lineFor(const std::u32string& text)
{
    std::string line;
    for (char32_t c : text) {
        std::string part = platform::cp932TextOf(c);
        if (part.empty())
            return {};
        line += part;
    }
    return line;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: makeAdobeCID CMAP OUTPUT\n");
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "makeAdobeCID: cannot read %s\n", argv[1]);
        return 1;
    }
    std::map<int, std::u32string> unicodeOf;
    QTextStream lines(&in);
    enum { None, Char, Range } mode = None;
    static const QRegularExpression hexToken("<([0-9a-fA-F]+)>");
    while (!lines.atEnd()) {
        QString line = lines.readLine().trimmed();
        if (line.endsWith("beginbfchar")) { mode = Char; continue; }
        if (line.endsWith("beginbfrange")) { mode = Range; continue; }
        if (line.startsWith("endbf")) { mode = None; continue; }
        if (mode == None)
            continue;
        QStringList hex;
        for (auto m = hexToken.globalMatch(line); m.hasNext();)
            hex << m.next().captured(1);
        if (mode == Char && hex.size() == 2) {
            unicodeOf[hex[0].toInt(nullptr, 16)] = decodeHex(hex[1]);
        } else if (mode == Range && hex.size() == 3) {
            int first = hex[0].toInt(nullptr, 16), last = hex[1].toInt(nullptr, 16);
            std::u32string base = decodeHex(hex[2]);
            for (int cid = first; cid <= last && !base.empty(); ++cid) {
                std::u32string u = base;
                u.back() += static_cast<char32_t>(cid - first);
                unicodeOf[cid] = u;
            }
        }
    }
    if (unicodeOf.size() < 10000) {
        std::fprintf(stderr, "makeAdobeCID: %s does not look like the Adobe-Japan1-UCS2 CMap\n", argv[1]);
        return 1;
    }
    std::string text;
    for (int cid = 1; cid <= kLastCid; ++cid) {
        auto it = unicodeOf.find(cid);
        if (it != unicodeOf.end())
            text += lineFor(it->second);
        text += "\r\n";
    }
    if (text.size() > kMaxText) {
        std::fprintf(stderr, "makeAdobeCID: the text is %zu bytes, more than the %zu the program loads\n", text.size(),
                     kMaxText);
        return 1;
    }
    std::vector<unsigned char> packed(compressBound(text.size()));
    uLongf packedSize = packed.size();
    if (compress2(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(text.data()), text.size(), 9) != Z_OK)
        return 1;
    FILE* out = std::fopen(argv[2], "wb");
    if (!out || std::fwrite(packed.data(), 1, packedSize, out) != packedSize || std::fclose(out) != 0) {
        std::fprintf(stderr, "makeAdobeCID: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
