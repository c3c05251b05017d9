#include <gtest/gtest.h>

#include <filesystem>

#include "imaging/TGA.h"
#include "imaging/TGAWriter.h"
#include "tests/support/TestPictures.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

using test::MakePicture;
using test::TBgra;

class TGAWriterTest : public ::testing::Test {
protected:
    test::TempDir scratch;
};

// Runs of equal pixels beside pixels that all differ, short and long (longer
// than one packet), touching the rows' ends.
TBgra Card(int x, int y)
{
    if (y % 3 == 0)
        return {10, 20, 30, static_cast<std::uint8_t>(x < 150 ? 0 : 255)};
    if (y % 3 == 1)
        return {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 7, static_cast<std::uint8_t>(x * 3)};
    return {static_cast<std::uint8_t>(x / 2), 1, 2, 200};
}

TEST_F(TGAWriterTest, CardsComeBackThroughTheDecoderPlainAndRunLength)
{
    const auto card = MakePicture(301, 7, true, Card);
    std::uintmax_t sizes[2] = {};
    for (bool runLength : {false, true}) {
        const auto path = scratch.File(runLength ? "rle.tga" : "plain.tga");
        WriteTGA(*card, path, runLength);
        const auto file = test::ReadFile(path);
        sizes[runLength] = file.size();
        EXPECT_EQ(file.at(2), runLength ? 10 : 2);
        EXPECT_EQ(file.at(16), 32);
        EXPECT_EQ(file.at(17), 0x08) << "eight alpha bits, origin at the bottom left";
        TTGAImage decoded;
        EXPECT_EQ(decoded.DecodeTGA(file), file.size());
        ASSERT_EQ(decoded.Width(), 301);
        ASSERT_EQ(decoded.Height(), 7);
        EXPECT_TRUE(decoded.HasAlphaChannel());
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 301; ++x) {
                const TBgra want = Card(x, y);
                const std::uint8_t* got = decoded.RowAddress(y) + 4 * x;
                ASSERT_EQ((TBgra{got[0], got[1], got[2], got[3]}), want) << x << ", " << y << (runLength ? " rle" : "");
            }
    }
    EXPECT_EQ(sizes[0], 18u + 301 * 7 * 4);
    EXPECT_LT(sizes[1], sizes[0]);
}

TEST_F(TGAWriterTest, APictureWithoutAlphaIsWrittenOpaque)
{
    auto picture = MakePicture(5, 3, false, [](int x, int) { return TBgra{1, 2, 3, static_cast<std::uint8_t>(x)}; });
    const auto path = scratch.File("opaque.tga");
    WriteTGA(*picture, path, false);
    TTGAImage decoded;
    decoded.DecodeTGA(test::ReadFile(path));
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(decoded.RowAddress(1)[4 * x + 3], 255);
}

TEST_F(TGAWriterTest, EmptyAndOversizedPicturesAreRefusedAndNothingIsWritten)
{
    const auto path = scratch.File("refused.tga");
    TBitmap empty;
    EXPECT_THROW(WriteTGA(empty, path, false), Exception);
    auto wide = MakePicture(65536, 1, false, [](int, int) { return TBgra{}; });
    try {
        WriteTGA(*wide, path, true);
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_NE(e.Message().find("65535"), std::string::npos) << e.Message();
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(scratch.Entries().empty());
}

} // namespace
} // namespace quorin
