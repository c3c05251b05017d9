#include "JsonWriter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>

#include "Base64.h"

namespace quorin {

namespace {

// What each byte of a text becomes: 0 itself, 1 a short escape, 2 \u00XX.
constexpr std::array<std::uint8_t, 256> EscapeTable()
{
    std::array<std::uint8_t, 256> kinds{};
    for (int c = 0; c < 0x20; ++c)
        kinds[c] = 2;
    for (unsigned char c : {'"', '\\', '\b', '\f', '\n', '\r', '\t'})
        kinds[c] = 1;
    return kinds;
}

constexpr auto Escapes = EscapeTable();

char ShortEscape(char c)
{
    switch (c) {
    case '\b': return 'b';
    case '\f': return 'f';
    case '\n': return 'n';
    case '\r': return 'r';
    case '\t': return 't';
    default: return c;
    }
}

} // namespace

TJsonWriter::TJsonWriter(bool indented, std::size_t reserve, std::size_t headroom) : indented_(indented)
{
    out_.reserve(reserve);
    out_.resize(headroom, 0);
}

void TJsonWriter::NewLine(std::size_t depth)
{
    Append('\n');
    out_.insert(out_.end(), depth, '\t');
}

void TJsonWriter::BeforeValue()
{
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (depth_ == 0)
        return;
    if (!empty_)
        Append(',');
    empty_ = false;
    if (indented_)
        NewLine(depth_);
}

TJsonWriter& TJsonWriter::Open(char bracket)
{
    BeforeValue();
    Append(bracket);
    ++depth_;
    empty_ = true;
    return *this;
}

TJsonWriter& TJsonWriter::Close(char bracket)
{
    --depth_;
    if (indented_ && !empty_)
        NewLine(depth_);
    Append(bracket);
    empty_ = false;
    return *this;
}

TJsonWriter& TJsonWriter::Key(std::string_view key)
{
    BeforeValue();
    Append('"');
    Append(key);
    Append(indented_ ? "\": " : "\":");
    afterKey_ = true;
    return *this;
}

TJsonWriter& TJsonWriter::String(std::string_view text)
{
    BeforeValue();
    Append('"');
    std::size_t plain = 0;  // the start of the run not yet copied
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint8_t kind = Escapes[static_cast<unsigned char>(text[i])];
        if (kind == 0)
            continue;
        Append(text.substr(plain, i - plain));
        plain = i + 1;
        if (kind == 1) {
            const char escaped[2] = {'\\', ShortEscape(text[i])};
            Append({escaped, 2});
        } else {
            static constexpr char hex[] = "0123456789abcdef";
            const char escaped[6] = {'\\', 'u', '0', '0', hex[(text[i] >> 4) & 15], hex[text[i] & 15]};
            Append({escaped, 6});
        }
    }
    Append(text.substr(plain));
    Append('"');
    return *this;
}

TJsonWriter& TJsonWriter::Base64(std::span<const std::uint8_t> bytes, std::string_view prefix)
{
    BeforeValue();
    Append('"');
    Append(prefix);
    const std::size_t at = out_.size();
    out_.resize(at + Base64Length(bytes.size()));
    EncodeBase64(bytes, reinterpret_cast<char*>(out_.data() + at));
    Append('"');
    return *this;
}

TJsonWriter& TJsonWriter::Unsigned(std::uint64_t value)
{
    BeforeValue();
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    Append({digits, static_cast<std::size_t>(end - digits)});
    return *this;
}

template <typename T>
void TJsonWriter::Real(T value)
{
    BeforeValue();
    char digits[40];
    auto end = std::to_chars(digits, digits + sizeof digits - 2, value).ptr;
    if (std::none_of(digits, end, [](char c) { return c == '.' || c == 'e'; })) {
        *end++ = '.';
        *end++ = '0';
    }
    Append({digits, static_cast<std::size_t>(end - digits)});
}

TJsonWriter& TJsonWriter::Double(double value)
{
    Real(value);
    return *this;
}

TJsonWriter& TJsonWriter::Float(float value)
{
    if (std::isfinite(value)) {
        Real(value);
        return *this;
    }
    BeforeValue();
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, std::bit_cast<std::uint32_t>(value)).ptr;
    Append("\"bits:");
    Append({digits, static_cast<std::size_t>(end - digits)});
    Append('"');
    return *this;
}

TJsonWriter& TJsonWriter::Bool(bool value)
{
    BeforeValue();
    Append(value ? "true" : "false");
    return *this;
}

TJsonWriter& TJsonWriter::Null()
{
    BeforeValue();
    Append("null");
    return *this;
}

} // namespace quorin
