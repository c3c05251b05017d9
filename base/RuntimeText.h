#pragma once
// The runtime's message texts, in one place, and the helpers that raise them.

#include <cstdint>
#include <string>
#include <string_view>

namespace quorin {

namespace RuntimeText {
inline constexpr std::string_view CannotCreateFile = "Cannot create file %s";
inline constexpr std::string_view CannotOpenFile = "Cannot open file %s";
inline constexpr std::string_view StreamReadError = "Stream read error";
inline constexpr std::string_view StreamWriteError = "Stream write error";
inline constexpr std::string_view ListIndexOutOfBounds = "List index out of bounds (%d)";
inline constexpr std::string_view OutOfMemoryExpandingStream = "Out of memory while expanding memory stream";
// The tool's own texts.
inline constexpr std::string_view OutputIsAnInput = "The output file is also an input: %s";
} // namespace RuntimeText

// Replaces the first "%s" of pattern with text.
std::string FormatText(std::string_view pattern, std::string_view text);
// Replaces the first "%d" of pattern with the decimal number.
std::string FormatText(std::string_view pattern, std::int64_t number);

[[noreturn]] void RaiseCannotCreateFile(std::string_view path);
[[noreturn]] void RaiseCannotOpenFile(std::string_view path);
[[noreturn]] void RaiseStreamReadError();
[[noreturn]] void RaiseStreamWriteError();
[[noreturn]] void RaiseListIndexOutOfBounds(std::int64_t index);
[[noreturn]] void RaiseOutOfMemoryExpandingStream();

} // namespace quorin
