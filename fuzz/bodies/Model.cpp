// The fuzz target's body: arbitrary bytes through the battle model reader. A refusal
// (ECASException) is clean; a crash, a sanitizer report, another exception
// type, or a model that breaks the reader's promises is a finding.

#include "fuzz/FuzzBodies.h"

#include <cstddef>
#include <cstdint>
#include <span>

#include "model/CasModel.h"
#include "model/RestPose.h"

namespace {

// What every caller relies on once a model has been read.
bool Consistent(const quorin::TCasModel& model)
{
    const auto nodes = model.Nodes.size();
    if (nodes == 0)
        return false;
    for (std::size_t i = 1; i < nodes; ++i)
        if (model.Nodes[i].Parent >= nodes)
            return false;
    for (const auto& mesh : model.Meshes) {
        const std::size_t vertices = mesh.VertexCount;
        if (mesh.Positions.size() != 3 * vertices || mesh.Normals.size() != 3 * vertices ||
            mesh.Indices.size() != 3 * std::size_t{mesh.TriangleCount} ||
            mesh.UVs.size() != (mesh.HasUV ? 2 * vertices : 0) || mesh.Colours.size() != (mesh.HasColour ? vertices : 0))
            return false;
        for (auto index : mesh.Indices)
            if (index >= vertices)
                return false;
        if (mesh.Material != quorin::CasNoMaterial && mesh.Material >= model.Materials.size())
            return false;
    }
    return true;
}

} // namespace

namespace quorin::fuzz {

int Model(const std::uint8_t* data, std::size_t size)
{
    quorin::TCasModel model;
    try {
        model = quorin::ReadCasModel(std::span(data, size), "fuzz.cas");
    } catch (const quorin::ECASException&) {
        return 0;
    }
    if (!Consistent(model))
        __builtin_trap();
    // The rest pose walks every bone index the reader let through.
    auto pose = quorin::CasRestPose(model);
    if (pose.MeshPositions.size() != model.Meshes.size())
        __builtin_trap();
    (void)quorin::CasTotals(model);
    return 0;
}

} // namespace quorin::fuzz
