#include "Graphic.h"

#include <string>

#include "ByteReader.h"
#include "base/Stream.h"

namespace quorin {

const TGraphicClass TGraphic::ClassRecord{"TGraphic", nullptr, nullptr};

void TGraphic::SetTransparent(bool value)
{
    if (transparent_ == value)
        return;
    transparent_ = value;
    Changed();
}

void TGraphic::DecodeFile(std::string_view fileName)
{
    // The stream closes on every path, the failing ones included.
    TFileStream stream(fileName, TFileMode::OpenRead);
    DecodeStream(stream);
}

void TGraphic::ReadData(TStream& stream)
{
    std::uint8_t raw[4] = {};
    if (stream.ReadBytes(raw, sizeof raw) != static_cast<std::int64_t>(sizeof raw))
        throw EInvalidGraphic("Stored picture data ends before its byte count");
    const std::int32_t count = bytes::I32(raw);
    if (count < 0)
        throw EInvalidGraphic("Stored picture byte count is negative (" + std::to_string(count) + ")");

    // Compare with what the stream holds before taking any memory for it.
    std::int64_t position = stream.Position();
    std::int64_t remaining = stream.Size() - position;
    if (remaining < 0)
        remaining = 0;
    if (count > remaining)
        throw EInvalidGraphic("Stored picture byte count (" + std::to_string(count) + ") exceeds the "
                              + std::to_string(remaining) + " bytes that follow it");

    // Bytes already in memory are decoded in place; others are read once.
    if (const auto held = stream.HeldBytes(); held && static_cast<std::int64_t>(held->size()) >= count) {
        TMemoryViewStream view(held->data(), count);
        DecodeStream(view);
        stream.Seek(position + count, TSeekOrigin::Beginning);
        return;
    }
    TMemoryStream data;
    data.SetSize(count);
    stream.ReadBuffer(data.Memory(), count);
    DecodeStream(data);
}

} // namespace quorin
