#pragma once
// Windows icons: the largest, deepest entry; BMP entries with their AND mask
// as transparency, PNG entries through the platform's codec.

#include <cstdint>
#include <span>

#include "Bitmap.h"

namespace quorin {

class TIcon : public TBitmap {
public:
    static const TGraphicClass ClassRecord;
    const TGraphicClass& ClassType() const override { return ClassRecord; }
    // Decodes an icon file held in memory.
    void DecodeICO(std::span<const std::uint8_t> file);
    // DecodeICO on the rest of the stream.
    void DecodeStream(TStream& stream) override;
};

} // namespace quorin
