#pragma once
// The one place where UTF-8 paths become the platform's own.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>

namespace quorin {

std::filesystem::path PathFromUtf8(std::string_view path);
std::string PathToUtf8(const std::filesystem::path& path);
// With "/" between the parts on every platform, as files that move between
// systems write paths.
std::string PathToGenericUtf8(const std::filesystem::path& path);
// fopen with a UTF-8 path; mode as for fopen.
std::FILE* OpenFileUtf8(std::string_view path, const char* mode);
// Whether SyncFileToDevice and SyncFolderToDevice push anything (they do
// unless turned off). Tests that stop a process as a kill would turn it off:
// a kill loses nothing the system holds, and pushing costs the disk's time.
void SetPushToDevice(bool push);
// Pushes the file's data to the device; false on failure.
bool SyncFileToDevice(std::FILE* file);
// Pushes the data of the file at path to the device; false on failure. Lets
// several files written one after another wait for the device once.
bool SyncFileAtPathToDevice(std::string_view path);
// Pushes a folder's entries (names made, renamed, removed) to the device,
// where the system can be asked to; false on failure.
bool SyncFolderToDevice(std::string_view folder);
// Moves the file from over the file to, in one step, the move itself pushed
// to the device where the system can be asked to; false on failure.
bool ReplaceFileWith(std::string_view from, std::string_view to);
// Whether an existing file could be replaced now. On Windows a program that
// holds it open without letting others delete it prevents that; elsewhere an
// open file is no obstacle.
bool FileCanBeReplaced(std::string_view path);

// A new file for writing in folder that has no name until NameUnnamedFile
// gives it one, so a process killed while writing it leaves nothing behind.
// With permissions, the file takes exactly those (as a st_mode value).
// Null where the system or the folder's file system offers no such files.
std::FILE* CreateUnnamedFile(std::string_view folder, const std::optional<unsigned>& permissions);
// Links an unnamed file into its folder as path, which must not exist yet.
bool NameUnnamedFile(std::FILE* file, std::string_view path);

} // namespace quorin
