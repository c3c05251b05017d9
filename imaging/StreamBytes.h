#pragma once
// How every decoder takes its input from a stream: the bytes from the
// stream's position to its end, at once. A stream that keeps its bytes in
// memory lends them and nothing is copied; any other is read once into a
// block of our own. The formats then decode from a byte span, and their
// DecodeStream is only this adapter around that. Afterwards the stream
// stands where the decoder stopped reading, whether it succeeded or not.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

#include "ByteReader.h"
#include "base/Stream.h"

namespace quorin {

class TStreamBytes {
public:
    // The rest of the stream, which is left after it. A stream with more
    // than limit bytes left is not read at all: Complete() is then false.
    explicit TStreamBytes(TStream& stream, std::int64_t limit = MaxMemoryStreamSize);
    TStreamBytes(const TStreamBytes&) = delete;
    TStreamBytes& operator=(const TStreamBytes&) = delete;

    std::span<const std::uint8_t> Bytes() const { return bytes_; }
    bool Complete() const { return complete_; }

    // Runs decode on a cursor over the bytes, then leaves the stream right
    // after the bytes the cursor passed, also when decode throws.
    template <class TDecode>
    void Decode(TDecode&& decode)
    {
        bytes::TCursor input(bytes_);
        try {
            decode(input);
        } catch (...) {
            Consume(input.Used());
            throw;
        }
        Consume(input.Used());
    }

private:
    void Consume(std::size_t used);

    TStream& stream_;
    std::int64_t start_ = 0;
    std::unique_ptr<std::uint8_t[]> own_;
    std::span<const std::uint8_t> bytes_;
    bool complete_ = true;
};

// The rest of a stream read front to back through a buffer of its own, with
// TCursor's reads: for decoders that take their input in order, so that a
// large file costs the buffer and not a copy of the file. Large reads go
// from the stream straight to their target.
class TStreamCursor {
public:
    explicit TStreamCursor(TStream& stream, std::size_t bufferBytes = std::size_t{1} << 20);
    TStreamCursor(const TStreamCursor&) = delete;
    TStreamCursor& operator=(const TStreamCursor&) = delete;

    std::size_t Used() const { return used_; }

    bool Next(std::uint8_t& byte)
    {
        if (at_ == end_ && !Refill())
            return false;
        byte = buffer_[at_++];
        ++used_;
        return true;
    }

    std::size_t Read(std::uint8_t* to, std::size_t count);

    template <std::size_t N>
    std::size_t ReadFixed(std::uint8_t* to)
    {
        if (end_ - at_ < N)
            return Read(to, N);
        std::memcpy(to, buffer_.get() + at_, N);
        at_ += N;
        used_ += N;
        return N;
    }

    void Skip(std::size_t count);

private:
    bool Refill();

    TStream& stream_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t size_;
    std::size_t at_ = 0, end_ = 0;
    std::size_t used_ = 0;
};

} // namespace quorin
