// An engine on the stack with fake windows, an in-memory or real output, and
// the CID table of the build.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/p2tDivePagesModule.h"
#include "engine/p2tEngine.h"
#include "engine/p2tMainModule.h"
#include "engine/p2tOutputModule.h"
#include "platform/system.h"
#include "tests/support/fakes.h"
#include "tests/support/tempDir.h"

// Fails the running test when boxes shows a box the test never looked at.
inline void failOnUnseenBox(const FakeBoxes& boxes)
{
    if (const FakeBoxes::Shown* box = boxes.unseen())
        ADD_FAILURE() << "a message box the test did not expect: " << box->text;
}

// Text files kept in memory; every write is also kept on its own. A limit
// makes writes fail once that many bytes are written, like a full disk.
class MemoryFiles : public OutputFileSystem {
public:
    class File : public OutputFile {
    public:
        File(MemoryFiles& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
        void write(std::string_view bytes) override
        {
            fs_.writes.emplace_back(bytes);
            std::string& f = fs_.files[path_];
            if (failed_ || f.size() + bytes.size() > fs_.limit) {
                failed_ = true;
                return;
            }
            f += bytes;
        }
        bool close() override { return !failed_; }

    private:
        MemoryFiles& fs_;
        std::string path_;
        bool failed_ = false;
    };
    std::unique_ptr<OutputFile> create(const std::string& path) override
    {
        files[path].clear();
        return std::make_unique<File>(*this, path);
    }
    std::map<std::string, std::string> files;
    std::vector<std::string> writes;
    size_t limit = static_cast<size_t>(-1);
};

inline const CidTable& buildCidTable()
{
    static CidTable table = [] {
        CidTable t;
        FakeBoxes boxes;
        p2tCIDInit(t, platform::programFolder(), boxes);
        return t;
    }();
    return table;
}

struct EngineHarness {
    Settings settings;
    FakeLog log;
    FakeBoxes boxes;
    FakePump pump;
    FakeProgress progress{pump};
    p2tEngine eng{settings, buildCidTable(), progress, log, boxes, pump};
    MemoryFiles memory;
    TempDir dir;
    std::vector<std::string> trace;

    EngineHarness()
    {
        eng.debugLog.open([this](std::string_view f, std::string_view m) {
            trace.push_back(std::string(f) + ": " + std::string(m));
        });
    }
    ~EngineHarness() { failOnUnseenBox(boxes); }

    // Converts pdf written as dir/name; the text file goes to disk unless
    // inMemory, in which case memory.files holds it.
    struct Result {
        bool ok;
        std::string text;
        std::string log;
    };
    Result convert(const std::string& pdf, bool inMemory = true, const std::string& name = "doc.pdf")
    {
        std::string path = dir.write(name, pdf);
        if (inMemory)
            eng.outputFiles = &memory;
        bool ok = p2tMain(eng, path);
        std::string txt = dir.file(name.substr(0, name.rfind('.')) + ".txt");
        return {ok, inMemory ? memory.files[txt] : readFile(txt), log.text()};
    }

    // The text one content stream gives, through p2tAnalyzeStream.
    std::string analyze(const std::string& data, const std::string& filter = "")
    {
        eng.outputFiles = &memory;
        if (!eng.output.blOpened) {
            eng.output.file = memory.create("stream");
            eng.output.blOpened = true;
        }
        p2tBytes bytes;
        bytes.bytes.assign(data.begin(), data.end());
        bytes.bytes.push_back('\n'); // the byte after the data that the reader hands on
        memory.writes.clear();
        bool ok = p2tAnalyzeStream(eng, bytes, filter);
        return ok && memory.writes.size() == 1 ? memory.writes[0] : "<failed>";
    }
};
