#pragma once
// A strict JSON reader for untrusted text (RFC 8259, UTF-8): the values land
// in one flat table, texts without escapes stay views into the text itself,
// nesting is bounded, and what is allocated grows with the text's length
// only. Numbers keep their kind: a whole number of at least 0 is unsigned, a
// negative one an integer, any other a float.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exception.h"

namespace quorin {

// Text that is not JSON; TooDeep when it nests deeper than allowed.
class EJsonError : public Exception {
public:
    EJsonError(std::string message, bool tooDeep) : Exception(std::move(message)), tooDeep_(tooDeep) {}
    bool TooDeep() const noexcept { return tooDeep_; }

private:
    bool tooDeep_;
};

class TJson {
public:
    enum class TType : std::uint8_t { Null, Boolean, Unsigned, Integer, Float, String, Array, Object };

    TType Type() const { return type_; }
    bool IsNull() const { return type_ == TType::Null; }
    bool IsBoolean() const { return type_ == TType::Boolean; }
    bool IsUnsigned() const { return type_ == TType::Unsigned; }
    bool IsInteger() const { return type_ == TType::Unsigned || type_ == TType::Integer; }
    bool IsNumber() const { return type_ == TType::Unsigned || type_ == TType::Integer || type_ == TType::Float; }
    bool IsString() const { return type_ == TType::String; }
    bool IsArray() const { return type_ == TType::Array; }
    bool IsObject() const { return type_ == TType::Object; }

    // Numbers as each kind, converted as a cast would.
    double Number() const;
    // The float nearest the number as written (not through a double, which
    // could round twice).
    float Float() const;
    std::uint64_t Unsigned() const;
    std::int64_t Integer() const;
    bool Boolean() const { return type_ == TType::Boolean && bits_ != 0; }
    // A string's text, unescaped; empty for other values.
    std::string_view Text() const { return type_ == TType::String ? text_ : std::string_view(); }
    // The value as the JSON text wrote it; for a string, its text unescaped.
    std::string_view Source() const { return text_; }

    // An array's elements or an object's members.
    std::size_t Size() const { return count_; }
    bool Empty() const { return count_ == 0; }
    const TJson& operator[](std::size_t index) const { return *children_[index]; }
    // The member of that name (the last, when there are more), or null.
    const TJson* Find(std::string_view key) const;
    // A member's name.
    std::string_view Key() const { return key_; }

    class TIterator {
    public:
        explicit TIterator(const TJson* const* at) : at_(at) {}
        const TJson& operator*() const { return **at_; }
        TIterator& operator++() { return ++at_, *this; }
        bool operator==(const TIterator&) const = default;

    private:
        const TJson* const* at_;
    };
    TIterator begin() const { return TIterator(children_); }
    TIterator end() const { return TIterator(children_ + count_); }

    static const TJson& EmptyArray();

private:
    friend class TJsonDocument;
    friend class TJsonParser;
    double ParsedDouble() const;

    TType type_ = TType::Null;
    std::uint32_t count_ = 0;
    std::uint64_t bits_ = 0;  // a whole number's or a boolean's value; floats are parsed when asked for
    std::string_view key_;
    std::string_view text_;  // a string's text unescaped; any other value's as written
    const TJson* const* children_ = nullptr;
    const TJson* const* sorted_ = nullptr;  // large objects' members by name, for Find
};

// A whole JSON text read; its values refer to the text, which must outlive it.
class TJsonDocument {
public:
    // Raises EJsonError when text is not one JSON value (whitespace around
    // it allowed) or nests deeper than maxDepth arrays and objects.
    TJsonDocument(std::string_view text, std::size_t maxDepth);
    const TJson& Root() const { return values_.front(); }

private:
    friend class TJsonParser;
    std::vector<TJson> values_;               // in the order the text gives them
    std::vector<const TJson*> children_;      // each container's, one run each; then large objects' sorted
    std::deque<std::string> unescaped_;       // texts that had escapes
};

} // namespace quorin
