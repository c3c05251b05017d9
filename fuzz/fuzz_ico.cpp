// libFuzzer target: decodes the input as an icon file.
#include "DecodeFuzz.h"
#include "imaging/ICO.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzDecode<quorin::TIcon>(data, size);
}
