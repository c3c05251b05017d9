#include <gtest/gtest.h>

#include "base/Text.h"

namespace quorin {
namespace {

TEST(TextTest, FileNamePart)
{
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\mods\\hastati.quorin", "hastati.quorin"}, {"D:hastati.quorin", "hastati.quorin"},
        {"/mods/hastati.quorin", "hastati.quorin"},     {"hastati", "hastati"},
        {"dir/", ""},                                    {"", ""},
    };
    for (const auto& [path, name] : cases)
        EXPECT_EQ(FileNamePart(path), name) << path;
}

TEST(TextTest, FileExtension)
{
    const std::pair<const char*, const char*> cases[] = {
        {"card.tga", "tga"},           {"CARD.TGA", "TGA"},         {"card.tga.bak", "bak"},
        {"/home/u/pics.old/card", ""}, {"C:\\pics.old\\card", ""}, {"card.", ""},
        {"card", ""},                  {"a.b:c", ""},
    };
    for (const auto& [path, extension] : cases)
        EXPECT_EQ(FileExtension(path), extension) << path;
}

TEST(TextTest, LowerCaseCoversLatinAndCyrillic)
{
    EXPECT_EQ(LowerCaseText("TGA"), "tga");
    EXPECT_EQ(LowerCaseText("КАРТА Ёж ҐЇЎ"), "карта ёж ґїў");
    EXPECT_EQ(LowerCaseText("ñ€x"), "ñ€x");
}

TEST(TextTest, Utf8Counting)
{
    EXPECT_TRUE(IsSevenBitAscii("romans_julii"));
    EXPECT_FALSE(IsSevenBitAscii("римляне"));
    EXPECT_EQ(Utf8Length("römer"), 5u);
    EXPECT_EQ(Utf8Prefix("яблоко", 3), "ябл");
    EXPECT_EQ(Utf8Prefix("ab", 5), "ab");
}

} // namespace
} // namespace quorin
