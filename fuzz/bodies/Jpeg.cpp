// The fuzz target's body: decodes the input as a JPEG file.

#include "fuzz/FuzzBodies.h"

#include "fuzz/DecodeFuzz.h"
#include "imaging/JPEG.h"

namespace quorin::fuzz {

int Jpeg(const std::uint8_t* data, std::size_t size)
{
    return FuzzDecode<quorin::TJPEGImage>(data, size);
}

} // namespace quorin::fuzz
