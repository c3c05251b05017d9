#include <gtest/gtest.h>

#include <string>

#include "check/CardPixels.h"
#include "imaging/core/TgaBuilder.h"

namespace quorin {
namespace {

using test::Bytes;
using test::TgaHeader;

// What the card checks saw when they decoded the card: its size, depth and
// alpha spread, or the decoder's message.
std::string Decoded(const Bytes& file)
{
    TTGAImage card;
    try {
        card.DecodeTGA(file);
    } catch (const ETGAException& e) {
        return e.what();
    }
    bool opaque = false, clear = false, between = false;
    if (card.PixelDepth() == 32)
        for (int y = 0; y < card.Height(); ++y)
            for (int x = 0; x < card.Width(); ++x) {
                const std::uint8_t alpha = card.RowAddress(y)[x * 4 + 3];
                opaque |= alpha == 0xFF;
                clear |= alpha == 0;
                between |= alpha != 0 && alpha != 0xFF;
            }
    const char* spread = between || (opaque && clear) ? "mixed" : opaque ? "opaque" : clear ? "clear" : "none";
    return std::to_string(card.Width()) + "x" + std::to_string(card.Height()) + "x" +
           std::to_string(card.PixelDepth()) + " " + spread;
}

std::string Read(const Bytes& file)
{
    TCardPixels card;
    try {
        card = ReadCardPixels(file);
    } catch (const ETGAException& e) {
        return e.what();
    }
    const char* spreads[] = {"none", "opaque", "clear", "mixed"};
    return std::to_string(card.Width) + "x" + std::to_string(card.Height) + "x" + std::to_string(card.PixelDepth) +
           " " + spreads[static_cast<int>(card.Alpha)];
}

Bytes Tga(std::uint8_t type, int width, int height, const Bytes& body, std::uint8_t depth = 32, std::uint8_t id = 0)
{
    TgaHeader header;
    header.ImageType = type;
    header.Width = static_cast<std::uint16_t>(width);
    header.Height = static_cast<std::uint16_t>(height);
    header.PixelDepth = depth;
    header.IdLength = id;
    return test::MakeTga(header, body);
}

Bytes Pixel(std::uint8_t alpha) { return {1, 2, 3, alpha}; }

Bytes Cut(Bytes file, std::size_t drop)
{
    file.resize(file.size() - drop);
    return file;
}

TEST(CardPixelsTest, ReadsWhatDecodingTheCardGives)
{
    const Bytes opaque4 = test::Repeat(Pixel(0xFF), 4);
    const Bytes run = {0x80 | 2}, raw = {1};
    const struct {
        const char* Name;
        Bytes File;
    } cases[] = {
        {"opaque", Tga(2, 2, 2, opaque4)},
        {"clear", Tga(2, 2, 1, test::Repeat(Pixel(0), 2))},
        {"soft edge", Tga(2, 2, 2, test::Concat({test::Repeat(Pixel(0xFF), 3), Pixel(0x80)}))},
        {"clear and opaque", Tga(2, 2, 1, test::Concat({Pixel(0), Pixel(0xFF)}))},
        {"behind an ID field", Tga(2, 1, 1, Pixel(0), 32, 3)},
        {"24-bit", Tga(2, 2, 2, test::Repeat({1, 2, 3}, 4), 24)},
        {"no image", Tga(0, 2, 2, {})},
        {"no pixels", Tga(2, 0, 2, {})},
        // Data that end early leave white, opaque pixels.
        {"clear, cut at a pixel", Cut(Tga(2, 2, 2, test::Repeat(Pixel(0), 4)), 4)},
        {"clear, cut in a pixel", Cut(Tga(2, 2, 2, test::Repeat(Pixel(0), 4)), 1)},
        {"clear, no data", Tga(2, 2, 2, {})},
        {"ID field past the end", Cut(Tga(2, 1, 1, Pixel(0), 32, 8), 6)},
        // Run-length packets, crossing rows and cut where the picture ends.
        {"runs across rows", Tga(10, 3, 2, test::Concat({run, Pixel(0), run, Pixel(0)}))},
        {"a run past the end", Tga(10, 2, 2, test::Concat({{0x80 | 9}, Pixel(0)}))},
        {"raw pixels", Tga(10, 2, 2, test::Concat({{3}, test::Repeat(Pixel(0), 3), Pixel(0x80)}))},
        {"a run and raw pixels", Tga(10, 2, 2, test::Concat({run, Pixel(0), raw, Pixel(0xFF)}))},
        {"clear runs, data ending", Tga(10, 2, 2, test::Concat({run, Pixel(0)}))},
        {"a run's pixel cut", Cut(Tga(10, 2, 2, test::Concat({{0x80 | 3}, Pixel(0)})), 1)},
        {"raw pixels cut", Cut(Tga(10, 2, 2, test::Concat({{3}, test::Repeat(Pixel(0), 4)})), 2)},
        {"24-bit runs", Tga(10, 2, 2, {0x80 | 3, 1, 2, 3}, 24)},
        // Headers decoding refuses.
        {"colour-mapped", [] {
             Bytes file = Tga(2, 1, 1, Pixel(0));
             file[1] = 1;
             return file;
         }()},
        {"16-bit", Tga(2, 1, 1, {0, 0}, 16)},
        {"shorter than a header", Bytes{0, 0, 2, 0, 0}},
        {"an unknown type", Tga(3, 1, 1, Pixel(0))},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Read(c.File), Decoded(c.File)) << c.Name;
}

} // namespace
} // namespace quorin
