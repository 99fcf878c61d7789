// The tokenizer read one byte at a time, exactly as its rules are stated:
// the reader's fast paths must give the same tokens and positions.
#pragma once

#include <string>

#include "engine/p2tFileReadModule.h"

inline std::string referenceGetToken(p2tReader& r)
{
    auto ws = [](uint8_t c) { return c == ' ' || c == '\r' || c == '\n'; };
    std::string token;
    bool started = false;
    for (;;) {
        uint8_t c = p2tReadByte(r);
        if (!ws(c)) {
            started = true;
            token += static_cast<char>(c);
        }
        if (p2tIsEOF(r) || started)
            break;
    }
    if (token == "[" || token == "]" || token == "(" || token == ")")
        return token;
    for (;;) {
        uint8_t c = p2tReadByte(r);
        if (ws(c)) {
            started = false;
            if (c == '\r' && p2tReadByte(r) != '\n') {
                int32_t one = 1;
                p2tSeekBack(r, one);
            }
        } else if (c == '/' || c == '[' || c == ']' || c == '(' || c == ')' || (c == '<' && token != "<")
                   || (c == '>' && token != ">")) {
            started = false;
            int32_t one = 1;
            p2tSeekBack(r, one);
        } else {
            token += static_cast<char>(c);
            if (token == "<<" || token == ">>")
                return token;
        }
        if (p2tIsEOF(r) || !started)
            return token;
    }
}
