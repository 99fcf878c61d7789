#include "engine/p2tDivePagesModule.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "engine/p2tEngine.h"
#include "engine/p2tOutputModule.h"
#include "engine/p2tStreamModule.h"
#include "platform/cp932.h"
#include "platform/paths.h"

namespace {

uint64_t objectKey(int32_t id, int32_t gen)
{
    return static_cast<uint64_t>(static_cast<uint32_t>(id)) << 32 | static_cast<uint32_t>(gen);
}

class NestingGuard {
public:
    explicit NestingGuard(int& depth) : depth_(depth) { ++depth_; }
    ~NestingGuard() { --depth_; }
    bool tooDeep() const { return depth_ > kMaxNesting; }

private:
    int& depth_;
};

void replaceAll(std::string& s, std::string_view from, const std::string& to)
{
    std::string out;
    size_t start = 0;
    for (size_t hit; (hit = s.find(from, start)) != std::string::npos; start = hit + from.size()) {
        out.append(s, start, hit - start);
        out += to;
    }
    if (start == 0)
        return;
    out.append(s, start, std::string::npos);
    s = std::move(out);
}

// One line of a content stream: the operator at its very end decides. Bytes
// from 0x80 on stand for no letter and no quote (p2tByteChar), so the raw
// bytes are compared, any letter case taken alike by setting bit 5.
void analyzeLine(p2tEngine& eng, std::string_view raw, TextBuffer& text)
{
    if (raw.empty())
        return;
    const auto last = static_cast<uint8_t>(raw.back());
    if (last == '\'') {
        // Move to the next line and show: taken as the line without its
        // quote, shown like TJ.
        if (eng.settings.CRLF)
            text.append("\r\n");
        p2tAppendStringOperands(eng.cidTable, raw.substr(0, raw.size() - 1), "TJ", text, true);
        return;
    }
    if (raw.size() < 2 || (static_cast<uint8_t>(raw[raw.size() - 2]) | 0x20) != 't')
        return;
    switch (last | 0x20) {
    case 'j':
        p2tAppendStringOperands(eng.cidTable, raw, {}, text, true);
        break;
    case 'm':
        if (eng.settings.CRLF)
            text.append("\r\n");
        break;
    case 'f':
        text.append(" ");
        break;
    }
}

// A content reference whose number token was just read: reads its generation,
// has the stream read and comes back to where the page's scan was.
bool readReferencedContents(p2tEngine& eng, std::string_view idToken)
{
    auto id = p2tToLong(idToken);
    std::string spare;
    auto gen = p2tToLong(p2tReadTokenView(eng.fileNo, spare));
    if (!id || !gen)
        return false;
    int32_t saved = p2tGetPosition(eng.fileNo);
    if (!p2tReadContents(eng, *id, *gen))
        return false;
    p2tSeek(eng.fileNo, saved);
    return true;
}

} // namespace

namespace {

// A page header or footer differs from page to page only in its number: the
// format is split where "%P" stands, each piece with "%A", "%N" and "%F"
// replaced and in code page 932, and the number goes between the pieces.
// That gives what replacing in the whole format does: digits neither make nor
// break a placeholder or a UTF-8 sequence.
std::vector<std::string> headFootPieces(const p2tEngine& eng, const std::string& format)
{
    std::vector<std::string> pieces;
    for (size_t start = 0;;) {
        const size_t hit = format.find("%P", start);
        std::string piece = format.substr(start, hit == std::string::npos ? hit : hit - start);
        replaceAll(piece, "%A", std::to_string(eng.totalPages));
        replaceAll(piece, "%N", getFileName(eng.currentFileName));
        replaceAll(piece, "%F", eng.currentFileName);
        pieces.push_back(platform::utf8ToCp932(piece));
        if (hit == std::string::npos)
            return pieces;
        start = hit + 2;
    }
}

void appendHeadFoot(std::string& out, const std::vector<std::string>& pieces, int32_t pageNo)
{
    char digits[16];
    const char* const end = std::to_chars(digits, digits + sizeof digits, pageNo).ptr;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            out.append(digits, static_cast<size_t>(end - digits));
        out += pieces[i];
    }
}

} // namespace

std::string p2tExpandHeadFoot(const p2tEngine& eng, const std::string& format)
{
    std::string s;
    appendHeadFoot(s, headFootPieces(eng, format), eng.pageNo);
    return s;
}

void p2tWriteHeadFoot(p2tEngine& eng, int index)
{
    if (!eng.settings.headfootUse[index])
        return;
    // The pieces are kept from page to page while the format (the settings
    // may change mid-run), the page count and the file stay the same.
    p2tEngine::HeadFootPieces& kept = eng.headFootPieces[index];
    const std::string& format = eng.settings.headfootFormat[index];
    if (kept.pieces.empty() || kept.format != format || kept.totalPages != eng.totalPages
        || kept.fileName != eng.currentFileName) {
        kept = {format, eng.totalPages, eng.currentFileName, headFootPieces(eng, format)};
    }
    std::string& line = eng.headFootLine;
    line.assign("\r\n");
    appendHeadFoot(line, kept.pieces, eng.pageNo);
    line += "\r\n";
    p2tOutputWrite(eng, line);
}

bool p2tDivePages(p2tEngine& eng, int32_t id, int32_t gen)
{
    NestingGuard nesting(eng.walkDepth);
    eng.debugLog.logWrite("p2tDivePages", "start id=", id, " gen=", gen);
    ObjCacheContext objects = eng.objects();
    if (p2tGetObjType(objects, id, gen) != "/Pages") {
        eng.debugLog.logWrite("p2tDivePages", "アサーションで失敗。異常復帰。");
        return false;
    }
    // A node met a second time (a cycle, or a node shared by two parents) or
    // a tree too deep to follow makes the page tree unusable.
    if (nesting.tooDeep() || !eng.pagesWalked.insert(objectKey(id, gen)).second)
        return false;
    if (p2tSeekObjKey(objects, id, gen, "/Kids") != p2tKeyScan::Found)
        return false;
    std::string spare;
    if (p2tReadTokenView(eng.fileNo, spare) != "[") {
        eng.debugLog.logWrite("p2tDivePages", "/Kidsの直後に配列がありません");
        return false;
    }
    for (;;) {
        std::string_view t = p2tReadTokenView(eng.fileNo, spare);
        if (t == "]" || t == "endobj")
            return true;
        auto kidId = p2tToLong(t);
        auto kidGen = p2tToLong(p2tReadTokenView(eng.fileNo, spare));
        p2tReadTokenView(eng.fileNo, spare); // "R"
        if (!kidId || !kidGen)
            return false;
        std::string type = p2tGetObjType(objects, *kidId, *kidGen);
        if (type == "/Pages" || type == "/Page") {
            int32_t saved = p2tGetPosition(eng.fileNo);
            bool ok = type == "/Pages" ? p2tDivePages(eng, *kidId, *kidGen) : p2tDivePage(eng, *kidId, *kidGen);
            p2tSeek(eng.fileNo, saved);
            if (!ok)
                return false;
        }
        if (p2tIsEOF(eng.fileNo))
            return true;
    }
}

bool p2tDivePage(p2tEngine& eng, int32_t id, int32_t gen)
{
    ++eng.pageNo;
    eng.debugLog.logWrite("p2tDivePage", "start id=", id, " gen=", gen);
    eng.contentArraysExpanded.clear();
    p2tWriteHeadFoot(eng, 0);
    ObjCacheContext objects = eng.objects();
    p2tKeyScan scan = p2tSeekObjKey(objects, id, gen, "/Contents");
    if (scan == p2tKeyScan::NotSought) {
        eng.debugLog.logWrite("p2tDivePage", "オブジェクトへのシークで失敗しました");
        return false;
    }
    if (scan == p2tKeyScan::Missing)
        return true; // no contents: the header only, no footer, no progress step
    std::string spare;
    std::string_view t = p2tReadTokenView(eng.fileNo, spare);
    if (t == "[") {
        for (;;) {
            std::string_view u = p2tReadTokenView(eng.fileNo, spare);
            if (u == "]" || u == "endobj")
                break;
            if (!readReferencedContents(eng, u))
                return false;
            p2tReadTokenView(eng.fileNo, spare); // "R"
            if (p2tIsEOF(eng.fileNo))
                break;
        }
    } else if (!readReferencedContents(eng, t)) {
        return false;
    }
    bool result = true;
    p2tWriteHeadFoot(eng, 1);
    eng.progress.setChildValue(eng.pageNo + 1);
    if (eng.progress.cancelButtonPushed())
        result = false;
    return result;
}

bool p2tReadContents(p2tEngine& eng, int32_t id, int32_t gen)
{
    NestingGuard nesting(eng.contentDepth);
    eng.debugLog.logWrite("p2tReadContents", "start id=", id, " gen=", gen);
    ObjCacheContext objects = eng.objects();
    if (!p2tSeekObj(objects, id, gen)) {
        eng.debugLog.logWrite("p2tReadContents", "オブジェクトへのシークで失敗しました");
        return false;
    }
    int32_t length = -1;
    std::string filter;
    std::string spare;
    // Whether the second search for "stream" below would stop where this
    // one does: no "endstream" before it, and no word it stops at taken as
    // the filter's name. It then need not be made.
    bool sameStop = true;
    bool atStream = false;
    for (;;) {
        std::string_view t = p2tReadTokenAfterOthers(
            eng.fileNo, {"[", "/Filter", "/Length", "stream", "endobj", "endstream"}, spare);
        if (t == "[") {
            // An array of references: each element is read in turn. An array
            // that contains itself, or arrays nested too deep, fail the page.
            if (nesting.tooDeep() || !eng.contentArraysExpanded.insert(objectKey(id, gen)).second)
                return false;
            for (;;) {
                std::string u = p2tGetToken(eng.fileNo);
                if (u == "]")
                    return true;
                std::string g = p2tGetToken(eng.fileNo);
                std::string r = p2tGetToken(eng.fileNo);
                if (r == "R") {
                    auto elemId = p2tToLong(u);
                    auto elemGen = p2tToLong(g);
                    if (!elemId || !elemGen)
                        return false;
                    int32_t saved = p2tGetPosition(eng.fileNo);
                    if (!p2tReadContents(eng, *elemId, *elemGen))
                        return false;
                    p2tSeek(eng.fileNo, saved);
                }
                if (p2tIsEOF(eng.fileNo))
                    return true;
            }
        }
        if (t == "/Filter") {
            filter = p2tGetToken(eng.fileNo);
            sameStop = sameStop && filter != "stream" && filter != "endstream" && filter != "endobj";
        } else if (t == "endstream") {
            sameStop = false;
        } else if (t == "/Length") {
            int32_t saved = p2tGetPosition(eng.fileNo);
            std::string v = p2tGetToken(eng.fileNo);
            std::string g = p2tGetToken(eng.fileNo);
            std::string r = p2tGetToken(eng.fileNo);
            auto value = p2tToLong(v);
            if (r == "R") {
                auto lengthGen = p2tToLong(g);
                if (!value || !lengthGen)
                    return false;
                length = p2tGetContentsLength(eng, *value, *lengthGen);
            } else {
                if (!value)
                    return false;
                length = *value;
            }
            p2tSeek(eng.fileNo, saved);
        } else if (t == "stream" || t == "endobj") {
            atStream = t == "stream";
            break;
        }
        if (p2tIsEOF(eng.fileNo))
            break;
    }
    // A negative length cannot describe stream data; it is reported like a
    // missing one.
    if (length < 0) {
        eng.debugLog.logWrite("p2tReadContents", "Lengthが読めません id=", id, " gen=", gen, " length=", length,
                              " filter=", filter);
        p2tOutputMessage(eng, "...解析エラー(p2tReadContents)\r\n");
        return false;
    }
    // Reads the data from where the reader stands, just after "stream".
    auto analyzeData = [&] {
        p2tBytes data;
        return p2tAnalyzeStream(eng, p2tReadBytesView(eng.fileNo, length, data), filter);
    };
    if (atStream && sameStop)
        return analyzeData();
    if (!p2tSeekObj(objects, id, gen)) {
        eng.debugLog.logWrite("p2tReadContents", "オブジェクトへのシークで失敗しました(2回目)");
        return false;
    }
    for (;;) {
        std::string_view t = p2tReadTokenAfterOthers(eng.fileNo, {"endstream", "endobj", "stream"}, spare);
        if (t == "endstream" || t == "endobj")
            return true;
        if (t == "stream")
            return analyzeData();
        if (p2tIsEOF(eng.fileNo))
            return true;
    }
}

int32_t p2tGetContentsLength(p2tEngine& eng, int32_t id, int32_t gen)
{
    ObjCacheContext objects = eng.objects();
    if (!p2tSeekObj(objects, id, gen)) {
        eng.debugLog.logWrite("p2tGetContentsLength", "オブジェクトへのシークで失敗しました");
        return -1;
    }
    std::string spare;
    for (int i = 0; i < 3; ++i)
        p2tReadTokenView(eng.fileNo, spare);
    return p2tToLong(p2tReadTokenView(eng.fileNo, spare)).value_or(-1);
}

bool p2tAnalyzeStream(p2tEngine& eng, p2tBytesView data, const std::string& filter)
{
    eng.debugLog.logWrite("p2tAnalyzeStream", "filterName=", filter);
    std::string_view bytes;
    bool zeroTail = false;
    if (filter == "/FlateDecode") {
        bytes = p2tFlateDecode(eng, data, static_cast<int32_t>(data.size() - 1));
        if (eng.flateFailed)
            return false;
    } else if (filter.empty()) {
        bytes = {reinterpret_cast<const char*>(data.bytes.data()), data.bytes.size()};
        zeroTail = data.zeroTail > 0;
    } else {
        eng.debugLog.logWrite("p2tAnalyzeStream", "未対応のデコード形式:", filter);
        p2tOutputMessage(eng, "フィルタ未対応:" + platform::cp932ToUtf8(filter));
        return false;
    }

    return p2tAnalyzeBytes(eng, bytes, zeroTail);
}

bool p2tAnalyzeBytes(p2tEngine& eng, std::string_view bytes, bool zeroTail)
{
    eng.decodeBudget -= static_cast<int64_t>(bytes.size());
    if (eng.decodeBudget < 0)
        return false; // the file has decoded far more than it could hold: it stops here

    // The bytes are taken one character each (p2tByteChar) as the lines are
    // read, instead of in a pass of their own.
    eng.debugLog.logWrite("p2tByteData2Str", "start");
    eng.debugLog.logWrite("p2tByteData2Str", "end");

    // Lines end at CR LF, a lone CR or a lone LF. Zeros past the end of the
    // file all fall into the last line, which then ends in a NUL and shows
    // nothing, however many there are.
    // The LF of a CR LF is taken as ending an empty line, which shows
    // nothing. Most lines of a drawing end in no show operator and cost no
    // more than the search for their end.
    TextBuffer& text = eng.streamText;
    text.clear();
    // Room for what the stream most likely gives, made once: the text is
    // rarely longer than the stream, and room not written takes no memory.
    text.room(bytes.size() + 2);
    size_t start = 0;
    auto lineEnd = [&](size_t at) {
        if (at > start)
            analyzeLine(eng, bytes.substr(start, at - start), text);
        start = at + 1;
    };
    p2tForEachLineEnd(bytes, lineEnd);
    if (!zeroTail)
        analyzeLine(eng, bytes.substr(start), text);
    text.append("\r\n");
    p2tOutputWrite(eng, text.view());
    return true;
}
