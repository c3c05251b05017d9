#include "JsonReader.h"

#include "base/Text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quorin {

namespace {

// Objects with more members than this are searched by a sorted index.
constexpr std::uint32_t LinearSearchMembers = 16;

constexpr std::uint64_t Repeated(std::uint8_t byte) { return 0x0101010101010101ull * byte; }

// Whether any of the eight bytes in x is below n (n at most 128).
constexpr std::uint64_t AnyBelow(std::uint64_t x, std::uint8_t n) { return (x - Repeated(n)) & ~x & Repeated(0x80); }

// A string's bytes that need no more than copying: printable ASCII but the
// quote and the backslash.
constexpr std::array<bool, 256> PlainTable()
{
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x80; ++c)
        plain[c] = c != '"' && c != '\\';
    return plain;
}

constexpr auto Plain = PlainTable();

template <typename To, typename From>
To Clamped(From value)
{
    if (!(value >= static_cast<From>(std::numeric_limits<To>::min())))
        return std::numeric_limits<To>::min();
    if (!(value < static_cast<From>(std::numeric_limits<To>::max())))
        return std::numeric_limits<To>::max();
    return static_cast<To>(value);
}

} // namespace

double TJson::Number() const
{
    switch (type_) {
    case TType::Unsigned: return static_cast<double>(bits_);
    case TType::Integer: return static_cast<double>(static_cast<std::int64_t>(bits_));
    case TType::Float: return ParsedDouble();
    default: return 0;
    }
}

double TJson::ParsedDouble() const
{
    double value = 0;
    // Out of range only below the smallest double: the reader refused larger.
    const auto [end, error] = std::from_chars(text_.data(), text_.data() + text_.size(), value);
    return error == std::errc() ? value : text_.starts_with('-') ? -0.0 : 0.0;
}

float TJson::Float() const
{
    if (!IsNumber())
        return 0;
    float value = 0;
    const auto [end, error] = std::from_chars(text_.data(), text_.data() + text_.size(), value);
    if (error == std::errc())
        return value;
    // Beyond a float's range: infinity, or zero below its smallest.
    const double number = Number();
    return static_cast<float>(std::copysign(std::abs(number) > 1 ? std::numeric_limits<float>::infinity() : 0.0, number));
}

std::uint64_t TJson::Unsigned() const
{
    switch (type_) {
    case TType::Unsigned:
    case TType::Integer: return bits_;
    case TType::Float: return Clamped<std::uint64_t>(ParsedDouble());
    default: return 0;
    }
}

std::int64_t TJson::Integer() const
{
    switch (type_) {
    case TType::Unsigned:
    case TType::Integer: return static_cast<std::int64_t>(bits_);
    case TType::Float: return Clamped<std::int64_t>(ParsedDouble());
    default: return 0;
    }
}

const TJson* TJson::Find(std::string_view key) const
{
    if (type_ != TType::Object)
        return nullptr;
    if (sorted_) {
        // Equal names keep their order, so the last of the run is the last written.
        const auto* after = std::upper_bound(sorted_, sorted_ + count_, key,
                                             [](std::string_view k, const TJson* member) { return k < member->key_; });
        return after != sorted_ && (*(after - 1))->key_ == key ? *(after - 1) : nullptr;
    }
    for (std::uint32_t i = count_; i-- > 0;)
        if (children_[i]->key_ == key)
            return children_[i];
    return nullptr;
}

const TJson& TJson::EmptyArray()
{
    static const TJson empty = [] {
        TJson array;
        array.type_ = TType::Array;
        return array;
    }();
    return empty;
}

class TJsonParser {
public:
    TJsonParser(TJsonDocument& document, std::string_view text, std::size_t maxDepth)
        : document_(document), values_(document.values_), begin_(text.data()), at_(text.data()),
          end_(text.data() + text.size()), maxDepth_(maxDepth)
    {
    }

    void Run()
    {
        SkipSpace();
        Value(0, {});
        SkipSpace();
        if (at_ != end_)
            Fail("expected the end of the text after the value");
        Link();
    }

private:
    using TType = TJson::TType;

    [[noreturn]] void Fail(const std::string& what) const
    {
        throw EJsonError("at byte " + std::to_string(at_ - begin_) + ": " + what, false);
    }

    void SkipSpace()
    {
        while (at_ != end_ && (*at_ == ' ' || *at_ == '\n' || *at_ == '\r' || *at_ == '\t'))
            ++at_;
    }

    void Expect(char c, const char* what)
    {
        if (at_ == end_ || *at_ != c)
            Fail(std::string("expected ") + what);
        ++at_;
    }

    std::uint32_t Value(std::size_t depth, std::string_view key)
    {
        if (at_ == end_)
            Fail("expected a value, found the end of the text");
        const auto index = static_cast<std::uint32_t>(values_.size());
        values_.emplace_back();
        values_[index].key_ = key;
        const char* start = at_;
        switch (*at_) {
        case '{':
            Container(index, depth + 1, '}');
            break;
        case '[':
            Container(index, depth + 1, ']');
            break;
        case '"': {
            const std::string_view text = String();
            values_[index].type_ = TType::String;
            values_[index].text_ = text;
            break;
        }
        case 't':
            Literal("true", index, TType::Boolean, 1);
            break;
        case 'f':
            Literal("false", index, TType::Boolean, 0);
            break;
        case 'n':
            Literal("null", index, TType::Null, 0);
            break;
        default:
            Number(index);
        }
        if (values_[index].type_ != TType::String)
            values_[index].text_ = std::string_view(start, static_cast<std::size_t>(at_ - start));
        return index;
    }

    void Literal(std::string_view word, std::uint32_t index, TType type, std::uint64_t bits)
    {
        if (static_cast<std::size_t>(end_ - at_) < word.size() || std::string_view(at_, word.size()) != word)
            Fail("expected a value");
        at_ += word.size();
        values_[index].type_ = type;
        values_[index].bits_ = bits;
    }

    // An array or an object; its children's indices gather on the stack and
    // go to the document's list as one run when it closes.
    void Container(std::uint32_t index, std::size_t depth, char close)
    {
        if (depth > maxDepth_)
            throw EJsonError("it nests deeper than " + std::to_string(maxDepth_) + " levels", true);
        const bool object = close == '}';
        ++at_;
        SkipSpace();
        const std::size_t first = stack_.size();
        if (at_ != end_ && *at_ == close) {
            ++at_;
        } else {
            for (;;) {
                std::string_view key;
                if (object) {
                    if (at_ == end_ || *at_ != '"')
                        Fail("expected a member's name");
                    key = String();
                    SkipSpace();
                    Expect(':', "':' after a member's name");
                    SkipSpace();
                }
                stack_.push_back(Value(depth, key));
                SkipSpace();
                if (at_ != end_ && *at_ == ',') {
                    ++at_;
                    SkipSpace();
                    continue;
                }
                Expect(close, object ? "',' or '}'" : "',' or ']'");
                break;
            }
        }
        TJson& value = values_[index];
        value.type_ = object ? TType::Object : TType::Array;
        value.count_ = static_cast<std::uint32_t>(stack_.size() - first);
        value.bits_ = childIndices_.size();  // where its run starts, until Link
        childIndices_.insert(childIndices_.end(), stack_.begin() + static_cast<std::ptrdiff_t>(first), stack_.end());
        stack_.resize(first);
    }

    // Past the bytes that need only copying, sixteen or eight at a time while
    // they can: the long Base64 texts of a glTF are most of its JSON.
    void SkipPlain()
    {
#if defined(__SSE2__)
        // Signed bytes: below 0x20 catches the controls and every non-ASCII byte.
        const __m128i quote = _mm_set1_epi8('"'), backslash = _mm_set1_epi8('\\'), space = _mm_set1_epi8(0x20);
        while (end_ - at_ >= 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at_));
            const __m128i special =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, quote), _mm_cmpeq_epi8(x, backslash)), _mm_cmplt_epi8(x, space));
            if (_mm_movemask_epi8(special) != 0)
                break;
            at_ += 16;
        }
#endif
        while (end_ - at_ >= 8) {
            std::uint64_t x;
            std::memcpy(&x, at_, 8);
            const std::uint64_t special = AnyBelow(x ^ Repeated('"'), 1) | AnyBelow(x ^ Repeated('\\'), 1) |
                                          AnyBelow(x, 0x20) | (x & Repeated(0x80));
            if (special != 0)
                break;
            at_ += 8;
        }
        while (at_ != end_ && Plain[static_cast<unsigned char>(*at_)])
            ++at_;
    }

    // A text: a view into the JSON when it has no escapes, else unescaped
    // into the document's own store.
    std::string_view String()
    {
        ++at_;
        const char* start = at_;
        const char* copied = start;  // the start of what is not yet in out
        std::string* out = nullptr;
        bool ascii = true;
        for (;;) {
            SkipPlain();
            if (at_ == end_)
                Fail("a text is not closed");
            const auto c = static_cast<unsigned char>(*at_);
            if (c == '"') {
                // Escapes are ASCII, so the raw text is UTF-8 when its letters are.
                if (!ascii && !IsValidUtf8(std::string_view(start, static_cast<std::size_t>(at_ - start)))) {
                    at_ = start - 1;
                    Fail("a text is not UTF-8");
                }
                const char* last = at_++;
                if (!out)
                    return std::string_view(start, static_cast<std::size_t>(last - start));
                out->append(copied, last);
                return *out;
            }
            if (c == '\\') {
                if (!out)
                    out = &document_.unescaped_.emplace_back();
                out->append(copied, at_);
                Escape(*out);
                copied = at_;
            } else if (c < 0x20) {
                Fail("a text holds a control character");
            } else {
                ascii = false;
                ++at_;
            }
        }
    }

    void Escape(std::string& out)
    {
        ++at_;  // the backslash
        if (at_ == end_)
            Fail("a text is not closed");
        const char c = *at_++;
        switch (c) {
        case '"': case '\\': case '/': out.push_back(c); return;
        case 'b': out.push_back('\b'); return;
        case 'f': out.push_back('\f'); return;
        case 'n': out.push_back('\n'); return;
        case 'r': out.push_back('\r'); return;
        case 't': out.push_back('\t'); return;
        case 'u': break;
        default: Fail("a text holds an unknown escape");
        }
        std::uint32_t code = Hex4();
        if (code >= 0xDC00 && code <= 0xDFFF)
            Fail("a text holds a low surrogate alone");
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (end_ - at_ < 2 || at_[0] != '\\' || at_[1] != 'u')
                Fail("a text holds a high surrogate alone");
            at_ += 2;
            const std::uint32_t low = Hex4();
            if (low < 0xDC00 || low > 0xDFFF)
                Fail("a text holds a high surrogate alone");
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        AppendUtf8(out, code);
    }

    std::uint32_t Hex4()
    {
        if (end_ - at_ < 4)
            Fail("a text is not closed");
        std::uint32_t code = 0;
        for (int i = 0; i < 4; ++i, ++at_) {
            const char c = *at_;
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (digit < 0)
                Fail("a text's \\u escape is not four hex digits");
            code = code << 4 | static_cast<std::uint32_t>(digit);
        }
        return code;
    }

    static void AppendUtf8(std::string& out, std::uint32_t code)
    {
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | code >> 6));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | code >> 12));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | code >> 18));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }

    bool Digit() const { return at_ != end_ && *at_ >= '0' && *at_ <= '9'; }

    void Digits()
    {
        if (!Digit())
            Fail("expected a digit");
        while (Digit())
            ++at_;
    }

    // JSON's number: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    void Number(std::uint32_t index)
    {
        const char* start = at_;
        const bool negative = *at_ == '-';
        if (negative)
            ++at_;
        if (!Digit())
            Fail("expected a value");
        if (*at_ == '0')
            ++at_;
        else
            Digits();
        const char* wholeEnd = at_;
        bool fraction = false, negativeExponent = false;
        exponentDigits_ = 0;
        if (at_ != end_ && *at_ == '.') {
            ++at_;
            Digits();
            fraction = true;
        }
        if (at_ != end_ && (*at_ == 'e' || *at_ == 'E')) {
            ++at_;
            if (at_ != end_ && (*at_ == '+' || *at_ == '-'))
                negativeExponent = *at_++ == '-';
            const char* exponent = at_;
            Digits();
            while (exponent + 1 < at_ && *exponent == '0')
                ++exponent;  // leading zeros say nothing of its size
            exponentDigits_ = static_cast<std::size_t>(at_ - exponent);
            fraction = true;
        }
        TJson& value = values_[index];
        if (!fraction) {
            std::uint64_t whole = 0;
            const char* digits = start + (negative ? 1 : 0);
            const auto [end, error] = std::from_chars(digits, wholeEnd, whole);
            constexpr std::uint64_t lowest = std::uint64_t{1} << 63;  // the magnitude of the lowest int64
            if (error == std::errc() && end == wholeEnd && (!negative || whole <= lowest)) {
                value.type_ = negative ? TType::Integer : TType::Unsigned;
                value.bits_ = negative ? 0 - whole : whole;
                return;
            }
        }
        // A float, or a whole number too large for 64 bits: parsed when asked
        // for, as a double or straight to a float; here only checked to be
        // within a double's range when its size makes that doubtful (below
        // 10^200 with an exponent of two digits it is far within).
        const std::size_t wholeDigits = static_cast<std::size_t>(wholeEnd - start) - (negative ? 1 : 0);
        if (wholeDigits > 200 || exponentDigits_ > 2) {
            double number = 0;
            const auto [end, error] = std::from_chars(start, at_, number);
            if (!(error == std::errc::result_out_of_range && negativeExponent) &&
                (error != std::errc() || end != at_ || !std::isfinite(number)))
                Fail("a number is too large");
        }
        value.type_ = TType::Float;
    }

    // Every container's children as pointers, now that the values stay put;
    // large objects get their members sorted by name too.
    void Link()
    {
        auto& children = document_.children_;
        std::size_t sortedCount = 0;
        for (const TJson& value : values_)
            if (value.type_ == TType::Object && value.count_ > LinearSearchMembers)
                sortedCount += value.count_;
        children.reserve(childIndices_.size() + sortedCount);
        for (std::uint32_t index : childIndices_)
            children.push_back(&values_[index]);
        for (TJson& value : values_) {
            if (value.type_ != TType::Array && value.type_ != TType::Object)
                continue;
            const std::size_t start = value.bits_;
            value.bits_ = 0;
            value.children_ = children.data() + start;
            if (value.type_ != TType::Object || value.count_ <= LinearSearchMembers)
                continue;
            const std::size_t sorted = children.size();
            children.insert(children.end(), value.children_, value.children_ + value.count_);
            std::stable_sort(children.begin() + static_cast<std::ptrdiff_t>(sorted), children.end(),
                             [](const TJson* a, const TJson* b) { return a->key_ < b->key_; });
            value.sorted_ = children.data() + sorted;
        }
    }

    TJsonDocument& document_;
    std::vector<TJson>& values_;
    const char* begin_;
    const char* at_;
    const char* end_;
    std::size_t maxDepth_;
    std::size_t exponentDigits_ = 0;           // of the number being read
    std::vector<std::uint32_t> stack_;         // children of the open containers
    std::vector<std::uint32_t> childIndices_;  // the closed containers' children, a run each
};

TJsonDocument::TJsonDocument(std::string_view text, std::size_t maxDepth)
{
    values_.reserve(text.size() / 32 + 16);  // a guess: a glTF's JSON is mostly long texts
    TJsonParser(*this, text, maxDepth).Run();
}

} // namespace quorin
