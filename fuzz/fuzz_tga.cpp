// libFuzzer target: arbitrary bytes through the TGA decoder. Any quorin
// exception is a clean refusal; everything else (a crash, a sanitizer
// report, a leak) is a finding.

#include <cstddef>
#include <cstdint>

#include "base/Stream.h"
#include "imaging/TGA.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
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
