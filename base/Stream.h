#pragma once
// Byte streams: the abstract TStream, files, owned memory and borrowed memory.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quorin {

enum class TSeekOrigin { Beginning, Current, End };

class TStream {
public:
    virtual ~TStream() = default;
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Reads up to count bytes; fewer (down to 0) at the end of the data.
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    // Writes count bytes and returns how many the stream accepted.
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

    std::int64_t Position() { return Seek(0, TSeekOrigin::Current); }
    virtual std::int64_t Size();

    // The decoders' reading primitives: a short read is no error by itself.
    std::int64_t ReadBytes(void* buffer, std::int64_t count) { return Read(buffer, count); }
    void SkipBytes(std::int64_t count) { Seek(count, TSeekOrigin::Current); }

    // The bytes from the position to the end, when the stream keeps them in
    // memory: a reader may use them in place instead of copying them out.
    // Nothing for a stream that must be read. The position does not move.
    virtual std::optional<std::span<const std::uint8_t>> HeldBytes() { return std::nullopt; }

    // Exact transfers: "Stream read error" / "Stream write error" on a short count.
    void ReadBuffer(void* buffer, std::int64_t count);
    void WriteBuffer(const void* buffer, std::int64_t count);
};

enum class TFileMode { Create, OpenRead };

// A file on disk. Create truncates or makes the file ("Cannot create file %s"
// on failure); OpenRead opens an existing file for reading ("Cannot open file %s").
class TFileStream : public TStream {
public:
    TFileStream(std::string_view path, TFileMode mode);
    ~TFileStream() override;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override;

    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
    std::FILE* file_ = nullptr;
};

// Memory owned by the stream. Growth past 2 GiB - 1 or a failed allocation
// raises "Out of memory while expanding memory stream".
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return size_; }
    std::optional<std::span<const std::uint8_t>> HeldBytes() override;

    // Resizes to exactly size bytes; keeps the common prefix.
    void SetSize(std::int64_t size);
    void Clear();
    // Replaces the content with the whole file, read in one piece. The old
    // content is dropped before the new block is taken, so peak memory is the
    // larger of the two, not their sum. A file that tells no size (a pipe, a
    // device, a file of /proc) is read to its end.
    void LoadFromFile(std::string_view path);
    void LoadFromStream(TStream& source);

    const std::uint8_t* Memory() const { return data_.get(); }
    std::uint8_t* Memory() { return data_.get(); }
    std::int64_t Capacity() const { return capacity_; }

private:
    void Reserve(std::int64_t capacity, bool keepContent);
    void AppendToEnd(TStream& source);

    struct TFreeBlock {
        void operator()(std::uint8_t* block) const;
    };
    std::unique_ptr<std::uint8_t, TFreeBlock> data_;
    std::int64_t capacity_ = 0;
    std::int64_t size_ = 0;
    std::int64_t position_ = 0;
};

// Read-only view over bytes that someone else owns; no copy is made.
class TMemoryViewStream : public TStream {
public:
    TMemoryViewStream(const void* data, std::int64_t size)
        : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void*, std::int64_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return size_; }
    std::optional<std::span<const std::uint8_t>> HeldBytes() override;

private:
    const std::uint8_t* data_;
    std::int64_t size_;
    std::int64_t position_ = 0;
};

// The largest size a stream held in one memory block may take: the format's
// sizes are signed 32-bit.
inline constexpr std::int64_t MaxMemoryStreamSize = 0x7FFFFFFF;

} // namespace quorin
