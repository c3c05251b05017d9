// How much memory a TGA decode takes at its peak, counted by the replaced
// allocation functions of this test program (CountingAllocator.cpp).

#include <gtest/gtest.h>

#include "../core/TgaBuilder.h"
#include "CountingAllocator.h"

namespace quorin::test {
namespace {

// The most memory in use at once while f runs, beyond what was in use before.
template <class F>
std::size_t PeakDuring(F&& f)
{
    const std::size_t before = BytesInUse();
    ResetPeak();
    f();
    return PeakBytes() - before;
}

struct MemoryCase {
    const char* Name;
    std::uint8_t ImageType;
    std::uint8_t Depth;
    std::uint8_t Descriptor;
    Bytes Body; // for a picture of Side x Side pixels

    friend void PrintTo(const MemoryCase& c, std::ostream* out) { *out << c.Name; }
};

constexpr std::uint16_t Side = 1000;
// Bookkeeping beside the pixels (messages, small buffers); far below the
// megabytes that a copy of the picture would take.
constexpr std::size_t Slack = 64 * 1024;

Bytes RunsOf(std::uint8_t depth, std::size_t pixels)
{
    Bytes body;
    for (std::size_t done = 0; done < pixels; done += 128) {
        body.push_back(0xFF); // 128 copies of one pixel
        body.insert(body.end(), depth / 8, static_cast<std::uint8_t>(done / 128));
    }
    return body;
}

class TgaMemoryTest : public testing::TestWithParam<MemoryCase> {};

// A decode takes the picture's own pixels and no copy of them, whether the
// file stores them plainly or as run-length packets.
TEST_P(TgaMemoryTest, PeakIsThePictureItself)
{
    const MemoryCase& c = GetParam();
    TgaHeader h;
    h.ImageType = c.ImageType;
    h.PixelDepth = c.Depth;
    h.Descriptor = c.Descriptor;
    h.Width = Side;
    h.Height = Side;
    const Bytes file = MakeTga(h, c.Body);
    std::size_t pictureBytes = 0;
    const std::size_t used = PeakDuring([&] {
        auto image = DecodeTga(file);
        pictureBytes = static_cast<std::size_t>(image->RowStride()) * static_cast<std::size_t>(image->Height());
    });
    EXPECT_EQ(pictureBytes, std::size_t{Side} * Side * (c.Depth / 8));
    EXPECT_GE(used, pictureBytes);
    EXPECT_LE(used, pictureBytes + Slack);
}

const std::size_t Pixels = std::size_t{Side} * Side;

INSTANTIATE_TEST_SUITE_P(
    Pictures, TgaMemoryTest,
    testing::Values(MemoryCase{"RunLength32TopDown", 10, 32, 0x28, RunsOf(32, Pixels)},
                    MemoryCase{"RunLength24BottomUp", 10, 24, 0x00, RunsOf(24, Pixels)},
                    MemoryCase{"RunLengthCutShort", 10, 32, 0x20, RunsOf(32, Pixels / 3)},
                    MemoryCase{"Uncompressed24", 2, 24, 0x20, Bytes(Pixels * 3, 0x5A)},
                    MemoryCase{"Uncompressed32CutShort", 2, 32, 0x00, Bytes(Pixels, 0x5A)}),
    [](const auto& test) { return std::string(test.param.Name); });

} // namespace
} // namespace quorin::test
