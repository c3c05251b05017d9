#pragma once
// Small file helpers that the journal and the transaction share.

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "ChangeJournal.h"
#include "base/FileSystem.h"

namespace quorin::change {

inline std::filesystem::path Below(const std::string& root, std::string_view relative)
{
    return PathFromUtf8(root) / PathFromUtf8(relative);
}

// Whether anything stands at path, a dangling link included.
inline bool Exists(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

inline void Before(const TOperationHook& before, const std::string& operation)
{
    if (before)
        before(operation);
}

} // namespace quorin::change
