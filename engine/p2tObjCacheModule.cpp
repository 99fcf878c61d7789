#include "engine/p2tObjCacheModule.h"

#include <algorithm>
#include <unordered_set>

namespace {

constexpr size_t kInitialSlots = 1024;

uint64_t hashKey(int32_t id, int32_t gen)
{
    uint64_t k = static_cast<uint32_t>(id) | static_cast<uint64_t>(static_cast<uint32_t>(gen)) << 32;
    k ^= k >> 33;
    k *= 0xff51afd7ed558ccdULL;
    k ^= k >> 33;
    return k;
}

} // namespace

void ObjCache::reset()
{
    records_.clear();
    newestTrailerAt = -1;
    direct_.clear();
    slots_.assign(kInitialSlots, Slot{0, 0, 0});
    hashed_ = 0;
    resetTypes();
}

void ObjCache::resetTypes()
{
    types_.resize(2);
    typeIndex_ = {{"UNKNOWN", kUnknown}, {"???", kNoType}};
    lastType_ = kUnknown;
}

void ObjCache::release()
{
    records_ = {};
    direct_ = {};
    slots_ = {};
    hashed_ = 0;
    resetTypes();
}

size_t ObjCache::slotFor(int32_t id, int32_t gen) const
{
    size_t mask = slots_.size() - 1;
    size_t i = hashKey(id, gen) & mask;
    while (slots_[i].entryNo != 0 && (slots_[i].id != id || slots_[i].gen != gen))
        i = (i + 1) & mask;
    return i;
}

void ObjCache::grow()
{
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? kInitialSlots : old.size() * 2, Slot{0, 0, 0});
    for (const Slot& s : old)
        if (s.entryNo != 0)
            slots_[slotFor(s.id, s.gen)] = s;
}

void ObjCache::reserve(size_t entries)
{
    records_.reserve(entries);
}

int32_t ObjCache::add(int32_t id, int32_t gen, int32_t address)
{
    if (find(id, gen) != -1) {
        records_.push_back({id, gen, address, kUnknown});
        return count(); // the first registration of a number and generation wins
    }
    return insert(id, gen, address);
}

void ObjCache::addIfAbsent(int32_t id, int32_t gen, int32_t address)
{
    if (find(id, gen) == -1)
        insert(id, gen, address);
}

int32_t ObjCache::insert(int32_t id, int32_t gen, int32_t address)
{
    records_.push_back({id, gen, address, kUnknown});
    auto entryNo = static_cast<int32_t>(records_.size());
    const size_t directLimit = 2 * records_.size() + 65536;
    if (gen == 0 && id >= 0 && static_cast<size_t>(id) < directLimit) {
        if (static_cast<size_t>(id) >= direct_.size())
            direct_.resize(std::min(directLimit, std::max<size_t>(static_cast<size_t>(id) + 1, direct_.size() * 2)));
        direct_[static_cast<size_t>(id)] = entryNo;
        return entryNo;
    }
    if ((hashed_ + 1) * 2 > slots_.size())
        grow();
    slots_[slotFor(id, gen)] = Slot{id, gen, entryNo};
    ++hashed_;
    return entryNo;
}

int32_t ObjCache::find(int32_t id, int32_t gen) const
{
    if (gen == 0 && id >= 0 && static_cast<size_t>(id) < direct_.size() && direct_[static_cast<size_t>(id)] != 0)
        return direct_[static_cast<size_t>(id)];
    if (slots_.empty())
        return -1;
    int32_t entryNo = slots_[slotFor(id, gen)].entryNo;
    return entryNo == 0 ? -1 : entryNo;
}

uint32_t ObjCache::internType(std::string_view type)
{
    if (types_[lastType_] == type)
        return lastType_;
    auto [it, added] = typeIndex_.try_emplace(std::string(type), static_cast<uint32_t>(types_.size()));
    if (added)
        types_.emplace_back(type);
    lastType_ = it->second;
    return lastType_;
}

void p2tObjCacheInit(ObjCache& cache) { cache.reset(); }

void p2tObjCacheErase(ObjCache& cache) { cache.release(); }

int32_t p2tObjCacheRegister(ObjCache& cache, int32_t id, int32_t gen, int32_t address)
{
    return cache.add(id, gen, address);
}

int32_t p2tObjCacheFind(const ObjCache& cache, int32_t id, int32_t gen)
{
    if (id < 0 || gen < 0)
        return -1;
    return cache.find(id, gen);
}

namespace {

// An entry's record, its type found first when not yet known: what
// p2tGetObjCache copies, for the callers that need no copy.
const ObjCache::Record& typedRecord(ObjCacheContext& ctx, int32_t entryNo)
{
    ObjCache::Record& r = ctx.cache.record(entryNo);
    if (r.type == ObjCache::kUnknown) {
        int32_t saved = p2tGetPosition(ctx.fileNo);
        int32_t address = r.address;
        if (p2tSeek(ctx.fileNo, address)) {
            std::string spare; // reused: the scan may run through a whole content stream
            for (;;) {
                // Through the stream's data at speed.
                const std::string_view t = p2tReadTokenAfterOthers(ctx.fileNo, {"/Type", "endobj"}, spare);
                if (t == "/Type") {
                    r.type = ctx.cache.internType(p2tReadTokenView(ctx.fileNo, spare));
                    break;
                }
                if (t == "endobj") {
                    r.type = ObjCache::kNoType;
                    break;
                }
                if (p2tIsEOF(ctx.fileNo))
                    break;
            }
        }
        p2tSeek(ctx.fileNo, saved);
    }
    return r;
}

} // namespace

ObjCacheEntry p2tGetObjCache(ObjCacheContext& ctx, int32_t entryNo)
{
    const ObjCache::Record& r = typedRecord(ctx, entryNo);
    ObjCacheEntry e;
    e.id = r.id;
    e.gen = r.gen;
    e.objType = ctx.cache.typeName(r.type);
    e.address = r.address;
    return e;
}

std::string p2tGetObjType(ObjCacheContext& ctx, int32_t id, int32_t gen)
{
    int32_t entryNo = p2tObjCacheFind(ctx.cache, id, gen);
    if (entryNo == -1)
        return {};
    return ctx.cache.typeName(typedRecord(ctx, entryNo).type);
}

bool p2tSeekObj(ObjCacheContext& ctx, int32_t id, int32_t gen)
{
    int32_t entryNo = p2tObjCacheFind(ctx.cache, id, gen);
    if (entryNo == -1)
        return false;
    // The type is found when it is asked for, not on the way: it depends on
    // the file's bytes alone and only p2tGetObjType shows it, and most
    // objects sought (content streams) are never asked theirs, while finding
    // it would read them through to "endobj".
    return p2tSeek(ctx.fileNo, ctx.cache.record(entryNo).address);
}

int32_t p2tGetStartXrefPosition(ObjCacheContext& ctx)
{
    p2tSeekEnd(ctx.fileNo);
    int32_t back = 50;
    p2tSeekBack(ctx.fileNo, back);
    int32_t result = -1;
    for (;;) {
        std::string t = p2tGetToken(ctx.fileNo);
        if (t == "startxref") {
            result = p2tToLong(p2tGetToken(ctx.fileNo)).value_or(-1);
            break;
        }
        if (p2tIsEOF(ctx.fileNo))
            break;
    }
    ctx.log.logWrite("p2tGetStartXrefPosition", "pos=", result);
    return result;
}

bool p2tObjCacheConstruction(ObjCacheContext& ctx)
{
    int32_t offset = p2tGetStartXrefPosition(ctx);
    if (offset == -1)
        return false;
    return p2tObjCacheConstructionSub(ctx, offset);
}

namespace {

constexpr const char* kSub = "p2tObjCacheConstructionSub";

// Reads the "xref" keyword and the subsections of the section at offset.
// False when the section is unreadable. For the newest section, trailerAt
// gets where its "trailer" keyword begins when none of the words before it is
// one that the search for the root looks for: that search can then start
// there instead of reading the whole table again.
bool readSubsections(ObjCacheContext& ctx, int32_t& offset, int32_t* trailerAt = nullptr)
{
    ctx.log.logWrite(kSub, "処理開始 - xrefPosition=", offset);
    // An offset outside the file would leave the reader where it stands and
    // read some other part of the file as this section.
    if (!p2tSeek(ctx.fileNo, offset))
        return false;
    bool plain = true;
    auto watch = [&plain](std::string_view t) { plain = plain && t != "/Root" && t != "/Encrypt" && t != ">>"; };
    watch(p2tGetToken(ctx.fileNo)); // "xref", not checked
    for (;;) {
        int32_t before = p2tGetPosition(ctx.fileNo);
        std::string t = p2tGetToken(ctx.fileNo);
        if (t == "trailer") {
            if (trailerAt && plain)
                *trailerAt = before;
            return true;
        }
        auto first = p2tToLong(t);
        auto count = p2tToLong(p2tGetToken(ctx.fileNo));
        if (!first || !count)
            return false;
        if (*count > 0) // an entry takes 20 bytes: a count beyond the file reserves nothing more
            ctx.cache.reserve(ctx.cache.count() + std::min<size_t>(*count, p2tGetFileLength(ctx.fileNo) / 20));
        std::string spare;
        for (int32_t i = 1; i <= *count; ++i) {
            const int64_t number = static_cast<int64_t>(*first) + i - 1;
            int32_t entryAddress, entryGen;
            char entryKind;
            if (ctx.fileNo.readXrefEntryInWindow(entryAddress, entryGen, entryKind)) {
                // The usual form, read at once: the same as the three tokens
                // below, with a generation that cannot be negative.
                if (entryKind != 'n')
                    continue;
                if (number < 0 || number > INT32_MAX)
                    return false;
                ctx.cache.addIfAbsent(static_cast<int32_t>(number), entryGen, entryAddress);
                continue;
            }
            auto address = p2tToLong(p2tReadTokenView(ctx.fileNo, spare));
            auto gen = p2tToLong(p2tReadTokenView(ctx.fileNo, spare));
            std::string_view kind = p2tReadTokenView(ctx.fileNo, spare);
            if (!address || !gen)
                return false;
            watch(kind);
            if (kind != "n")
                continue;
            if (number < 0 || number > INT32_MAX)
                return false;
            auto id = static_cast<int32_t>(number);
            if (p2tObjCacheFind(ctx.cache, id, *gen) == -1)
                p2tObjCacheRegister(ctx.cache, id, *gen, *address);
        }
        if (p2tIsEOF(ctx.fileNo))
            return true;
    }
}

} // namespace

bool p2tObjCacheConstructionSub(ObjCacheContext& ctx, int32_t& offset)
{
    // The "/Prev" chain is walked with an explicit stack rather than by
    // recursion, so that a file of many updates cannot exhaust the stack, and
    // a section already read is never read again (a chain that loops is cut).
    struct Frame {
        int32_t offset;
        int32_t resumeAt; // read position after the "/Prev" value
        long tokens;      // trailer tokens read so far
    };
    std::vector<Frame> stack;
    std::unordered_set<int32_t> visited{offset};

    if (!readSubsections(ctx, offset, &ctx.cache.newestTrailerAt))
        return false;
    ctx.log.logWrite(kSub, "trailerの読み込みを開始します");
    Frame cur{offset, 0, 0};
    for (;;) {
        bool sectionDone = false;
        ++cur.tokens;
        if (cur.tokens % 20 == 0)
            ctx.log.logWrite(kSub, "trailer読込中… xrefPos=", cur.offset);
        std::string t = p2tGetToken(ctx.fileNo);
        if (t == "%%EOF") {
            ctx.log.logWrite(kSub, "%%EOF発見");
            sectionDone = true;
        } else if (t == "/Prev") {
            auto previous = p2tToLong(p2tGetToken(ctx.fileNo));
            if (!previous)
                return false;
            if (visited.insert(*previous).second) {
                cur.resumeAt = p2tGetPosition(ctx.fileNo);
                stack.push_back(cur);
                int32_t prevOffset = *previous;
                if (!readSubsections(ctx, prevOffset))
                    return false;
                ctx.log.logWrite(kSub, "trailerの読み込みを開始します");
                cur = Frame{prevOffset, 0, 0};
                continue;
            }
        }
        if (!sectionDone && p2tIsEOF(ctx.fileNo))
            sectionDone = true;
        if (!sectionDone)
            continue;
        ctx.log.logWrite(kSub, "処理終了");
        if (stack.empty())
            return true;
        cur = stack.back();
        stack.pop_back();
        if (!p2tSeek(ctx.fileNo, cur.resumeAt))
            return false;
    }
}

p2tKeyScan p2tSeekObjKey(ObjCacheContext& ctx, int32_t id, int32_t gen, std::string_view key)
{
    if (!p2tSeekObj(ctx, id, gen))
        return p2tKeyScan::NotSought;
    std::string spare;
    for (;;) {
        std::string_view t = p2tReadTokenAfterOthers(ctx.fileNo, {key, "endobj"}, spare);
        if (t == key)
            return p2tKeyScan::Found;
        if (t == "endobj" || p2tIsEOF(ctx.fileNo))
            return p2tKeyScan::Missing;
    }
}
