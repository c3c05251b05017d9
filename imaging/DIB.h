#pragma once
// Device-independent bitmaps in memory: the body of a BMP file after its
// 14-byte file header, the images inside icons, and the bitmaps carried by
// metafile records. The BMP reader (BMP.cpp) implements them.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "Bitmap.h"

namespace quorin {

enum class TDibKind {
    BitmapFile, // a BMP file's DIB; 32-bit BI_RGB pixels carry no alpha
    Packed,     // a DIB inside another container (metafile records)
    IconImage,  // an icon's image: doubled height, pixels then a 1-bit AND mask
};

// Compression values of the info header.
inline constexpr std::uint32_t BI_RGB = 0;
inline constexpr std::uint32_t BI_RLE8 = 1;
inline constexpr std::uint32_t BI_RLE4 = 2;
inline constexpr std::uint32_t BI_BITFIELDS = 3;
inline constexpr std::uint32_t BI_ALPHABITFIELDS = 6;

struct TDibHeader {
    std::int64_t HeaderSize = 0;  // 12 (OS/2 core header), 40, 52, 56, 108 or 124
    std::int64_t MasksEnd = 0;    // bytes of the header and any masks after it
    std::int64_t TableEnd = 0;    // ... and of the declared colour table
    std::int32_t Width = 0;
    std::int32_t Height = 0;      // rows of the picture (an icon's halved), > 0
    bool TopDown = false;
    int BitCount = 0;
    std::uint32_t Compression = BI_RGB;
    std::uint32_t Masks[4] = {};  // red, green, blue, alpha; used by bit fields and 16 bits
    std::vector<std::uint32_t> Palette; // 0x00RRGGBB, at most 2^BitCount entries
};

// Parses the info header, masks and colour table at the start of dib.
// Raises EInvalidGraphic ("Invalid bitmap file: ..." or, for icons,
// "Invalid icon file: ...") for anything it cannot read.
TDibHeader ParseDibHeader(std::span<const std::uint8_t> dib, TDibKind kind);

// Decodes pixels (which run to the end of the span) into bitmap: 24-bit, or
// 32-bit with HasAlphaChannel when the data really carry alpha. Refuses
// uncompressed data shorter than the picture and sizes over MaxPicturePixels
// before allocating.
void DecodeDibPixels(const TDibHeader& header, std::span<const std::uint8_t> pixels, TBitmap& bitmap, TDibKind kind);

// A packed DIB: header, colour table, then the pixels.
TDibHeader DecodePackedDib(std::span<const std::uint8_t> dib, TBitmap& bitmap, TDibKind kind);

} // namespace quorin
