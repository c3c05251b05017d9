#pragma once
// DirectDraw Surface textures: DXT1, DXT3, DXT5 and uncompressed masked pixels.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "Bitmap.h"

namespace quorin {

namespace bytes {
class TCursor;
}

class EDDSException : public Exception { using Exception::Exception; };

class TDDSImage : public TBitmap {
public:
    static const TGraphicClass ClassRecord;
    const TGraphicClass& ClassType() const override { return ClassRecord; }
    // Decodes a DDS file held in memory: its top image only. Returns how
    // many of its bytes that used: the header and the image's data.
    std::size_t DecodeDDS(std::span<const std::uint8_t> file);
    // DecodeDDS on the rest of the stream, which is left after the bytes used.
    void DecodeStream(TStream& stream) override;
    // The mipmaps below the top image of a block-compressed DDS file held in
    // memory, decoded, largest first: the texture as the game draws it at a
    // distance. Empty unless the file holds the whole chain down to 1 x 1
    // (a renderer needs all of it); raises as DecodeDDS does.
    static std::vector<std::unique_ptr<TBitmap>> DecodeStoredMipmaps(std::span<const std::uint8_t> file);

private:
    void Decode(bytes::TCursor& input);
    // Each decodes the data that follows the header.
    void DecodeBlocks(bytes::TCursor& input, int width, int height, bool alphaPixels, int dxt, std::uint32_t linearSize);
    // masks: red, green, blue, alpha.
    void DecodeUncompressed(bytes::TCursor& input, int width, int height, bool alphaPixels, std::uint32_t bitCount,
                            const std::array<std::uint32_t, 4>& masks);
};

// Position (0-31) of the lowest set bit; 0 for an empty mask.
int LowestSetBit(std::uint32_t mask);

// Judges the header of a DDS file of fileSize bytes as decoding it would,
// from its first bytes (head; 128 are enough): the size and kind, or the
// message decoding fails with. Raises nothing.
TPictureHeader InspectDDSHeader(const std::uint8_t* head, std::size_t headSize, std::int64_t fileSize);

// What a texture check needs of a DDS file beyond its size: the block
// format and how much of the mipmap chain the file holds.
struct TDDSLayout {
    TPictureHeader Picture;  // the size and kind, or the message decoding fails with
    int Dxt = 0;             // 1, 3 or 5; 0 for uncompressed pixels
    int BitCount = 0;        // bits per uncompressed pixel
    int MipmapLevels = 1;    // the top image and the mipmaps the header declares and the file holds
    int FullChainLevels = 1; // the levels down to 1 x 1
};

// InspectDDSHeader with the layout; raises nothing.
TDDSLayout InspectDDSLayout(const std::uint8_t* head, std::size_t headSize, std::int64_t fileSize);

void RegisterDDSFormat();
void UnregisterDDSFormat();

} // namespace quorin
