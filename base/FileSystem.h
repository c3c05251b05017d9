#pragma once
// The one place where UTF-8 paths become the platform's own.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>

namespace quorin {

std::filesystem::path PathFromUtf8(std::string_view path);
std::string PathToUtf8(const std::filesystem::path& path);
// fopen with a UTF-8 path; mode as for fopen.
std::FILE* OpenFileUtf8(std::string_view path, const char* mode);
// Pushes the file's data to the device; false on failure.
bool SyncFileToDevice(std::FILE* file);

// A new file for writing in folder that has no name until NameUnnamedFile
// gives it one, so a process killed while writing it leaves nothing behind.
// With permissions, the file takes exactly those (as a st_mode value).
// Null where the system or the folder's file system offers no such files.
std::FILE* CreateUnnamedFile(std::string_view folder, const std::optional<unsigned>& permissions);
// Links an unnamed file into its folder as path, which must not exist yet.
bool NameUnnamedFile(std::FILE* file, std::string_view path);

} // namespace quorin
