#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <functional>
#include <iostream>
#include <set>
#include <nlohmann/json.hpp>

#include "model/Base64.h"
#include "model/CasModel.h"
#include "model/CasWriter.h"
#include "model/Gltf.h"
#include "tests/support/CasBuilder.h"
#include "tests/support/RealModels.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

using json = nlohmann::json;
using test::BuildCas;
using test::Bytes;
using test::SmallCasRecipe;
using test::TCasRecipe;

Bytes ToBytes(const std::string& text) { return {text.begin(), text.end()}; }

template <typename T>
std::vector<T> Values(TCasArray<T> values)
{
    return {values.begin(), values.end()};
}

// ---- out and back ------------------------------------------------------------

// Models built in the test go out as glTF, binary and text, and come back
// as the very same file; among them the values that need the fixes in the
// extras (normals off unit length or zero, a two-bone vertex on one bone
// twice, a weight outside 0..1).
void OddNormals(Bytes& bytes, const test::TCasBuilt& built)
{
    const std::size_t at = built.Where("mesh 1 normals");
    const float values[] = {0, 0, 2, 0, 0, 0, 0.6f, 0.8f, 0};
    std::memcpy(bytes.data() + at, values, sizeof values);
}

void OddWeights(Bytes& bytes, const test::TCasBuilt& built)
{
    const float weights[] = {1.5f, -0.25f};
    std::memcpy(bytes.data() + built.Where("mesh 2 weights"), weights, sizeof weights);
    const std::uint32_t same = 1;
    std::memcpy(bytes.data() + built.Where("mesh 2 second bones") + 4 * 2, &same, 4);
    std::memcpy(bytes.data() + built.Where("mesh 2 first bones") + 4 * 2, &same, 4);
}

void FarPositions(TCasRecipe& r)
{
    r.Nodes[1].Pivot = {1e7f, -3.1f, 0.1f};
    r.Meshes[2].Positions = {{0.1f, 1e-7f, 3}, {-1e7f, 0.3f, 0.7f}, {1, 2, 3}};
}

TEST(GltfRoundTripTest, AnUnchangedGltfGivesBackTheSameFile)
{
    const std::vector<std::tuple<std::string, std::function<void(TCasRecipe&)>,
                                 std::function<void(Bytes&, const test::TCasBuilt&)>>>
        cases = {
            {"every part", [](TCasRecipe&) {}, nullptr},
            {"no history, no empty chunks", [](TCasRecipe& r) { r.History.reset(); r.EmptyChunks = false; }, nullptr},
            {"colours and Latin-1 names", [](TCasRecipe& r) {
                 r.Meshes[1].Colours.assign(4, 0xAABBCCDD);
                 r.Meshes[1].Name = "b\xE9te";
                 r.Nodes[2].Name = "bone_\xFC";
             }, nullptr},
            {"positions far from their bones", FarPositions, nullptr},
            {"odd normals", [](TCasRecipe&) {}, OddNormals},
            {"odd weights", [](TCasRecipe&) {}, OddWeights},
            {"rigid meshes only", [](TCasRecipe& r) { r.Meshes.resize(1); }, nullptr},
        };
    for (const auto& [name, recipeChange, byteChange] : cases) {
        SCOPED_TRACE(name);
        auto recipe = SmallCasRecipe();
        recipeChange(recipe);
        auto built = BuildCas(recipe);
        if (byteChange)
            byteChange(built.Bytes, built);
        const TCasModel model = ReadCasModel(built.Bytes, "small.cas");
        for (auto container : {TGltfContainer::Binary, TGltfContainer::Text}) {
            const Bytes gltf = WriteGltf(model, Bytes{1, 2, 3}, container);
            const TGltfImport back = ReadGltf(gltf, "small.glb");
            EXPECT_TRUE(back.Cas == built.Bytes);
            EXPECT_TRUE(back.Warnings.empty());
        }
    }
}

// Files written before the fixes went as Base64 records hold them as arrays
// of numbers, [vertex, values...] (a skin fix's bones whole numbers): such
// a file still gives the very same model.
TEST(GltfRoundTripTest, FixesAsArraysOfNumbersStillRead)
{
    auto recipe = SmallCasRecipe();
    FarPositions(recipe);
    auto built = BuildCas(recipe);
    OddNormals(built.Bytes, built);
    OddWeights(built.Bytes, built);
    const Bytes text = WriteGltf(ReadCasModel(built.Bytes, "small.cas"), {}, TGltfContainer::Text);
    json root = json::parse(text.begin(), text.end());
    std::set<std::string> kinds;
    for (auto& mesh : root["meshes"])
        for (auto& [kind, fixes] : mesh["extras"]["quorin"]["fixes"].items()) {
            const Bytes records = *DecodeBase64(fixes.get<std::string>());
            const std::size_t size = kind == "uvs" ? 12 : 16;
            json arrays = json::array();
            for (std::size_t at = 0; at < records.size(); at += size) {
                json fix = json::array();
                for (std::size_t field = at; field < at + size; field += 4) {
                    std::uint32_t bits;
                    std::memcpy(&bits, records.data() + field, 4);
                    const bool whole = field == at || (kind == "skin" && field < at + 12);
                    fix.push_back(whole ? json(bits) : json(static_cast<double>(std::bit_cast<float>(bits))));
                }
                arrays.push_back(fix);
            }
            fixes = arrays;
            kinds.insert(kind);
        }
    EXPECT_EQ(kinds, (std::set<std::string>{"normals", "positions", "skin"}));
    const TGltfImport back = ReadGltf(ToBytes(root.dump()), "before.gltf");
    EXPECT_TRUE(back.Cas == built.Bytes);
}

// Real models, when a folder of them is named: each goes out as .glb and
// as .gltf and comes back as the very same file. A model that glTF cannot
// hold (a mesh without triangles) is refused on the way out, and counted.
TEST(GltfRoundTripTest, RealModelsComeBackTheSameFiles)
{
    const auto models = test::RealModels();
    if (!models)
        GTEST_SKIP() << "QUORIN_REAL_MODELS names no folder of real models";
    std::size_t same = 0, unread = 0, unwritten = 0;
    for (const auto& [path, bytes] : *models) {
        TCasModel model;
        try {
            model = ReadCasModel(bytes, path.string());
        } catch (const ECASException&) {
            ++unread;  // damaged or of another layout: the reader's tests cover these
            continue;
        }
        bool back = true;
        for (auto container : {TGltfContainer::Binary, TGltfContainer::Text}) {
            Bytes gltf;
            try {
                gltf = WriteGltf(model, {}, container);
            } catch (const EGltfError&) {
                ++unwritten;
                back = false;
                break;
            }
            const TGltfImport result = ReadGltf(gltf, "real.glb");
            EXPECT_TRUE(result.Cas == bytes) << path;
            EXPECT_EQ(result.Warnings, std::vector<std::string>{}) << path;
            back = back && result.Cas == bytes;
        }
        same += back;
    }
    std::cout << same << " models back byte for byte through .glb and .gltf, " << unread << " refused by the reader, "
              << unwritten << " by the glTF writer\n";
    EXPECT_GT(same, 0u);
}

// The glTF as text, to be changed as an editor would.
json TextGltf(const TCasModel& model) {
    const Bytes text = WriteGltf(model, {}, TGltfContainer::Text);
    return json::parse(text.begin(), text.end());
}

Bytes BufferOf(const json& root)
{
    const std::string uri = root["buffers"][0]["uri"];
    return *DecodeBase64(std::string_view(uri).substr(uri.find(',') + 1));
}

void SetBuffer(json& root, const Bytes& buffer)
{
    root["buffers"][0]["uri"] = "data:application/octet-stream;base64," + EncodeBase64(buffer);
}

// A moved vertex and a deleted mesh come back as just that: the other
// meshes, the skeleton, the materials and the animation as they were.
TEST(GltfRoundTripTest, AnEditedGltfGivesTheEditAndNothingElse)
{
    const Bytes original = BuildCas(SmallCasRecipe()).Bytes;
    const TCasModel model = ReadCasModel(original, "small.cas");
    json root = TextGltf(model);

    // Moves the body's vertex 2 by one unit along x, and deletes the cloak.
    Bytes buffer = BufferOf(root);
    const std::size_t positions = root["meshes"][1]["primitives"][0]["attributes"]["POSITION"];
    const std::size_t view = root["accessors"][positions]["bufferView"];
    float x;
    const std::size_t at = root["bufferViews"][view]["byteOffset"].get<std::size_t>() + 2 * 12;
    std::memcpy(&x, buffer.data() + at, 4);
    x += 1;
    std::memcpy(buffer.data() + at, &x, 4);
    SetBuffer(root, buffer);
    for (auto& node : root["nodes"])
        if (node.value("name", "") == "cloak")
            node.erase("mesh");

    const TGltfImport back = ReadGltf(ToBytes(root.dump()), "edited.gltf");
    EXPECT_TRUE(back.Warnings.empty());
    const TCasModel edited = ReadCasModel(back.Cas, "edited.cas");
    ASSERT_EQ(edited.Meshes.size(), 2u);
    std::vector<float> moved = Values(model.Meshes[1].Positions);
    moved[6] += 1;
    EXPECT_EQ(Values(edited.Meshes[1].Positions), moved);
    EXPECT_EQ(Values(edited.Meshes[1].Bones), Values(model.Meshes[1].Bones));
    EXPECT_EQ(Values(edited.Meshes[0].Positions), Values(model.Meshes[0].Positions));
    EXPECT_EQ(edited.Meshes[0].Name, "shield");
    EXPECT_EQ(Values(edited.KeyData), Values(model.KeyData));
    ASSERT_EQ(edited.Nodes.size(), model.Nodes.size());
    for (std::size_t i = 0; i < model.Nodes.size(); ++i)
        EXPECT_EQ(edited.Nodes[i].Name, model.Nodes[i].Name);
    std::vector<std::uint32_t> kinds;
    for (const auto& chunk : edited.Chunks)
        kinds.push_back(chunk.Kind);
    EXPECT_EQ(kinds, (std::vector<std::uint32_t>{13, 0, 1, 2, 8, 10, 5}));
    EXPECT_EQ(edited.Materials.size(), model.Materials.size());
}

// ---- glTF files from elsewhere ----------------------------------------------------

// A small glTF made as another program would: one buffer, accessors added
// one by one, no extras.
struct TTinyGltf {
    json Root = {{"asset", {{"version", "2.0"}}}, {"scene", 0}, {"scenes", {{{"nodes", {0}}}}}};
    Bytes Buffer;

    template <typename T>
    std::size_t Add(const std::vector<T>& values, int componentType, const char* type, std::size_t components)
    {
        Buffer.resize((Buffer.size() + 3) & ~std::size_t{3});
        Root["bufferViews"].push_back({{"buffer", 0}, {"byteOffset", Buffer.size()}, {"byteLength", values.size() * sizeof(T)}});
        const auto* p = reinterpret_cast<const std::uint8_t*>(values.data());
        Buffer.insert(Buffer.end(), p, p + values.size() * sizeof(T));
        Root["accessors"].push_back({{"bufferView", Root["bufferViews"].size() - 1},
                                     {"componentType", componentType},
                                     {"count", values.size() / components},
                                     {"type", type}});
        return Root["accessors"].size() - 1;
    }

    Bytes Text()
    {
        Root["buffers"] = {{{"byteLength", Buffer.size()},
                            {"uri", "data:application/octet-stream;base64," + EncodeBase64(Buffer)}}};
        return ToBytes(Root.dump());
    }
};

// Three joints, a mesh of two triangles over four vertices skinned to them.
TTinyGltf SkinnedQuad()
{
    TTinyGltf g;
    g.Root["nodes"] = {{{"name", "root"}, {"children", {1}}},
                       {{"name", "arm"}, {"translation", {0.0, 1.0, 0.0}}, {"children", {2}}},
                       {{"name", "hand"}, {"translation", {1.0, 0.0, 0.0}}},
                       {{"name", "quad"}, {"mesh", 0}, {"skin", 0}}};
    g.Root["scenes"][0]["nodes"] = {0, 3};
    g.Root["skins"] = {{{"joints", {0, 1, 2}}}};
    const auto pos = g.Add<float>({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, 5126, "VEC3", 3);
    const auto nrm = g.Add<float>({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}, 5126, "VEC3", 3);
    const auto uv = g.Add<float>({0, 0, 1, 0, 1, 1, 0, 1}, 5126, "VEC2", 2);
    const auto joints = g.Add<std::uint8_t>({1, 0, 0, 0, 1, 2, 0, 0, 2, 0, 0, 0, 1, 2, 0, 0}, 5121, "VEC4", 4);
    const auto weights = g.Add<float>({1, 0, 0, 0, 0.5f, 0.5f, 0, 0, 1, 0, 0, 0, 0.75f, 0.25f, 0, 0}, 5126, "VEC4", 4);
    const auto indices = g.Add<std::uint16_t>({0, 1, 2, 0, 2, 3}, 5123, "SCALAR", 1);
    // Each joint's bind matrix takes its rest place back to the origin.
    const auto bind = g.Add<float>({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1,    //
                                    1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -1, 0, 1,   //
                                    1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -1, -1, 0, 1}, //
                                   5126, "MAT4", 16);
    g.Root["skins"][0]["inverseBindMatrices"] = bind;
    g.Root["meshes"] = {{{"name", "quad"},
                         {"primitives",
                          {{{"attributes",
                             {{"POSITION", pos}, {"NORMAL", nrm}, {"TEXCOORD_0", uv}, {"JOINTS_0", joints}, {"WEIGHTS_0", weights}}},
                            {"indices", indices}}}}}};
    return g;
}

TEST(GltfImportTest, AModelFromElsewhereTakesTheSkinsJointsAndTheUsualFields)
{
    TTinyGltf g = SkinnedQuad();
    const TGltfImport result = ReadGltf(g.Text(), "quad.gltf");
    EXPECT_TRUE(result.Warnings.empty());
    const TCasModel model = ReadCasModel(result.Cas, "quad.cas");
    ASSERT_EQ(model.Nodes.size(), 3u);
    EXPECT_EQ(model.Nodes[2].Name, "hand");
    EXPECT_EQ(model.Nodes[2].Parent, 1u);
    EXPECT_FLOAT_EQ(model.Nodes[1].Pivot.Y, 1.0f);
    EXPECT_FLOAT_EQ(model.Header.Version, 3.22f);
    ASSERT_EQ(model.Meshes.size(), 1u);
    const TCasMesh& mesh = model.Meshes[0];
    EXPECT_EQ(mesh.Kind, TCasMeshKind::TwoBone);
    EXPECT_EQ(Values(mesh.FirstBones), (std::vector<std::uint32_t>{1, 1, 2, 1}));
    EXPECT_EQ(Values(mesh.SecondBones), (std::vector<std::uint32_t>{1, 2, 2, 2}));
    EXPECT_EQ(Values(mesh.Weights), (std::vector<float>{1, 0.5f, 1, 0.75f}));
    // Stored relative to the bones' rest places: vertex 2 on the hand at (1, 1, 0).
    EXPECT_EQ(std::vector<float>(mesh.Positions.begin() + 6, mesh.Positions.begin() + 9), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(std::vector<float>(mesh.Positions.begin(), mesh.Positions.begin() + 3), (std::vector<float>{0, -1, 0}));
    std::vector<std::uint32_t> kinds;
    for (const auto& chunk : model.Chunks)
        kinds.push_back(chunk.Kind);
    EXPECT_EQ(kinds, (std::vector<std::uint32_t>{0, 3, 8, 10, 5}));
}

// Each case changes the skinned quad; each gives its model or its message.
TEST(GltfImportTest, EachFileGivesItsModelOrItsMessage)
{
    struct TCase {
        std::string Name;
        std::function<void(TTinyGltf&)> Change;
        std::string Message;  // empty: a model, whose first mesh's kind and warning follow
        TCasMeshKind Kind = TCasMeshKind::TwoBone;
        std::string Warning = {};
    };
    auto attributes = [](TTinyGltf& g) -> json& { return g.Root["meshes"][0]["primitives"][0]["attributes"]; };
    auto setWeights = [](TTinyGltf& g, std::vector<float> weights) {
        const std::size_t view = g.Root["accessors"][4]["bufferView"];
        std::memcpy(g.Buffer.data() + g.Root["bufferViews"][view]["byteOffset"].get<std::size_t>(), weights.data(), 64);
    };
    const std::vector<TCase> cases = {
        {"as it is", [](TTinyGltf&) {}, ""},
        {"three weights on a vertex",
         [&](TTinyGltf& g) {
             const std::size_t view = g.Root["accessors"][3]["bufferView"];
             g.Buffer[g.Root["bufferViews"][view]["byteOffset"].get<std::size_t>() + 6] = 0;
             setWeights(g, {1, 0, 0, 0, 0.5f, 0.3f, 0.2f, 0, 1, 0, 0, 0, 0.75f, 0.25f, 0, 0});
         },
         "", TCasMeshKind::TwoBone, "Mesh \"quad\": 1 of 4 vertices had more than two bones; the two largest weights were kept"},
        {"one bone each",
         [&](TTinyGltf& g) { setWeights(g, {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}); }, "", TCasMeshKind::OneBone},
        {"no skin: rigid on the root", [](TTinyGltf& g) { g.Root["nodes"][3].erase("skin"); }, "", TCasMeshKind::Rigid},
        {"no normals", [&](TTinyGltf& g) { attributes(g).erase("NORMAL"); }, ""},
        {"a triangle fan", [](TTinyGltf& g) { g.Root["meshes"][0]["primitives"][0]["mode"] = 6; },
         "mesh \"quad\" is not made of triangles (its primitive's mode is 6)"},
        {"no UVs", [&](TTinyGltf& g) { attributes(g).erase("TEXCOORD_0"); },
         "mesh \"quad\" has no UVs (TEXCOORD_0): the game maps every mesh onto its texture"},
        {"a joint not in the skeleton",
         [](TTinyGltf& g) {
             g.Root["nodes"].push_back({{"name", "stray"}});
             g.Root["skins"].push_back({{"joints", {0, 4, 2}}});
             g.Root["nodes"][3]["skin"] = 1;
         },
         "mesh \"quad\" is weighted to joint \"stray\", which is not in the skeleton"},
        {"a joint beyond the skin",
         [](TTinyGltf& g) {
             g.Root["skins"][0]["joints"] = {0, 1};
             g.Root["skins"][0].erase("inverseBindMatrices");
         },
         "mesh \"quad\" names joint 2, but its skin has 2"},
        {"a cycle of joints", [](TTinyGltf& g) { g.Root["nodes"][2]["children"] = {1}; g.Root["nodes"][0].erase("children"); },
         "the node tree has a cycle through node 1"},
        {"a node with two parents", [](TTinyGltf& g) { g.Root["nodes"][0]["children"] = {1, 2}; },
         "node 2 has more than one parent"},
        {"an index past the vertices",
         [](TTinyGltf& g) {
             const std::size_t view = g.Root["accessors"][5]["bufferView"];
             g.Buffer[g.Root["bufferViews"][view]["byteOffset"].get<std::size_t>() + 2] = 9;
         },
         "mesh \"quad\" has a triangle on vertex 9, but only 4 vertices"},
        {"an accessor longer than its view", [](TTinyGltf& g) { g.Root["accessors"][1]["count"] = 5; },
         "accessor 1 (mesh \"quad\"'s normals) has 5 elements, expected 4"},
        {"positions longer than their view", [](TTinyGltf& g) { g.Root["accessors"][0]["count"] = 5; },
         "accessor 0 (mesh \"quad\"'s positions) holds more than its buffer view"},
        {"a huge count in a tiny file", [](TTinyGltf& g) { g.Root["accessors"][0]["count"] = 4000000000u; },
         "mesh \"quad\" has 4000000000 vertices; a model's mesh holds at most 65535"},
        {"many triangles", [](TTinyGltf& g) { g.Root["accessors"][5]["count"] = 300000; },
         "mesh \"quad\" has 100000 triangles; a model's mesh holds at most 65535"},
        {"a view past its buffer", [](TTinyGltf& g) { g.Root["bufferViews"][2]["byteLength"] = 4096; },
         "buffer view 2 reaches past the end of its buffer"},
        {"a view at a huge offset", [](TTinyGltf& g) { g.Root["bufferViews"][2]["byteOffset"] = 18446744073709551615u; },
         "buffer view 2 reaches past the end of its buffer"},
        {"an accessor at a huge offset", [](TTinyGltf& g) { g.Root["accessors"][2]["byteOffset"] = 18446744073709551615u; },
         "accessor 2 (mesh \"quad\"'s UVs) holds more than its buffer view"},
        {"a wide stride", [](TTinyGltf& g) { g.Root["bufferViews"][0]["byteStride"] = 400000; },
         "buffer view 0's stride of 400000 bytes does not fit elements of 12"},
        {"a missing accessor", [&](TTinyGltf& g) { attributes(g)["NORMAL"] = 99; },
         "mesh \"quad\"'s normals names accessors 99, but there are 7"},
        {"a sparse accessor", [](TTinyGltf& g) { g.Root["accessors"][1]["sparse"] = json::object(); },
         "accessor 1 (mesh \"quad\"'s normals) is sparse, which is not read here"},
        {"a buffer in a file of its own", [](TTinyGltf& g) { g.Text(); g.Root["buffers"][0]["uri"] = "quad.bin"; },
         "buffer 0 lies in a file of its own"},
        {"an extension it needs", [](TTinyGltf& g) { g.Root["extensionsRequired"] = {"KHR_draco_mesh_compression"}; },
         "it needs the extension KHR_draco_mesh_compression"},
        {"a number where an index goes", [](TTinyGltf& g) { g.Root["nodes"][3]["mesh"] = -1; },
         "expected node 3's \"mesh\" to be a whole number of at least 0"},
        {"a name outside Latin-1", [](TTinyGltf& g) { g.Root["meshes"][0]["name"] = "\xD1\x89\xD0\xB8\xD1\x82"; },
         ": a model's texts hold Latin-1 letters only"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTinyGltf g = SkinnedQuad();
        c.Change(g);
        Bytes file = g.Root.contains("buffers") && g.Root["buffers"][0].contains("uri") &&
                             !g.Root["buffers"][0]["uri"].get<std::string>().starts_with("data:")
                         ? ToBytes(g.Root.dump())
                         : g.Text();
        try {
            const TGltfImport result = ReadGltf(file, "quad.gltf");
            EXPECT_EQ(c.Message, "") << "converted";
            const TCasModel model = ReadCasModel(result.Cas, "quad.cas");
            EXPECT_EQ(model.Meshes.at(0).Kind, c.Kind);
            EXPECT_EQ(result.Warnings, c.Warning.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.Warning});
        } catch (const EGltfError& e) {
            EXPECT_NE(c.Message, "") << e.Message();
            EXPECT_NE(e.Message().find(c.Message), std::string::npos) << e.Message();
            EXPECT_EQ(e.Message().rfind("Cannot convert glTF file quad.gltf: ", 0), 0u) << e.Message();
        }
    }
}

// Damage to the file itself: the binary container, the JSON, the Base64.
TEST(GltfImportTest, DamagedContainersAreRefused)
{
    const Bytes glb = WriteGltf(ReadCasModel(BuildCas(SmallCasRecipe()).Bytes, "small.cas"), {}, TGltfContainer::Binary);
    auto patched = [&](std::size_t at, std::uint32_t value) {
        Bytes bytes = glb;
        std::memcpy(bytes.data() + at, &value, 4);
        return bytes;
    };
    std::string deep(100000, '[');
    const std::vector<std::pair<Bytes, std::string>> cases = {
        {Bytes(glb.begin(), glb.begin() + 16), "expected a 12-byte header and a JSON chunk"},
        {patched(4, 1), "expected glTF binary version 2, found 1"},
        {patched(8, 0xFFFFFFF0), "the header gives a length of 4294967280 bytes"},
        {patched(12, 0xFFFFFFF0), "the chunk at byte 12 reaches past the end of the file"},
        {patched(16, 0x004E4942), "expected the JSON chunk first"},
        {ToBytes(deep), "its JSON nests deeper than 64 levels"},
        {ToBytes("{\"asset\": {\"version\": \"2.0\"}"), "its JSON cannot be read"},
        {ToBytes("[1]"), "its JSON is not an object"},
        {ToBytes("{\"asset\": {\"version\": \"1.0\"}}"), "expected asset.version 2.x"},
        {ToBytes(R"({"asset": {"version": "2.0"}, "buffers": [{"byteLength": 4, "uri": "data:,abc"}]})"),
         "buffer 0 lies in a file of its own"},
        {ToBytes(R"({"asset": {"version": "2.0"}, "buffers": [{"byteLength": 4, "uri": "data:x;base64,ab*c"}]})"),
         "buffer 0's data URI is not Base64"},
        {ToBytes(R"({"asset": {"version": "2.0"}, "buffers": [{"byteLength": 99, "uri": "data:x;base64,AAAA"}]})"),
         "buffer 0 claims 99 bytes, but holds 3"},
        {ToBytes(R"({"asset": {"version": "2.0"}, "buffers": [{"byteLength": 0}]})"),
         "buffer 0 has no data: no URI and no binary chunk"},
    };
    for (const auto& [bytes, message] : cases) {
        SCOPED_TRACE(message);
        try {
            ReadGltf(bytes, "x.glb");
            ADD_FAILURE() << "converted";
        } catch (const EGltfError& e) {
            EXPECT_NE(e.Message().find(message), std::string::npos) << e.Message();
        }
    }
}

} // namespace
} // namespace quorin
