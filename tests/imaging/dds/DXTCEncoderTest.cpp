#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "imaging/DXTCEncoder.h"

namespace quorin {
namespace {

using TBlock = std::array<std::uint8_t, 64>; // blue, green, red, alpha per pixel

constexpr TDxtQuality Qualities[] = {TDxtQuality::Fast, TDxtQuality::Normal, TDxtQuality::Best};

int Expand(int value, int bits)
{
    return bits == 5 ? (value << 3) | (value >> 2) : (value << 2) | (value >> 4);
}

// The test's own reading of a four-colour half: endpoints widened by bit
// replication, thirds rounded. Returns red, green, blue of pixel i.
std::array<int, 3> DecodedPixel(const std::uint8_t* colour, int i)
{
    const int w0 = colour[0] | colour[1] << 8, w1 = colour[2] | colour[3] << 8;
    const int index = (colour[4 + i / 4] >> (2 * (i % 4))) & 3;
    std::array<int, 3> out{};
    const int shifts[3] = {11, 5, 0}, bits[3] = {5, 6, 5};
    for (int c = 0; c < 3; ++c) {
        const int mask = (1 << bits[c]) - 1;
        const int a = Expand((w0 >> shifts[c]) & mask, bits[c]), b = Expand((w1 >> shifts[c]) & mask, bits[c]);
        const int entries[4] = {a, b, (2 * a + b + 1) / 3, (a + 2 * b + 1) / 3};
        out[c] = entries[index];
    }
    return out;
}

TBlock Solid(int red, int green, int blue)
{
    TBlock block{};
    for (int i = 0; i < 16; ++i) {
        block[4 * i] = static_cast<std::uint8_t>(blue);
        block[4 * i + 1] = static_cast<std::uint8_t>(green);
        block[4 * i + 2] = static_cast<std::uint8_t>(red);
        block[4 * i + 3] = 255;
    }
    return block;
}

// The least error any 5:6:5 pair can give one value, by trying every pair and
// every entry of the four-colour palette.
int BestPossibleError(int value, int bits)
{
    int best = 256;
    for (int hi = 0; hi < (1 << bits); ++hi)
        for (int lo = 0; lo < (1 << bits); ++lo) {
            const int a = Expand(hi, bits), b = Expand(lo, bits);
            for (int entry : {a, b, (2 * a + b + 1) / 3, (a + 2 * b + 1) / 3})
                best = std::min(best, std::abs(entry - value));
        }
    return best;
}

TEST(DXTCEncoderTest, OneColourBlocksGetTheBestEndpointsFiveSixFiveAllows)
{
    for (int channel = 0; channel < 3; ++channel) { // red, green, blue
        const int bits = channel == 1 ? 6 : 5;
        std::array<int, 256> best{};
        for (int value = 0; value < 256; ++value)
            best[value] = BestPossibleError(value, bits);
        for (TDxtQuality quality : Qualities)
            for (int value = 0; value < 256; ++value) {
                const TBlock block = Solid(channel == 0 ? value : 0, channel == 1 ? value : 0, channel == 2 ? value : 0);
                std::uint8_t dxt1[8], dxt5[16];
                EncodeDXT1Block(block.data(), quality, false, dxt1);
                EncodeDXT5Block(block.data(), quality, dxt5);
                for (const std::uint8_t* colour : {dxt1, dxt5 + 8}) {
                    // Strictly: equal endpoints would read as DXT1's three-colour mode.
                    ASSERT_GT(colour[0] | colour[1] << 8, colour[2] | colour[3] << 8)
                        << "four-colour order, channel " << channel << " value " << value;
                    for (int i = 0; i < 16; ++i) {
                        const auto decoded = DecodedPixel(colour, i);
                        for (int c = 0; c < 3; ++c) {
                            const int wanted = c == channel ? value : 0;
                            const int allowed = c == channel ? best[value] : 0;
                            ASSERT_EQ(std::abs(decoded[c] - wanted), allowed)
                                << "channel " << channel << " value " << value << " pixel " << i;
                        }
                    }
                }
            }
    }
}

struct TTwoColours {
    int First, Second; // 5:6:5 words
    std::uint16_t Pattern; // bit i set: pixel i has the second colour
};

TEST(DXTCEncoderTest, BlocksOfTwoColoursThatFiveSixFiveHoldsComeBackExact)
{
    std::vector<TTwoColours> cases = {
        {0x0000, 0xFFFF, 0x00FF}, // black and white
        {0xF800, 0x001F, 0x5A5A}, // pure red and pure blue
        {0x07E0, 0x07C0, 0x0001}, // greens one step apart
        {0x8410, 0x8430, 0xF0F0},
        {0x1234, 0xFEDC, 0x8001},
    };
    std::mt19937 random(13);
    for (int n = 0; n < 200; ++n)
        cases.push_back({static_cast<int>(random() & 0xFFFF), static_cast<int>(random() & 0xFFFF),
                         static_cast<std::uint16_t>(random())});
    auto rgb = [](int word) {
        return std::array<int, 3>{Expand(word >> 11, 5), Expand((word >> 5) & 63, 6), Expand(word & 31, 5)};
    };
    for (const auto& c : cases) {
        TBlock block{};
        for (int i = 0; i < 16; ++i) {
            const auto colour = rgb((c.Pattern >> i) & 1 ? c.Second : c.First);
            block[4 * i] = static_cast<std::uint8_t>(colour[2]);
            block[4 * i + 1] = static_cast<std::uint8_t>(colour[1]);
            block[4 * i + 2] = static_cast<std::uint8_t>(colour[0]);
            block[4 * i + 3] = 255;
        }
        for (TDxtQuality quality : Qualities) {
            std::uint8_t dxt1[8];
            EncodeDXT1Block(block.data(), quality, false, dxt1);
            for (int i = 0; i < 16; ++i)
                ASSERT_EQ(DecodedPixel(dxt1, i), rgb((c.Pattern >> i) & 1 ? c.Second : c.First))
                    << std::hex << "colours " << c.First << " and " << c.Second << " pixel " << std::dec << i
                    << " quality " << static_cast<int>(quality);
        }
    }
}

// Fast and normal pick indices by projection on the endpoints' line rather
// than by distance: on noisy gradients that must come within a hair of the
// nearest entry for every pixel, or the indices are mapped wrongly.
TEST(DXTCEncoderTest, IndicesChosenAlongTheLineAreTheNearestEntries)
{
    std::mt19937 random(29);
    std::uniform_int_distribution<int> channel(0, 255), noise(-6, 6);
    for (int n = 0; n < 300; ++n) {
        const int from[3] = {channel(random), channel(random), channel(random)};
        const int to[3] = {channel(random), channel(random), channel(random)};
        TBlock block{};
        for (int i = 0; i < 16; ++i) {
            for (int c = 0; c < 3; ++c)
                block[4 * i + 2 - c] =
                    static_cast<std::uint8_t>(std::clamp(from[c] + (to[c] - from[c]) * i / 15 + noise(random), 0, 255));
            block[4 * i + 3] = 255;
        }
        for (TDxtQuality quality : {TDxtQuality::Fast, TDxtQuality::Normal}) {
            std::uint8_t dxt1[8];
            EncodeDXT1Block(block.data(), quality, false, dxt1);
            int chosen = 0, nearest = 0;
            for (int i = 0; i < 16; ++i) {
                auto error = [&](const std::array<int, 3>& rgb) {
                    int e = 0;
                    for (int c = 0; c < 3; ++c)
                        e += (rgb[c] - block[4 * i + 2 - c]) * (rgb[c] - block[4 * i + 2 - c]);
                    return e;
                };
                chosen += error(DecodedPixel(dxt1, i));
                std::uint8_t other[8];
                std::copy(dxt1, dxt1 + 4, other);
                int best = 1 << 30;
                for (int k = 0; k < 4; ++k) {
                    std::fill(other + 4, other + 8, static_cast<std::uint8_t>(k * 0x55));
                    best = std::min(best, error(DecodedPixel(other, i)));
                }
                nearest += best;
            }
            EXPECT_LE(chosen, nearest + nearest / 20 + 16)
                << "block " << n << " quality " << static_cast<int>(quality);
        }
    }
}

// The test's own alpha table, as the format defines it.
std::array<int, 8> AlphaEntries(int a0, int a1)
{
    std::array<int, 8> t{a0, a1};
    if (a0 > a1) {
        for (int i = 1; i <= 6; ++i)
            t[i + 1] = ((7 - i) * a0 + i * a1 + 3) / 7;
    } else {
        for (int i = 1; i <= 4; ++i)
            t[i + 1] = ((5 - i) * a0 + i * a1 + 2) / 5;
        t[6] = 0;
        t[7] = 255;
    }
    return t;
}

std::array<int, 16> DecodedAlpha(const std::uint8_t* block)
{
    const auto table = AlphaEntries(block[0], block[1]);
    std::uint64_t bits = 0;
    for (int b = 0; b < 6; ++b)
        bits |= std::uint64_t{block[2 + b]} << (8 * b);
    std::array<int, 16> out{};
    for (int i = 0; i < 16; ++i)
        out[i] = table[(bits >> (3 * i)) & 7];
    return out;
}

int SquaredError(const std::array<int, 16>& decoded, const std::array<std::uint8_t, 16>& alpha)
{
    int error = 0;
    for (int i = 0; i < 16; ++i)
        error += (decoded[i] - alpha[i]) * (decoded[i] - alpha[i]);
    return error;
}

// Sixteen values from a short list, repeated.
std::array<std::uint8_t, 16> AlphaBlock(std::initializer_list<int> values)
{
    std::array<std::uint8_t, 16> alpha{};
    for (int i = 0; i < 16; ++i)
        alpha[i] = static_cast<std::uint8_t>(values.begin()[i % values.size()]);
    return alpha;
}

TEST(DXTCEncoderTest, AlphaBlocksThatEitherModeHoldsComeBackExact)
{
    const auto eight = AlphaEntries(255, 0); // the extremes with the six values between
    const auto six = AlphaEntries(100, 200); // 0 and 255 with four values between
    const std::vector<std::array<std::uint8_t, 16>> cases = {
        AlphaBlock({0}),
        AlphaBlock({255}),
        AlphaBlock({0, 255}),
        AlphaBlock({77}),
        AlphaBlock({12, 200}),
        AlphaBlock({eight[0], eight[1], eight[2], eight[3], eight[4], eight[5], eight[6], eight[7]}),
        AlphaBlock({0, 255, eight[4], eight[6]}),
        AlphaBlock({six[0], six[1], six[2], six[3], six[4], six[5], 0, 255}),
        AlphaBlock({AlphaEntries(90, 20)[3], 90, 20}),
    };
    for (const auto& alpha : cases)
        for (TDxtQuality quality : Qualities) {
            std::uint8_t block[8];
            EncodeDXT5Alpha(alpha.data(), quality, block);
            EXPECT_EQ(SquaredError(DecodedAlpha(block), alpha), 0)
                << "first values " << int(alpha[0]) << ", " << int(alpha[1]) << ", " << int(alpha[2]);
        }
}

// What the plain method gives: each mode over the values' whole range.
int RangeFitError(const std::array<std::uint8_t, 16>& alpha)
{
    int low = 255, high = 0, innerLow = 255, innerHigh = 0;
    for (int a : alpha) {
        low = std::min(low, a);
        high = std::max(high, a);
        if (a != 0 && a != 255) {
            innerLow = std::min(innerLow, a);
            innerHigh = std::max(innerHigh, a);
        }
    }
    auto error = [&](int a0, int a1) {
        const auto table = AlphaEntries(a0, a1);
        int total = 0;
        for (int a : alpha) {
            int best = 1 << 30;
            for (int e : table)
                best = std::min(best, (a - e) * (a - e));
            total += best;
        }
        return total;
    };
    int best = innerLow <= innerHigh ? error(innerLow, innerHigh) : error(0, 0);
    if (high > low)
        best = std::min(best, error(high, low));
    return best;
}

TEST(DXTCEncoderTest, AlphaIsNeverWorseThanTheRangeOfEitherMode)
{
    std::mt19937 random(5);
    for (int n = 0; n < 500; ++n) {
        std::array<std::uint8_t, 16> alpha{};
        const int base = static_cast<int>(random() % 256), spread = static_cast<int>(random() % 256);
        for (auto& a : alpha)
            a = static_cast<std::uint8_t>(std::clamp(base + static_cast<int>(random() % (spread + 1)) - spread / 2, 0, 255));
        if (n % 3 == 0)
            alpha[random() % 16] = static_cast<std::uint8_t>(n % 2 ? 255 : 0);
        int previous = 1 << 30;
        for (TDxtQuality quality : Qualities) {
            std::uint8_t block[8];
            EncodeDXT5Alpha(alpha.data(), quality, block);
            const int error = SquaredError(DecodedAlpha(block), alpha);
            EXPECT_LE(error, RangeFitError(alpha));
            EXPECT_LE(error, previous) << "a higher quality does worse";
            previous = error;
        }
    }
}

TEST(DXTCEncoderTest, PunchThroughMakesLowAlphaTransparentAndKeepsTheRest)
{
    TBlock block = Solid(200, 30, 90);
    for (int i : {0, 5, 10, 15}) {
        block[4 * i + 3] = 127;
        block[4 * i + 2] = 0; // its colour must not pull the fit
    }
    block[4 * 1 + 3] = 128;
    std::uint8_t dxt1[8];
    EncodeDXT1Block(block.data(), TDxtQuality::Normal, true, dxt1);
    ASSERT_LE(dxt1[0] | dxt1[1] << 8, dxt1[2] | dxt1[3] << 8) << "three-colour order";
    std::uint8_t decoded[64];
    DecodeColourBlock(dxt1, true, decoded);
    for (int i = 0; i < 16; ++i) {
        const bool transparent = block[4 * i + 3] < 128;
        EXPECT_EQ(decoded[4 * i + 3], transparent ? 0 : 255) << "pixel " << i;
        if (!transparent) {
            EXPECT_NEAR(decoded[4 * i + 2], 200, 4) << "pixel " << i;
        }
    }
    // Without punch-through alpha is ignored and the block stays four-colour.
    EncodeDXT1Block(block.data(), TDxtQuality::Normal, false, dxt1);
    EXPECT_GT(dxt1[0] | dxt1[1] << 8, dxt1[2] | dxt1[3] << 8);
}

TEST(DXTCEncoderTest, ReferenceDecodingMatchesTheTestsReading)
{
    std::mt19937 random(7);
    for (int n = 0; n < 100; ++n) {
        std::uint8_t block[16];
        for (auto& b : block)
            b = static_cast<std::uint8_t>(random());
        std::uint8_t bgra[64], alpha[16];
        DecodeColourBlock(block + 8, false, bgra);
        DecodeAlphaBlock(block, alpha);
        const auto expectedAlpha = DecodedAlpha(block);
        for (int i = 0; i < 16; ++i) {
            const auto rgb = DecodedPixel(block + 8, i);
            EXPECT_EQ((std::array<int, 3>{bgra[4 * i + 2], bgra[4 * i + 1], bgra[4 * i]}), rgb);
            EXPECT_EQ(alpha[i], expectedAlpha[i]);
        }
    }
}

} // namespace
} // namespace quorin
