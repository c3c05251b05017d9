// libFuzzer target over corpus/dds/; the body (bodies/Dds.cpp) is shared with
// the corpus replay test of the normal build.
#include "fuzz/FuzzBodies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return quorin::fuzz::Dds(data, size);
}
