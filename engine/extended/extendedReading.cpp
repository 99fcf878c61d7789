#include "engine/extended/extendedReading.h"

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/extended/contentInterpreter.h"
#include "engine/extended/document.h"
#include "engine/p2tDivePagesModule.h"
#include "engine/p2tEngine.h"
#include "platform/cp932.h"

p2tExtendedState::p2tExtendedState() = default;
p2tExtendedState::~p2tExtendedState() = default;

namespace {

// The fonts a page's resources name, through the document's font cache. A
// font written directly into a resource dictionary is read once per page
// and kept while the page may still use it.
class PageFonts : public pdf::FontSource {
public:
    PageFonts(pdf::Document& document, p2tExtendedState& state)
        : document_(document), cache_(state.fonts), context_{*state.cmaps, nullptr, &state.encodingGlyphs}
    {
    }

    const pdf::Font* font(const pdf::Object& entry) override
    {
        if (entry.isRef())
            return keep(cache_.get(document_, entry, context_));
        const void* key = &entry.dictValue();
        auto found = direct_.find(key);
        if (found == direct_.end())
            found = direct_.emplace(key, cache_.get(document_, entry, context_)).first;
        return found->second.get();
    }

private:
    const pdf::Font* keep(std::shared_ptr<const pdf::Font> font)
    {
        const pdf::Font* raw = font.get();
        held_.try_emplace(raw, std::move(font)); // no node made when it is held already
        return raw;
    }

    pdf::Document& document_;
    pdf::FontCache& cache_;
    pdf::FontContext context_;
    std::unordered_map<const void*, std::shared_ptr<const pdf::Font>> direct_;
    std::unordered_map<const pdf::Font*, std::shared_ptr<const pdf::Font>> held_;
};

} // namespace

bool appendPageText(p2tEngine& eng, pdf::Document& document, const pdf::Page& page)
{
    if (eng.decodeBudget <= 0)
        return false;
    p2tExtendedState& state = eng.extended;
    if (!state.cmaps)
        state.cmaps = std::make_unique<pdf::PredefinedCMaps>();
    PageFonts fonts(document, state);
    pdf::ContentLimits limits;
    limits.maxContentBytes = std::min(limits.maxContentBytes, eng.decodeBudget);
    if (!state.layout || state.layout->lineBreaks() != eng.settings.CRLF) { // the options may change between runs
        state.layout = std::make_unique<pdf::TextLayout>(
            eng.settings.CRLF, [&eng](std::string_view text) { p2tOutputWriteUnicode(eng, text); });
    }
    const int64_t read = pdf::interpretPage(document, fonts, page.contents, page.resources,
                                            *state.layout, limits);
    eng.decodeBudget -= read;
    std::string text = state.layout->take();
    if (state.layout->tookText()) {
        text += "\r\n";
        p2tOutputWriteUnicode(eng, text);
    }
    // A page whose content reached the limit is too big to be sound.
    return read < limits.maxContentBytes && eng.decodeBudget > 0;
}

bool appendPageTextByLines(p2tEngine& eng, pdf::Document& document, const pdf::Page& page)
{
    pdf::Object contents = document.resolve(page.contents);
    std::vector<pdf::Object> streams;
    if (contents.isArray()) {
        for (const pdf::Object& item : contents.arrayValue())
            streams.push_back(document.resolve(item));
    } else {
        streams.push_back(contents);
    }
    for (const pdf::Object& stream : streams) {
        if (eng.decodeBudget <= 0)
            return false;
        std::optional<std::string> data = document.streamData(stream, static_cast<size_t>(eng.decodeBudget) + 1);
        if (!data)
            continue; // not a stream, or one that cannot be decoded: no text
        eng.decodeBudget -= static_cast<int64_t>(data->size());
        if (!p2tAnalyzeBytes(eng, *data, false))
            return false;
    }
    return eng.decodeBudget > 0;
}

const char* p2tExtendedConvert(p2tEngine& eng)
{
    eng.extended.document = std::make_unique<pdf::Document>(eng.fileNo);
    eng.extended.fonts = pdf::FontCache();
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
            if (!eng.extended.writePage(eng, document, page)) {
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
    eng.extended.fonts = pdf::FontCache();
    if (eng.extended.layout)
        eng.extended.layout->take(); // what a failed page left goes; the tables stay for the next file
    return failure;
}
