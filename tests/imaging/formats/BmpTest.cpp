// The BMP reader: every depth, compression, orientation and header kind,
// built byte by byte here, and hostile files that must fail cleanly.

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <functional>
#include <map>

#include "FormatFixtures.h"
#include "imaging/Bitmap.h"

namespace quorin::test {
namespace {

constexpr std::uint32_t Red = 0xFF0000, Green = 0x00FF00, Blue = 0x0000FF, White = 0xFFFFFF, Black = 0x000000,
                        Yellow = 0xFFFF00, Magenta = 0xFF00FF, Cyan = 0x00FFFF;

struct TImage {
    int Width;
    int Height;
    std::vector<std::uint32_t> Pixels; // rows from the top
    std::vector<int> Alphas = {};      // empty: opaque
};

// Five wide, so rows need padding and nibbles and bits split a byte.
const TImage SixColours{5, 3,
                        {Red, Green, Blue, White, Black, //
                         Yellow, Magenta, Cyan, Black, Red, //
                         White, White, Blue, Green, Black}};
const TImage TwoColours{5, 3,
                        {Cyan, Red, Red, Cyan, Cyan, //
                         Red, Red, Cyan, Cyan, Red, //
                         Cyan, Cyan, Cyan, Red, Red}};

struct TBmpCase {
    const char* Name;
    int HeaderSize; // 12, 40, 52, 56, 108, 124
    int Bits;
    std::uint32_t Compression;
    bool TopDown;
    std::array<std::uint32_t, 4> Masks; // red, green, blue, alpha
};

std::uint32_t MaskValue(std::uint32_t channel, std::uint32_t mask)
{
    if (!mask || !channel)
        return 0;
    // Channels are 0 or 255 in these pictures: full is the whole mask.
    EXPECT_EQ(channel, 255u);
    return mask;
}

// Writes image as a BMP file the way c describes.
std::vector<std::uint8_t> EncodeBmp(const TBmpCase& c, const TImage& image)
{
    std::vector<std::uint32_t> palette;
    if (c.Bits <= 8) {
        for (std::uint32_t p : image.Pixels)
            if (std::find(palette.begin(), palette.end(), p) == palette.end())
                palette.push_back(p);
        if (c.HeaderSize == 12)
            palette.resize(std::size_t{1} << c.Bits, 0x123456);
    }
    const bool bitfields = c.Compression == 3 || c.Compression == 6;
    TBytes f;
    f.Raw({'B', 'M'}).U32(0).U32(0).U32(0);
    if (c.HeaderSize == 12) {
        f.U32(12).U16(image.Width).U16(image.Height).U16(1).U16(c.Bits);
    } else {
        f.U32(c.HeaderSize).I32(image.Width).I32(c.TopDown ? -image.Height : image.Height).U16(1).U16(c.Bits);
        f.U32(c.Compression).U32(0).I32(2835).I32(2835).U32(static_cast<std::uint32_t>(palette.size())).U32(0);
        if (c.HeaderSize >= 52)
            f.U32(c.Masks[0]).U32(c.Masks[1]).U32(c.Masks[2]);
        if (c.HeaderSize >= 56)
            f.U32(c.Masks[3]);
        f.Zeros(14 + c.HeaderSize - f.Size());
        if (c.HeaderSize == 40 && bitfields)
            f.U32(c.Masks[0]).U32(c.Masks[1]).U32(c.Masks[2]);
        if (c.HeaderSize == 40 && c.Compression == 6)
            f.U32(c.Masks[3]);
    }
    for (std::uint32_t p : palette) {
        f.U8(p).U8(p >> 8).U8(p >> 16);
        if (c.HeaderSize != 12)
            f.U8(0);
    }
    f.PutU32(10, static_cast<std::uint32_t>(f.Size()));
    for (int y = 0; y < image.Height; ++y) {
        const int row = c.TopDown ? y : image.Height - 1 - y;
        const std::size_t rowStart = f.Size();
        std::uint32_t bitBuffer = 0;
        int bitCount = 0;
        for (int x = 0; x < image.Width; ++x) {
            const std::uint32_t p = image.Pixels[row * image.Width + x];
            const std::uint32_t a = image.Alphas.empty() ? 255 : image.Alphas[row * image.Width + x];
            const std::uint32_t r = p >> 16, g = (p >> 8) & 0xFF, b = p & 0xFF;
            if (c.Bits <= 8) {
                const auto index = static_cast<std::uint32_t>(std::find(palette.begin(), palette.end(), p) - palette.begin());
                bitBuffer = (bitBuffer << c.Bits) | index;
                bitCount += c.Bits;
                if (bitCount == 8) {
                    f.U8(bitBuffer);
                    bitBuffer = 0;
                    bitCount = 0;
                }
            } else if (c.Bits == 24) {
                f.U8(b).U8(g).U8(r);
            } else if (c.Bits == 16 && !bitfields) {
                f.U16((r ? 0x7C00 : 0) | (g ? 0x03E0 : 0) | (b ? 0x001F : 0));
            } else if (c.Bits == 32 && !bitfields) {
                f.U8(b).U8(g).U8(r).U8(0x5A); // a fourth byte that means nothing
            } else {
                const std::uint32_t v = MaskValue(r, c.Masks[0]) | MaskValue(g, c.Masks[1]) |
                                        MaskValue(b, c.Masks[2]) | (a == 255 ? c.Masks[3] : 0);
                if (c.Bits == 16)
                    f.U16(v);
                else
                    f.U32(v);
            }
        }
        if (bitCount)
            f.U8(bitBuffer << (8 - bitCount));
        while ((f.Size() - rowStart) % 4)
            f.U8(0);
    }
    f.PutU32(2, static_cast<std::uint32_t>(f.Size()));
    return f.Data;
}

class BmpLayouts : public testing::TestWithParam<TBmpCase> {};

TEST_P(BmpLayouts, DecodeToTheSamePicture)
{
    const TBmpCase& c = GetParam();
    const TImage& image = c.Bits == 1 ? TwoColours : SixColours;
    TBitmap bitmap;
    Decode(bitmap, EncodeBmp(c, image));
    EXPECT_EQ(bitmap.Width(), image.Width);
    EXPECT_EQ(bitmap.Height(), image.Height);
    EXPECT_EQ(bitmap.PixelDepth(), 24);
    EXPECT_FALSE(bitmap.HasAlphaChannel());
    EXPECT_EQ(Colours(bitmap), image.Pixels);
}

constexpr std::array<std::uint32_t, 4> NoMasks{0, 0, 0, 0};
constexpr std::array<std::uint32_t, 4> Rgb565{0xF800, 0x07E0, 0x001F, 0};
constexpr std::array<std::uint32_t, 4> Argb8888{0x00FF0000, 0x0000FF00, 0x000000FF, 0};

INSTANTIATE_TEST_SUITE_P(
    Table, BmpLayouts,
    testing::Values(
        TBmpCase{"Bits1", 40, 1, 0, false, NoMasks}, TBmpCase{"Bits4", 40, 4, 0, false, NoMasks},
        TBmpCase{"Bits8", 40, 8, 0, false, NoMasks}, TBmpCase{"Bits16Rgb555", 40, 16, 0, false, NoMasks},
        TBmpCase{"Bits24", 40, 24, 0, false, NoMasks}, TBmpCase{"Bits32NoAlpha", 40, 32, 0, false, NoMasks},
        TBmpCase{"Bits1TopDown", 40, 1, 0, true, NoMasks}, TBmpCase{"Bits4TopDown", 40, 4, 0, true, NoMasks},
        TBmpCase{"Bits8TopDown", 40, 8, 0, true, NoMasks}, TBmpCase{"Bits16TopDown", 40, 16, 0, true, NoMasks},
        TBmpCase{"Bits24TopDown", 40, 24, 0, true, NoMasks}, TBmpCase{"Bits32TopDown", 40, 32, 0, true, NoMasks},
        TBmpCase{"Core1", 12, 1, 0, false, NoMasks}, TBmpCase{"Core4", 12, 4, 0, false, NoMasks},
        TBmpCase{"Core8", 12, 8, 0, false, NoMasks}, TBmpCase{"Core24", 12, 24, 0, false, NoMasks},
        TBmpCase{"V2Header24", 52, 24, 0, false, NoMasks}, TBmpCase{"V3Header24", 56, 24, 0, false, NoMasks},
        TBmpCase{"V4Header24", 108, 24, 0, false, NoMasks}, TBmpCase{"V5Header8", 124, 8, 0, true, NoMasks},
        TBmpCase{"Bitfields565", 40, 16, 3, false, Rgb565}, TBmpCase{"Bitfields565TopDown", 40, 16, 3, true, Rgb565},
        TBmpCase{"Bitfields32", 40, 32, 3, false, Argb8888},
        TBmpCase{"Bitfields32RgbOrder", 40, 32, 3, false, {0x000000FF, 0x0000FF00, 0x00FF0000, 0}},
        TBmpCase{"Bitfields32TenBits", 40, 32, 3, false, {0x3FF00000, 0x000FFC00, 0x000003FF, 0}},
        TBmpCase{"V2Bitfields565", 52, 16, 3, false, Rgb565}, TBmpCase{"V4Bitfields32", 108, 32, 3, true, Argb8888},
        // A V4 header with BI_RGB: the masks in the header are not used.
        TBmpCase{"V4RgbIgnoresMasks", 108, 32, 0, false, {0xFF, 0xFF00, 0xFF0000, 0}}),
    [](const testing::TestParamInfo<TBmpCase>& test) { return std::string(test.param.Name); });

// ---- alpha ------------------------------------------------------------------

struct TAlphaCase {
    const char* Name;
    TBmpCase Layout;
    std::vector<int> Alphas;
    int Depth;
    bool HasAlpha;
};

class BmpAlpha : public testing::TestWithParam<TAlphaCase> {};

TEST_P(BmpAlpha, AlphaOnlyWhenTheFileCarriesIt)
{
    const TAlphaCase& c = GetParam();
    TImage image = SixColours;
    image.Alphas = c.Alphas;
    TBitmap bitmap;
    Decode(bitmap, EncodeBmp(c.Layout, image));
    EXPECT_EQ(bitmap.PixelDepth(), c.Depth);
    EXPECT_EQ(bitmap.HasAlphaChannel(), c.HasAlpha);
    EXPECT_EQ(Colours(bitmap), image.Pixels);
    if (c.HasAlpha) {
        EXPECT_EQ(Alphas(bitmap), c.Alphas);
    }
}

const std::vector<int> SomeClear{255, 0, 255, 0, 255, 255, 255, 0, 0, 255, 0, 255, 255, 255, 255};
const std::vector<int> AllClear(15, 0);

INSTANTIATE_TEST_SUITE_P(
    Table, BmpAlpha,
    testing::Values(
        TAlphaCase{"V5AlphaMask", {"", 124, 32, 3, false, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}}, SomeClear, 32, true},
        TAlphaCase{"V3AlphaMaskTopDown", {"", 56, 32, 3, true, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}}, SomeClear, 32, true},
        TAlphaCase{"AlphaBitfields40", {"", 40, 32, 6, false, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}}, SomeClear, 32, true},
        TAlphaCase{"Argb1555", {"", 56, 16, 3, false, {0x7C00, 0x03E0, 0x001F, 0x8000}}, SomeClear, 32, true},
        // An alpha mask whose values are all zero is a channel nobody filled.
        TAlphaCase{"AllZeroAlphaIsOpaque", {"", 124, 32, 3, false, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}}, AllClear, 24,
                   false}),
    [](const testing::TestParamInfo<TAlphaCase>& test) { return std::string(test.param.Name); });

TEST(Bmp, SixteenBitChannelsScaleToFullRange)
{
    // 5-bit 16 of 31 is 16 * 255 / 31 = 131.6, so 132; 6-bit 32 of 63 is 129.5, so 130.
    const TBmpCase layouts[] = {{"", 40, 16, 0, false, NoMasks}, {"", 40, 16, 3, false, Rgb565}};
    const std::uint16_t values[] = {0x4210, 0x8410};
    const std::uint32_t expected[] = {0x848484, 0x848284};
    for (int i = 0; i < 2; ++i) {
        std::vector<std::uint8_t> file = EncodeBmp(layouts[i], {1, 1, {Black}});
        const std::size_t pixelAt = file[10] | (file[11] << 8); // the offset is small
        file[pixelAt] = static_cast<std::uint8_t>(values[i]);
        file[pixelAt + 1] = static_cast<std::uint8_t>(values[i] >> 8);
        TBitmap bitmap;
        Decode(bitmap, file);
        EXPECT_EQ(Colour(bitmap, 0, 0), expected[i]) << i;
    }
}

TEST(Bmp, ZeroPixelOffsetMeansRightAfterTheColourTable)
{
    std::vector<std::uint8_t> file = EncodeBmp({"", 40, 8, 0, false, NoMasks}, SixColours);
    file[10] = file[11] = file[12] = file[13] = 0;
    TBitmap bitmap;
    Decode(bitmap, file);
    EXPECT_EQ(Colours(bitmap), SixColours.Pixels);
}

TEST(Bmp, LastRowMayLackItsPadding)
{
    std::vector<std::uint8_t> file = EncodeBmp({"", 40, 24, 0, false, NoMasks}, SixColours);
    file.resize(file.size() - 1); // 5 x 3 bytes = 15, padded to 16
    TBitmap bitmap;
    Decode(bitmap, file);
    EXPECT_EQ(Colours(bitmap), SixColours.Pixels);
}

TEST(Bmp, IndexBeyondTheColourTableIsBlack)
{
    // Two palette entries; pixel index 7 has none.
    TBytes f;
    f.Raw({'B', 'M'}).U32(0).U32(0).U32(14 + 40 + 8);
    f.U32(40).I32(2).I32(1).U16(1).U16(8).U32(0).U32(0).I32(0).I32(0).U32(2).U32(0);
    f.U32(0x00FF0000).U32(0x0000FF00);
    f.Raw({1, 7, 0, 0});
    TBitmap bitmap;
    Decode(bitmap, f.Data);
    EXPECT_EQ(Colours(bitmap), (std::vector<std::uint32_t>{Green, Black}));
}

// ---- run-length -------------------------------------------------------------

std::vector<std::uint8_t> RleFile(int bits, int width, int height, std::initializer_list<std::uint8_t> data)
{
    TBytes f;
    const int colours = 4;
    f.Raw({'B', 'M'}).U32(0).U32(0).U32(14 + 40 + colours * 4);
    f.U32(40).I32(width).I32(height).U16(1).U16(bits).U32(bits == 8 ? 1 : 2).U32(0).I32(0).I32(0).U32(colours).U32(0);
    f.U32(Black).U32(Red).U32(Green).U32(Blue);
    f.Raw(data);
    return f.Data;
}

// W: a pixel the data skip, which keeps the white of a new Bitmap.
constexpr std::uint32_t K = Black, W = White, R = Red, G = Green, B = Blue;

struct TRleCase {
    const char* Name;
    std::vector<std::uint8_t> File;
    std::vector<std::uint32_t> Expected; // rows from the top
};

class BmpRunLength : public testing::TestWithParam<TRleCase> {};

TEST_P(BmpRunLength, DecodesExactly)
{
    TBitmap bitmap;
    Decode(bitmap, GetParam().File);
    EXPECT_EQ(bitmap.PixelDepth(), 24);
    EXPECT_EQ(Colours(bitmap), GetParam().Expected);
}

// Bottom row first: 3 red, absolute green-blue-green, end of line; a delta
// of (2, 1) skips a row; 2 blue; end of line; 8 red clamped to the width of 6.
const std::initializer_list<std::uint8_t> Rle8Data{3, 1, 0, 3, 2, 3, 2, 0, 0, 0, 0, 2, 2, 1, 2, 3, 0, 0, 8, 1, 0, 1};

INSTANTIATE_TEST_SUITE_P(
    Table, BmpRunLength,
    testing::Values(
        TRleCase{"Rle8", RleFile(8, 6, 4, Rle8Data),
                 {R, R, R, R, R, R, /**/ W, W, B, B, W, W, /**/ W, W, W, W, W, W, /**/ R, R, R, G, B, G}},
        TRleCase{"Rle8TopDown", RleFile(8, 6, -4, Rle8Data),
                 {R, R, R, G, B, G, /**/ W, W, W, W, W, W, /**/ W, W, B, B, W, W, /**/ R, R, R, R, R, R}},
        // 5 pixels alternating 1 and 2; absolute 3, 1, 2; two of 3; end.
        TRleCase{"Rle4", RleFile(4, 5, 2, {5, 0x12, 0, 0, 0, 3, 0x31, 0x20, 2, 0x33, 0, 1}),
                 {B, R, G, B, B, /**/ R, G, R, G, R}},
        // Index 0 written explicitly is the palette's black.
        TRleCase{"Rle8ExplicitIndexZero", RleFile(8, 3, 1, {2, 0, 0, 1}), {K, K, W}},
        // Absolute run of an odd byte count is padded to 16 bits.
        TRleCase{"Rle8AbsolutePadding", RleFile(8, 4, 1, {0, 3, 1, 2, 3, 0xEE, 1, 3, 0, 1}), {R, G, B, B}},
        // Data that end without an end-of-bitmap leave the rest unwritten.
        TRleCase{"Rle8EndsEarly", RleFile(8, 3, 2, {2, 2}), {W, W, W, /**/ G, G, W}},
        // An absolute run longer than the data left stops decoding.
        TRleCase{"Rle8AbsoluteRunPastData", RleFile(8, 3, 1, {1, 3, 0, 200, 1, 1}), {B, W, W}},
        // Runs far past the row's end, and an absolute run past it, are clamped.
        TRleCase{"Rle8RunsClampedToRow", RleFile(8, 2, 2, {255, 1, 255, 2, 0, 0, 0, 5, 3, 3, 3, 3, 3, 0, 0, 1}),
                 {B, B, /**/ R, R}},
        // A delta below the last row ends the picture.
        TRleCase{"Rle8DeltaPastBottom", RleFile(8, 2, 2, {1, 1, 0, 2, 0, 200, 2, 3, 0, 1}), {W, W, /**/ R, W}},
        TRleCase{"Rle8DeltaPastRightEdge", RleFile(8, 2, 1, {0, 2, 250, 0, 2, 3, 0, 1}), {W, W}},
        // An end of line on the last row ends the picture too.
        TRleCase{"Rle8EndOfLineOnLastRow", RleFile(8, 1, 1, {0, 0, 1, 1}), {W}},
        TRleCase{"Rle4OddRunAndAbsolute", RleFile(4, 4, 1, {3, 0x23, 0, 3, 0x10, 0}), {G, B, G, R}}),
    [](const testing::TestParamInfo<TRleCase>& test) { return std::string(test.param.Name); });

// ---- hostile files ------------------------------------------------------------

// A valid 2 x 2 24-bit file: header at 14, pixels at 54 (two rows of 8 bytes).
std::vector<std::uint8_t> Small24()
{
    return EncodeBmp({"", 40, 24, 0, false, NoMasks}, {2, 2, {Red, Green, Blue, White}});
}

struct THostileCase {
    const char* Name;
    std::function<std::vector<std::uint8_t>()> File;
    std::string Message;
};

std::vector<std::uint8_t> With(std::function<void(TBytes&)> change)
{
    TBytes f{Small24()};
    change(f);
    return f.Data;
}

class BmpHostile : public testing::TestWithParam<THostileCase> {};

TEST_P(BmpHostile, FailsWithAClearMessage)
{
    TBitmap bitmap;
    EXPECT_EQ(MessageOf([&] { Decode(bitmap, GetParam().File()); }), GetParam().Message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BmpHostile,
    testing::Values(
        THostileCase{"Empty", [] { return std::vector<std::uint8_t>{}; }, "Invalid bitmap file: file header truncated"},
        THostileCase{"FileHeaderOnly", [] { return With([](TBytes& f) { f.Data.resize(14); }); },
                     "Invalid bitmap file: header truncated"},
        THostileCase{"NoSignature", [] { return With([](TBytes& f) { f.Data[1] = 'A'; }); },
                     "Invalid bitmap file: no BM signature"},
        THostileCase{"HeaderSize20", [] { return With([](TBytes& f) { f.PutU32(14, 20); }); },
                     "Invalid bitmap file: unsupported header size 20"},
        THostileCase{"HeaderSizeHuge", [] { return With([](TBytes& f) { f.PutU32(14, 0xFFFFFFFF); }); },
                     "Invalid bitmap file: unsupported header size 4294967295"},
        THostileCase{"HeaderCut", [] { return With([](TBytes& f) { f.Data.resize(14 + 39); }); },
                     "Invalid bitmap file: header truncated"},
        THostileCase{"V5HeaderCut", [] { return With([](TBytes& f) { f.PutU32(14, 124); }); },
                     "Invalid bitmap file: header truncated"},
        THostileCase{"BitCount2", [] { return With([](TBytes& f) { f.PutU16(28, 2); }); },
                     "Invalid bitmap file: unsupported bit count 2"},
        THostileCase{"BitCount0", [] { return With([](TBytes& f) { f.PutU16(28, 0); }); },
                     "Invalid bitmap file: unsupported bit count 0"},
        THostileCase{"JpegCompression", [] { return With([](TBytes& f) { f.PutU32(30, 4); }); },
                     "Invalid bitmap file: unsupported compression 4"},
        THostileCase{"Rle8With24Bits", [] { return With([](TBytes& f) { f.PutU32(30, 1); }); },
                     "Invalid bitmap file: RLE8 compression needs 8 bits per pixel"},
        THostileCase{"Rle4With24Bits", [] { return With([](TBytes& f) { f.PutU32(30, 2); }); },
                     "Invalid bitmap file: RLE4 compression needs 4 bits per pixel"},
        THostileCase{"BitfieldsWith24Bits", [] { return With([](TBytes& f) { f.PutU32(30, 3); }); },
                     "Invalid bitmap file: bit fields need 16 or 32 bits per pixel"},
        THostileCase{"BitfieldMasksCut",
                     [] { return With([](TBytes& f) { f.PutU16(28, 32); f.PutU32(30, 3); f.Data.resize(14 + 40 + 8); }); },
                     "Invalid bitmap file: bit field masks truncated"},
        THostileCase{"BitfieldMasksEmpty",
                     [] {
                         return With([](TBytes& f) {
                             f.PutU16(28, 32);
                             f.PutU32(30, 3);
                             f.PutU32(54, 0);
                             f.PutU32(58, 0);
                             f.PutU32(62, 0);
                             f.PutU32(10, 66);
                         });
                     },
                     "Invalid bitmap file: bit field masks are empty"},
        THostileCase{"WidthZero", [] { return With([](TBytes& f) { f.PutU32(18, 0); }); },
                     "Invalid bitmap file: width 0 is not positive"},
        THostileCase{"WidthNegative", [] { return With([](TBytes& f) { f.PutU32(18, static_cast<std::uint32_t>(-5)); }); },
                     "Invalid bitmap file: width -5 is not positive"},
        THostileCase{"HeightZero", [] { return With([](TBytes& f) { f.PutU32(22, 0); }); },
                     "Invalid bitmap file: height is zero"},
        THostileCase{"Huge", [] { return With([](TBytes& f) { f.PutU32(18, 100000); f.PutU32(22, 100000); }); },
                     "Invalid bitmap file: picture too large (100000 x 100000)"},
        THostileCase{"JustOverTheLimit",
                     [] { return With([](TBytes& f) { f.PutU32(18, 178956971); f.PutU32(22, 1); }); },
                     "Invalid bitmap file: picture too large (178956971 x 1)"},
        THostileCase{"HeightMostNegative", [] { return With([](TBytes& f) { f.PutU32(22, 0x80000000u); }); },
                     "Invalid bitmap file: picture too large (2 x 2147483647)"},
        THostileCase{"HugeRunLength",
                     [] { return RleFile(8, 20000, 20000, {0, 1}); },
                     "Invalid bitmap file: picture too large (20000 x 20000)"},
        THostileCase{"PixelsCut", [] { return With([](TBytes& f) { f.Data.resize(f.Size() - 3); }); },
                     "Invalid bitmap file: pixel data truncated (13 of 14 bytes)"},
        THostileCase{"LargePictureFewBytes", [] { return With([](TBytes& f) { f.PutU32(18, 10000); f.PutU32(22, 10000); }); },
                     "Invalid bitmap file: pixel data truncated (16 of 300000000 bytes)"},
        THostileCase{"OffsetPastEnd", [] { return With([](TBytes& f) { f.PutU32(10, 1000); }); },
                     "Invalid bitmap file: pixel data offset 1000 lies outside the file"},
        THostileCase{"OffsetInsideHeader", [] { return With([](TBytes& f) { f.PutU32(10, 20); }); },
                     "Invalid bitmap file: pixel data offset 20 lies inside the header"},
        THostileCase{"ColourTableCut",
                     [] { return With([](TBytes& f) { f.PutU16(28, 8); f.PutU32(46, 256); }); },
                     "Invalid bitmap file: colour table truncated"},
        THostileCase{"CoreColourTableCut",
                     [] {
                         TBytes f;
                         f.Raw({'B', 'M'}).U32(0).U32(0).U32(0).U32(12).U16(1).U16(1).U16(1).U16(8).Zeros(30);
                         return f.Data;
                     },
                     "Invalid bitmap file: colour table truncated"}),
    [](const testing::TestParamInfo<THostileCase>& test) { return std::string(test.param.Name); });

TEST(Bmp, EveryTruncationFailsCleanly)
{
    // Each prefix of valid files either decodes or raises EInvalidGraphic;
    // the sanitizers catch any read past the prefix.
    const std::vector<std::vector<std::uint8_t>> files{
        EncodeBmp({"", 124, 32, 3, false, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}}, SixColours),
        EncodeBmp({"", 12, 4, 0, false, NoMasks}, SixColours), RleFile(8, 6, 4, Rle8Data),
        RleFile(4, 5, 2, {5, 0x12, 0, 0, 0, 3, 0x31, 0x20, 2, 0x33, 0, 1})};
    for (const auto& file : files) {
        for (std::size_t size = 0; size < file.size(); ++size) {
            TBitmap bitmap;
            std::vector<std::uint8_t> prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
            try {
                Decode(bitmap, prefix);
            } catch (const EInvalidGraphic& e) {
                EXPECT_EQ(std::string(e.what()).rfind("Invalid bitmap file: ", 0), 0u) << e.what();
            }
        }
    }
}

TEST(Bmp, DecodingReplacesAnEarlierPicture)
{
    TBitmap bitmap;
    TImage alpha = SixColours;
    alpha.Alphas = SomeClear;
    Decode(bitmap, EncodeBmp({"", 124, 32, 3, false, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}}, alpha));
    ASSERT_TRUE(bitmap.HasAlphaChannel());
    Decode(bitmap, Small24());
    EXPECT_EQ(bitmap.Width(), 2);
    EXPECT_EQ(bitmap.PixelDepth(), 24);
    EXPECT_FALSE(bitmap.HasAlphaChannel());
    EXPECT_EQ(Colours(bitmap), (std::vector<std::uint32_t>{Red, Green, Blue, White}));
}

} // namespace
} // namespace quorin::test
