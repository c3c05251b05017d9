// The fuzz target's body: arbitrary bytes through the glTF to battle model
// conversion. A refusal (EGltfError) is clean; a crash, a sanitizer report,
// another exception type, or a model file that the reader refuses is a finding.

#include "fuzz/FuzzBodies.h"

#include <span>

#include "model/CasModel.h"
#include "model/Gltf.h"

namespace quorin::fuzz {

int Gltf(const std::uint8_t* data, std::size_t size)
{
    quorin::TGltfImport result;
    try {
        result = quorin::ReadGltf(std::span(data, size), "fuzz.glb");
    } catch (const quorin::EGltfError&) {
        return 0;
    }
    try {
        (void)quorin::ReadCasModel(result.Cas, "fuzz.cas");
    } catch (const quorin::ECASException&) {
        __builtin_trap();
    }
    return 0;
}

} // namespace quorin::fuzz
