#include "platform/paths.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/system.h"

std::string getFileName(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string getFolderName(const std::string& path)
{
    // A path without "/" has no folder; the callers always pass full paths.
    size_t n = getFileName(path).size();
    if (n + 1 > path.size())
        return {};
    return path.substr(0, path.size() - n - 1);
}

std::string getBaseName(const std::string& path)
{
    std::string name = getFileName(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool isFolder(const std::string& path) { return platform::isDirectory(path); }

bool fileExists(const std::string& path) { return platform::findFile(path); }

std::string absolutePath(const std::string& path)
{
    if (path.empty() || path[0] == '/')
        return path;
    std::vector<char> buffer(4096);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return path; // no working folder to be had: the path stays as typed
        buffer.resize(buffer.size() * 2);
    }
    std::string folder = buffer.data();
    return folder == "/" ? "/" + path : folder + "/" + path;
}
