#pragma once
// Base64 (RFC 4648, with padding) for the binary parts a glTF carries as text.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorin {

constexpr std::size_t Base64Length(std::size_t bytes) { return (bytes + 2) / 3 * 4; }

std::string EncodeBase64(std::span<const std::uint8_t> bytes);
// Writes Base64Length(bytes.size()) characters at to.
void EncodeBase64(std::span<const std::uint8_t> bytes, char* to);

// Nothing when text is not Base64; never allocates more than text's length.
std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text);
// The bytes text decodes to, when its length and padding can be Base64's.
std::optional<std::size_t> DecodedBase64Size(std::string_view text);
// Writes DecodedBase64Size(text) bytes at to; false when text is not Base64
// (what was written is then of no use).
bool DecodeBase64(std::string_view text, std::uint8_t* to);

} // namespace quorin
