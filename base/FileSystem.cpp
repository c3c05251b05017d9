#include "FileSystem.h"

#include <atomic>
#include <string>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif
#ifdef __linux__
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace quorin {

std::filesystem::path PathFromUtf8(std::string_view path)
{
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::string PathToUtf8(const std::filesystem::path& path)
{
    auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string PathToGenericUtf8(const std::filesystem::path& path)
{
    auto text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

std::FILE* OpenFileUtf8(std::string_view path, const char* mode)
{
    if (path.empty() || path.find('\0') != std::string_view::npos)
        return nullptr;
#ifdef _WIN32
    std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(PathFromUtf8(path).c_str(), wideMode.c_str());
#else
    return std::fopen(std::string(path).c_str(), mode);
#endif
}

namespace {
std::atomic<bool> pushToDevice{true};
} // namespace

void SetPushToDevice(bool push)
{
    pushToDevice = push;
}

bool SyncFileToDevice(std::FILE* file)
{
    if (std::fflush(file) != 0)
        return false;
    if (!pushToDevice)
        return true;
#ifdef _WIN32
    auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle);
#else
    return fsync(fileno(file)) == 0;
#endif
}

bool SyncFileAtPathToDevice(std::string_view path)
{
    if (!pushToDevice)
        return true;
    std::FILE* file = OpenFileUtf8(path, "r+b");
    if (!file)
        return false;
    bool synced = SyncFileToDevice(file);
    return std::fclose(file) == 0 && synced;
}

bool SyncFolderToDevice(std::string_view folder)
{
#ifdef __linux__
    if (folder.find('\0') != std::string_view::npos)
        return false;
    if (!pushToDevice)
        return true;
    int fd = open(std::string(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool synced = fsync(fd) == 0;
    close(fd);
    return synced;
#else
    // Windows writes a move through at once (MOVEFILE_WRITE_THROUGH).
    (void)folder;
    return true;
#endif
}

bool ReplaceFileWith(std::string_view from, std::string_view to)
{
#ifdef _WIN32
    return MoveFileExW(PathFromUtf8(from).c_str(), PathFromUtf8(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
#else
    std::error_code error;
    std::filesystem::rename(PathFromUtf8(from), PathFromUtf8(to), error);
    return !error;
#endif
}

bool FileCanBeReplaced(std::string_view path)
{
#ifdef _WIN32
    // Replacing needs the right to delete the file, which an open handle
    // without FILE_SHARE_DELETE denies to everyone else.
    HANDLE handle = CreateFileW(PathFromUtf8(path).c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    CloseHandle(handle);
    return true;
#else
    (void)path;
    return true;
#endif
}

std::FILE* CreateUnnamedFile(std::string_view folder, const std::optional<unsigned>& permissions)
{
#ifdef __linux__
    if (folder.find('\0') != std::string_view::npos)
        return nullptr;
    int fd = open(std::string(folder).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    if (permissions && fchmod(fd, static_cast<mode_t>(*permissions & 07777)) != 0) {
        close(fd);
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "wb");
    if (!file)
        close(fd);
    return file;
#else
    (void)folder;
    (void)permissions;
    return nullptr;
#endif
}

bool NameUnnamedFile(std::FILE* file, std::string_view path)
{
#ifdef __linux__
    // Linking by the descriptor itself (AT_EMPTY_PATH) needs a privilege;
    // its /proc link does not.
    std::string self = "/proc/self/fd/" + std::to_string(fileno(file));
    return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, std::string(path).c_str(), AT_SYMLINK_FOLLOW) == 0;
#else
    (void)file;
    (void)path;
    return false;
#endif
}

} // namespace quorin
