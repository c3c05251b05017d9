#pragma once
// BLAKE2b with a 256-bit digest (RFC 7693), to tell whether a file the
// installer wrote is still as it left it. Chosen over SHA-256 for its speed in
// portable code: the unit's files are hashed on every install and uninstall.
// "b2sum -l 256 FILE" gives the same digest.

#include <string>
#include <string_view>

namespace quorin {

// The digest of bytes as 64 lower-case hexadecimal digits.
std::string Blake2b256Hex(std::string_view bytes);

} // namespace quorin
