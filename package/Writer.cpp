#include "Writer.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/RuntimeText.h"
#include "base/Text.h"

namespace quorin {

namespace {
constexpr std::size_t ShortStringMax = 255;
}

TFiler::TFiler(TStream& stream, std::int32_t capacity)
    : stream_(stream), buffer_(new std::uint8_t[static_cast<std::size_t>(std::max(capacity, 1))]),
      capacity_(std::max(capacity, 1))
{
}

TWriter::TWriter(TStream& stream, std::int32_t capacity) : TFiler(stream, capacity) {}

TWriter::~TWriter()
{
    if (released_)
        return;
    try {
        FlushPending();
    } catch (...) {
        // The caller is already unwinding from the failure that matters.
    }
}

void TWriter::Release()
{
    if (released_)
        return;
    FlushPending();
    buffer_.reset();
    released_ = true;
}

void TWriter::FlushPending()
{
    if (fillPosition_ == 0)
        return;
    if (stream_.Write(buffer_.get(), fillPosition_) != fillPosition_)
        RaiseStreamWriteError();
    fillPosition_ = 0;
}

void TWriter::PutBytes(const void* data, std::int64_t count)
{
    auto source = static_cast<const std::uint8_t*>(data);
    while (count > 0) {
        if (fillPosition_ == capacity_)
            FlushPending();
        // A whole block that would be copied into the empty buffer and handed
        // on unchanged at the next write goes to the stream straight from the
        // data: the stream sees the same writes, without one copy of every
        // byte. The last block of a run stays buffered: the buffer goes to the
        // stream only when a later write finds it full, or at release.
        while (fillPosition_ == 0 && count > capacity_) {
            if (stream_.Write(source, capacity_) != capacity_)
                RaiseStreamWriteError();
            source += capacity_;
            count -= capacity_;
        }
        auto chunk = static_cast<std::int32_t>(std::min<std::int64_t>(capacity_ - fillPosition_, count));
        std::memcpy(buffer_.get() + fillPosition_, source, static_cast<std::size_t>(chunk));
        fillPosition_ += chunk;
        source += chunk;
        count -= chunk;
    }
}

void TWriter::PutTag(TValueTag tag)
{
    auto byte = static_cast<std::uint8_t>(tag);
    PutBytes(&byte, 1);
}

void TWriter::PutLength(std::int32_t length)
{
    auto value = static_cast<std::uint32_t>(length);
    std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                             static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    PutBytes(bytes, 4);
}

void TWriter::PutInteger(std::int32_t value)
{
    auto bits = static_cast<std::uint32_t>(value);
    if (value >= -128 && value <= 127) {
        std::uint8_t bytes[2] = {static_cast<std::uint8_t>(TValueTag::TagInt8), static_cast<std::uint8_t>(bits)};
        PutBytes(bytes, 2);
    } else if (value >= -32768 && value <= 32767) {
        std::uint8_t bytes[3] = {static_cast<std::uint8_t>(TValueTag::TagInt16), static_cast<std::uint8_t>(bits),
                                 static_cast<std::uint8_t>(bits >> 8)};
        PutBytes(bytes, 3);
    } else {
        PutTag(TValueTag::TagInt32);
        PutLength(value);
    }
}

void TWriter::PutString(std::string_view text)
{
    // A package's lengths are signed 32-bit; longer text cannot be described.
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        RaiseOutOfMemoryExpandingStream();
    auto length = static_cast<std::int32_t>(text.size());
    if (!IsSevenBitAscii(text)) {
        PutTag(TValueTag::TagUtf8String);
        PutLength(length);
    } else if (text.size() <= ShortStringMax) {
        std::uint8_t bytes[2] = {static_cast<std::uint8_t>(TValueTag::TagString), static_cast<std::uint8_t>(length)};
        PutBytes(bytes, 2);
    } else {
        PutTag(TValueTag::TagLongString);
        PutLength(length);
    }
    PutBytes(text.data(), length);
}

void TWriter::PutBoolean(bool value)
{
    PutTag(value ? TValueTag::TagTrue : TValueTag::TagFalse);
}

} // namespace quorin
