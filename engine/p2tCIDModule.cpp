#include "engine/p2tCIDModule.h"

#include <cstring>

#include "engine/compress.h"
#include "engine/p2tFileReadModule.h"
#include "platform/cp932.h"
#include "platform/places.h"

bool p2tCIDLoadText(CidTable& table, const std::vector<uint8_t>& text)
{
    // Lines end with CR LF or a lone CR. The text is read from memory rather
    // than through a temporary file: the program's folder may be read-only.
    const char* p = reinterpret_cast<const char*>(text.data());
    const char* const end = p + text.size();
    std::vector<CidTable::ShortText> shortTexts(CidTable::kLastCid + 1, CidTable::ShortText{{}, 0});
    std::vector<std::string> longTexts;
    for (size_t cid = 1; cid < shortTexts.size(); ++cid) {
        if (p >= end)
            return false; // fewer lines than CIDs: reading past the end
        const char* lineEnd = p;
        while (lineEnd < end && *lineEnd != '\r')
            ++lineEnd;
        const std::string_view line(p, static_cast<size_t>(lineEnd - p));
        p = lineEnd == end ? end : lineEnd + 1 < end && lineEnd[1] == '\n' ? lineEnd + 2 : lineEnd + 1;
        // Through the code page and back, as reading text lines would; most
        // lines come back as they are and are not rebuilt.
        std::string back;
        const std::string_view kept =
            platform::cp932RoundTripsAsIs(line) ? line : std::string_view(back = platform::cp932RoundTrip(line));
        CidTable::ShortText& entry = shortTexts[cid];
        if (kept.size() <= sizeof entry.bytes) {
            kept.copy(entry.bytes, kept.size());
            entry.length = static_cast<uint8_t>(kept.size());
        } else {
            const auto index = static_cast<uint32_t>(longTexts.size());
            std::memcpy(entry.bytes, &index, sizeof index);
            entry.length = CidTable::kLong;
            longTexts.emplace_back(kept);
        }
    }
    table.shortTexts = std::move(shortTexts);
    table.longTexts = std::move(longTexts);
    return true;
}

bool p2tCIDInit(CidTable& table, const std::string& programFolder, MessageBoxes& boxes)
{
    auto fail = [&boxes] {
        boxes.showOk(std::string(kCidDataFileName) + "の読み込みでエラーが発生しました", MessageBoxes::Icon::Critical);
        return false;
    };
    auto data = p2tReadFileBytes(platform::dataFolder(programFolder) + "/" + kCidDataFileName);
    if (!data)
        return fail();
    if (uncompressBytes(*data, 500000) != 0)
        return true; // not zlib data: the table stays empty, hex strings give no text
    if (!p2tCIDLoadText(table, *data))
        return fail();
    return true;
}
