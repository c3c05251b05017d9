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

} // namespace quorin
