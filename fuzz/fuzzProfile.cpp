// Fuzz target: the settings file reader and writer over arbitrary file
// contents. The first byte picks the key to write, its value and the buffer
// size of the reads; the rest is the file.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/myEtcModule.h"
#include "fuzz/fuzzTargets.h"
#include "platform/profile.h"

namespace {

// The names the program reads, and a few of other case.
const std::vector<std::pair<std::string, std::string>> kNames = {
    {"envs", "OWConfirm"}, {"envs", "CRLF"},       {"envs", "subFolder"},     {"headfoot", "use0"},
    {"headfoot", "use1"},  {"headfoot", "format0"}, {"headfoot", "format1"}, {"ENVS", "crlf"},
};
const char* const kWriteSections[] = {"envs", "headfoot", "ENVS", "new section"};
const char* const kWriteKeys[] = {"CRLF", "format0", "crlf", "k"};
// UTF-8; each has a code page 932 form and survives the reader's trimming.
const char* const kWriteValues[] = {"True", "", "---%P/%A--- 頁", "a=b;[c]"};
const size_t kBufferSizes[] = {256, 0, 1, 7};

const std::string& iniPath()
{
    static const std::string path = fuzzTempDir() + "/Scrivlet.ini";
    return path;
}

bool validUtf8(std::string_view s)
{
    for (size_t i = 0; i < s.size();) {
        auto b = static_cast<unsigned char>(s[i]);
        size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if ((x >= 'a' && x <= 'z' ? x - 32 : x) != (y >= 'a' && y <= 'z' ? y - 32 : y))
            return false;
    }
    return true;
}

std::vector<std::string> readAll(const std::string& path)
{
    std::vector<std::string> values;
    for (const auto& [section, key] : kNames)
        values.push_back(platform::getPrivateProfileString(section, key, "<none>", 4096, path));
    return values;
}

} // namespace

void fuzzProfileOne(const uint8_t* data, size_t size)
{
    const unsigned control = size > 0 ? data[0] : 0;
    std::string_view content(reinterpret_cast<const char*>(data), size);
    content.remove_prefix(size > 0 ? 1 : 0);
    const std::string& path = iniPath();
    fuzzWriteFile(path, content);

    // The reader: a value never exceeds the buffer, never holds a NUL or a
    // line break, and reaches the program as valid UTF-8.
    const size_t bufferSize = kBufferSizes[control >> 6];
    for (const auto& [section, key] : kNames) {
        std::string v = platform::getPrivateProfileString(section, key, "default", bufferSize, path);
        fuzzCheck(bufferSize == 0 ? v.empty() : v.size() < bufferSize, "a value longer than the buffer");
        fuzzCheck(v.find('\0') == std::string::npos, "a value with a NUL");
        fuzzCheck(v.find('\n') == std::string::npos, "a value with a line break");
        fuzzCheck(validUtf8(readProfileString(path, section, key)), "a value that is not UTF-8");
    }

    // The writer: the value written reads back as it was, and every other
    // key keeps its value.
    const std::string section = kWriteSections[control & 3];
    const std::string key = kWriteKeys[(control >> 2) & 3];
    const std::string value = kWriteValues[(control >> 4) & 3];
    std::vector<std::string> before = readAll(path);
    writeProfileString(path, section, key, value);
    fuzzCheck(readProfileString(path, section, key) == value, "the value written does not read back");
    std::vector<std::string> after = readAll(path);
    for (size_t i = 0; i < kNames.size(); ++i)
        if (!(sameName(kNames[i].first, section) && sameName(kNames[i].second, key)))
            fuzzCheck(before[i] == after[i], "writing one key changed another");
}

#ifndef SCRIVLET_REPLAY
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzProfileOne(data, size);
    return 0;
}
#endif
