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
    o.int_ = b ? 1 : 0;
    return o;
}

Object Object::integer(int64_t i)
{
    Object o;
    o.kind_ = Kind::Int;
    o.int_ = i;
    return o;
}

Object Object::real(double r)
{
    Object o;
    o.kind_ = Kind::Real;
    o.real_ = r;
    return o;
}

Object Object::string(std::string bytes, bool hex)
{
    Object o;
    o.kind_ = Kind::String;
    o.text_ = std::move(bytes);
    o.int_ = hex ? 1 : 0;
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
    o.array_ = std::make_shared<const Array>(std::move(a));
    return o;
}

Object Object::dict(Dict d)
{
    Object o;
    o.kind_ = Kind::Dict;
    o.dict_ = std::make_shared<const Dict>(std::move(d));
    return o;
}

Object Object::stream(Stream s)
{
    Object o;
    o.kind_ = Kind::Stream;
    if (!s.dict)
        s.dict = std::make_shared<const Dict>();
    o.dict_ = s.dict;
    o.stream_ = std::make_shared<const Stream>(std::move(s));
    return o;
}

Object Object::ref(Ref r)
{
    Object o;
    o.kind_ = Kind::Ref;
    o.ref_ = r;
    return o;
}

int64_t Object::intValue() const
{
    if (kind_ == Kind::Int)
        return int_;
    if (kind_ == Kind::Real) {
        // Out-of-range reals (and NaN) saturate instead of being undefined.
        if (!(real_ > -9.2e18))
            return real_ != real_ ? 0 : INT64_MIN;
        if (real_ > 9.2e18)
            return INT64_MAX;
        return static_cast<int64_t>(real_);
    }
    return 0;
}

double Object::number() const
{
    if (kind_ == Kind::Int)
        return static_cast<double>(int_);
    if (kind_ == Kind::Real)
        return real_;
    return 0;
}

const Array& Object::arrayValue() const
{
    static const Array empty;
    return kind_ == Kind::Array ? *array_ : empty;
}

const Dict& Object::dictValue() const
{
    static const Dict empty;
    return (kind_ == Kind::Dict || kind_ == Kind::Stream) ? *dict_ : empty;
}

} // namespace pdf
