#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gamedata/DataFile.h"
#include "install/InstallError.h"
#include "install/UnitTargets.h"
#include "tests/install/UnitFixture.h"

namespace quorin {
namespace {

using test::ReplaceLine;

std::vector<std::string> Destinations(const TUnitTargets& targets)
{
    std::vector<std::string> paths;
    for (const auto& file : targets.Files)
        paths.push_back(file.What + " -> " + file.Destination);
    return paths;
}

std::string FailureOf(const TPackage& unit)
{
    try {
        UnitTargets(unit);
    } catch (const EInstallError& e) {
        return e.Message();
    }
    return "(no failure)";
}

TEST(UnitTargetsTest, EveryPartGoesWhereTheGameLooksForIt)
{
    auto unit = test::HastatiUnit();
    unit.UiCardRows.push_back({"merc", test::PatternBytes(8), test::PatternBytes(9)});
    unit.UiCardRows.push_back({"mercs", test::PatternBytes(8), test::PatternBytes(9)});
    auto targets = UnitTargets(unit);
    EXPECT_EQ(targets.Dictionary, "roman_hastati");
    EXPECT_EQ(targets.UnitType, "roman hastati");
    EXPECT_EQ(targets.ModelType, "roman_hastati");
    EXPECT_EQ(Destinations(targets), (std::vector<std::string>{
                                         "model -> data/models_unit/roman_hastati.cas",
                                         "texture romans_julii -> data/models_unit/textures/hastati_julii.tga.dds",
                                         "texture romans_brutii -> data/models_unit/textures/hastati_brutii.tga.dds",
                                         "INFO card romans_julii -> data/ui/unit_info/romans_julii/roman_hastati_info.tga",
                                         "#unit card romans_julii -> data/ui/units/romans_julii/#roman_hastati.tga",
                                         "INFO card romans_brutii -> data/ui/unit_info/romans_brutii/roman_hastati_info.tga",
                                         "#unit card romans_brutii -> data/ui/units/romans_brutii/#roman_hastati.tga",
                                         "INFO card merc -> data/ui/unit_info/merc/roman_hastati_info.tga",
                                         "#unit card merc -> data/ui/units/mercs/#roman_hastati.tga",
                                         "INFO card mercs -> data/ui/unit_info/merc/roman_hastati_info.tga",
                                         "#unit card mercs -> data/ui/units/mercs/#roman_hastati.tga",
                                     }));
    EXPECT_EQ(targets.Files[0].Bytes, &unit.Model);
    EXPECT_EQ(targets.Files[2].Bytes, &unit.TextureRows[1].Texture);
    EXPECT_EQ(targets.Files[4].Bytes, &unit.UiCardRows[0].UnitCard);
}

TEST(UnitTargetsTest, TheFirstModelLineCountsAndCommentsDoNot)
{
    struct TCase {
        std::vector<std::string> ModelLines;
        std::string Model;
    };
    const TCase cases[] = {
        {{"type a", ";model_flexi data/old.cas, 8", "model_flexi_m data/a.cas, 15", "model_flexi data/b.cas, max"},
         "data/a.cas"},
        {{"type a", "MODEL_FLEXI_C\tData\\Models\\a.cas , max ; lod"}, "Data/Models/a.cas"},
        {{"type a", "model_flexi data/with space.cas, max"}, "data/with space.cas"},
    };
    for (const auto& c : cases) {
        auto unit = test::HastatiUnit();
        unit.TextureRows.clear();
        unit.ModelBattleLines = c.ModelLines;
        EXPECT_EQ(UnitTargets(unit).Files.at(0).Destination, c.Model);
    }
}

TEST(UnitTargetsTest, BackslashesAndCaseInFactionsAreTheGamesOwn)
{
    auto unit = test::HastatiUnit();
    ReplaceLine(unit.ModelBattleLines, "texture             romans_julii",
                "texture ROMANS_JULII ,data\\models_unit\\textures\\hastati_julii.tga");
    EXPECT_EQ(UnitTargets(unit).Files.at(1).Destination, "data/models_unit/textures/hastati_julii.tga.dds");
}

TEST(UnitTargetsTest, UnworkableDestinationsAreAllNamed)
{
    struct TCase {
        const char* Name;
        void (*Change)(TPackage&);
        std::string Problem;
    };
    const TCase cases[] = {
        {"no model line", [](TPackage& u) { std::erase_if(u.ModelBattleLines, [](auto& l) { return l.starts_with("model_flexi"); }); },
         "The model description has no model_flexi, model_flexi_m or model_flexi_c line, so the model has no destination"},
        {"texture row without its line", [](TPackage& u) { u.TextureRows.push_back({"egypt", {}}); },
         "The texture of egypt has no texture line for egypt in the model description"},
        {"no dictionary", [](TPackage& u) { std::erase_if(u.UnitDescrLines, [](auto& l) { return l.starts_with("dictionary"); }); },
         "The unit description has no dictionary line, so the cards and texts have no name"},
        {"no model type", [](TPackage& u) { u.ModelBattleLines.erase(u.ModelBattleLines.begin()); },
         "The model description has no type line"},
        {"no unit type", [](TPackage& u) { u.UnitDescrLines.erase(u.UnitDescrLines.begin()); },
         "The unit description has no type line"},
        {"the model and a card at one place with other bytes",
         [](TPackage& u) { ReplaceLine(u.ModelBattleLines, "model_flexi",
                                       "model_flexi data/ui/units/romans_julii/#roman_hastati.tga, max"); },
         "The model and the #unit card romans_julii both go to data/ui/units/romans_julii/#roman_hastati.tga but differ"},
    };
    for (const auto& c : cases) {
        auto unit = test::HastatiUnit();
        c.Change(unit);
        EXPECT_NE(FailureOf(unit).find("\n  " + c.Problem), std::string::npos) << c.Name << ": " << FailureOf(unit);
    }
}

TEST(UnitTargetsTest, HostileNamesAreRefused)
{
    struct TCase {
        const char* Name;
        void (*Change)(TPackage&);
        std::string Problem;
    };
    const TCase cases[] = {
        {"\"..\" in a texture path",
         [](TPackage& u) { ReplaceLine(u.ModelBattleLines, "texture             romans_julii", "texture romans_julii, data/../../etc/x.tga"); },
         "The texture path \"data/../../etc/x.tga\" of romans_julii does not lie inside the mod's data folder"},
        {"an absolute model path", [](TPackage& u) { ReplaceLine(u.ModelBattleLines, "model_flexi", "model_flexi /etc/passwd, max"); },
         "The model path \"/etc/passwd\" does not lie inside the mod's data folder"},
        {"a drive in the model path", [](TPackage& u) { ReplaceLine(u.ModelBattleLines, "model_flexi", "model_flexi C:\\data\\x.cas, max"); },
         "The model path \"C:\\data\\x.cas\" does not lie inside the mod's data folder"},
        {"a backslash climb", [](TPackage& u) { ReplaceLine(u.ModelBattleLines, "model_flexi", "model_flexi data\\..\\x.cas, max"); },
         "The model path \"data\\..\\x.cas\" does not lie inside the mod's data folder"},
        {"a card faction climbing out", [](TPackage& u) { u.UiCardRows[0].Faction = ".."; },
         "The card row's faction \"..\" is not a plain name"},
        {"a card faction with a separator", [](TPackage& u) { u.UiCardRows[1].Faction = "a/../../b"; },
         "The card row's faction \"a/../../b\" is not a plain name"},
        {"a texture faction climbing out", [](TPackage& u) { u.TextureRows[0].Faction = "../x"; },
         "The texture row's faction \"../x\" is not a plain name"},
        {"the model over a data file", [](TPackage& u) { ReplaceLine(u.ModelBattleLines, "model_flexi", "model_flexi DATA\\Export_Descr_Unit.txt, max"); },
         "The model would go over the data file DATA/Export_Descr_Unit.txt"},
        {"a dictionary climbing out", [](TPackage& u) { ReplaceLine(u.UnitDescrLines, "dictionary", "dictionary ../../evil"); },
         "The dictionary name \"../../evil\" is not a plain name"},
    };
    for (const auto& c : cases) {
        auto unit = test::HastatiUnit();
        c.Change(unit);
        EXPECT_NE(FailureOf(unit).find("\n  " + c.Problem), std::string::npos) << c.Name << ": " << FailureOf(unit);
    }
}

TEST(UnitTargetsTest, ModPathsStayInsideTheDataFolder)
{
    struct TCase {
        std::string Path;
        std::string Safe;
    };
    const TCase cases[] = {
        {"data/a/b.cas", "data/a/b.cas"},   {"data\\a\\b.cas", "data/a/b.cas"}, {" Data/x ", "Data/x"},
        {"data", ""},                       {"models/a.cas", ""},               {"/data/a", ""},
        {"\\data\\a", ""},                  {"c:data/a", ""},                   {"data/./a", ""},
        {"data//a", ""},                    {"data/a/", ""},                    {"data/a/../../b", ""},
        {"data/a\x01", ""},                 {"data/a?", ""},                    {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ModPath(c.Path), c.Safe) << c.Path;
}

} // namespace
} // namespace quorin
