#pragma once
// Small helpers for building picture files byte by byte and reading pixels
// back, shared by the format tests.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/Stream.h"
#include "imaging/Bitmap.h"

namespace quorin::test {

// Little-endian byte writer.
struct TBytes {
    std::vector<std::uint8_t> Data;

    TBytes& U8(std::uint32_t v)
    {
        Data.push_back(static_cast<std::uint8_t>(v));
        return *this;
    }
    TBytes& U16(std::uint32_t v) { return U8(v).U8(v >> 8); }
    TBytes& U32(std::uint32_t v) { return U16(v).U16(v >> 16); }
    TBytes& I16(std::int32_t v) { return U16(static_cast<std::uint32_t>(v)); }
    TBytes& I32(std::int32_t v) { return U32(static_cast<std::uint32_t>(v)); }
    TBytes& Raw(std::initializer_list<std::uint8_t> bytes)
    {
        Data.insert(Data.end(), bytes);
        return *this;
    }
    TBytes& Append(const std::vector<std::uint8_t>& bytes)
    {
        Data.insert(Data.end(), bytes.begin(), bytes.end());
        return *this;
    }
    TBytes& Zeros(std::size_t count)
    {
        Data.insert(Data.end(), count, 0);
        return *this;
    }
    std::size_t Size() const { return Data.size(); }
    void PutU32(std::size_t at, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            Data[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    void PutU16(std::size_t at, std::uint32_t v)
    {
        Data[at] = static_cast<std::uint8_t>(v);
        Data[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
};

// Decodes bytes with graphic's own DecodeStream; the bytes live in a vector
// of exactly their size, so a read past them is caught by the sanitizers.
template <class T>
void Decode(T& graphic, const std::vector<std::uint8_t>& bytes)
{
    std::vector<std::uint8_t> exact(bytes);
    TMemoryViewStream stream(exact.data(), static_cast<std::int64_t>(exact.size()));
    graphic.DecodeStream(stream);
}

// Runs f and returns the message of the Exception it raises ("" if none).
template <class F>
std::string MessageOf(F&& f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

// 0xRRGGBB of a pixel, reading the Bitmap's blue-green-red bytes.
inline std::uint32_t Colour(const TBitmap& bitmap, int x, int y)
{
    const std::uint8_t* p = bitmap.RowAddress(y) + x * bitmap.BytesPerPixel();
    return (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}

inline int Alpha(const TBitmap& bitmap, int x, int y)
{
    return bitmap.PixelDepth() == 32 ? bitmap.RowAddress(y)[x * 4 + 3] : 255;
}

// Every pixel as 0xRRGGBB, rows from the top.
inline std::vector<std::uint32_t> Colours(const TBitmap& bitmap)
{
    std::vector<std::uint32_t> out;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            out.push_back(Colour(bitmap, x, y));
    return out;
}

inline std::vector<int> Alphas(const TBitmap& bitmap)
{
    std::vector<int> out;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            out.push_back(Alpha(bitmap, x, y));
    return out;
}

} // namespace quorin::test
