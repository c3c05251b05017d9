#include <gtest/gtest.h>

#include <functional>

#include "check/CheckUnit.h"
#include "imaging/dds/DdsBuilder.h"
#include "imaging/core/TgaBuilder.h"
#include "package/Build.h"
#include "package/PackageReader.h"
#include "support/CasBuilder.h"
#include "support/TestSupport.h"

namespace quorin {
namespace {

using test::Bytes;

// A DXT1 texture of width x height with levels mipmap levels (0: no count
// in the header), every level's blocks present.
Bytes Dxt1Texture(std::uint32_t width, std::uint32_t height, std::uint32_t levels)
{
    test::DdsBuilder dds{width, height};
    std::uint32_t bytes = 0;
    for (std::uint32_t level = 0, w = width, h = height; level < std::max(levels, 1u);
         ++level, w = std::max(1u, w / 2), h = std::max(1u, h / 2))
        bytes += (w + 3) / 4 * ((h + 3) / 4) * 8;
    dds.Compressed(std::string_view("DXT1", 4), (width + 3) / 4 * ((height + 3) / 4) * 8);
    if (levels > 0)
        dds.Field(8, 0x1007 | 0x20000).MipMaps(levels);
    return dds.Data(Bytes(bytes, 0x55)).Bytes();
}

// A 32-bit card whose alpha is pixelAlpha(x, y).
Bytes Card(int width, int height, const std::function<std::uint8_t(int, int)>& pixelAlpha, int depth = 32)
{
    test::TgaHeader header;
    header.Width = static_cast<std::uint16_t>(width);
    header.Height = static_cast<std::uint16_t>(height);
    header.PixelDepth = static_cast<std::uint8_t>(depth);
    header.Descriptor = depth == 32 ? 0x28 : 0x20;
    Bytes body;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            body.insert(body.end(), {0x20, 0x40, 0xC0});
            if (depth == 32)
                body.push_back(pixelAlpha(x, y));
        }
    return test::MakeTga(header, body);
}

// Clear corners and a soft edge, as the game's cards have.
std::uint8_t CardAlpha(int x, int y) { return x == 0 && y == 0 ? 0 : x < 2 ? 128 : 255; }

test::TCasMeshRecipe OneBoneQuad(std::string name, std::uint32_t material = 0)
{
    test::TCasMeshRecipe mesh;
    mesh.Kind = 2;
    mesh.Name = std::move(name);
    mesh.Positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    mesh.Bones = {1, 1, 1, 1};
    mesh.Triangles = {{0, 1, 2}, {0, 2, 3}};
    mesh.Material = material;
    mesh.UVs = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    return mesh;
}

test::TCasMeshRecipe TwoBoneMesh(std::string name, std::size_t vertices)
{
    test::TCasMeshRecipe mesh;
    mesh.Kind = 3;
    mesh.Name = std::move(name);
    for (std::size_t i = 0; i < vertices; ++i) {
        mesh.Positions.push_back({float(i), 0, 0});
        mesh.Weights.push_back(0.5f);
        mesh.FirstBones.push_back(1);
        mesh.SecondBones.push_back(0);
    }
    mesh.Triangles = {{0, 1, 2}};
    return mesh;
}

test::TCasRecipe ModelRecipe()
{
    test::TCasRecipe recipe;
    recipe.Nodes = {{"Scene Root", 0, {0, 0, 0}, 0, 0}, {"bone_pelvis", 0, {0, 1, 0}, 0, 0}};
    recipe.Meshes = {OneBoneQuad("body")};
    recipe.Materials = {{true, "body", "textures\\greek_hoplite.tga"}};
    return recipe;
}

// A unit with nothing to find, its files in a fresh folder, and the
// findings of any change to it.
class CheckUnitTest : public ::testing::Test {
public:
    test::TempDir dir;
    TUnitSheet sheet;

    void SetUp() override
    {
        Write("model.cas", test::BuildCas(ModelRecipe()).Bytes);
        Write("cities.dds", Dxt1Texture(64, 32, 7));
        Write("egypt.dds", Dxt1Texture(64, 32, 7));
        for (const char* faction : {"cities", "egypt"}) {
            Write(std::string(faction) + "_info.tga", Card(160, 210, CardAlpha));
            Write(std::string(faction) + "_unit.tga", Card(48, 64, CardAlpha));
        }
        sheet.UnitName = "Hoplites";
        sheet.ModelName = "greek_hoplite";
        sheet.ModelFile = dir.File("model.cas");
        sheet.Skeletons = "fs_spearman, fs_swordsman";
        sheet.TextureRows = {{"greek_cities", dir.File("cities.dds")}, {"egypt", dir.File("egypt.dds")}};
        sheet.UiCardRows = {{"greek_cities", dir.File("cities_info.tga"), dir.File("cities_unit.tga")},
                            {"egypt", dir.File("egypt_info.tga"), dir.File("egypt_unit.tga")}};
        sheet.ModelBattleLines = {
            "type                greek_hoplite",
            "skeleton            fs_spearman, fs_swordsman",
            "indiv_range         40",
            "texture             greek_cities, data/models_unit/textures/greek_hoplite.tga",
            "texture             egypt, data/models_unit/textures/greek_hoplite_egypt.tga",
            "model_flexi_m       data/models_unit/unit_greek_hoplite_high.cas, 15",
            "model_flexi         data/models_unit/unit_greek_hoplite_low.cas, max",
        };
        sheet.UnitDescrLines = {
            "type             greek hoplite elite",
            "dictionary       greek_hoplite_elite      ; Armoured Hoplites",
            "soldier          greek_hoplite, 20, 0, 1.3",
            "ownership        greek_cities, egypt",
        };
        sheet.UnitTextLines = {
            "\xC2\xAC the three texts of the unit",
            "{greek_hoplite_elite}\tArmoured Hoplites",
            "{greek_hoplite_elite_descr}",
            "Heavy infantry.",
            "{greek_hoplite_elite_descr_short}\tHeavy infantry.",
        };
    }

    void Write(const std::string& name, const Bytes& bytes) { test::WriteFile(dir.File(name), bytes); }

    // "severity code row" of each finding but the model's counts, which
    // every readable model gives.
    std::vector<std::string> Found(const TFindings& findings) const
    {
        std::vector<std::string> found;
        for (const TFinding& finding : findings)
            if (finding.Code != "model-counts")
                found.push_back(std::string(SeverityName(finding.Severity)) + " " + std::string(finding.Code) +
                                (finding.Row ? " " + std::to_string(finding.Row) : ""));
        return found;
    }
};

TEST_F(CheckUnitTest, ACleanUnitGivesOnlyTheModelsCounts)
{
    const TFindings findings = CheckUnit(sheet);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].Code, "model-counts");
    EXPECT_EQ(findings[0].Severity, TSeverity::Note);
    EXPECT_EQ(findings[0].Message, "The model has 2 triangles, 4 vertices and 2 bones");
    EXPECT_EQ(findings[0].MessageRu, "В модели треугольников: 2, вершин: 4, костей: 2");
    EXPECT_EQ(findings[0].File, sheet.ModelFile);
}

struct TSheetCase {
    const char* Name;
    std::function<void(CheckUnitTest&, TUnitSheet&)> Change;
    std::vector<std::string> Expected;
};

class CheckUnitCases : public CheckUnitTest {};

void ReplaceLine(std::vector<std::string>& lines, std::string_view start, std::string line)
{
    for (auto& existing : lines)
        if (existing.starts_with(start))
            existing = std::move(line);
}

void RemoveLine(std::vector<std::string>& lines, std::string_view start)
{
    std::erase_if(lines, [&](const std::string& line) { return line.starts_with(start); });
}

TEST_F(CheckUnitCases, EachFaultGivesItsFindings)
{
    const TSheetCase cases[] = {
        // Cards.
        {"INFO card of the wrong size", [](auto& t, auto&) { t.Write("cities_info.tga", Card(128, 128, CardAlpha)); },
         {"warning card-size 1"}},
        {"#unit card 44 wide", [](auto& t, auto&) { t.Write("egypt_unit.tga", Card(44, 64, CardAlpha)); },
         {"note card-size 2"}},
        {"24-bit card", [](auto& t, auto&) { t.Write("cities_unit.tga", Card(48, 64, CardAlpha, 24)); },
         {"warning card-depth 1"}},
        {"opaque card", [](auto& t, auto&) { t.Write("cities_info.tga", Card(160, 210, [](int, int) { return 255; })); },
         {"warning card-alpha 1"}},
        {"clear card", [](auto& t, auto&) { t.Write("egypt_info.tga", Card(160, 210, [](int, int) { return 0; })); },
         {"warning card-alpha 2"}},
        {"no #unit card", [](auto&, auto& s) { s.UiCardRows[1].UnitCardFile.reset(); },
         {"error card-missing-unit 2"}},
        {"card not a TGA", [](auto& t, auto&) { t.Write("cities_unit.tga", Bytes(10, 0xFF)); },
         {"error card-unreadable 1"}},
        {"card missing", [](auto& t, auto& s) { s.UiCardRows[0].InfoCardFile = t.dir.File("gone.tga"); },
         {"error card-unreadable 1"}},
        // Textures.
        {"texture without mipmaps", [](auto& t, auto&) { t.Write("egypt.dds", Dxt1Texture(64, 32, 0)); },
         {"warning texture-mipmaps 2"}},
        {"texture with half its mipmaps", [](auto& t, auto&) { t.Write("egypt.dds", Dxt1Texture(64, 32, 3)); },
         {"warning texture-mipmaps 2"}},
        {"texture cut short in its mipmaps",
         [](auto& t, auto&) {
             Bytes bytes = Dxt1Texture(64, 32, 7);
             bytes.resize(bytes.size() - 8);
             t.Write("egypt.dds", bytes);
         },
         {"warning texture-mipmaps 2"}},
        {"texture not a power of two", [](auto& t, auto&) { t.Write("cities.dds", Dxt1Texture(96, 32, 7)); },
         {"warning texture-size 1"}},
        {"texture too large", [](auto& t, auto&) { t.Write("cities.dds", Dxt1Texture(8192, 4, 14)); },
         {"warning texture-size 1"}},
        {"uncompressed texture",
         [](auto& t, auto&) {
             test::DdsBuilder dds{4, 4};
             dds.Uncompressed(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000).Field(8, 0x1007 | 0x20000).MipMaps(3);
             t.Write("cities.dds", dds.Data(Bytes((16 + 4 + 1) * 4, 0x80)).Bytes());
         },
         {"note texture-format 1"}},
        {"texture not a DDS", [](auto& t, auto&) { t.Write("cities.dds", test::ToBytes("DDS nothing")); },
         {"error texture-unreadable 1"}},
        // The model.
        {"model missing", [](auto& t, auto& s) { s.ModelFile = t.dir.File("gone.cas"); }, {"error model-missing"}},
        {"model empty", [](auto& t, auto&) { t.Write("model.cas", {}); }, {"error model-missing"}},
        {"model damaged",
         [](auto& t, auto&) {
             Bytes bytes = test::BuildCas(ModelRecipe()).Bytes;
             bytes.resize(bytes.size() / 2);
             t.Write("model.cas", bytes);
         },
         {"error model-unreadable"}},
        {"model of an unusual version",
         [](auto& t, auto&) {
             auto recipe = ModelRecipe();
             recipe.Version = 3.21f;
             t.Write("model.cas", test::BuildCas(recipe).Bytes);
         },
         {"warning model-version"}},
        {"model naming a texture no line gives",
         [](auto& t, auto&) {
             auto recipe = ModelRecipe();
             recipe.Materials.push_back({true, "shield", "\\Textures\\Shield.TGA"});
             recipe.Meshes.push_back(OneBoneQuad("shield", 1));
             t.Write("model.cas", test::BuildCas(recipe).Bytes);
         },
         {"warning model-texture"}},
        {"model naming a texture as the game finds it",
         [](auto& t, auto& s) {
             auto recipe = ModelRecipe();
             recipe.Materials[0].Texture = "\\TEXTURES\\greek_hoplite_egypt.tga.dds";
             t.Write("model.cas", test::BuildCas(recipe).Bytes);
             ReplaceLine(s.ModelBattleLines, "texture             egypt",
                         "texture egypt, data\\models_unit\\textures\\Greek_Hoplite_Egypt.tga");
         },
         {}},
        {"two-bone mesh over 100 vertices",
         [](auto& t, auto&) {
             auto recipe = ModelRecipe();
             recipe.Meshes.push_back(TwoBoneMesh("cloak", 101));
             t.Write("model.cas", test::BuildCas(recipe).Bytes);
         },
         {"warning model-two-bone"}},
        {"two-bone vertices over 200 in the model",
         [](auto& t, auto&) {
             auto recipe = ModelRecipe();
             for (const char* name : {"a", "b", "c"})
                 recipe.Meshes.push_back(TwoBoneMesh(name, 70));
             t.Write("model.cas", test::BuildCas(recipe).Bytes);
         },
         {"warning model-two-bone"}},
        // The model description block.
        {"type of another model", [](auto&, auto& s) { ReplaceLine(s.ModelBattleLines, "type", "type roman_hastati"); },
         {"warning battle-type"}},
        {"no type line", [](auto&, auto& s) { RemoveLine(s.ModelBattleLines, "type"); }, {"warning battle-type"}},
        {"skeleton not in the field", [](auto&, auto& s) { s.Skeletons = "fs_spearman"; },
         {"warning battle-skeleton"}},
        {"custom skeletons",
         [](auto&, auto& s) {
             s.Skeletons = "fs_spearman";
             s.CustomSkeletons = true;
         },
         {}},
        {"no skeleton line", [](auto&, auto& s) { RemoveLine(s.ModelBattleLines, "skeleton"); },
         {"warning battle-skeleton"}},
        {"texture row without its line",
         [](auto&, auto& s) { RemoveLine(s.ModelBattleLines, "texture             egypt"); },
         {"warning battle-texture 2"}},
        {"texture line without its row",
         [](auto&, auto& s) { s.ModelBattleLines.push_back("texture carthage, data/models_unit/textures/c.tga"); },
         {"warning battle-texture"}},
        {"no model line",
         [](auto&, auto& s) {
             RemoveLine(s.ModelBattleLines, "model_flexi");
         },
         {"warning battle-model"}},
        {"last model line without max",
         [](auto&, auto& s) { ReplaceLine(s.ModelBattleLines, "model_flexi ", "model_flexi x.cas, 30"); },
         {"warning battle-model"}},
        {"model lines of every kind", [](auto&, auto& s) {
             ReplaceLine(s.ModelBattleLines, "model_flexi ", "model_flexi_c data/models_unit/x.cas, MAX");
         }, {}},
        {"empty model description", [](auto&, auto& s) { s.ModelBattleLines = {"; nothing yet", ""}; },
         {"warning block-empty"}},
        // The unit description block.
        {"no dictionary line", [](auto&, auto& s) { RemoveLine(s.UnitDescrLines, "dictionary"); },
         {"warning descr-missing-line"}},
        {"no ownership line", [](auto&, auto& s) { RemoveLine(s.UnitDescrLines, "ownership"); },
         {"warning descr-missing-line"}},
        {"soldier of another model",
         [](auto&, auto& s) { ReplaceLine(s.UnitDescrLines, "soldier", "soldier greek_hoplite_x, 20, 0, 1"); },
         {"warning descr-soldier"}},
        {"owner without a card row", [](auto&, auto& s) {
             ReplaceLine(s.UnitDescrLines, "ownership", "ownership greek_cities, egypt, macedon");
         }, {"warning descr-ownership"}},
        {"card row without an owner",
         [](auto&, auto& s) { ReplaceLine(s.UnitDescrLines, "ownership", "ownership greek_cities"); },
         {"warning descr-ownership 2"}},
        {"empty unit description", [](auto&, auto& s) { s.UnitDescrLines.clear(); }, {"warning block-empty"}},
        // The unit text block.
        {"text without the short description",
         [](auto&, auto& s) { RemoveLine(s.UnitTextLines, "{greek_hoplite_elite_descr_short}"); },
         {"warning text-key"}},
        {"text key only in a comment",
         [](auto&, auto& s) {
             ReplaceLine(s.UnitTextLines, "{greek_hoplite_elite}", "\xC2\xAC{greek_hoplite_elite}");
         },
         {"warning text-key"}},
        {"text keys in another case", [](auto&, auto& s) {
             ReplaceLine(s.UnitTextLines, "{greek_hoplite_elite}", "{Greek_Hoplite_Elite} Armoured Hoplites");
         }, {}},
        {"empty unit text", [](auto&, auto& s) { s.UnitTextLines.clear(); }, {"warning block-empty"}},
        // The sheet.
        {"no unit name", [](auto&, auto& s) { s.UnitName.clear(); }, {"warning sheet-empty"}},
        {"the same faction twice",
         [](auto&, auto& s) { s.TextureRows.push_back({"Egypt", s.TextureRows[1].TextureFile}); },
         {"warning sheet-duplicate-faction 3"}},
        {"a faction no folder can hold",
         [](auto&, auto& s) {
             s.UiCardRows[1].Faction = "egypt/x";
             ReplaceLine(s.UnitDescrLines, "ownership", "ownership greek_cities, egypt/x");
         },
         {"error faction-name 2"}},
        {"an empty faction",
         [](auto&, auto& s) {
             s.TextureRows[1].Faction.clear();
         },
         {"error faction-name 2", "warning battle-texture"}},
    };
    const TUnitSheet clean = sheet;
    for (const TSheetCase& c : cases) {
        SetUp();
        sheet = clean;
        c.Change(*this, sheet);
        EXPECT_EQ(Found(CheckUnit(sheet)), c.Expected) << c.Name;
    }
}

TEST_F(CheckUnitTest, AnEmptySheetSaysWhatIsMissing)
{
    EXPECT_EQ(Found(CheckUnit(TUnitSheet{})),
              (std::vector<std::string>{"warning sheet-empty", "warning sheet-empty", "warning sheet-empty",
                                        "warning sheet-empty", "warning block-empty", "warning block-empty",
                                        "warning block-empty", "warning sheet-empty"}));
}

TEST_F(CheckUnitTest, ErrorsComeFirstThenWarningsThenNotes)
{
    sheet.UiCardRows[0].UnitCardFile.reset();
    sheet.UnitName.clear();
    const TFindings findings = CheckUnit(sheet);
    ASSERT_EQ(findings.size(), 3u);
    EXPECT_EQ(findings[0].Code, "card-missing-unit");
    EXPECT_EQ(findings[1].Code, "sheet-empty");
    EXPECT_EQ(findings[2].Code, "model-counts");
}

TEST_F(CheckUnitTest, APackageIsCheckedAsItsSheetWithTheUnpackedNames)
{
    sheet.TextureRows[1].TextureFile = dir.File("egypt_bare.dds");
    Write("egypt_bare.dds", Dxt1Texture(64, 32, 0));
    BuildPackage(sheet, dir.File("unit.quorin"));
    const TFindings findings = CheckPackage(ReadPackage(dir.File("unit.quorin")));
    EXPECT_EQ(Found(findings), std::vector<std::string>{"warning texture-mipmaps 2"});
    EXPECT_EQ(findings[0].File, "texture_02_egypt.dds");
    EXPECT_EQ(findings.back().File, "model.cas");
}

} // namespace
} // namespace quorin
