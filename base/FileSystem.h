#pragma once
// The one place where UTF-8 paths become the platform's own.

#include <cstdio>
#include <filesystem>
#include <string_view>

namespace quorin {

std::filesystem::path PathFromUtf8(std::string_view path);
std::string PathToUtf8(const std::filesystem::path& path);
// fopen with a UTF-8 path; mode as for fopen.
std::FILE* OpenFileUtf8(std::string_view path, const char* mode);
// Pushes the file's data to the device; false on failure.
bool SyncFileToDevice(std::FILE* file);

} // namespace quorin
