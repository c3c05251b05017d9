#include "Base64.h"

#include <array>
#include <cstring>

namespace quorin {

namespace {

constexpr std::string_view Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Twelve bits at a time: two characters per look-up.
constexpr std::array<std::array<char, 2>, 4096> PairTable()
{
    std::array<std::array<char, 2>, 4096> pairs{};
    for (std::size_t i = 0; i < pairs.size(); ++i)
        pairs[i] = {Alphabet[i >> 6], Alphabet[i & 63]};
    return pairs;
}

constexpr auto Pairs = PairTable();

// One table per place in a group of four, each value already shifted to its
// place; a character outside the alphabet sets the top bit.
constexpr std::uint32_t Invalid = 0x80000000u;

constexpr std::array<std::uint32_t, 256> PlaceTable(int shift)
{
    std::array<std::uint32_t, 256> values{};
    values.fill(Invalid);
    for (std::size_t i = 0; i < Alphabet.size(); ++i)
        values[static_cast<unsigned char>(Alphabet[i])] = static_cast<std::uint32_t>(i) << shift;
    return values;
}

constexpr auto Place0 = PlaceTable(18), Place1 = PlaceTable(12), Place2 = PlaceTable(6), Place3 = PlaceTable(0);

std::size_t Padding(std::string_view text)
{
    if (text.empty() || text.back() != '=')
        return 0;
    return text[text.size() - 2] == '=' ? 2 : 1;
}

} // namespace

void EncodeBase64(std::span<const std::uint8_t> bytes, char* to)
{
    const std::uint8_t* p = bytes.data();
    const std::uint8_t* end = p + bytes.size() / 3 * 3;
    for (; p != end; p += 3, to += 4) {
        const std::uint32_t group = std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
        std::memcpy(to, Pairs[group >> 12].data(), 2);
        std::memcpy(to + 2, Pairs[group & 0xFFF].data(), 2);
    }
    if (const std::size_t left = bytes.size() % 3; left > 0) {
        const std::uint32_t group = std::uint32_t{p[0]} << 16 | (left == 2 ? std::uint32_t{p[1]} << 8 : 0);
        to[0] = Alphabet[(group >> 18) & 63];
        to[1] = Alphabet[(group >> 12) & 63];
        to[2] = left == 2 ? Alphabet[(group >> 6) & 63] : '=';
        to[3] = '=';
    }
}

std::string EncodeBase64(std::span<const std::uint8_t> bytes)
{
    std::string text(Base64Length(bytes.size()), '\0');
    EncodeBase64(bytes, text.data());
    return text;
}

std::optional<std::size_t> DecodedBase64Size(std::string_view text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    return text.size() / 4 * 3 - Padding(text);
}

bool DecodeBase64(std::string_view text, std::uint8_t* to)
{
    if (text.size() % 4 != 0)
        return false;
    const std::size_t padding = Padding(text);
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* whole = p + (text.size() / 4 - (padding > 0 ? 1 : 0)) * 4;
    std::uint32_t seen = 0;
    for (; p != whole; p += 4, to += 3) {
        const std::uint32_t group = Place0[p[0]] | Place1[p[1]] | Place2[p[2]] | Place3[p[3]];
        seen |= group;
        to[0] = static_cast<std::uint8_t>(group >> 16);
        to[1] = static_cast<std::uint8_t>(group >> 8);
        to[2] = static_cast<std::uint8_t>(group);
    }
    if (padding == 1) {
        // The bits past the last whole byte must be zero.
        const std::uint32_t group = Place0[p[0]] | Place1[p[1]] | Place2[p[2]];
        seen |= group | ((group & 0xFF) != 0 ? Invalid : 0);
        to[0] = static_cast<std::uint8_t>(group >> 16);
        to[1] = static_cast<std::uint8_t>(group >> 8);
    } else if (padding == 2) {
        const std::uint32_t group = Place0[p[0]] | Place1[p[1]];
        seen |= group | ((group & 0xFFFF) != 0 ? Invalid : 0);
        to[0] = static_cast<std::uint8_t>(group >> 16);
    }
    return (seen & Invalid) == 0;
}

std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text)
{
    const auto size = DecodedBase64Size(text);
    if (!size)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(*size);
    if (!DecodeBase64(text, bytes.data()))
        return std::nullopt;
    return bytes;
}

} // namespace quorin
