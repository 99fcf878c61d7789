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
#include <map>
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

// Glyph names are letters, digits, periods and underscores: nothing a C++
// string needs escaped.
bool plainName(const std::string& n)
{
    return !n.empty() && std::all_of(n.begin(), n.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_';
    });
}

// The pools the tables point into by offset, each entry written once
// however many tables share it.
class Pools {
public:
    unsigned long name(const std::string& n)
    {
        if (!plainName(n))
            plain_ = false;
        auto [it, added] = names_.emplace(n, nameSize_);
        if (added) {
            nameOrder_.push_back(n);
            nameSize_ += n.size() + 1;
        }
        return it->second;
    }
    unsigned long text(const std::vector<unsigned long>& t)
    {
        auto [it, added] = texts_.emplace(t, textSize_);
        if (added) {
            textOrder_.push_back(t);
            textSize_ += t.size() + 1;
        }
        return it->second;
    }
    bool plain() const { return plain_; }
    void write(std::ostream& os) const
    {
        // One literal per name: an escape never runs into the next name.
        os << "const char kNamePool[] =\n";
        for (const std::string& n : nameOrder_)
            os << "    \"" << n << "\\0\"\n";
        os << "    ;\n\nconst char32_t kTextPool[] = {\n";
        char buf[16];
        for (const auto& t : textOrder_) {
            os << "   ";
            for (unsigned long c : t) {
                std::snprintf(buf, sizeof buf, " 0x%lX,", c);
                os << buf;
            }
            os << " 0,\n";
        }
        os << "};\n\n";
    }

private:
    std::map<std::string, unsigned long> names_;
    std::map<std::vector<unsigned long>, unsigned long> texts_;
    std::vector<std::string> nameOrder_;
    std::vector<std::vector<unsigned long>> textOrder_;
    unsigned long nameSize_ = 0, textSize_ = 0;
    bool plain_ = true;
};

void writeNamed(std::ostream& os, Pools& pools, const char* var, const std::vector<Named>& list)
{
    os << "const NamedText " << var << "[] = {\n";
    for (const Named& n : list)
        os << "    {" << pools.name(n.name) << ", " << pools.text(n.text) << "},\n";
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
    Pools pools;
    writeNamed(os, pools, "kGlyphList", agl);
    writeNamed(os, pools, "kDingbatNames", dingbats);
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
            os << "    {" << pools.name(g.name) << ", " << g.code << ", " << g.width << "},\n";
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
    if (!pools.plain()) {
        std::cerr << "makeFontTables: a glyph name with other than letters, digits, '.' and '_'\n";
        return 1;
    }
    std::ofstream out(argv[4], std::ios::binary);
    out << "// Made by makeFontTables; do not edit.\n#include \"engine/extended/fontTables.h\"\n\n"
           "namespace pdf::tables {\n\n";
    pools.write(out);
    out << os.str();
    return out ? 0 : 1;
}
