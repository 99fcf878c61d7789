// The text of a content stream worked out the plain way, step by step as its
// rules are stated (a string per stream, a string per line, a hex buffer per
// hex string): the engine's one-pass extraction must give the same bytes.
#pragma once

#include <string>
#include <vector>

#include "engine/p2tStreamModule.h"

inline std::string referenceOperands(const CidTable& table, const std::string& line)
{
    std::string result, hex;
    bool inLiteral = false, inHex = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (inLiteral) {
            if (c == '\\')
                result += i + 1 < line.size() ? line[++i] : ' ';
            else if (c == ')')
                inLiteral = false;
            else
                result += c;
        } else if (inHex) {
            if (c == ' ')
                continue;
            if (c == '>') {
                inHex = false;
                result += p2tHexCID2Str(table, hex);
            } else {
                hex += c;
            }
        } else if (c == '(') {
            inLiteral = true;
        } else if (c == '<') {
            inHex = true;
            hex.clear();
        }
    }
    return result;
}

inline std::string referenceStreamText(const CidTable& table, const std::string& data, bool crlf)
{
    std::string s;
    for (unsigned char b : data)
        s += p2tByteChar(b);
    auto replace = [&s](const std::string& from, const std::string& to) {
        for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size()))
            s.replace(p, from.size(), to);
    };
    replace("\r\n", "\r");
    replace("\n", "\r");
    std::vector<std::string> lines;
    if (!s.empty()) {
        size_t start = 0;
        for (size_t p; (p = s.find('\r', start)) != std::string::npos; start = p + 1)
            lines.push_back(s.substr(start, p - start));
        lines.push_back(s.substr(start));
    }
    std::string text;
    for (std::string line : lines) {
        if (!line.empty() && line.back() == '\'') {
            if (crlf)
                text += "\r\n";
            line = line.substr(0, line.size() - 1) + "TJ";
        }
        std::string tail = line.size() >= 2 ? line.substr(line.size() - 2) : line;
        for (char& c : tail)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 32);
        if (tail == "TJ") {
            std::string op = referenceOperands(table, line);
            std::string kept;
            for (char c : op)
                if (c != '\0')
                    kept += c;
            text += kept;
        } else if (tail == "TM") {
            if (crlf)
                text += "\r\n";
        } else if (tail == "TF") {
            text += " ";
        }
    }
    return text + "\r\n";
}
