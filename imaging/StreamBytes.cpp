#include "StreamBytes.h"

#include <algorithm>
#include <new>
#include <string>

#include "base/Exception.h"

namespace quorin {

TStreamBytes::TStreamBytes(TStream& stream, std::int64_t limit) : stream_(stream), start_(stream.Position())
{
    if (const auto held = stream.HeldBytes()) {
        complete_ = static_cast<std::int64_t>(held->size()) <= limit;
        if (complete_) {
            bytes_ = *held;
            stream.Seek(start_ + static_cast<std::int64_t>(bytes_.size()), TSeekOrigin::Beginning);
        }
        return;
    }
    const std::int64_t left = std::max<std::int64_t>(0, stream.Size() - start_);
    complete_ = left <= limit;
    if (!complete_ || left == 0)
        return;
    own_.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(left)]);
    if (!own_)
        throw EOutOfMemory("Out of memory for " + std::to_string(left) + " bytes of picture data");
    // A file may turn out shorter than its size said; what came is what there is.
    const std::int64_t got = stream.Read(own_.get(), left);
    bytes_ = {own_.get(), static_cast<std::size_t>(std::clamp<std::int64_t>(got, 0, left))};
}

void TStreamBytes::Consume(std::size_t used)
{
    stream_.Seek(start_ + static_cast<std::int64_t>(std::min(used, bytes_.size())), TSeekOrigin::Beginning);
}

TStreamCursor::TStreamCursor(TStream& stream, std::size_t bufferBytes)
    : stream_(stream), buffer_(new std::uint8_t[bufferBytes]), size_(bufferBytes)
{
}

bool TStreamCursor::Refill()
{
    const std::int64_t got = stream_.Read(buffer_.get(), static_cast<std::int64_t>(size_));
    at_ = 0;
    end_ = static_cast<std::size_t>(std::max<std::int64_t>(got, 0));
    return end_ > 0;
}

std::size_t TStreamCursor::Read(std::uint8_t* to, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        if (at_ == end_) {
            if (count - done >= size_) {
                // Past the buffer's size: straight into the target.
                const std::int64_t got = stream_.Read(to + done, static_cast<std::int64_t>(count - done));
                done += static_cast<std::size_t>(std::max<std::int64_t>(got, 0));
                break;
            }
            if (!Refill())
                break;
        }
        const std::size_t n = std::min(count - done, end_ - at_);
        std::memcpy(to + done, buffer_.get() + at_, n);
        at_ += n;
        done += n;
    }
    used_ += done;
    return done;
}

void TStreamCursor::Skip(std::size_t count)
{
    while (count > 0) {
        if (at_ == end_ && !Refill())
            return;
        const std::size_t n = std::min(count, end_ - at_);
        at_ += n;
        used_ += n;
        count -= n;
    }
}

} // namespace quorin
