#include <filesystem>
#include <gtest/gtest.h>

#include "base/Text.h"
#include "gamedata/ModData.h"
#include "gamedata/ModFolder.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

TEST(ModFolderTest, FindsFilesAsWindowsDoesWithoutCaseAndWithEitherSeparator)
{
    test::TempDir dir;
    std::filesystem::create_directories(dir.Path() / "Data" / "Models_Unit");
    test::WriteFile(dir.File("Data/Models_Unit/Unit.CAS"), std::string("x"));
    const TModFolder mod(test::Utf8Of(dir.Path()));
    const struct {
        const char* Named;
        std::optional<std::string> Found;
    } cases[] = {
        {"data/models_unit/unit.cas", "Data/Models_Unit/Unit.CAS"},
        {"DATA\\MODELS_UNIT\\UNIT.cas", "Data/Models_Unit/Unit.CAS"},
        {" /data//models_unit/unit.cas ", "Data/Models_Unit/Unit.CAS"},
        {"data/models_unit", std::nullopt}, // a folder is no file
        {"data/models_unit/other.cas", std::nullopt},
        {"", std::nullopt},
        {"Data/Models_Unit/Unit.CAS", "Data/Models_Unit/Unit.CAS"},
        {"Data/Models_Unit", std::nullopt},
        {"Data/Models_Unit/Unit.CAS/more", std::nullopt}, // a file is no folder
        {"Data/Other/Unit.CAS", std::nullopt},
        {"Data/./Models_Unit/Unit.CAS", "Data/./Models_Unit/Unit.CAS"},
        {"Data/Models_Unit/../Models_Unit/Unit.CAS", "Data/Models_Unit/../Models_Unit/Unit.CAS"},
    };
    // Where the system does not tell case apart, a name as written opens the file.
    auto caseless = [](const std::optional<std::string>& path) {
        return path ? std::optional(LowerCaseText(*path)) : std::nullopt;
    };
    // The second time from the folders' listings, which the first made.
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& c : cases) {
            const auto found = mod.Find(c.Named);
            EXPECT_EQ(caseless(found), caseless(c.Found)) << c.Named << ", pass " << pass;
            if (found) {
                EXPECT_TRUE(std::filesystem::is_regular_file(test::Utf8Path(mod.PathOf(*found)))) << c.Named;
            }
        }
    }
}

TEST(ModFolderTest, PathsThroughTheGamesFolderAreNamedFromTheModsRoot)
{
    EXPECT_EQ(PathInMod("alx/data/models_unit/a.cas"), "data/models_unit/a.cas");
    EXPECT_EQ(PathInMod("mods\\x\\Data\\a.tga"), "Data/a.tga");
    EXPECT_EQ(PathInMod("data/a.cas"), "data/a.cas");
    EXPECT_EQ(PathInMod("elsewhere/a.cas"), "elsewhere/a.cas");
    EXPECT_EQ(PathInMod("data//t///a.cas"), "data/t/a.cas");
    EXPECT_EQ(TexturePlaces("data\\t\\a.tga"), (std::vector<std::string>{"data/t/a.tga.dds", "data/t/a.tga"}));
    EXPECT_EQ(TexturePlaces("data/t/a.tga.DDS"), (std::vector<std::string>{"data/t/a.tga.DDS"}));
}

TEST(ModFolderTest, AMercenarysCardsAreLookedForInTheMercenariesFoldersToo)
{
    TUnitBlock unit;
    unit.Dictionary = "merc_x";
    ASSERT_EQ(CardPlaces(unit, "slave").size(), 1u);
    unit.Mercenary = true;
    const auto places = CardPlaces(unit, "slave");
    ASSERT_EQ(places.size(), 2u);
    EXPECT_EQ(places[0].Info, "data/ui/unit_info/slave/merc_x_info.tga");
    EXPECT_EQ(places[1].Info, "data/ui/unit_info/merc/merc_x_info.tga");
    EXPECT_EQ(places[1].Unit, "data/ui/units/mercs/#merc_x.tga");
}

TEST(ModFolderTest, OneUnitIsReadWithItsModelBlockAsTheWholeModHasThem)
{
    test::TempDir dir;
    std::filesystem::create_directories(dir.Path() / "data" / "text");
    test::WriteFile(dir.File("data/export_descr_unit.txt"),
                    std::string("type a\r\ndictionary a\r\nsoldier m_a, 10\r\n\r\n; the second\r\n"
                                "type  B \r\ndictionary b\r\nsoldier m_b, 10\r\nownership x, y\r\n"
                                "attributes mercenary_unit\r\n\r\ntype b\r\ndictionary b_again\r\n"));
    test::WriteFile(dir.File("data/descr_model_battle.txt"),
                    std::string("type m_a\r\nskeleton s\r\n\r\ntype M_B\r\nskeleton s2\r\n"
                                "texture x, data/t.tga\r\nmodel_flexi data/b.cas, max\r\ntype m_b\r\n"));
    std::string text = "\xFF\xFE";
    for (char c : std::string("{b}Bee\r\n{b_descr}long\r\nmore\r\n"))
        text += {c, '\0'};
    test::WriteFile(dir.File("data/text/export_units.txt"), text);
    const TModFolder mod(test::Utf8Of(dir.Path()));
    const TModData whole(mod), one(mod, "b");
    const TUnitBlock* unit = one.FindUnit(" b ");
    ASSERT_NE(unit, nullptr);
    ASSERT_EQ(one.Units.size(), 1u);
    EXPECT_EQ(unit->Lines, whole.FindUnit("b")->Lines);
    EXPECT_EQ(unit->Line, whole.FindUnit("b")->Line);
    EXPECT_EQ(unit->Owners, (std::vector<std::string>{"x", "y"}));
    EXPECT_TRUE(unit->Mercenary);
    EXPECT_EQ(one.UnitEntries, 3u);
    ASSERT_EQ(one.Models.size(), 1u);
    EXPECT_EQ(one.FindModel("m_b")->Lines, whole.FindModel("m_b")->Lines);
    EXPECT_EQ(one.FindModel("m_b")->Models, (std::vector<std::string>{"data/b.cas"}));
    EXPECT_EQ(one.FindModel("m_a"), nullptr);
    EXPECT_EQ(one.TextValue("b"), "Bee");
    EXPECT_EQ(one.FindText("B_DESCR"), (std::vector<std::string>{"{b_descr}long", "more"}));
    EXPECT_TRUE(one.Failures.empty());
    EXPECT_TRUE(TModData(mod, "none").Units.empty());
}

} // namespace
} // namespace quorin
