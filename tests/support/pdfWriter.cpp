#include "tests/support/pdfWriter.h"

#include <zlib.h>

#include <cstdio>

std::string deflateBytes(const std::string& data)
{
    uLongf size = compressBound(data.size());
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()), data.size(), 6);
    out.resize(size);
    return out;
}

void PdfWriter::object(int number, const std::string& body, int gen)
{
    pending_[{number, gen}] = out_.size();
    out_ += std::to_string(number) + " " + std::to_string(gen) + " obj\n" + body + "\nendobj\n";
}

void PdfWriter::stream(int number, const std::string& data, bool deflated, const std::string& extraDict)
{
    std::string bytes = deflated ? deflateBytes(data) : data;
    std::string dict = "<< /Length " + std::to_string(bytes.size()) + (deflated ? " /Filter /FlateDecode" : "")
        + extraDict + " >>";
    object(number, dict + "\nstream\n" + bytes + "\nendstream");
}

size_t PdfWriter::section(const std::string& trailerEntries, bool eofMarker)
{
    size_t at = out_.size();
    std::string xref = "xref\n";
    std::vector<std::pair<int, std::string>> entries;
    if (firstSection_)
        entries.push_back({0, "0000000000 65535 f \n"});
    for (const auto& [key, offset] : pending_) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu %05d n \n", offset, key.second);
        entries.push_back({key.first, line});
    }
    for (size_t i = 0; i < entries.size();) {
        size_t j = i + 1;
        while (j < entries.size() && entries[j].first == entries[j - 1].first + 1)
            ++j;
        xref += std::to_string(entries[i].first) + " " + std::to_string(j - i) + "\n";
        for (size_t k = i; k < j; ++k)
            xref += entries[k].second;
        i = j;
    }
    out_ += xref + "trailer\n<< " + trailerEntries + " >>\nstartxref\n" + std::to_string(at) + "\n";
    if (eofMarker)
        out_ += "%%EOF\n";
    pending_.clear();
    firstSection_ = false;
    return at;
}

std::string simplePdf(const std::vector<std::string>& pageContents, bool deflated)
{
    PdfWriter w;
    int n = static_cast<int>(pageContents.size());
    std::string kids;
    for (int i = 0; i < n; ++i)
        kids += std::to_string(3 + 2 * i) + " 0 R ";
    w.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    w.object(2, "<< /Type /Pages /Kids [ " + kids + "] /Count " + std::to_string(n) + " >>");
    for (int i = 0; i < n; ++i) {
        w.object(3 + 2 * i, "<< /Type /Page /Parent 2 0 R /Contents " + std::to_string(4 + 2 * i) + " 0 R >>");
        w.stream(4 + 2 * i, pageContents[static_cast<size_t>(i)], deflated);
    }
    w.section("/Size " + std::to_string(3 + 2 * n) + " /Root 1 0 R");
    return w.str();
}

std::string showText(const std::string& text)
{
    return "BT\n/F1 12 Tf\n1 0 0 1 72 700 Tm\n(" + text + ") Tj\nET\n";
}
