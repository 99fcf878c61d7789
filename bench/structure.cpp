// The file structure of extended reading, measured on its own: each PDF
// opened by the extended reader (cross-reference tables and streams, object
// streams, filters, decryption, the page list) and its pages written through
// extended reading's page loop, but each content stream read by the default
// mode's line analysis instead of the content interpreter. What this costs
// over the default mode is what reading modern files costs; the glyphs that
// extended reading places are a separate cost.
//
//   bench-structure FILE...
//
// Writes FILE's text file as scrivlet-cli --overwrite does (code page 932,
// the default header); on files the default mode reads, the text is the
// default mode's. Exits 1 when a file fails, its message on stderr.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/progressModel.h"
#include "engine/extended/document.h"
#include "engine/extended/extendedReading.h"
#include "engine/p2tCIDModule.h"
#include "engine/p2tDivePagesModule.h"
#include "engine/p2tEngine.h"
#include "engine/p2tOutputModule.h"
#include "platform/system.h"

namespace {

class Quiet : public MessagePump, public ProcessingLog, public MessageBoxes, public UnseenProgress {
public:
    void letMessagesThrough() override {}
    void insert(const std::string& text) override { std::fputs(text.c_str(), stderr); }
    void clear() override {}
    void showOk(const std::string& text, Icon) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    bool askYesNo(const std::string&, Icon) override { return true; }
};

// A page's content streams, each through the default mode's line analysis.
bool writeByLines(p2tEngine& eng, pdf::Document& document, const pdf::Page& page)
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

bool convert(p2tEngine& eng, const std::string& path)
{
    eng.pageNo = 0;
    eng.currentFileName = path;
    p2tOutputInit(eng);
    if (!p2tOutputOpen(eng, path) || !eng.fileNo.openFile(path)) {
        p2tOutputClose(eng);
        std::fprintf(stderr, "%s: cannot open\n", path.c_str());
        return false;
    }
    eng.decodeBudget = p2tEngine::decodeBudgetFor(eng.fileNo.length());
    const char* failure = p2tExtendedConvert(eng, writeByLines);
    eng.fileNo.close();
    bool closed = p2tOutputClose(eng);
    if (failure || !closed)
        std::fprintf(stderr, "%s: %s\n", path.c_str(), failure ? failure : "the text file did not close");
    return !failure && closed;
}

} // namespace

int main(int argc, char** argv)
{
    Quiet quiet;
    CidTable cidTable;
    p2tCIDInit(cidTable, platform::programFolder(), quiet);
    Settings settings;
    settings.OWConfirm = false;
    settings.extended = true;
    p2tEngine eng{settings, cidTable, quiet, quiet, quiet, quiet};
    int status = 0;
    for (int i = 1; i < argc; ++i)
        if (!convert(eng, std::filesystem::absolute(argv[i]).string())) // the engine names text files from full paths
            status = 1;
    return status;
}
