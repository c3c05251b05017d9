#include "UnitFiles.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "base/FileSystem.h"
#include "base/RuntimeText.h"
#include "base/Stream.h"

namespace quorin {

namespace {

#if !defined(_WIN32)
// A large whole file mapped instead of read: the model of a unit can be tens
// of megabytes, and the checks only walk it once.
constexpr std::int64_t MapFrom = 1 << 20;

std::shared_ptr<const void> MapWhole(const std::string& path, std::int64_t size)
{
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return nullptr;
    void* view = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, file, 0);
    ::close(file);
    if (view == MAP_FAILED)
        return nullptr;
    return {view, [size](const void* mapped) { ::munmap(const_cast<void*>(mapped), static_cast<std::size_t>(size)); }};
}
#endif

} // namespace

TFileHead TDiskFiles::Head(const std::string& path, std::size_t maxBytes) const
{
    TFileStream stream(path, TFileMode::OpenRead);
    TFileHead head;
    head.Size = stream.Size();
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(maxBytes, static_cast<std::uint64_t>(head.Size)));
#if !defined(_WIN32)
    if (maxBytes == WholeFile && head.Size >= MapFrom) {
        if (auto mapped = MapWhole(path, head.Size)) {
            head.Bytes = {static_cast<const std::uint8_t*>(mapped.get()), wanted};
            head.Owner = std::move(mapped);
            return head;
        }
    }
#endif
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(wanted);
    const std::int64_t read = stream.Read(bytes->data(), static_cast<std::int64_t>(wanted));
    bytes->resize(static_cast<std::size_t>(std::max<std::int64_t>(read, 0)));
    head.Bytes = *bytes;
    head.Owner = std::move(bytes);
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
