// Makes the codec tests' committed files (tests/data/codecs): PNG and JPEG
// inputs written with libpng and libjpeg, and the pixels this build's codecs
// (libpng, libjpeg-turbo) decode from them, which the Windows build's codecs
// must reproduce. Run on Linux after a change of the inputs:
//   cmake --build build --target make_codec_references
//   build/tests/imaging/make_codec_references tests/data/codecs

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "formats/JpegFixtures.h"
#include "formats/PngFixtures.h"
#include "imaging/PlatformCodecs.h"
#include "tests/imaging/codecs/PixelDump.h"

namespace {

using namespace quorin;
using Bytes = std::vector<std::uint8_t>;

void Save(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Smooth colour ramps with one hard edge: what cards and textures hold.
std::uint8_t Channel(int x, int y, int c, int width, int height)
{
    int value = (c == 0 ? x * 255 / width : c == 1 ? y * 255 / height : (x + y) * 127 / (width + height));
    return static_cast<std::uint8_t>(x > width / 2 && c == 2 ? 255 - value : value);
}

Bytes MakeJpeg(int width, int height, int components, bool progressive, bool fullChroma = false)
{
    test::TJpegFixture fixture;
    fixture.Width = width;
    fixture.Height = height;
    fixture.Components = components;
    fixture.Space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    fixture.Progressive = progressive;
    fixture.Quality = 85;
    fixture.FullChroma = fullChroma;
    fixture.Sample = [=](int x, int y, int c) { return Channel(x, y, c, width, height); };
    return test::MakeJpeg(fixture);
}

test::TPngFixture PngOf(int width, int height, int colourType, int bitDepth, bool interlaced)
{
    test::TPngFixture fixture;
    fixture.Width = width;
    fixture.Height = height;
    fixture.ColourType = colourType;
    fixture.BitDepth = bitDepth;
    fixture.Interlaced = interlaced;
    const int channels = colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : colourType == PNG_COLOR_TYPE_RGB ? 3
                         : colourType == PNG_COLOR_TYPE_GRAY_ALPHA                                 ? 2
                                                                                                   : 1;
    const int bytesPerSample = bitDepth == 16 ? 2 : 1;
    for (int y = 0; y < height; ++y) {
        std::vector<std::uint8_t> row;
        if (bitDepth < 8) { // packed grey or palette indices
            row.assign(static_cast<std::size_t>((width * bitDepth + 7) / 8), 0);
            for (int x = 0; x < width; ++x) {
                int value = (x + y) % (1 << bitDepth);
                int bit = x * bitDepth;
                row[static_cast<std::size_t>(bit / 8)] |= static_cast<std::uint8_t>(value << (8 - bitDepth - bit % 8));
            }
        } else {
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < channels; ++c) {
                    int value = colourType == PNG_COLOR_TYPE_PALETTE ? (x + y) % 4 : Channel(x, y, c % 3, width, height);
                    if (c == channels - 1 && (channels == 2 || channels == 4))
                        value = (x * 37 + y * 11) % 256; // alpha that varies
                    row.push_back(static_cast<std::uint8_t>(value));
                    if (bytesPerSample == 2)
                        row.push_back(static_cast<std::uint8_t>(value * 7)); // a low byte that truncation drops
                }
        }
        fixture.Rows.push_back(row);
    }
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        fixture.Palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {250, 200, 10}};
        fixture.PaletteAlpha = {255, 128, 0};
    }
    return fixture;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make_codec_references FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    struct TPng {
        const char* Name;
        test::TPngFixture Fixture;
    };
    const std::vector<TPng> pngs = {
        {"rgba8.png", PngOf(13, 7, PNG_COLOR_TYPE_RGB_ALPHA, 8, false)},
        {"rgb16.png", PngOf(9, 5, PNG_COLOR_TYPE_RGB, 16, false)},
        {"grey_alpha8_interlaced.png", PngOf(11, 10, PNG_COLOR_TYPE_GRAY_ALPHA, 8, true)},
        {"grey2.png", PngOf(7, 3, PNG_COLOR_TYPE_GRAY, 2, false)},
        {"palette_trns.png", PngOf(6, 6, PNG_COLOR_TYPE_PALETTE, 8, false)},
    };
    for (const auto& png : pngs) {
        Bytes file = test::MakePng(png.Fixture);
        Save(folder / png.Name, file);
        TBitmap bitmap;
        codecs::DecodePng(file, bitmap);
        Save(folder / (std::string(png.Name) + ".pixels"), test::DumpPixels(bitmap));
    }
    struct TJpeg {
        const char* Name;
        Bytes File;
    };
    const std::vector<TJpeg> jpegs = {
        {"colour444.jpg", MakeJpeg(40, 24, 3, false, true)},
        {"colour420.jpg", MakeJpeg(40, 24, 3, false)},
        {"colour_progressive.jpg", MakeJpeg(23, 17, 3, true, true)},
        {"grey.jpg", MakeJpeg(16, 9, 1, false)},
    };
    for (const auto& jpeg : jpegs) {
        Save(folder / jpeg.Name, jpeg.File);
        TBitmap bitmap;
        codecs::DecodeJpeg(jpeg.File, bitmap);
        Save(folder / (std::string(jpeg.Name) + ".pixels"), test::DumpPixels(bitmap));
    }
    std::cout << "written to " << folder.string() << '\n';
    return 0;
}
