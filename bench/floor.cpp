// The read-and-inflate floor: what any text extractor must at least do with
// these files. Reads each whole file, finds every FlateDecode stream by its
// "stream" keyword and the /Length of the dictionary before it, inflates it
// into one reused buffer and scans the inflated bytes once.
//
//   bench-floor FILE...
//   bench-floor --files-only OUTDIR FILE...
//
// Prints one summary line (streams, inflated bytes, the largest stream,
// newlines, a checksum); the counts keep the scan from being optimised out
// and let run.sh check the corpus.
//
// With --files-only it does only what the file system costs a converter per
// file: open, read and close each PDF, then create its text file in OUTDIR,
// write one line and close it. run.sh takes that cost off a folder run's time
// per page, as it takes the start-up cost off.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Totals {
    uint64_t streams = 0;
    uint64_t inflated = 0;
    uint64_t largest = 0;
    uint64_t newlines = 0;
    uint64_t checksum = 0;
    int failures = 0;
};

bool readWhole(const char* path, std::vector<uint8_t>& data)
{
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st{};
    if (fstat(fd, &st) != 0) {
        ::close(fd);
        return false;
    }
    data.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::read(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    data.resize(done);
    return true;
}

// Inflates in into out (grown as needed, never shrunk); the inflated size.
// -1 when the data is not a complete zlib stream.
long inflateInto(const uint8_t* in, size_t size, std::vector<uint8_t>& out, z_stream& zs)
{
    if (out.size() < 65536)
        out.resize(65536);
    inflateReset(&zs);
    zs.next_in = const_cast<Bytef*>(in);
    zs.avail_in = static_cast<uInt>(size);
    size_t produced = 0;
    for (;;) {
        if (produced == out.size())
            out.resize(out.size() * 2);
        zs.next_out = out.data() + produced;
        zs.avail_out = static_cast<uInt>(out.size() - produced);
        int ret = inflate(&zs, Z_NO_FLUSH);
        produced = out.size() - zs.avail_out;
        if (ret == Z_STREAM_END)
            return static_cast<long>(produced);
        if (ret != Z_OK && ret != Z_BUF_ERROR)
            return -1;
        if (ret == Z_BUF_ERROR && zs.avail_in == 0)
            return -1; // cut short
    }
}

// The dictionary of the stream whose keyword starts at pos: from the last
// "obj" before it. Gives /Length (direct values only) and whether it is
// deflated.
bool streamDict(std::string_view file, size_t pos, long& length, bool& flate)
{
    size_t from = file.rfind(" obj", pos);
    if (from == std::string_view::npos)
        return false;
    std::string_view dict = file.substr(from, pos - from);
    size_t at = dict.find("/Length");
    if (at == std::string_view::npos)
        return false;
    length = std::strtol(dict.data() + at + 7, nullptr, 10);
    flate = dict.find("/FlateDecode") != std::string_view::npos;
    return length >= 0;
}

void scanFile(const std::vector<uint8_t>& data, std::vector<uint8_t>& buffer, z_stream& zs, Totals& t)
{
    std::string_view file(reinterpret_cast<const char*>(data.data()), data.size());
    size_t pos = 0;
    for (;;) {
        size_t at = file.find("stream", pos);
        if (at == std::string_view::npos)
            return;
        pos = at + 6;
        if (at >= 3 && file.compare(at - 3, 3, "end") == 0)
            continue;
        size_t start = pos;
        if (start < file.size() && file[start] == '\r')
            ++start;
        if (start < file.size() && file[start] == '\n')
            ++start;
        else
            continue; // not the keyword
        long length;
        bool flate;
        if (!streamDict(file, at, length, flate) || start + static_cast<size_t>(length) > file.size()) {
            ++t.failures;
            continue;
        }
        pos = start + static_cast<size_t>(length);
        if (!flate)
            continue;
        long n = inflateInto(data.data() + start, static_cast<size_t>(length), buffer, zs);
        if (n < 0) {
            ++t.failures;
            continue;
        }
        ++t.streams;
        t.inflated += static_cast<uint64_t>(n);
        t.largest = std::max<uint64_t>(t.largest, static_cast<uint64_t>(n));
        uint64_t lines = 0, sum = 0;
        for (long i = 0; i < n; ++i) {
            uint8_t c = buffer[static_cast<size_t>(i)];
            lines += c == '\n';
            sum += c;
        }
        t.newlines += lines;
        t.checksum += sum;
    }
}

int filesOnly(const char* outDir, int count, char** files)
{
    std::vector<uint8_t> data(65536);
    int failures = 0;
    uint64_t bytes = 0;
    for (int i = 0; i < count; ++i) {
        // The fewest calls: a read that comes up short has met the end.
        int in = ::open(files[i], O_RDONLY | O_CLOEXEC);
        if (in < 0) {
            ++failures;
            continue;
        }
        size_t size = 0;
        for (;;) {
            if (size == data.size())
                data.resize(2 * data.size());
            ssize_t n = ::read(in, data.data() + size, data.size() - size);
            if (n > 0)
                size += static_cast<size_t>(n);
            if (n <= 0 || size < data.size())
                break;
        }
        ::close(in);
        bytes += size;
        const char* name = std::strrchr(files[i], '/');
        std::string out = std::string(outDir) + "/" + (name ? name + 1 : files[i]) + ".txt";
        int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            ++failures;
            continue;
        }
        std::string line = std::to_string(size) + " bytes\r\n";
        if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
            ++failures;
        if (::close(fd) != 0)
            ++failures;
    }
    std::printf("files=%d bytes=%llu failures=%d\n", count, static_cast<unsigned long long>(bytes), failures);
    return failures ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--files-only") == 0)
        return filesOnly(argv[2], argc - 3, argv + 3);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench-floor FILE...\n       bench-floor --files-only OUTDIR FILE...\n");
        return 2;
    }
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        return 1;
    std::vector<uint8_t> data, buffer;
    Totals t;
    for (int i = 1; i < argc; ++i) {
        if (!readWhole(argv[i], data)) {
            std::fprintf(stderr, "bench-floor: cannot read %s\n", argv[i]);
            ++t.failures;
            continue;
        }
        scanFile(data, buffer, zs, t);
    }
    inflateEnd(&zs);
    std::printf("streams=%llu inflated=%llu largest=%llu newlines=%llu checksum=%llu failures=%d\n",
                static_cast<unsigned long long>(t.streams), static_cast<unsigned long long>(t.inflated),
                static_cast<unsigned long long>(t.largest), static_cast<unsigned long long>(t.newlines),
                static_cast<unsigned long long>(t.checksum), t.failures);
    return t.failures ? 1 : 0;
}
