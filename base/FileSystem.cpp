#include "FileSystem.h"

#include <string>

#ifdef _WIN32
#include <io.h>
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

bool SyncFileToDevice(std::FILE* file)
{
    if (std::fflush(file) != 0)
        return false;
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
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
