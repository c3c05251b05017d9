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
    };
    // Where the system does not tell case apart, a name as written opens the file.
    auto caseless = [](const std::optional<std::string>& path) {
        return path ? std::optional(LowerCaseText(*path)) : std::nullopt;
    };
    for (const auto& c : cases) {
        const auto found = mod.Find(c.Named);
        EXPECT_EQ(caseless(found), caseless(c.Found)) << c.Named;
        if (found) {
            EXPECT_TRUE(std::filesystem::is_regular_file(test::Utf8Path(mod.PathOf(*found)))) << c.Named;
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

} // namespace
} // namespace quorin
