#include "Base64.h"

#include <array>

namespace quorin {

namespace {

constexpr std::string_view Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> Values()
{
    std::array<std::int8_t, 256> values{};
    values.fill(-1);
    for (std::size_t i = 0; i < Alphabet.size(); ++i)
        values[static_cast<unsigned char>(Alphabet[i])] = static_cast<std::int8_t>(i);
    return values;
}

constexpr auto ValueOf = Values();

} // namespace

std::string EncodeBase64(std::span<const std::uint8_t> bytes)
{
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
        for (int shift : {18, 12, 6, 0})
            text.push_back(Alphabet[(group >> shift) & 63]);
    }
    if (const std::size_t left = bytes.size() - i; left > 0) {
        const std::uint32_t group = bytes[i] << 16 | (left == 2 ? bytes[i + 1] << 8 : 0);
        text.push_back(Alphabet[(group >> 18) & 63]);
        text.push_back(Alphabet[(group >> 12) & 63]);
        text.push_back(left == 2 ? Alphabet[(group >> 6) & 63] : '=');
        text.push_back('=');
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=')
        ++padding;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    std::uint32_t group = 0;
    const std::size_t end = text.size() - padding;
    for (std::size_t i = 0; i < end; ++i) {
        const std::int8_t value = ValueOf[static_cast<unsigned char>(text[i])];
        if (value < 0)
            return std::nullopt;
        group = group << 6 | static_cast<std::uint32_t>(value);
        if (i % 4 == 3) {
            bytes.push_back(static_cast<std::uint8_t>(group >> 16));
            bytes.push_back(static_cast<std::uint8_t>(group >> 8));
            bytes.push_back(static_cast<std::uint8_t>(group));
            group = 0;
        }
    }
    if (padding == 2) {
        if (group & 0xF)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(group >> 4));
    } else if (padding == 1) {
        if (group & 0x3)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(group >> 10));
        bytes.push_back(static_cast<std::uint8_t>(group >> 2));
    }
    return bytes;
}

} // namespace quorin
