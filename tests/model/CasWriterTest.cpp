#include <gtest/gtest.h>

#include <functional>
#include <iostream>

#include "model/CasModel.h"
#include "model/CasWriter.h"
#include "tests/support/CasBuilder.h"
#include "tests/support/RealModels.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

using test::BuildCas;
using test::Bytes;
using test::SmallCasRecipe;
using test::TCasRecipe;

Bytes WrittenBack(const Bytes& bytes) { return WriteCasModel(ReadCasModel(bytes, "small.cas")); }

// Models built in the test, each read and written back byte for byte.
TEST(CasWriterTest, ModelsReadAndWrittenAgainAreTheSameFile)
{
    const std::vector<std::pair<std::string, std::function<void(TCasRecipe&)>>> cases = {
        {"every part", [](TCasRecipe&) {}},
        {"no export history", [](TCasRecipe& r) { r.History.reset(); }},
        {"no empty chunks", [](TCasRecipe& r) { r.EmptyChunks = false; }},
        {"Latin-1 names", [](TCasRecipe& r) {
             r.Meshes[0].Name = "\xE9p\xE9";
             r.Nodes[1].Name = "bone_\xFC";
             r.Materials[0].Name = "\xE6";
         }},
        {"colours on every mesh", [](TCasRecipe& r) {
             for (auto& mesh : r.Meshes)
                 mesh.Colours.assign(mesh.Positions.size(), 0x11223344);
         }},
        {"no UVs and no material", [](TCasRecipe& r) {
             for (auto& mesh : r.Meshes) {
                 mesh.UVs.clear();
                 mesh.Material = CasNoMaterial;
             }
         }},
        {"one mesh kind only", [](TCasRecipe& r) { r.Meshes.erase(r.Meshes.begin(), r.Meshes.begin() + 2); }},
        {"no meshes, no materials, no keys", [](TCasRecipe& r) {
             r.Meshes.clear();
             r.Materials.clear();
             r.Keys = 0;
             for (auto& node : r.Nodes)
                 node.RotationKeys = node.PositionKeys = 0;
         }},
        {"two unnamed materials and a named one", [](TCasRecipe& r) {
             r.Materials = {{false, "", ""}, {true, "", "textures\\x.TGA"}, {false, "", ""}};
         }},
    };
    for (const auto& [name, change] : cases) {
        SCOPED_TRACE(name);
        auto recipe = SmallCasRecipe();
        change(recipe);
        const Bytes bytes = BuildCas(recipe).Bytes;
        EXPECT_EQ(WrittenBack(bytes), bytes);
    }
}

// Fields the reader keeps without knowing them, and chunks it passes over,
// go back as they came.
TEST(CasWriterTest, FieldsOfUnknownMeaningAndUnknownChunksGoBackAsRead)
{
    auto built = BuildCas(SmallCasRecipe());
    Bytes& bytes = built.Bytes;
    for (std::size_t at = 0x1C; at < 0x2A; ++at)
        bytes[at] = static_cast<std::uint8_t>(0x50 + at);  // the header's colours and integers
    bytes[built.Where("node count") + 4] = 7;  // the field after the node count
    bytes[built.Where("mesh 0 bone") - 1] = 9;  // the rigid mesh's flag
    bytes[built.Where("mesh 0 bone") + 4] = 0x3F;  // its placement
    bytes[built.Where("material 0 name") + 5 + 21 + 28 + 3] = 0xAB;  // the first material's tail
    const Bytes extra = {13, 0, 0, 0, 77, 0, 0, 0, 1, 2, 3, 4, 5};
    bytes.insert(bytes.end(), extra.begin(), extra.end());
    // An unknown chunk between the nodes and the meshes, too.
    const std::size_t meshes = built.ChunkOffsets[2];
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(meshes), extra.begin(), extra.end());

    const TCasModel model = ReadCasModel(bytes, "small.cas");
    ASSERT_EQ(model.Materials[0].Tail[3], 0xAB);
    EXPECT_EQ(WriteCasModel(model), bytes);
}

// A model whose parts do not fit the format is refused with the reason,
// rather than written as a file the reader would refuse.
TEST(CasWriterTest, RefusesModelsTheFormatCannotHold)
{
    const Bytes bytes = BuildCas(SmallCasRecipe()).Bytes;
    const std::vector<std::pair<std::function<void(TCasModel&)>, std::string>> cases = {
        {[](TCasModel& m) { m.Meshes[1].Name = "\xE4\xB8\xAD"; }, "Latin-1"},
        {[](TCasModel& m) { m.Meshes[1].VertexCount = 5; }, "mesh \"body\" has 12 position values"},
        {[](TCasModel& m) { m.Meshes[2].HasUV = false; }, "mesh \"cloak\" has 6 UV values"},
        {[](TCasModel& m) { m.KeyData = m.KeyData.first(4); }, "key values"},
        {[](TCasModel& m) { m.Chunks.erase(m.Chunks.begin() + 4); }, "belong to no chunk"},
        {[](TCasModel& m) { m.Nodes.clear(); }, "no nodes"},
    };
    for (const auto& [change, message] : cases) {
        SCOPED_TRACE(message);
        TCasModel model = ReadCasModel(bytes, "small.cas");
        change(model);
        try {
            WriteCasModel(model);
            ADD_FAILURE() << "written";
        } catch (const ECasWriteError& e) {
            EXPECT_NE(e.Message().find(message), std::string::npos) << e.Message();
        }
    }
}

// Real models, when a folder of them is named: every one the reader takes
// is written back to the same bytes. The data is not part of the project.
TEST(CasWriterTest, RealModelsWrittenBackAreTheSameFiles)
{
    const auto models = test::RealModels();
    if (!models)
        GTEST_SKIP() << "QUORIN_REAL_MODELS names no folder of real models";
    std::size_t same = 0, refused = 0;
    for (const auto& [path, bytes] : *models) {
        TCasModel model;
        try {
            model = ReadCasModel(bytes, path.string());
        } catch (const ECASException&) {
            ++refused;  // damaged or of another layout: the reader's tests cover these
            continue;
        }
        const Bytes written = WriteCasModel(model);
        EXPECT_TRUE(written == bytes) << path;
        same += written == bytes;
    }
    std::cout << same << " models written back byte for byte, " << refused << " refused by the reader\n";
    EXPECT_GT(same, 0u);
}

} // namespace
} // namespace quorin
