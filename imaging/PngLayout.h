#pragma once
// The smallest PNG colour type that holds a picture exactly: grey, grey with
// alpha, a palette of up to 256 colours (at 1, 2, 4 or 8 bits a pixel), RGB
// or RGBA. Chosen from one pass over the pixels; the rows are then given in
// that layout one at a time, so the writer never holds a second picture.

#include <array>
#include <cstdint>
#include <vector>

#include "Bitmap.h"

namespace quorin {

enum class TPngColourType : std::uint8_t { Grey = 0, Rgb = 2, Palette = 3, GreyAlpha = 4, Rgba = 6 };

class TPngLayout {
public:
    // withAlpha false: the fourth byte, if any, is ignored and every pixel
    // counts as opaque.
    TPngLayout(const TBitmap& picture, bool withAlpha);

    TPngColourType ColourType() const { return colourType_; }
    int BitDepth() const { return bitDepth_; }
    // Bytes of one PNG row, without the filter byte.
    std::size_t RowBytes() const { return rowBytes_; }
    // The distance in bytes to the pixel on the left, as PNG's filters take it.
    int FilterStep() const;

    // Red, green, blue per entry; the alpha of the leading translucent entries.
    std::vector<std::uint8_t> PaletteRgb() const;
    std::vector<std::uint8_t> PaletteAlpha() const;

    // Row y of the picture in the chosen layout, RowBytes() bytes into out.
    void Row(int y, std::uint8_t* out) const;

private:
    // Colours (0xAARRGGBB) to palette indices: open addressing over twice
    // the most entries a palette holds.
    static constexpr std::size_t Slots = 512;
    std::size_t Slot(std::uint32_t colour) const;
    int Find(std::uint32_t colour) const;
    bool Insert(std::uint32_t colour);
    void Analyse();
    void Choose();
    void OrderPalette();
    std::uint32_t Pixel(const std::uint8_t* at) const;

    const TBitmap& picture_;
    bool alpha_;
    bool grey_ = true;
    bool opaque_ = true;
    bool overflowed_ = false;
    std::array<std::uint32_t, Slots> keys_{};
    std::array<std::int16_t, Slots> indices_; // -1: a free slot
    std::vector<std::uint32_t> palette_; // in order of first appearance, then translucent first
    TPngColourType colourType_ = TPngColourType::Rgb;
    int bitDepth_ = 8;
    std::size_t rowBytes_ = 0;
};

} // namespace quorin
