#include "FileSystem.h"

#include <string>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
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

} // namespace quorin
