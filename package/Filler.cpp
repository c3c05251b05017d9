#include "Filler.h"

namespace quorin {

std::uint32_t FillerSeed = 0;

std::int32_t NextFiller(std::int32_t range)
{
    FillerSeed = FillerSeed * 134775813u + 1u;
    return static_cast<std::int32_t>((static_cast<std::uint64_t>(FillerSeed) * static_cast<std::uint32_t>(range)) >> 32);
}

} // namespace quorin
