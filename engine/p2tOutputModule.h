// The text output file (one ".txt" beside each PDF, code page 932) and the
// processing log.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct p2tEngine;

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
void p2tOutputWrite(p2tEngine& eng, std::string_view text); // code page 932 bytes, written unchanged
bool p2tOutputClose(p2tEngine& eng);
void p2tOutputMessage(p2tEngine& eng, const std::string& text); // UTF-8
