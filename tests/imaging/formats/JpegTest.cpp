// The JPEG module: fixtures compressed here with libjpeg, decoded back through
// TJPEGImage; broken streams must end in EJPEGException with libjpeg's own
// message (and, under the sanitizers, without a leak).

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "FormatFixtures.h"
#include "JpegFixtures.h"
#include "imaging/FileFormats.h"
#include "imaging/JPEG.h"

namespace quorin::test {
namespace {

// Left half red, right half blue.
TJpegFixture Halves()
{
    TJpegFixture s;
    s.Sample = [](int x, int, int c) -> std::uint8_t {
        const bool left = x < 8;
        return c == 0 ? (left ? 255 : 0) : c == 2 ? (left ? 0 : 255) : 0;
    };
    return s;
}

void ExpectNear(std::uint32_t actual, std::uint32_t expected, int tolerance, const std::string& where)
{
    for (int shift = 0; shift <= 16; shift += 8) {
        const int a = static_cast<int>((actual >> shift) & 0xFF);
        const int e = static_cast<int>((expected >> shift) & 0xFF);
        EXPECT_LE(std::abs(a - e), tolerance) << where << std::hex << " actual " << actual << " expected " << expected;
    }
}

std::unique_ptr<TJPEGImage> DecodeJpeg(const std::vector<std::uint8_t>& file)
{
    auto image = std::make_unique<TJPEGImage>();
    Decode(*image, file);
    return image;
}

TEST(Jpeg, ClassRecord)
{
    EXPECT_EQ(TJPEGImage::ClassRecord.Name, "TJPEGImage");
    EXPECT_TRUE(TJPEGImage::ClassRecord.InheritsFrom(TBitmap::ClassRecord));
    auto made = TJPEGImage::ClassRecord.Create();
    EXPECT_EQ(&made->ClassType(), &TJPEGImage::ClassRecord);
}

TEST(Jpeg, RegistersJpegThenJpg)
{
    TFileFormatsList& list = TFileFormatsList::Instance();
    const std::size_t before = list.Formats().size();
    RegisterJPEGFormats();
    ASSERT_EQ(list.Formats().size(), before + 2);
    const TFileFormat& jpeg = list.Formats()[before];
    const TFileFormat& jpg = list.Formats()[before + 1];
    EXPECT_EQ(jpeg.Extension, "jpeg");
    EXPECT_EQ(jpg.Extension, "jpg");
    EXPECT_EQ(jpeg.Description, "JPEG Image File");
    EXPECT_EQ(jpg.Description, "JPEG Image File");
    EXPECT_EQ(jpeg.Class, &TJPEGImage::ClassRecord);
    EXPECT_EQ(list.ClassForExtension("JPG"), &TJPEGImage::ClassRecord);
    UnregisterJPEGFormats();
    EXPECT_EQ(list.Formats().size(), before);
    EXPECT_EQ(list.ClassForExtension("jpg"), nullptr);
    EXPECT_EQ(list.ClassForExtension("jpeg"), nullptr);
}

struct TColourCase {
    const char* Name;
    TJpegFixture Fixture;
};

class JpegColour : public testing::TestWithParam<TColourCase> {};

TEST_P(JpegColour, HalvesComeOutRedAndBlue)
{
    const auto image = DecodeJpeg(MakeJpeg(GetParam().Fixture));
    EXPECT_EQ(image->Width(), 16);
    EXPECT_EQ(image->Height(), 16);
    EXPECT_EQ(image->PixelDepth(), 24);
    EXPECT_FALSE(image->HasAlphaChannel());
    // Away from the edge, where chroma subsampling blends the halves.
    for (int y : {0, 7, 15}) {
        for (int x : {0, 3, 5}) {
            ExpectNear(Colour(*image, x, y), 0xFF0000, 6, "left " + std::to_string(x) + "," + std::to_string(y));
            ExpectNear(Colour(*image, 15 - x, y), 0x0000FF, 6, "right " + std::to_string(x) + "," + std::to_string(y));
        }
    }
}

TJpegFixture Progressive()
{
    TJpegFixture s = Halves();
    s.Progressive = true;
    return s;
}

// Inverted (Adobe) CMYK: the stored sample is the ink left out.
TJpegFixture AdobeCmyk()
{
    TJpegFixture s;
    s.Components = 4;
    s.Space = JCS_CMYK;
    s.Sample = [](int x, int, int c) -> std::uint8_t {
        const bool left = x < 8; // red: no cyan; blue: no yellow
        const std::uint8_t red[4] = {255, 0, 0, 255};
        const std::uint8_t blue[4] = {0, 0, 255, 255};
        return left ? red[c] : blue[c];
    };
    return s;
}

TJpegFixture PlainCmyk()
{
    TJpegFixture s = AdobeCmyk();
    s.AdobeMarker = false;
    s.Sample = [](int x, int, int c) -> std::uint8_t {
        const std::uint8_t red[4] = {0, 255, 255, 0};
        const std::uint8_t blue[4] = {255, 255, 0, 0};
        return x < 8 ? red[c] : blue[c];
    };
    return s;
}

INSTANTIATE_TEST_SUITE_P(Table, JpegColour,
                         testing::Values(TColourCase{"Baseline", Halves()}, TColourCase{"Progressive", Progressive()},
                                         TColourCase{"AdobeCmyk", AdobeCmyk()}, TColourCase{"PlainCmyk", PlainCmyk()}),
                         [](const testing::TestParamInfo<TColourCase>& test) { return std::string(test.param.Name); });

TEST(Jpeg, GreyscaleBecomesEqualChannels)
{
    TJpegFixture s;
    s.Width = 17; // odd sizes: partial blocks on both axes
    s.Height = 9;
    s.Components = 1;
    s.Space = JCS_GRAYSCALE;
    s.Sample = [](int x, int, int) { return static_cast<std::uint8_t>(x * 15); };
    const auto image = DecodeJpeg(MakeJpeg(s));
    EXPECT_EQ(image->Width(), 17);
    EXPECT_EQ(image->Height(), 9);
    EXPECT_EQ(image->PixelDepth(), 24);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 17; ++x) {
            const std::uint32_t c = Colour(*image, x, y);
            const int grey = static_cast<int>(c & 0xFF);
            EXPECT_EQ(c, static_cast<std::uint32_t>(grey * 0x010101)) << x << "," << y;
            EXPECT_LE(std::abs(grey - x * 15), 3) << x << "," << y;
        }
    }
}

TEST(Jpeg, DecodingReplacesAnAlphaPicture)
{
    TJPEGImage image;
    image.SetPixelDepth(32);
    image.SetSize(3, 3);
    image.SetAlphaChannel(true);
    Decode(image, MakeJpeg(Halves()));
    EXPECT_EQ(image.Width(), 16);
    EXPECT_EQ(image.PixelDepth(), 24);
    EXPECT_FALSE(image.HasAlphaChannel());
}

TEST(Jpeg, StoredFormReadsThroughReadData)
{
    const std::vector<std::uint8_t> jpeg = MakeJpeg(Halves());
    TBytes stored;
    stored.U32(static_cast<std::uint32_t>(jpeg.size())).Append(jpeg);
    TMemoryViewStream stream(stored.Data.data(), static_cast<std::int64_t>(stored.Size()));
    TJPEGImage image;
    image.ReadData(stream);
    EXPECT_EQ(image.Width(), 16);
    ExpectNear(Colour(image, 0, 0), 0xFF0000, 6, "stored");
}

TEST(Jpeg, DataCutInsideTheScanStillDecodes)
{
    // libjpeg warns and fills the rest; the picture keeps its size.
    std::vector<std::uint8_t> jpeg = MakeJpeg(Halves());
    jpeg.resize(jpeg.size() - 40);
    const auto image = DecodeJpeg(jpeg);
    EXPECT_EQ(image->Width(), 16);
    EXPECT_EQ(image->Height(), 16);
}

// ---- broken streams ---------------------------------------------------------------

// The offset of the first marker 0xFF code in a JPEG.
std::size_t MarkerAt(const std::vector<std::uint8_t>& jpeg, std::uint8_t code)
{
    for (std::size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == code)
            return i;
    ADD_FAILURE() << "no marker " << int(code);
    return 0;
}

// The baseline fixture with its SOF0 changed.
std::vector<std::uint8_t> WithFrame(std::function<void(std::vector<std::uint8_t>&, std::size_t)> change)
{
    std::vector<std::uint8_t> jpeg = MakeJpeg(Halves());
    change(jpeg, MarkerAt(jpeg, 0xC0));
    return jpeg;
}

struct TBrokenCase {
    const char* Name;
    std::function<std::vector<std::uint8_t>()> File;
    std::string Message;
};

class JpegBroken : public testing::TestWithParam<TBrokenCase> {};

TEST_P(JpegBroken, RaisesLibjpegsMessage)
{
    TJPEGImage image;
    try {
        Decode(image, GetParam().File());
        ADD_FAILURE() << "decoded";
    } catch (const EJPEGException& e) {
        EXPECT_EQ(e.Message(), GetParam().Message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, JpegBroken,
    testing::Values(
        TBrokenCase{"Empty", [] { return std::vector<std::uint8_t>{}; }, "Empty input file"},
        TBrokenCase{"NotAJpeg", [] { return std::vector<std::uint8_t>{'B', 'M', 1, 2, 3}; },
                    "Not a JPEG file: starts with 0x42 0x4d"},
        TBrokenCase{"StartOfImageOnly", [] { return std::vector<std::uint8_t>{0xFF, 0xD8}; },
                    "JPEG datastream contains no image"},
        TBrokenCase{"CutBeforeTheScan",
                    [] {
                        auto jpeg = MakeJpeg(Halves());
                        jpeg.resize(MarkerAt(jpeg, 0xDA));
                        return jpeg;
                    },
                    "Invalid JPEG file structure: missing SOS marker"},
        TBrokenCase{"HeightZero", [] { return WithFrame([](auto& j, std::size_t at) { j[at + 5] = j[at + 6] = 0; }); },
                    "Empty JPEG image (DNL not supported)"},
        TBrokenCase{"Huge",
                    [] {
                        return WithFrame([](auto& j, std::size_t at) {
                            j[at + 5] = j[at + 7] = 0xFD; // 65000 x 65000
                            j[at + 6] = j[at + 8] = 0xE8;
                        });
                    },
                    "JPEG image too large (65000 x 65000)"},
        TBrokenCase{"JustOverTheLimit",
                    [] {
                        return WithFrame([](auto& j, std::size_t at) {
                            j[at + 5] = 0x0A; // 65500 x 2733 = 179,011,500 pixels
                            j[at + 6] = 0xAD;
                            j[at + 7] = 0xFF;
                            j[at + 8] = 0xDC;
                        });
                    },
                    "JPEG image too large (65500 x 2733)"},
        TBrokenCase{"Precision12", [] { return WithFrame([](auto& j, std::size_t at) { j[at + 4] = 12; }); },
                    "Unsupported JPEG data precision 12"},
        TBrokenCase{"BogusHuffmanTable",
                    [] {
                        auto jpeg = MakeJpeg(Halves());
                        jpeg[MarkerAt(jpeg, 0xC4) + 5] = 0xFF;
                        return jpeg;
                    },
                    "Bogus Huffman table definition"}),
    [](const testing::TestParamInfo<TBrokenCase>& test) { return std::string(test.param.Name); });

TEST(Jpeg, EveryTruncationFailsCleanlyOrDecodes)
{
    for (const auto& jpeg : {MakeJpeg(Halves()), MakeJpeg(Progressive()), MakeJpeg(AdobeCmyk())}) {
        for (std::size_t size = 0; size < jpeg.size(); size += 3) {
            std::vector<std::uint8_t> prefix(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(size));
            TJPEGImage image;
            try {
                Decode(image, prefix);
                EXPECT_EQ(image.Width(), 16) << size;
            } catch (const EJPEGException& e) {
                EXPECT_FALSE(e.Message().empty()) << size;
            }
        }
    }
}

} // namespace
} // namespace quorin::test
