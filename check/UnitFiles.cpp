#include "UnitFiles.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
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

std::shared_ptr<const void> MapWhole(int file, std::int64_t size)
{
    void* view = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, file, 0);
    if (view == MAP_FAILED)
        return nullptr;
    return {view, [size](const void* mapped) { ::munmap(const_cast<void*>(mapped), static_cast<std::size_t>(size)); }};
}

// The head of a regular file with one open, one look at its size and the
// reads it takes; nothing for any other kind of file, which the stream reads.
std::optional<TFileHead> RegularFileHead(const std::string& path, std::size_t maxBytes)
{
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return std::nullopt;
    std::optional<TFileHead> head;
    struct stat status {};
    if (::fstat(file, &status) == 0 && S_ISREG(status.st_mode)) {
        head.emplace();
        head->Size = status.st_size;
        const auto wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(maxBytes, static_cast<std::uint64_t>(head->Size)));
        std::shared_ptr<const void> mapped;
        if (maxBytes == WholeFile && head->Size >= MapFrom && (mapped = MapWhole(file, head->Size))) {
            head->Bytes = {static_cast<const std::uint8_t*>(mapped.get()), wanted};
            head->Owner = std::move(mapped);
        } else {
            auto bytes = std::make_shared<std::vector<std::uint8_t>>(wanted);
            std::size_t done = 0;
            while (done < wanted) {
                const ssize_t got = ::read(file, bytes->data() + done, wanted - done);
                if (got <= 0)
                    break;
                done += static_cast<std::size_t>(got);
            }
            bytes->resize(done);
            head->Bytes = *bytes;
            head->Owner = std::move(bytes);
        }
    }
    ::close(file);
    return head;
}
#endif

} // namespace

TFileHead TDiskFiles::Head(const std::string& path, std::size_t maxBytes) const
{
#if !defined(_WIN32)
    if (auto head = RegularFileHead(path, maxBytes))
        return std::move(*head);
#endif
    TFileStream stream(path, TFileMode::OpenRead);
    TFileHead head;
    head.Size = stream.Size();
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(maxBytes, static_cast<std::uint64_t>(head.Size)));
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
