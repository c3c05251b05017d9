#pragma once
// DirectDraw Surface textures: DXT1, DXT3, DXT5 and uncompressed masked pixels.

#include <array>
#include <cstdint>

#include "Bitmap.h"

namespace quorin {

class EDDSException : public Exception { using Exception::Exception; };

class TDDSImage : public TBitmap {
public:
    static const TGraphicClass ClassRecord;
    const TGraphicClass& ClassType() const override { return ClassRecord; }
    void DecodeStream(TStream& stream) override;

private:
    void DecodeBlocks(TStream& stream, int width, int height, bool alphaPixels, int dxt, std::uint32_t linearSize);
    // masks: red, green, blue, alpha.
    void DecodeUncompressed(TStream& stream, int width, int height, bool alphaPixels, std::uint32_t bitCount,
                            const std::array<std::uint32_t, 4>& masks);
    [[noreturn]] void FailWithoutPixels();
};

// Position (0-31) of the lowest set bit; 0 for an empty mask.
int LowestSetBit(std::uint32_t mask);

// Judges the header of a DDS file of fileSize bytes as decoding it would,
// from its first bytes (head; 128 are enough): the size and kind, or the
// message decoding fails with. Raises nothing.
TPictureHeader InspectDDSHeader(const std::uint8_t* head, std::size_t headSize, std::int64_t fileSize);

void RegisterDDSFormat();
void UnregisterDDSFormat();

} // namespace quorin
