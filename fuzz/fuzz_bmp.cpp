// libFuzzer target: decodes the input as a BMP file.
#include "DecodeFuzz.h"
#include "imaging/Bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzDecode<quorin::TBitmap>(data, size);
}
