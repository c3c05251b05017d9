// The platform's PNG and JPEG codecs (libpng and libjpeg-turbo on Linux, the
// Windows Imaging Component on Windows) against pixels the Linux build
// decoded from the same files (tests/data/codecs, made by
// MakeCodecReferences.cpp): PNG exactly, JPEG within the tolerances below.

#include <gtest/gtest.h>

#include <algorithm>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "PixelDump.h"
#include "base/Stream.h"
#include "imaging/ICO.h"
#include "imaging/JPEG.h"
#include "imaging/PlatformCodecs.h"

namespace quorin {
namespace {

using Bytes = std::vector<std::uint8_t>;

// How far a channel may be from libjpeg-turbo's decode: the largest
// difference, and the mean over all channels in hundredths of a level.
struct TTolerance {
    int Largest = 0;
    int MeanHundredths = 0;
};
constexpr TTolerance Exact{0, 0};
// Inverse transforms round differently: a level or two.
constexpr TTolerance TransformRounding{2, 100};
// Halved chroma is upsampled differently (libjpeg-turbo's triangle filter,
// other codecs' own): at a hard colour edge a pixel may be far off, the
// picture as a whole may not. Wine's codec, measured: 7 and 0.92 levels.
constexpr TTolerance ChromaUpsampling{32, 200};

Bytes ReadData(const std::string& name)
{
    std::ifstream in(std::string(QUORIN_TEST_DATA) + "/codecs/" + name, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct TDifference {
    int Largest = 0;
    int MeanHundredths = 0;
};

TDifference DifferenceOf(const test::TPixels& got, const test::TPixels& want)
{
    TDifference difference;
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < got.Data.size(); ++i) {
        const int d = std::abs(int{got.Data[i]} - int{want.Data[i]});
        difference.Largest = std::max(difference.Largest, d);
        sum += d;
    }
    if (!got.Data.empty())
        difference.MeanHundredths = static_cast<int>(sum * 100 / static_cast<std::int64_t>(got.Data.size()));
    return difference;
}

struct TReferenceCase {
    const char* File;
    TTolerance Tolerance;
};

void PrintTo(const TReferenceCase& c, std::ostream* out) { *out << c.File; }

// Cases named after their files, so ctest's names stay the same between runs.
std::string CaseName(const ::testing::TestParamInfo<TReferenceCase>& info)
{
    std::string name = info.param.File;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

class ReferenceTest : public ::testing::TestWithParam<TReferenceCase> {};

void ExpectLikeReference(const std::string& file, const TBitmap& bitmap, TTolerance tolerance)
{
    auto want = test::ReadPixelDump(ReadData(file + ".pixels"));
    ASSERT_TRUE(want) << file << ".pixels is missing or damaged";
    const test::TPixels got = test::PixelsOf(bitmap);
    ASSERT_TRUE(got.Width == want->Width && got.Height == want->Height && got.BytesPerPixel == want->BytesPerPixel)
        << file << ": decoded as " << got.Width << " x " << got.Height << " at " << got.BytesPerPixel * 8
        << " bits, the reference is " << want->Width << " x " << want->Height << " at " << want->BytesPerPixel * 8;
    const TDifference difference = DifferenceOf(got, *want);
    EXPECT_LE(difference.Largest, tolerance.Largest) << file << ": a channel differs from the Linux decode by "
                                                     << difference.Largest;
    EXPECT_LE(difference.MeanHundredths, tolerance.MeanHundredths)
        << file << ": the channels differ from the Linux decode by " << difference.MeanHundredths / 100.0
        << " levels on average";
}

// PNG as icons decode their entries, JPEG as the picture format does.
TEST_P(ReferenceTest, DecodesAsTheLinuxBuildDoes)
{
    const TReferenceCase& c = GetParam();
    Bytes file = ReadData(c.File);
    ASSERT_FALSE(file.empty()) << c.File << " is missing";
    const bool png = std::string_view(c.File).ends_with(".png");
    TJPEGImage decoded; // a Bitmap either way
    try {
        if (png)
            codecs::DecodePng(file, decoded);
        else
            decoded.DecodeJPEG(file);
    } catch (const Exception& e) {
        FAIL() << "this platform's codec cannot decode " << c.File << ": " << e.Message();
    }
    ExpectLikeReference(c.File, decoded, c.Tolerance);
}

INSTANTIATE_TEST_SUITE_P(Files, ReferenceTest,
                         ::testing::Values(TReferenceCase{"rgba8.png", Exact}, TReferenceCase{"rgb16.png", Exact},
                                           TReferenceCase{"grey_alpha8_interlaced.png", Exact},
                                           TReferenceCase{"grey2.png", Exact},
                                           TReferenceCase{"palette_trns.png", Exact},
                                           TReferenceCase{"colour444.jpg", TransformRounding},
                                           TReferenceCase{"colour_progressive.jpg", TransformRounding},
                                           TReferenceCase{"grey.jpg", TransformRounding},
                                           TReferenceCase{"colour420.jpg", ChromaUpsampling}),
                         CaseName);

// An icon's PNG entry goes through the same codec; its alpha decides the depth.
TEST(PlatformCodecsTest, IconPngEntryKeepsItsPixelsAndAlpha)
{
    Bytes png = ReadData("rgba8.png");
    ASSERT_FALSE(png.empty());
    Bytes icon = {0, 0, 1, 0, 1, 0, 13, 7, 0, 0, 1, 0, 32, 0};
    for (std::uint32_t value : {static_cast<std::uint32_t>(png.size()), 22u})
        for (int shift = 0; shift < 32; shift += 8)
            icon.push_back(static_cast<std::uint8_t>(value >> shift));
    icon.insert(icon.end(), png.begin(), png.end());
    TIcon decoded;
    decoded.DecodeICO(icon);
    EXPECT_TRUE(decoded.HasAlphaChannel());
    ExpectLikeReference("rgba8.png", decoded, Exact);
}

// Whether a PNG file says its pixels carry alpha: a colour type with an
// alpha channel, or a tRNS chunk.
bool FileCarriesAlpha(const Bytes& file)
{
    if (file.size() > 25 && (file[25] == 4 || file[25] == 6))
        return true;
    static constexpr char Trns[] = "tRNS";
    return std::search(file.begin(), file.end(), Trns, Trns + 4) != file.end();
}

// What the writer gives, the reader takes back unchanged; the file carries
// alpha when the bitmap's alpha is asked for and is not all opaque, never
// when it is not asked for (an opaque picture may be written either way).
TEST(PlatformCodecsTest, EncodedPngDecodesToTheSamePixels)
{
    struct TCase {
        int Depth;
        bool WithAlpha;
    };
    for (TCase c : {TCase{24, false}, TCase{24, true}, TCase{32, true}, TCase{32, false}}) {
        SCOPED_TRACE("depth " + std::to_string(c.Depth) + (c.WithAlpha ? " with alpha" : " without alpha"));
        TBitmap source;
        source.SetPixelDepth(c.Depth);
        source.SetSize(5, 3); // rows of 15 and 20 bytes: padded and not
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5 * c.Depth / 8; ++x)
                source.RowAddress(y)[x] = static_cast<std::uint8_t>(x * 29 + y * 71);
        TMemoryStream stream;
        codecs::EncodePng(source, stream, c.WithAlpha);
        Bytes file(stream.Memory(), stream.Memory() + stream.Size());
        ASSERT_GT(file.size(), 26u);
        if (!c.WithAlpha)
            EXPECT_FALSE(FileCarriesAlpha(file));
        else if (c.Depth == 32)
            EXPECT_TRUE(FileCarriesAlpha(file));

        TBitmap back;
        codecs::DecodePng(file, back);
        ASSERT_EQ(back.Width(), 5);
        ASSERT_EQ(back.Height(), 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                const std::uint8_t* want = source.RowAddress(y) + x * source.BytesPerPixel();
                const std::uint8_t* got = back.RowAddress(y) + x * 4;
                EXPECT_EQ(got[0], want[0]);
                EXPECT_EQ(got[1], want[1]);
                EXPECT_EQ(got[2], want[2]);
                EXPECT_EQ(got[3], c.WithAlpha && c.Depth == 32 ? want[3] : 255) << x << "," << y;
            }
    }
}

// Rows of every kind (smooth both ways, noise, a row like the one above,
// one flat colour) make the writer pick each of its row filters; whichever
// it picks, and at the picture's first row and column, the pixels come back.
TEST(PlatformCodecsTest, EveryRowFilterDecodesToTheSamePixels)
{
    for (auto [width, height] : {std::pair{1, 9}, std::pair{9, 1}, std::pair{2, 2}, std::pair{67, 41}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        TBitmap source;
        source.SetPixelDepth(32);
        source.SetSize(width, height);
        std::uint32_t noise = 12345;
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = source.RowAddress(y);
            for (int i = 0; i < width * 4; ++i) {
                noise = noise * 1103515245u + 12345u;
                const int x = i / 4;
                switch (y % 5) {
                case 0: row[i] = static_cast<std::uint8_t>(x * 3 + y * 5 + i % 4 * 60); break;
                case 1: row[i] = static_cast<std::uint8_t>(noise >> 24); break;
                case 2: row[i] = y > 0 ? source.RowAddress(y - 1)[i] : 7; break;
                case 3: row[i] = static_cast<std::uint8_t>(200 - i % 4 * 40); break;
                default: row[i] = static_cast<std::uint8_t>((x * x + y * y) / 3 + (noise >> 30)); break;
                }
            }
        }
        TMemoryStream stream;
        codecs::EncodePng(source, stream, true);
        TBitmap back;
        codecs::DecodePng(Bytes(stream.Memory(), stream.Memory() + stream.Size()), back);
        ASSERT_EQ(back.Width(), width);
        ASSERT_EQ(back.Height(), height);
        for (int y = 0; y < height; ++y)
            ASSERT_EQ(0, std::memcmp(back.RowAddress(y), source.RowAddress(y), static_cast<std::size_t>(width) * 4))
                << "row " << y;
    }
}

// Each decoder takes only its own format, and a cut-off file is an error,
// never a picture of whatever was decoded so far.
TEST(PlatformCodecsTest, WrongOrCutOffDataIsACodecError)
{
    Bytes png = ReadData("rgba8.png");
    Bytes jpeg = ReadData("colour420.jpg");
    ASSERT_FALSE(png.empty());
    ASSERT_FALSE(jpeg.empty());
    TBitmap bitmap;
    EXPECT_THROW(codecs::DecodePng(jpeg, bitmap), ECodecError);
    EXPECT_THROW(codecs::DecodeJpeg(png, bitmap), ECodecError);
    EXPECT_THROW(codecs::DecodePng(Bytes(png.begin(), png.begin() + 40), bitmap), ECodecError);
    EXPECT_THROW(codecs::DecodeJpeg(Bytes(jpeg.begin(), jpeg.begin() + 100), bitmap), ECodecError);
    EXPECT_THROW(codecs::DecodePng(Bytes{}, bitmap), ECodecError);
}

} // namespace
} // namespace quorin
