#pragma once
// Builds battle models (.cas) from a recipe, for the tests, the benchmark and
// the fuzz seeds: every field in the order the reader expects, and the offset
// of each field a test may want to damage.

#include <array>
#include <bit>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quorin::test {

struct TCasNodeRecipe {
    std::string Name;
    std::uint32_t Parent = 0;  // ignored for the root
    std::array<float, 3> Pivot{};
    std::uint32_t RotationKeys = 0;
    std::uint32_t PositionKeys = 0;
};

struct TCasMeshRecipe {
    std::uint32_t Kind = 1;  // 1 rigid, 2 one bone per vertex, 3 two bones per vertex
    std::string Name;
    std::uint32_t Bone = 0;                    // kind 1
    std::vector<std::array<float, 3>> Positions;
    std::vector<std::uint32_t> Bones;          // kind 2
    std::vector<float> Weights;                // kind 3
    std::vector<std::uint32_t> FirstBones;     // kind 3
    std::vector<std::uint32_t> SecondBones;    // kind 3
    std::vector<std::array<std::uint16_t, 3>> Triangles;
    std::uint32_t Material = 0;
    std::vector<std::array<float, 2>> UVs;     // none when empty
    std::vector<std::uint32_t> Colours;        // none when empty
};

struct TCasMaterialRecipe {
    bool Named = true;
    std::string Name;
    std::string Texture;
};

struct TCasRecipe {
    float Version = 3.22f;
    float AnimationSeconds = 3.333f;
    std::optional<std::string> History;
    std::vector<TCasNodeRecipe> Nodes;
    std::uint32_t Keys = 0;
    std::vector<TCasMeshRecipe> Meshes;  // one chunk per kind, kinds in order 1, 2, 3
    std::vector<TCasMaterialRecipe> Materials;
    bool EmptyChunks = true;             // kinds 8 and 10, as real models have them
};

struct TCasBuilt {
    std::vector<std::uint8_t> Bytes;
    // Offsets of named fields: "node count", "parent 1", "key count",
    // "rotation keys 1", "node name 0", "key data", "pivots", "mesh count 2",
    // "mesh 0 vertices", "mesh 0 uv flag", "mesh 0 bone", "mesh 0 bones",
    // "mesh 0 positions", "mesh 0 first bones", "mesh 0 indices",
    // "mesh 0 material", "material count", "material 0 name", "chunk 5", ...
    std::map<std::string, std::size_t> At;
    std::vector<std::size_t> ChunkOffsets;  // in file order; the file's size last

    std::size_t Where(const std::string& field) const { return At.at(field); }
};

class TCasWriter {
public:
    std::vector<std::uint8_t> Bytes;
    std::map<std::string, std::size_t> At;

    void Mark(const std::string& field) { At[field] = Bytes.size(); }
    void U8(std::uint8_t v) { Bytes.push_back(v); }
    void U16(std::uint16_t v)
    {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v)
    {
        U16(static_cast<std::uint16_t>(v));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void F32(float v) { U32(std::bit_cast<std::uint32_t>(v)); }
    void LengthText(const std::string& text)
    {
        U32(static_cast<std::uint32_t>(text.size() + 1));
        NulText(text);
    }
    void NulText(const std::string& text)
    {
        Bytes.insert(Bytes.end(), text.begin(), text.end());
        U8(0);
    }
    void Zeros(std::size_t count) { Bytes.insert(Bytes.end(), count, 0); }
    // A chunk's head; its size is filled in by EndChunk.
    std::size_t BeginChunk(std::uint32_t kind)
    {
        Mark("chunk " + std::to_string(kind));
        std::size_t at = Bytes.size();
        U32(0);
        U32(kind);
        return at;
    }
    void EndChunk(std::size_t at)
    {
        auto size = static_cast<std::uint32_t>(Bytes.size() - at);
        for (int i = 0; i < 4; ++i)
            Bytes[at + i] = static_cast<std::uint8_t>(size >> (8 * i));
    }
};

inline void WriteCasMesh(TCasWriter& w, const TCasMeshRecipe& mesh, std::size_t index)
{
    const std::string m = "mesh " + std::to_string(index) + " ";
    w.Mark(m + "name");
    w.LengthText(mesh.Name);
    w.LengthText("");
    if (mesh.Kind == 1) {
        w.U32(1);
        w.U8(0);
        w.Mark(m + "bone");
        w.U32(mesh.Bone);
        for (float f : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f})
            w.F32(f);
    } else {
        w.Zeros(28);
    }
    const auto vertices = mesh.Positions.size();
    w.Mark(m + "vertices");
    w.U16(static_cast<std::uint16_t>(vertices));
    w.Mark(m + "triangles");
    w.U16(static_cast<std::uint16_t>(mesh.Triangles.size()));
    w.Mark(m + "uv flag");
    w.U8(mesh.UVs.empty() ? 0 : 1);
    w.Mark(m + "colour flag");
    w.U8(mesh.Colours.empty() ? 0 : 1);
    if (mesh.Kind == 2) {
        w.Mark(m + "bones");
        for (auto bone : mesh.Bones)
            w.U32(bone);
    }
    w.Mark(m + "positions");
    for (const auto& p : mesh.Positions)
        for (float f : p)
            w.F32(f);
    if (mesh.Kind == 3) {
        w.Mark(m + "weights");
        for (float f : mesh.Weights)
            w.F32(f);
        w.Mark(m + "first bones");
        for (auto bone : mesh.FirstBones)
            w.U32(bone);
        w.Mark(m + "second bones");
        for (auto bone : mesh.SecondBones)
            w.U32(bone);
    }
    w.Mark(m + "normals");
    for (std::size_t v = 0; v < vertices; ++v)
        for (float f : {0.f, 0.f, 1.f})
            w.F32(f);
    w.Mark(m + "indices");
    for (const auto& t : mesh.Triangles)
        for (auto i : t)
            w.U16(i);
    w.Mark(m + "material");
    w.U32(mesh.Material);
    for (const auto& uv : mesh.UVs)
        for (float f : uv)
            w.F32(f);
    for (auto colour : mesh.Colours)
        w.U32(colour);
    w.U32(0);
}

inline TCasBuilt BuildCas(const TCasRecipe& recipe)
{
    TCasWriter w;
    w.F32(recipe.Version);
    for (std::uint32_t v : {38u, 9u, 0u})
        w.U32(v);
    w.F32(recipe.AnimationSeconds);
    w.U32(1);
    w.U32(0);
    w.Zeros(14);

    if (recipe.History) {
        auto at = w.BeginChunk(13);
        w.Mark("history");
        w.LengthText(*recipe.History);
        w.EndChunk(at);
    }

    auto at = w.BeginChunk(0);
    const auto& nodes = recipe.Nodes;
    w.Mark("node count");
    w.U32(static_cast<std::uint32_t>(nodes.size()));
    w.U16(0);
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        w.Mark("parent " + std::to_string(i));
        w.U32(nodes[i].Parent);
    }
    w.Mark("key count");
    w.U32(recipe.Keys);
    for (std::uint32_t k = 0; k < recipe.Keys; ++k)
        w.F32(static_cast<float>(k) / 30.0f);
    std::uint32_t keyFloats = 0;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const auto n = std::to_string(i);
        w.Mark("node name " + n);
        w.LengthText(nodes[i].Name);
        w.Mark("rotation keys " + n);
        w.U32(nodes[i].RotationKeys);
        w.Mark("position keys " + n);
        w.U32(nodes[i].PositionKeys);
        w.Zeros(12);
        w.LengthText("");
        keyFloats += nodes[i].RotationKeys * 4 + nodes[i].PositionKeys * 3;
    }
    w.Mark("key data");
    for (std::uint32_t k = 0; k < keyFloats; ++k)
        w.F32(static_cast<float>(k) + 0.5f);
    w.Mark("pivots");
    for (const auto& node : nodes)
        for (float f : node.Pivot)
            w.F32(f);
    w.EndChunk(at);

    std::size_t index = 0;
    for (std::uint32_t kind : {1u, 2u, 3u}) {
        std::uint32_t count = 0;
        for (const auto& mesh : recipe.Meshes)
            count += mesh.Kind == kind;
        if (count == 0)
            continue;
        auto chunk = w.BeginChunk(kind);
        w.Mark("mesh count " + std::to_string(kind));
        w.U32(count);
        for (const auto& mesh : recipe.Meshes)
            if (mesh.Kind == kind)
                WriteCasMesh(w, mesh, index++);
        if (kind == 1)
            w.U16(0);
        w.U32(count);
        w.EndChunk(chunk);
    }

    if (recipe.EmptyChunks)
        for (std::uint32_t kind : {8u, 10u}) {
            auto chunk = w.BeginChunk(kind);
            w.Zeros(8);
            w.EndChunk(chunk);
        }

    at = w.BeginChunk(5);
    w.Mark("material count");
    w.U32(static_cast<std::uint32_t>(recipe.Materials.size()));
    for (std::size_t i = 0; i < recipe.Materials.size(); ++i) {
        const auto& material = recipe.Materials[i];
        w.U32(material.Named ? 1 : 0);
        if (material.Named) {
            w.Mark("material " + std::to_string(i) + " name");
            w.NulText(material.Name);
            w.NulText(material.Texture);
        }
        for (float f : {1.f, 1.f, 1.f, 1.f, 0.3f, 0.3f, 0.3f})
            w.F32(f);
        w.Zeros(29);
    }
    w.EndChunk(at);

    TCasBuilt built{std::move(w.Bytes), std::move(w.At), {}};
    for (std::size_t offset = 42; offset < built.Bytes.size();) {
        built.ChunkOffsets.push_back(offset);
        offset += built.Bytes[offset] | built.Bytes[offset + 1] << 8 | built.Bytes[offset + 2] << 16 |
                  static_cast<std::size_t>(built.Bytes[offset + 3]) << 24;
    }
    built.ChunkOffsets.push_back(built.Bytes.size());
    return built;
}

// A small model with every part: a three-node chain, a rigid, a one-bone and
// a two-bone mesh, a named and an unnamed material, and an export history.
inline TCasRecipe SmallCasRecipe()
{
    TCasRecipe recipe;
    recipe.History = "someone / 01.01.2026 / small.cas / small.max";
    recipe.Keys = 3;
    recipe.Nodes = {{"Scene Root", 0, {0, 0, 0}, 0, 0},
                    {"bone_pelvis", 0, {0, 1, 0}, 2, 3},
                    {"bone_torso", 1, {0.5f, 0.25f, -1}, 1, 0}};

    TCasMeshRecipe shield;
    shield.Kind = 1;
    shield.Name = "shield";
    shield.Bone = 2;
    shield.Positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    shield.Triangles = {{0, 1, 2}};
    shield.UVs = {{0, 0}, {1, 0}, {0, 1}};

    TCasMeshRecipe body;
    body.Kind = 2;
    body.Name = "body";
    body.Positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    body.Bones = {1, 2, 2, 1};
    body.Triangles = {{0, 1, 2}, {0, 2, 3}};
    body.UVs = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    body.Colours = {0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFFFFFFFF};

    TCasMeshRecipe cloak;
    cloak.Kind = 3;
    cloak.Name = "cloak";
    cloak.Positions = {{0, 0, 0}, {0, -1, 0}, {1, -1, 0}};
    cloak.Weights = {1, 0.25f, 0};
    cloak.FirstBones = {1, 1, 2};
    cloak.SecondBones = {2, 2, 1};
    cloak.Triangles = {{0, 1, 2}};
    cloak.Material = 1;
    cloak.UVs = {{0.5f, 0.5f}, {0.5f, 1}, {1, 1}};

    recipe.Meshes = {shield, body, cloak};
    recipe.Materials = {{true, "skin", "textures\\hastati.tga"}, {false, "", ""}};
    return recipe;
}

} // namespace quorin::test
