#include "Text.h"

#include <algorithm>

namespace quorin {

namespace {

constexpr std::string_view PathSeparators = "\\:/";

bool IsContinuationByte(unsigned char c) { return (c & 0xC0) == 0x80; }

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char32_t LowerCyrillic(char32_t c)
{
    if (c >= 0x0410 && c <= 0x042F) return c + 0x20; // А..Я
    if (c >= 0x0400 && c <= 0x040F) return c + 0x50; // Ѐ..Џ, Ё among them
    if (c == 0x0490) return 0x0491;                  // Ґ
    return c;
}

} // namespace

bool IsSevenBitAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsValidUtf8(std::string_view text)
{
    const auto* at = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = at + text.size();
    while (at < end) {
        unsigned char c = *at;
        if (c < 0x80) {
            ++at;
            continue;
        }
        // The lead byte fixes the length and the range of the second byte;
        // the narrowed ranges are what exclude overlong forms, surrogates
        // and values above U+10FFFF.
        std::size_t extra = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            low = c == 0xE0 ? 0xA0 : 0x80;
            high = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            low = c == 0xF0 ? 0x90 : 0x80;
            high = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - at) <= extra || at[1] < low || at[1] > high)
            return false;
        for (std::size_t k = 2; k <= extra; ++k)
            if (!IsContinuationByte(at[k]))
                return false;
        at += extra + 1;
    }
    return true;
}

std::size_t Utf8Length(std::string_view text)
{
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return !IsContinuationByte(static_cast<unsigned char>(c)); }));
}

std::string_view Utf8Prefix(std::string_view text, std::size_t maxChars)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!IsContinuationByte(static_cast<unsigned char>(text[i])) && chars++ == maxChars)
            return text.substr(0, i);
    }
    return text;
}

std::string_view Utf8PrefixBytes(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    std::size_t end = maxBytes;
    while (end > 0 && IsContinuationByte(static_cast<unsigned char>(text[end])))
        --end;
    return text.substr(0, end);
}

std::string EscapeControlCharacters(std::string_view text)
{
    constexpr char Hex[] = "0123456789ABCDEF";
    auto byteEscape = [&](unsigned char c) { return std::string{'\\', 'x', Hex[c >> 4], Hex[c & 15]}; };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            bool control = (c < 0x20 && c != '\t') || c == 0x7F;
            out += control ? byteEscape(c) : std::string(1, static_cast<char>(c));
            ++i;
            continue;
        }
        // One character at a time, judged by the strict rule.
        std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        auto character = text.substr(i, length);
        if (length == 1 || character.size() < length || !IsValidUtf8(character)) {
            out += byteEscape(c);
            ++i;
            continue;
        }
        if (auto next = static_cast<unsigned char>(text[i + 1]); c == 0xC2 && next < 0xA0) {
            // C2 80 to C2 9F are U+0080 to U+009F, the C1 controls.
            out += "\\u00";
            out += Hex[next >> 4];
            out += Hex[next & 15];
        } else {
            out += character;
        }
        i += length;
    }
    return out;
}

std::string LowerCaseText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        auto c0 = static_cast<unsigned char>(text[i]);
        if (c0 < 0x80) {
            out += (c0 >= 'A' && c0 <= 'Z') ? static_cast<char>(c0 + 32) : static_cast<char>(c0);
            ++i;
            continue;
        }
        // Only two-byte sequences hold the letters we lower; others pass through.
        if ((c0 & 0xE0) == 0xC0 && i + 1 < text.size() && IsContinuationByte(static_cast<unsigned char>(text[i + 1]))) {
            char32_t c = ((c0 & 0x1F) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F);
            AppendUtf8(out, LowerCyrillic(c));
            i += 2;
            continue;
        }
        out += text[i++];
    }
    return out;
}

std::string_view FileNamePart(std::string_view path)
{
    auto at = path.find_last_of(PathSeparators);
    return at == std::string_view::npos ? path : path.substr(at + 1);
}

std::string_view FileExtension(std::string_view path)
{
    auto dot = path.find_last_of('.');
    if (dot == std::string_view::npos)
        return {};
    auto rest = path.substr(dot + 1);
    return rest.find_first_of(PathSeparators) == std::string_view::npos ? rest : std::string_view{};
}

} // namespace quorin
