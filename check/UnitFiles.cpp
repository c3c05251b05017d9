#include "UnitFiles.h"

#include <algorithm>
#include <filesystem>

#include "base/FileSystem.h"
#include "base/RuntimeText.h"
#include "base/Stream.h"

namespace quorin {

TFileHead TDiskFiles::Head(const std::string& path, std::size_t maxBytes) const
{
    TFileStream stream(path, TFileMode::OpenRead);
    TFileHead head;
    head.Size = stream.Size();
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(maxBytes, static_cast<std::uint64_t>(head.Size)));
    head.Owned.resize(wanted);
    const std::int64_t read = stream.Read(head.Owned.data(), static_cast<std::int64_t>(wanted));
    head.Owned.resize(static_cast<std::size_t>(std::max<std::int64_t>(read, 0)));
    head.Bytes = head.Owned;
    return head;
}

bool TDiskFiles::Rereadable(const std::string& path) const
{
    std::error_code error;
    const auto status = std::filesystem::status(PathFromUtf8(path), error);
    // A missing file is read and refused, so its finding says why.
    return error || !std::filesystem::exists(status) || std::filesystem::is_regular_file(status) ||
           std::filesystem::is_directory(status);
}

TFileHead TPackageFiles::Head(const std::string& path, std::size_t maxBytes) const
{
    const auto found = files_.find(path);
    if (found == files_.end())
        RaiseCannotOpenFile(path);
    const TBytes& bytes = *found->second;
    TFileHead head;
    head.Size = static_cast<std::int64_t>(bytes.size());
    head.Bytes = std::span<const std::uint8_t>(bytes).first(std::min(maxBytes, bytes.size()));
    return head;
}

} // namespace quorin
