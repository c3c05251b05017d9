#include <gtest/gtest.h>

#include "install/EntryDiff.h"

namespace quorin {
namespace {

TEST(EntryDiffTest, NamesTheLinesAHandEditChanged)
{
    const std::string installed = "type roman_hastati\r\nskeleton fs_spearman\r\nindiv_range 40\r\n";
    const std::string before = "; models\r\n\r\ntype barb\r\nskeleton fs_dagger\r\n\r\n";
    struct TCase {
        const char* Name;
        std::string Entry; // the entry in the file now
        std::string Lines;
    };
    const TCase cases[] = {
        {"a line changed", "type roman_hastati\r\nskeleton fs_spearman\r\nindiv_range 60\r\n",
         "\n      line 8, installed: indiv_range 40\n      line 8, now:       indiv_range 60"},
        {"a line added", "type roman_hastati\r\nskeleton fs_spearman\r\nmount horse\r\nindiv_range 40\r\n",
         "\n      line 8, now:       mount horse"},
        {"a line removed", "type roman_hastati\r\nindiv_range 40\r\n",
         "\n      line 7, installed: skeleton fs_spearman"},
        {"the entry gone", "type other\r\n", "\n      the entry is no longer in the file"},
        {"only trailing blank lines", installed + "\r\n  \r\n", ""},
    };
    for (const auto& c : cases) {
        TDataText file{TDataFileKind::ModelBattle, before + c.Entry, "\r\n"};
        EXPECT_EQ(ChangedEntryLines(file, "roman_hastati", installed), c.Lines) << c.Name;
    }
}

} // namespace
} // namespace quorin
