// libFuzzer target: arbitrary bytes through the TGA decoder. Any quorin
// exception is a clean refusal; everything else (a crash, a sanitizer
// report, a leak) is a finding.

#include <cstddef>
#include <cstdint>

#include "base/Stream.h"
#include "imaging/TGA.h"

namespace {

// A few header bytes can legitimately ask for hundreds of megabytes of white
// picture; that is correct, and tested, but at a second per input it would
// starve the search. Such sizes are left out here; sizes over the decoder's
// limit still go through, to exercise the refusal.
constexpr std::int64_t MaxFuzzedPixels = std::int64_t{1} << 22;

bool WouldAllocateALot(const std::uint8_t* data, std::size_t size)
{
    if (size < 16)
        return false;
    std::int64_t pixels = std::int64_t{data[12] | data[13] << 8} * std::int64_t{data[14] | data[15] << 8};
    return pixels > MaxFuzzedPixels && quorin::PictureSizeFits(data[12] | data[13] << 8, data[14] | data[15] << 8);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (WouldAllocateALot(data, size))
        return 0;
    quorin::TMemoryViewStream stream(data, static_cast<std::int64_t>(size));
    quorin::TTGAImage image;
    try {
        image.DecodeStream(stream);
    } catch (const quorin::Exception&) {
        return 0;
    }
    // Touch both ends of every row, so a row the decoder got wrong shows up
    // under the sanitizers.
    const std::int64_t rowBytes = static_cast<std::int64_t>(image.Width()) * image.BytesPerPixel();
    volatile std::uint8_t sink = 0;
    if (rowBytes > 0) {
        for (int row = 0; row < image.Height(); ++row) {
            const std::uint8_t* p = image.RowAddress(row);
            sink = sink + p[0] + p[rowBytes - 1];
        }
        sink = sink + static_cast<std::uint8_t>(image.KeyColour());
    }
    return 0;
}
