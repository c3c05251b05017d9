#pragma once
// Base64 (RFC 4648, with padding) for the binary parts a glTF carries as text.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorin {

std::string EncodeBase64(std::span<const std::uint8_t> bytes);
// Nothing when text is not Base64; never allocates more than text's length.
std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text);

} // namespace quorin
