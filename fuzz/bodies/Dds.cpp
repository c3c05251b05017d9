// The fuzz target's body: arbitrary bytes through the DDS decoder. Any quorin
// exception is a clean refusal; everything else (a crash, a sanitizer report,
// a leak) is a finding. The same bytes, taken as raw blocks, also go through
// both block decoders, whose outputs must match byte for byte.

#include "fuzz/FuzzBodies.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/Stream.h"
#include "imaging/DDS.h"
#include "imaging/DXTCPaths.h"

namespace {

void TouchEveryRow(quorin::TDDSImage& image)
{
    if (image.Width() == 0)
        return;
    const std::int64_t rowBytes = static_cast<std::int64_t>(image.Width()) * image.BytesPerPixel();
    volatile std::uint8_t sink = 0;
    for (int y = 0; y < image.Height(); ++y) {
        const std::uint8_t* row = image.RowAddress(y);
        sink = static_cast<std::uint8_t>(sink + row[0] + row[rowBytes - 1]);
    }
}

void CompareBlockPaths(const std::uint8_t* data, std::size_t size)
{
    using quorin::dxtc::TPath;
    if (size < 2 || !quorin::dxtc::PathAvailable(TPath::Ssse3))
        return;
    const int kind = data[0] % 3 == 0 ? 1 : data[0] % 3 == 1 ? 3 : 5;
    const std::size_t blockBytes = kind == 1 ? 8 : 16;
    const int width = 1 + data[1] % 37;
    const std::size_t across = (static_cast<std::size_t>(width) + 3) / 4;
    const std::size_t blocks = (size - 2) / blockBytes;
    const int height = static_cast<int>(blocks / across * 4) - data[0] / 3 % 4; // a ragged bottom row too
    if (height <= 0)
        return;
    std::vector<std::uint32_t> scalar(static_cast<std::size_t>(width) * height), vector(scalar.size());
    bool t0 = false, t1 = false;
    const std::uint8_t* blocksStart = data + 2;
    if (kind == 1) {
        quorin::dxtc::UnpackDXT1Blocks(TPath::Scalar, blocksStart, scalar.data(), width, height, t0);
        quorin::dxtc::UnpackDXT1Blocks(TPath::Ssse3, blocksStart, vector.data(), width, height, t1);
    } else if (kind == 3) {
        quorin::dxtc::UnpackDXT3Blocks(TPath::Scalar, blocksStart, scalar.data(), width, height);
        quorin::dxtc::UnpackDXT3Blocks(TPath::Ssse3, blocksStart, vector.data(), width, height);
    } else {
        quorin::dxtc::UnpackDXT5Blocks(TPath::Scalar, blocksStart, scalar.data(), width, height);
        quorin::dxtc::UnpackDXT5Blocks(TPath::Ssse3, blocksStart, vector.data(), width, height);
    }
    if (t0 != t1 || std::memcmp(scalar.data(), vector.data(), scalar.size() * 4) != 0)
        __builtin_trap();
}

} // namespace

namespace quorin::fuzz {

int Dds(const std::uint8_t* data, std::size_t size)
{
    CompareBlockPaths(data, size);
    quorin::TMemoryViewStream stream(data, static_cast<std::int64_t>(size));
    quorin::TDDSImage image;
    try {
        image.DecodeStream(stream);
    } catch (const quorin::Exception&) {
        return 0;
    }
    TouchEveryRow(image);
    return 0;
}

} // namespace quorin::fuzz
