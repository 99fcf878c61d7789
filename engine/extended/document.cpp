#include "engine/extended/document.h"

#include <algorithm>

#include "engine/extended/encryption.h"
#include "engine/extended/filters.h"
#include "engine/extended/lexer.h"
#include "engine/p2tFileReadModule.h"

namespace pdf {

namespace {

// References to references are followed this far (a loop ends there).
constexpr int kMaxReferenceChain = 32;
// Page tree levels beyond this are not followed.
constexpr int kMaxTreeDepth = 256;
// An object stream decodes to no more than this.
constexpr size_t kLargestObjectStream = size_t{256} << 20;
// Objects kept read at once.
constexpr size_t kCachedObjects = 1 << 14;

} // namespace

Document::Document(p2tReader& reader) : file_(reader) {}

Document::~Document() = default;

void Document::rebuildOnce()
{
    if (xref_.rebuilt())
        return;
    xref_.rebuild(file_);
    // Objects of the object streams the scan found, unless defined directly.
    ObjectStreams::Decoder decode = [this](int32_t num, Object& stream) -> std::optional<std::string> {
        stream = object({num, 0});
        return stream.isStream() ? streamData(stream, kLargestObjectStream) : std::nullopt;
    };
    const std::vector<int32_t> streams = xref_.objectStreams();
    for (int32_t s : streams) {
        std::vector<int32_t> nums = objectStreams_.contents(decode, s);
        for (size_t i = 0; i < nums.size(); ++i)
            if (nums[i] != s)
                xref_.addIfMissing(nums[i], {XrefEntry::InStream, static_cast<int32_t>(i), s});
    }
}

Document::Status Document::open()
{
    if (!xref_.read(file_))
        rebuildOnce();
    const Object& encrypt = trailer().get("Encrypt");
    if (!encrypt.isNull()) {
        Object dict = resolve(encrypt);
        encryption_ = Encryption::open(dict.dictValue(), resolve(trailer().get("ID")));
        if (!encryption_)
            return Status::NeedsPassword;
    }
    auto findCatalog = [this] {
        catalog_ = resolve(trailer().get("Root"));
        if (!catalog_.dictValue().get("Pages").isNull())
            return true;
        if (xref_.scannedCatalog().num >= 0)
            catalog_ = object(xref_.scannedCatalog());
        return !catalog_.dictValue().get("Pages").isNull();
    };
    if (!findCatalog() && !xref_.rebuilt()) {
        cache_.clear();
        rebuildOnce();
        findCatalog();
    }
    return catalog_.isDict() && resolve(catalog_.dictValue().get("Pages")).isDict() ? Status::Ok : Status::Damaged;
}

Object Document::resolve(const Object& o)
{
    Object current = o;
    for (int i = 0; current.isRef(); ++i) {
        if (i == kMaxReferenceChain)
            return {};
        current = object(current.refValue());
    }
    return current;
}

Object Document::object(Ref ref) { return fetch(ref, true); }

Object Document::fetch(Ref ref, bool keep)
{
    auto hit = cache_.find(ref.num);
    if (hit != cache_.end())
        return hit->second;
    if (std::find(loading_.begin(), loading_.end(), ref.num) != loading_.end())
        return {}; // the object needs itself: a loop
    loading_.push_back(ref.num);
    Object value = load(ref.num);
    loading_.pop_back();
    // Streams are not kept: each is read once (its data is not held anyway).
    if (keep && !value.isStream()) {
        if (cache_.size() >= kCachedObjects)
            cache_.clear();
        cache_.emplace(ref.num, value);
    }
    return value;
}

Object Document::load(int32_t num)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        const XrefEntry* entry = xref_.find(num);
        if (!entry)
            return {};
        if (entry->type == XrefEntry::InStream) {
            const auto streamNum = static_cast<int32_t>(entry->where);
            if (streamNum == num)
                return {}; // an object stream that contains itself
            ObjectStreams::Decoder decode = [this](int32_t s, Object& stream) -> std::optional<std::string> {
                stream = object({s, 0});
                return stream.isStream() ? streamData(stream, kLargestObjectStream) : std::nullopt;
            };
            return objectStreams_.get(decode, streamNum, entry->gen, num);
        }
        Ref found{-1, 0};
        Object value = file_.objectAt(entry->where, found);
        if (found.num == num)
            return encryption_ ? decryptStrings(value, found, 0) : value;
        // Not where the table says: the table is wrong; scan the file once.
        if (xref_.rebuilt() || file_.exhausted())
            return {};
        rebuildOnce();
    }
    return {};
}

Object Document::decryptStrings(const Object& o, Ref ref, int depth) const
{
    if (depth > kMaxObjectDepth)
        return {};
    switch (o.kind()) {
    case Object::Kind::String: {
        std::string bytes = o.text();
        encryption_->decryptString(bytes, ref);
        return Object::string(std::move(bytes), o.hexString());
    }
    case Object::Kind::Array: {
        Array a;
        a.reserve(o.arrayValue().size());
        for (const Object& item : o.arrayValue())
            a.push_back(decryptStrings(item, ref, depth + 1));
        return Object::array(std::move(a));
    }
    case Object::Kind::Dict:
    case Object::Kind::Stream: {
        Dict d;
        for (const auto& [key, value] : o.dictValue().entries())
            d.set(key, decryptStrings(value, ref, depth + 1));
        if (o.isDict())
            return Object::dict(std::move(d));
        Stream s = *o.streamValue();
        s.dict = std::make_shared<const Dict>(std::move(d));
        return Object::stream(std::move(s));
    }
    default:
        return o;
    }
}

bool Document::rawData(const Stream& stream, std::string& data, std::vector<FilterStep>& steps)
{
    const Dict& dict = *stream.dict;
    Object length = resolve(dict.get("Length"));
    data = file_.streamBytes(stream, length.isInt() ? length.intValue() : -1, SIZE_MAX);

    auto resolveEach = [this](const Object& o) {
        Object r = resolve(o);
        if (!r.isArray())
            return r;
        Array a;
        for (const Object& item : r.arrayValue())
            a.push_back(resolve(item));
        return Object::array(std::move(a));
    };
    if (!filterSteps(resolveEach(dict.get("Filter")), resolveEach(dict.get("DecodeParms")), steps))
        return false;

    if (encryption_ && stream.offset >= 0 && !dict.get("Type").isName("XRef")
        && !(dict.get("Type").isName("Metadata") && !encryption_->encryptMetadata())) {
        std::string cryptFilter;
        if (!steps.empty() && (steps[0].name == "Crypt")) {
            const Object& name = steps[0].parms.get("Name");
            cryptFilter = name.isName() ? name.text() : "Identity";
        }
        encryption_->decryptStream(data, stream.ref, cryptFilter);
    }
    return true;
}

std::optional<std::string> Document::streamData(const Object& stream, size_t limit)
{
    const Stream* s = stream.streamValue();
    std::string data;
    std::vector<FilterStep> steps;
    if (!s || !rawData(*s, data, steps))
        return std::nullopt;
    if (applyFilters(steps, data, limit, &filterContext_) != FilterResult::Ok)
        return std::nullopt;
    return data;
}

std::unique_ptr<StreamPieces> Document::streamPieces(const Object& stream, size_t limit)
{
    const Stream* s = stream.streamValue();
    std::string data;
    std::vector<FilterStep> steps;
    if (!s || !rawData(*s, data, steps))
        return nullptr;
    if (InflatePieces::takes(steps))
        return std::make_unique<InflatePieces>(std::move(data), limit, piecesContext_);
    if (applyFilters(steps, data, limit, &filterContext_) != FilterResult::Ok)
        return nullptr;
    return std::make_unique<WholeStream>(std::move(data));
}

const std::vector<Page>& Document::pages()
{
    if (!pages_) {
        pages_.emplace();
        std::unordered_set<int32_t> seen;
        walk(catalog_.dictValue().get("Pages"), Page{}, 0, seen);
    }
    return *pages_;
}

void Document::walk(const Object& node, const Page& inherited, int depth, std::unordered_set<int32_t>& seen)
{
    if (depth > kMaxTreeDepth)
        return;
    Ref ref{-1, 0};
    if (node.isRef()) {
        ref = node.refValue();
        // A node met a second time: a cycle, a shared node or a page listed twice.
        if (!seen.insert(ref.num).second)
            return;
    }
    // As resolve() does, but the node itself is not kept in the cache.
    Object value = node.isRef() ? fetch(ref, false) : node;
    for (int i = 1; value.isRef() && i < kMaxReferenceChain; ++i)
        value = object(value.refValue());
    if (!value.isDict())
        return;
    const Dict& dict = value.dictValue();
    Page page = inherited;
    if (const Object& r = dict.get("Resources"); !r.isNull())
        page.resources = r;
    Object kids = resolve(dict.get("Kids"));
    if (!dict.get("Type").isName("Page") && kids.isArray()) {
        for (const Object& kid : kids.arrayValue())
            walk(kid, page, depth + 1, seen);
        return;
    }
    if (dict.get("Type").isName("Pages"))
        return; // a node without kids
    page.ref = ref;
    page.contents = dict.get("Contents");
    pages_->push_back(std::move(page));
}

} // namespace pdf
