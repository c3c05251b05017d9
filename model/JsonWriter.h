#pragma once
// JSON text written straight into one buffer, value after value: no tree is
// built, numbers go through std::to_chars, keys stay in the order written.
// Texts must be UTF-8 (the model's texts are); they are escaped as JSON asks.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorin {

class TJsonWriter {
public:
    // indented: one value a line, tab-indented, as people read it; else compact.
    // reserve: the bytes the whole output is expected to take; headroom:
    // bytes left zero before the text, for a container's head.
    TJsonWriter(bool indented, std::size_t reserve, std::size_t headroom = 0);

    TJsonWriter& BeginObject() { return Open('{'); }
    TJsonWriter& EndObject() { return Close('}'); }
    TJsonWriter& BeginArray() { return Open('['); }
    TJsonWriter& EndArray() { return Close(']'); }
    // The next value is this member's. The name is written as it is: one of
    // ours, with nothing to escape.
    TJsonWriter& Key(std::string_view key);

    TJsonWriter& String(std::string_view text);
    // A text holding prefix then the bytes in Base64.
    TJsonWriter& Base64(std::span<const std::uint8_t> bytes, std::string_view prefix = {});
    TJsonWriter& Unsigned(std::uint64_t value);
    // Always with a fraction or an exponent, so it reads back as a float.
    TJsonWriter& Double(double value);
    // A finite float as the shortest number that gives it back when read as
    // a float (TJson::Float); any other as "bits:N", its bits, which JSON
    // numbers cannot hold. For what glTF's readers take as doubles (places,
    // bounds), Double(value) instead.
    TJsonWriter& Float(float value);
    TJsonWriter& Bool(bool value);
    TJsonWriter& Null();

    template <typename T>
    TJsonWriter& Member(std::string_view key, T value);

    // The headroom and the text, to be taken once the text is done.
    std::vector<std::uint8_t>& Bytes() { return out_; }

private:
    TJsonWriter& Open(char bracket);
    TJsonWriter& Close(char bracket);
    void BeforeValue();
    void NewLine(std::size_t depth);
    template <typename T>
    void Real(T value);
    void Append(std::string_view text) { out_.insert(out_.end(), text.begin(), text.end()); }
    void Append(char c) { out_.push_back(static_cast<std::uint8_t>(c)); }

    std::vector<std::uint8_t> out_;
    bool indented_;
    bool afterKey_ = false;
    bool empty_ = true;  // the innermost open container has nothing yet
    std::size_t depth_ = 0;
};

template <typename T>
TJsonWriter& TJsonWriter::Member(std::string_view key, T value)
{
    Key(key);
    if constexpr (std::is_same_v<T, bool>)
        return Bool(value);
    else if constexpr (std::is_same_v<T, float>)
        return Float(value);
    else if constexpr (std::is_same_v<T, double>)
        return Double(value);
    else if constexpr (std::is_integral_v<T>)
        return Unsigned(static_cast<std::uint64_t>(value));
    else
        return String(value);
}

} // namespace quorin
