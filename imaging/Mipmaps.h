#pragma once
// Mipmap chains: the sizes of each level, and the levels themselves, each
// made from the one above in linear light.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "Bitmap.h"

namespace quorin {

struct TLevelSize {
    int Width = 0;
    int Height = 0;
    friend bool operator==(const TLevelSize&, const TLevelSize&) = default;
};

// Each level halves both sides, rounding down, but never below 1: a full
// chain ends at 1 x 1, so 256 x 64 has 9 levels and 1 x 1 has one.
int FullMipmapCount(int width, int height);
// The sizes of the first count levels of the chain, the picture's own first.
std::vector<TLevelSize> MipmapSizes(int width, int height, int count);

// The count levels below top, largest first. Each is made from the one
// above with an area filter (on even sides the 2 x 2 box; on odd ones each
// new pixel averages the 2.5 old pixels it covers, parts weighed by how much
// of them it covers), colour taken from sRGB to linear light and back,
// alpha averaged as it is. The levels are 32-bit; they carry alpha when top does.
std::vector<std::unique_ptr<TBitmap>> MakeMipmaps(const TBitmap& top, int count);

// The same levels made as the top picture's rows come, all levels in one
// pass: each keeps only the rows it is still summing, so a chain costs a few
// rows of each level, not the levels themselves. The pixels are those of
// MakeMipmaps.
class TMipmapRows {
public:
    // Row y of level (1 is the first below top): blue, green, red, alpha,
    // as many pixels as the level is wide. Levels finish rows in turns.
    using TSink = std::function<void(int level, int y, const std::uint8_t* bgra)>;

    TMipmapRows(const TBitmap& top, int count, TSink sink);
    ~TMipmapRows();
    TMipmapRows(const TMipmapRows&) = delete;
    TMipmapRows& operator=(const TMipmapRows&) = delete;

    // Row y of top; rows come in order from 0.
    void AddRow(int y);

private:
    struct TLevel;
    void Feed(std::size_t level, int y, const float* row);

    const TBitmap& top_;
    bool alpha_;
    TSink sink_;
    std::vector<TLevel> levels_;
    std::vector<float> linear_;
};

} // namespace quorin
