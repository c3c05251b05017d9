// `quorin model`, run as a separate process on models built in the test.

#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "imaging/PlatformCodecs.h"
#include "tests/cli/QuorinRun.h"
#include "tests/imaging/core/TgaBuilder.h"
#include "tests/imaging/dds/DdsBuilder.h"
#include "tests/support/CasBuilder.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;
using test::BuildCas;
using test::Bytes;
using test::RunQuorin;
using test::TempDir;

struct TPng {
    std::uint32_t width = 0, height = 0;
    bool alpha = false;
    Bytes rgba;  // 4 bytes a pixel, rows from the top

    std::array<std::uint8_t, 4> At(std::uint32_t x, std::uint32_t y) const
    {
        const auto* p = &rgba.at(4 * (y * width + x));
        return {p[0], p[1], p[2], p[3]};
    }
};

// Read with the platform's own PNG codec, so the test runs wherever quorin does.
TPng ReadPng(const std::string& path)
{
    Bytes file = test::ReadFile(path);
    TBitmap bitmap;
    TPng png;
    if (file.size() < 26)
        return png;
    try {
        codecs::DecodePng(file, bitmap);
    } catch (const Exception&) {
        return png;
    }
    const std::uint8_t colourType = file[25]; // IHDR's; 4 and 6 carry alpha, and so does a tRNS chunk
    static constexpr char Trns[] = "tRNS";
    png.alpha = colourType == 4 || colourType == 6 || std::search(file.begin(), file.end(), Trns, Trns + 4) != file.end();
    png.width = static_cast<std::uint32_t>(bitmap.Width());
    png.height = static_cast<std::uint32_t>(bitmap.Height());
    for (int y = 0; y < bitmap.Height(); ++y) {
        const std::uint8_t* p = bitmap.RowAddress(y);
        for (int x = 0; x < bitmap.Width(); ++x, p += 4)
            png.rgba.insert(png.rgba.end(), {p[2], p[1], p[0], p[3]});
    }
    return png;
}

// A quad over the top half of the texture, cut along its diagonal, and a
// degenerate triangle whose edge crosses the layout at v = 0.75 and ends far
// outside it.
test::TCasRecipe LayoutRecipe(bool withOutside)
{
    test::TCasRecipe recipe;
    recipe.Nodes = {{"Scene Root"}};
    test::TCasMeshRecipe quad;
    quad.Name = "quad";
    quad.Positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    quad.Triangles = {{0, 1, 2}, {0, 2, 3}};
    quad.UVs = {{0, 0}, {1, 0}, {1, 0.5f}, {0, 0.5f}};
    recipe.Meshes = {quad};
    if (withOutside) {
        test::TCasMeshRecipe outside;
        outside.Name = "outside";
        outside.Positions = {{0, 0, 0}, {1, 0, 0}, {1, 0, 0}};
        outside.Triangles = {{0, 1, 2}};
        outside.UVs = {{-1, 0.75f}, {2, 0.75f}, {2, 0.75f}};
        test::TCasMeshRecipe noUV = outside;
        noUV.Name = "no uv";
        noUV.UVs.clear();
        recipe.Meshes.push_back(outside);
        recipe.Meshes.push_back(noUV);
    }
    recipe.Materials = {{true, "m", "textures\\quad.tga"}};
    return recipe;
}

class ModelCliTest : public ::testing::Test {
protected:
    std::string Save(const std::string& name, const Bytes& bytes)
    {
        test::WriteFile(dir.File(name), bytes);
        return dir.File(name);
    }

    TempDir dir;
};

TEST_F(ModelCliTest, SummaryNamesEveryPart)
{
    const auto model = Save("small.cas", BuildCas(test::SmallCasRecipe()).Bytes);
    auto run = RunQuorin({"model", model}, dir);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "Model file:       " + model + " (1212 bytes)\n" +
                           "Version:          3.22\n"
                           "Animation:        3.333 seconds, 3 keys\n"
                           "Export history:   someone / 01.01.2026 / small.cas / small.max\n"
                           "Bones:            3\n"
                           "  0. Scene Root\n"
                           "  1. bone_pelvis (parent 0, Scene Root)\n"
                           "  2. bone_torso (parent 1, bone_pelvis)\n"
                           "Meshes:           3\n"
                           "  0. shield: rigid (bone 2), 3 vertices, 1 triangle, material 0\n"
                           "  1. body: one bone per vertex (bones 1, 2), 4 vertices, 2 triangles, material 0\n"
                           "  2. cloak: two bones per vertex (bones 1, 2), 3 vertices, 1 triangle, material 1\n"
                           "Materials:        2\n"
                           "  0. skin: textures\\hastati.tga\n"
                           "  1. (no name, no texture)\n"
                           "Totals:           10 vertices, 4 triangles, 3 bones, 3 meshes, 2 materials\n"
                           "Two-bone meshes:  3 vertices, 3 in the largest\n");
}

TEST_F(ModelCliTest, JsonCarriesTheSameFacts)
{
    auto recipe = test::SmallCasRecipe();
    recipe.History.reset();
    recipe.Meshes[0].Material = 0xFFFFFFFF;
    const auto model = Save("small.cas", BuildCas(recipe).Bytes);
    auto run = RunQuorin({"model", "--json", model}, dir);
    ASSERT_EQ(run.code, 0) << run.err;
    auto json = nlohmann::json::parse(run.out);

    EXPECT_EQ(json["file"], model);
    EXPECT_EQ(json["version"], 3.22);
    EXPECT_EQ(json["keys"], 3);
    EXPECT_TRUE(json["export_history"].is_null());
    EXPECT_EQ(json["bones"], nlohmann::json::parse(R"([{"name": "Scene Root", "parent": null},
        {"name": "bone_pelvis", "parent": 0}, {"name": "bone_torso", "parent": 1}])"));
    EXPECT_EQ(json["meshes"], nlohmann::json::parse(R"([
        {"name": "shield", "kind": "rigid", "bones": [2], "vertices": 3, "triangles": 1, "uv": true, "colours": false, "material": null},
        {"name": "body", "kind": "one-bone", "bones": [1, 2], "vertices": 4, "triangles": 2, "uv": true, "colours": true, "material": 0},
        {"name": "cloak", "kind": "two-bone", "bones": [1, 2], "vertices": 3, "triangles": 1, "uv": true, "colours": false, "material": 1}])"));
    EXPECT_EQ(json["materials"], nlohmann::json::parse(R"([{"name": "skin", "texture": "textures\\hastati.tga"},
        {"name": null, "texture": null}])"));
    EXPECT_EQ(json["totals"], nlohmann::json::parse(R"({"vertices": 10, "triangles": 4, "bones": 3, "meshes": 3,
        "materials": 2, "two_bone_vertices": 3, "largest_two_bone_mesh": 3})"));
    EXPECT_FALSE(json.contains("uv_layout"));
}

TEST_F(ModelCliTest, LayoutOnATransparentSheetPixelByPixel)
{
    const auto model = Save("layout.cas", BuildCas(LayoutRecipe(true)).Bytes);
    const auto png = dir.File("layout.png");
    auto run = RunQuorin({"model", model, "--json", "--uv", png, "--size", "8"}, dir);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(nlohmann::json::parse(run.out)["uv_layout"],
              (nlohmann::json{{"file", png}, {"width", 8}, {"height", 8}}));

    // u runs across, v down; u = 1 and v = 1 fall in the last pixel.
    const std::vector<std::string> lines = {
        "########",
        "###....#",
        "#..##..#",
        "#....###",
        "########",
        "........",
        "########",  // the edge at v = 0.75, cut at the borders
        "........",
    };
    TPng layout = ReadPng(png);
    ASSERT_EQ(layout.width, 8u);
    ASSERT_EQ(layout.height, 8u);
    EXPECT_TRUE(layout.alpha);
    for (std::uint32_t y = 0; y < 8; ++y)
        for (std::uint32_t x = 0; x < 8; ++x) {
            SCOPED_TRACE(testing::Message() << "x " << x << " y " << y);
            const bool line = lines[y][x] == '#';
            EXPECT_EQ(layout.At(x, y), (std::array<std::uint8_t, 4>{0, 0, 0, std::uint8_t(line ? 255 : 0)}));
        }
}

TEST_F(ModelCliTest, LayoutOverATextureAtItsSize)
{
    const auto model = Save("layout.cas", BuildCas(LayoutRecipe(false)).Bytes);
    // An 8 x 4 texture whose every pixel differs: red by column, green by row.
    test::TgaHeader header;
    header.Width = 8;
    header.Height = 4;
    header.PixelDepth = 32;
    header.Descriptor = 0x28;  // rows from the top, 8 alpha bits
    Bytes pixels;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            pixels.insert(pixels.end(), {100, std::uint8_t(60 * y), std::uint8_t(30 * x), 128});
    const auto texture = Save("quad.tga", test::MakeTga(header, pixels));

    const auto png = dir.File("layout.png");
    auto run = RunQuorin({"model", model, "--uv", png, "--texture", texture}, dir);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("UV layout (8x4) written to " + png + "\n"), std::string::npos) << run.out;

    const std::vector<std::string> lines = {
        "########",
        "#.####.#",
        "########",
        "........",
    };
    TPng layout = ReadPng(png);
    ASSERT_EQ(layout.width, 8u);
    ASSERT_EQ(layout.height, 4u);
    EXPECT_FALSE(layout.alpha);
    for (std::uint32_t y = 0; y < 4; ++y)
        for (std::uint32_t x = 0; x < 8; ++x) {
            SCOPED_TRACE(testing::Message() << "x " << x << " y " << y);
            const std::array<std::uint8_t, 4> texel{std::uint8_t(30 * x), std::uint8_t(60 * y), 100, 255};
            const std::array<std::uint8_t, 4> white{255, 255, 255, 255};
            EXPECT_EQ(layout.At(x, y), lines[y][x] == '#' ? white : texel);
        }
}

TEST_F(ModelCliTest, FailuresAndUsage)
{
    const auto good = Save("good.cas", BuildCas(test::SmallCasRecipe()).Bytes);
    auto cut = BuildCas(test::SmallCasRecipe()).Bytes;
    cut.resize(120);
    const auto damaged = Save("damaged.cas", cut);
    const auto missing = dir.File("missing.cas");
    const auto png = dir.File("out.png");
    test::WriteFile(dir.File("bad.tga"), Bytes{0, 1, 2});

    struct TCase {
        std::vector<std::string> args;
        int code;
        std::string err;  // the whole text, or only its first line for usage errors
    };
    const std::vector<TCase> cases = {
        {{"model", missing}, 1, "Cannot open file " + missing + "\n"},
        {{"model", damaged}, 1, "Damaged model file " + damaged + " at byte 99: expected a chunk size within the 21 "
                                "bytes left in the file, found 279\n"},
        {{"model", damaged, "--uv", png}, 1, "Damaged model file " + damaged + " at byte 99: expected a chunk size "
                                             "within the 21 bytes left in the file, found 279\n"},
        {{"model", good, "--uv", png, "--texture", dir.File("bad.tga")}, 1, "ColorMapped TGA unsupported\n"},
        {{"model", good, "--uv", png, "--texture", dir.File("none.dds")}, 1,
         "Cannot open file " + dir.File("none.dds") + "\n"},
        {{"model"}, 2, "model is required"},
        {{"model", good, "--size", "8"}, 2, "--size requires --uv"},
        {{"model", good, "--texture", "t.dds"}, 2, "--texture requires --uv or --gltf"},
        {{"model", good, "--uv", png, "--size", "8", "--texture", "t.dds"}, 2, "--size excludes --texture"},
        {{"model", good, "--uv", png, "--size", "0"}, 2, "--size: Value 0 not in range 1 to 8192"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        auto run = RunQuorin(c.args, dir);
        EXPECT_EQ(run.code, c.code);
        if (c.code == 2)
            EXPECT_EQ(run.err.substr(0, run.err.find('\n')), c.err);
        else
            EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(fs::exists(png));
    }
}

// A glTF's images, from its JSON chunk: how many pictures it embeds.
std::size_t EmbeddedImages(const Bytes& glb)
{
    if (glb.size() < 20)
        return 0;
    const std::size_t length = glb[12] | glb[13] << 8 | glb[14] << 16 | static_cast<std::size_t>(glb[15]) << 24;
    const auto root = nlohmann::json::parse(glb.begin() + 20, glb.begin() + 20 + static_cast<std::ptrdiff_t>(length));
    return root.value("images", nlohmann::json::array()).size();
}

// The texture comes from --texture, or from beside the model where the game
// looks for it, or there is none and the user is told why.
TEST_F(ModelCliTest, GltfEmbedsTheTextureGivenOrBesideTheModel)
{
    const auto model = Save("small.cas", BuildCas(test::SmallCasRecipe()).Bytes);
    const Bytes dds = test::DdsBuilder(2, 2).Uncompressed(32, 0xFF0000, 0xFF00, 0xFF).Data(Bytes(16, 0x80)).Bytes();
    const auto glb = dir.File("out.glb");

    auto run = RunQuorin({"model", model, "--gltf", glb}, dir);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "No texture embedded in " + glb + ": none: " +
                           (fs::path(dir.File("textures")) / "hastati.tga.dds").string() +
                           " is not beside the model (give one with --texture)\n");
    EXPECT_NE(run.out.find("glTF written to " + glb + " ("), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(", no texture)\n"), std::string::npos) << run.out;
    EXPECT_EQ(EmbeddedImages(test::ReadFile(glb)), 0u);

    fs::create_directory(dir.File("textures"));
    const auto beside = Save("textures/hastati.tga.dds", dds);
    run = RunQuorin({"model", model, "--gltf", glb, "--json"}, dir);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["gltf"]["texture"], beside);
    EXPECT_EQ(json["gltf"]["size"], fs::file_size(glb));
    EXPECT_EQ(EmbeddedImages(test::ReadFile(glb)), 1u);

    const auto given = Save("given.dds", dds);
    fs::remove(beside);
    run = RunQuorin({"model", model, "--gltf", dir.File("out.gltf"), "--texture", given}, dir);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find(", texture " + given + ")\n"), std::string::npos) << run.out;
    const Bytes text = test::ReadFile(dir.File("out.gltf"));
    EXPECT_EQ(nlohmann::json::parse(text.begin(), text.end())["images"].size(), 1u);

    run = RunQuorin({"model", model, "--gltf", dir.File("none/out.glb")}, dir);
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("Cannot create file"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir.File("none")));
}

// Out to glTF and back: the same file, the summary of the model written, the
// game's two-bone limits in the words of quorin check, and no file at all
// when the conversion is refused.
TEST_F(ModelCliTest, CasFromGltfComesBackAndWarnsOfTheLimits)
{
    auto recipe = test::SmallCasRecipe();
    auto& cloak = recipe.Meshes[2];
    for (std::size_t v = cloak.Positions.size(); v < 101; ++v) {
        cloak.Positions.push_back({0, 0, static_cast<float>(v)});
        cloak.Weights.push_back(0.5f);
        cloak.FirstBones.push_back(1);
        cloak.SecondBones.push_back(2);
        cloak.UVs.push_back({0, 0});
    }
    const Bytes bytes = BuildCas(recipe).Bytes;
    const auto model = Save("small.cas", bytes);
    const auto glb = dir.File("small.glb");
    ASSERT_EQ(RunQuorin({"model", model, "--gltf", glb}, dir).code, 0);

    const auto back = dir.File("back.cas");
    auto run = RunQuorin({"model", glb, "--cas", back}, dir);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(test::ReadFile(back), bytes);
    EXPECT_EQ(run.err, "Warning: The two-bone mesh cloak has 101 vertices; the game takes at most 100 in one such mesh\n");
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "Model file:       " + back + " (" + std::to_string(bytes.size()) + " bytes)");

    run = RunQuorin({"model", model, "--cas", dir.File("x.cas")}, dir);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "--cas makes a battle model of a glTF file (.glb or .gltf); " + model + " is not one\n");

    Bytes damaged = test::ReadFile(glb);
    damaged.resize(damaged.size() / 2);
    const auto cut = Save("cut.glb", damaged);
    run = RunQuorin({"model", cut, "--cas", dir.File("cut.cas")}, dir);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err.rfind("Cannot convert glTF file " + cut + ": ", 0), 0u) << run.err;
    EXPECT_FALSE(fs::exists(dir.File("cut.cas")));
}

} // namespace
} // namespace quorin
