#pragma once
// An exclusive lock that other processes honour, held through a lock file.
// The system drops it when the holder ends, even by a kill, so a lock file
// left behind holds nobody up.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quorin {

class TFileLock {
public:
    // Locks the file at path, made if missing. Null when another process
    // holds it; raises EFCreateError when the file cannot be made or opened.
    static std::unique_ptr<TFileLock> TryLock(std::string_view path);
    // Removes the lock file and lets go.
    ~TFileLock();
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

private:
    TFileLock(std::string path, std::intptr_t handle) : path_(std::move(path)), handle_(handle) {}
    std::string path_;
    std::intptr_t handle_;
};

} // namespace quorin
