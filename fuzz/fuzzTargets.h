// The fuzz targets as plain functions, so that the same code runs under
// libFuzzer and in the replay test of the normal build.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

// A broken invariant. Under libFuzzer it aborts, which libFuzzer reports as
// a crash with the input saved; the replay test builds with SCRIVLET_REPLAY
// and gets an exception it can report as a failed test instead.
struct FuzzInvariantBroken : std::logic_error {
    using std::logic_error::logic_error;
};
[[noreturn]] inline void fuzzFail(const std::string& what)
{
#ifdef SCRIVLET_REPLAY
    throw FuzzInvariantBroken(what);
#else
    std::fprintf(stderr, "broken invariant: %s\n", what.c_str());
    std::abort();
#endif
}
inline void fuzzCheck(bool holds, const char* what)
{
    if (!holds)
        fuzzFail(what);
}

// A folder of this process's own for the files the targets write, removed
// at exit; on a memory file system when there is one, since the settings
// writer syncs every file.
inline const std::string& fuzzTempDir()
{
    static const std::string dir = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string base = tmp && *tmp ? tmp : access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string tmpl = base + "/scrivlet-fuzz-XXXXXX";
        if (!mkdtemp(tmpl.data()))
            fuzzFail("cannot make a temporary folder in " + base);
        return tmpl;
    }();
    static const bool removeAtExit = std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }) == 0;
    (void)removeAtExit;
    return dir;
}

inline void fuzzWriteFile(const std::string& path, std::string_view bytes)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        fuzzFail("cannot write " + path);
    for (size_t done = 0; done < bytes.size();) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            fuzzFail("cannot write " + path);
        done += static_cast<size_t>(n);
    }
    close(fd);
}

// One whole conversion of data as a PDF; true when the engine converted it.
bool fuzzConvertOne(const uint8_t* data, size_t size);
// The same with extended reading on.
bool fuzzConvertExtendedOne(const uint8_t* data, size_t size);
// The settings file reader and writer over data as a settings file.
void fuzzProfileOne(const uint8_t* data, size_t size);
// The CMap reader and the font loader of the extended reading mode.
void fuzzFontsOne(const uint8_t* data, size_t size);
