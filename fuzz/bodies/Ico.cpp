// The fuzz target's body: decodes the input as an icon file.

#include "fuzz/FuzzBodies.h"

#include "fuzz/DecodeFuzz.h"
#include "imaging/ICO.h"

namespace quorin::fuzz {

int Ico(const std::uint8_t* data, std::size_t size)
{
    return FuzzDecode<quorin::TIcon>(data, size);
}

} // namespace quorin::fuzz
