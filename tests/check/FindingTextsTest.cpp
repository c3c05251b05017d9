#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "check/FindingTexts.h"

namespace quorin {
namespace {

std::multiset<std::string> Placeholders(const std::string& text)
{
    std::multiset<std::string> found;
    const std::regex placeholder(R"(\{[1-9]\})");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), placeholder); it != std::sregex_iterator(); ++it)
        found.insert(it->str());
    return found;
}

TEST(FindingTextsTest, BothLanguagesOfEveryCheckUseTheSameArguments)
{
    // Texts filled with "{1}".."{9}" show every placeholder they use.
    for (int check = 0; check <= static_cast<int>(TCheck::TextKey); ++check) {
        const TFinding finding =
            MakeFinding(static_cast<TCheck>(check), {"{1}", "{2}", "{3}", "{4}", "{5}", "{6}", "{7}", "{8}", "{9}"});
        SCOPED_TRACE(std::string(finding.Code));
        EXPECT_FALSE(finding.Code.empty());
        EXPECT_FALSE(finding.Field.empty());
        EXPECT_FALSE(finding.Message.empty());
        EXPECT_FALSE(finding.MessageRu.empty());
        const auto english = Placeholders(finding.Message);
        const auto russian = Placeholders(finding.MessageRu);
        EXPECT_EQ(std::set<std::string>(english.begin(), english.end()),
                  std::set<std::string>(russian.begin(), russian.end()));
    }
}

TEST(FindingTextsTest, FillsPlaceholdersOnceAndLeavesOthers)
{
    const struct {
        std::string_view Text;
        std::string Expected;
    } cases[] = {
        {"row {1} of {2}", "row 3 of {1}"}, // an argument's own braces are not filled again
        {"{3} stays", "{3} stays"},
        {"{0} and {x} and {1", "{0} and {x} and {1"},
        {"{2}{1}", "{1}3"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FillPlaceholders(c.Text, {"3", "{1}"}), c.Expected) << c.Text;
}

TEST(FindingTextsTest, CarriesPlaceAndSeverity)
{
    const TFinding finding = MakeFinding(TCheck::CardMissingUnit, {"2"}, {2, "cards/x.tga"});
    EXPECT_EQ(finding.Severity, TSeverity::Error);
    EXPECT_EQ(finding.Code, "card-missing-unit");
    EXPECT_EQ(finding.Field, "card");
    EXPECT_EQ(finding.Page, TUnitPage::Cards);
    EXPECT_EQ(finding.Row, 2);
    EXPECT_EQ(finding.File, "cards/x.tga");
    EXPECT_EQ(finding.Message, "Card row 2 has no #unit card: the build stops on it");
    EXPECT_TRUE(HasError({finding}));
    EXPECT_FALSE(HasError({MakeFinding(TCheck::ModelCounts, {"1", "2", "3"})}));
}

} // namespace
} // namespace quorin
