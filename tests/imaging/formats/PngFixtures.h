#pragma once
// PNG fixtures made and read with libpng itself.

#include <png.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace quorin::test {

struct TPngFixture {
    int Width = 1;
    int Height = 1;
    int ColourType = PNG_COLOR_TYPE_RGB_ALPHA;
    int BitDepth = 8;
    bool Interlaced = false;
    std::vector<std::vector<std::uint8_t>> Rows; // raw rows in the PNG's own layout
    std::vector<png_color> Palette;
    std::vector<std::uint8_t> PaletteAlpha; // tRNS of a palette picture
};

inline void AppendPngBytes(png_structp png, png_bytep data, png_size_t count)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + count);
}

inline std::vector<std::uint8_t> MakePng(const TPngFixture& fixture)
{
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, &AppendPngBytes, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(fixture.Width), static_cast<png_uint_32>(fixture.Height), fixture.BitDepth,
                 fixture.ColourType, fixture.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!fixture.Palette.empty())
        png_set_PLTE(png, info, fixture.Palette.data(), static_cast<int>(fixture.Palette.size()));
    if (!fixture.PaletteAlpha.empty())
        png_set_tRNS(png, info, fixture.PaletteAlpha.data(), static_cast<int>(fixture.PaletteAlpha.size()), nullptr);
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (const auto& row : fixture.Rows)
        rows.push_back(const_cast<png_bytep>(row.data()));
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// A PNG file read back with libpng's simplified reader as 8-bit RGB or RGBA.
struct TReadPng {
    bool Ok = false;
    bool FileHasAlpha = false;
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels;
};

inline TReadPng ReadPngFile(const std::string& path, bool asRgba)
{
    TReadPng result;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return result;
    result.FileHasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = asRgba ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    result.Width = static_cast<int>(image.width);
    result.Height = static_cast<int>(image.height);
    result.Pixels.resize(PNG_IMAGE_SIZE(image));
    result.Ok = png_image_finish_read(&image, nullptr, result.Pixels.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return result;
}

} // namespace quorin::test
