// Each level's rows are kept in linear light as floats while the next is
// made from them, so rounding to 8 bits happens once per level and never
// accumulates.

#include "Mipmaps.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

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

// One row of a picture in linear light: the picture itself is never held
// as floats whole.
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

// A row of linear floats back to 8-bit blue, green, red, alpha.
void EncodeRow(const float* from, int width, std::uint8_t* to)
{
    const auto& srgb = SrgbOfLinear();
    auto encode = [&](float v) { return srgb[static_cast<int>(std::clamp(v, 0.0f, 1.0f) * LinearSteps + 0.5f)]; };
    for (int x = 0; x < width; ++x, from += 4, to += 4) {
        to[0] = encode(from[2]);
        to[1] = encode(from[1]);
        to[2] = encode(from[0]);
        to[3] = static_cast<std::uint8_t>(std::lround(std::clamp(from[3], 0.0f, 1.0f) * 255));
    }
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

// A level being made: the rows of the level above that its next two rows
// cover, summed as they come (a row above is covered by at most two rows
// below, since each level halves), then the columns.
struct TMipmapRows::TLevel {
    TLevelSize Size;
    std::vector<std::vector<TTap>> Across, Down;
    std::array<std::vector<float>, 2> Columns; // of rows Next and Next + 1
    std::vector<float> Row;                    // the finished row, as floats
    std::vector<std::uint8_t> Bytes;           // and as 8-bit pixels
    int Next = 0;

    TLevel(TLevelSize above, TLevelSize size)
        : Size(size), Across(AreaTaps(above.Width, size.Width)), Down(AreaTaps(above.Height, size.Height)),
          Columns{std::vector<float>(static_cast<std::size_t>(above.Width) * 4),
                  std::vector<float>(static_cast<std::size_t>(above.Width) * 4)},
          Row(static_cast<std::size_t>(size.Width) * 4), Bytes(static_cast<std::size_t>(size.Width) * 4)
    {
    }
};

TMipmapRows::TMipmapRows(const TBitmap& top, int count, TSink sink)
    : top_(top), alpha_(top.BytesPerPixel() == 4 && top.HasAlphaChannel()), sink_(std::move(sink)),
      linear_(static_cast<std::size_t>(top.Width()) * 4)
{
    const auto sizes = MipmapSizes(top.Width(), top.Height(), count + 1);
    for (int i = 1; i <= count; ++i)
        levels_.emplace_back(sizes[static_cast<std::size_t>(i - 1)], sizes[static_cast<std::size_t>(i)]);
}

TMipmapRows::~TMipmapRows() = default;

void TMipmapRows::AddRow(int y)
{
    if (levels_.empty())
        return;
    LinearRow(top_, y, alpha_, linear_.data());
    Feed(0, y, linear_.data());
}

void TMipmapRows::Feed(std::size_t index, int y, const float* row)
{
    TLevel& level = levels_[index];
    for (int j = level.Next; j <= level.Next + 1 && j < level.Size.Height; ++j)
        for (const TTap& tap : level.Down[static_cast<std::size_t>(j)])
            if (tap.Source == y) {
                std::vector<float>& column = level.Columns[static_cast<std::size_t>(j % 2)];
                for (std::size_t i = 0; i < column.size(); ++i)
                    column[i] += tap.Weight * row[i];
            }
    if (level.Next == level.Size.Height || level.Down[static_cast<std::size_t>(level.Next)].back().Source != y)
        return;
    // The row is complete: its columns, then on to the level below.
    std::vector<float>& column = level.Columns[static_cast<std::size_t>(level.Next % 2)];
    std::fill(level.Row.begin(), level.Row.end(), 0.0f);
    float* out = level.Row.data();
    for (int x = 0; x < level.Size.Width; ++x, out += 4)
        for (const TTap& tap : level.Across[static_cast<std::size_t>(x)])
            for (int c = 0; c < 4; ++c)
                out[c] += tap.Weight * column[static_cast<std::size_t>(tap.Source) * 4 + c];
    std::fill(column.begin(), column.end(), 0.0f);
    const int done = level.Next++;
    EncodeRow(level.Row.data(), level.Size.Width, level.Bytes.data());
    sink_(static_cast<int>(index) + 1, done, level.Bytes.data());
    if (index + 1 < levels_.size())
        Feed(index + 1, done, level.Row.data());
}

std::vector<std::unique_ptr<TBitmap>> MakeMipmaps(const TBitmap& top, int count)
{
    std::vector<std::unique_ptr<TBitmap>> levels;
    if (count <= 0 || top.Width() <= 0 || top.Height() <= 0)
        return levels;
    const bool alpha = top.BytesPerPixel() == 4 && top.HasAlphaChannel();
    for (const TLevelSize& size : MipmapSizes(top.Width(), top.Height(), count + 1)) {
        if (levels.size() == static_cast<std::size_t>(count) + 1)
            break;
        auto picture = std::make_unique<TBitmap>();
        picture->SetPixelDepth(32);
        picture->SetSize(size.Width, size.Height);
        picture->SetAlphaChannel(alpha);
        levels.push_back(std::move(picture));
    }
    levels.erase(levels.begin()); // the top's own size
    TMipmapRows rows(top, count, [&](int level, int y, const std::uint8_t* bgra) {
        TBitmap& picture = *levels[static_cast<std::size_t>(level - 1)];
        std::memcpy(picture.RowAddress(y), bgra, static_cast<std::size_t>(picture.Width()) * 4);
    });
    for (int y = 0; y < top.Height(); ++y)
        rows.AddRow(y);
    return levels;
}

} // namespace quorin
