#include <gtest/gtest.h>

#include <bit>
#include <functional>

#include "model/CasModel.h"
#include "model/RestPose.h"
#include "tests/support/CasBuilder.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

using test::BuildCas;
using test::Bytes;
using test::SmallCasRecipe;
using test::TCasBuilt;

TCasModel Read(const Bytes& bytes) { return ReadCasModel(bytes, "small.cas"); }

void Put32(Bytes& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

void Put16(Bytes& bytes, std::size_t at, std::uint16_t value)
{
    bytes.at(at) = static_cast<std::uint8_t>(value);
    bytes.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

// The values of an array the reader filled, to compare with a plain vector.
template <typename T>
std::vector<T> Values(const TCasArray<T>& values)
{
    return {values.begin(), values.end()};
}

std::vector<float> Flat(const std::vector<std::array<float, 3>>& points)
{
    std::vector<float> flat;
    for (const auto& p : points)
        flat.insert(flat.end(), p.begin(), p.end());
    return flat;
}

// ---- reading ---------------------------------------------------------------

TEST(CasModelTest, ReadsTheHeaderTheHistoryAndTheNodes)
{
    TCasModel model = Read(BuildCas(SmallCasRecipe()).Bytes);

    EXPECT_FLOAT_EQ(model.Header.Version, 3.22f);
    EXPECT_FLOAT_EQ(model.Header.AnimationSeconds, 3.333f);
    EXPECT_EQ(model.Header.Fixed, (std::array<std::uint32_t, 3>{38, 9, 0}));
    ASSERT_TRUE(model.HasExportHistory);
    EXPECT_EQ(model.ExportHistory, "someone / 01.01.2026 / small.cas / small.max");

    ASSERT_EQ(model.Nodes.size(), 3u);
    const std::vector<std::tuple<std::string, std::uint32_t, std::uint32_t, std::uint32_t, std::size_t>> nodes = {
        {"Scene Root", CasNoParent, 0, 0, 0},
        {"bone_pelvis", 0, 2, 3, 0},
        {"bone_torso", 1, 1, 0, 17},
    };
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& [name, parent, rotations, positions, firstKey] = nodes[i];
        EXPECT_EQ(model.Nodes[i].Name, name);
        EXPECT_EQ(model.Nodes[i].Parent, parent);
        EXPECT_EQ(model.Nodes[i].RotationKeys, rotations);
        EXPECT_EQ(model.Nodes[i].PositionKeys, positions);
        EXPECT_EQ(model.Nodes[i].FirstKeyFloat, firstKey);
    }
    EXPECT_FLOAT_EQ(model.Nodes[2].Pivot.X, 0.5f);
    EXPECT_FLOAT_EQ(model.Nodes[2].Pivot.Y, 0.25f);
    EXPECT_FLOAT_EQ(model.Nodes[2].Pivot.Z, -1.0f);
    EXPECT_EQ(Values(model.KeyTimes), (std::vector<float>{0, 1 / 30.0f, 2 / 30.0f}));
    ASSERT_EQ(model.KeyData.size(), 21u);  // 2 x 4 + 3 x 3 + 1 x 4
    EXPECT_FLOAT_EQ(model.KeyData.front(), 0.5f);
    EXPECT_FLOAT_EQ(model.KeyData.back(), 20.5f);
}

TEST(CasModelTest, ReadsEachKindOfMesh)
{
    const auto recipe = SmallCasRecipe();
    TCasModel model = Read(BuildCas(recipe).Bytes);

    ASSERT_EQ(model.Meshes.size(), 3u);
    const std::vector<TCasMeshKind> kinds = {TCasMeshKind::Rigid, TCasMeshKind::OneBone, TCasMeshKind::TwoBone};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(recipe.Meshes[i].Name);
        const auto& mesh = model.Meshes[i];
        const auto& want = recipe.Meshes[i];
        EXPECT_EQ(mesh.Kind, kinds[i]);
        EXPECT_EQ(mesh.Name, want.Name);
        EXPECT_EQ(mesh.VertexCount, want.Positions.size());
        EXPECT_EQ(mesh.TriangleCount, want.Triangles.size());
        EXPECT_EQ(Values(mesh.Positions), Flat(want.Positions));
        EXPECT_EQ(mesh.Normals.size(), 3 * want.Positions.size());
        std::vector<std::uint16_t> indices;
        for (const auto& t : want.Triangles)
            indices.insert(indices.end(), t.begin(), t.end());
        EXPECT_EQ(Values(mesh.Indices), indices);
        EXPECT_EQ(mesh.Material, want.Material);
        EXPECT_EQ(mesh.HasUV, !want.UVs.empty());
        EXPECT_EQ(mesh.UVs.size(), 2 * want.UVs.size());
        EXPECT_EQ(mesh.HasColour, !want.Colours.empty());
        EXPECT_EQ(Values(mesh.Colours), want.Colours);
    }
    EXPECT_EQ(model.Meshes[0].Bone, 2u);
    EXPECT_EQ(model.Meshes[0].RigidFixed, 1u);
    EXPECT_FLOAT_EQ(model.Meshes[0].Placement[3], 1.0f);
    EXPECT_EQ(Values(model.Meshes[1].Bones), (std::vector<std::uint32_t>{1, 2, 2, 1}));
    EXPECT_EQ(Values(model.Meshes[2].Weights), (std::vector<float>{1, 0.25f, 0}));
    EXPECT_EQ(Values(model.Meshes[2].FirstBones), (std::vector<std::uint32_t>{1, 1, 2}));
    EXPECT_EQ(Values(model.Meshes[2].SecondBones), (std::vector<std::uint32_t>{2, 2, 1}));
    EXPECT_EQ(Values(model.Meshes[2].UVs), (std::vector<float>{0.5f, 0.5f, 0.5f, 1, 1, 1}));
}

// Every array and text lies in one buffer the model owns: each must keep its
// own values when the file packs them tightly (an odd count of u16 indices
// right before the next array, names of every length mod 4, a Latin-1 name
// between arrays), and all must survive the model being moved.
TEST(CasModelTest, ArraysAndTextsStayIntactInTheModelsBuffer)
{
    auto recipe = SmallCasRecipe();
    recipe.Meshes[1].Triangles.push_back({3, 2, 1});
    for (auto& mesh : recipe.Meshes)
        mesh.Colours.assign(mesh.Positions.size(), 0x80402010u + static_cast<std::uint32_t>(mesh.Kind));
    const std::vector<std::pair<std::string, std::string>> names = {
        {"a", "a"}, {"b\xE9z", "b\xC3\xA9z"}, {"shield", "shield"}};
    ASSERT_EQ(recipe.Meshes.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        recipe.Meshes[i].Name = names[i].first;
    TCasModel model = Read(BuildCas(SmallCasRecipe()).Bytes);
    model = Read(BuildCas(recipe).Bytes);  // the first model's buffer goes

    ASSERT_EQ(model.Meshes.size(), recipe.Meshes.size());
    for (std::size_t i = 0; i < recipe.Meshes.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& mesh = model.Meshes[i];
        const auto& want = recipe.Meshes[i];
        EXPECT_EQ(mesh.Name, names[i].second);
        std::vector<std::uint16_t> indices;
        for (const auto& t : want.Triangles)
            indices.insert(indices.end(), t.begin(), t.end());
        std::vector<float> uvs;
        for (const auto& uv : want.UVs)
            uvs.insert(uvs.end(), uv.begin(), uv.end());
        EXPECT_EQ(Values(mesh.Positions), Flat(want.Positions));
        EXPECT_EQ(Values(mesh.Indices), indices);
        EXPECT_EQ(Values(mesh.UVs), uvs);
        EXPECT_EQ(Values(mesh.Colours), want.Colours);
        EXPECT_EQ(Values(mesh.Bones), want.Bones);
        EXPECT_EQ(Values(mesh.Weights), want.Weights);
        EXPECT_EQ(Values(mesh.FirstBones), want.FirstBones);
        EXPECT_EQ(Values(mesh.SecondBones), want.SecondBones);
    }
    EXPECT_EQ(Values(model.KeyTimes), (std::vector<float>{0, 1 / 30.0f, 2 / 30.0f}));
    EXPECT_FLOAT_EQ(model.KeyData.back(), 20.5f);
}

TEST(CasModelTest, ReadsMaterialsWithAndWithoutNames)
{
    auto recipe = SmallCasRecipe();
    recipe.Materials.push_back({true, "", "textures\\second.TGA"});
    TCasModel model = Read(BuildCas(recipe).Bytes);

    ASSERT_EQ(model.Materials.size(), 3u);
    const std::vector<std::tuple<std::uint32_t, std::string, std::string>> want = {
        {1, "skin", "textures\\hastati.tga"}, {0, "", ""}, {1, "", "textures\\second.TGA"}};
    for (std::size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(model.Materials[i].Named, std::get<0>(want[i]));
        EXPECT_EQ(model.Materials[i].Name, std::get<1>(want[i]));
        EXPECT_EQ(model.Materials[i].Texture, std::get<2>(want[i]));
        EXPECT_FLOAT_EQ(model.Materials[i].Specular[0], 0.3f);
    }
}

TEST(CasModelTest, KeepsEveryChunkAndPassesOverKindsItDoesNotRead)
{
    auto built = BuildCas(SmallCasRecipe());
    // A chunk of a kind no model seen has, framed as all chunks are.
    const Bytes extra = {12, 0, 0, 0, 77, 0, 0, 0, 1, 2, 3, 4};
    built.Bytes.insert(built.Bytes.end(), extra.begin(), extra.end());
    TCasModel model = Read(built.Bytes);

    std::vector<std::uint32_t> kinds;
    for (const auto& chunk : model.Chunks)
        kinds.push_back(chunk.Kind);
    EXPECT_EQ(kinds, (std::vector<std::uint32_t>{13, 0, 1, 2, 3, 8, 10, 5, 77}));
    EXPECT_EQ(model.Chunks.back().Offset, built.ChunkOffsets.back());
    EXPECT_EQ(model.Chunks.back().Size, 12u);
    EXPECT_EQ(model.Chunks[2].TrailerCount, 1u);  // the rigid chunk's count of meshes
}

TEST(CasModelTest, LatinOneNamesBecomeUtf8)
{
    auto recipe = SmallCasRecipe();
    recipe.Nodes[1].Name = "bone_\xE9p\xE9";
    recipe.Materials[0].Texture = "textures\\\xFC.tga";
    TCasModel model = Read(BuildCas(recipe).Bytes);
    EXPECT_EQ(model.Nodes[1].Name, "bone_\xC3\xA9p\xC3\xA9");
    EXPECT_EQ(model.Materials[0].Texture, "textures\\\xC3\xBC.tga");
}

TEST(CasModelTest, CountsWhatTheChecksNeed)
{
    auto recipe = SmallCasRecipe();
    auto second = recipe.Meshes[2];
    second.Positions.push_back({0, 0, 1});
    second.Weights.push_back(0.5f);
    second.FirstBones.push_back(1);
    second.SecondBones.push_back(2);
    second.UVs.push_back({0, 0});
    recipe.Meshes.push_back(second);
    TCasTotals totals = CasTotals(Read(BuildCas(recipe).Bytes));
    EXPECT_EQ(totals.Vertices, 3u + 4u + 3u + 4u);
    EXPECT_EQ(totals.Triangles, 1u + 2u + 1u + 1u);
    EXPECT_EQ(totals.Bones, 3u);
    EXPECT_EQ(totals.TwoBoneVertices, 7u);
    EXPECT_EQ(totals.LargestTwoBoneMesh, 4u);
}

TEST(CasModelTest, LoadingNamesTheFile)
{
    test::TempDir dir;
    auto path = dir.File("hastati.cas");
    EXPECT_THROW(LoadCasModel(path), EFOpenError);

    auto bytes = BuildCas(SmallCasRecipe()).Bytes;
    bytes.resize(30);
    test::WriteFile(path, bytes);
    try {
        LoadCasModel(path);
        FAIL() << "a cut-short file was read";
    } catch (const ECASException& e) {
        EXPECT_EQ(e.Message(), "Damaged model file " + path +
                                   " at byte 0: expected the header (42 bytes), but only 30 bytes are left in the file");
    }
    test::WriteFile(path, BuildCas(SmallCasRecipe()).Bytes);
    EXPECT_EQ(LoadCasModel(path).Meshes.size(), 3u);
}

// ---- the rest pose ---------------------------------------------------------

TEST(CasRestPoseTest, NodesAddTheirPivotsUpTheChain)
{
    TCasRestPose pose = CasRestPose(Read(BuildCas(SmallCasRecipe()).Bytes));
    ASSERT_EQ(pose.NodePositions.size(), 3u);
    const std::vector<std::array<float, 3>> want = {{0, 0, 0}, {0, 1, 0}, {0.5f, 1.25f, -1}};
    for (std::size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(pose.NodePositions[i].X, want[i][0]);
        EXPECT_FLOAT_EQ(pose.NodePositions[i].Y, want[i][1]);
        EXPECT_FLOAT_EQ(pose.NodePositions[i].Z, want[i][2]);
    }
}

TEST(CasRestPoseTest, VerticesStandAtTheirBones)
{
    // Bone 1 (pelvis) stands at (0, 1, 0), bone 2 (torso) at (0.5, 1.25, -1).
    TCasRestPose pose = CasRestPose(Read(BuildCas(SmallCasRecipe()).Bytes));
    struct TCase {
        std::size_t mesh, vertex;
        std::array<float, 3> at;
    };
    const std::vector<TCase> cases = {
        {0, 0, {0.5f, 1.25f, -1}},    // rigid, fixed to bone 2
        {0, 2, {0.5f, 2.25f, -1}},
        {1, 0, {0, 1, 0}},            // one bone: bone 1
        {1, 1, {1.5f, 1.25f, -1}},    // one bone: bone 2
        {1, 3, {0, 2, 0}},
        {2, 0, {0, 1, 0}},            // weight 1: all first bone (1)
        {2, 1, {0.375f, 0.1875f, -0.75f}},  // 0.25 of bone 1, 0.75 of bone 2, then (0, -1, 0)
        {2, 2, {1, 0, 0}},            // weight 0: all second bone (1)
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mesh " << c.mesh << " vertex " << c.vertex);
        const auto& positions = pose.MeshPositions.at(c.mesh);
        EXPECT_FLOAT_EQ(positions.at(3 * c.vertex), c.at[0]);
        EXPECT_FLOAT_EQ(positions.at(3 * c.vertex + 1), c.at[1]);
        EXPECT_FLOAT_EQ(positions.at(3 * c.vertex + 2), c.at[2]);
    }
    EXPECT_FLOAT_EQ(pose.Minimum.X, 0);
    EXPECT_FLOAT_EQ(pose.Minimum.Y, 0);
    EXPECT_FLOAT_EQ(pose.Minimum.Z, -1);
    EXPECT_FLOAT_EQ(pose.Maximum.X, 1.5f);
    EXPECT_FLOAT_EQ(pose.Maximum.Y, 2.25f);
    EXPECT_FLOAT_EQ(pose.Maximum.Z, 0);
}

// ---- damage ----------------------------------------------------------------

struct TDamage {
    std::string name;
    std::function<void(Bytes&, const TCasBuilt&)> damage;
    std::function<std::size_t(const TCasBuilt&)> offset;
    std::string expectation;  // the whole text, or its start when it ends in "..."
};

std::function<std::size_t(const TCasBuilt&)> At(std::string field, std::size_t plus = 0)
{
    return [=](const TCasBuilt& built) { return built.Where(field) + plus; };
}

std::function<void(Bytes&, const TCasBuilt&)> Set32(std::string field, std::uint32_t value, std::size_t plus = 0)
{
    return [=](Bytes& bytes, const TCasBuilt& built) { Put32(bytes, built.Where(field) + plus, value); };
}

std::function<void(Bytes&, const TCasBuilt&)> Set16(std::string field, std::uint16_t value, std::size_t plus = 0)
{
    return [=](Bytes& bytes, const TCasBuilt& built) { Put16(bytes, built.Where(field) + plus, value); };
}

std::function<void(Bytes&, const TCasBuilt&)> Set8(std::string field, std::uint8_t value, std::size_t plus = 0)
{
    return [=](Bytes& bytes, const TCasBuilt& built) { bytes.at(built.Where(field) + plus) = value; };
}

// Refused alike whether the arrays are kept or only counted: the checks rely on it.
void ExpectRefused(const Bytes& bytes, std::size_t offset, const std::string& expectation)
{
    for (const TCasDetail detail : {TCasDetail::Everything, TCasDetail::Counts}) {
        SCOPED_TRACE(detail == TCasDetail::Everything ? "everything" : "counts");
        try {
            ReadCasModel(bytes, "small.cas", detail);
            ADD_FAILURE() << "read without complaint";
        } catch (const ECASException& e) {
            EXPECT_EQ(e.Offset(), offset) << e.Message();
            if (expectation.ends_with("..."))
                EXPECT_EQ(e.Expectation().substr(0, expectation.size() - 3),
                          expectation.substr(0, expectation.size() - 3));
            else
                EXPECT_EQ(e.Expectation(), expectation);
            EXPECT_EQ(e.Message(),
                      "Damaged model file small.cas at byte " + std::to_string(offset) + ": " + e.Expectation());
        }
    }
}

TEST(CasModelTest, CountsAloneKeepEverythingButTheArrays)
{
    const Bytes bytes = BuildCas(SmallCasRecipe()).Bytes;
    const TCasModel full = Read(bytes);
    const TCasModel counted = ReadCasModel(bytes, "small.cas", TCasDetail::Counts);
    ASSERT_EQ(counted.Meshes.size(), full.Meshes.size());
    for (std::size_t i = 0; i < full.Meshes.size(); ++i) {
        EXPECT_EQ(counted.Meshes[i].Name, full.Meshes[i].Name);
        EXPECT_EQ(counted.Meshes[i].VertexCount, full.Meshes[i].VertexCount);
        EXPECT_EQ(counted.Meshes[i].TriangleCount, full.Meshes[i].TriangleCount);
        EXPECT_EQ(counted.Meshes[i].Material, full.Meshes[i].Material);
        EXPECT_TRUE(counted.Meshes[i].Positions.empty());
        EXPECT_TRUE(counted.Meshes[i].Indices.empty());
    }
    EXPECT_TRUE(counted.KeyData.empty());
    EXPECT_EQ(counted.Nodes.size(), full.Nodes.size());
    EXPECT_EQ(counted.Materials[0].Texture, full.Materials[0].Texture);
    const TCasTotals a = CasTotals(full), b = CasTotals(counted);
    EXPECT_EQ(std::tie(a.Vertices, a.Triangles, a.Bones, a.TwoBoneVertices, a.LargestTwoBoneMesh),
              std::tie(b.Vertices, b.Triangles, b.Bones, b.TwoBoneVertices, b.LargestTwoBoneMesh));
}

TEST(CasModelDamageTest, EachDamageIsRefusedWhereItIs)
{
    const std::vector<TDamage> cases = {
        {"version", [](Bytes& b, const TCasBuilt&) { Put32(b, 0, std::bit_cast<std::uint32_t>(2.5f)); },
         [](const TCasBuilt&) { return std::size_t{0}; }, "expected a version from 3.16 to 3.23, found 2.5"},
        {"chunk size below 8", Set32("chunk 0", 7), At("chunk 0"), "expected a chunk size of at least 8, found 7"},
        {"chunk size past the end", Set32("chunk 5", 0xFFFFFFFF), At("chunk 5"),
         "expected a chunk size within the ..."},
        {"no nodes", Set32("node count", 0), At("node count"), "expected at least one node (the root), found 0"},
        {"too many nodes", Set32("node count", 1000000), At("node count"),
         "expected at most 5 nodes in the 267 bytes left in the chunk, found 1000000"},
        {"parent out of range", Set32("parent 2", 3), At("parent 2"),
         "expected a parent node index below 3, found 3"},
        {"parents in a loop", Set32("parent 1", 2), At("parent 1"),
         "expected a chain of parents that reaches the root, but node 1's leads back to itself"},
        {"its own parent", Set32("parent 2", 2), At("parent 2"),
         "expected a chain of parents that reaches the root, but node 2's leads back to itself"},
        {"too many key times", Set32("key count", 1000000), At("key count", 4),
         "expected the key times (4000000 bytes), but only ..."},
        {"more rotation keys than keys", Set32("rotation keys 1", 4), At("rotation keys 1"),
         "expected at most 3 rotation keys, found 4"},
        {"more position keys than keys", Set32("position keys 2", 7), At("position keys 2"),
         "expected at most 3 position keys, found 7"},
        {"keys past the chunk", Set32("rotation keys 0", 3), At("key data"),
         "expected the animation keys (132 bytes), but only ..."},
        {"name longer than the chunk", Set32("node name 0", 100000), At("node name 0", 4),
         "expected a node name (100000 bytes), but only ..."},
        {"name of length 0", Set32("node name 0", 0), At("node name 0"),
         "expected the length of a node name to count its final NUL byte, found 0"},
        {"name without its NUL", Set8("node name 0", 'x', 4 + 10), At("node name 0", 4 + 10),
         "expected the NUL byte that ends a node name, found 120"},
        {"too many meshes", Set32("mesh count 2", 70000), At("mesh count 2"), 
         "expected at most 4 meshes in the 232 bytes left in the chunk, found 70000"},
        {"rigid bone out of range", Set32("mesh 0 bone", 3), At("mesh 0 bone"),
         "expected a bone index below 3, found 3"},
        {"too many rigid vertices", Set16("mesh 0 vertices", 60000), At("mesh 0 positions"),
         "expected the vertex positions (720000 bytes), but only ..."},
        {"too many one-bone vertices", Set16("mesh 1 vertices", 60000), At("mesh 1 bones"),
         "expected the vertices' bones (240000 bytes), but only ..."},
        {"too many triangles", Set16("mesh 2 triangles", 60000), At("mesh 2 indices"),
         "expected the triangles (360000 bytes), but only ..."},
        {"UV flag 2", Set8("mesh 0 uv flag", 2), At("mesh 0 uv flag"),
         "expected 0 or 1 for whether a mesh has UVs, found 2"},
        {"colour flag 255", Set8("mesh 1 colour flag", 255), At("mesh 1 colour flag"),
         "expected 0 or 1 for whether a mesh has colours, found 255"},
        {"one-bone index out of range", Set32("mesh 1 bones", 7, 8), At("mesh 1 bones", 8),
         "expected a bone index below 3, found 7"},
        {"first bone out of range", Set32("mesh 2 first bones", 3), At("mesh 2 first bones"),
         "expected a bone index below 3, found 3"},
        {"second bone out of range", Set32("mesh 2 second bones", 9, 4), At("mesh 2 second bones", 4),
         "expected a bone index below 3, found 9"},
        {"vertex index out of range", Set16("mesh 1 indices", 4, 10), At("mesh 1 indices", 10),
         "expected a vertex index below 4, found 4"},
        {"material out of range", Set32("mesh 2 material", 2), At("mesh 2 material"),
         "expected a material index below 2 or none (4294967295), found 2"},
        {"too many materials", Set32("material count", 5000), At("material count"), 
         "expected at most 2 materials in the 148 bytes left in the chunk, found 5000"},
        {"texture path past the chunk", [](Bytes& b, const TCasBuilt& built) {
             std::fill(b.begin() + static_cast<std::ptrdiff_t>(built.Where("material 0 name") + 5), b.end(), 'x');
         },
         At("material 0 name", 5), "expected a material's texture path ending in a NUL byte before the chunk ends at byte ..."},
        {"history longer than its chunk", Set32("history", 1000), At("history", 4),
         "expected the export history (1000 bytes), but only ..."},
    };
    const TCasBuilt built = BuildCas(SmallCasRecipe());
    ASSERT_NO_THROW(Read(built.Bytes));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bytes = built.Bytes;
        c.damage(bytes, built);
        ExpectRefused(bytes, c.offset(built), c.expectation);
    }
}

TEST(CasModelDamageTest, TheChunkChainMustHoldTogether)
{
    const TCasBuilt built = BuildCas(SmallCasRecipe());
    const auto size = built.Bytes.size();
    const auto nodes = built.Where("chunk 0"), rigid = built.Where("chunk 1"), materials = built.Where("chunk 5");
    auto chunk = [&](std::size_t offset) {
        auto next = *std::upper_bound(built.ChunkOffsets.begin(), built.ChunkOffsets.end(), offset);
        return Bytes(built.Bytes.begin() + offset, built.Bytes.begin() + next);
    };

    Bytes longer = built.Bytes;  // the material chunk claims 4 bytes it does not read
    Put32(longer, materials, static_cast<std::uint32_t>(size - materials + 4));
    longer.insert(longer.end(), 4, 0);
    ExpectRefused(longer, size, "expected the end of the kind 5 chunk that began at byte " + std::to_string(materials) +
                                    ", found 4 bytes more");

    Bytes shorter = built.Bytes;  // the material chunk ends inside its last material
    Put32(shorter, materials, static_cast<std::uint32_t>(size - materials - 4));
    shorter.resize(size - 4);
    ExpectRefused(shorter, size - 4 - 25, "expected the end of a material (29 bytes), but only 25 bytes are left in the chunk");

    Bytes tail = built.Bytes;
    tail.insert(tail.end(), {1, 2, 3});
    ExpectRefused(tail, size, "expected a chunk head (8 bytes), but only 3 bytes are left in the file");

    Bytes twice = built.Bytes;
    auto nodeChunk = chunk(nodes);
    twice.insert(twice.end(), nodeChunk.begin(), nodeChunk.end());
    ExpectRefused(twice, size, "expected one node chunk, found a second");

    // The rigid meshes moved in front of the nodes.
    Bytes swapped(built.Bytes.begin(), built.Bytes.begin() + nodes);
    auto rigidChunk = chunk(rigid);
    swapped.insert(swapped.end(), rigidChunk.begin(), rigidChunk.end());
    swapped.insert(swapped.end(), nodeChunk.begin(), nodeChunk.end());
    swapped.insert(swapped.end(), built.Bytes.begin() + rigid + rigidChunk.size(), built.Bytes.end());
    ExpectRefused(swapped, nodes, "expected the node chunk (kind 0) before the meshes");
}

TEST(CasModelDamageTest, EveryCutInsideAPartIsRefusedAtThatPart)
{
    const TCasBuilt built = BuildCas(SmallCasRecipe());
    const auto& offsets = built.ChunkOffsets;
    for (std::size_t cut = 0; cut < built.Bytes.size(); ++cut) {
        if (std::binary_search(offsets.begin(), offsets.end(), cut))
            continue;  // whole chunks: the next test
        SCOPED_TRACE(cut);
        // In the header, the header is short; in a chunk, its size runs past the end.
        std::size_t expected = cut < CasHeaderSize ? 0 : *(std::upper_bound(offsets.begin(), offsets.end(), cut) - 1);
        Bytes bytes(built.Bytes.begin(), built.Bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        try {
            Read(bytes);
            ADD_FAILURE() << "read without complaint";
        } catch (const ECASException& e) {
            EXPECT_EQ(e.Offset(), expected) << e.Message();
        }
    }
}

TEST(CasModelDamageTest, CutsBetweenChunksKeepOnlyWholeModels)
{
    const TCasBuilt built = BuildCas(SmallCasRecipe());
    const auto nodes = built.Where("chunk 0"), afterNodes = built.Where("chunk 1");
    for (std::size_t i = 0; i + 1 < built.ChunkOffsets.size(); ++i) {
        const auto cut = built.ChunkOffsets[i];
        SCOPED_TRACE(cut);
        Bytes bytes(built.Bytes.begin(), built.Bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        if (cut <= nodes) {
            ExpectRefused(bytes, cut, "expected a node chunk (kind 0) before the end of the file");
        } else if (cut == afterNodes) {
            TCasModel model = Read(bytes);  // a skeleton alone is a whole model
            EXPECT_EQ(model.Nodes.size(), 3u);
            EXPECT_TRUE(model.Meshes.empty());
        } else {
            ExpectRefused(bytes, built.Where("mesh 0 material"),
                          "expected a material index below 0 or none (4294967295), found 0");
        }
    }
}

} // namespace
} // namespace quorin
