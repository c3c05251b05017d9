#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <vector>

#include "imaging/DDS.h"
#include "imaging/DDSWriter.h"
#include "imaging/DXTC.h"
#include "imaging/Mipmaps.h"
#include "tests/support/TestPictures.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

using test::MakePicture;
using test::Painted;
using test::TBgra;

std::uint32_t U32At(const test::Bytes& file, std::size_t offset)
{
    return file.at(offset) | file.at(offset + 1) << 8 | file.at(offset + 2) << 16 | std::uint32_t{file.at(offset + 3)} << 24;
}

struct TChainCase {
    int Width, Height;
    std::vector<TLevelSize> Levels;
};

TEST(MipmapsTest, AFullChainHalvesEachSideDownToOne)
{
    const std::vector<TChainCase> cases = {
        {1, 1, {{1, 1}}},
        {1, 8, {{1, 8}, {1, 4}, {1, 2}, {1, 1}}},
        {16, 4, {{16, 4}, {8, 2}, {4, 1}, {2, 1}, {1, 1}}},
        {300, 200, {{300, 200}, {150, 100}, {75, 50}, {37, 25}, {18, 12}, {9, 6}, {4, 3}, {2, 1}, {1, 1}}},
    };
    for (const auto& c : cases) {
        const int count = FullMipmapCount(c.Width, c.Height);
        EXPECT_EQ(MipmapSizes(c.Width, c.Height, count), c.Levels) << c.Width << " x " << c.Height;
        const auto made = MakeMipmaps(*MakePicture(c.Width, c.Height, false, Painted), count - 1);
        ASSERT_EQ(made.size(), c.Levels.size() - 1);
        for (std::size_t i = 0; i < made.size(); ++i)
            EXPECT_EQ((TLevelSize{made[i]->Width(), made[i]->Height()}), c.Levels[i + 1]);
    }
    EXPECT_EQ(FullMipmapCount(2048, 2048), 12);
}

TEST(MipmapsTest, ColourIsAveragedInLinearLightAndAlphaAsItIs)
{
    // Black and white average to half the light, which sRGB writes as 188,
    // not 128; alpha 0 and 255 average to 128.
    auto checker = MakePicture(2, 2, true, [](int x, int y) {
        const std::uint8_t v = (x + y) % 2 ? 255 : 0;
        return TBgra{v, v, v, v};
    });
    const auto levels = MakeMipmaps(*checker, 1);
    const std::uint8_t* p = levels.at(0)->RowAddress(0);
    EXPECT_EQ(p[0], 188);
    EXPECT_EQ(p[2], 188);
    EXPECT_EQ(p[3], 128);

    // An odd side: 3 pixels become 1, each weighing a third.
    auto row = MakePicture(3, 1, true, [](int x, int) {
        const std::uint8_t a = static_cast<std::uint8_t>(x == 1 ? 255 : 0);
        return TBgra{0, 0, 0, a};
    });
    EXPECT_EQ(MakeMipmaps(*row, 1).at(0)->RowAddress(0)[3], 85);
}

class DDSWriterTest : public ::testing::Test {
protected:
    test::TempDir scratch;
};

TEST_F(DDSWriterTest, TheHeaderIsTheGamesAndTheFileHoldsEveryLevel)
{
    struct TCase {
        bool Alpha;
        TMipmapChain Mipmaps;
        const char* FourCC;
        std::uint32_t Levels, Caps, TopBytes, FileSize;
    };
    // 64 x 32: levels 64x32 ... 1x1; blocks 16x8, 8x4, 4x2, 2x1, 1x1, 1x1, 1x1.
    const TCase cases[] = {
        {false, TMipmapChain::Full, "DXT1", 7, 0x401008, 1024, 128 + 8 * (128 + 32 + 8 + 2 + 1 + 1 + 1)},
        {true, TMipmapChain::Full, "DXT5", 7, 0x401008, 2048, 128 + 16 * (128 + 32 + 8 + 2 + 1 + 1 + 1)},
        {true, TMipmapChain::None, "DXT5", 1, 0x1000, 2048, 128 + 16 * 128},
    };
    for (const auto& c : cases) {
        const auto path = scratch.File("out.dds");
        TDdsOptions options;
        options.Mipmaps = c.Mipmaps;
        WriteDDS(*MakePicture(64, 32, c.Alpha, Painted), path, options);
        const auto file = test::ReadFile(path);
        ASSERT_EQ(file.size(), c.FileSize) << c.FourCC;
        EXPECT_EQ(std::memcmp(file.data(), "DDS ", 4), 0);
        EXPECT_EQ(U32At(file, 4), 124u);
        EXPECT_EQ(U32At(file, 8), 0xA1007u) << "caps, height, width, pixel format, mipmap count, linear size";
        EXPECT_EQ(U32At(file, 12), 32u);
        EXPECT_EQ(U32At(file, 16), 64u);
        EXPECT_EQ(U32At(file, 20), c.TopBytes);
        EXPECT_EQ(U32At(file, 28), c.Levels);
        EXPECT_EQ(U32At(file, 76), 32u);
        EXPECT_EQ(U32At(file, 80), 4u) << "the FourCC alone";
        EXPECT_EQ(std::memcmp(&file[84], c.FourCC, 4), 0);
        EXPECT_EQ(U32At(file, 108), c.Caps);
        EXPECT_EQ(U32At(file, 112), 0u);
    }
}

// Every level decoded by the window's own decoder comes close to the level
// the mipmaps are made of (the decoder widens 5-bit fields by shift, which
// costs a little at the bright end; the small levels of this busy picture
// hold far more than four colours a block).
TEST_F(DDSWriterTest, EveryLevelDecodesCloseToItsPicture)
{
    for (TDxtQuality quality : {TDxtQuality::Fast, TDxtQuality::Normal, TDxtQuality::Best})
        for (bool alpha : {false, true}) {
            const auto picture = MakePicture(96, 40, alpha, Painted);
            const auto path = scratch.File("levels.dds");
            TDdsOptions options;
            options.Quality = quality;
            const TDdsWritten written = WriteDDS(*picture, path, options);
            EXPECT_EQ(written.Kind, alpha ? TDxtKind::DXT5 : TDxtKind::DXT1);
            const auto file = test::ReadFile(path);
            TDDSImage top;
            top.DecodeDDS(file);
            EXPECT_GT(test::RgbPsnr(top, *picture), 30.0);

            auto levels = MakeMipmaps(*picture, written.Levels - 1);
            std::size_t offset = 128 + DxtPictureBytes(written.Kind, 96, 40);
            for (const auto& level : levels) {
                auto decoded = MakePicture(level->Width(), level->Height(), true, [](int, int) { return TBgra{}; });
                auto* pixels = reinterpret_cast<std::uint32_t*>(decoded->RowAddress(0));
                bool transparent = false;
                if (written.Kind == TDxtKind::DXT1)
                    UnpackDXT1Blocks(&file[offset], pixels, level->Width(), level->Height(), transparent);
                else
                    UnpackDXT5Blocks(&file[offset], pixels, level->Width(), level->Height());
                EXPECT_FALSE(transparent);
                EXPECT_GT(test::RgbPsnr(*decoded, *level), 24.0) << level->Width() << " x " << level->Height();
                offset += DxtPictureBytes(written.Kind, level->Width(), level->Height());
            }
            EXPECT_EQ(offset, file.size());
        }
}

TBgra HalfBlack(int x, int)
{
    return x < 32 ? TBgra{0, 0, 0, 255} : TBgra{200, 100, 50, 255};
}

// Flat areas and black give blocks of one colour, whose equal endpoints
// would make the window's decoder take the texture for one with alpha.
TEST_F(DDSWriterTest, AnOpaqueDXT1TextureHasNoThreeColourBlocks)
{
    const auto path = scratch.File("flat.dds");
    const auto picture = MakePicture(64, 64, false, HalfBlack);
    WriteDDS(*picture, path, {});
    const auto file = test::ReadFile(path);
    ASSERT_EQ(std::memcmp(&file[84], "DXT1", 4), 0);
    for (std::size_t at = 128; at + 8 <= file.size(); at += 8)
        ASSERT_GT(file[at] | file[at + 1] << 8, file[at + 2] | file[at + 3] << 8) << "block at " << at;
    TDDSImage decoded;
    decoded.DecodeDDS(file);
    EXPECT_FALSE(decoded.HasAlphaChannel());
    EXPECT_GT(test::RgbPsnr(decoded, *picture), 40.0);
}

TEST_F(DDSWriterTest, AddingMipmapsKeepsTheTopLevelByteForByte)
{
    for (bool alpha : {false, true}) {
        const auto bare = scratch.File("bare.dds"), full = scratch.File("full.dds");
        TDdsOptions options;
        options.Mipmaps = TMipmapChain::None;
        options.Quality = TDxtQuality::Fast;
        WriteDDS(*MakePicture(64, 64, alpha, Painted), bare, options);
        const auto before = test::ReadFile(bare);

        options.Mipmaps = TMipmapChain::Full;
        options.Quality = TDxtQuality::Best; // would give other top blocks if it encoded them again
        const auto written = CompleteDDS(before, full, options);
        ASSERT_TRUE(written.has_value());
        EXPECT_EQ(written->KeptLevels, 1);
        EXPECT_EQ(written->Levels, 7);
        const auto after = test::ReadFile(full);
        const std::size_t top = DxtPictureBytes(written->Kind, 64, 64);
        ASSERT_GT(after.size(), 128 + top);
        EXPECT_TRUE(std::equal(before.begin() + 128, before.end(), after.begin() + 128));
        EXPECT_EQ(before.size(), 128 + top);

        // A finished texture comes back unchanged.
        const auto again = CompleteDDS(after, scratch.File("again.dds"), options);
        ASSERT_TRUE(again.has_value());
        EXPECT_EQ(again->KeptLevels, 7);
        EXPECT_EQ(test::ReadFile(scratch.File("again.dds")), after);

        // Another format asked for: the caller encodes afresh.
        options.Format = alpha ? TDdsFormat::DXT1 : TDdsFormat::DXT5;
        EXPECT_FALSE(CompleteDDS(before, scratch.File("other.dds"), options).has_value());
        EXPECT_FALSE(std::filesystem::exists(scratch.File("other.dds")));
    }
}

TEST(DXTCPictureTest, TwoThreadsGiveTheSameBytesAsOne)
{
    const auto picture = MakePicture(203, 157, true, Painted);
    for (TDxtKind kind : {TDxtKind::DXT1, TDxtKind::DXT5}) {
        TDxtOptions options{kind, TDxtQuality::Normal, false, 1};
        const auto one = EncodeDXTPicture(*picture, options);
        options.Threads = 2;
        EXPECT_EQ(EncodeDXTPicture(*picture, options), one);
        EXPECT_EQ(one.size(), DxtPictureBytes(kind, 203, 157));
    }
}

} // namespace
} // namespace quorin
