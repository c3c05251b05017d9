#pragma once
// A file held open as another program holds it: on Windows with read and
// write sharing but not delete (how most programs open their files), so
// nobody else may replace it; elsewhere an ordinary descriptor.

#include <string>

#include "WindowsApi.h"
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "TestSupport.h"

namespace quorin::test {

class THeldOpen {
public:
    explicit THeldOpen(const std::string& path)
    {
#ifdef _WIN32
        handle_ = CreateFileW(Utf8Path(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
#else
        fd_ = open(path.c_str(), O_RDONLY);
#endif
    }
    ~THeldOpen()
    {
#ifdef _WIN32
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
#else
        if (fd_ >= 0)
            close(fd_);
#endif
    }
    THeldOpen(const THeldOpen&) = delete;
    THeldOpen& operator=(const THeldOpen&) = delete;

    bool IsOpen() const
    {
#ifdef _WIN32
        return handle_ != INVALID_HANDLE_VALUE;
#else
        return fd_ >= 0;
#endif
    }

private:
#ifdef _WIN32
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
    int fd_ = -1;
#endif
};

} // namespace quorin::test
