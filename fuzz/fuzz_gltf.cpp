// libFuzzer target over corpus/gltf/; the body (bodies/Gltf.cpp) is shared with
// the corpus replay test of the normal build.
#include "fuzz/FuzzBodies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return quorin::fuzz::Gltf(data, size);
}
