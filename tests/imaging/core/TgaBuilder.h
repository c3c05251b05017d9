#pragma once
// Small TGA files made in the tests, and helpers to look at decoded pixels.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Stream.h"
#include "imaging/TGA.h"

namespace quorin::test {

using Bytes = std::vector<std::uint8_t>;

struct TgaHeader {
    std::uint8_t IdLength = 0;
    std::uint8_t ColourMapType = 0;
    std::uint8_t ImageType = 2;
    std::uint16_t Width = 1;
    std::uint16_t Height = 1;
    std::uint8_t PixelDepth = 24;
    std::uint8_t Descriptor = 0;
};

// The 18 header bytes, then IdLength bytes of 0xEE (so a missed skip shows),
// then body.
inline Bytes MakeTga(const TgaHeader& h, const Bytes& body = {})
{
    Bytes out(18, 0);
    out[0] = h.IdLength;
    out[1] = h.ColourMapType;
    out[2] = h.ImageType;
    out[12] = static_cast<std::uint8_t>(h.Width & 0xFF);
    out[13] = static_cast<std::uint8_t>(h.Width >> 8);
    out[14] = static_cast<std::uint8_t>(h.Height & 0xFF);
    out[15] = static_cast<std::uint8_t>(h.Height >> 8);
    out[16] = h.PixelDepth;
    out[17] = h.Descriptor;
    out.insert(out.end(), h.IdLength, 0xEE);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

inline Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// n copies of pixel.
inline Bytes Repeat(const Bytes& pixel, int n)
{
    Bytes out;
    for (int i = 0; i < n; ++i)
        out.insert(out.end(), pixel.begin(), pixel.end());
    return out;
}

inline std::unique_ptr<TTGAImage> DecodeTga(const Bytes& file)
{
    auto image = std::make_unique<TTGAImage>();
    TMemoryViewStream stream(file.data(), static_cast<std::int64_t>(file.size()));
    image->DecodeStream(stream);
    return image;
}

// The message of the ETGAException that decoding raises, or none.
inline std::optional<std::string> TgaFailure(const Bytes& file)
{
    try {
        DecodeTga(file);
    } catch (const ETGAException& e) {
        return e.Message();
    }
    return std::nullopt;
}

// The width x bytes-per-pixel bytes of one row, filler excluded.
inline Bytes RowBytes(const TBitmap& bitmap, int row)
{
    const std::uint8_t* p = bitmap.RowAddress(row);
    return Bytes(p, p + static_cast<std::size_t>(bitmap.Width()) * bitmap.BytesPerPixel());
}

} // namespace quorin::test
