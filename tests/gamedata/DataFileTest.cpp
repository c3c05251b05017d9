#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gamedata/DataFile.h"
#include "base/Blake2b.h"

namespace quorin {
namespace {

using Lines = std::vector<std::string>;

// UTF-16LE bytes of ASCII or of the few other characters the tests use.
std::string Utf16(std::u16string_view text, bool bom = true)
{
    std::string bytes = bom ? "\xFF\xFE" : "";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string FailureOf(TDataFileKind kind, const std::string& bytes)
{
    try {
        DecodeDataFile(kind, bytes);
    } catch (const EDataFileError& e) {
        return e.Message();
    }
    return "(no failure)";
}

std::string BytesFailureOf(const std::string& bytes)
{
    try {
        CheckUnitTextBytes(bytes);
    } catch (const EDataFileError& e) {
        return e.Message();
    }
    return "(no failure)";
}

// ---- encodings ---------------------------------------------------------------

TEST(DataFileTest, DecodingThenEncodingGivesTheSameBytes)
{
    struct TCase {
        const char* Name;
        TDataFileKind Kind;
        std::string Bytes;
    };
    const TCase cases[] = {
        {"CR LF, 8-bit letters", TDataFileKind::ModelBattle, "; Ku\xDF\r\ntype a\r\n"},
        {"LF, no last line end", TDataFileKind::UnitDescr, "type a b\ndictionary a_b"},
        {"empty", TDataFileKind::UnitDescr, ""},
        {"text file with a surrogate pair and Cyrillic", TDataFileKind::UnitText,
         Utf16(u"\u00AC c\r\n{A}\u0413\U0001F600\r\n")},
        {"text file of only the byte-order mark", TDataFileKind::UnitText, Utf16(u"")},
        {"text file with a surrogate pair across eight bytes", TDataFileKind::UnitText, Utf16(u"abc\U0001F600defgh")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EncodeDataFile(DecodeDataFile(c.Kind, c.Bytes)), c.Bytes) << c.Name;
}

TEST(DataFileTest, TheTextFileIsHeldAsUtf8)
{
    auto file = DecodeDataFile(TDataFileKind::UnitText, Utf16(u"{a}\u0413\r\n"));
    EXPECT_EQ(file.Text, "{a}\xD0\x93\r\n");
}

TEST(DataFileTest, NewLinesTakeTheLineEndTheFileUses)
{
    EXPECT_EQ(DecodeDataFile(TDataFileKind::ModelBattle, "a\r\nb\n").LineEnd, "\r\n");
    EXPECT_EQ(DecodeDataFile(TDataFileKind::ModelBattle, "a\nb\r\n").LineEnd, "\n");
    EXPECT_EQ(DecodeDataFile(TDataFileKind::UnitText, Utf16(u"a\nb")).LineEnd, "\n");
    EXPECT_EQ(DecodeDataFile(TDataFileKind::ModelBattle, "one line").LineEnd, "\r\n");
}

TEST(DataFileTest, FilesNotInTheirEncodingAreRefusedByName)
{
    struct TCase {
        TDataFileKind Kind;
        std::string Bytes;
        std::string Message;
    };
    const TCase cases[] = {
        {TDataFileKind::UnitText, "{a}x\r\n", "data/text/export_units.txt is not UTF-16LE text with a byte-order mark"},
        {TDataFileKind::UnitText, Utf16(u"{a}", false), "data/text/export_units.txt is not UTF-16LE text with a byte-order mark"},
        {TDataFileKind::UnitText, Utf16(u"{a}") + "x", "data/text/export_units.txt is not UTF-16LE text with a byte-order mark"},
        {TDataFileKind::UnitText, Utf16(u"a") + std::string("\x00\xD8", 2) + Utf16(u"b", false),
         "data/text/export_units.txt is not valid UTF-16LE text: a lone surrogate at byte 4"},
        {TDataFileKind::UnitText, Utf16(u"a") + std::string("\x00\xDC", 2), "data/text/export_units.txt is not valid UTF-16LE text: a lone surrogate at byte 4"},
        {TDataFileKind::UnitText, Utf16(u"abcdefg") + std::string("\x00\xDC", 2) + Utf16(u"ijklmnop", false),
         "data/text/export_units.txt is not valid UTF-16LE text: a lone surrogate at byte 16"},
        {TDataFileKind::UnitText, Utf16(u"abcdefgh\U0001F600") + std::string("\x00\xD9", 2) + Utf16(u"ab", false),
         "data/text/export_units.txt is not valid UTF-16LE text: a lone surrogate at byte 22"},
        {TDataFileKind::ModelBattle, Utf16(u"type a"), "data/descr_model_battle.txt is not 8-bit text (it looks like UTF-16)"},
        {TDataFileKind::UnitDescr, std::string("t\0y\0p\0e\0", 8), "data/export_descr_unit.txt is not 8-bit text (it looks like UTF-16)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FailureOf(c.Kind, c.Bytes), c.Message);
        if (c.Kind == TDataFileKind::UnitText) {
            EXPECT_EQ(BytesFailureOf(c.Bytes), c.Message);
        }
    }
}

// ---- entries -----------------------------------------------------------------

const std::string ModelFile = "; header\r\n"
                              "\r\n"
                              "; the peasants\r\n"
                              "type\t\tPeasant  One ; first\r\n"
                              "skeleton a\r\n"
                              ";model_flexi old.cas, max\r\n"
                              "model_flexi x.cas, max\r\n"
                              " \r\n"
                              "type two\r\n"
                              "skeleton b\r\n"
                              "; trailing remark\r\n";

TEST(DataFileTest, EntriesTakeTheCommentsRightAboveThem)
{
    auto scan = ScanEntries(TDataFileKind::ModelBattle, ModelFile);
    ASSERT_EQ(scan.Entries.size(), 2u);
    const auto& first = scan.Entries[0];
    EXPECT_EQ(NormalisedKey(ShownKey(ModelFile, first)), "peasant one");
    EXPECT_EQ(ShownKey(ModelFile, first), "Peasant  One");
    EXPECT_EQ(ModelFile.substr(first.Start, first.ContentEnd - first.Start),
              "; the peasants\r\ntype\t\tPeasant  One ; first\r\nskeleton a\r\n;model_flexi old.cas, max\r\n"
              "model_flexi x.cas, max\r\n");
    const auto& second = scan.Entries[1];
    EXPECT_EQ(NormalisedKey(ShownKey(ModelFile, second)), "two");
    EXPECT_EQ(ModelFile.substr(second.Start, second.ContentEnd - second.Start), "type two\r\nskeleton b\r\n");
    EXPECT_FALSE(scan.StrayLine);
}

TEST(DataFileTest, TextEntriesRunOverTheirContinuationLines)
{
    std::string text = "\xC2\xAC comment\r\n{A}one\r\nmore of one\r\n\r\n{b}two";
    auto scan = ScanEntries(TDataFileKind::UnitText, text);
    ASSERT_EQ(scan.Entries.size(), 2u);
    EXPECT_EQ(text.substr(scan.Entries[0].Start, scan.Entries[0].ContentEnd - scan.Entries[0].Start),
              "\xC2\xAC comment\r\n{A}one\r\nmore of one\r\n");
    EXPECT_EQ(NormalisedKey(ShownKey(text, scan.Entries[0])), "a");
    EXPECT_EQ(text.substr(scan.Entries[1].Start), "{b}two");
}

TEST(DataFileTest, TheTextFilesBytesHoldTheEntriesOfItsText)
{
    const std::u16string texts[] = {
        u"\u00AC comment\r\n{A}one\r\nmore of one\r\n\r\n{b}two",
        u"stray first\n \t{ Key  Two }\tvalue\n\u00AC remark\n\n\u00AC above\n{c}\n{no close\n",
        // Units whose bytes hold a line feed or a carriage return are no line end.
        u"{\u0A0D}\u010A\u0D0A x\r\n{\u0413}\U0001F600\r\n\r\n{a}v\u010A{k}w\u0A0D{l}\r\n",
        // A line feed's byte at an odd offset, with a "{k}" behind it when read a byte off.
        u"{a}v\u0A0D\u7B00\u6B00\u7D00\u2000\r\n",
        u"", u"\r\n\r\n", u"{only}",
    };
    for (const std::u16string& text : texts) {
        const std::string bytes = Utf16(text);
        const std::string decoded = DecodeDataFile(TDataFileKind::UnitText, bytes).Text;
        const TEntryScan fromText = ScanEntries(TDataFileKind::UnitText, decoded);
        const TEntryScan fromBytes = ScanUnitTextBytes(bytes);
        const std::string shown = decoded.substr(0, 12);
        EXPECT_EQ(fromBytes.StrayLine, fromText.StrayLine) << shown;
        ASSERT_EQ(fromBytes.Entries.size(), fromText.Entries.size()) << shown;
        for (std::size_t i = 0; i < fromText.Entries.size(); ++i) {
            const TEntry& t = fromText.Entries[i];
            const TEntry& b = fromBytes.Entries[i];
            EXPECT_EQ(DecodeUnitTextRange(bytes, b.KeyAt, b.KeyAt + b.KeyLength), ShownKey(decoded, t)) << shown;
            EXPECT_EQ(DecodeUnitTextRange(bytes, b.Start, b.ContentEnd), decoded.substr(t.Start, t.ContentEnd - t.Start))
                << shown;
            EXPECT_EQ(DecodeUnitTextRange(bytes, b.Start, b.KeyLine), decoded.substr(t.Start, t.KeyLine - t.Start))
                << shown;
        }
    }
}

TEST(DataFileTest, KeysCompareWithoutCaseAndWithWhiteSpaceAsOneSpace)
{
    struct TCase {
        std::string Key;
        std::string Other;
        bool Same;
    };
    const TCase cases[] = {
        {"Roman  Hastati", "roman hastati", true}, {" roman\thastati ", "ROMAN HASTATI", true},
        {"roman hastati", "roman_hastati", false}, {"romanhastati", "roman hastati", false},
        {"roman hastati", "roman hastat", false},  {"roman hastat", "roman hastati", false},
        {"", "", true},                             {"a", "", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsKey(c.Key, NormalisedKey(c.Other)), c.Same) << c.Key << " / " << c.Other;
        EXPECT_EQ(NormalisedKey(c.Key) == NormalisedKey(c.Other), c.Same) << c.Key << " / " << c.Other;
    }
}

struct TAddCase {
    const char* Name;
    TDataFileKind Kind;
    std::string Before;
    Lines Block;
    std::string After;
};

TEST(DataFileTest, NewEntriesAreAppendedAfterABlankLineWithTheFilesLineEnds)
{
    const TAddCase cases[] = {
        {"CR LF", TDataFileKind::ModelBattle, "type a\r\nskeleton s\r\n", {"type b", "skeleton t"},
         "type a\r\nskeleton s\r\n\r\ntype b\r\nskeleton t\r\n"},
        {"LF", TDataFileKind::UnitDescr, "type a\n", {"type b", "dictionary b"}, "type a\n\ntype b\ndictionary b\n"},
        {"no last line end", TDataFileKind::UnitDescr, "type a\nx", {"type b"}, "type a\nx\n\ntype b\n"},
        {"ends with a blank line", TDataFileKind::ModelBattle, "type a\r\n \r\n", {"type b"}, "type a\r\n \r\ntype b\r\n"},
        {"empty file", TDataFileKind::ModelBattle, "", {"type b"}, "type b\r\n"},
        {"comments go with the entry", TDataFileKind::ModelBattle, "type a\r\n", {"", "; mine", "type b", "", "; end"},
         "type a\r\n\r\n; mine\r\ntype b\r\n"},
        {"several text entries, one blank line", TDataFileKind::UnitText, "{a}A\r\n", {"{b}B", "{b_descr}B long"},
         "{a}A\r\n\r\n{b}B\r\n{b_descr}B long\r\n"},
    };
    for (const auto& c : cases) {
        TDataText file{c.Kind, c.Before, c.Before.find("\r\n") != std::string::npos || c.Before.empty() ? "\r\n" : "\n"};
        auto plan = AddEntries(file, c.Block, false);
        EXPECT_EQ(file.Text, c.After) << c.Name;
        EXPECT_TRUE(plan.ExistingKeys.empty()) << c.Name;
    }
}

TEST(DataFileTest, AnExistingKeyIsListedAndNothingChangesWithoutReplace)
{
    TDataText file{TDataFileKind::ModelBattle, ModelFile, "\r\n"};
    auto plan = AddEntries(file, {"type PEASANT one", "skeleton z", "type three"}, false);
    EXPECT_EQ(plan.ExistingKeys, Lines{"Peasant  One"});
    EXPECT_EQ(file.Text, ModelFile + "\r\ntype three\r\n");
}

TEST(DataFileTest, AnEntryThereWithTheSameLinesIsListedAsTheSameAndLeftAsItIs)
{
    for (bool replace : {false, true}) {
        TDataText file{TDataFileKind::ModelBattle, ModelFile, "\r\n"};
        auto plan = AddEntries(file, {"type two", "skeleton b", "type three"}, replace);
        EXPECT_EQ(plan.SameKeys, Lines{"two"});
        EXPECT_TRUE(plan.ExistingKeys.empty());
        ASSERT_EQ(plan.Edits.size(), 1u);
        EXPECT_EQ(plan.Edits[0].ShownKey, "three");
        EXPECT_EQ(file.Text, ModelFile + "\r\ntype three\r\n");
    }
}

TEST(DataFileTest, ReplaceSwapsTheEntryInPlaceWithItsComments)
{
    TDataText file{TDataFileKind::ModelBattle, ModelFile, "\r\n"};
    auto plan = AddEntries(file, {"; new", "type peasant one", "skeleton z"}, true);
    EXPECT_EQ(file.Text, "; header\r\n\r\n; new\r\ntype peasant one\r\nskeleton z\r\n"
                         " \r\ntype two\r\nskeleton b\r\n; trailing remark\r\n");
    ASSERT_EQ(plan.Edits.size(), 1u);
    EXPECT_TRUE(plan.Edits[0].Replaced);
    EXPECT_EQ(plan.Edits[0].OldText.substr(0, 16), "; the peasants\r\n");
}

TEST(DataFileTest, BlocksThatAreNotEntriesAreRefused)
{
    struct TCase {
        TDataFileKind Kind;
        Lines Block;
        std::string Message;
    };
    const TCase cases[] = {
        {TDataFileKind::ModelBattle, {"skeleton a", "type b"},
         "The unit's lines for data/descr_model_battle.txt start with a line outside any entry: \"skeleton a\""},
        {TDataFileKind::UnitDescr, {"; only a remark"}, "The unit's lines for data/export_descr_unit.txt hold no type line"},
        {TDataFileKind::UnitText, {}, "The unit's lines for data/text/export_units.txt hold no {key} line"},
        {TDataFileKind::UnitText, {"{a}x", "{A}y"}, "The unit's lines for data/text/export_units.txt define A twice"},
        {TDataFileKind::ModelBattle, {"type a\r\ntype b"},
         "The unit's lines for data/descr_model_battle.txt: line 1 holds a line break"},
    };
    for (const auto& c : cases) {
        TDataText file{c.Kind, "", "\r\n"};
        try {
            AddEntries(file, c.Block, false);
            ADD_FAILURE() << "no failure for " << c.Message;
        } catch (const EDataFileError& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
    }
}

// ---- taking entries back -----------------------------------------------------

bool Revert(TDataText& file, const TEntryEdit& edit, bool force = false)
{
    return RevertEdit(file, edit.ShownKey, edit.KeyOffset, edit.NewText.size(), Blake2b256Hex(edit.NewText), edit.OldText,
                      force);
}

TEST(DataFileTest, RevertingTheEditsLatestFirstGivesBackTheFile)
{
    struct TCase {
        const char* Name;
        TDataFileKind Kind;
        std::string Before;
        Lines Block;
        bool Replace;
    };
    const TCase cases[] = {
        {"append", TDataFileKind::ModelBattle, ModelFile, {"type three", "skeleton c"}, false},
        {"append without a last line end", TDataFileKind::UnitDescr, "type a\nx", {"type b"}, false},
        {"replace the first, append another", TDataFileKind::ModelBattle, ModelFile,
         {"type peasant one", "type four"}, true},
        {"replace the last, which lacks its line end", TDataFileKind::UnitText, "{a}A\r\n{b}B",
         {"{c}C", "{b}new B", "more"}, true},
    };
    for (const auto& c : cases) {
        TDataText file{c.Kind, c.Before, "\r\n"};
        auto plan = AddEntries(file, c.Block, c.Replace);
        ASSERT_FALSE(plan.Edits.empty()) << c.Name;
        for (auto edit = plan.Edits.rbegin(); edit != plan.Edits.rend(); ++edit)
            EXPECT_TRUE(Revert(file, *edit)) << c.Name << ": " << edit->ShownKey;
        EXPECT_EQ(file.Text, c.Before) << c.Name;
    }
}

TEST(DataFileTest, AnEntryIsFoundAfterOthersAreAddedAroundIt)
{
    TDataText file{TDataFileKind::ModelBattle, ModelFile, "\r\n"};
    auto mine = AddEntries(file, {"type three", "skeleton c"}, false).Edits.at(0);
    file.Text.insert(0, "type zero\r\n\r\n");
    AddEntries(file, {"; another unit", "type five"}, false);
    std::string expected = file.Text;
    expected.erase(expected.find("\r\ntype three"), mine.NewText.size());
    EXPECT_TRUE(Revert(file, mine));
    EXPECT_EQ(file.Text, expected);
}

TEST(DataFileTest, AnEditThatWasChangedIsNotFound)
{
    struct TCase {
        const char* Name;
        std::string From;
        std::string To;
    };
    const TCase cases[] = {
        {"a line of it edited", "skeleton c\r\n", "skeleton d\r\n"},
        {"a line added to its end", "skeleton c\r\n", "skeleton c\r\nindiv_range 40\r\n"},
        {"a line added after a remark", "skeleton c\r\n", "skeleton c\r\n; note\r\nindiv_range 40\r\n"},
        {"its key renamed", "type three", "type tree"},
    };
    for (const auto& c : cases) {
        TDataText file{TDataFileKind::ModelBattle, ModelFile, "\r\n"};
        auto edit = AddEntries(file, {"type three", "skeleton c"}, false).Edits.at(0);
        file.Text.replace(file.Text.rfind(c.From), c.From.size(), c.To);
        std::string edited = file.Text;
        EXPECT_FALSE(FindEdit(file, edit.ShownKey, edit.KeyOffset, edit.NewText.size(), Blake2b256Hex(edit.NewText)))
            << c.Name;
        EXPECT_FALSE(Revert(file, edit)) << c.Name;
        EXPECT_EQ(file.Text, edited) << c.Name;
    }
}

TEST(DataFileTest, ForceTakesOutTheEntryAsItIsNow)
{
    TDataText file{TDataFileKind::ModelBattle, ModelFile, "\r\n"};
    auto edit = AddEntries(file, {"type three", "skeleton c"}, false).Edits.at(0);
    file.Text += "indiv_range 40\r\n";
    EXPECT_TRUE(Revert(file, edit, true));
    EXPECT_EQ(file.Text, ModelFile + "\r\n");
}

} // namespace
} // namespace quorin
