#include <gtest/gtest.h>

#include <tuple>

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

TEST(TextTest, ControlCharactersAreEscapedForTheTerminal)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"plain text, tab\there", "plain text, tab\there"},
        {"\x1B[2J", "\\x1B[2J"},
        {"a\rb\nc\x07\x7F", "a\\x0Db\\x0Ac\\x07\\x7F"},
        {std::string_view("nul\0", 4), "nul\\x00"},
        {"\xC2\x9B" "31m", "\\u009B31m"},                 // the one-byte CSI of C1
        {"\xC2\x85", "\\u0085"},
        {"\xC2\xA0\xD1\x8F\xF0\x9F\x98\x80", "\xC2\xA0\xD1\x8F\xF0\x9F\x98\x80"},
        {"\xFF\xED\xA0\x80x", "\\xFF\\xED\\xA0\\x80x"}, // not UTF-8
        {"cut \xD1", "cut \\xD1"},
    };
    for (const auto& [text, escaped] : cases)
        EXPECT_EQ(EscapeControlCharacters(text), escaped) << ::testing::PrintToString(std::string(text));
}

TEST(TextTest, Utf8PrefixBytesEndsAtACharacterBoundary)
{
    const std::tuple<std::string_view, std::size_t, std::string_view> cases[] = {
        {"abc", 2, "ab"},
        {"abc", 5, "abc"},
        {"\xD1\x8F\xD0\xB1", 3, "\xD1\x8F"},               // "яб": the second letter does not fit
        {"\xD1\x8F\xD0\xB1", 4, "\xD1\x8F\xD0\xB1"},
        {"a\xF0\x9F\x98\x80", 4, "a"},                     // a four-byte character
        {"a\xF0\x9F\x98\x80", 5, "a\xF0\x9F\x98\x80"},
        {"\xE2\x82\xAC", 0, ""},
    };
    for (const auto& [text, bytes, prefix] : cases)
        EXPECT_EQ(Utf8PrefixBytes(text, bytes), prefix) << bytes;
}

TEST(TextTest, Utf8IsJudgedStrictly)
{
    const std::pair<std::string_view, bool> cases[] = {
        {"", true},
        {"plain", true},
        {"\xD0\xBA\xD0\xB8", true},         // "ки"
        {"\xEF\xBF\xBF", true},              // U+FFFF
        {"\xEE\x80\x80", true},              // U+E000, just above the surrogates
        {"\xED\x9F\xBF", true},              // U+D7FF, just below them
        {"\xF0\x90\x80\x80", true},          // U+10000
        {"\xF4\x8F\xBF\xBF", true},          // U+10FFFF
        {"\xED\xA0\x80", false},             // U+D800, a surrogate
        {"\xED\xBF\xBF", false},             // U+DFFF
        {"\xE0\x80\xAF", false},             // "/" in an overlong three-byte form
        {"\xC0\xAF", false},                  // overlong two-byte form
        {"\xC1\xBF", false},
        {"\xF0\x8F\xBF\xBF", false},         // overlong four-byte form
        {"\xF4\x90\x80\x80", false},         // U+110000
        {"\xF5\x80\x80\x80", false},
        {"\xF7\xBF\xBF\xBF", false},
        {"\xF8\x88\x80\x80\x80", false},
        {"\xFF", false},
        {"\x80", false},                       // a continuation byte alone
        {"\xD0", false},                       // cut off at the end
        {"\xE2\x82", false},
        {"\xE2\x28\xA1", false},             // a second byte that continues nothing
        {"a\xD0\xBA" "b\xF0\x9F\x98\x80", true},
    };
    for (const auto& [text, valid] : cases)
        EXPECT_EQ(IsValidUtf8(text), valid) << ::testing::PrintToString(std::string(text));
}

} // namespace
} // namespace quorin
