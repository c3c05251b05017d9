// The fuzz target's body: arbitrary bytes through the TGA decoder. Any quorin
// exception is a clean refusal; everything else (a crash, a sanitizer
// report, a leak, two decodes of the same bytes that differ) is a finding.

#include "fuzz/FuzzBodies.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/Stream.h"
#include "imaging/ByteReader.h"
#include "imaging/TGA.h"

namespace {

// A few header bytes can legitimately ask for hundreds of megabytes of white
// picture; that is correct, and tested, but at a second per input it would
// starve the search. Such sizes are left out here; sizes over the decoder's
// limit still go through, to exercise the refusal.
constexpr std::int64_t MaxFuzzedPixels = std::int64_t{1} << 20;

bool WouldAllocateALot(const std::uint8_t* data, std::size_t size)
{
    if (size < 16)
        return false;
    const bool allocates = data[2] == 2 || data[2] == 10;
    const std::int64_t width = quorin::bytes::U16(data + 12);
    const std::int64_t height = quorin::bytes::U16(data + 14);
    return allocates && width * height > MaxFuzzedPixels && quorin::PictureSizeFits(width, height);
}

} // namespace

namespace quorin::fuzz {

int Tga(const std::uint8_t* data, std::size_t size)
{
    if (WouldAllocateALot(data, size))
        return 0;
    quorin::TTGAImage image;
    try {
        quorin::TMemoryViewStream stream(data, static_cast<std::int64_t>(size));
        image.DecodeStream(stream);
    } catch (const quorin::Exception&) {
        return 0;
    }

    // A second decode into the same object, whose pixel block may be written
    // over, must give the very same bytes as the first into a new one.
    quorin::TBitmap first;
    first.Assign(image);
    quorin::TMemoryViewStream again(data, static_cast<std::int64_t>(size));
    image.DecodeStream(again);
    if (image.Width() != first.Width() || image.Height() != first.Height() || image.PixelDepth() != first.PixelDepth())
        __builtin_trap();
    const auto rowBytes = static_cast<std::size_t>(image.RowStride());
    for (int row = 0; row < image.Height() && rowBytes > 0; ++row)
        if (std::memcmp(image.RowAddress(row), first.RowAddress(row), rowBytes) != 0)
            __builtin_trap();
    return 0;
}

} // namespace quorin::fuzz
