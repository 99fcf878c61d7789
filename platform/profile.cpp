#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/system.h"

namespace platform {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trim(std::string_view s)
{
    size_t b = s.find_first_not_of(kBlanks);
    if (b == std::string_view::npos)
        return {};
    size_t e = s.find_last_not_of(kBlanks);
    return s.substr(b, e - b + 1);
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x -= 32;
        if (y >= 'a' && y <= 'z') y -= 32;
        if (x != y)
            return false;
    }
    return true;
}

struct Line {
    std::string_view text;   // without its line end
    std::string_view ending; // "\r\n", "\n" or "" for the last line
};

std::vector<Line> splitLines(std::string_view content)
{
    std::vector<Line> lines;
    size_t start = 0;
    // Carriage returns before a line's end belong to the end, not to the
    // value: a stray one would otherwise change a value when a line end is
    // added after it.
    while (start < content.size()) {
        size_t nl = content.find('\n', start);
        size_t end = nl == std::string_view::npos ? content.size() : nl;
        size_t endStart = end;
        while (endStart > start && content[endStart - 1] == '\r')
            --endStart;
        size_t next = nl == std::string_view::npos ? content.size() : nl + 1;
        lines.push_back({content.substr(start, endStart - start), content.substr(endStart, next - endStart)});
        start = next;
    }
    return lines;
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string_view> sectionName(std::string_view line)
{
    line = trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    size_t close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trim(line.substr(1, close - 1));
}

// The key of a "key=value" line, or nothing.
std::optional<std::string_view> keyName(std::string_view line, std::string_view* value = nullptr)
{
    std::string_view t = trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '[')
        return std::nullopt;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    if (value)
        *value = trim(line.substr(eq + 1));
    return trim(line.substr(0, eq));
}

bool readWholeFile(const std::string& fileName, std::string& content)
{
    int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    content.clear();
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            close(fd);
            return false;
        }
        if (n == 0)
            break;
        content.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

// Writes content to a new file beside target and renames it over target.
bool replaceFile(const std::string& target, std::string_view content, mode_t mode)
{
    std::string tmpl = target + ".XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0)
        return false;
    bool ok = fchmod(fd, mode) == 0 && writeAll(fd, content) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok && rename(name.data(), target.c_str()) == 0)
        return true;
    unlink(name.data());
    return false;
}

} // namespace

std::string getPrivateProfileString(const std::string& section, const std::string& key,
                                     const std::string& defaultValue, size_t bufferSize,
                                     const std::string& fileName)
{
    auto fit = [bufferSize](std::string_view v) {
        v = v.substr(0, v.find('\0'));
        if (bufferSize == 0)
            return std::string();
        return std::string(v.substr(0, bufferSize - 1));
    };
    std::string content;
    if (!readWholeFile(fileName, content))
        return fit(defaultValue);
    bool inSection = false;
    for (const Line& line : splitLines(content)) {
        if (auto name = sectionName(line.text)) {
            if (inSection)
                break; // only the first section of that name counts
            inSection = sameName(*name, section);
            continue;
        }
        std::string_view value;
        if (inSection) {
            auto k = keyName(line.text, &value);
            if (k && sameName(*k, key)) {
                if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
                    value = value.substr(1, value.size() - 2);
                return fit(value);
            }
        }
    }
    return fit(defaultValue);
}

bool writePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& fileName)
{
    std::string target = fileName;
    char resolved[PATH_MAX];
    if (realpath(fileName.c_str(), resolved))
        target = resolved; // keep a symbolic link pointing at the settings

    std::string content;
    mode_t mode = 0644;
    struct stat st{};
    if (stat(target.c_str(), &st) == 0) {
        // A read-only file stays as it is, as on the platform this mirrors.
        if (!S_ISREG(st.st_mode) || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0
            || access(target.c_str(), W_OK) != 0 || !readWholeFile(target, content))
            return false;
        mode = st.st_mode & 07777;
    }

    std::vector<Line> lines = splitLines(content);
    std::string_view eol = "\r\n";
    if (!lines.empty() && lines.front().ending.ends_with('\n'))
        eol = lines.front().ending.ends_with("\r\n") ? "\r\n" : "\n";
    std::string newLine = key + "=" + value;

    // Find the section, the key's line in it, and the section's last non-blank line.
    std::optional<size_t> sectionLine, keyLine, lastFilled;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (auto name = sectionName(lines[i].text)) {
            if (sectionLine)
                break;
            if (sameName(*name, section)) {
                sectionLine = i;
                lastFilled = i;
            }
            continue;
        }
        if (!sectionLine)
            continue;
        if (!trim(lines[i].text).empty())
            lastFilled = i;
        auto k = keyName(lines[i].text);
        if (k && sameName(*k, key)) {
            keyLine = i;
            break;
        }
    }

    std::string out;
    out.reserve(content.size() + newLine.size() + section.size() + 8);
    auto emit = [&](size_t i) {
        out.append(lines[i].text);
        out.append(lines[i].ending);
    };
    if (keyLine) {
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i == *keyLine) {
                out += newLine;
                out.append(lines[i].ending);
            } else {
                emit(i);
            }
        }
    } else if (sectionLine) {
        for (size_t i = 0; i < lines.size(); ++i) {
            emit(i);
            if (i == *lastFilled) {
                if (!lines[i].ending.ends_with('\n'))
                    out += eol;
                out += newLine;
                out += eol;
            }
        }
    } else {
        out = content;
        if (!out.empty() && out.back() != '\n')
            out += eol;
        out += "[" + section + "]";
        out += eol;
        out += newLine;
        out += eol;
    }
    return replaceFile(target, out, mode);
}

} // namespace platform
