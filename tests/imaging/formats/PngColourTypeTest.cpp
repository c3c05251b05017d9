// The PNG writer picks the smallest colour type that holds the picture
// exactly; each picture comes back the same through our decoder and through
// libpng, in the colour type and depth expected of it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <zlib.h>

#include "PngFixtures.h"
#include "imaging/DeflateBands.h"
#include "imaging/PngReader.h"
#include "imaging/PngWriter.h"

namespace quorin::test {
namespace {

namespace fs = std::filesystem;

// Odd sides, so that packed rows end inside a byte and Bitmap rows carry padding.
constexpr int Width = 37, Height = 23;

struct TColour {
    std::uint8_t R, G, B, A;
};

struct TColourTypeCase {
    const char* Name;
    int Depth;             // of the bitmap
    bool WithAlpha;        // as asked of the writer
    TColour (*Pixel)(int); // of pixel number i
    int ColourType;
    int BitDepth;
    bool Translucent;      // whether alpha survives
};

TColour Distinct(int k, int of, std::uint8_t alpha = 255)
{
    k %= of;
    return {static_cast<std::uint8_t>(k * 7), static_cast<std::uint8_t>(k / 256 * 128 + 5), static_cast<std::uint8_t>(k),
            alpha};
}

TColour Grey(int k, std::uint8_t alpha = 255)
{
    const auto v = static_cast<std::uint8_t>(k % 200);
    return {v, v, v, alpha};
}

const TColourTypeCase Cases[] = {
    {"OneColour", 24, false, [](int) { return TColour{10, 20, 30, 255}; }, 3, 1, false},
    {"OneTranslucentColour", 32, true, [](int) { return TColour{10, 20, 30, 128}; }, 3, 1, true},
    {"TwoColours", 24, false, [](int i) { return Distinct(i, 2); }, 3, 1, false},
    {"SixteenColours", 24, false, [](int i) { return Distinct(i, 16); }, 3, 4, false},
    {"SixteenColoursSomeTranslucent", 32, true, [](int i) { return Distinct(i, 16, i % 16 < 5 ? 40 : 255); }, 3, 4, true},
    {"TwoHundredFiftySixColours", 24, false, [](int i) { return Distinct(i, 256); }, 3, 8, false},
    {"TwoHundredFiftySevenColours", 24, false, [](int i) { return Distinct(i, 257); }, 2, 8, false},
    {"Grey", 24, false, [](int i) { return Grey(i); }, 0, 8, false},
    {"FewGreysArePalette", 24, false, [](int i) { return Grey(i % 9); }, 3, 4, false},
    {"GreyWithAlpha", 32, true, [](int i) { return Grey(i, static_cast<std::uint8_t>(i * 7)); }, 4, 8, true},
    {"OpaqueRgbaIsRgb", 32, true, [](int i) { return Distinct(i, 300); }, 2, 8, false},
    {"AlphaIgnoredWhenNotAsked", 32, false, [](int i) { return Distinct(i, 300, static_cast<std::uint8_t>(i)); }, 2, 8,
     false},
    {"TranslucentRgba", 32, true, [](int i) { return Distinct(i, 300, static_cast<std::uint8_t>(i)); }, 6, 8, true},
};

std::unique_ptr<TBitmap> Picture(const TColourTypeCase& c)
{
    auto owned = std::make_unique<TBitmap>();
    TBitmap& bitmap = *owned;
    bitmap.SetPixelDepth(c.Depth);
    bitmap.SetSize(Width, Height);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const TColour colour = c.Pixel(y * Width + x);
            std::uint8_t* p = bitmap.RowAddress(y) + x * bitmap.BytesPerPixel();
            p[0] = colour.B;
            p[1] = colour.G;
            p[2] = colour.R;
            if (c.Depth == 32)
                p[3] = colour.A;
        }
    bitmap.SetAlphaChannel(c.Depth == 32);
    return owned;
}

std::vector<std::uint8_t> FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class PngColourTypeTest : public testing::TestWithParam<TColourTypeCase> {
protected:
    void SetUp() override
    {
        path_ = (fs::temp_directory_path() / ("quorin-png-type-" + std::string(GetParam().Name) + ".png")).string();
    }
    void TearDown() override { fs::remove(path_); }
    std::string path_;
};

TEST_P(PngColourTypeTest, SmallestTypeReadsBackExact)
{
    const TColourTypeCase& c = GetParam();
    WritePng(*Picture(c), path_, c.WithAlpha);
    const auto file = FileBytes(path_);
    ASSERT_GT(file.size(), 26u);
    EXPECT_EQ(file[24], c.BitDepth);
    EXPECT_EQ(file[25], c.ColourType);

    // libpng, as RGBA.
    const TReadPng read = ReadPngFile(path_, true);
    ASSERT_TRUE(read.Ok);
    EXPECT_EQ(read.FileHasAlpha, c.Translucent);
    std::vector<std::uint8_t> expected;
    for (int i = 0; i < Width * Height; ++i) {
        const TColour colour = c.Pixel(i);
        expected.insert(expected.end(), {colour.R, colour.G, colour.B, c.Translucent ? colour.A : std::uint8_t{255}});
    }
    EXPECT_EQ(read.Pixels, expected);

    // Our decoder: 32-bit with alpha only when some pixel is translucent.
    TBitmap back;
    DecodePngBytes(file, back);
    ASSERT_EQ(back.Width(), Width);
    ASSERT_EQ(back.Height(), Height);
    EXPECT_EQ(back.HasAlphaChannel(), c.Translucent);
    std::vector<std::uint8_t> decoded;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const std::uint8_t* p = back.RowAddress(y) + x * back.BytesPerPixel();
            decoded.insert(decoded.end(), {p[2], p[1], p[0], back.BytesPerPixel() == 4 ? p[3] : std::uint8_t{255}});
        }
    EXPECT_EQ(decoded, expected);
}

INSTANTIATE_TEST_SUITE_P(Table, PngColourTypeTest, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<TColourTypeCase>& test) { return std::string(test.param.Name); });

// Bands deflated alone join into one stream that zlib reads whole: a band
// may end on any bit, in a stored or a compressed block.
TEST(DeflateBandsTest, BandsJoinIntoOneZlibStream)
{
    std::vector<std::uint8_t> data(300000);
    std::uint32_t noise = 7;
    for (std::size_t i = 0; i < data.size(); ++i) {
        noise = noise * 1664525u + 1013904223u;
        // Stretches of text-like bytes, of noise (stored blocks) and of zeros.
        data[i] = static_cast<std::uint8_t>(i / 20000 % 3 == 0 ? "quorin bands "[i % 13]
                                            : i / 20000 % 3 == 1 ? noise >> 24
                                                                 : 0);
    }
    for (std::size_t band : {std::size_t{1}, std::size_t{777}, std::size_t{65536}, data.size()}) {
        SCOPED_TRACE("bands of " + std::to_string(band));
        std::vector<std::uint8_t> stream;
        TDeflateBands bands(5, band,
                            [&](std::span<const std::uint8_t> bytes) { stream.insert(stream.end(), bytes.begin(), bytes.end()); });
        // Given in pieces that do not match the bands.
        for (std::size_t at = 0; at < data.size(); at += 1000)
            bands.Add(data.data() + at, std::min<std::size_t>(1000, data.size() - at));
        bands.Finish();
        std::vector<std::uint8_t> back(data.size() + 1);
        uLongf size = back.size();
        ASSERT_EQ(uncompress(back.data(), &size, stream.data(), stream.size()), Z_OK);
        back.resize(size);
        EXPECT_TRUE(back == data);
    }
}

TEST(DeflateBandsTest, IncompleteStreamIsRefused)
{
    std::vector<std::uint8_t> cut = {0x4B, 0x4C, 0x4A}; // the start of a fixed-Huffman block
    EXPECT_THROW(MakeContinuable(cut, 0), Exception);
}

} // namespace
} // namespace quorin::test
