// The fuzz target's body: decodes the input as a BMP file.

#include "fuzz/FuzzBodies.h"

#include "fuzz/DecodeFuzz.h"
#include "imaging/Bitmap.h"

namespace quorin::fuzz {

int Bmp(const std::uint8_t* data, std::size_t size)
{
    return FuzzDecode<quorin::TBitmap>(data, size);
}

} // namespace quorin::fuzz
