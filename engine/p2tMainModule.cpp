#include "engine/p2tMainModule.h"

#include "engine/extended/extendedReading.h"
#include "engine/p2tDivePagesModule.h"
#include "engine/p2tEngine.h"
#include "engine/p2tOutputModule.h"
#include "platform/system.h"

uint32_t p2tEngine::now() const { return tickCount ? tickCount() : platform::tickCount(); }

namespace {

std::string idGenText(const char* what, int32_t id, int32_t gen)
{
    return std::string(what) + " id=" + std::to_string(id) + " gen=" + std::to_string(gen);
}

// The end of a conversion that got through its pages (or was cancelled).
bool closeAndReport(p2tEngine& eng)
{
    if (!p2tOutputClose(eng)) {
        eng.fileNo.close();
        p2tOutputMessage(eng, "...出力ファイルがクローズできません\r\n");
        return false;
    }
    eng.fileNo.close();
    if (eng.progress.cancelButtonPushed()) {
        p2tOutputMessage(eng, "...中断\r\n");
        return false;
    }
    return true;
}

} // namespace

ObjCacheEntry p2tGetRootObjNumber(p2tEngine& eng)
{
    ObjCacheEntry result;
    result.fn = 0;
    result.address = 0;
    ObjCacheContext objects = eng.objects();
    int32_t offset = p2tGetStartXrefPosition(objects);
    if (offset == -1)
        return result;
    // The table's own tokens are numbers and "n" or "f": when the cache saw
    // nothing else in it, reading starts at the trailer, with the same result.
    int32_t from = eng.objCache.newestTrailerAt >= 0 ? eng.objCache.newestTrailerAt : offset;
    if (!p2tSeek(eng.fileNo, from))
        return result;
    int32_t rootId = -1, rootGen = -1;
    bool encrypted = false;
    for (;;) {
        std::string t = p2tGetToken(eng.fileNo);
        if (t == "/Root") {
            auto id = p2tToLong(p2tGetToken(eng.fileNo));
            auto gen = p2tToLong(p2tGetToken(eng.fileNo));
            if (!id || !gen)
                return result; // an unreadable reference: no root
            rootId = *id;
            rootGen = *gen;
        } else if (t == "/Encrypt") {
            encrypted = true;
            break;
        } else if (t == ">>") {
            break;
        }
        if (p2tIsEOF(eng.fileNo))
            break;
    }
    if (encrypted) {
        result.objType = "ENCRYPTED!";
    } else {
        result.id = rootId;
        result.gen = rootGen;
    }
    eng.debugLog.logWrite("p2tGetRootObjNumber",
                          "/Root id=" + std::to_string(rootId) + " gen=" + std::to_string(rootGen));
    return result;
}

ObjCacheEntry p2tGetFirstPagesObjNumber(p2tEngine& eng, int32_t rootId, int32_t rootGen)
{
    ObjCacheEntry result;
    ObjCacheContext objects = eng.objects();
    p2tKeyScan scan = p2tSeekObjKey(objects, rootId, rootGen, "/Pages");
    if (scan == p2tKeyScan::NotSought) {
        eng.debugLog.logWrite("p2tGetFirstPagesObjNumber", "ルートオブジェクトへのシークで失敗");
        return result;
    }
    if (scan == p2tKeyScan::Found) {
        auto id = p2tToLong(p2tGetToken(eng.fileNo));
        auto gen = p2tToLong(p2tGetToken(eng.fileNo));
        if (id && gen) {
            result.id = *id;
            result.gen = *gen;
        }
    }
    eng.debugLog.logWrite("p2tGetFirstPagesObjNumber", idGenText("/Pages", result.id, result.gen));
    return result;
}

int32_t p2tGetPageCount(p2tEngine& eng, int32_t pagesId, int32_t pagesGen)
{
    ObjCacheContext objects = eng.objects();
    p2tKeyScan scan = p2tSeekObjKey(objects, pagesId, pagesGen, "/Count");
    if (scan == p2tKeyScan::NotSought) {
        eng.debugLog.logWrite("p2tGetPageCount", "ページ数取得に失敗 fn=1 pagesObjID=" + std::to_string(pagesId)
                                                     + " pagesobjgen=" + std::to_string(pagesGen));
        p2tOutputMessage(eng, "...ページ数取得失敗\r\n");
        return -1;
    }
    if (scan == p2tKeyScan::Missing)
        return -1;
    // A count that is not a 32-bit number makes the file inconsistent.
    return p2tToLong(p2tGetToken(eng.fileNo)).value_or(-1);
}

bool p2tMain(p2tEngine& eng, const std::string& fileName)
{
    eng.pageNo = 0;
    p2tObjCacheInit(eng.objCache);
    p2tOutputInit(eng);
    eng.currentFileName = fileName;
    eng.pagesWalked.clear();
    eng.contentArraysExpanded.clear();
    eng.walkDepth = 0;
    eng.contentDepth = 0;

    eng.progress.setChildName(fileName);
    eng.progress.setChildValue(0);
    eng.pump.letMessagesThrough();

    if (!p2tOutputOpen(eng, fileName)) {
        p2tOutputMessage(eng, "...出力ファイルが開けません\r\n");
        return false;
    }
    eng.startTick = eng.now();

    auto fail = [&eng](const char* message) {
        eng.fileNo.close();
        p2tOutputClose(eng);
        p2tOutputMessage(eng, std::string(message) + "\r\n");
        return false;
    };
    // A PDF that cannot be opened (gone since the search, no permission) is
    // reported as unreadable.
    if (eng.memoryPdf)
        eng.fileNo.openMemory(eng.memoryPdf->data(), eng.memoryPdf->size());
    else if (!eng.fileNo.openFile(fileName))
        return fail("...ファイル破損");
    eng.decodeBudget = p2tEngine::decodeBudgetFor(eng.fileNo.length());
    // Extended reading takes the file from here.
    if (eng.settings.extended) {
        if (const char* failure = p2tExtendedConvert(eng))
            return fail(failure);
        return closeAndReport(eng);
    }
    ObjCacheContext objects = eng.objects();
    // A file that made the reader give up (exhausted()) is as unreadable as a
    // broken one.
    if (!p2tObjCacheConstruction(objects) || eng.fileNo.exhausted())
        return fail("...ファイル破損");
    ObjCacheEntry root = p2tGetRootObjNumber(eng);
    if (root.objType == "ENCRYPTED!")
        return fail("...非対応(暗号化)");
    if (root.id == -1 || root.gen == -1)
        return fail("...ファイル破損");
    ObjCacheEntry pages = p2tGetFirstPagesObjNumber(eng, root.id, root.gen);
    if (pages.id == -1 || pages.gen == -1)
        return fail("...ファイル破損");
    eng.totalPages = p2tGetPageCount(eng, pages.id, pages.gen);
    if (eng.totalPages == -1)
        return fail("...ファイル矛盾");

    int64_t childMax = static_cast<int64_t>(eng.totalPages) + 1;
    eng.progress.setChildMax(static_cast<int32_t>(std::min<int64_t>(childMax, INT32_MAX)));
    eng.progress.setChildValue(1);

    bool walked = p2tDivePages(eng, pages.id, pages.gen) && !eng.fileNo.exhausted();
    if (!walked && !eng.progress.cancelButtonPushed())
        return fail("...ページ矛盾");

    return closeAndReport(eng);
}
