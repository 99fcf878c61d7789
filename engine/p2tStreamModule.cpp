#include "engine/p2tStreamModule.h"

#include <algorithm>

#include "engine/compress.h"
#include "engine/p2tEngine.h"
#include "engine/p2tOutputModule.h"

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

const std::string kEmpty;

// Inflate limits: the first attempt's buffer, then the second's.
constexpr size_t kFirstLimit = 1000000 + 1;
constexpr size_t kSecondLimit = 10000000 + 1;

} // namespace

char p2tByteChar(uint8_t b)
{
    // Bytes with no character of their own in the code page keep a space.
    return (b < 0x80 || (b >= 0xA1 && b <= 0xDF)) ? static_cast<char>(b) : ' ';
}

std::string p2tByteData2Str(p2tEngine& eng, const std::vector<uint8_t>& data)
{
    eng.debugLog.logWrite("p2tByteData2Str", "start");
    std::string s(data.size(), ' ');
    for (size_t i = 0; i < data.size(); ++i)
        s[i] = p2tByteChar(data[i]);
    eng.debugLog.logWrite("p2tByteData2Str", "end");
    return s;
}

const std::string& p2tCID2Str(const CidTable& table, int32_t cid)
{
    if (cid < 0 || cid > CidTable::kLastCid)
        return kEmpty;
    return table.entries[static_cast<size_t>(cid)];
}

std::string p2tHexCID2Str(const CidTable& table, std::string_view hexDigits)
{
    std::string result;
    for (size_t p = 0; p + 4 <= hexDigits.size(); p += 4) {
        int cid = 0;
        for (size_t k = 0; k < 4; ++k) {
            int v = hexValue(hexDigits[p + k]);
            if (v < 0)
                return result; // not a hexadecimal group: decoding stops here
            cid = cid << 4 | v;
        }
        result += p2tCID2Str(table, cid);
    }
    return result;
}

std::string p2tStringOperands2Str(const CidTable& table, std::string_view line)
{
    std::string result;
    p2tAppendStringOperands(table, line, {}, result, false);
    return result;
}

void p2tAppendStringOperands(const CidTable& table, std::string_view line, std::string_view suffix, std::string& out,
                             bool dropNul)
{
    const size_t n = line.size() + suffix.size();
    auto at = [&](size_t i) {
        return p2tByteChar(static_cast<uint8_t>(i < line.size() ? line[i] : suffix[i - line.size()]));
    };
    auto put = [&](char c) {
        if (!(dropNul && c == '\0'))
            out += c;
    };
    enum { Outside, Literal, Hex } state = Outside;
    size_t hexStart = 0; // a hex string gives its text only when it is closed
    int cid = 0, digits = 0;
    bool hexStopped = false;
    for (size_t i = 0; i < n; ++i) {
        const char c = at(i);
        if (state == Literal) {
            if (c == '\\')
                put(i + 1 < n ? at(++i) : ' '); // the next character as it is; no escape is interpreted
            else if (c == ')')
                state = Outside;
            else
                put(c);
        } else if (state == Hex) {
            if (c == '>') {
                state = Outside;
            } else if (c != ' ' && !hexStopped) {
                int v = hexValue(c);
                if (v < 0) {
                    hexStopped = true; // a group that is not hexadecimal ends the decoding
                } else {
                    cid = cid << 4 | v;
                    if (++digits == 4) {
                        out += p2tCID2Str(table, cid);
                        cid = 0;
                        digits = 0;
                    }
                }
            }
        } else if (c == '(') {
            state = Literal;
        } else if (c == '<') {
            state = Hex;
            hexStart = out.size();
            cid = 0;
            digits = 0;
            hexStopped = false;
        }
    }
    if (state == Hex)
        out.resize(hexStart);
}

std::string_view p2tFlateDecode(p2tEngine& eng, const p2tBytes& data, int32_t dataSize)
{
    eng.debugLog.logWrite("p2tFlateDecode", "start dataSize=", dataSize);
    // The work array is the stream's dataSize bytes followed by one zero byte:
    // the data's first bytes, then zeros for the rest.
    size_t keep = static_cast<size_t>(std::clamp<int64_t>(dataSize, 0, static_cast<int64_t>(data.bytes.size())));
    uint64_t zeros = static_cast<uint64_t>(static_cast<int64_t>(dataSize) + 1 - static_cast<int64_t>(keep));
    std::vector<uint8_t>& buffer = eng.inflateBuffer;
    size_t produced = 0;
    bool ok;
    if (keep + zeros < 2) {
        // Nothing to inflate: the work array as it is, one zero byte.
        if (buffer.empty())
            buffer.resize(1);
        buffer[0] = 0;
        produced = 1;
        ok = true;
    } else {
        // One pass with the larger buffer gives what the two attempts give:
        // whatever fits the first buffer also fits the second.
        ok = eng.inflater.inflate(data.bytes.data(), keep, zeros, kSecondLimit, buffer, produced);
    }
    static_assert(kFirstLimit < kSecondLimit);
    if (!ok) {
        eng.debugLog.logWrite("p2tFlateDecode", "エラーが発生しました dataSize=", dataSize);
        p2tOutputMessage(eng, "...flateDecodeの解凍失敗\r\n");
        eng.flateFailed = true;
        return {};
    }
    eng.debugLog.logWrite("p2tFlateDecode", "ret=0,ubound=", static_cast<int64_t>(produced) - 1);
    eng.debugLog.logWrite("p2tFlateDecode", "end");
    eng.flateFailed = false;
    return {reinterpret_cast<const char*>(buffer.data()), produced};
}
