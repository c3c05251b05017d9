#include <gtest/gtest.h>

#include "gamedata/DataLines.h"

namespace quorin {
namespace {

TEST(DataLinesTest, ParsesKeywordsAndCommaSeparatedValues)
{
    const auto lines = ParseDescrLines({
        "\xEF\xBB\xBFtype\t\tgreek hoplite elite",
        "  ; a whole comment line",
        "",
        "dictionary       greek_hoplite_elite      ; Armoured Hoplites",
        "SOLDIER          greek_armoured_hoplite, 20, 0, 1.3",
        "ownership        greek_cities,",
        "texture greek_cities, data/models_unit/textures/unit_greek_hoplite.tga\r",
    });
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].Keyword, "type");
    EXPECT_EQ(lines[0].Values, std::vector<std::string>{"greek hoplite elite"});
    EXPECT_EQ(lines[1].Values, std::vector<std::string>{"greek_hoplite_elite"});
    EXPECT_EQ(lines[2].Keyword, "soldier");
    EXPECT_EQ(lines[2].Values, (std::vector<std::string>{"greek_armoured_hoplite", "20", "0", "1.3"}));
    EXPECT_EQ(lines[3].Values, (std::vector<std::string>{"greek_cities", ""}));
    EXPECT_EQ(lines[4].Values,
              (std::vector<std::string>{"greek_cities", "data/models_unit/textures/unit_greek_hoplite.tga"}));
    EXPECT_EQ(FindLine(lines, "ownership"), &lines[3]);
    EXPECT_EQ(FindLine(lines, "mount"), nullptr);
}

TEST(DataLinesTest, FindsUnitTextKeysButNotInComments)
{
    const auto keys = UnitTextKeys({
        "\xC2\xAC {commented_out}",
        "{Greek_Hoplite}\tHoplites",
        "  {greek_hoplite_descr}",
        "Heavy infantry {not_a_key}",
        "{unclosed",
    });
    EXPECT_EQ(keys, (std::vector<std::string>{"greek_hoplite", "greek_hoplite_descr"}));
}

TEST(DataLinesTest, BlankBlocksHoldOnlyBlanksAndComments)
{
    EXPECT_TRUE(IsBlankBlock({}));
    EXPECT_TRUE(IsBlankBlock({"", "  \t", "; comment", "\xC2\xAC comment"}));
    EXPECT_FALSE(IsBlankBlock({"", "type x"}));
}

TEST(DataLinesTest, SplitsNamesAtCommasAndBlanks)
{
    EXPECT_EQ(SplitNames("fs_spearman, fs_swordsman"), (std::vector<std::string>{"fs_spearman", "fs_swordsman"}));
    EXPECT_EQ(SplitNames(" a,,b\tc "), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(SplitNames(" , ").empty());
}

} // namespace
} // namespace quorin
