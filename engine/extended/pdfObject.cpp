#include "engine/extended/pdfObject.h"

namespace pdf {

const Object& Dict::get(std::string_view key) const
{
    for (const auto& [k, v] : entries_)
        if (k == key)
            return v;
    return Object::null();
}

bool Dict::has(std::string_view key) const
{
    for (const auto& entry : entries_)
        if (entry.first == key)
            return true;
    return false;
}

void Dict::set(std::string key, Object value)
{
    for (auto& entry : entries_)
        if (entry.first == key)
            return;
    // Most dictionaries hold a few entries: fewer steps of growth.
    if (entries_.empty())
        entries_.reserve(4);
    entries_.emplace_back(std::move(key), std::move(value));
}

const Object& Object::null()
{
    static const Object nothing;
    return nothing;
}

Object Object::boolean(bool b)
{
    Object o;
    o.kind_ = Kind::Bool;
    o.value_.i = b ? 1 : 0;
    return o;
}

Object Object::integer(int64_t i)
{
    Object o;
    o.kind_ = Kind::Int;
    o.value_.i = i;
    return o;
}

Object Object::real(double r)
{
    Object o;
    o.kind_ = Kind::Real;
    o.value_.r = r;
    return o;
}

Object Object::string(std::string bytes, bool hex)
{
    Object o;
    o.kind_ = Kind::String;
    o.text_ = std::move(bytes);
    o.hex_ = hex;
    return o;
}

Object Object::name(std::string n)
{
    Object o;
    o.kind_ = Kind::Name;
    o.text_ = std::move(n);
    return o;
}

Object Object::array(Array a)
{
    Object o;
    o.kind_ = Kind::Array;
    o.held_ = std::make_shared<const Array>(std::move(a));
    return o;
}

Object Object::dict(Dict d)
{
    Object o;
    o.kind_ = Kind::Dict;
    o.held_ = std::make_shared<const Dict>(std::move(d));
    return o;
}

Object Object::stream(Stream s)
{
    Object o;
    o.kind_ = Kind::Stream;
    if (!s.dict)
        s.dict = std::make_shared<const Dict>();
    o.held_ = std::make_shared<const Stream>(std::move(s));
    return o;
}

Object Object::ref(Ref r)
{
    Object o;
    o.kind_ = Kind::Ref;
    o.value_.ref = r;
    return o;
}

std::shared_ptr<const Dict> Object::sharedDict() const
{
    if (kind_ == Kind::Dict)
        return std::shared_ptr<const Dict>(held_, static_cast<const Dict*>(held_.get()));
    if (kind_ == Kind::Stream)
        return static_cast<const Stream*>(held_.get())->dict;
    return std::make_shared<const Dict>();
}

int64_t Object::intValue() const
{
    if (kind_ == Kind::Int)
        return value_.i;
    if (kind_ == Kind::Real) {
        const double r = value_.r;
        // Out-of-range reals (and NaN) saturate instead of being undefined.
        if (!(r > -9.2e18))
            return r != r ? 0 : INT64_MIN;
        if (r > 9.2e18)
            return INT64_MAX;
        return static_cast<int64_t>(r);
    }
    return 0;
}

double Object::number() const
{
    if (kind_ == Kind::Int)
        return static_cast<double>(value_.i);
    if (kind_ == Kind::Real)
        return value_.r;
    return 0;
}

const Array& Object::arrayValue() const
{
    static const Array empty;
    return kind_ == Kind::Array ? *static_cast<const Array*>(held_.get()) : empty;
}

const Dict& Object::dictValue() const
{
    static const Dict empty;
    if (kind_ == Kind::Dict)
        return *static_cast<const Dict*>(held_.get());
    if (kind_ == Kind::Stream)
        return *static_cast<const Stream*>(held_.get())->dict;
    return empty;
}

} // namespace pdf
