#pragma once
// SHA-256, to tell whether a file the installer wrote is still as it left it.

#include <string>
#include <string_view>

namespace quorin {

// The digest of bytes as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view bytes);

} // namespace quorin
