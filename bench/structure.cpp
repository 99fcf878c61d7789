// The file structure of extended reading, measured on its own: each PDF
// converted by extended reading (cross-reference tables and streams, object
// streams, filters, decryption, the page list, its page loop), but with each
// content stream read by the default mode's line analysis instead of the
// content interpreter. What this costs over the default mode is what reading
// modern files costs; the glyphs that extended reading places are a separate
// cost.
//
//   bench-structure FILE...
//
// Writes FILE's text file as scrivlet-cli --overwrite does (code page 932,
// the default header); on files the default mode reads, the text is the
// default mode's. Exits 1 when a file fails, its log line on stderr.
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/progressModel.h"
#include "engine/extended/extendedReading.h"
#include "engine/p2tCIDModule.h"
#include "engine/p2tEngine.h"
#include "engine/p2tMainModule.h"
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
    eng.extended.writePage = appendPageTextByLines;
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string path = std::filesystem::absolute(argv[i]).string(); // text files are named from full paths
        if (!p2tMain(eng, path)) {
            std::fprintf(stderr, "%s failed\n", path.c_str());
            status = 1;
        }
    }
    return status;
}
