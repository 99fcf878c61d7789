#include "engine/p2tCIDModule.h"

#include "engine/compress.h"
#include "engine/p2tFileReadModule.h"
#include "platform/cp932.h"
#include "platform/places.h"

bool p2tCIDLoadText(CidTable& table, const std::vector<uint8_t>& text)
{
    // Lines end with CR LF or a lone CR. The text is read from memory rather
    // than through a temporary file: the program's folder may be read-only.
    size_t p = 0;
    std::vector<std::string> lines(CidTable::kLastCid + 1);
    for (int32_t cid = 1; cid <= CidTable::kLastCid; ++cid) {
        if (p >= text.size())
            return false; // fewer lines than CIDs: reading past the end
        size_t start = p;
        while (p < text.size() && text[p] != '\r')
            ++p;
        std::string_view line(reinterpret_cast<const char*>(text.data()) + start, p - start);
        if (p < text.size()) {
            ++p;
            if (p < text.size() && text[p] == '\n')
                ++p;
        }
        // Through the code page and back, as reading text lines would.
        lines[static_cast<size_t>(cid)] = platform::cp932RoundTrip(line);
    }
    table.entries = std::move(lines);
    table.shortTexts.assign(table.entries.size(), CidTable::ShortText{{}, CidTable::kLong});
    for (size_t cid = 0; cid < table.entries.size(); ++cid) {
        const std::string& text = table.entries[cid];
        if (text.size() <= sizeof CidTable::ShortText::bytes) {
            text.copy(table.shortTexts[cid].bytes, text.size());
            table.shortTexts[cid].length = static_cast<uint8_t>(text.size());
        }
    }
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
