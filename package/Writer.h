#pragma once
// The tagged value writer: each value is a tag byte and the value in its
// smallest form. Output is gathered in a fixed buffer that goes to the target
// stream only when a write finds it full, and at release.

#include <cstdint>
#include <memory>
#include <string_view>

#include "base/Stream.h"

namespace quorin {

enum class TValueTag : std::uint8_t {
    TagInt8 = 2,
    TagInt16 = 3,
    TagInt32 = 4,
    TagString = 6,
    TagFalse = 8,
    TagTrue = 9,
    TagLongString = 12,
    TagUtf8String = 20,
};

// Holds the target stream (not owned) and the buffer.
class TFiler {
public:
    TFiler(TStream& stream, std::int32_t capacity);
    TFiler(const TFiler&) = delete;
    TFiler& operator=(const TFiler&) = delete;

    std::int32_t Capacity() const { return capacity_; }
    std::int32_t FillPosition() const { return fillPosition_; }

protected:
    TStream& stream_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::int32_t capacity_;
    std::int32_t fillPosition_ = 0;
};

class TWriter : public TFiler {
public:
    TWriter(TStream& stream, std::int32_t capacity);
    // Hands on what is still buffered; a failure there is swallowed, so a
    // writer abandoned after an earlier failure never hides that failure.
    // Call Release to see the flush's own failure.
    ~TWriter();

    void PutTag(TValueTag tag);
    void PutInteger(std::int32_t value);
    // text is UTF-8: 7-bit text takes the short or long ASCII form, anything
    // else the UTF-8 form.
    void PutString(std::string_view text);
    void PutBoolean(bool value);
    void PutBytes(const void* data, std::int64_t count);
    // "Stream write error" when the stream takes fewer bytes; the fill
    // position then stays as it was.
    void FlushPending();
    // Flushes and frees the buffer; the stream stays open.
    void Release();

private:
    void PutLength(std::int32_t length);
    bool released_ = false;
};

} // namespace quorin
