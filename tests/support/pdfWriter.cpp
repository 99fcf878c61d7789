#include "tests/support/pdfWriter.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

std::string deflateBytes(const std::string& data)
{
    uLongf size = compressBound(data.size());
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()), data.size(), 6);
    out.resize(size);
    return out;
}

std::string lzwEncode(const std::string& data, bool earlyChange)
{
    std::map<std::string, int> table;
    auto reset = [&] {
        table.clear();
        for (int i = 0; i < 256; ++i)
            table[std::string(1, static_cast<char>(i))] = i;
    };
    reset();
    std::string out;
    uint32_t buffer = 0;
    int bits = 0, width = 9, next = 258;
    auto put = [&](int code) {
        buffer = buffer << width | static_cast<uint32_t>(code);
        bits += width;
        while (bits >= 8) {
            out += static_cast<char>((buffer >> (bits - 8)) & 0xFF);
            bits -= 8;
        }
    };
    put(256);
    std::string w;
    for (char c : data) {
        std::string wc = w + c;
        if (table.count(wc)) {
            w = wc;
            continue;
        }
        put(table[w]);
        table[wc] = next++;
        if (next + (earlyChange ? 1 : 0) > (1 << width) && width < 12)
            ++width;
        if (next == 4096 - 1) {
            put(256);
            reset();
            next = 258;
            width = 9;
        }
        w = std::string(1, c);
    }
    if (!w.empty())
        put(table[w]);
    put(257);
    if (bits > 0)
        out += static_cast<char>((buffer << (8 - bits)) & 0xFF);
    return out;
}

std::string ascii85Encode(const std::string& data)
{
    std::string out;
    for (size_t i = 0; i < data.size(); i += 4) {
        size_t n = std::min<size_t>(4, data.size() - i);
        uint32_t v = 0;
        for (size_t k = 0; k < 4; ++k)
            v = v << 8 | (k < n ? static_cast<uint8_t>(data[i + k]) : 0);
        if (v == 0 && n == 4) {
            out += 'z';
            continue;
        }
        char group[5];
        for (int k = 4; k >= 0; --k) {
            group[k] = static_cast<char>('!' + v % 85);
            v /= 85;
        }
        out.append(group, n + 1);
        if (i % 60 == 56)
            out += '\n';
    }
    return out + "~>";
}

std::string runLengthEncode(const std::string& data)
{
    std::string out;
    for (size_t i = 0; i < data.size();) {
        size_t run = 1;
        while (i + run < data.size() && run < 128 && data[i + run] == data[i])
            ++run;
        if (run >= 2) {
            out += static_cast<char>(257 - run);
            out += data[i];
            i += run;
            continue;
        }
        size_t lit = 1;
        while (i + lit < data.size() && lit < 128 && !(i + lit + 1 < data.size() && data[i + lit] == data[i + lit + 1]))
            ++lit;
        out += static_cast<char>(lit - 1);
        out.append(data, i, lit);
        i += lit;
    }
    return out + static_cast<char>(128);
}

std::string pngPredict(const std::string& data, int columns, int type)
{
    std::string out, prior(static_cast<size_t>(columns), '\0');
    for (size_t row = 0, r = 0; row < data.size(); row += static_cast<size_t>(columns), ++r) {
        std::string cur(static_cast<size_t>(columns), '\0');
        data.copy(cur.data(), static_cast<size_t>(columns), row);
        int t = type == 5 ? static_cast<int>(r % 5) : type;
        out += static_cast<char>(t);
        for (size_t i = 0; i < cur.size(); ++i) {
            int left = i > 0 ? static_cast<uint8_t>(cur[i - 1]) : 0, up = static_cast<uint8_t>(prior[i]);
            int upLeft = i > 0 ? static_cast<uint8_t>(prior[i - 1]) : 0, pred = 0;
            if (t == 1)
                pred = left;
            else if (t == 2)
                pred = up;
            else if (t == 3)
                pred = (left + up) / 2;
            else if (t == 4) {
                int p = left + up - upLeft, pa = std::abs(p - left), pb = std::abs(p - up), pc = std::abs(p - upLeft);
                pred = pa <= pb && pa <= pc ? left : pb <= pc ? up : upLeft;
            }
            out += static_cast<char>(static_cast<uint8_t>(cur[i]) - pred);
        }
        prior = cur;
    }
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

void PdfWriter::objectStream(int number, const std::vector<std::pair<int, std::string>>& objects)
{
    std::string header, body;
    for (size_t i = 0; i < objects.size(); ++i) {
        header += std::to_string(objects[i].first) + " " + std::to_string(body.size()) + " ";
        body += objects[i].second + "\n";
        packed_[objects[i].first] = {number, static_cast<int>(i)};
    }
    stream(number, header + body, true,
           " /Type /ObjStm /N " + std::to_string(objects.size()) + " /First " + std::to_string(header.size()));
}

std::string xrefStreamRow(int type, uint32_t field2, int field3)
{
    std::string r(1, static_cast<char>(type));
    for (int k = 3; k >= 0; --k)
        r += static_cast<char>((field2 >> (8 * k)) & 0xFF);
    r += static_cast<char>((field3 >> 8) & 0xFF);
    r += static_cast<char>(field3 & 0xFF);
    return r;
}

size_t PdfWriter::xrefStream(int number, const std::string& trailerEntries, bool hybrid)
{
    size_t at = out_.size();
    auto listed = pending_;
    if (hybrid)
        listed.clear();
    else
        listed[{number, 0}] = at;
    std::map<int, std::string> rows;
    const auto row = xrefStreamRow;
    if (firstSection_ && !hybrid)
        rows[0] = row(0, 0, 65535);
    for (const auto& [key, offset] : listed)
        rows[key.first] = row(1, static_cast<uint32_t>(offset), key.second);
    for (const auto& [num, where] : packed_)
        rows[num] = row(2, static_cast<uint32_t>(where.first), where.second);
    std::string index, data;
    for (auto it = rows.begin(); it != rows.end();) {
        auto end = it;
        int count = 0;
        while (end != rows.end() && end->first == it->first + count) {
            data += end->second;
            ++end;
            ++count;
        }
        index += std::to_string(it->first) + " " + std::to_string(count) + " ";
        it = end;
    }
    std::string encoded = deflateBytes(pngPredict(data, 7, 2));
    out_ += std::to_string(number) + " 0 obj\n<< /Type /XRef /W [1 4 2] /Index [" + index + "] /Length "
        + std::to_string(encoded.size()) + " /Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 7 >> "
        + trailerEntries + " >>\nstream\n" + encoded + "\nendstream\nendobj\n";
    packed_.clear();
    if (hybrid) {
        pending_[{number, 0}] = at;
        return at;
    }
    out_ += "startxref\n" + std::to_string(at) + "\n%%EOF\n";
    pending_.clear();
    firstSection_ = false;
    return at;
}

std::string simplePdf(const std::vector<std::string>& pageContents, bool deflated)
{
    if (!deflated)
        return simplePdfOfStreams(pageContents);
    std::vector<std::string> packed;
    for (const std::string& content : pageContents)
        packed.push_back(deflateBytes(content));
    return simplePdfOfStreams(packed, " /Filter /FlateDecode");
}

std::string simplePdfOfStreams(const std::vector<std::string>& streams, const std::string& streamDict)
{
    PdfWriter w;
    int n = static_cast<int>(streams.size());
    std::string kids;
    for (int i = 0; i < n; ++i)
        kids += std::to_string(3 + 2 * i) + " 0 R ";
    w.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    w.object(2, "<< /Type /Pages /Kids [ " + kids + "] /Count " + std::to_string(n) + " >>");
    for (int i = 0; i < n; ++i) {
        w.object(3 + 2 * i, "<< /Type /Page /Parent 2 0 R /Contents " + std::to_string(4 + 2 * i) + " 0 R >>");
        w.stream(4 + 2 * i, streams[static_cast<size_t>(i)], false, streamDict);
    }
    w.section("/Size " + std::to_string(3 + 2 * n) + " /Root 1 0 R");
    return w.str();
}

std::string showText(const std::string& text)
{
    return "BT\n/F1 12 Tf\n1 0 0 1 72 700 Tm\n(" + text + ") Tj\nET\n";
}
