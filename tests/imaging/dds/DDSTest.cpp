#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "DdsBuilder.h"
#include "base/Stream.h"
#include "imaging/DDS.h"
#include "imaging/DXTC.h"
#include "imaging/FileFormats.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

using test::Bytes;
using test::DdsBuilder;

struct TPixel {
    int Blue, Green, Red, Alpha;
    friend bool operator==(const TPixel&, const TPixel&) = default;
};

std::ostream& operator<<(std::ostream& out, const TPixel& p)
{
    return out << "(" << p.Blue << ", " << p.Green << ", " << p.Red << ", " << p.Alpha << ")";
}

TPixel At(TBitmap& bitmap, int x, int y)
{
    const std::uint8_t* p = bitmap.RowAddress(y) + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

struct TDecoded {
    std::unique_ptr<TDDSImage> Image;
    std::int64_t Position = 0; // of the stream after decoding
};

TDecoded Decode(const Bytes& file)
{
    TMemoryViewStream stream(file.data(), static_cast<std::int64_t>(file.size()));
    TDecoded decoded{std::make_unique<TDDSImage>()};
    decoded.Image->DecodeStream(stream);
    decoded.Position = stream.Position();
    return decoded;
}

// The message of the EDDSException that decoding raises; the stream position
// and the image after the failure are handed back too.
std::string FailureOf(const Bytes& file, TDDSImage* image = nullptr, std::int64_t* position = nullptr)
{
    TMemoryViewStream stream(file.data(), static_cast<std::int64_t>(file.size()));
    TDDSImage local;
    TDDSImage& target = image ? *image : local;
    std::string message = "(decoded without failure)";
    try {
        target.DecodeStream(stream);
    } catch (const EDDSException& e) {
        message = e.Message();
    } catch (const std::exception& e) {
        message = std::string("(other failure) ") + e.what();
    }
    if (position)
        *position = stream.Position();
    return message;
}

void Put16(Bytes& out, unsigned v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(Bytes& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// A DXT1 colour block; indices 0 make the block solid c0.
Bytes ColourBlock(unsigned c0, unsigned c1, std::uint32_t indices = 0)
{
    Bytes block;
    Put16(block, c0);
    Put16(block, c1);
    Put32(block, indices);
    return block;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Repeat(const Bytes& part, int times)
{
    Bytes out;
    for (int i = 0; i < times; ++i)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes RandomBytes(std::size_t count, std::uint32_t seed)
{
    std::mt19937 random(seed);
    Bytes out(count);
    for (auto& b : out)
        b = static_cast<std::uint8_t>(random());
    return out;
}

// What byte 3 of a 32-bit pixel holds after sizing, when nothing writes it.
int AlphaLeftBySizing()
{
    TBitmap bitmap;
    bitmap.SetPixelDepth(32);
    bitmap.SetWidth(1);
    bitmap.SetHeight(1);
    return bitmap.RowAddress(0)[3];
}

TEST(DDSTest, LowestSetBit)
{
    const std::pair<std::uint32_t, int> cases[] = {{0, 0},         {1, 0},      {2, 1},        {6, 1},
                                                   {0x001F, 0},    {0x07E0, 5}, {0xF800, 11},  {0xFF000000, 24},
                                                   {0x80000000, 31}, {0xFFFFFFFF, 0}};
    for (auto [mask, bit] : cases)
        EXPECT_EQ(LowestSetBit(mask), bit) << std::hex << mask;
}

TEST(DDSTest, FailureMessages)
{
    const Bytes dxt1Block = ColourBlock(0xF800, 0x001F);
    const Bytes goodDxt1 = DdsBuilder(4, 4).Compressed("DXT1", 8).Data(dxt1Block).Bytes();
    struct Case {
        const char* Name;
        Bytes File;
        std::string Message;
    };
    const Case cases[] = {
        {"empty stream", {}, "Invalid DDS file"},
        {"magic alone", test::ToBytes("DDS "), "Invalid DDS file"},
        {"header one byte short", Bytes(goodDxt1.begin(), goodDxt1.begin() + 127), "Invalid DDS file"},
        {"DDS and a zero byte", DdsBuilder(4, 4).Magic(std::string_view("DDS\0", 4)).Compressed("DXT1", 8).Data(dxt1Block).Bytes(),
         "Invalid DDS file"},
        {"DDSX", DdsBuilder(4, 4).Magic("DDSX").Compressed("DXT1", 8).Data(dxt1Block).Bytes(), "Invalid DDS file"},
        {"lower-case magic", DdsBuilder(4, 4).Magic("dds ").Compressed("DXT1", 8).Data(dxt1Block).Bytes(), "Invalid DDS file"},
        {"bad magic wins over caps", DdsBuilder(4, 4).Magic("XDDS").Caps(0).Bytes(), "Invalid DDS file"},
        {"caps 0", DdsBuilder(4, 4).Caps(0).Compressed("DXT1", 8).Data(dxt1Block).Bytes(), "Unsupported DDSCAPS settings"},
        {"every caps bit but the texture bit", DdsBuilder(4, 4).Caps(0xFFFFEFFF).Compressed("DXT1", 8).Data(dxt1Block).Bytes(),
         "Unsupported DDSCAPS settings"},
        {"caps 0 wins over the FourCC", DdsBuilder(4, 4).Caps(0).Compressed("ATI2", 16).Bytes(), "Unsupported DDSCAPS settings"},
        {"ATI2", DdsBuilder(4, 4).Compressed("ATI2", 16).Data(Bytes(16)).Bytes(), "Unsupported compression type: ATI2"},
        {"DXT2", DdsBuilder(4, 4).Compressed("DXT2", 16).Data(Bytes(16)).Bytes(), "Unsupported compression type: DXT2"},
        {"DXT4", DdsBuilder(4, 4).Compressed("DXT4", 16).Data(Bytes(16)).Bytes(), "Unsupported compression type: DXT4"},
        {"lower-case dxt1", DdsBuilder(4, 4).Compressed("dxt1", 8).Data(dxt1Block).Bytes(), "Unsupported compression type: dxt1"},
        {"zero byte inside", DdsBuilder(4, 4).Compressed(std::string_view("DX\0T", 4), 8).Data(dxt1Block).Bytes(),
         "Unsupported compression type: DX"},
        {"zero first byte", DdsBuilder(4, 4).Compressed(std::string_view("\0XT1", 4), 8).Data(dxt1Block).Bytes(),
         "Unsupported compression type: "},
        {"FourCC all zero", DdsBuilder(4, 4).Compressed(std::string_view("\0\0\0\0", 4), 8).Data(dxt1Block).Bytes(),
         "Unsupported compression type: "},
        {"unknown FourCC with its data missing", DdsBuilder(4, 4).Compressed("ATI1", 4096).Bytes(),
         "Unsupported compression type: ATI1"},
        {"linear size 0", DdsBuilder(4, 4).Compressed("DXT1", 0).Data(dxt1Block).Bytes(), "Invalid DDS file"},
        {"DXT1 linear size one short", DdsBuilder(4, 4).Compressed("DXT1", 7).Data(dxt1Block).Bytes(), "Invalid DDS file"},
        {"DXT3 linear size one short", DdsBuilder(4, 4).Compressed("DXT3", 15).Data(Bytes(16)).Bytes(), "Invalid DDS file"},
        {"DXT5 linear size of three blocks for four", DdsBuilder(5, 8).Compressed("DXT5", 48).Data(Bytes(64)).Bytes(),
         "Invalid DDS file"},
        {"data one byte short", DdsBuilder(4, 4).Compressed("DXT1", 8).Data(Bytes(7)).Bytes(), "Invalid DDS file"},
        {"no data at all", DdsBuilder(4, 4).Compressed("DXT5", 16).Bytes(), "Invalid DDS file"},
        {"linear size 0xFFFFFFFF", DdsBuilder(4, 4).Compressed("DXT1", 0xFFFFFFFF).Data(dxt1Block).Bytes(), "Invalid DDS file"},
        {"empty picture, linear size past the end", DdsBuilder(0, 4).Compressed("DXT1", 100).Data(Bytes(8)).Bytes(),
         "Invalid DDS file"},
        {"RGB bit count 0", DdsBuilder(1, 1).Uncompressed(0, 0xFF0000, 0xFF00, 0xFF).Data(Bytes(4)).Bytes(), "Invalid DDS file"},
        {"RGB bit count 7", DdsBuilder(1, 1).Uncompressed(7, 0x4, 0x2, 0x1).Data(Bytes(4)).Bytes(), "Invalid DDS file"},
        {"32-bit rows one byte short", DdsBuilder(2, 2).Uncompressed(32, 0xFF0000, 0xFF00, 0xFF).Data(Bytes(15)).Bytes(),
         "Invalid DDS file"},
        {"24-bit pixel cut short", DdsBuilder(1, 1).Uncompressed(24, 0xFF0000, 0xFF00, 0xFF).Data(Bytes(2)).Bytes(),
         "Invalid DDS file"},
        {"width 0xFFFFFFFF", DdsBuilder(0xFFFFFFFF, 1).Compressed("DXT1", 8).Data(dxt1Block).Bytes(),
         "DDS picture too large (4294967295 x 1 pixels)"},
        {"height 2^31", DdsBuilder(1, 0x80000000).Uncompressed(32, 0xFF0000, 0xFF00, 0xFF).Bytes(),
         "DDS picture too large (1 x 2147483648 pixels)"},
        {"65536 x 65536", DdsBuilder(65536, 65536).Compressed("DXT5", 0xFFFFFFFF).Bytes(),
         "DDS picture too large (65536 x 65536 pixels)"},
        {"one pixel over the limit", DdsBuilder(178956971, 1).Uncompressed(8, 0xFF, 0, 0).Bytes(),
         "DDS picture too large (178956971 x 1 pixels)"},
        {"13380 x 13380", DdsBuilder(13380, 13380).Compressed("DXT1", 0).Bytes(), "DDS picture too large (13380 x 13380 pixels)"},
        {"too large wins over the FourCC", DdsBuilder(100000, 100000).Compressed("ATI2", 0).Bytes(),
         "DDS picture too large (100000 x 100000 pixels)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FailureOf(c.File), c.Message) << c.Name;
    EXPECT_EQ(FailureOf(goodDxt1), "(decoded without failure)");
}

TEST(DDSTest, HeaderFailuresLeaveTheBitmapUnchanged)
{
    const Bytes tail = Bytes(64, 0xEE);
    const Bytes files[] = {
        DdsBuilder(4, 4).Magic("DDS!").AlphaPixels().Compressed("DXT1", 8).Data(tail).Bytes(),
        DdsBuilder(4, 4).Caps(0).AlphaPixels().Compressed("DXT1", 8).Data(tail).Bytes(),
    };
    for (const Bytes& file : files) {
        TDDSImage image;
        std::int64_t position = 0;
        EXPECT_NE(FailureOf(file, &image, &position), "(decoded without failure)");
        EXPECT_EQ(position, 128); // the header was read, nothing more
        EXPECT_EQ(image.Width(), 0);
        EXPECT_EQ(image.Height(), 0);
        EXPECT_EQ(image.PixelDepth(), TBitmap().PixelDepth());
        EXPECT_FALSE(image.Transparent());
    }
}

TEST(DDSTest, UnsupportedCompressionConsumesItsDataWithoutSizingThePicture)
{
    for (bool alphaPixels : {false, true}) {
        DdsBuilder builder(3, 2);
        if (alphaPixels)
            builder.AlphaPixels();
        Bytes file = builder.Compressed("ATI2", 16).Data(Bytes(16, 0x55)).Data(Bytes(8, 0xEE)).Bytes();
        TDDSImage image;
        std::int64_t position = 0;
        EXPECT_EQ(FailureOf(file, &image, &position), "Unsupported compression type: ATI2");
        EXPECT_EQ(position, 128 + 16);
        EXPECT_EQ(image.PixelDepth(), 32);
        EXPECT_EQ(image.Transparent(), alphaPixels);
        // No memory is taken for a picture that nothing can fill.
        EXPECT_EQ(image.Width(), 0);
        EXPECT_EQ(image.Height(), 0);
    }
    // Found by fuzzing: a bare header of the largest size with an unknown
    // code made the decoder take and whiten 700 MB.
    TDDSImage large;
    EXPECT_EQ(FailureOf(DdsBuilder(13376, 13376).Compressed("ATI2", 0).Bytes(), &large), "Unsupported compression type: ATI2");
    EXPECT_EQ(large.Width(), 0);

    // A linear size past the end consumes what there is.
    Bytes file = DdsBuilder(4, 4).Compressed("BC5U", 1000).Data(Bytes(10)).Bytes();
    std::int64_t position = 0;
    EXPECT_EQ(FailureOf(file, nullptr, &position), "Unsupported compression type: BC5U");
    EXPECT_EQ(position, std::int64_t(file.size()));
}

TEST(DDSTest, DXT1PixelsLandInTheirRows)
{
    // Two blocks across, two down: a four-colour block whose pixel (r, k)
    // selects entry k, then solid green, solid blue and solid white.
    Bytes data = Concat({ColourBlock(0xF800, 0x001F, 0xE4E4E4E4), ColourBlock(0x07E0, 0), ColourBlock(0x001F, 0),
                         ColourBlock(0xFFFF, 0)});
    auto decoded = Decode(DdsBuilder(8, 8).Compressed("DXT1", 32).Data(data).Bytes());
    TDDSImage& image = *decoded.Image;
    ASSERT_EQ(image.Width(), 8);
    ASSERT_EQ(image.Height(), 8);
    EXPECT_EQ(image.PixelDepth(), 32);
    EXPECT_EQ(decoded.Position, 128 + 32);
    const TPixel firstBlock[4] = {{0, 0, 248, 255}, {248, 0, 0, 255}, {83, 0, 165, 255}, {165, 0, 83, 255}};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            TPixel want = y < 4 ? (x < 4 ? firstBlock[x] : TPixel{0, 252, 0, 255})
                                : (x < 4 ? TPixel{248, 0, 0, 255} : TPixel{248, 252, 248, 255});
            EXPECT_EQ(At(image, x, y), want) << x << "," << y;
        }
    EXPECT_FALSE(image.Transparent());
    EXPECT_FALSE(image.HasAlphaChannel());
}

TEST(DDSTest, DXT3AndDXT5AlphaLandInTheFourthByte)
{
    Bytes dxt3;
    for (int r = 0; r < 4; ++r)
        Put16(dxt3, (4 * r) | (4 * r + 1) << 4 | (4 * r + 2) << 8 | (4 * r + 3) << 12);
    dxt3 = Concat({dxt3, ColourBlock(0xFFFF, 0xFFFF)});
    auto three = Decode(DdsBuilder(4, 4).Compressed("DXT3", 16).Data(dxt3).Bytes());
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(At(*three.Image, i % 4, i / 4), (TPixel{248, 252, 248, 17 * i})) << "DXT3 pixel " << i;

    // a0 = 255, a1 = 0; pixel i selects entry i % 8.
    Bytes dxt5 = {255, 0};
    std::uint64_t bits = 0;
    for (int i = 0; i < 16; ++i)
        bits |= std::uint64_t(i % 8) << (3 * i);
    for (int i = 0; i < 6; ++i)
        dxt5.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    dxt5 = Concat({dxt5, ColourBlock(0x001F, 0xF800)}); // four-colour although c0 < c1
    auto five = Decode(DdsBuilder(4, 4).Compressed("DXT5", 16).Data(dxt5).Bytes());
    const int table[8] = {255, 0, 219, 182, 146, 109, 73, 36};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(At(*five.Image, i % 4, i / 4), (TPixel{248, 0, 0, table[i % 8]})) << "DXT5 pixel " << i;
}

TEST(DDSTest, TransparentFlagRules)
{
    const Bytes fourColour = ColourBlock(0xF800, 0x001F, 0x55555555);
    const Bytes threeColour = ColourBlock(0x001F, 0xF800, 0); // no pixel on the transparent entry
    const Bytes alphaHalf(8, 0);
    struct Case {
        const char* Name;
        const char* FourCC;
        bool AlphaPixels;
        Bytes Data;
        bool Transparent;
    };
    const Case cases[] = {
        {"DXT1 four-colour, alpha bit", "DXT1", true, Concat({fourColour, fourColour}), false},
        {"DXT1 four-colour", "DXT1", false, Concat({fourColour, fourColour}), false},
        {"DXT1 one three-colour block", "DXT1", false, Concat({fourColour, threeColour}), true},
        {"DXT1 one three-colour block, alpha bit", "DXT1", true, Concat({threeColour, fourColour}), true},
        {"DXT3", "DXT3", false, Repeat(Concat({alphaHalf, fourColour}), 2), true},
        {"DXT3 alpha bit", "DXT3", true, Repeat(Concat({alphaHalf, fourColour}), 2), true},
        {"DXT5", "DXT5", false, Repeat(Concat({alphaHalf, fourColour}), 2), true},
        {"DXT5 alpha bit", "DXT5", true, Repeat(Concat({alphaHalf, fourColour}), 2), true},
    };
    for (const Case& c : cases) {
        DdsBuilder builder(8, 4);
        if (c.AlphaPixels)
            builder.AlphaPixels();
        auto decoded = Decode(builder.Compressed(c.FourCC, std::uint32_t(c.Data.size())).Data(c.Data).Bytes());
        EXPECT_EQ(decoded.Image->Transparent(), c.Transparent) << c.Name;
        EXPECT_EQ(decoded.Image->HasAlphaChannel(), c.Transparent) << c.Name;
    }
}

// Decodes the same blocks with the block routine into a plain array.
std::vector<std::uint32_t> Unpacked(int dxt, const Bytes& data, int w, int h)
{
    std::vector<std::uint32_t> pixels(std::size_t(w) * h);
    bool transparent = false;
    if (dxt == 1)
        UnpackDXT1Blocks(data.data(), pixels.data(), w, h, transparent);
    else if (dxt == 3)
        UnpackDXT3Blocks(data.data(), pixels.data(), w, h);
    else
        UnpackDXT5Blocks(data.data(), pixels.data(), w, h);
    return pixels;
}

TEST(DDSTest, EveryRowMatchesTheBlockRoutine)
{
    // Edge sizes, and pictures tall enough to be read in several pieces.
    struct Case {
        int Dxt, W, H;
    };
    const Case cases[] = {{1, 6, 6},   {1, 2, 2},    {3, 1, 1},      {5, 5, 9},   {1, 13, 7},
                          {5, 1024, 518}, {1, 2048, 301}, {3, 333, 1001}, {1, 4, 4096}};
    for (const Case& c : cases) {
        const std::size_t blocks = std::size_t((c.W + 3) / 4) * ((c.H + 3) / 4);
        Bytes data = RandomBytes(blocks * (c.Dxt == 1 ? 8 : 16), std::uint32_t(c.W * 31 + c.H));
        const char* code = c.Dxt == 1 ? "DXT1" : c.Dxt == 3 ? "DXT3" : "DXT5";
        auto decoded = Decode(DdsBuilder(c.W, c.H).Compressed(code, std::uint32_t(data.size())).Data(data).Bytes());
        TDDSImage& image = *decoded.Image;
        ASSERT_EQ(image.Width(), c.W);
        ASSERT_EQ(image.Height(), c.H);
        EXPECT_EQ(decoded.Position, std::int64_t(128 + data.size()));
        auto expected = Unpacked(c.Dxt, data, c.W, c.H);
        int wrongRows = 0;
        for (int y = 0; y < c.H; ++y)
            wrongRows += std::memcmp(image.RowAddress(y), &expected[std::size_t(y) * c.W], std::size_t(c.W) * 4) != 0;
        EXPECT_EQ(wrongRows, 0) << code << " " << c.W << "x" << c.H;
    }
}

TEST(DDSTest, OnlyTheTopImageIsRead)
{
    // 8 x 8 DXT1 with three more mip levels after it (4x4, 2x2, 1x1).
    const Bytes top = Concat({ColourBlock(0xF800, 0), ColourBlock(0x07E0, 0), ColourBlock(0x001F, 0), ColourBlock(0xFFFF, 0)});
    const Bytes mips = Repeat(ColourBlock(0x0000, 0xFFFF, 0xFFFFFFFF), 3);
    for (std::uint32_t linearSize : {32u, 56u}) { // the top level alone, or the whole chain
        auto decoded = Decode(DdsBuilder(8, 8).MipMaps(4).Compressed("DXT1", linearSize).Data(top).Data(mips).Bytes());
        EXPECT_EQ(decoded.Position, 128 + linearSize);
        EXPECT_EQ(decoded.Image->Width(), 8);
        EXPECT_EQ(decoded.Image->Height(), 8);
        EXPECT_EQ(At(*decoded.Image, 0, 0), (TPixel{0, 0, 248, 255}));
        EXPECT_EQ(At(*decoded.Image, 7, 7), (TPixel{248, 252, 248, 255}));
        EXPECT_FALSE(decoded.Image->Transparent()); // the mip blocks are three-colour but never decoded
    }
    // Uncompressed: 2 x 2 then a 1 x 1 level.
    auto decoded = Decode(DdsBuilder(2, 2)
                              .MipMaps(2)
                              .Uncompressed(32, 0xFF0000, 0xFF00, 0xFF)
                              .Data(RandomBytes(16, 3))
                              .Data(Bytes(4, 0xEE))
                              .Bytes());
    EXPECT_EQ(decoded.Position, 128 + 16);
}

// The mipmaps behind the top image, for the model view: each level its own
// colour, so a level read from the wrong place shows.
TEST(DDSTest, StoredMipmapsAreDecodedLevelByLevel)
{
    // 8 x 4 DXT1: two blocks on top, then 4 x 2, 2 x 1 and 1 x 1 of one block each.
    const Bytes top = Concat({ColourBlock(0xF800, 0), ColourBlock(0xF800, 0)});
    const Bytes levels = Concat({ColourBlock(0x07E0, 0), ColourBlock(0x001F, 0), ColourBlock(0xFFFF, 0)});
    auto file = [&](std::uint32_t count, const Bytes& after) {
        return DdsBuilder(8, 4).Field(8, 0x21007).MipMaps(count).Compressed("DXT1", 16).Data(top).Data(after).Bytes();
    };
    const auto mipmaps = TDDSImage::DecodeStoredMipmaps(file(4, levels));
    ASSERT_EQ(mipmaps.size(), 3u);
    const std::array<std::pair<int, int>, 3> sizes{{{4, 2}, {2, 1}, {1, 1}}};
    const std::array<TPixel, 3> colours{TPixel{0, 252, 0, 255}, TPixel{248, 0, 0, 255}, TPixel{248, 252, 248, 255}};
    for (std::size_t i = 0; i < mipmaps.size(); ++i) {
        EXPECT_EQ(mipmaps[i]->Width(), sizes[i].first) << i;
        EXPECT_EQ(mipmaps[i]->Height(), sizes[i].second) << i;
        EXPECT_EQ(mipmaps[i]->BytesPerPixel(), 4) << i;
        EXPECT_EQ(At(*mipmaps[i], sizes[i].first - 1, sizes[i].second - 1), colours[i]) << i;
    }

    // A renderer needs the whole chain: anything less gives none.
    const Bytes twoLevels(levels.begin(), levels.begin() + 16);
    EXPECT_TRUE(TDDSImage::DecodeStoredMipmaps(file(4, twoLevels)).empty()); // the file is short
    EXPECT_TRUE(TDDSImage::DecodeStoredMipmaps(file(3, levels)).empty());    // the header declares fewer
    EXPECT_TRUE(TDDSImage::DecodeStoredMipmaps(file(1, levels)).empty());
    EXPECT_TRUE(TDDSImage::DecodeStoredMipmaps(
                    DdsBuilder(8, 4).MipMaps(4).Compressed("DXT1", 16).Data(top).Data(levels).Bytes())
                    .empty()); // no mipmap count flag
    EXPECT_TRUE(TDDSImage::DecodeStoredMipmaps(DdsBuilder(2, 1)
                                                   .Field(8, 0x21007)
                                                   .MipMaps(2)
                                                   .Uncompressed(32, 0xFF0000, 0xFF00, 0xFF)
                                                   .Data(Bytes(12, 0x40))
                                                   .Bytes())
                    .empty()); // uncompressed: the view makes its own
    EXPECT_TRUE(TDDSImage::DecodeStoredMipmaps(Bytes(100, 0)).empty());  // no DDS at all

    // DXT5 levels keep their alpha.
    const Bytes dxt5Block = Concat({Bytes{0x80, 0x80, 0, 0, 0, 0, 0, 0}, ColourBlock(0xFFFF, 0)});
    const auto dxt5 = TDDSImage::DecodeStoredMipmaps(
        DdsBuilder(4, 4).Field(8, 0x21007).MipMaps(3).Compressed("DXT5", 16).Data(Repeat(dxt5Block, 3)).Bytes());
    ASSERT_EQ(dxt5.size(), 2u);
    EXPECT_TRUE(dxt5[1]->HasAlphaChannel());
    EXPECT_EQ(At(*dxt5[1], 0, 0).Alpha, 0x80);
}

TEST(DDSTest, EmptyPictures)
{
    struct Case {
        const char* Name;
        Bytes File;
        int W, H;
        std::int64_t Position;
        bool Transparent;
    };
    const Case cases[] = {
        {"DXT1 0 x 4 reads its linear size", DdsBuilder(0, 4).AlphaPixels().Compressed("DXT1", 8).Data(Bytes(8)).Bytes(), 0, 4,
         136, false},
        {"DXT5 4 x 0", DdsBuilder(4, 0).Compressed("DXT5", 16).Data(Bytes(16)).Data(Bytes(4)).Bytes(), 4, 0, 144, true},
        {"DXT1 0 x 0, linear size 0", DdsBuilder(0, 0).Compressed("DXT1", 0).Bytes(), 0, 0, 128, false},
        {"32-bit 0 x 4 reads nothing", DdsBuilder(0, 4).Uncompressed(32, 0xFF0000, 0xFF00, 0xFF).Data(Bytes(64)).Bytes(), 0, 4,
         128, false},
        {"32-bit 4 x 0 reads nothing", DdsBuilder(4, 0).AlphaPixels().Uncompressed(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)
                                           .Data(Bytes(64)).Bytes(), 4, 0, 128, true},
    };
    for (const Case& c : cases) {
        auto decoded = Decode(c.File);
        EXPECT_EQ(decoded.Image->Width(), c.W) << c.Name;
        EXPECT_EQ(decoded.Image->Height(), c.H) << c.Name;
        EXPECT_EQ(decoded.Position, c.Position) << c.Name;
        EXPECT_EQ(decoded.Image->Transparent(), c.Transparent) << c.Name;
    }
}

TEST(DDSTest, UncompressedChannelConversion)
{
    const int untouched = -1; // byte 3 keeps what the sizing left
    struct Case {
        const char* Name;
        std::uint32_t Bits, Red, Green, Blue, Alpha;
        bool AlphaPixels;
        Bytes Pixel;
        TPixel Expected;
    };
    const Case cases[] = {
        {"32-bit ARGB", 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, true, {0x10, 0x20, 0x30, 0x40}, {0x10, 0x20, 0x30, 0x40}},
        {"32-bit ARGB without the alpha bit", 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, false, {0x10, 0x20, 0x30, 0x40},
         {0x10, 0x20, 0x30, untouched}},
        {"32-bit ABGR", 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, true, {0x10, 0x20, 0x30, 0x40}, {0x30, 0x20, 0x10, 0x40}},
        {"24-bit", 24, 0xFF0000, 0xFF00, 0xFF, 0, false, {0x10, 0x20, 0x30}, {0x10, 0x20, 0x30, untouched}},
        {"5-6-5 white", 16, 0xF800, 0x07E0, 0x001F, 0, false, {0xFF, 0xFF}, {248, 252, 248, untouched}},
        {"5-6-5 black", 16, 0xF800, 0x07E0, 0x001F, 0, false, {0x00, 0x00}, {0, 0, 0, untouched}},
        {"5-6-5 red", 16, 0xF800, 0x07E0, 0x001F, 0, false, {0x00, 0xF8}, {0, 0, 248, untouched}},
        {"5-6-5 green", 16, 0xF800, 0x07E0, 0x001F, 0, false, {0xE0, 0x07}, {0, 252, 0, untouched}},
        {"5-6-5 blue", 16, 0xF800, 0x07E0, 0x001F, 0, false, {0x1F, 0x00}, {248, 0, 0, untouched}},
        {"5-6-5 half", 16, 0xF800, 0x07E0, 0x001F, 0, false, {0x10, 0x84}, {128, 128, 128, untouched}},
        {"1-5-5-5 alpha set", 16, 0x7C00, 0x03E0, 0x001F, 0x8000, true, {0x00, 0x80}, {0, 0, 0, 255}},
        {"1-5-5-5 alpha clear", 16, 0x7C00, 0x03E0, 0x001F, 0x8000, true, {0xFF, 0x7F}, {248, 248, 248, 0}},
        {"4-4-4-4 full", 16, 0x0F00, 0x00F0, 0x000F, 0xF000, true, {0x00, 0xF0}, {0, 0, 0, 255}},
        {"4-4-4-4 nibbles", 16, 0x0F00, 0x00F0, 0x000F, 0xF000, true, {0x34, 0x12}, {68, 51, 34, 17}},
        {"4-4-4-4 alpha 8", 16, 0x0F00, 0x00F0, 0x000F, 0xF000, true, {0x00, 0x80}, {0, 0, 0, 136}},
        {"8-bit luminance in red", 8, 0xFF, 0, 0, 0, false, {0x80}, {0, 0, 128, untouched}},
        {"3-3-2", 8, 0xE0, 0x1C, 0x03, 0, false, {0xFF}, {255, 252, 252, untouched}},
        {"2-10-10-10: masks wider than 8 bits give 0", 32, 0x3FF00000, 0x000FFC00, 0x000003FF, 0, true,
         {0xFF, 0xFF, 0xFF, 0xFF}, {0, 0, 0, 0}},
        {"mask of scattered bits", 8, 0, 0, 0x81, 0, false, {0xFF}, {129, 0, 0, untouched}},
        // ((v & mask) * 17) wraps at 32 bits for a nibble in the top bits.
        {"top-nibble alpha wraps", 32, 0xFF0000, 0xFF00, 0xFF, 0xF0000000, true, {0, 0, 0, 0xF0}, {0, 0, 0, 15}},
        {"alpha mask ignored without the alpha bit", 16, 0x0F00, 0x00F0, 0x000F, 0xF000, false, {0x34, 0x12},
         {68, 51, 34, untouched}},
        {"5-byte pixels use their first four", 40, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, true, {1, 2, 3, 4, 99}, {1, 2, 3, 4}},
        {"no masks", 32, 0, 0, 0, 0, true, {0xFF, 0xFF, 0xFF, 0xFF}, {0, 0, 0, 0}},
    };
    const int sizingAlpha = AlphaLeftBySizing();
    for (const Case& c : cases) {
        DdsBuilder builder(1, 1);
        if (c.AlphaPixels)
            builder.AlphaPixels();
        auto decoded = Decode(builder.Uncompressed(c.Bits, c.Red, c.Green, c.Blue, c.Alpha).Data(c.Pixel).Bytes());
        TPixel want = c.Expected;
        if (want.Alpha == untouched)
            want.Alpha = sizingAlpha;
        EXPECT_EQ(At(*decoded.Image, 0, 0), want) << c.Name;
        EXPECT_EQ(decoded.Image->Transparent(), c.AlphaPixels) << c.Name;
        EXPECT_EQ(decoded.Image->HasAlphaChannel(), c.AlphaPixels) << c.Name;
        EXPECT_EQ(decoded.Position, std::int64_t(128 + c.Pixel.size())) << c.Name;
    }
}

TEST(DDSTest, UncompressedRowsAreTightlyPackedFromTheTop)
{
    // 24-bit 3 x 2 (rows of 9 bytes) and 8-bit 5 x 3 (rows of 5 bytes): no row filler.
    Bytes rgb = RandomBytes(18, 1);
    auto decoded = Decode(DdsBuilder(3, 2).Uncompressed(24, 0xFF0000, 0xFF00, 0xFF).Data(rgb).Bytes());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const std::uint8_t* p = &rgb[std::size_t(y) * 9 + x * 3];
            TPixel got = At(*decoded.Image, x, y);
            EXPECT_EQ((TPixel{got.Blue, got.Green, got.Red, 0}), (TPixel{p[0], p[1], p[2], 0})) << x << "," << y;
        }
    Bytes grey = RandomBytes(15, 2);
    decoded = Decode(DdsBuilder(5, 3).Uncompressed(8, 0xFF, 0, 0).Data(grey).Bytes());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(At(*decoded.Image, x, y).Red, grey[std::size_t(y) * 5 + x]) << x << "," << y;
}

TEST(DDSTest, HostileSizesFailBeforeTheBitmapIsSized)
{
    // Sizes the data cannot back: the picture is refused before any pixel
    // memory is taken, so the image stays empty.
    const Bytes files[] = {
        DdsBuilder(12000, 12000).Compressed("DXT1", 12000u * 12000 / 2).Data(Bytes(64)).Bytes(),
        DdsBuilder(8192, 8192).Uncompressed(32, 0xFF0000, 0xFF00, 0xFF).Data(Bytes(64)).Bytes(),
        DdsBuilder(8192, 8192).Uncompressed(0xFFFFFFFF, 0xFF0000, 0xFF00, 0xFF).Data(Bytes(64)).Bytes(),
        DdsBuilder(4, 4).Compressed("DXT5", 0xFFFFFFFF).Data(Bytes(16)).Bytes(),
    };
    for (const Bytes& file : files) {
        TDDSImage image;
        EXPECT_EQ(FailureOf(file, &image), "Invalid DDS file");
        EXPECT_EQ(image.Width(), 0);
        EXPECT_EQ(image.Height(), 0);
    }
}

// A stream that claims more bytes than it holds, as a file cut short while
// it is read would.
class TShortStream : public TMemoryViewStream {
public:
    TShortStream(const Bytes& bytes, std::int64_t claimed)
        : TMemoryViewStream(bytes.data(), static_cast<std::int64_t>(bytes.size())), claimed_(claimed) {}
    std::int64_t Size() override { return claimed_; }

private:
    std::int64_t claimed_;
};

TEST(DDSTest, DataEndingBeforeTheReportedSizeLeavesNoPixels)
{
    const Bytes blocks = RandomBytes(std::size_t(512 / 4) * (512 / 4) * 16, 9);
    const Bytes files[] = {
        DdsBuilder(512, 512).Compressed("DXT5", std::uint32_t(blocks.size())).Data(Bytes(blocks.begin(), blocks.end() - 1)).Bytes(),
        DdsBuilder(64, 64).AlphaPixels().Uncompressed(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000).Data(Bytes(64 * 64 * 4 - 1)).Bytes(),
        DdsBuilder(64, 64).Uncompressed(24, 0xFF0000, 0xFF00, 0xFF).Data(Bytes(64 * 3 * 10)).Bytes(),
    };
    for (const Bytes& file : files) {
        TShortStream stream(file, 1 << 24);
        TDDSImage image;
        try {
            image.DecodeStream(stream);
            ADD_FAILURE() << "decoded a cut-short file";
        } catch (const EDDSException& e) {
            EXPECT_EQ(e.Message(), "Invalid DDS file");
        }
        EXPECT_EQ(image.Width(), 0);
        EXPECT_EQ(image.Height(), 0);
    }
}

TEST(DDSTest, DecodeFileReadsATextureFromDisk)
{
    test::TempDir dir;
    const std::string path = dir.File("t.dds");
    test::WriteFile(path, DdsBuilder(4, 4).Compressed("DXT1", 8).Data(ColourBlock(0x001F, 0xF800, 0xFFFFFFFF)).Bytes());
    TDDSImage image;
    image.DecodeFile(path);
    EXPECT_EQ(At(image, 3, 3), (TPixel{83, 0, 165, 0}));
    EXPECT_TRUE(image.Transparent());

    test::WriteFile(path, DdsBuilder(4, 4).Compressed("DXT1", 8).Data(Bytes(4)).Bytes());
    TDDSImage cut;
    EXPECT_THROW(cut.DecodeFile(path), EDDSException);
}

TEST(DDSTest, RegistrationAndClassRecord)
{
    EXPECT_EQ(TDDSImage::ClassRecord.Name, "TDDSImage");
    EXPECT_EQ(TDDSImage::ClassRecord.Base, &TBitmap::ClassRecord);
    ASSERT_NE(TDDSImage::ClassRecord.Create, nullptr);
    auto made = TDDSImage::ClassRecord.Create();
    EXPECT_NE(dynamic_cast<TDDSImage*>(made.get()), nullptr);
    EXPECT_EQ(&made->ClassType(), &TDDSImage::ClassRecord);

    auto& list = TFileFormatsList::Instance();
    const std::size_t before = list.Formats().size();
    RegisterDDSFormat();
    ASSERT_EQ(list.Formats().size(), before + 1);
    EXPECT_EQ(list.Formats().back().Extension, "dds");
    EXPECT_EQ(list.Formats().back().Description, "Microsoft DirectDraw Surface");
    EXPECT_EQ(list.Formats().back().Class, &TDDSImage::ClassRecord);
    EXPECT_EQ(list.ClassForExtension("DDS"), &TDDSImage::ClassRecord);
    EXPECT_EQ(list.ClassForName("TDDSImage"), &TDDSImage::ClassRecord);
    UnregisterDDSFormat();
    EXPECT_EQ(list.Formats().size(), before);
    EXPECT_EQ(list.ClassForExtension("dds"), nullptr);
}

} // namespace
} // namespace quorin

namespace quorin {
namespace {

// The header alone, with the file's size, gives decoding's verdict: the same
// size, or the same failure.
TEST(DdsHeaderTest, TheHeaderAloneGivesTheVerdictOfDecoding)
{
    using test::DdsBuilder;
    struct Case {
        Bytes file;
        const char* kind;
    };
    const Case cases[] = {
        {DdsBuilder(4, 4).Compressed("DXT1", 8).Data(Bytes(8)).Bytes(), "DXT1 DDS"},
        {DdsBuilder(8, 4).Compressed("DXT5", 32).Data(Bytes(32)).Bytes(), "DXT5 DDS"},
        {DdsBuilder(2, 2).Uncompressed(32, 0xFF0000, 0xFF00, 0xFF).Data(Bytes(16)).Bytes(), "32-bit DDS"},
        {DdsBuilder(4, 4).Compressed("DXT3", 16).Data(Bytes(15)).Bytes(), nullptr},  // data too short
        {DdsBuilder(4, 4).Compressed("DXT1", 4).Data(Bytes(8)).Bytes(), nullptr},    // linear size too small
        {DdsBuilder(2, 2).Uncompressed(32, 0xFF0000, 0xFF00, 0xFF).Data(Bytes(15)).Bytes(), nullptr},
        {DdsBuilder(2, 2).Uncompressed(4, 0xF, 0, 0).Data(Bytes(4)).Bytes(), nullptr},
        {DdsBuilder(4, 4).Compressed("ATI2", 16).Data(Bytes(16)).Bytes(), nullptr},
        {DdsBuilder(4, 4).Magic("DDX ").Bytes(), nullptr},
        {DdsBuilder(4, 4).Caps(0).Bytes(), nullptr},
        {DdsBuilder(65536, 65536).Compressed("DXT1", 8).Bytes(), nullptr},
        {Bytes(100, 0), nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(Bytes(c.file.begin(), c.file.begin() + std::min<std::size_t>(c.file.size(), 24))));
        const TPictureHeader header = InspectDDSHeader(c.file.data(), std::min<std::size_t>(c.file.size(), 128),
                                                       static_cast<std::int64_t>(c.file.size()));
        std::optional<std::string> decodedFailure;
        TDDSImage image;
        TMemoryViewStream stream(c.file.data(), static_cast<std::int64_t>(c.file.size()));
        try {
            image.DecodeStream(stream);
        } catch (const EDDSException& e) {
            decodedFailure = e.Message();
        }
        EXPECT_EQ(header.Error, decodedFailure.value_or(""));
        EXPECT_EQ(decodedFailure.has_value(), c.kind == nullptr);
        if (decodedFailure || !c.kind)
            continue;
        EXPECT_EQ(header.Kind, c.kind);
        EXPECT_EQ(header.Width, image.Width());
        EXPECT_EQ(header.Height, image.Height());
    }
}

} // namespace
} // namespace quorin
