// The text output file (one ".txt" beside each PDF, code page 932) and the
// processing log.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/frontEnd.h"

struct p2tEngine;
struct Settings;

// The text file that belongs to a PDF and, when the file exists and the
// settings ask for it, the question to put before replacing it. The output
// module and the parallel run both name text files through this, so the
// parallel run's guard against two PDFs writing one text file holds.
struct p2tTextFile {
    std::string path;
    std::string overwriteQuestion; // empty: written without asking

    bool asksFirst() const { return !overwriteQuestion.empty(); }
    bool askOverwrite(MessageBoxes& boxes) const // true for Yes
    {
        return boxes.askYesNo(overwriteQuestion, MessageBoxes::Icon::Information);
    }
};
p2tTextFile p2tTextFileFor(const Settings& settings, const std::string& pdfPath);

// One text file open for writing. Writes are buffered; the first failed write
// stops all further writing, and close() then reports the failure.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    virtual void write(std::string_view bytes) = 0;
    virtual bool close() = 0; // false when any write or the close failed
};

// Creates (or empties) text files; tests put a failing or in-memory one here.
class OutputFileSystem {
public:
    virtual ~OutputFileSystem() = default;
    virtual std::unique_ptr<OutputFile> create(const std::string& path) = 0; // null on failure
};

// The real file system: buffered writes through a file descriptor.
class DiskOutputFileSystem : public OutputFileSystem {
public:
    std::unique_ptr<OutputFile> create(const std::string& path) override;
};

struct p2tOutputState {
    bool blOpened = false;
    int16_t outputFileNo = 0;
    std::string outputFileName;
    std::unique_ptr<OutputFile> file;
};

void p2tOutputInit(p2tEngine& eng);
bool p2tOutputOpen(p2tEngine& eng, const std::string& fileName);
// Code page 932 text, as the default reading makes it: written unchanged, or
// converted to UTF-8 when the settings ask for UTF-8 text files.
void p2tOutputWrite(p2tEngine& eng, std::string_view text);
// Unicode text (UTF-8), as the extended reading makes it: written unchanged
// in UTF-8 text files; in code page 932 ones each character takes its code
// page 932 form, and a character without one is left out.
void p2tOutputWriteUnicode(p2tEngine& eng, std::string_view utf8);
bool p2tOutputClose(p2tEngine& eng);
void p2tOutputMessage(p2tEngine& eng, const std::string& text); // UTF-8
