// The icon reader: BMP entries with their AND mask, 32-bit alpha, PNG
// entries, the choice among entries, and hostile directories and images.

#include <gtest/gtest.h>

#include <functional>

#include <zlib.h>

#include "FormatFixtures.h"
#include "PngFixtures.h"
#include "imaging/ICO.h"

namespace quorin::test {
namespace {

constexpr std::uint32_t Red = 0xFF0000, Green = 0x00FF00, Blue = 0x0000FF, Black = 0;

struct TEntryRecipe {
    int Width;  // 256 is written as 0
    int Height;
    int Bits;
    std::vector<std::uint8_t> Data;
};

// ICONDIR, entries, then the images in order.
std::vector<std::uint8_t> MakeIcon(const std::vector<TEntryRecipe>& entries, int type = 1)
{
    TBytes f;
    f.U16(0).U16(type).U16(static_cast<std::uint32_t>(entries.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * entries.size());
    for (const TEntryRecipe& e : entries) {
        f.U8(e.Width & 0xFF).U8(e.Height & 0xFF).U8(0).U8(0).U16(1).U16(e.Bits);
        f.U32(static_cast<std::uint32_t>(e.Data.size())).U32(offset);
        offset += static_cast<std::uint32_t>(e.Data.size());
    }
    for (const TEntryRecipe& e : entries)
        f.Append(e.Data);
    return f.Data;
}

// An icon's DIB: info header with the doubled height, colour table, XOR rows
// and AND rows, both bottom-up and already padded by the caller.
std::vector<std::uint8_t> IconDib(int width, int height, int bits, const std::vector<std::uint32_t>& palette,
                                  const std::vector<std::uint8_t>& xorRows, const std::vector<std::uint8_t>& andRows,
                                  std::uint32_t compression = 0)
{
    TBytes f;
    f.U32(40).I32(width).I32(height * 2).U16(1).U16(bits).U32(compression).U32(0).I32(0).I32(0);
    f.U32(static_cast<std::uint32_t>(palette.size())).U32(0);
    for (std::uint32_t c : palette)
        f.U32(c);
    f.Append(xorRows).Append(andRows);
    return f.Data;
}

// A solid w x h 32-bit entry of one colour and alpha, with an empty mask.
TEntryRecipe Solid32(int w, int h, std::uint32_t rgb, std::uint8_t alpha = 255)
{
    std::vector<std::uint8_t> xorRows;
    for (int i = 0; i < w * h; ++i)
        xorRows.insert(xorRows.end(), {static_cast<std::uint8_t>(rgb), static_cast<std::uint8_t>(rgb >> 8),
                                       static_cast<std::uint8_t>(rgb >> 16), alpha});
    const int maskStride = (w + 31) / 32 * 4;
    return {w, h, 32, IconDib(w, h, 32, {}, xorRows, std::vector<std::uint8_t>(maskStride * h, 0))};
}

// A solid w x h 4-bit entry of colour index 1 (rgb), with an empty mask.
TEntryRecipe Solid4(int w, int h, std::uint32_t rgb)
{
    const int stride = (w * 4 + 31) / 32 * 4;
    std::vector<std::uint8_t> xorRows(stride * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            xorRows[y * stride + x / 2] |= (x & 1) ? 0x01 : 0x10;
    const int maskStride = (w + 31) / 32 * 4;
    return {w, h, 4, IconDib(w, h, 4, {0, rgb}, xorRows, std::vector<std::uint8_t>(maskStride * h, 0))};
}

std::unique_ptr<TIcon> DecodeIcon(const std::vector<std::uint8_t>& file)
{
    auto icon = std::make_unique<TIcon>();
    Decode(*icon, file);
    return icon;
}

TEST(Icon, ClassRecord)
{
    EXPECT_EQ(TIcon::ClassRecord.Name, "TIcon");
    EXPECT_TRUE(TIcon::ClassRecord.InheritsFrom(TBitmap::ClassRecord));
    auto made = TIcon::ClassRecord.Create();
    EXPECT_EQ(&made->ClassType(), &TIcon::ClassRecord);
}

TEST(Icon, FourBitEntryTakesTransparencyFromItsMask)
{
    // Palette 0 black, 1 red, 2 green, 3 blue. Bottom row: red, green with
    // the first masked; top row: blue, red, unmasked.
    const auto dib = IconDib(2, 2, 4, {Black, Red, Green, Blue}, {0x12, 0, 0, 0, 0x31, 0, 0, 0},
                             {0x80, 0, 0, 0, 0x00, 0, 0, 0});
    const auto holder = DecodeIcon(MakeIcon({{2, 2, 4, dib}}));
    const TIcon& icon = *holder;
    EXPECT_EQ(icon.Width(), 2);
    EXPECT_EQ(icon.Height(), 2);
    EXPECT_EQ(icon.PixelDepth(), 32);
    EXPECT_TRUE(icon.HasAlphaChannel());
    EXPECT_EQ(Colours(icon), (std::vector<std::uint32_t>{Blue, Red, Red, Green}));
    EXPECT_EQ(Alphas(icon), (std::vector<int>{255, 255, 0, 255}));
}

struct TAlphaCase {
    const char* Name;
    std::vector<std::uint8_t> Pixels; // two 32-bit pixels, one row
    std::uint8_t Mask;                // the AND row's first byte
    std::vector<int> Alphas;
    int Depth;
};

class IconAlpha : public testing::TestWithParam<TAlphaCase> {};

TEST_P(IconAlpha, ThirtyTwoBitEntries)
{
    const TAlphaCase& c = GetParam();
    const auto dib = IconDib(2, 1, 32, {}, c.Pixels, {c.Mask, 0, 0, 0});
    const auto holder = DecodeIcon(MakeIcon({{2, 1, 32, dib}}));
    const TIcon& icon = *holder;
    EXPECT_EQ(icon.PixelDepth(), c.Depth);
    EXPECT_EQ(icon.HasAlphaChannel(), c.Depth == 32);
    EXPECT_EQ(Colours(icon), (std::vector<std::uint32_t>{0x030201, 0x060504}));
    EXPECT_EQ(Alphas(icon), c.Alphas);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IconAlpha,
    testing::Values(
        // Its own alpha wins over the mask.
        TAlphaCase{"OwnAlpha", {1, 2, 3, 0x80, 4, 5, 6, 0xFF}, 0xC0, {0x80, 255}, 32},
        // All-zero alpha: an old-style icon, drawn by its mask.
        TAlphaCase{"ZeroAlphaUsesMask", {1, 2, 3, 0, 4, 5, 6, 0}, 0x40, {255, 0}, 32},
        // Zero alpha and an empty mask: fully opaque, so 24 bits.
        TAlphaCase{"ZeroAlphaEmptyMaskIsOpaque", {1, 2, 3, 0, 4, 5, 6, 0}, 0x00, {255, 255}, 24},
        TAlphaCase{"OpaqueAlphaIsTwentyFourBit", {1, 2, 3, 255, 4, 5, 6, 255}, 0x00, {255, 255}, 24}),
    [](const testing::TestParamInfo<TAlphaCase>& test) { return std::string(test.param.Name); });

TEST(Icon, MissingMaskMeansOpaque)
{
    const auto dib = IconDib(2, 1, 24, {}, {1, 2, 3, 4, 5, 6, 0, 0}, {});
    const auto holder = DecodeIcon(MakeIcon({{2, 1, 24, dib}}));
    const TIcon& icon = *holder;
    EXPECT_EQ(icon.PixelDepth(), 24);
    EXPECT_EQ(Colours(icon), (std::vector<std::uint32_t>{0x030201, 0x060504}));
}

struct TChoiceCase {
    const char* Name;
    std::vector<TEntryRecipe> Entries;
    int Width;
    std::uint32_t Colour;
};

class IconChoice : public testing::TestWithParam<TChoiceCase> {};

TEST_P(IconChoice, LargestThenDeepest)
{
    const auto holder = DecodeIcon(MakeIcon(GetParam().Entries));
    const TIcon& icon = *holder;
    EXPECT_EQ(icon.Width(), GetParam().Width);
    EXPECT_EQ(Colour(icon, 0, 0), GetParam().Colour);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IconChoice,
    testing::Values(TChoiceCase{"LargestFirst", {Solid32(4, 4, Red), Solid32(2, 2, Green)}, 4, Red},
                    TChoiceCase{"LargestLast", {Solid32(2, 2, Green), Solid4(3, 3, Blue), Solid32(4, 4, Red)}, 4, Red},
                    TChoiceCase{"DeepestOfEqualSize", {Solid4(3, 3, Blue), Solid32(3, 3, Red), Solid4(2, 2, Green)}, 3, Red},
                    TChoiceCase{"FirstOfEqualEntries", {Solid4(3, 3, Blue), Solid4(3, 3, Green)}, 3, Blue},
                    // A directory width of 0 means 256.
                    TChoiceCase{"ZeroMeans256", {Solid4(255, 255, Green), Solid4(256, 256, Blue)}, 256, Blue}),
    [](const testing::TestParamInfo<TChoiceCase>& test) { return std::string(test.param.Name); });

TEST(Icon, CursorsReadLikeIcons)
{
    const auto holder = DecodeIcon(MakeIcon({Solid32(2, 2, Green)}, 2));
    const TIcon& icon = *holder;
    EXPECT_EQ(Colour(icon, 1, 1), Green);
}

// ---- PNG entries ----------------------------------------------------------------

struct TPngCase {
    const char* Name;
    TPngFixture Png;
    std::vector<std::uint32_t> Colours;
    std::vector<int> Alphas;
    int Depth;
};

class IconPng : public testing::TestWithParam<TPngCase> {};

TEST_P(IconPng, DecodesThroughLibpng)
{
    const TPngCase& c = GetParam();
    const auto holder = DecodeIcon(MakeIcon({{c.Png.Width, c.Png.Height, 32, MakePng(c.Png)}}));
    const TIcon& icon = *holder;
    EXPECT_EQ(icon.Width(), c.Png.Width);
    EXPECT_EQ(icon.Height(), c.Png.Height);
    EXPECT_EQ(icon.PixelDepth(), c.Depth);
    EXPECT_EQ(icon.HasAlphaChannel(), c.Depth == 32);
    EXPECT_EQ(Colours(icon), c.Colours);
    EXPECT_EQ(Alphas(icon), c.Alphas);
}

TPngFixture Rgba3x2()
{
    TPngFixture s;
    s.Width = 3;
    s.Height = 2;
    s.Rows = {{255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0}, {1, 2, 3, 4, 10, 20, 30, 255, 200, 100, 50, 255}};
    return s;
}

TPngFixture Rgb2x1()
{
    TPngFixture s;
    s.Width = 2;
    s.ColourType = PNG_COLOR_TYPE_RGB;
    s.Rows = {{9, 8, 7, 250, 128, 3}};
    return s;
}

TPngFixture Grey16Bit()
{
    TPngFixture s;
    s.Width = 2;
    s.ColourType = PNG_COLOR_TYPE_GRAY;
    s.BitDepth = 16;
    s.Rows = {{0xAB, 0xCD, 0x12, 0x34}};
    return s;
}

TPngFixture PaletteWithTransparency()
{
    TPngFixture s;
    s.Width = 4;
    s.ColourType = PNG_COLOR_TYPE_PALETTE;
    s.BitDepth = 2;
    s.Palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {7, 7, 7}};
    s.PaletteAlpha = {255, 0, 99};
    s.Rows = {{0b00011011}}; // indices 0, 1, 2, 3
    return s;
}

TPngFixture Interlaced()
{
    TPngFixture s = Rgba3x2();
    s.Interlaced = true;
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Table, IconPng,
    testing::Values(TPngCase{"Rgba", Rgba3x2(), {Red, Green, Blue, 0x010203, 0x0A141E, 0xC86432}, {255, 128, 0, 4, 255, 255}, 32},
                    TPngCase{"Interlaced", Interlaced(), {Red, Green, Blue, 0x010203, 0x0A141E, 0xC86432}, {255, 128, 0, 4, 255, 255}, 32},
                    TPngCase{"OpaqueRgb", Rgb2x1(), {0x090807, 0xFA8003}, {255, 255}, 24},
                    TPngCase{"Grey16Bit", Grey16Bit(), {0xABABAB, 0x121212}, {255, 255}, 24},
                    TPngCase{"PaletteTrns", PaletteWithTransparency(), {Red, Green, Blue, 0x070707}, {255, 0, 99, 255}, 32}),
    [](const testing::TestParamInfo<TPngCase>& test) { return std::string(test.param.Name); });

// ---- hostile files ----------------------------------------------------------------

std::vector<std::uint8_t> OneEntry() { return MakeIcon({Solid32(2, 2, Red)}); }

std::vector<std::uint8_t> Changed(std::vector<std::uint8_t> file, std::function<void(TBytes&)> change)
{
    TBytes f{std::move(file)};
    change(f);
    return f.Data;
}

// Rewrites a PNG chunk's CRC after its data were changed.
void FixCrc(std::vector<std::uint8_t>& png, std::size_t chunkAt)
{
    const std::uint32_t length = (png[chunkAt] << 24) | (png[chunkAt + 1] << 16) | (png[chunkAt + 2] << 8) | png[chunkAt + 3];
    const std::uint32_t crc = static_cast<std::uint32_t>(
        ::crc32(0, png.data() + chunkAt + 4, static_cast<unsigned>(length + 4)));
    for (int i = 0; i < 4; ++i)
        png[chunkAt + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
}

// A PNG entry whose IHDR claims another size.
std::vector<std::uint8_t> PngClaiming(std::uint32_t width, std::uint32_t height)
{
    std::vector<std::uint8_t> png = MakePng(Rgba3x2());
    for (int i = 0; i < 4; ++i) {
        png[16 + i] = static_cast<std::uint8_t>(width >> (24 - 8 * i));
        png[20 + i] = static_cast<std::uint8_t>(height >> (24 - 8 * i));
    }
    FixCrc(png, 8);
    return MakeIcon({{0, 0, 32, png}});
}

struct THostileCase {
    const char* Name;
    std::function<std::vector<std::uint8_t>()> File;
    std::string Message;
};

class IconHostile : public testing::TestWithParam<THostileCase> {};

TEST_P(IconHostile, FailsWithAClearMessage)
{
    TIcon icon;
    EXPECT_EQ(MessageOf([&] { Decode(icon, GetParam().File()); }), GetParam().Message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IconHostile,
    testing::Values(
        THostileCase{"Empty", [] { return std::vector<std::uint8_t>{}; }, "Invalid icon file: header truncated"},
        THostileCase{"Reserved", [] { return Changed(OneEntry(), [](TBytes& f) { f.PutU16(0, 1); }); },
                     "Invalid icon file: not an icon (reserved 1, type 1)"},
        THostileCase{"Type3", [] { return Changed(OneEntry(), [](TBytes& f) { f.PutU16(2, 3); }); },
                     "Invalid icon file: not an icon (reserved 0, type 3)"},
        THostileCase{"NoEntries", [] { return Changed(OneEntry(), [](TBytes& f) { f.PutU16(4, 0); }); },
                     "Invalid icon file: no images"},
        THostileCase{"DirectoryCut", [] { return Changed(OneEntry(), [](TBytes& f) { f.PutU16(4, 500); }); },
                     "Invalid icon file: directory of 500 entries truncated"},
        THostileCase{"OffsetPastEnd", [] { return Changed(OneEntry(), [](TBytes& f) { f.PutU32(18, 5000); }); },
                     "Invalid icon file: image 0 (offset 5000, size 64) lies outside the file"},
        THostileCase{"SizePastEnd", [] { return Changed(OneEntry(), [](TBytes& f) { f.PutU32(14, 65); }); },
                     "Invalid icon file: image 0 (offset 22, size 65) lies outside the file"},
        THostileCase{"SizeZero", [] { return Changed(OneEntry(), [](TBytes& f) { f.PutU32(14, 0); }); },
                     "Invalid icon file: image 0 (offset 22, size 0) lies outside the file"},
        THostileCase{"OffsetAndSizeWrap",
                     [] { return Changed(OneEntry(), [](TBytes& f) { f.PutU32(14, 0xFFFFFFFF); f.PutU32(18, 0xFFFFFFFF); }); },
                     "Invalid icon file: image 0 (offset 4294967295, size 4294967295) lies outside the file"},
        THostileCase{"SecondEntryBad",
                     [] {
                         auto file = MakeIcon({Solid32(2, 2, Red), Solid32(1, 1, Green)});
                         return Changed(file, [](TBytes& f) { f.PutU32(6 + 16 + 12, 100000); });
                     },
                     "Invalid icon file: image 1 (offset 100000, size 48) lies outside the file"},
        THostileCase{"DibHeaderSize", [] { return Changed(OneEntry(), [](TBytes& f) { f.PutU32(22, 0); }); },
                     "Invalid icon file: unsupported header size 0"},
        THostileCase{"DibHuge",
                     [] { return Changed(OneEntry(), [](TBytes& f) { f.PutU32(26, 100000); f.PutU32(30, 200000); }); },
                     "Invalid icon file: picture too large (100000 x 100000)"},
        THostileCase{"DibPixelsCut", [] { return Changed(OneEntry(), [](TBytes& f) { f.PutU32(26, 4); }); },
                     "Invalid icon file: pixel data truncated (24 of 32 bytes)"},
        THostileCase{"DibHeightOne", [] { return Changed(OneEntry(), [](TBytes& f) { f.PutU32(30, 1); }); },
                     "Invalid icon file: height is zero"},
        THostileCase{"DibCompressed",
                     [] { return MakeIcon({{2, 1, 8, IconDib(2, 1, 8, {0}, {2, 0, 0, 1}, {}, 1)}}); },
                     "Invalid icon file: compressed icon images are not supported"},
        THostileCase{"PngCut",
                     [] {
                         auto png = MakePng(Rgba3x2());
                         png.resize(png.size() - 20);
                         return MakeIcon({{3, 2, 32, png}});
                     },
                     "Invalid icon file: PNG data ended early"},
        THostileCase{"PngBadCrc",
                     [] {
                         auto png = MakePng(Rgba3x2());
                         png[17] ^= 1;
                         return MakeIcon({{3, 2, 32, png}});
                     },
                     "Invalid icon file: IHDR: CRC error"},
        THostileCase{"PngHuge", [] { return PngClaiming(100000, 100000); },
                     "Invalid icon file: PNG image too large (100000 x 100000)"},
        THostileCase{"PngMoreThanItsDataHolds", [] { return PngClaiming(10000, 10000); },
                     "Invalid icon file: PNG image larger than its data can hold"}),
    [](const testing::TestParamInfo<THostileCase>& test) { return std::string(test.param.Name); });

TEST(Icon, EveryTruncationFailsCleanly)
{
    const std::vector<std::vector<std::uint8_t>> files{
        MakeIcon({Solid4(3, 3, Blue), Solid32(2, 2, Red)}), MakeIcon({{3, 2, 32, MakePng(Rgba3x2())}}),
        MakeIcon({{4, 1, 32, MakePng(PaletteWithTransparency())}})};
    for (const auto& file : files) {
        for (std::size_t size = 0; size < file.size(); ++size) {
            std::vector<std::uint8_t> prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
            TIcon icon;
            try {
                Decode(icon, prefix);
            } catch (const EInvalidGraphic& e) {
                EXPECT_EQ(std::string(e.what()).rfind("Invalid icon file: ", 0), 0u) << e.what();
            }
        }
    }
}

} // namespace
} // namespace quorin::test
