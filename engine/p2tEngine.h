// The conversion engine's state: one PDF and one text file at a time, the
// object cache, the per-file counters, and what the engine sees of the windows.
// A test builds one on the stack with fakes for the windows.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/compress.h"
#include "engine/debugLog.h"
#include "engine/extended/extendedReading.h"
#include "engine/frontEnd.h"
#include "engine/p2tCIDModule.h"
#include "engine/p2tFileReadModule.h"
#include "engine/p2tObjCacheModule.h"
#include "engine/p2tOutputModule.h"
#include "engine/p2tStreamModule.h"
#include "engine/settings.h"

struct p2tEngine {
    p2tEngine(const Settings& settings, const CidTable& cidTable, ProgressView& progress, ProcessingLog& log,
              MessageBoxes& boxes, MessagePump& pump)
        : settings(settings), cidTable(cidTable), progress(progress), processingLog(log), boxes(boxes), pump(pump)
    {
    }

    const Settings& settings; // read live: the options dialog may change them mid-run
    const CidTable& cidTable;
    ProgressView& progress;
    ProcessingLog& processingLog;
    MessageBoxes& boxes;
    MessagePump& pump;

    DebugLog debugLog;
    p2tReader fileNo; // the open PDF
    // Set: p2tMain reads the PDF from these bytes (kept alive by the caller)
    // instead of opening the file; the file name still names the text file.
    std::optional<std::string_view> memoryPdf;
    ObjCache objCache;
    p2tOutputState output;
    DiskOutputFileSystem diskFiles;
    OutputFileSystem* outputFiles = &diskFiles;
    std::function<uint32_t()> tickCount; // null: the system's tick count
    std::vector<uint8_t> inflateBuffer;  // reused by every Flate stream
    Inflater inflater;
    TextBuffer streamText; // each content stream's text, made in the same room

    // Per-file state.
    std::string currentFileName;
    int32_t pageNo = 0;
    int32_t totalPages = 0;
    uint32_t startTick = 0;
    bool flateFailed = false;

    // Guards of the page tree walk: /Pages nodes already entered in this file
    // (a tree never lists a node twice; a cycle or a shared node would make
    // the walk endless or exponential), how deep the walk is, and the content
    // arrays expanded for the current page.
    std::unordered_set<uint64_t> pagesWalked;
    std::unordered_set<uint64_t> contentArraysExpanded;
    int walkDepth = 0;
    int contentDepth = 0;
    // Bytes of stream data a file may still decode. A page listed thousands
    // of times, or thousands of pages sharing one stream that inflates to
    // 10 MB, would otherwise decode (and write) without end; sound files
    // decode a small multiple of their size.
    int64_t decodeBudget = INT64_MAX; // set for each file by p2tMain
    static int64_t decodeBudgetFor(int64_t fileLength) { return 64 * fileLength + (256 << 20); }

    // The page header and footer made ready for the pages of one file.
    struct HeadFootPieces {
        std::string format;
        int32_t totalPages = 0;
        std::string fileName;
        std::vector<std::string> pieces; // empty: none made yet
    };
    HeadFootPieces headFootPieces[2];
    std::string headFootLine; // a page's header or footer, made in the same room each time

    // The extended reading mode's per-file state.
    p2tExtendedState extended;

    ObjCacheContext objects() { return {fileNo, objCache, debugLog}; }
    uint32_t now() const;
};

// Nesting beyond this depth (page tree levels, content arrays within arrays)
// fails the file instead of exhausting the stack.
inline constexpr int kMaxNesting = 1000;
