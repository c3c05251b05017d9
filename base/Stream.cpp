#include "Stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>

#include "FileSystem.h"
#include "RuntimeText.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace quorin {

namespace {

int SeekWhence(TSeekOrigin origin)
{
    switch (origin) {
    case TSeekOrigin::Beginning: return SEEK_SET;
    case TSeekOrigin::Current: return SEEK_CUR;
    case TSeekOrigin::End: return SEEK_END;
    }
    return SEEK_SET;
}

int SeekFile(std::FILE* file, std::int64_t offset, int whence)
{
#ifdef _WIN32
    return _fseeki64(file, offset, whence);
#else
    return fseeko(file, static_cast<off_t>(offset), whence);
#endif
}

std::int64_t TellFile(std::FILE* file)
{
#ifdef _WIN32
    return _ftelli64(file);
#else
    return static_cast<std::int64_t>(ftello(file));
#endif
}

std::int64_t ResolveSeek(std::int64_t offset, TSeekOrigin origin, std::int64_t position, std::int64_t size)
{
    std::int64_t base = origin == TSeekOrigin::Beginning ? 0 : origin == TSeekOrigin::Current ? position : size;
    // Clamp instead of overflowing: a hostile skip count must not wrap around.
    if (offset > 0 && base > INT64_MAX - offset)
        return INT64_MAX;
    return std::max<std::int64_t>(0, base + offset);
}

// A block for a whole input file. Large blocks are aligned to huge pages and
// marked for them, so filling one takes a few hundred page faults instead of
// one per 4 KiB; that is most of what reading a file into fresh memory costs.
std::uint8_t* AllocateBlock(std::int64_t size)
{
    auto bytes = std::max<std::size_t>(static_cast<std::size_t>(size), 1);
#ifdef __linux__
    constexpr std::size_t HugePage = 2 * 1024 * 1024;
    if (bytes >= 2 * HugePage) {
        std::size_t rounded = (bytes + HugePage - 1) / HugePage * HugePage;
        auto* block = static_cast<std::uint8_t*>(std::aligned_alloc(HugePage, rounded));
        if (block)
            madvise(block, rounded, MADV_HUGEPAGE);
        return block;
    }
#endif
    return static_cast<std::uint8_t*>(std::malloc(bytes));
}

bool IsDirectory(std::string_view path)
{
    std::error_code error;
    return std::filesystem::is_directory(PathFromUtf8(path), error);
}

} // namespace

std::int64_t TStream::Size()
{
    std::int64_t here = Position();
    std::int64_t end = Seek(0, TSeekOrigin::End);
    Seek(here, TSeekOrigin::Beginning);
    return end;
}

void TStream::ReadBuffer(void* buffer, std::int64_t count)
{
    if (count > 0 && Read(buffer, count) != count)
        RaiseStreamReadError();
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count)
{
    if (count > 0 && Write(buffer, count) != count)
        RaiseStreamWriteError();
}

// ---- TFileStream ----------------------------------------------------------

TFileStream::TFileStream(std::string_view path, TFileMode mode) : fileName_(path)
{
    if (mode == TFileMode::Create) {
        file_ = IsDirectory(path) ? nullptr : OpenFileUtf8(path, "w+b");
        if (!file_)
            RaiseCannotCreateFile(path);
    } else {
        file_ = IsDirectory(path) ? nullptr : OpenFileUtf8(path, "rb");
        if (!file_)
            RaiseCannotOpenFile(path);
    }
}

TFileStream::~TFileStream()
{
    if (file_)
        std::fclose(file_);
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count)
{
    if (count <= 0)
        return 0;
    return static_cast<std::int64_t>(std::fread(buffer, 1, static_cast<std::size_t>(count), file_));
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count)
{
    if (count <= 0)
        return 0;
    return static_cast<std::int64_t>(std::fwrite(buffer, 1, static_cast<std::size_t>(count), file_));
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
    if (!(origin == TSeekOrigin::Current && offset == 0))
        SeekFile(file_, offset, SeekWhence(origin));
    return TellFile(file_);
}

std::int64_t TFileStream::Size()
{
    std::int64_t here = TellFile(file_);
    SeekFile(file_, 0, SEEK_END);
    std::int64_t end = TellFile(file_);
    SeekFile(file_, here, SEEK_SET);
    return end;
}

namespace {

std::span<const std::uint8_t> BytesAfter(const std::uint8_t* data, std::int64_t size, std::int64_t position)
{
    if (position >= size)
        return {};
    return {data + position, static_cast<std::size_t>(size - position)};
}

} // namespace

// ---- TMemoryStream --------------------------------------------------------

void TMemoryStream::TFreeBlock::operator()(std::uint8_t* block) const { std::free(block); }

void TMemoryStream::Reserve(std::int64_t capacity, bool keepContent)
{
    if (capacity <= capacity_)
        return;
    if (capacity > MaxMemoryStreamSize)
        RaiseOutOfMemoryExpandingStream();
    if (!keepContent) {
        data_.reset();
        capacity_ = 0;
    }
    std::unique_ptr<std::uint8_t, TFreeBlock> block(AllocateBlock(capacity));
    if (!block)
        RaiseOutOfMemoryExpandingStream();
    if (keepContent && size_ > 0)
        std::memcpy(block.get(), data_.get(), static_cast<std::size_t>(size_));
    data_ = std::move(block);
    capacity_ = capacity;
}

void TMemoryStream::SetSize(std::int64_t size)
{
    Reserve(size, true);
    size_ = size;
    position_ = std::min(position_, size_);
}

void TMemoryStream::Clear()
{
    data_.reset();
    capacity_ = size_ = position_ = 0;
}

void TMemoryStream::LoadFromFile(std::string_view path)
{
    TFileStream file(path, TFileMode::OpenRead);
    LoadFromStream(file);
}

void TMemoryStream::LoadFromStream(TStream& source)
{
    source.Seek(0, TSeekOrigin::Beginning);
    // A pipe, a device or a file of /proc tells no size, or 0, and still has
    // content: the size is only what is read in one piece, and whatever
    // follows it is read to the end as well.
    std::int64_t count = std::max<std::int64_t>(0, source.Size());
    if (count > MaxMemoryStreamSize)
        RaiseOutOfMemoryExpandingStream();
    size_ = position_ = 0;
    Reserve(count, false);
    source.ReadBuffer(data_.get(), count);
    size_ = count;
    AppendToEnd(source);
}

void TMemoryStream::AppendToEnd(TStream& source)
{
    // A small probe first, so a file that ended where its size said costs
    // one empty read and no growth.
    std::uint8_t probe[4096];
    std::int64_t got = source.Read(probe, sizeof probe);
    if (got <= 0)
        return;
    position_ = size_;
    WriteBuffer(probe, got);
    for (;;) {
        if (size_ == capacity_) {
            if (capacity_ == MaxMemoryStreamSize)
                RaiseOutOfMemoryExpandingStream();
            Reserve(std::min<std::int64_t>(MaxMemoryStreamSize, std::max<std::int64_t>(capacity_ * 2, 64 * 1024)), true);
        }
        got = source.Read(data_.get() + size_, capacity_ - size_);
        if (got <= 0)
            break;
        size_ += got;
    }
    position_ = 0;
}

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count)
{
    std::int64_t available = std::max<std::int64_t>(0, size_ - position_);
    std::int64_t n = std::clamp<std::int64_t>(count, 0, available);
    if (n > 0)
        std::memcpy(buffer, data_.get() + position_, static_cast<std::size_t>(n));
    position_ += n;
    return n;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count)
{
    if (count <= 0)
        return 0;
    if (count > MaxMemoryStreamSize - position_)
        RaiseOutOfMemoryExpandingStream();
    std::int64_t end = position_ + count;
    if (end > capacity_)
        Reserve(std::min<std::int64_t>(MaxMemoryStreamSize, std::max(end, capacity_ + capacity_ / 2)), true);
    std::memcpy(data_.get() + position_, buffer, static_cast<std::size_t>(count));
    position_ = end;
    size_ = std::max(size_, end);
    return count;
}

std::optional<std::span<const std::uint8_t>> TMemoryStream::HeldBytes()
{
    return BytesAfter(data_.get(), size_, position_);
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
    position_ = std::min(ResolveSeek(offset, origin, position_, size_), MaxMemoryStreamSize);
    return position_;
}

// ---- TMemoryViewStream ----------------------------------------------------

std::int64_t TMemoryViewStream::Read(void* buffer, std::int64_t count)
{
    std::int64_t available = std::max<std::int64_t>(0, size_ - position_);
    std::int64_t n = std::clamp<std::int64_t>(count, 0, available);
    if (n > 0)
        std::memcpy(buffer, data_ + position_, static_cast<std::size_t>(n));
    position_ += n;
    return n;
}

std::optional<std::span<const std::uint8_t>> TMemoryViewStream::HeldBytes()
{
    return BytesAfter(data_, size_, position_);
}

std::int64_t TMemoryViewStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
    position_ = ResolveSeek(offset, origin, position_, size_);
    return position_;
}

} // namespace quorin
