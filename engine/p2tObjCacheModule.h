// The object cache: object number and generation -> byte offset, built from
// the file's classic cross-reference sections, plus each object's "/Type",
// found the first time the object is asked for.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/debugLog.h"
#include "engine/p2tFileReadModule.h"

struct ObjCacheEntry {
    int16_t fn = 0;
    int32_t id = -1;
    int32_t gen = -1;
    std::string objType;
    int32_t address = 0;
};

// The cache's state. Entries are numbered from 1 in registration order; the
// index is a hash table, so lookups stay constant-time for any object count.
class ObjCache {
public:
    struct Record {
        int32_t id;
        int32_t gen;
        int32_t address;
        uint32_t type; // index into types_
    };

    void reset();
    void release();
    int32_t count() const { return static_cast<int32_t>(records_.size()); }

    int32_t add(int32_t id, int32_t gen, int32_t address);
    // The same for a number and generation the cache may hold already, in
    // which case nothing is added (a cross-reference table's later entries).
    void addIfAbsent(int32_t id, int32_t gen, int32_t address);
    void reserve(size_t entries);
    int32_t find(int32_t id, int32_t gen) const;
    Record& record(int32_t entryNo) { return records_[static_cast<size_t>(entryNo - 1)]; }
    const std::string& typeName(uint32_t type) const { return types_[type]; }
    uint32_t internType(std::string_view type);

    // Where the newest section's trailer begins, when the tokens before it
    // hold none that the root lookup looks for; -1 otherwise.
    int32_t newestTrailerAt = -1;

    static constexpr uint32_t kUnknown = 0; // "UNKNOWN"
    static constexpr uint32_t kNoType = 1;  // "???"

private:
    int32_t insert(int32_t id, int32_t gen, int32_t address);
    void grow();
    size_t slotFor(int32_t id, int32_t gen) const;
    void resetTypes();

    struct Slot {
        int32_t id;
        int32_t gen;
        int32_t entryNo; // 0: empty
    };
    std::vector<Record> records_;
    // Objects of generation 0 numbered up to a little beyond the entry count,
    // as almost every file numbers them, are found by number directly; the
    // rest through a hash table (open addressing, keys kept inline).
    std::vector<int32_t> direct_; // entry numbers by object number, 0 = none
    std::vector<Slot> slots_;
    size_t hashed_ = 0;
    std::vector<std::string> types_{"UNKNOWN", "???"};
    std::unordered_map<std::string, uint32_t> typeIndex_{{"UNKNOWN", 0}, {"???", 1}};
    uint32_t lastType_ = kUnknown; // the type interned last: most objects share a few types
};

// Everything the cache operations work on: the open file, its cache and the
// trace log.
struct ObjCacheContext {
    p2tReader& fileNo;
    ObjCache& cache;
    DebugLog& log;
};

void p2tObjCacheInit(ObjCache& cache);
void p2tObjCacheErase(ObjCache& cache);
int32_t p2tObjCacheRegister(ObjCache& cache, int32_t id, int32_t gen, int32_t address);
int32_t p2tObjCacheFind(const ObjCache& cache, int32_t id, int32_t gen);
ObjCacheEntry p2tGetObjCache(ObjCacheContext& ctx, int32_t entryNo);
std::string p2tGetObjType(ObjCacheContext& ctx, int32_t id, int32_t gen);
bool p2tSeekObj(ObjCacheContext& ctx, int32_t id, int32_t gen);

// Seeks object id gen and reads its tokens up to key. Found leaves the reader
// just after the key; Missing: "endobj" or the end of the file came first;
// NotSought: the object could not be sought.
enum class p2tKeyScan { Found, Missing, NotSought };
p2tKeyScan p2tSeekObjKey(ObjCacheContext& ctx, int32_t id, int32_t gen, std::string_view key);
int32_t p2tGetStartXrefPosition(ObjCacheContext& ctx);
bool p2tObjCacheConstruction(ObjCacheContext& ctx);
bool p2tObjCacheConstructionSub(ObjCacheContext& ctx, int32_t& offset);
