// Build-time generator of the font tables (fontTables.h): the Adobe Glyph
// List and the ZapfDingbats names (Debian package aglfn), and the glyph
// widths and built-in encodings of the standard 14 fonts from the AFM files
// of their metric-compatible replacements (Debian package fonts-urw-base35).
//
// makeFontTables GLYPHLIST ZAPFDINGBATS AFMFOLDER OUTPUT.cpp
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Named {
    std::string name;
    std::vector<unsigned long> text;
};

bool readGlyphList(const std::string& path, std::vector<Named>& out)
{
    std::ifstream in(path);
    if (!in)
        return false;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        size_t semi = line.find(';');
        if (semi == std::string::npos)
            continue;
        Named n{line.substr(0, semi), {}};
        std::istringstream codes(line.substr(semi + 1));
        std::string hex;
        while (codes >> hex)
            n.text.push_back(std::stoul(hex, nullptr, 16));
        if (!n.text.empty())
            out.push_back(std::move(n));
    }
    std::sort(out.begin(), out.end(), [](const Named& a, const Named& b) { return a.name < b.name; });
    return !out.empty();
}

struct Glyph {
    std::string name;
    int code;
    int width;
};

bool readAfm(const std::string& path, std::vector<Glyph>& out)
{
    std::ifstream in(path);
    if (!in)
        return false;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("C ", 0) != 0)
            continue;
        // "C 32 ; WX 278 ; N space ; B ..."
        Glyph g{"", -1, 0};
        std::istringstream fields(line);
        std::string part;
        while (std::getline(fields, part, ';')) {
            std::istringstream words(part);
            std::string key;
            words >> key;
            if (key == "C")
                words >> g.code;
            else if (key == "WX")
                words >> g.width;
            else if (key == "N")
                words >> g.name;
        }
        if (!g.name.empty() && g.name != ".notdef" && g.width >= 0 && g.width < 65536)
            out.push_back(g);
    }
    std::sort(out.begin(), out.end(), [](const Glyph& a, const Glyph& b) { return a.name < b.name; });
    out.erase(std::unique(out.begin(), out.end(), [](const Glyph& a, const Glyph& b) { return a.name == b.name; }),
              out.end());
    return !out.empty();
}

void writeNamed(std::ostream& os, const char* var, const std::vector<Named>& list)
{
    os << "const NamedText " << var << "[] = {\n";
    char buf[16];
    for (const Named& n : list) {
        os << "    {\"" << n.name << "\", U\"";
        for (unsigned long c : n.text) {
            std::snprintf(buf, sizeof buf, "\\U%08lX", c);
            os << buf;
        }
        os << "\"},\n";
    }
    os << "};\nconst size_t " << var << "Size = " << list.size() << ";\n\n";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::cerr << "usage: makeFontTables GLYPHLIST ZAPFDINGBATS AFMFOLDER OUTPUT.cpp\n";
        return 2;
    }
    std::vector<Named> agl, dingbats;
    if (!readGlyphList(argv[1], agl) || !readGlyphList(argv[2], dingbats)) {
        std::cerr << "makeFontTables: cannot read the glyph lists\n";
        return 1;
    }
    // The standard 14 names and the files of their replacements.
    static const char* const fonts[][2] = {
        {"Courier", "NimbusMonoPS-Regular"},
        {"Courier-Bold", "NimbusMonoPS-Bold"},
        {"Courier-BoldOblique", "NimbusMonoPS-BoldItalic"},
        {"Courier-Oblique", "NimbusMonoPS-Italic"},
        {"Helvetica", "NimbusSans-Regular"},
        {"Helvetica-Bold", "NimbusSans-Bold"},
        {"Helvetica-BoldOblique", "NimbusSans-BoldItalic"},
        {"Helvetica-Oblique", "NimbusSans-Italic"},
        {"Symbol", "StandardSymbolsPS"},
        {"Times-Bold", "NimbusRoman-Bold"},
        {"Times-BoldItalic", "NimbusRoman-BoldItalic"},
        {"Times-Italic", "NimbusRoman-Italic"},
        {"Times-Roman", "NimbusRoman-Regular"},
        {"ZapfDingbats", "D050000L"},
    };
    std::ostringstream os;
    os << "// Made by makeFontTables; do not edit.\n#include \"engine/extended/fontTables.h\"\n\n"
          "namespace pdf::tables {\n\n";
    writeNamed(os, "kGlyphList", agl);
    writeNamed(os, "kDingbatNames", dingbats);
    int index = 0;
    for (const auto& f : fonts) {
        std::vector<Glyph> glyphs;
        std::string path = std::string(argv[3]) + "/" + f[1] + ".afm";
        if (!readAfm(path, glyphs)) {
            std::cerr << "makeFontTables: cannot read " << path << "\n";
            return 1;
        }
        os << "static const AfmGlyph kFont" << index++ << "[] = {\n";
        for (const Glyph& g : glyphs)
            os << "    {\"" << g.name << "\", " << g.code << ", " << g.width << "},\n";
        os << "};\n";
    }
    os << "\nconst AfmFont kStandardFonts[] = {\n";
    index = 0;
    for (const auto& f : fonts) {
        os << "    {\"" << f[0] << "\", kFont" << index << ", sizeof kFont" << index << " / sizeof kFont" << index
           << "[0]},\n";
        ++index;
    }
    os << "};\nconst size_t kStandardFontsSize = " << index << ";\n\n} // namespace pdf::tables\n";
    std::ofstream out(argv[4], std::ios::binary);
    out << os.str();
    return out ? 0 : 1;
}
