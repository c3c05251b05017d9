#include <gtest/gtest.h>

#include <cstring>
#include <nlohmann/json.hpp>

#include "model/Base64.h"
#include "model/CasModel.h"
#include "model/Gltf.h"
#include "model/RestPose.h"
#include "tests/support/CasBuilder.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

using json = nlohmann::json;
using test::BuildCas;
using test::Bytes;
using test::SmallCasRecipe;

std::uint32_t Little32(const Bytes& bytes, std::size_t at)
{
    std::uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

// A glTF as a test reads it: the JSON and the one buffer.
struct TGltf {
    json Root;
    Bytes Buffer;

    static TGltf FromBinary(const Bytes& glb)
    {
        EXPECT_EQ(Little32(glb, 0), 0x46546C67u);
        EXPECT_EQ(Little32(glb, 8), glb.size());
        const std::uint32_t jsonSize = Little32(glb, 12);
        TGltf out;
        out.Root = json::parse(glb.begin() + 20, glb.begin() + 20 + jsonSize);
        const std::size_t bin = 20 + jsonSize;
        out.Buffer.assign(glb.begin() + static_cast<std::ptrdiff_t>(bin + 8), glb.end());
        EXPECT_EQ(Little32(glb, bin + 4), 0x004E4942u);
        return out;
    }

    template <typename T>
    std::vector<T> Values(std::size_t accessor) const
    {
        const auto& a = Root["accessors"][accessor];
        const auto& view = Root["bufferViews"][a["bufferView"].get<std::size_t>()];
        const std::size_t offset = view["byteOffset"].get<std::size_t>();
        const std::size_t length = view["byteLength"].get<std::size_t>();
        std::vector<T> values(length / sizeof(T));
        std::memcpy(values.data(), Buffer.data() + offset, length);
        return values;
    }

    const json& Primitive(std::size_t mesh) const { return Root["meshes"][mesh]["primitives"][0]; }
};

template <typename T>
std::vector<T> Values(TCasArray<T> values)
{
    return {values.begin(), values.end()};
}

TEST(GltfExportTest, AccessorsHoldTheMeshesInTheRestPose)
{
    const TCasModel model = ReadCasModel(BuildCas(SmallCasRecipe()).Bytes, "small.cas");
    const TGltf gltf = TGltf::FromBinary(WriteGltf(model, {}, TGltfContainer::Binary));
    const TCasRestPose pose = CasRestPose(model);

    ASSERT_EQ(gltf.Root["meshes"].size(), model.Meshes.size());
    for (std::size_t m = 0; m < model.Meshes.size(); ++m) {
        const TCasMesh& mesh = model.Meshes[m];
        SCOPED_TRACE(std::string(mesh.Name));
        const json& primitive = gltf.Primitive(m);
        EXPECT_EQ(primitive["mode"], 4);
        const auto position = primitive["attributes"]["POSITION"].get<std::size_t>();
        const json& accessor = gltf.Root["accessors"][position];
        EXPECT_EQ(accessor["count"], mesh.VertexCount);
        // Rigid meshes hang under their bone's node: their own positions.
        // Skinned ones stand where the rest pose puts them.
        const std::vector<float> want = mesh.Kind == TCasMeshKind::Rigid ? Values(mesh.Positions) : pose.MeshPositions[m];
        EXPECT_EQ(gltf.Values<float>(position), want);
        for (int c = 0; c < 3; ++c) {
            float low = want[c], high = want[c];
            for (std::size_t v = 0; v < mesh.VertexCount; ++v) {
                low = std::min(low, want[3 * v + c]);
                high = std::max(high, want[3 * v + c]);
            }
            EXPECT_EQ(accessor["min"][c].get<float>(), low);
            EXPECT_EQ(accessor["max"][c].get<float>(), high);
        }
        EXPECT_EQ(gltf.Values<float>(primitive["attributes"]["NORMAL"]), Values(mesh.Normals));
        EXPECT_EQ(gltf.Values<float>(primitive["attributes"]["TEXCOORD_0"]), Values(mesh.UVs));
        const auto indices = primitive["indices"].get<std::size_t>();
        EXPECT_EQ(gltf.Root["accessors"][indices]["count"], 3 * mesh.TriangleCount);
        EXPECT_EQ(gltf.Values<std::uint16_t>(indices), Values(mesh.Indices));
        EXPECT_EQ(primitive.value("material", CasNoMaterial), mesh.Material);
    }
}

// Every node is a joint, in order; one-bone vertices hang fully on their
// bone, two-bone ones split between their two by the weight; rigid meshes
// are their bone's children.
TEST(GltfExportTest, TheSkinMatchesTheModelsBones)
{
    const TCasModel model = ReadCasModel(BuildCas(SmallCasRecipe()).Bytes, "small.cas");
    const TGltf gltf = TGltf::FromBinary(WriteGltf(model, {}, TGltfContainer::Binary));
    const json& nodes = gltf.Root["nodes"];

    ASSERT_EQ(gltf.Root["skins"].size(), 1u);
    EXPECT_EQ(gltf.Root["skins"][0]["joints"], (json{0, 1, 2}));
    const std::vector<float> inverse = gltf.Values<float>(gltf.Root["skins"][0]["inverseBindMatrices"]);
    ASSERT_EQ(inverse.size(), 48u);
    EXPECT_EQ(std::vector<float>(inverse.begin() + 28, inverse.begin() + 31), (std::vector<float>{0, -1, 0}));
    EXPECT_EQ(std::vector<float>(inverse.begin() + 44, inverse.begin() + 47), (std::vector<float>{-0.5f, -1.25f, 1}));
    for (std::size_t i = 0; i < model.Nodes.size(); ++i)
        EXPECT_EQ(nodes[i]["name"], model.Nodes[i].Name);
    EXPECT_EQ(nodes[1]["translation"], (json{0.0, 1.0, 0.0}));
    EXPECT_EQ(nodes[1]["children"], (json{2}));

    std::vector<std::uint8_t> oneBone, twoBone;
    std::vector<float> oneWeights, twoWeights;
    for (std::size_t m = 0; m < model.Meshes.size(); ++m) {
        const json& attributes = gltf.Primitive(m)["attributes"];
        const auto& mesh = model.Meshes[m];
        if (mesh.Kind == TCasMeshKind::Rigid) {
            EXPECT_FALSE(attributes.contains("JOINTS_0"));
            const json& children = nodes[mesh.Bone]["children"];
            ASSERT_EQ(children.size(), 1u);
            EXPECT_EQ(nodes[children[0].get<std::size_t>()]["mesh"], m);
            continue;
        }
        auto& joints = mesh.Kind == TCasMeshKind::OneBone ? oneBone : twoBone;
        auto& weights = mesh.Kind == TCasMeshKind::OneBone ? oneWeights : twoWeights;
        joints = gltf.Values<std::uint8_t>(attributes["JOINTS_0"]);
        weights = gltf.Values<float>(attributes["WEIGHTS_0"]);
    }
    EXPECT_EQ(oneBone, (std::vector<std::uint8_t>{1, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(oneWeights, (std::vector<float>{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(twoBone, (std::vector<std::uint8_t>{1, 2, 0, 0, 1, 2, 0, 0, 2, 1, 0, 0}));
    EXPECT_EQ(twoWeights, (std::vector<float>{1, 0, 0, 0, 0.25f, 0.75f, 0, 0, 0, 1, 0, 0}));
}

// The picture goes into the buffer as it is, shown by the material that names
// the model's texture; a .gltf carries the same buffer as a data URI.
TEST(GltfExportTest, EmbedsThePictureAndTheBufferOfATextFile)
{
    const TCasModel model = ReadCasModel(BuildCas(SmallCasRecipe()).Bytes, "small.cas");
    const Bytes png = {0x89, 'P', 'N', 'G', 1, 2, 3};
    const TGltf binary = TGltf::FromBinary(WriteGltf(model, png, TGltfContainer::Binary));
    ASSERT_EQ(binary.Root["images"].size(), 1u);
    EXPECT_EQ(binary.Root["images"][0]["mimeType"], "image/png");
    const json& view = binary.Root["bufferViews"][binary.Root["images"][0]["bufferView"].get<std::size_t>()];
    EXPECT_EQ(Bytes(binary.Buffer.begin() + view["byteOffset"].get<std::ptrdiff_t>(),
                    binary.Buffer.begin() + view["byteOffset"].get<std::ptrdiff_t>() + 7),
              png);
    EXPECT_EQ(binary.Root["materials"][0]["pbrMetallicRoughness"]["baseColorTexture"]["index"], 0);
    EXPECT_FALSE(binary.Root["materials"][1]["pbrMetallicRoughness"].contains("baseColorTexture"));
    EXPECT_EQ(binary.Root["materials"][0]["name"], "skin");

    const Bytes text = WriteGltf(model, png, TGltfContainer::Text);
    json root = json::parse(text.begin(), text.end());
    const std::string uri = root["buffers"][0]["uri"];
    const std::string prefix = "data:application/octet-stream;base64,";
    ASSERT_EQ(uri.substr(0, prefix.size()), prefix);
    const auto buffer = DecodeBase64(std::string_view(uri).substr(prefix.size()));
    ASSERT_TRUE(buffer.has_value());
    EXPECT_EQ(buffer->size(), root["buffers"][0]["byteLength"].get<std::size_t>());
    EXPECT_TRUE(std::equal(buffer->begin(), buffer->end(), binary.Buffer.begin()));
    root["buffers"][0].erase("uri");
    EXPECT_EQ(root, binary.Root);
}

TEST(GltfExportTest, RefusesWhatGltfCannotHold)
{
    auto recipe = SmallCasRecipe();
    recipe.Meshes[1].Triangles.clear();
    const TCasModel model = ReadCasModel(BuildCas(recipe).Bytes, "small.cas");
    try {
        WriteGltf(model, {}, TGltfContainer::Binary);
        ADD_FAILURE() << "written";
    } catch (const EGltfError& e) {
        EXPECT_EQ(e.Message(), "Cannot write mesh \"body\" as glTF: it has no triangles");
    }
}

TEST(Base64Test, EncodesAndDecodesEveryLengthAndRefusesOtherText)
{
    const std::vector<std::pair<Bytes, std::string>> cases = {
        {{}, ""}, {{'f'}, "Zg=="}, {{'f', 'o'}, "Zm8="}, {{'f', 'o', 'o'}, "Zm9v"}, {{0xFF, 0xFE, 0xFD, 0}, "//79AA=="}};
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(EncodeBase64(bytes), text);
        EXPECT_EQ(DecodeBase64(text), bytes);
    }
    for (const char* bad : {"Zg=", "Z===", "Zh==", "Zm9*", "Zm=v"})
        EXPECT_FALSE(DecodeBase64(bad).has_value()) << bad;
}

} // namespace
} // namespace quorin
