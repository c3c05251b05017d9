// Each level is kept in linear light as floats while the next is made from
// it, so rounding to 8 bits happens once per level and never accumulates.

#include "Mipmaps.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace quorin {

namespace {

// Linear light of each 8-bit sRGB value.
const std::array<float, 256>& LinearOfSrgb()
{
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int i = 0; i < 256; ++i) {
            const double s = i / 255.0;
            t[i] = static_cast<float>(s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4));
        }
        return t;
    }();
    return table;
}

// 8-bit sRGB of linear light in 65536 steps: fine enough that the darkest
// sRGB steps, 20 linear steps apart, round as the exact curve would.
constexpr int LinearSteps = 65535;
const std::array<std::uint8_t, LinearSteps + 1>& SrgbOfLinear()
{
    static const std::array<std::uint8_t, LinearSteps + 1> table = [] {
        std::array<std::uint8_t, LinearSteps + 1> t{};
        for (int i = 0; i <= LinearSteps; ++i) {
            const double l = static_cast<double>(i) / LinearSteps;
            const double s = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
            t[i] = static_cast<std::uint8_t>(std::lround(std::clamp(s, 0.0, 1.0) * 255));
        }
        return t;
    }();
    return table;
}

// A level as four floats per pixel: red, green, blue in linear light, alpha 0..1.
struct TLinearLevel {
    int Width = 0;
    int Height = 0;
    std::vector<float> Pixels;
    float* Row(int y) { return Pixels.data() + static_cast<std::size_t>(y) * Width * 4; }
    const float* Row(int y) const { return Pixels.data() + static_cast<std::size_t>(y) * Width * 4; }
};

// One row of a picture in linear light, for the first halving: the picture
// itself is never held as floats whole.
void LinearRow(const TBitmap& picture, int y, bool alpha, float* to)
{
    const auto& linear = LinearOfSrgb();
    const int bytes = picture.BytesPerPixel();
    const std::uint8_t* from = picture.RowAddress(y);
    for (int x = 0; x < picture.Width(); ++x, from += bytes, to += 4) {
        to[0] = linear[from[2]];
        to[1] = linear[from[1]];
        to[2] = linear[from[0]];
        to[3] = alpha ? from[3] / 255.0f : 1.0f;
    }
}

std::unique_ptr<TBitmap> ToBitmap(const TLinearLevel& level, bool alpha)
{
    const auto& srgb = SrgbOfLinear();
    auto encode = [&](float v) { return srgb[static_cast<int>(std::clamp(v, 0.0f, 1.0f) * LinearSteps + 0.5f)]; };
    auto picture = std::make_unique<TBitmap>();
    picture->SetPixelDepth(32);
    picture->SetSize(level.Width, level.Height);
    picture->SetAlphaChannel(alpha);
    for (int y = 0; y < level.Height; ++y) {
        const float* from = level.Row(y);
        std::uint8_t* to = picture->RowAddress(y);
        for (int x = 0; x < level.Width; ++x, from += 4, to += 4) {
            to[0] = encode(from[2]);
            to[1] = encode(from[1]);
            to[2] = encode(from[0]);
            to[3] = static_cast<std::uint8_t>(std::lround(std::clamp(from[3], 0.0f, 1.0f) * 255));
        }
    }
    return picture;
}

struct TTap {
    int Source;
    float Weight;
};

// For each new position along one side: the old positions it covers and how
// much of each, the weights summing to 1.
std::vector<std::vector<TTap>> AreaTaps(int from, int to)
{
    std::vector<std::vector<TTap>> taps(static_cast<std::size_t>(to));
    const double scale = static_cast<double>(from) / to;
    for (int j = 0; j < to; ++j) {
        const double start = j * scale, end = (j + 1) * scale;
        for (int i = static_cast<int>(start); i < from && i < end; ++i) {
            const double covered = std::min<double>(end, i + 1) - std::max<double>(start, i);
            if (covered > 1e-9)
                taps[j].push_back({i, static_cast<float>(covered / scale)});
        }
    }
    return taps;
}

// rowOf(y, scratch) gives row y of the level above, as floats, maybe in scratch.
template <typename TRowOf>
TLinearLevel Halve(int width, int height, TRowOf&& rowOf, TLevelSize size)
{
    TLinearLevel level{size.Width, size.Height, {}};
    level.Pixels.resize(static_cast<std::size_t>(size.Width) * size.Height * 4);
    const auto across = AreaTaps(width, size.Width);
    const auto down = AreaTaps(height, size.Height);
    std::vector<float> column(static_cast<std::size_t>(width) * 4), scratch(column.size());
    for (int y = 0; y < size.Height; ++y) {
        // The rows this row covers, blended, then the columns.
        std::fill(column.begin(), column.end(), 0.0f);
        for (const TTap& tap : down[y]) {
            const float* row = rowOf(tap.Source, scratch.data());
            for (std::size_t i = 0; i < column.size(); ++i)
                column[i] += tap.Weight * row[i];
        }
        float* out = level.Row(y);
        for (int x = 0; x < size.Width; ++x, out += 4)
            for (const TTap& tap : across[x])
                for (int c = 0; c < 4; ++c)
                    out[c] += tap.Weight * column[static_cast<std::size_t>(tap.Source) * 4 + c];
    }
    return level;
}

} // namespace

int FullMipmapCount(int width, int height)
{
    int count = 1;
    for (int side = std::max(width, height); side > 1; side /= 2)
        ++count;
    return count;
}

std::vector<TLevelSize> MipmapSizes(int width, int height, int count)
{
    std::vector<TLevelSize> sizes;
    for (int i = 0; i < count; ++i) {
        sizes.push_back({width, height});
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
    }
    return sizes;
}

std::vector<std::unique_ptr<TBitmap>> MakeMipmaps(const TBitmap& top, int count)
{
    std::vector<std::unique_ptr<TBitmap>> levels;
    if (count <= 0 || top.Width() <= 0 || top.Height() <= 0)
        return levels;
    const bool alpha = top.BytesPerPixel() == 4 && top.HasAlphaChannel();
    const auto sizes = MipmapSizes(top.Width(), top.Height(), count + 1);
    TLinearLevel above = Halve(
        top.Width(), top.Height(),
        [&](int y, float* scratch) {
            LinearRow(top, y, alpha, scratch);
            return static_cast<const float*>(scratch);
        },
        sizes[1]);
    levels.push_back(ToBitmap(above, alpha));
    for (int i = 2; i <= count; ++i) {
        above = Halve(above.Width, above.Height, [&](int y, float*) { return above.Row(y); },
                      sizes[static_cast<std::size_t>(i)]);
        levels.push_back(ToBitmap(above, alpha));
    }
    return levels;
}

} // namespace quorin
