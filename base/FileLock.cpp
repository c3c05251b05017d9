#include "FileLock.h"

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "FileSystem.h"
#include "RuntimeText.h"

namespace quorin {

#ifdef _WIN32

std::unique_ptr<TFileLock> TFileLock::TryLock(std::string_view path)
{
    // Shared deletion lets the holder remove the file while others wait on it;
    // a file pending deletion cannot be opened again until they let go.
    HANDLE handle = CreateFileW(PathFromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_ACCESS_DENIED)
            return nullptr;
        RaiseCannotCreateFile(path);
    }
    OVERLAPPED whole{};
    if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
        CloseHandle(handle);
        return nullptr;
    }
    return std::unique_ptr<TFileLock>(new TFileLock(std::string(path), reinterpret_cast<std::intptr_t>(handle)));
}

TFileLock::~TFileLock()
{
    DeleteFileW(PathFromUtf8(path_).c_str());
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

#else

std::unique_ptr<TFileLock> TFileLock::TryLock(std::string_view path)
{
    std::string name(path);
    int fd = open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        RaiseCannotCreateFile(path);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return nullptr;
    }
    // The holder before may have removed the file as it let go: the lock is
    // only good on the file that still has the name.
    struct stat locked{}, named{};
    if (fstat(fd, &locked) != 0 || stat(name.c_str(), &named) != 0 || locked.st_ino != named.st_ino ||
        locked.st_dev != named.st_dev) {
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<TFileLock>(new TFileLock(std::move(name), fd));
}

TFileLock::~TFileLock()
{
    unlink(path_.c_str());
    close(static_cast<int>(handle_));
}

#endif

} // namespace quorin
