#include "engine/p2tOutputModule.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "engine/p2tEngine.h"
#include "platform/cp932.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace {

class DiskOutputFile : public OutputFile {
public:
    explicit DiskOutputFile(int fd) : fd_(fd) {}
    ~DiskOutputFile() override
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    void write(std::string_view bytes) override
    {
        if (failed_)
            return;
        if (buffer_.size() + bytes.size() > kBufferSize) {
            flush();
            if (bytes.size() >= kBufferSize) {
                writeAll(bytes);
                return;
            }
        }
        buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    }

    bool close() override
    {
        flush();
        bool ok = !failed_;
        if (::close(fd_) != 0)
            ok = false;
        fd_ = -1;
        return ok;
    }

private:
    static constexpr size_t kBufferSize = 64 * 1024;

    void flush()
    {
        if (!failed_ && !buffer_.empty())
            writeAll({buffer_.data(), buffer_.size()});
        buffer_.clear();
    }

    void writeAll(std::string_view data)
    {
        if (!failed_ && !platform::writeAll(fd_, data))
            failed_ = true; // disk full or medium gone: stop writing
    }

    int fd_;
    bool failed_ = false;
    std::vector<char> buffer_;
};

} // namespace

std::unique_ptr<OutputFile> DiskOutputFileSystem::create(const std::string& path)
{
    // An existing hidden file is not emptied: the existence test does not see
    // it, so the user would never have been asked.
    struct stat st{};
    std::string name = getFileName(path);
    if (!name.empty() && name[0] == '.' && lstat(path.c_str(), &st) == 0)
        return nullptr;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    return std::make_unique<DiskOutputFile>(fd);
}

p2tTextFile p2tTextFileFor(const Settings& settings, const std::string& pdfPath)
{
    p2tTextFile textFile{getFolderName(pdfPath) + "/" + getBaseName(pdfPath) + ".txt", {}};
    if (settings.OWConfirm && fileExists(textFile.path))
        textFile.overwriteQuestion = "以下のファイルは既に存在します。上書きしますか？\r" + textFile.path;
    return textFile;
}

void p2tOutputInit(p2tEngine& eng)
{
    eng.output.outputFileNo = 0;
    eng.output.blOpened = false;
    eng.output.outputFileName.clear();
    eng.output.file.reset();
}

bool p2tOutputOpen(p2tEngine& eng, const std::string& fileName)
{
    p2tOutputState& out = eng.output;
    if (out.blOpened)
        return false;
    out.outputFileNo = 1;
    const p2tTextFile textFile = p2tTextFileFor(eng.settings, fileName);
    out.outputFileName = textFile.path;
    if (textFile.asksFirst() && !textFile.askOverwrite(eng.boxes))
        return false;
    out.file = eng.outputFiles->create(out.outputFileName);
    if (!out.file)
        return false;
    out.blOpened = true;
    return true;
}

void p2tOutputWrite(p2tEngine& eng, std::string_view text)
{
    if (!eng.output.blOpened)
        return;
    if (eng.settings.encoding == TextEncoding::Utf8)
        eng.output.file->write(platform::cp932ToUtf8(text));
    else
        eng.output.file->write(text);
}

void p2tOutputWriteUnicode(p2tEngine& eng, std::string_view utf8)
{
    if (!eng.output.blOpened)
        return;
    if (eng.settings.encoding == TextEncoding::Utf8) {
        eng.output.file->write(utf8);
        return;
    }
    // Each character its own form, its JIS or compatibility form, or nothing.
    eng.output.file->write(platform::utf8ToCp932Text(utf8));
}

bool p2tOutputClose(p2tEngine& eng)
{
    p2tOutputState& out = eng.output;
    if (!out.blOpened)
        return false;
    bool ok = out.file->close();
    out.file.reset();
    out.blOpened = false;
    // A write or close that failed (disk full) is reported like a file that
    // could not be closed, so the log never shows a cut-off file as done.
    return ok;
}

void p2tOutputMessage(p2tEngine& eng, const std::string& text) { eng.processingLog.insert(text); }
