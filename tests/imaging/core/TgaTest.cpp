// The TGA decoder: header checks and their order, orientation, the ID field,
// uncompressed and run-length pixel data, and damaged files.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TgaBuilder.h"
#include "base/Exception.h"
#include "imaging/FileFormats.h"
#include "tests/support/TestSupport.h"

namespace quorin::test {
namespace {

const Bytes A3{0x01, 0x02, 0x03}, B3{0x04, 0x05, 0x06}, C3{0x07, 0x08, 0x09}, D3{0x0A, 0x0B, 0x0C};
const Bytes A4{0x01, 0x02, 0x03, 0x40}, B4{0x04, 0x05, 0x06, 0x00}, C4{0x07, 0x08, 0x09, 0x80}, D4{0x0A, 0x0B, 0x0C, 0xFF};
const Bytes White3{0xFF, 0xFF, 0xFF}, White4{0xFF, 0xFF, 0xFF, 0xFF};

// ---- header checks ---------------------------------------------------------

struct FailureCase {
    const char* Name;
    TgaHeader Header;
    const char* Message;
};

class TgaFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(TgaFailureTest, RaisesItsMessage)
{
    const FailureCase& c = GetParam();
    // Enough pixel bytes behind the header that a wrongly accepted file would decode.
    EXPECT_EQ(TgaFailure(MakeTga(c.Header, Bytes(64, 0x33))), std::optional<std::string>(c.Message));
}

TgaHeader H(std::uint8_t colourMapType, std::uint8_t imageType, std::uint8_t depth, std::uint16_t width = 2,
            std::uint16_t height = 2, std::uint8_t idLength = 0)
{
    TgaHeader h;
    h.ColourMapType = colourMapType;
    h.ImageType = imageType;
    h.PixelDepth = depth;
    h.Width = width;
    h.Height = height;
    h.IdLength = idLength;
    return h;
}

INSTANTIATE_TEST_SUITE_P(
    Messages, TgaFailureTest,
    testing::Values(
        FailureCase{"ColourMapped8", H(1, 1, 8), "ColorMapped TGA unsupported"},
        FailureCase{"TrueColourWithMap", H(1, 2, 24), "ColorMapped TGA unsupported"},
        FailureCase{"RunLengthWithMap", H(1, 10, 32), "ColorMapped TGA unsupported"},
        FailureCase{"MapTypeTwo", H(2, 2, 24), "ColorMapped TGA unsupported"},
        // The colour map is checked before the depth and the type.
        FailureCase{"MapBeforeDepth", H(1, 3, 16), "ColorMapped TGA unsupported"},
        FailureCase{"MapBeforeType", H(1, 9, 24), "ColorMapped TGA unsupported"},
        FailureCase{"GreyScale8", H(0, 3, 8), "Unsupported TGA ImageType"},
        FailureCase{"TrueColour16", H(0, 2, 16), "Unsupported TGA ImageType"},
        FailureCase{"RunLength15", H(0, 10, 15), "Unsupported TGA ImageType"},
        FailureCase{"NoData16", H(0, 0, 16), "Unsupported TGA ImageType"},
        FailureCase{"Depth0", H(0, 2, 0), "Unsupported TGA ImageType"},
        FailureCase{"Depth33", H(0, 2, 33), "Unsupported TGA ImageType"},
        // The depth is checked before the type.
        FailureCase{"DepthBeforeType", H(0, 9, 8), "Unsupported TGA ImageType"},
        FailureCase{"Type9", H(0, 9, 24), "Unsupported TGA ImageType 9"},
        FailureCase{"Type11", H(0, 11, 24), "Unsupported TGA ImageType 11"},
        FailureCase{"Type3Deep", H(0, 3, 24), "Unsupported TGA ImageType 3"},
        FailureCase{"Type1", H(0, 1, 32), "Unsupported TGA ImageType 1"},
        FailureCase{"Type255", H(0, 255, 32), "Unsupported TGA ImageType 255"},
        // The type is known to be wrong before the size matters.
        FailureCase{"HugeType9", H(0, 9, 24, 65535, 65535), "Unsupported TGA ImageType 9"},
        FailureCase{"HugeUncompressed", H(0, 2, 24, 65535, 65535), "TGA picture too large (65535 x 65535 pixels)"},
        FailureCase{"HugeRunLength", H(0, 10, 32, 65535, 65535), "TGA picture too large (65535 x 65535 pixels)"},
        FailureCase{"JustOverLimit", H(0, 2, 32, 65535, 2731), "TGA picture too large (65535 x 2731 pixels)"},
        FailureCase{"JustOverLimitTall", H(0, 10, 24, 2731, 65535), "TGA picture too large (2731 x 65535 pixels)"}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST(TgaHeaderTest, ShortHeadersReadAsZeros)
{
    // Nothing at all: depth 0.
    EXPECT_EQ(TgaFailure({}), std::optional<std::string>("Unsupported TGA ImageType"));
    // Three bytes: type 2 but depth 0.
    EXPECT_EQ(TgaFailure({0, 0, 2}), std::optional<std::string>("Unsupported TGA ImageType"));
    EXPECT_EQ(TgaFailure({0, 1}), std::optional<std::string>("ColorMapped TGA unsupported"));

    // Seventeen bytes: only the descriptor is missing (bottom-up); the one
    // pixel the file lacks stays white.
    Bytes file = MakeTga(H(0, 2, 24, 1, 1));
    file.resize(17);
    auto image = DecodeTga(file);
    EXPECT_EQ(image->Width(), 1);
    EXPECT_EQ(image->Height(), 1);
    EXPECT_EQ(RowBytes(*image, 0), White3);
}

TEST(TgaHeaderTest, FailureIsATgaExceptionAndAQuorinException)
{
    Bytes file = MakeTga(H(1, 1, 8));
    TMemoryViewStream stream(file.data(), static_cast<std::int64_t>(file.size()));
    TTGAImage image;
    try {
        image.DecodeStream(stream);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_NE(dynamic_cast<const ETGAException*>(&e), nullptr);
        EXPECT_EQ(e.Message(), "ColorMapped TGA unsupported");
    }
}

// ---- empty pictures --------------------------------------------------------

TEST(TgaEmptyTest, ImageTypeZeroYieldsAnEmptyPicture)
{
    for (std::uint8_t depth : {std::uint8_t{24}, std::uint8_t{32}}) {
        for (std::uint16_t size : {std::uint16_t{0}, std::uint16_t{4}, std::uint16_t{65535}}) {
            SCOPED_TRACE(testing::Message() << "depth " << int(depth) << " size " << size);
            Bytes file = MakeTga(H(0, 0, depth, size, size, 3), Bytes(16, 0x55));
            TMemoryViewStream stream(file.data(), static_cast<std::int64_t>(file.size()));
            TTGAImage image;
            image.DecodeStream(stream);
            EXPECT_EQ(image.Width(), 0);
            EXPECT_EQ(image.Height(), 0);
            EXPECT_EQ(image.PixelDepth(), depth);
            // Header and ID field only: no pixel data is read.
            EXPECT_EQ(stream.Position(), 18 + 3);
        }
    }
}

TEST(TgaEmptyTest, HeightZeroReadsNoPixelData)
{
    for (std::uint8_t type : {std::uint8_t{2}, std::uint8_t{10}}) {
        SCOPED_TRACE(int(type));
        Bytes file = MakeTga(H(0, type, 24, 5, 0, 2), Bytes(16, 0x55));
        TMemoryViewStream stream(file.data(), static_cast<std::int64_t>(file.size()));
        TTGAImage image;
        image.DecodeStream(stream);
        EXPECT_EQ(image.Width(), 5);
        EXPECT_EQ(image.Height(), 0);
        EXPECT_EQ(stream.Position(), 18 + 2);
        EXPECT_THROW(image.RowAddress(0), EInvalidGraphic);
    }
}

TEST(TgaEmptyTest, WidthZeroKeepsItsRows)
{
    auto image = DecodeTga(MakeTga(H(0, 2, 32, 0, 3)));
    EXPECT_EQ(image->Width(), 0);
    EXPECT_EQ(image->Height(), 3);
}

// ---- orientation, depth, alpha ---------------------------------------------

struct OrientationCase {
    std::uint8_t Descriptor;
    bool TopDown;
};

class TgaOrientationTest : public testing::TestWithParam<std::tuple<OrientationCase, int, std::uint8_t>> {};

// 2 x 2 picture stored as rows [A B] then [C D]; for the run-length type the
// same pixels come as one raw packet of four.
TEST_P(TgaOrientationTest, OnlyBitFiveDecidesTheRowOrder)
{
    auto [orientation, depth, type] = GetParam();
    const bool deep = depth == 32;
    const Bytes& a = deep ? A4 : A3;
    const Bytes& b = deep ? B4 : B3;
    const Bytes& c = deep ? C4 : C3;
    const Bytes& d = deep ? D4 : D3;
    TgaHeader h = H(0, type, static_cast<std::uint8_t>(depth));
    h.Descriptor = orientation.Descriptor;
    Bytes pixels = Concat({a, b, c, d});
    Bytes body = type == 10 ? Concat({{0x03}, pixels}) : pixels;

    auto image = DecodeTga(MakeTga(h, body));
    ASSERT_EQ(image->Width(), 2);
    ASSERT_EQ(image->Height(), 2);
    EXPECT_EQ(image->PixelDepth(), depth);
    EXPECT_EQ(image->HasAlphaChannel(), deep);
    // Pixels always run left to right (bit 4 has no effect); alpha bytes
    // arrive unchanged.
    Bytes first = Concat({a, b}), second = Concat({c, d});
    EXPECT_EQ(RowBytes(*image, 0), orientation.TopDown ? first : second);
    EXPECT_EQ(RowBytes(*image, 1), orientation.TopDown ? second : first);
}

INSTANTIATE_TEST_SUITE_P(Descriptors, TgaOrientationTest,
                         testing::Combine(testing::Values(OrientationCase{0x00, false}, OrientationCase{0x20, true},
                                                          OrientationCase{0x08, false}, OrientationCase{0x28, true},
                                                          OrientationCase{0x10, false}, OrientationCase{0x30, true},
                                                          OrientationCase{0xDF, false}, OrientationCase{0xE0, true}),
                                          testing::Values(24, 32), testing::Values<std::uint8_t>(2, 10)));

TEST(TgaPixelsTest, TwentyFourBitRowsKeepTheirFillerWhite)
{
    // Width 3 at 24 bits: 9 bytes of pixels, 12-byte stride.
    TgaHeader h = H(0, 2, 24, 3, 2);
    h.Descriptor = 0x20;
    auto image = DecodeTga(MakeTga(h, Concat({A3, B3, C3, D3, A3, B3})));
    EXPECT_EQ(image->RowStride(), 12);
    EXPECT_EQ(RowBytes(*image, 0), Concat({A3, B3, C3}));
    EXPECT_EQ(RowBytes(*image, 1), Concat({D3, A3, B3}));
    EXPECT_EQ(image->RowAddress(1) - image->RowAddress(0), 12);
    for (int row = 0; row < 2; ++row)
        for (int i = 9; i < 12; ++i)
            EXPECT_EQ(image->RowAddress(row)[i], 0xFF);
}

TEST(TgaPixelsTest, IdFieldIsSkipped)
{
    for (std::uint8_t idLength : {std::uint8_t{1}, std::uint8_t{5}, std::uint8_t{255}}) {
        for (std::uint8_t type : {std::uint8_t{2}, std::uint8_t{10}}) {
            SCOPED_TRACE(testing::Message() << "id " << int(idLength) << " type " << int(type));
            TgaHeader h = H(0, type, 24, 2, 1, idLength);
            Bytes body = type == 10 ? Concat({{0x01}, A3, B3}) : Concat({A3, B3});
            auto image = DecodeTga(MakeTga(h, body));
            EXPECT_EQ(RowBytes(*image, 0), Concat({A3, B3}));
        }
    }
}

TEST(TgaPixelsTest, UncompressedReadingStopsAtTheLastRow)
{
    TgaHeader h = H(0, 2, 24, 1, 1);
    Bytes file = MakeTga(h, Concat({A3, Bytes(26, 0x77)})); // footer behind the pixels
    TMemoryViewStream stream(file.data(), static_cast<std::int64_t>(file.size()));
    TTGAImage image;
    image.DecodeStream(stream);
    EXPECT_EQ(RowBytes(image, 0), A3);
    EXPECT_EQ(stream.Position(), 18 + 3);
}

// ---- run-length packets ----------------------------------------------------

TEST(TgaRunLengthTest, RunAndRawPackets)
{
    // 0x83 P: four copies of P; 0x02 A B C: those three pixels.
    TgaHeader h = H(0, 10, 24, 7, 1);
    auto image = DecodeTga(MakeTga(h, Concat({{0x83}, D3, {0x02}, A3, B3, C3})));
    EXPECT_EQ(RowBytes(*image, 0), Concat({D3, D3, D3, D3, A3, B3, C3}));
}

TEST(TgaRunLengthTest, PacketsCrossRows)
{
    // 3 x 2, stored top row first: raw [A B], run of 3 x C (row 0 col 2 and
    // row 1 cols 0-1), raw [D].
    for (std::uint8_t descriptor : {std::uint8_t{0x00}, std::uint8_t{0x20}}) {
        SCOPED_TRACE(int(descriptor));
        TgaHeader h = H(0, 10, 32, 3, 2);
        h.Descriptor = descriptor;
        auto image = DecodeTga(MakeTga(h, Concat({{0x01}, A4, B4, {0x82}, C4, {0x00}, D4})));
        Bytes stored0 = Concat({A4, B4, C4}), stored1 = Concat({C4, C4, D4});
        bool topDown = descriptor == 0x20;
        EXPECT_EQ(RowBytes(*image, 0), topDown ? stored0 : stored1);
        EXPECT_EQ(RowBytes(*image, 1), topDown ? stored1 : stored0);
    }
}

TEST(TgaRunLengthTest, OneRunFillsSeveralRows)
{
    TgaHeader h = H(0, 10, 24, 5, 3);
    auto image = DecodeTga(MakeTga(h, Concat({{0x8E}, B3}))); // 15 pixels
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(RowBytes(*image, row), Repeat(B3, 5)) << row;
}

// Every run length from 1 to 128 at both depths, followed by a raw packet
// that must land right behind the run.
TEST(TgaRunLengthTest, EveryRunLength)
{
    for (int depth : {24, 32}) {
        const Bytes& run = depth == 32 ? C4 : C3;
        const Bytes& tail = depth == 32 ? A4 : A3;
        for (int n = 1; n <= 128; ++n) {
            SCOPED_TRACE(testing::Message() << depth << " bits, run of " << n);
            TgaHeader h = H(0, 10, static_cast<std::uint8_t>(depth), static_cast<std::uint16_t>(n + 1), 1);
            auto image = DecodeTga(
                MakeTga(h, Concat({{static_cast<std::uint8_t>(0x80 | (n - 1))}, run, {0x00}, tail})));
            ASSERT_EQ(RowBytes(*image, 0), Concat({Repeat(run, n), tail}));
        }
    }
}

TEST(TgaRunLengthTest, RawPacketOf128)
{
    Bytes pixels;
    for (int i = 0; i < 128; ++i)
        pixels.insert(pixels.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 3),
                                     static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i ^ 0x5A)});
    TgaHeader h = H(0, 10, 32, 128, 1);
    auto image = DecodeTga(MakeTga(h, Concat({{0x7F}, pixels})));
    EXPECT_EQ(RowBytes(*image, 0), pixels);
}

TEST(TgaRunLengthTest, PacketsPastTheEndAreClipped)
{
    struct Case {
        const char* Name;
        std::uint8_t Depth;
        Bytes Body;
        Bytes Row;
    };
    const Case cases[] = {
        {"RunOf6Into2", 24, Concat({{0x85}, B3}), Concat({B3, B3})},
        {"RunOf128Into2", 32, Concat({{0xFF}, C4}), Concat({C4, C4})},
        {"RawOf5Into2", 24, Concat({{0x04}, A3, B3, C3, D3, A3}), Concat({A3, B3})},
        {"RawAfterRun", 24, Concat({{0x80}, D3, {0x03}, A3, B3, C3, D3}), Concat({D3, A3})},
        {"RawOf128Into2", 32, Concat({{0x7F}, Repeat(C4, 128)}), Concat({C4, C4})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        auto image = DecodeTga(MakeTga(H(0, 10, c.Depth, 2, 1), c.Body));
        EXPECT_EQ(RowBytes(*image, 0), c.Row);
    }
}

TEST(TgaRunLengthTest, StreamEndsWhereThePacketsEnd)
{
    // The decoder reads ahead in blocks; what it did not use goes back.
    TgaHeader h = H(0, 10, 24, 4, 1);
    Bytes packets = Concat({{0x81}, A3, {0x01}, B3, C3});
    Bytes file = MakeTga(h, Concat({packets, Bytes(40000, 0x99)}));
    TMemoryViewStream stream(file.data(), static_cast<std::int64_t>(file.size()));
    TTGAImage image;
    image.DecodeStream(stream);
    EXPECT_EQ(RowBytes(image, 0), Concat({A3, A3, B3, C3}));
    EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(18 + packets.size()));
}

// ---- damaged files ---------------------------------------------------------

TEST(TgaTruncatedTest, UncompressedRowsTheFileLacksStayWhite)
{
    struct Case {
        const char* Name;
        std::uint8_t Descriptor;
        Bytes Body;
        Bytes Row0, Row1;
    };
    // 2 x 2 at 24 bits; the file holds 1.5 rows or less.
    const Case cases[] = {
        {"BottomUpRowAndAHalf", 0x00, Concat({A3, B3, C3, {0x0D}}), Concat({C3, {0x0D, 0xFF, 0xFF}}),
         Concat({A3, B3})},
        {"TopDownRowAndAHalf", 0x20, Concat({A3, B3, C3, {0x0D}}), Concat({A3, B3}),
         Concat({C3, {0x0D, 0xFF, 0xFF}})},
        {"NoPixels", 0x20, {}, Concat({White3, White3}), Concat({White3, White3})},
        {"OneByte", 0x20, {0x42}, Concat({{0x42, 0xFF, 0xFF}, White3}), Concat({White3, White3})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TgaHeader h = H(0, 2, 24, 2, 2);
        h.Descriptor = c.Descriptor;
        auto image = DecodeTga(MakeTga(h, c.Body));
        EXPECT_EQ(RowBytes(*image, 0), c.Row0);
        EXPECT_EQ(RowBytes(*image, 1), c.Row1);
    }
}

TEST(TgaTruncatedTest, RunLengthDataThatStopsHalfwayStillDecodes)
{
    struct Case {
        const char* Name;
        std::uint8_t Depth;
        Bytes Body;
        Bytes Row0, Row1; // top-down, 3 x 2
    };
    const Case cases[] = {
        {"AfterAWholePacket", 24, Concat({{0x83}, A3}), Concat({A3, A3, A3}), Concat({A3, White3, White3})},
        {"InsideARunPixel", 24, {0x84, 0x11, 0x22},
         Repeat({0x11, 0x22, 0xFF}, 3), Concat({{0x11, 0x22, 0xFF, 0x11, 0x22, 0xFF}, White3})},
        {"InsideARawPacket", 32, Concat({{0x03}, A4, {0x05}}), Concat({A4, {0x05, 0xFF, 0xFF, 0xFF}, White4}),
         Repeat(White4, 3)},
        {"AfterAPacketHeader", 24, Concat({{0x00}, B3, {0x85}}), Concat({B3, White3, White3}), Repeat(White3, 3)},
        {"NoPackets", 32, {}, Repeat(White4, 3), Repeat(White4, 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TgaHeader h = H(0, 10, c.Depth, 3, 2);
        h.Descriptor = 0x20;
        auto image = DecodeTga(MakeTga(h, c.Body));
        EXPECT_EQ(RowBytes(*image, 0), c.Row0);
        EXPECT_EQ(RowBytes(*image, 1), c.Row1);
    }
}

TEST(TgaTruncatedTest, LargeDeclaredSizeWithLittleData)
{
    // 4096 x 4096 declared, a few bytes given: decodes, white past the data.
    for (std::uint8_t type : {std::uint8_t{2}, std::uint8_t{10}}) {
        SCOPED_TRACE(int(type));
        TgaHeader h = H(0, type, 32, 4096, 4096);
        h.Descriptor = 0x20;
        Bytes body = type == 10 ? Concat({{0x81}, A4}) : Concat({A4, A4});
        auto image = DecodeTga(MakeTga(h, body));
        EXPECT_EQ(image->Width(), 4096);
        EXPECT_EQ(image->Height(), 4096);
        const std::uint8_t* top = image->RowAddress(0);
        EXPECT_EQ(Bytes(top, top + 12), Concat({A4, A4, White4}));
        EXPECT_EQ(RowBytes(*image, 4095), Repeat(White4, 4096));
    }
}

// ---- reuse, files, registration --------------------------------------------

TEST(TgaReuseTest, ASecondDecodeStartsFromWhite)
{
    TTGAImage image;
    TgaHeader h = H(0, 2, 24, 2, 1);
    Bytes full = MakeTga(h, Concat({A3, B3}));
    TMemoryViewStream first(full.data(), static_cast<std::int64_t>(full.size()));
    image.DecodeStream(first);
    Bytes cut = MakeTga(h, A3);
    TMemoryViewStream second(cut.data(), static_cast<std::int64_t>(cut.size()));
    image.DecodeStream(second);
    EXPECT_EQ(RowBytes(image, 0), Concat({A3, White3}));

    // A 32-bit picture after a 24-bit one, then an empty one.
    Bytes deep = MakeTga(H(0, 10, 32, 1, 1), Concat({{0x80}, C4}));
    TMemoryViewStream third(deep.data(), static_cast<std::int64_t>(deep.size()));
    image.DecodeStream(third);
    EXPECT_EQ(image.PixelDepth(), 32);
    EXPECT_TRUE(image.HasAlphaChannel());
    EXPECT_EQ(RowBytes(image, 0), C4);
    Bytes none = MakeTga(H(0, 0, 24, 9, 9));
    TMemoryViewStream fourth(none.data(), static_cast<std::int64_t>(none.size()));
    image.DecodeStream(fourth);
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.Height(), 0);
    EXPECT_FALSE(image.HasAlphaChannel());
}

TEST(TgaFileTest, DecodeFileReadsTheFileAndReportsAMissingOne)
{
    TempDir dir;
    std::filesystem::path path = dir.File("tga_file_test.tga");
    WriteFile(path.string(), MakeTga(H(0, 2, 24, 2, 1), Concat({B3, C3})));
    TTGAImage image;
    image.DecodeFile(path.string());
    EXPECT_EQ(RowBytes(image, 0), Concat({B3, C3}));
    std::filesystem::remove(path);

    try {
        image.DecodeFile(path.string());
        FAIL() << "no exception";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file " + path.string());
    }
}

// A file on disk is read in order through a buffer, not held whole; it
// decodes to the picture its bytes in memory give, and the stream is left
// after the bytes the picture used.
TEST(TgaFileTest, FileAndMemoryGiveTheSamePicture)
{
    const Bytes trailer{0x55, 0x66};
    const struct {
        const char* Name;
        Bytes File;
        std::size_t Used;
    } cases[] = {
        {"raw with ID field", MakeTga(H(0, 2, 24, 2, 2, 3), Concat({A3, B3, C3, D3})), 18 + 3 + 12},
        {"run-length across rows", MakeTga(H(0, 10, 32, 3, 2), Concat({{0x82}, A4, {0x02}, B4, C4, D4})), 18 + 5 + 13},
        // Cut short: the rest stays white and the whole file is used.
        {"run-length cut short", MakeTga(H(0, 10, 32, 3, 2), Concat({{0x82}, A4, {0x01}, B4})), 0},
        {"raw cut short", MakeTga(H(0, 2, 24, 2, 2), Concat({A3, B3, C3})), 0},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = dir.File("file.tga");
        WriteFile(path, c.Used > 0 ? Concat({c.File, trailer}) : c.File);
        const auto held = DecodeTga(c.File);
        TTGAImage image;
        TFileStream stream(path, TFileMode::OpenRead);
        image.DecodeStream(stream);
        EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(c.Used > 0 ? c.Used : c.File.size()));
        ASSERT_EQ(image.Height(), held->Height());
        for (int y = 0; y < image.Height(); ++y)
            EXPECT_EQ(RowBytes(image, y), RowBytes(*held, y)) << "row " << y;
    }
}

TEST(TgaClassTest, ClassRecord)
{
    EXPECT_EQ(TTGAImage::ClassRecord.Name, "TTGAImage");
    EXPECT_EQ(TTGAImage::ClassRecord.Base, &TBitmap::ClassRecord);
    ASSERT_NE(TTGAImage::ClassRecord.Create, nullptr);
    auto made = TTGAImage::ClassRecord.Create();
    EXPECT_EQ(&made->ClassType(), &TTGAImage::ClassRecord);
    EXPECT_EQ(made->Width(), 0);
}

} // namespace
} // namespace quorin::test

namespace quorin::test {
namespace {

// The header alone, as inspecting a package reads it, gives decoding's
// verdict: the same size, or the same failure.
TEST(TgaHeaderTest, TheHeaderAloneGivesTheVerdictOfDecoding)
{
    struct Case {
        TgaHeader header;
        const char* kind;
    };
    auto with = [](auto change) {
        TgaHeader h;
        change(h);
        return h;
    };
    const Case cases[] = {
        {with([](TgaHeader& h) { h.Width = 160, h.Height = 210, h.PixelDepth = 32; }), "32-bit TGA"},
        {with([](TgaHeader& h) { h.ImageType = 10, h.Width = 3; }), "24-bit run-length TGA"},
        {with([](TgaHeader& h) { h.ImageType = 0, h.Width = 9; }), "24-bit TGA"},
        {with([](TgaHeader& h) { h.Width = 300, h.Height = 200; }), "24-bit TGA"}, // no pixels: decodes as white
        {with([](TgaHeader& h) { h.ColourMapType = 1; }), nullptr},
        {with([](TgaHeader& h) { h.PixelDepth = 16; }), nullptr},
        {with([](TgaHeader& h) { h.ImageType = 3; }), nullptr},
        {with([](TgaHeader& h) { h.Width = 65535, h.Height = 65535; }), nullptr},
    };
    for (const auto& c : cases) {
        Bytes file = MakeTga(c.header);
        SCOPED_TRACE(testing::PrintToString(file));
        const TPictureHeader header = InspectTGAHeader(file.data(), file.size());
        const auto failure = TgaFailure(file);
        EXPECT_EQ(header.Error, failure.value_or(""));
        EXPECT_EQ(failure.has_value(), c.kind == nullptr);
        if (failure || !c.kind)
            continue;
        EXPECT_EQ(header.Kind, c.kind);
        auto decoded = DecodeTga(file);
        EXPECT_EQ(header.Width, decoded->Width());
        EXPECT_EQ(header.Height, decoded->Height());
    }
}

} // namespace
} // namespace quorin::test
