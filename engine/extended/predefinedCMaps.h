// The predefined CMaps of the CJK character collections (Adobe-Japan1, GB1,
// CNS1, Korea1, KR) and their CID-to-Unicode tables, read when first needed
// from the CMap folder of Debian's poppler-data, and Identity-H/V, built in.
// One object serves a process: documents share what it has read.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "engine/extended/cmap.h"

namespace pdf {

// Where the predefined CMaps lie: one folder per collection
// ("Adobe-Japan1/90ms-RKSJ-H"). Set at build time (SCRIVLET_CMAP_DIR).
std::string predefinedCMapFolder();

class PredefinedCMaps {
public:
    explicit PredefinedCMaps(std::string folder = predefinedCMapFolder());

    // A CMap by name ("90ms-RKSJ-H", "Identity-V"); null when unknown or
    // unreadable. `depth`: levels of usecmap above this one.
    std::shared_ptr<const CMap> get(std::string_view name, int depth = 0);

    // The collection a predefined CMap belongs to, by its ordering
    // ("Japan1"); empty for Identity and unknown names.
    std::string orderingOf(std::string_view name);

    // CID -> Unicode of a collection ("Japan1": Adobe-Japan1-UCS2, its CIDs
    // as two-byte codes); null when the collection has none.
    std::shared_ptr<const CMap> cidToUnicode(std::string_view ordering);

    // Reads usecmap names through this object.
    CMapResolver resolver();

    // A CMap file larger than this is not read.
    static constexpr size_t kMaxFileSize = 16u << 20;

private:
    std::string pathOf(std::string_view name); // empty if no file
    std::shared_ptr<const CMap> load(const std::string& key, const std::string& path, int depth);

    std::string folder_;
    std::recursive_mutex mutex_; // engines on several threads share one object
    std::map<std::string, std::shared_ptr<const CMap>, std::less<>> cache_; // null: looked for, not found
    std::map<std::string, std::string, std::less<>> collectionOf_;           // CMap name -> collection folder
    std::set<std::string, std::less<>> loading_;                             // usecmap loop guard
};

} // namespace pdf
