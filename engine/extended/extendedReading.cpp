#include "engine/extended/extendedReading.h"

#include <algorithm>

#include "engine/extended/document.h"
#include "engine/p2tDivePagesModule.h"
#include "engine/p2tEngine.h"

p2tExtendedState::p2tExtendedState() = default;
p2tExtendedState::~p2tExtendedState() = default;

namespace {

// Content arrays hold streams; a reference chain through arrays is not
// followed further than this.
constexpr size_t kMaxContentStreams = 1 << 20;

// What a stream may still decode: the file's remaining decode budget.
size_t decodeLimit(const p2tEngine& eng)
{
    return static_cast<size_t>(std::max<int64_t>(eng.decodeBudget, 0)) + 1;
}

} // namespace

bool appendPageText(p2tEngine& eng, pdf::Document& document, const pdf::Page& page)
{
    // Until the content interpreter reads them, content streams go through
    // the default mode's line analysis, one after the other.
    pdf::Object contents = document.resolve(page.dict.dictValue().get("Contents"));
    std::vector<pdf::Object> streams;
    if (contents.isArray()) {
        for (const pdf::Object& item : contents.arrayValue())
            if (streams.size() < kMaxContentStreams)
                streams.push_back(document.resolve(item));
    } else {
        streams.push_back(contents);
    }
    for (const pdf::Object& stream : streams) {
        std::optional<std::string> data = document.streamData(stream, decodeLimit(eng));
        if (!data)
            continue; // not a stream, or one that cannot be decoded: no text
        if (!p2tAnalyzeBytes(eng, *data, false))
            return false;
    }
    return true;
}

const char* p2tExtendedConvert(p2tEngine& eng)
{
    eng.extended.document = std::make_unique<pdf::Document>(eng.fileNo);
    pdf::Document& document = *eng.extended.document;
    const char* failure = nullptr;
    switch (document.open()) {
    case pdf::Document::Status::Damaged:
        failure = "...ファイル破損";
        break;
    case pdf::Document::Status::NeedsPassword:
        failure = "...非対応(暗号化)";
        break;
    case pdf::Document::Status::Ok:
        break;
    }
    if (!failure) {
        const std::vector<pdf::Page>& pages = document.pages();
        eng.totalPages = static_cast<int32_t>(std::min<size_t>(pages.size(), INT32_MAX - 1));
        eng.progress.setChildMax(eng.totalPages + 1);
        eng.progress.setChildValue(1);
        for (const pdf::Page& page : pages) {
            ++eng.pageNo;
            p2tWriteHeadFoot(eng, 0);
            if (!appendPageText(eng, document, page)) {
                failure = "...ページ矛盾";
                break;
            }
            p2tWriteHeadFoot(eng, 1);
            eng.progress.setChildValue(eng.pageNo + 1);
            if (eng.progress.cancelButtonPushed())
                break;
        }
    }
    eng.extended.document.reset();
    return failure;
}
