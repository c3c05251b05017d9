// The fuzz target's body: arbitrary bytes through the battle model reader. A refusal
// (ECASException) is clean; a crash, a sanitizer report, another exception
// type, a model that breaks the reader's promises, or one that the writer
// does not give back as the same bytes is a finding.

#include "fuzz/FuzzBodies.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "model/CasModel.h"
#include "model/CasWriter.h"
#include "model/RestPose.h"

namespace {

// Latin-1 as UTF-8: ASCII, or C2 or C3 and a continuation byte. Reading
// every byte also lets the sanitizer see a text that points outside the model.
bool Latin1AsUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<std::uint8_t>(text[i]);
        if (c < 0x80)
            continue;
        if ((c != 0xC2 && c != 0xC3) || ++i == text.size() || (static_cast<std::uint8_t>(text[i]) & 0xC0) != 0x80)
            return false;
    }
    return true;
}

// What every caller relies on once a model has been read.
bool Consistent(const quorin::TCasModel& model)
{
    const auto nodes = model.Nodes.size();
    if (nodes == 0)
        return false;
    if (!Latin1AsUtf8(model.ExportHistory))
        return false;
    for (const auto& node : model.Nodes)
        if (!Latin1AsUtf8(node.Name) || !Latin1AsUtf8(node.Properties))
            return false;
    for (const auto& material : model.Materials)
        if (!Latin1AsUtf8(material.Name) || !Latin1AsUtf8(material.Texture))
            return false;
    for (std::size_t i = 1; i < nodes; ++i)
        if (model.Nodes[i].Parent >= nodes)
            return false;
    for (const auto& mesh : model.Meshes) {
        if (!Latin1AsUtf8(mesh.Name) || !Latin1AsUtf8(mesh.Properties))
            return false;
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
    const auto written = quorin::WriteCasModel(model);
    if (written.size() != size || !std::equal(written.begin(), written.end(), data))
        __builtin_trap();
    return 0;
}

} // namespace quorin::fuzz
