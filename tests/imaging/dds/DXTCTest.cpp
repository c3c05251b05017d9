#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "imaging/DXTC.h"
#include "imaging/DXTCPaths.h"

namespace quorin {
namespace dxtc {
// Names the path in GoogleTest's messages.
void PrintTo(TPath path, std::ostream* out)
{
    *out << (path == TPath::Scalar ? "Scalar" : "Ssse3");
}
} // namespace dxtc

namespace {

using dxtc::TPath;

struct TPixel {
    int Blue, Green, Red, Alpha;
    friend bool operator==(const TPixel&, const TPixel&) = default;
};

std::ostream& operator<<(std::ostream& out, const TPixel& p)
{
    return out << "(" << p.Blue << ", " << p.Green << ", " << p.Red << ", " << p.Alpha << ")";
}

// Reads a destination pixel by its bytes, which must be blue, green, red, alpha.
TPixel PixelAt(const std::vector<std::uint32_t>& pixels, std::size_t index)
{
    std::uint8_t b[4];
    std::memcpy(b, &pixels.at(index), 4);
    return {b[0], b[1], b[2], b[3]};
}

void Put16(std::uint8_t* p, unsigned v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v)
{
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

// A colour block whose pixel (r, k) selects entry k: every row's index byte is
// 11 10 01 00.
std::array<std::uint8_t, 8> ColourBlock(unsigned c0, unsigned c1, std::uint32_t indices = 0xE4E4E4E4)
{
    std::array<std::uint8_t, 8> block{};
    Put16(&block[0], c0);
    Put16(&block[2], c1);
    Put32(&block[4], indices);
    return block;
}

constexpr std::uint32_t Sentinel = 0xA5C3E1F7;

// How DXT1/3/5 blocks decode, written out pixel by pixel independently of
// the decoder's code, as an oracle for random data.
struct TReference {
    static TPixel Widen(unsigned c) { return {int((c & 31) << 3), int(((c >> 5) & 63) << 2), int((c >> 11) << 3), 255}; }

    static std::array<TPixel, 4> Colours(unsigned c0, unsigned c1, bool dxt1)
    {
        TPixel e0 = Widen(c0), e1 = Widen(c1);
        auto mix = [&](int w0, int w1, int add, int div, int alpha) {
            return TPixel{(w0 * e0.Blue + w1 * e1.Blue + add) / div, (w0 * e0.Green + w1 * e1.Green + add) / div,
                          (w0 * e0.Red + w1 * e1.Red + add) / div, alpha};
        };
        if (dxt1 && c0 <= c1)
            return {e0, e1, mix(1, 1, 0, 2, 255), mix(1, 2, 1, 3, 0)};
        return {e0, e1, mix(2, 1, 1, 3, 255), mix(1, 2, 1, 3, 255)};
    }

    static std::array<int, 8> Alphas(int a0, int a1)
    {
        if (a0 > a1)
            return {a0, a1, (6 * a0 + a1 + 3) / 7, (5 * a0 + 2 * a1 + 3) / 7, (4 * a0 + 3 * a1 + 3) / 7,
                    (3 * a0 + 4 * a1 + 3) / 7, (2 * a0 + 5 * a1 + 3) / 7, (a0 + 6 * a1 + 3) / 7};
        return {a0, a1, (4 * a0 + a1 + 2) / 5, (3 * a0 + 2 * a1 + 2) / 5, (2 * a0 + 3 * a1 + 2) / 5,
                (a0 + 4 * a1 + 2) / 5, 0, 255};
    }

    // kind 1, 3 or 5. Returns hasTransparency.
    static bool Decode(int kind, const std::vector<std::uint8_t>& source, std::vector<std::uint32_t>& out, int w, int h)
    {
        bool transparent = false;
        const std::size_t blockSize = kind == 1 ? 8 : 16;
        std::size_t at = 0;
        for (int by = 0; by < (h + 3) / 4; ++by)
            for (int bx = 0; bx < (w + 3) / 4; ++bx, at += blockSize) {
                const std::uint8_t* b = &source.at(at);
                const std::uint8_t* c = kind == 1 ? b : b + 8;
                unsigned c0 = c[0] | c[1] << 8, c1 = c[2] | c[3] << 8;
                std::uint32_t indices = c[4] | c[5] << 8 | c[6] << 16 | std::uint32_t(c[7]) << 24;
                if (kind == 1 && c0 <= c1)
                    transparent = true;
                auto colours = Colours(c0, c1, kind == 1);
                auto alphas = Alphas(b[0], b[1]);
                std::uint64_t alphaBits = 0;
                for (int i = 7; i >= 2; --i)
                    alphaBits = alphaBits << 8 | b[i];
                for (int r = 0; r < 4; ++r)
                    for (int k = 0; k < 4; ++k) {
                        int x = 4 * bx + k, y = 4 * by + r;
                        if (x >= w || y >= h)
                            continue;
                        TPixel p = colours[(indices >> (2 * (4 * r + k))) & 3];
                        if (kind == 3)
                            p.Alpha = ((b[2 * r] | b[2 * r + 1] << 8) >> (4 * k) & 15) * 17;
                        if (kind == 5)
                            p.Alpha = alphas[(alphaBits >> (3 * (4 * r + k))) & 7];
                        std::uint8_t bytes[4] = {std::uint8_t(p.Blue), std::uint8_t(p.Green), std::uint8_t(p.Red),
                                                 std::uint8_t(p.Alpha)};
                        std::memcpy(&out.at(std::size_t(y) * w + x), bytes, 4);
                    }
            }
        return transparent;
    }
};

bool Unpack(TPath path, int kind, const std::uint8_t* source, std::uint32_t* destination, std::int32_t w, std::int32_t h)
{
    bool transparent = true; // the routines must clear it themselves
    switch (kind) {
    case 1: dxtc::UnpackDXT1Blocks(path, source, destination, w, h, transparent); break;
    case 3: dxtc::UnpackDXT3Blocks(path, source, destination, w, h); transparent = false; break;
    default: dxtc::UnpackDXT5Blocks(path, source, destination, w, h); transparent = false; break;
    }
    return transparent;
}

std::string PathName(const testing::TestParamInfo<TPath>& info)
{
    return info.param == TPath::Scalar ? "Scalar" : "Ssse3";
}

class DXTCTest : public testing::TestWithParam<TPath> {
protected:
    void SetUp() override
    {
        if (!dxtc::PathAvailable(GetParam()))
            GTEST_SKIP() << "this processor lacks the path";
    }
    TPath Path() const { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(Paths, DXTCTest, testing::Values(TPath::Scalar, TPath::Ssse3), PathName);

TEST(SplitRGB565Test, Fields)
{
    struct Case {
        std::uint16_t Colour;
        int Blue, Green, Red;
    };
    const Case cases[] = {
        {0x0000, 0, 0, 0},   {0xFFFF, 31, 63, 31}, {0xF800, 0, 0, 31},  {0x07E0, 0, 63, 0},
        {0x001F, 31, 0, 0},  {0x1234, 20, 17, 2},  {0x8410, 16, 32, 16}, {0x0821, 1, 1, 1},
    };
    for (const Case& c : cases) {
        std::uint8_t b = 99, g = 99, r = 99;
        SplitRGB565(c.Colour, b, g, r);
        EXPECT_EQ((TPixel{b, g, r, 0}), (TPixel{c.Blue, c.Green, c.Red, 0})) << std::hex << c.Colour;
    }
}

TEST_P(DXTCTest, DXT1ColourTables)
{
    struct Case {
        unsigned C0, C1;
        std::array<TPixel, 4> Entries;
        bool Transparent;
    };
    const Case cases[] = {
        {0xF800, 0x001F, {{{0, 0, 248, 255}, {248, 0, 0, 255}, {83, 0, 165, 255}, {165, 0, 83, 255}}}, false},
        {0x001F, 0xF800, {{{248, 0, 0, 255}, {0, 0, 248, 255}, {124, 0, 124, 255}, {83, 0, 165, 0}}}, true},
        {0xFFFF, 0x0000, {{{248, 252, 248, 255}, {0, 0, 0, 255}, {165, 168, 165, 255}, {83, 84, 83, 255}}}, false},
        // Equal endpoints: three-colour mode, entries 2 and 3 are the colour itself.
        {0x1234, 0x1234, {{{160, 68, 16, 255}, {160, 68, 16, 255}, {160, 68, 16, 255}, {160, 68, 16, 0}}}, true},
        {0xFFFF, 0xFFFF, {{{248, 252, 248, 255}, {248, 252, 248, 255}, {248, 252, 248, 255}, {248, 252, 248, 0}}}, true},
        {0x0000, 0x0000, {{{0, 0, 0, 255}, {0, 0, 0, 255}, {0, 0, 0, 255}, {0, 0, 0, 0}}}, true},
        // c0 = c1 + 1: four-colour mode by one step.
        {0x0001, 0x0000, {{{8, 0, 0, 255}, {0, 0, 0, 255}, {5, 0, 0, 255}, {3, 0, 0, 255}}}, false},
        // Odd sums: (E0 + E1) / 2 truncates with nothing added.
        {0x0000, 0x0001, {{{0, 0, 0, 255}, {8, 0, 0, 255}, {4, 0, 0, 255}, {5, 0, 0, 0}}}, true},
        {0x0841, 0x1082, {{{8, 8, 8, 255}, {16, 16, 16, 255}, {12, 12, 12, 255}, {13, 13, 13, 0}}}, true},
        {0x07E0, 0x0020, {{{0, 252, 0, 255}, {0, 4, 0, 255}, {0, 169, 0, 255}, {0, 87, 0, 255}}}, false},
    };
    for (const Case& c : cases) {
        auto block = ColourBlock(c.C0, c.C1);
        std::vector<std::uint32_t> out(16, Sentinel);
        EXPECT_EQ(Unpack(Path(), 1, block.data(), out.data(), 4, 4), c.Transparent) << std::hex << c.C0 << " " << c.C1;
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k)
                EXPECT_EQ(PixelAt(out, 4 * r + k), c.Entries[k]) << std::hex << c.C0 << " " << c.C1 << " pixel " << r << "," << k;
    }
}

TEST_P(DXTCTest, DXT1ReportsThreeColourBlockEvenWithoutTransparentPixel)
{
    // Block 0 is four-colour, block 1 three-colour with every pixel on entry 0.
    std::vector<std::uint8_t> source;
    for (auto block : {ColourBlock(0xF800, 0x001F, 0xFFFFFFFF), ColourBlock(0x001F, 0xF800, 0x00000000)})
        source.insert(source.end(), block.begin(), block.end());
    std::vector<std::uint32_t> out(8 * 4, Sentinel);
    EXPECT_TRUE(Unpack(Path(), 1, source.data(), out.data(), 8, 4));
    for (int y = 0; y < 4; ++y)
        for (int x = 4; x < 8; ++x)
            EXPECT_EQ(PixelAt(out, y * 8 + x), (TPixel{248, 0, 0, 255}));

    // Only four-colour blocks: nothing to report.
    source = {};
    for (auto block : {ColourBlock(0xF800, 0x001F, 0xFFFFFFFF), ColourBlock(0x0001, 0x0000, 0xFFFFFFFF)})
        source.insert(source.end(), block.begin(), block.end());
    EXPECT_FALSE(Unpack(Path(), 1, source.data(), out.data(), 8, 4));
}

TEST_P(DXTCTest, DXT3AndDXT5UseFourColoursWhateverTheEndpointOrder)
{
    const std::array<TPixel, 4> expected = {{{248, 0, 0, 0}, {0, 0, 248, 0}, {165, 0, 83, 0}, {83, 0, 165, 0}}};
    for (int kind : {3, 5}) {
        std::array<std::uint8_t, 16> block{}; // alpha all zero
        auto colour = ColourBlock(0x001F, 0xF800);
        std::memcpy(&block[8], colour.data(), 8);
        std::vector<std::uint32_t> out(16, Sentinel);
        Unpack(Path(), kind, block.data(), out.data(), 4, 4);
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(PixelAt(out, i), expected[i % 4]) << "DXT" << kind << " pixel " << i;
    }
}

TEST_P(DXTCTest, DXT3AlphaNibbles)
{
    // Pixel i carries nibble i, so the sixteen nibbles appear in pixel order.
    std::array<std::uint8_t, 16> block{};
    for (int r = 0; r < 4; ++r)
        Put16(&block[2 * r], (4 * r) | (4 * r + 1) << 4 | (4 * r + 2) << 8 | (4 * r + 3) << 12);
    auto colour = ColourBlock(0xFFFF, 0x0000);
    std::memcpy(&block[8], colour.data(), 8);
    std::vector<std::uint32_t> out(16, Sentinel);
    Unpack(Path(), 3, block.data(), out.data(), 4, 4);
    const int alpha[16] = {0, 17, 34, 51, 68, 85, 102, 119, 136, 153, 170, 187, 204, 221, 238, 255};
    const TPixel colours[4] = {{248, 252, 248, 0}, {0, 0, 0, 0}, {165, 168, 165, 0}, {83, 84, 83, 0}};
    for (int i = 0; i < 16; ++i) {
        TPixel want = colours[i % 4];
        want.Alpha = alpha[i];
        EXPECT_EQ(PixelAt(out, i), want) << "pixel " << i;
    }
}

// Alpha indices: pixel i selects entry i % 8.
std::array<std::uint8_t, 16> DXT5Block(int a0, int a1)
{
    std::array<std::uint8_t, 16> block{};
    block[0] = std::uint8_t(a0);
    block[1] = std::uint8_t(a1);
    std::uint64_t bits = 0;
    for (int i = 0; i < 16; ++i)
        bits |= std::uint64_t(i % 8) << (3 * i);
    for (int i = 0; i < 6; ++i)
        block[2 + i] = std::uint8_t(bits >> (8 * i));
    auto colour = ColourBlock(0x0000, 0x0000, 0);
    std::memcpy(&block[8], colour.data(), 8);
    return block;
}

TEST_P(DXTCTest, DXT5AlphaTables)
{
    struct Case {
        int A0, A1;
        std::array<int, 8> Table;
    };
    const Case cases[] = {
        {255, 0, {255, 0, 219, 182, 146, 109, 73, 36}},
        {0, 255, {0, 255, 51, 102, 153, 204, 0, 255}},
        {100, 100, {100, 100, 100, 100, 100, 100, 0, 255}},
        {0, 0, {0, 0, 0, 0, 0, 0, 0, 255}},
        {255, 255, {255, 255, 255, 255, 255, 255, 0, 255}},
        {1, 0, {1, 0, 1, 1, 1, 0, 0, 0}},
        {10, 3, {10, 3, 9, 8, 7, 6, 5, 4}},
        {3, 10, {3, 10, 4, 6, 7, 9, 0, 255}},
    };
    for (const Case& c : cases) {
        auto block = DXT5Block(c.A0, c.A1);
        std::vector<std::uint32_t> out(16, Sentinel);
        Unpack(Path(), 5, block.data(), out.data(), 4, 4);
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(PixelAt(out, i), (TPixel{0, 0, 0, c.Table[i % 8]})) << c.A0 << "/" << c.A1 << " pixel " << i;
    }
}

TEST_P(DXTCTest, DXT5EveryEndpointPairMatchesTheRules)
{
    // 65536 blocks, one per (a0, a1), in a 1024 x 256 picture.
    std::vector<std::uint8_t> source;
    std::mt19937 random(5);
    for (int a0 = 0; a0 < 256; ++a0)
        for (int a1 = 0; a1 < 256; ++a1) {
            auto block = DXT5Block(a0, a1);
            for (int i = 2; i < 16; ++i)
                block[i] = std::uint8_t(random());
            source.insert(source.end(), block.begin(), block.end());
        }
    const int w = 1024, h = 256;
    std::vector<std::uint32_t> out(w * h, Sentinel), expected(w * h, Sentinel);
    Unpack(Path(), 5, source.data(), out.data(), w, h);
    TReference::Decode(5, source, expected, w, h);
    EXPECT_TRUE(out == expected);
}

// Random blocks, half of the colour blocks forced into c0 <= c1.
std::vector<std::uint8_t> RandomBlocks(int kind, int w, int h, std::uint32_t seed)
{
    std::mt19937 random(seed);
    const std::size_t blockSize = kind == 1 ? 8 : 16;
    const std::size_t blocks = std::size_t((w + 3) / 4) * ((h + 3) / 4);
    std::vector<std::uint8_t> source(blocks * blockSize);
    for (auto& b : source)
        b = std::uint8_t(random());
    for (std::size_t i = 0; i < blocks; ++i) {
        std::uint8_t* c = &source[i * blockSize + blockSize - 8];
        unsigned c0 = c[0] | c[1] << 8, c1 = c[2] | c[3] << 8;
        if ((i % 2 == 0) == (c0 > c1)) {
            std::swap(c[0], c[2]);
            std::swap(c[1], c[3]);
        }
    }
    return source;
}

TEST_P(DXTCTest, RandomBlocksMatchTheRulesAtEverySize)
{
    const std::pair<int, int> sizes[] = {{1, 1}, {2, 2}, {3, 5}, {4, 4}, {5, 4}, {6, 6}, {7, 9}, {8, 8},
                                         {13, 3}, {16, 1}, {1, 16}, {33, 17}, {64, 64}};
    for (int kind : {1, 3, 5})
        for (auto [w, h] : sizes) {
            auto source = RandomBlocks(kind, w, h, std::uint32_t(w * 100 + h + kind));
            // A guard after the picture catches writes past its end.
            std::vector<std::uint32_t> out(std::size_t(w) * h + 16, Sentinel), expected(out);
            bool transparent = Unpack(Path(), kind, source.data(), out.data(), w, h);
            bool expectedTransparent = TReference::Decode(kind, source, expected, w, h);
            EXPECT_TRUE(out == expected) << "DXT" << kind << " " << w << "x" << h;
            if (kind == 1) {
                EXPECT_EQ(transparent, expectedTransparent) << w << "x" << h;
            }
        }
}

TEST(DXTCPathsTest, VectorPathGivesTheSameBytesAsScalar)
{
    if (!dxtc::PathAvailable(TPath::Ssse3))
        GTEST_SKIP() << "this processor lacks SSSE3";
    const std::pair<int, int> sizes[] = {{256, 256}, {250, 131}, {3, 3}, {1021, 7}};
    for (int kind : {1, 3, 5})
        for (auto [w, h] : sizes) {
            for (std::uint32_t seed = 1; seed <= 3; ++seed) {
                auto source = RandomBlocks(kind, w, h, seed * 7919 + kind);
                std::vector<std::uint32_t> scalar(std::size_t(w) * h, Sentinel), vector(scalar);
                bool t0 = Unpack(TPath::Scalar, kind, source.data(), scalar.data(), w, h);
                bool t1 = Unpack(TPath::Ssse3, kind, source.data(), vector.data(), w, h);
                EXPECT_TRUE(scalar == vector) << "DXT" << kind << " " << w << "x" << h << " seed " << seed;
                EXPECT_EQ(t0, t1);
            }
        }
}

TEST_P(DXTCTest, EdgeBlocksWriteOnlyPixelsInsideThePicture)
{
    // Four solid blocks of distinct colours; pixel (x, y) must carry the
    // colour of block (x / 4, y / 4).
    const unsigned colours[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    struct Case {
        int W, H, Blocks;
    };
    for (Case c : {Case{6, 6, 4}, Case{2, 2, 1}, Case{5, 4, 2}, Case{4, 7, 2}}) {
        for (int kind : {1, 3, 5}) {
            const std::size_t blockSize = kind == 1 ? 8 : 16;
            std::vector<std::uint8_t> source; // exactly the blocks that the grid needs
            for (int i = 0; i < c.Blocks; ++i) {
                std::vector<std::uint8_t> block(blockSize, 0xFF); // alpha 255 in DXT3 and DXT5 (index 7 = 255)
                if (kind == 5)
                    block[0] = block[1] = 0; // a0 <= a1: index 7 is 255
                auto colour = ColourBlock(colours[i], 0x0000, 0);
                std::memcpy(&block[blockSize - 8], colour.data(), 8);
                source.insert(source.end(), block.begin(), block.end());
            }
            std::vector<std::uint32_t> out(std::size_t(c.W) * c.H + 8, Sentinel);
            Unpack(Path(), kind, source.data(), out.data(), c.W, c.H);
            const int across = (c.W + 3) / 4;
            for (int y = 0; y < c.H; ++y)
                for (int x = 0; x < c.W; ++x) {
                    unsigned colour = colours[(y / 4) * across + x / 4];
                    TPixel want = TReference::Widen(colour);
                    EXPECT_EQ(PixelAt(out, std::size_t(y) * c.W + x), want)
                        << "DXT" << kind << " " << c.W << "x" << c.H << " at " << x << "," << y;
                }
            for (std::size_t i = std::size_t(c.W) * c.H; i < out.size(); ++i)
                EXPECT_EQ(out[i], Sentinel) << "DXT" << kind << " " << c.W << "x" << c.H << " wrote past the end";
        }
    }
}

TEST_P(DXTCTest, EmptyOrNegativeSizesAndNullBuffersDecodeNothing)
{
    // A three-colour block: decoding it would report transparency.
    std::array<std::uint8_t, 16> block{};
    auto colour = ColourBlock(0x0000, 0xFFFF);
    std::memcpy(&block[0], colour.data(), 8);
    std::memcpy(&block[8], colour.data(), 8);
    struct Case {
        bool Source, Destination;
        std::int32_t W, H;
    };
    const Case cases[] = {
        {true, true, 0, 4},    {true, true, 4, 0},      {true, true, 0, 0},        {true, true, -4, 4},
        {true, true, 4, -1},   {true, true, -1, -1},    {true, true, INT32_MIN, 4}, {true, true, 4, INT32_MIN},
        {false, true, 4, 4},   {true, false, 4, 4},     {false, false, 4, 4},
    };
    for (const Case& c : cases)
        for (int kind : {1, 3, 5}) {
            std::vector<std::uint32_t> out(16, Sentinel);
            bool transparent = Unpack(Path(), kind, c.Source ? block.data() : nullptr, c.Destination ? out.data() : nullptr,
                                      c.W, c.H);
            EXPECT_FALSE(transparent) << "DXT" << kind << " " << c.W << "x" << c.H;
            EXPECT_TRUE(out == std::vector<std::uint32_t>(16, Sentinel)) << "DXT" << kind << " " << c.W << "x" << c.H;
        }
}

TEST(DXTCPublicTest, RoutinesMatchTheScalarPath)
{
    for (int kind : {1, 3, 5}) {
        auto source = RandomBlocks(kind, 37, 21, 99 + kind);
        std::vector<std::uint32_t> out(37 * 21, Sentinel), expected(out);
        bool transparent = true;
        if (kind == 1)
            UnpackDXT1Blocks(source.data(), out.data(), 37, 21, transparent);
        else if (kind == 3)
            UnpackDXT3Blocks(source.data(), out.data(), 37, 21);
        else
            UnpackDXT5Blocks(source.data(), out.data(), 37, 21);
        bool expectedTransparent = Unpack(TPath::Scalar, kind, source.data(), expected.data(), 37, 21);
        EXPECT_TRUE(out == expected) << "DXT" << kind;
        if (kind == 1) {
            EXPECT_EQ(transparent, expectedTransparent);
        }
    }
    bool transparent = true;
    UnpackDXT1Blocks(nullptr, nullptr, 4, 4, transparent);
    EXPECT_FALSE(transparent);
}

} // namespace
} // namespace quorin
