// The page tree walk, the content streams and the text extraction of one
// stream.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/p2tFileReadModule.h"

struct p2tEngine;

bool p2tDivePages(p2tEngine& eng, int32_t id, int32_t gen);
bool p2tDivePage(p2tEngine& eng, int32_t id, int32_t gen);
bool p2tReadContents(p2tEngine& eng, int32_t id, int32_t gen);
int32_t p2tGetContentsLength(p2tEngine& eng, int32_t id, int32_t gen);
bool p2tAnalyzeStream(p2tEngine& eng, p2tBytesView data, const std::string& filter);
// The text of a content stream's decoded bytes, line by line, written with a
// line break after it; false when the file's decode budget is spent. Zeros
// past the end of the file (zeroTail) leave the last line out.
bool p2tAnalyzeBytes(p2tEngine& eng, std::string_view bytes, bool zeroTail);
// The page header (0) or footer (1) when the settings ask for it.
void p2tWriteHeadFoot(p2tEngine& eng, int index);

// A page header or footer: the format (UTF-8) with "%P", "%A", "%N" and "%F"
// replaced in that order, as code page 932 bytes.
std::string p2tExpandHeadFoot(const p2tEngine& eng, const std::string& format);
