#include "CasDraft.h"

namespace quorin {

TCasModel CasModelView(const TCasDraft& draft)
{
    TCasModel model;
    model.Header = draft.Header;
    model.HasExportHistory = draft.HasExportHistory;
    model.ExportHistory = draft.ExportHistory;
    model.NodeReserved = draft.NodeReserved;
    model.KeyTimes = draft.KeyTimes;
    model.KeyData = draft.KeyData;
    for (const auto& node : draft.Nodes) {
        auto& out = model.Nodes.emplace_back(node.Fields);
        out.Name = node.Name;
        out.Properties = node.Properties;
    }
    for (const auto& mesh : draft.Meshes) {
        auto& out = model.Meshes.emplace_back(mesh.Fields);
        out.Name = mesh.Name;
        out.Properties = mesh.Properties;
        out.Bones = mesh.Bones;
        out.FirstBones = mesh.FirstBones;
        out.SecondBones = mesh.SecondBones;
        out.Colours = mesh.Colours;
        out.Positions = mesh.Positions;
        out.Weights = mesh.Weights;
        out.Normals = mesh.Normals;
        out.UVs = mesh.UVs;
        out.Indices = mesh.Indices;
    }
    for (const auto& material : draft.Materials) {
        auto& out = model.Materials.emplace_back(material.Fields);
        out.Name = material.Name;
        out.Texture = material.Texture;
    }
    for (const auto& chunk : draft.Chunks) {
        auto& out = model.Chunks.emplace_back(chunk.Fields);
        out.Payload = chunk.Payload;
    }
    return model;
}

// 187 of 237 unit models are 3.22; most carry these colours and integers.
TCasHeader UsualCasHeader()
{
    TCasHeader header;
    header.Version = 3.22f;
    header.Fixed = {38, 9, 0};
    header.AnimationSeconds = 3.333f;
    header.Fixed2 = {1, 0};
    header.FirstColour = {0x5E, 0x5E, 0x5E};
    header.Integers = {1, 0};
    header.SecondColour = {0, 0, 0};
    return header;
}

// White diffuse and specular, and the tail most unit models' materials end with.
TCasMaterial UsualCasMaterial()
{
    TCasMaterial material;
    material.Named = 1;
    material.Diffuse = {1, 1, 1, 1};
    material.Specular = {1, 1, 1};
    material.Tail.back() = 1;
    return material;
}

} // namespace quorin
