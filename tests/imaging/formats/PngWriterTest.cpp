// The PNG writer: files written by WritePng are read back with libpng;
// failures leave no file, or the previous one untouched.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <zlib.h>

#include "FormatFixtures.h"
#include "PngFixtures.h"
#include "imaging/PngWriter.h"

namespace quorin::test {
namespace {

namespace fs = std::filesystem;

class PngWriterTest : public testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() / ("quorin-png-" + std::string(info->name()) + "-" +
                                                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }
    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder_;
};

// 5 x 3 (so Bitmap rows carry padding), every pixel different; the alpha of
// a 32-bit picture runs 0, 17, 34, ...
std::unique_ptr<TBitmap> Picture(int depth)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelDepth(depth);
    bitmap->SetSize(5, 3);
    for (int y = 0; y < 3; ++y) {
        std::uint8_t* row = bitmap->RowAddress(y);
        for (int x = 0; x < 5; ++x) {
            std::uint8_t* p = row + x * bitmap->BytesPerPixel();
            const int i = y * 5 + x;
            p[0] = static_cast<std::uint8_t>(i * 3);       // blue
            p[1] = static_cast<std::uint8_t>(100 + i);     // green
            p[2] = static_cast<std::uint8_t>(250 - i * 7); // red
            if (depth == 32)
                p[3] = static_cast<std::uint8_t>(i * 17);
        }
    }
    bitmap->SetAlphaChannel(depth == 32);
    return bitmap;
}

// The expected file bytes: red, green, blue[, alpha] per pixel.
std::vector<std::uint8_t> Expected(bool withAlpha, bool sourceAlpha)
{
    std::vector<std::uint8_t> out;
    for (int i = 0; i < 15; ++i) {
        out.insert(out.end(), {static_cast<std::uint8_t>(250 - i * 7), static_cast<std::uint8_t>(100 + i),
                               static_cast<std::uint8_t>(i * 3)});
        if (withAlpha)
            out.push_back(sourceAlpha ? static_cast<std::uint8_t>(i * 17) : 255);
    }
    return out;
}

struct TRoundTrip {
    const char* Name;
    int Depth;
    bool WithAlpha;
};

class PngRoundTrip : public PngWriterTest, public testing::WithParamInterface<TRoundTrip> {};

TEST_P(PngRoundTrip, ExactPixels)
{
    const TRoundTrip& c = GetParam();
    const std::string path = Path("out.png");
    WritePng(*Picture(c.Depth), path, c.WithAlpha);
    const TReadPng read = ReadPngFile(path, c.WithAlpha);
    ASSERT_TRUE(read.Ok);
    EXPECT_EQ(read.FileHasAlpha, c.WithAlpha && c.Depth == 32); // opaque pixels need no alpha
    EXPECT_EQ(read.Width, 5);
    EXPECT_EQ(read.Height, 3);
    EXPECT_EQ(read.Pixels, Expected(c.WithAlpha, c.Depth == 32));
    EXPECT_EQ(Files(), std::vector<std::string>{"out.png"}); // no temporary left behind
}

INSTANTIATE_TEST_SUITE_P(Table, PngRoundTrip,
                         testing::Values(TRoundTrip{"RgbFrom24", 24, false}, TRoundTrip{"RgbaFrom32", 32, true},
                                         TRoundTrip{"RgbaFrom24IsOpaque", 24, true},
                                         TRoundTrip{"RgbFrom32DropsAlpha", 32, false}),
                         [](const testing::TestParamInfo<TRoundTrip>& test) { return std::string(test.param.Name); });

// Rows of every kind (flat, ramps across and down, noise), so that each of
// the row filters is chosen somewhere; every chunk's CRC checked by hand.
TEST_F(PngWriterTest, LargerPicturesRoundTripAndEveryChunkCarriesItsCrc)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelDepth(32);
    bitmap->SetSize(67, 41);
    bitmap->SetAlphaChannel(true);
    std::vector<std::uint8_t> expected;
    std::uint32_t noise = 1;
    for (int y = 0; y < 41; ++y)
        for (int x = 0; x < 67; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const std::uint8_t v[4] = {static_cast<std::uint8_t>(y % 4 == 0 ? 9 : x * 3), static_cast<std::uint8_t>(y * 5),
                                       static_cast<std::uint8_t>(y % 4 == 3 ? noise >> 24 : x + y),
                                       static_cast<std::uint8_t>(255 - x)};
            std::copy(v, v + 4, bitmap->RowAddress(y) + 4 * x);
            expected.insert(expected.end(), {v[2], v[1], v[0], v[3]});
        }
    const std::string path = Path("large.png");
    WritePng(*bitmap, path, true);
    const TReadPng read = ReadPngFile(path, true);
    ASSERT_TRUE(read.Ok);
    EXPECT_EQ(read.Pixels, expected);

    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> chunks;
    for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::uint32_t size = std::uint32_t{file[at]} << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
        ASSERT_LE(at + 12 + size, file.size());
        const std::uint32_t crc = std::uint32_t{file[at + 8 + size]} << 24 | file[at + 9 + size] << 16 |
                                  file[at + 10 + size] << 8 | file[at + 11 + size];
        chunks.emplace_back(reinterpret_cast<const char*>(&file[at + 4]), 4);
        EXPECT_EQ(crc, crc32(0, &file[at + 4], size + 4)) << chunks.back();
        at += 12 + size;
    }
    EXPECT_EQ(chunks, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
}

TEST_F(PngWriterTest, ReplacesAnExistingFile)
{
    const std::string path = Path("out.png");
    std::ofstream(path) << "old contents";
    WritePng(*Picture(24), path, false);
    const TReadPng read = ReadPngFile(path, false);
    ASSERT_TRUE(read.Ok);
    EXPECT_EQ(read.Pixels, Expected(false, false));
}

TEST_F(PngWriterTest, MissingFolderCannotBeCreated)
{
    const std::string path = Path("missing/out.png");
    EXPECT_EQ(MessageOf([&] { WritePng(*Picture(24), path, false); }), "Cannot create file " + path);
    EXPECT_TRUE(Files().empty());
}

TEST_F(PngWriterTest, FolderAsTargetCannotBeCreated)
{
    const std::string path = Path("folder");
    fs::create_directory(path);
    EXPECT_EQ(MessageOf([&] { WritePng(*Picture(24), path, false); }), "Cannot create file " + path);
    EXPECT_EQ(Files(), std::vector<std::string>{"folder"});
}

TEST_F(PngWriterTest, EmptyPictureLeavesTheTargetAlone)
{
    const std::string path = Path("out.png");
    std::ofstream(path) << "old contents";
    TBitmap empty;
    EXPECT_EQ(MessageOf([&] { WritePng(empty, path, true); }), "Cannot write an empty picture as PNG");
    std::ifstream in(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old contents");
    EXPECT_EQ(Files(), std::vector<std::string>{"out.png"});
}

} // namespace
} // namespace quorin::test
