#pragma once
// The filler generator of the package header: one process-wide linear
// congruential generator, seed 0 at start and never reseeded.

#include <cstdint>

namespace quorin {

extern std::uint32_t FillerSeed;

// A value from 0 to range - 1; range must be positive.
std::int32_t NextFiller(std::int32_t range);

} // namespace quorin
