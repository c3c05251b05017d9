// libFuzzer target: decodes the input as a JPEG file.
#include "DecodeFuzz.h"
#include "imaging/JPEG.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzDecode<quorin::TJPEGImage>(data, size);
}
