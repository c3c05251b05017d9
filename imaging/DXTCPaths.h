#pragma once
// The DXT decoders have a portable path and, on x86, an SSSE3 path chosen at
// run time. Both give the same bytes; this header lets tests and benchmarks
// run one path by name. Ordinary callers use DXTC.h, which picks the fastest.

#include <cstdint>

namespace quorin::dxtc {

enum class TPath { Scalar, Ssse3 };

// Whether this build and this processor can run the path.
bool PathAvailable(TPath path);

// As the routines of DXTC.h, on the given path; an unavailable path falls
// back to the scalar one.
void UnpackDXT1Blocks(TPath path, const std::uint8_t* source, std::uint32_t* destination, std::int32_t width,
                      std::int32_t height, bool& hasTransparency);
void UnpackDXT3Blocks(TPath path, const std::uint8_t* source, std::uint32_t* destination, std::int32_t width,
                      std::int32_t height);
void UnpackDXT5Blocks(TPath path, const std::uint8_t* source, std::uint32_t* destination, std::int32_t width,
                      std::int32_t height);

} // namespace quorin::dxtc
