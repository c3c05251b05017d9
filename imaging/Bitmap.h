#pragma once
// The shared decoded picture: 24 or 32 bits per pixel (blue, green, red
// [, alpha]), rows from the top, each row padded to a multiple of 4 bytes.

#include <cstdint>
#include <memory>
#include <string>
#include <span>

#include "Graphic.h"

namespace quorin {

// No decoder allocates for a picture of more pixels than this.
inline constexpr std::int64_t MaxPicturePixels = 178956970;

// True when width x height is a size a Bitmap may take.
bool PictureSizeFits(std::int64_t width, std::int64_t height);

// What a picture file's header tells without decoding its pixels: the size
// and the kind, as "32-bit TGA" or "DXT5 DDS", or the failure that decoding
// the file would raise.
struct TPictureHeader {
    int Width = 0;
    int Height = 0;
    std::string Kind;
    std::string Error; // empty when the file decodes
};

class TBitmap : public TGraphic {
public:
    static const TGraphicClass ClassRecord;
    const TGraphicClass& ClassType() const override { return ClassRecord; }

    TBitmap() = default;

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    // Each change of size keeps the pixels old and new size share (anchored
    // top-left) and makes every new pixel white. A size over MaxPicturePixels
    // or a negative one raises EInvalidGraphic.
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    void SetSize(int width, int height);

    int PixelDepth() const { return bitsPerPixel_; }
    // 24 or 32; any other value raises EInvalidGraphic. Converts existing pixels.
    void SetPixelDepth(int bits);
    int BytesPerPixel() const { return bitsPerPixel_ / 8; }
    std::int64_t RowStride() const { return RowStrideFor(width_, bitsPerPixel_); }
    static std::int64_t RowStrideFor(std::int64_t width, int bitsPerPixel)
    {
        return ((width * bitsPerPixel + 31) / 32) * 4;
    }

    // Row 0 is the top row; "Scan line index out of range" outside 0..height-1.
    std::uint8_t* RowAddress(int row);
    const std::uint8_t* RowAddress(int row) const;

    // Whether the fourth byte carries the file's alpha (set by the decoders
    // that read alpha; drawing never uses it).
    bool HasAlphaChannel() const { return hasAlpha_; }
    void SetAlphaChannel(bool value) { hasAlpha_ = value; }

    // The colour (0xRRGGBB) of the bottom-left pixel: the transparent key.
    std::uint32_t KeyColour() const;

    void Draw(TCanvas& canvas, const TRect& dest) const override;
    // Decodes a BMP file held in memory (BMP.cpp).
    void DecodeBMP(std::span<const std::uint8_t> file);
    // DecodeBMP on the rest of the stream.
    void DecodeStream(TStream& stream) override;
    void Assign(const TGraphic& source) override;

    // For decoders that write every byte of every row, the row filler
    // included: takes the size without whitening the pixels, which would
    // double the memory traffic of a decode. Same checks as SetSize.
    void SetSizeForDecoding(int width, int height);

private:
    void Resize(int width, int height);
    void CheckSize(std::int64_t width, std::int64_t height) const;
    std::unique_ptr<std::uint8_t[]> AllocatePixels(int width, int height) const;

    std::unique_ptr<std::uint8_t[]> pixels_;
    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = 24;
    bool hasAlpha_ = false;
};

} // namespace quorin
