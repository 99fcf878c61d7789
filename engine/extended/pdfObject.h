// The objects of a PDF file as the extended reading mode sees them: null,
// booleans, numbers, strings, names, arrays, dictionaries, streams and
// references. Arrays, dictionaries and streams are shared, not copied, so an
// object cache can hand the same object to every reader of it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pdf {

struct Ref {
    int32_t num = 0;
    int32_t gen = 0;
    bool operator==(const Ref&) const = default;
};

class Object;
using Array = std::vector<Object>;

class Dict;

// A stream: its dictionary and where its raw (still encoded) data lies, in
// the file or, for streams made in memory, held here.
struct Stream {
    std::shared_ptr<const Dict> dict;
    int64_t offset = -1;     // data's start in the file; -1: the data is in `data`
    std::string data;        // raw data of a stream held in memory
    Ref ref;                 // the object it is (decryption keys depend on it)
};

class Object {
public:
    enum class Kind : uint8_t { Null, Bool, Int, Real, String, Name, Array, Dict, Stream, Ref };

    Object() = default;
    static Object boolean(bool b);
    static Object integer(int64_t i);
    static Object real(double r);
    static Object string(std::string bytes, bool hex = false);
    static Object name(std::string n); // without the slash, "#xx" decoded
    static Object array(Array a);
    static Object dict(Dict d);
    static Object stream(Stream s);
    static Object ref(Ref r);

    Kind kind() const { return kind_; }
    bool isNull() const { return kind_ == Kind::Null; }
    bool isBool() const { return kind_ == Kind::Bool; }
    bool isInt() const { return kind_ == Kind::Int; }
    bool isNumber() const { return kind_ == Kind::Int || kind_ == Kind::Real; }
    bool isString() const { return kind_ == Kind::String; }
    bool isName() const { return kind_ == Kind::Name; }
    bool isName(std::string_view n) const { return kind_ == Kind::Name && text_ == n; }
    bool isArray() const { return kind_ == Kind::Array; }
    bool isDict() const { return kind_ == Kind::Dict; }
    bool isStream() const { return kind_ == Kind::Stream; }
    bool isRef() const { return kind_ == Kind::Ref; }

    // Accessors answer a neutral value for the wrong kind (false, 0, "",
    // an empty array or dictionary), so that a damaged file reads as missing
    // data rather than failing an assertion.
    bool boolValue() const { return kind_ == Kind::Bool && value_.i != 0; }
    int64_t intValue() const;  // reals are truncated
    double number() const;     // ints and reals
    const std::string& text() const { return text_; } // string bytes or name
    bool hexString() const { return kind_ == Kind::String && hex_; }
    const Array& arrayValue() const;
    const Dict& dictValue() const; // a stream's dictionary for streams
    // The dictionary itself, shared rather than copied (an empty one for
    // other kinds): a stream made of a dictionary read keeps it so.
    std::shared_ptr<const Dict> sharedDict() const;
    const Stream* streamValue() const
    {
        return kind_ == Kind::Stream ? static_cast<const Stream*>(held_.get()) : nullptr;
    }
    Ref refValue() const { return kind_ == Kind::Ref ? value_.ref : Ref{}; }

    static const Object& null();

private:
    // Objects are copied and moved a great deal (object caches, page lists,
    // dictionaries' entries): one shared pointer for whichever of an array,
    // dictionary or stream this is, and one field for whichever number,
    // keep them small.
    Kind kind_ = Kind::Null;
    bool hex_ = false; // a string written in hexadecimal
    union Value {
        int64_t i; // Int, Bool (0 or 1)
        double r;  // Real
        Ref ref;   // Ref
    } value_{0};
    std::string text_;
    std::shared_ptr<const void> held_; // Array, Dict or Stream
};

// Defined after Object: its entries hold Objects by value, which some
// standard libraries need complete.
// Keys keep the order of the file; dictionaries are small, so a linear
// search beats a hash map. A key given twice keeps its first value.
class Dict {
public:
    const Object& get(std::string_view key) const;
    bool has(std::string_view key) const;
    void set(std::string key, Object value);
    const std::vector<std::pair<std::string, Object>>& entries() const { return entries_; }
    size_t size() const { return entries_.size(); }

private:
    std::vector<std::pair<std::string, Object>> entries_;
};

} // namespace pdf
