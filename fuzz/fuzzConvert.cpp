// Fuzz targets: the whole conversion of one PDF held in memory (reader, object
// cache, page tree walk, content streams, extraction), with fake windows and
// the text file in memory.
//
// The first byte of the input also picks the settings (XOR '%', so that a
// real PDF runs with the defaults): bit 0 turns CRLF off, bits 1 and 2 toggle
// the header and the footer, bit 3 uses a format with every field and a
// Japanese character, bit 4 makes every write fail like a full disk, bit 5
// presses cancel after the first page, and bit 6 converts the input a second
// time from a real file, which must give the same text and log (the reader
// has a windowed path for files and a direct one for memory). The engine
// never reads the first byte of a PDF after a seek, so the bits hardly change
// the parse.
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "engine/p2tEngine.h"
#include "engine/p2tMainModule.h"
#include "fuzz/fuzzTargets.h"
#include "platform/system.h"
#include "tests/support/fakes.h"

namespace {

// Text files that keep their bytes only when asked to (to compare two
// conversions), so that memory use is otherwise the engine's alone.
class CountingFiles : public OutputFileSystem {
public:
    class File : public OutputFile {
    public:
        explicit File(CountingFiles& fs) : fs_(fs) {}
        void write(std::string_view bytes) override
        {
            if (fs_.keepText)
                fs_.text += bytes;
            if (fs_.diskFull && !bytes.empty())
                failed_ = fs_.anyWriteFailed = true;
        }
        bool close() override { return !failed_; }

    private:
        CountingFiles& fs_;
        bool failed_ = false;
    };
    std::unique_ptr<OutputFile> create(const std::string&) override
    {
        ++created;
        return std::make_unique<File>(*this);
    }
    bool diskFull = false;
    bool keepText = false;
    bool anyWriteFailed = false;
    int created = 0;
    std::string text;
};

// The build's CID table, loaded once: from $SCRIVLET_CID_DIR, else from the
// executable's folder. Without the data file hex strings give no text, which
// still exercises their decoding.
const CidTable& cidTable()
{
    static const CidTable table = [] {
        CidTable t;
        const char* dir = std::getenv("SCRIVLET_CID_DIR");
        std::string folder = dir && *dir ? dir : platform::programFolder();
        FakeBoxes boxes;
        bool loaded = p2tCIDInit(t, folder, boxes);
#ifndef SCRIVLET_REPLAY
        std::fprintf(stderr, "fuzzConvert: CID table from %s/%s: %s\n", folder.c_str(), kCidDataFileName,
                     loaded ? "loaded" : "missing, using an empty table");
#else
        (void)loaded;
#endif
        return t;
    }();
    return table;
}

bool endsWithLineBreak(const std::string& s) { return s.size() >= 2 && s.compare(s.size() - 2, 2, "\r\n") == 0; }

struct Outcome {
    bool ok;
    std::string log;
    std::string text; // only when kept
};

// Converts the input once, from memory or from the file it was written to,
// and checks what must hold after any conversion.
Outcome convert(const Settings& settings, unsigned flags, std::string_view pdf, const std::string& path,
                bool fromFile)
{
    FakeLog log;
    FakeBoxes boxes;
    FakePump pump;
    FakeProgress progress{pump};
    if (flags & 32)
        progress.onChildValue = [&progress](int32_t v) {
            if (v == 2) // the first page is done
                progress.setCancelButtonPushed(true);
        };
    p2tEngine eng{settings, cidTable(), progress, log, boxes, pump};
    CountingFiles files;
    files.diskFull = flags & 16;
    files.keepText = flags & 64;
    eng.outputFiles = &files;
    eng.tickCount = [] { return 0u; };
    if (!fromFile)
        eng.memoryPdf = pdf;

    bool ok = p2tMain(eng, path);

    // What a damaged file may do is fail with a line in the log; what it may
    // never do is leave files open, stay silent about a failure, or let a
    // cut-off text file or a cancelled run pass as converted.
    fuzzCheck(!eng.fileNo.isOpen(), "the PDF is still open");
    fuzzCheck(!eng.output.blOpened, "the text file is still open");
    fuzzCheck(files.created == 1, "not exactly one text file was created");
    if (ok) {
        fuzzCheck(log.text().empty(), "a converted file left a message in the log");
        fuzzCheck(!files.anyWriteFailed, "a failed write passed as converted");
        fuzzCheck(!progress.cancelButtonPushed(), "a cancelled file passed as converted");
    } else {
        fuzzCheck(endsWithLineBreak(log.text()), "a failure without a complete line in the log");
    }
    fuzzCheck(boxes.shown().empty(), "a message box during a conversion");
    return {ok, log.text(), std::move(files.text)};
}

// One input under both modes' rules; `extended` turns on extended reading.
bool convertInput(const uint8_t* data, size_t size, bool extended)
{
    const unsigned flags = size > 0 ? data[0] ^ '%' : 0;
    Settings settings;
    settings.extended = extended;
    settings.OWConfirm = false; // nothing to overwrite: the text file is never on disk
    settings.CRLF = !(flags & 1);
    settings.headfootUse[0] = !(flags & 2);
    settings.headfootUse[1] = flags & 4;
    if (flags & 8)
        settings.headfootFormat[0] = settings.headfootFormat[1] = "%P/%A %N %F 頁";

    std::string_view pdf(reinterpret_cast<const char*>(data), size);
    const std::string path = fuzzTempDir() + "/input.pdf";
    Outcome fromMemory = convert(settings, flags, pdf, path, false);
    if (flags & 64) {
        fuzzWriteFile(path, pdf);
        Outcome fromFile = convert(settings, flags, pdf, path, true);
        fuzzCheck(fromFile.ok == fromMemory.ok, "a file and the same bytes in memory convert differently");
        fuzzCheck(fromFile.log == fromMemory.log, "a file and the same bytes in memory log differently");
        fuzzCheck(fromFile.text == fromMemory.text, "a file and the same bytes in memory give different text");
    }
    return fromMemory.ok;
}

} // namespace

bool fuzzConvertOne(const uint8_t* data, size_t size) { return convertInput(data, size, false); }
bool fuzzConvertExtendedOne(const uint8_t* data, size_t size) { return convertInput(data, size, true); }

#ifndef SCRIVLET_REPLAY
// The same source makes two fuzzers: the default mode's, and with
// SCRIVLET_FUZZ_EXTENDED the extended reading mode's.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
#ifdef SCRIVLET_FUZZ_EXTENDED
    fuzzConvertExtendedOne(data, size);
#else
    fuzzConvertOne(data, size);
#endif
    return 0;
}
#endif
