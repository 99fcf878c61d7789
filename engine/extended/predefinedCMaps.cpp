#include "engine/extended/predefinedCMaps.h"

#include <filesystem>
#include <fstream>
#include <optional>

#ifndef SCRIVLET_CMAP_DIR
#define SCRIVLET_CMAP_DIR "/usr/share/poppler/cMap"
#endif

namespace pdf {

namespace {

// Names of CMaps and collections are plain words: nothing that could reach
// outside the folder.
bool plainName(std::string_view name)
{
    if (name.empty() || name.size() > 100 || name[0] == '.')
        return false;
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
              || c == '.' || c == '+'))
            return false;
    return true;
}

std::optional<std::string> readFile(const std::string& path, size_t limit)
{
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    if (ec || size > limit)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string data(static_cast<size_t>(size), '\0');
    in.read(data.data(), static_cast<std::streamsize>(size));
    data.resize(static_cast<size_t>(in.gcount()));
    return data;
}

} // namespace

std::string predefinedCMapFolder() { return SCRIVLET_CMAP_DIR; }

PredefinedCMaps::PredefinedCMaps(std::string folder) : folder_(std::move(folder)) {}

CMapResolver PredefinedCMaps::resolver()
{
    return [this](std::string_view name, int depth) { return get(name, depth); };
}

std::string PredefinedCMaps::pathOf(std::string_view name)
{
    if (!plainName(name))
        return {};
    auto known = collectionOf_.find(name);
    if (known == collectionOf_.end()) {
        std::string collection;
        std::error_code ec;
        for (std::filesystem::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code fileEc;
            if (it->is_directory(fileEc) && std::filesystem::is_regular_file(it->path() / std::string(name), fileEc)) {
                collection = it->path().filename().string();
                break;
            }
        }
        known = collectionOf_.emplace(std::string(name), collection).first;
    }
    return known->second.empty() ? std::string() : folder_ + "/" + known->second + "/" + std::string(name);
}

std::shared_ptr<const CMap> PredefinedCMaps::load(const std::string& key, const std::string& path, int depth)
{
    if (auto it = cache_.find(key); it != cache_.end())
        return it->second;
    if (depth > kMaxCMapDepth || loading_.count(key))
        return nullptr;
    std::shared_ptr<const CMap> cmap;
    if (!path.empty())
        if (auto data = readFile(path, kMaxFileSize)) {
            loading_.insert(key);
            cmap = CMap::parse(*data, resolver(), depth);
            loading_.erase(key);
        }
    cache_[key] = cmap;
    return cmap;
}

std::shared_ptr<const CMap> PredefinedCMaps::get(std::string_view name, int depth)
{
    std::lock_guard lock(mutex_);
    if (name == "Identity-H" || name == "Identity-V") {
        auto& slot = cache_[std::string(name)];
        if (!slot)
            slot = CMap::identity(name == "Identity-V");
        return slot;
    }
    if (auto it = cache_.find(name); it != cache_.end())
        return it->second;
    return load(std::string(name), pathOf(name), depth);
}

std::string PredefinedCMaps::orderingOf(std::string_view name)
{
    std::lock_guard lock(mutex_);
    if (pathOf(name).empty())
        return {};
    const std::string& collection = collectionOf_.find(name)->second;
    // "Adobe-Japan1" -> "Japan1"
    size_t dash = collection.find('-');
    return dash == std::string::npos ? std::string() : collection.substr(dash + 1);
}

std::shared_ptr<const CMap> PredefinedCMaps::cidToUnicode(std::string_view ordering)
{
    std::lock_guard lock(mutex_);
    if (!plainName(ordering))
        return nullptr;
    std::string collection = "Adobe-" + std::string(ordering);
    std::string file = collection + "-UCS2";
    std::string path = folder_ + "/" + collection + "/" + file;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        path.clear();
    return load("\x01" + file, path, 0); // a key no CMap name can take
}

} // namespace pdf
