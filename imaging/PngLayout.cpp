// One pass tells whether the picture is grey, opaque and of how many
// colours; pixels equal to the one before, which flat pictures are made of,
// skip the table of colours altogether.

#include "PngLayout.h"

#include <algorithm>
#include <cstring>

namespace quorin {

namespace {

constexpr std::uint32_t OpaqueAlpha = 0xFF000000u;

bool IsGrey(std::uint32_t argb)
{
    const std::uint32_t b = argb & 0xFF, g = argb >> 8 & 0xFF, r = argb >> 16 & 0xFF;
    return r == g && g == b;
}

int PaletteDepth(std::size_t colours)
{
    return colours <= 2 ? 1 : colours <= 4 ? 2 : colours <= 16 ? 4 : 8;
}

} // namespace

TPngLayout::TPngLayout(const TBitmap& picture, bool withAlpha)
    : picture_(picture), alpha_(withAlpha && picture.BytesPerPixel() == 4)
{
    indices_.fill(-1);
    Analyse();
    Choose();
}

std::uint32_t TPngLayout::Pixel(const std::uint8_t* at) const
{
    // Byte by byte: a three-byte copy into a word would go through memory
    // and stall the load that follows it.
    const std::uint32_t rgb = std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16;
    return rgb | (alpha_ ? std::uint32_t{at[3]} << 24 : OpaqueAlpha);
}

std::size_t TPngLayout::Slot(std::uint32_t colour) const
{
    std::size_t slot = (colour * 2654435761u) >> 23; // 9 bits: 0..511
    while (indices_[slot] >= 0 && keys_[slot] != colour)
        slot = (slot + 1) % Slots;
    return slot;
}

int TPngLayout::Find(std::uint32_t colour) const
{
    return indices_[Slot(colour)];
}

bool TPngLayout::Insert(std::uint32_t colour)
{
    const std::size_t slot = Slot(colour);
    if (indices_[slot] >= 0)
        return true;
    if (palette_.size() == 256)
        return false;
    keys_[slot] = colour;
    indices_[slot] = static_cast<std::int16_t>(palette_.size());
    palette_.push_back(colour);
    return true;
}

void TPngLayout::Analyse()
{
    const int bytes = picture_.BytesPerPixel();
    const int width = picture_.Width(), height = picture_.Height();
    std::uint32_t last = Pixel(picture_.RowAddress(0));
    Insert(last);
    grey_ = IsGrey(last);
    opaque_ = last >= OpaqueAlpha;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* at = picture_.RowAddress(y);
        for (int x = 0; x < width; ++x, at += bytes) {
            const std::uint32_t argb = Pixel(at);
            if (argb == last)
                continue;
            last = argb;
            if (!overflowed_)
                overflowed_ = !Insert(argb);
            grey_ = grey_ && IsGrey(argb);
            opaque_ = opaque_ && argb >= OpaqueAlpha;
            // Nothing more to learn: the picture takes all four channels, or
            // three when it cannot have alpha.
            if (overflowed_ && !grey_ && (!opaque_ || !alpha_))
                return;
        }
    }
}

void TPngLayout::Choose()
{
    const std::size_t colours = palette_.size();
    // Grey beats a palette of more than 16 colours: the same byte a pixel
    // and no palette to send.
    if (!overflowed_ && !(grey_ && opaque_ && colours > 16)) {
        colourType_ = TPngColourType::Palette;
        bitDepth_ = PaletteDepth(colours);
        OrderPalette();
    } else if (grey_) {
        colourType_ = opaque_ ? TPngColourType::Grey : TPngColourType::GreyAlpha;
    } else {
        colourType_ = opaque_ ? TPngColourType::Rgb : TPngColourType::Rgba;
    }
    const auto width = static_cast<std::size_t>(picture_.Width());
    rowBytes_ = colourType_ == TPngColourType::Palette ? (width * static_cast<std::size_t>(bitDepth_) + 7) / 8
                                                       : width * static_cast<std::size_t>(FilterStep());
}

// Translucent entries first, so that tRNS names only them.
void TPngLayout::OrderPalette()
{
    std::stable_partition(palette_.begin(), palette_.end(), [](std::uint32_t c) { return c < OpaqueAlpha; });
    for (std::size_t i = 0; i < palette_.size(); ++i)
        indices_[Slot(palette_[i])] = static_cast<std::int16_t>(i);
}

int TPngLayout::FilterStep() const
{
    switch (colourType_) {
    case TPngColourType::Grey:
    case TPngColourType::Palette:
        return 1;
    case TPngColourType::GreyAlpha:
        return 2;
    case TPngColourType::Rgb:
        return 3;
    case TPngColourType::Rgba:
        break;
    }
    return 4;
}

std::vector<std::uint8_t> TPngLayout::PaletteRgb() const
{
    std::vector<std::uint8_t> rgb;
    for (std::uint32_t c : palette_)
        rgb.insert(rgb.end(), {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                               static_cast<std::uint8_t>(c)});
    return rgb;
}

std::vector<std::uint8_t> TPngLayout::PaletteAlpha() const
{
    std::vector<std::uint8_t> alpha;
    for (std::uint32_t c : palette_)
        if (c < OpaqueAlpha)
            alpha.push_back(static_cast<std::uint8_t>(c >> 24));
    return alpha;
}

void TPngLayout::Row(int y, std::uint8_t* out) const
{
    const std::uint8_t* at = picture_.RowAddress(y);
    const int bytes = picture_.BytesPerPixel();
    const int width = picture_.Width();
    switch (colourType_) {
    case TPngColourType::Palette: {
        std::memset(out, 0, rowBytes_);
        std::uint32_t last = Pixel(at);
        unsigned index = static_cast<unsigned>(Find(last));
        const unsigned depth = static_cast<unsigned>(bitDepth_);
        // Pixels fill each byte from its high bits down.
        for (unsigned x = 0, bit = 0; x < static_cast<unsigned>(width); ++x, at += bytes, bit += depth) {
            const std::uint32_t argb = Pixel(at);
            if (argb != last) {
                last = argb;
                index = static_cast<unsigned>(Find(argb));
            }
            out[bit >> 3] |= static_cast<std::uint8_t>(index << (8 - depth - (bit & 7)));
        }
        return;
    }
    case TPngColourType::Grey:
        for (int x = 0; x < width; ++x, at += bytes)
            *out++ = at[2];
        return;
    case TPngColourType::GreyAlpha:
        for (int x = 0; x < width; ++x, at += bytes) {
            *out++ = at[2];
            *out++ = at[3];
        }
        return;
    case TPngColourType::Rgb:
        for (int x = 0; x < width; ++x, at += bytes) {
            *out++ = at[2];
            *out++ = at[1];
            *out++ = at[0];
        }
        return;
    case TPngColourType::Rgba:
        for (int x = 0; x < width; ++x, at += bytes) {
            *out++ = at[2];
            *out++ = at[1];
            *out++ = at[0];
            *out++ = alpha_ ? at[3] : 255;
        }
        return;
    }
}

} // namespace quorin
