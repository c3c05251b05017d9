#pragma once
// Decoded pixels in a small file of their own, so pixels decoded by one
// build's codecs can be committed and compared with another build's:
// "QPIX", then width, height and bytes per pixel (32-bit little-endian),
// then the rows from the top without their padding.

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "imaging/Bitmap.h"

namespace quorin::test {

struct TPixels {
    int Width = 0;
    int Height = 0;
    int BytesPerPixel = 0;
    std::vector<std::uint8_t> Data;
};

inline TPixels PixelsOf(const TBitmap& bitmap)
{
    TPixels pixels{bitmap.Width(), bitmap.Height(), bitmap.BytesPerPixel(), {}};
    const auto rowBytes = static_cast<std::size_t>(bitmap.Width() * bitmap.BytesPerPixel());
    for (int y = 0; y < bitmap.Height(); ++y)
        pixels.Data.insert(pixels.Data.end(), bitmap.RowAddress(y), bitmap.RowAddress(y) + rowBytes);
    return pixels;
}

inline std::vector<std::uint8_t> DumpPixels(const TBitmap& bitmap)
{
    TPixels pixels = PixelsOf(bitmap);
    std::vector<std::uint8_t> out = {'Q', 'P', 'I', 'X'};
    for (int value : {pixels.Width, pixels.Height, pixels.BytesPerPixel})
        for (int shift = 0; shift < 32; shift += 8)
            out.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> shift));
    out.insert(out.end(), pixels.Data.begin(), pixels.Data.end());
    return out;
}

inline std::optional<TPixels> ReadPixelDump(const std::vector<std::uint8_t>& file)
{
    if (file.size() < 16 || std::memcmp(file.data(), "QPIX", 4) != 0)
        return std::nullopt;
    auto field = [&](std::size_t at) {
        return static_cast<int>(file[at] | file[at + 1] << 8 | file[at + 2] << 16 | std::uint32_t{file[at + 3]} << 24);
    };
    TPixels pixels{field(4), field(8), field(12), std::vector<std::uint8_t>(file.begin() + 16, file.end())};
    if (pixels.Data.size() != static_cast<std::size_t>(pixels.Width) * pixels.Height * pixels.BytesPerPixel)
        return std::nullopt;
    return pixels;
}

} // namespace quorin::test
