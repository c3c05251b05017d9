#include <gtest/gtest.h>

#include <filesystem>

#include "install/Install.h"
#include "tests/install/ModFixture.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;
using test::FailureOf;
using test::ModTest;
using test::ReplaceLine;
using test::TSnapshot;

std::string Text(const TBytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

class InstallTest : public ModTest {};

// ---- installing --------------------------------------------------------------

TEST_F(InstallTest, EveryPartLandsAtItsDestination)
{
    Install();
    struct TCase {
        std::string Path;
        std::string Bytes;
    };
    const TCase cases[] = {
        {"data/models_unit/roman_hastati.cas", Text(unit.Model)},
        {"data/models_unit/textures/hastati_julii.tga.dds", Text(unit.TextureRows[0].Texture)},
        {"data/models_unit/textures/hastati_brutii.tga.dds", Text(unit.TextureRows[1].Texture)},
        {"data/ui/unit_info/romans_julii/roman_hastati_info.tga", Text(unit.UiCardRows[0].InfoCard)},
        {"data/ui/units/romans_julii/#roman_hastati.tga", Text(unit.UiCardRows[0].UnitCard)},
        {"data/ui/unit_info/romans_brutii/roman_hastati_info.tga", Text(unit.UiCardRows[1].InfoCard)},
        {"data/ui/units/romans_brutii/#roman_hastati.tga", Text(unit.UiCardRows[1].UnitCard)},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(fs::exists(At(c.Path))) << c.Path;
        EXPECT_EQ(Get(c.Path), c.Bytes) << c.Path;
    }
    EXPECT_TRUE(fs::exists(At("quorin/installed/roman_hastati.toml")));
}

TEST_F(InstallTest, EachDataFileKeepsItsBytesEncodingAndLineEnds)
{
    Install();
    EXPECT_EQ(Get("data/descr_model_battle.txt"),
              test::ModelBattleText +
                  "\r\n"
                  "type                roman_hastati\r\n"
                  "skeleton            fs_swordsman, fs_spearman\r\n"
                  "indiv_range         40\r\n"
                  "texture             romans_julii, data/models_unit/textures/hastati_julii.tga\r\n"
                  "texture             romans_brutii, data/models_unit/textures/hastati_brutii.tga\r\n"
                  "model_flexi         data/models_unit/roman_hastati.cas, max\r\n");
    EXPECT_EQ(Get("data/export_descr_unit.txt"), test::UnitDescrText +
                                                     "\n"
                                                     "type             roman hastati\n"
                                                     "dictionary       roman_hastati      ; Hastati\n"
                                                     "category         infantry\n"
                                                     "soldier          roman_hastati, 40, 0, 1\n");
    EXPECT_EQ(Get("data/text/export_units.txt"),
              test::Utf16(test::UnitTextText +
                          u"\r\n\r\n"
                          u"{roman_hastati}Hastati\r\n"
                          u"{roman_hastati_descr}Young Roman citizens who form the front line of the legion.\r\n"));
}

TEST_F(InstallTest, ThePlanNamesEveryDestination)
{
    auto plan = PlanInstall(unit, Mod(), false);
    std::vector<std::string> expected = {
        "Unit roman_hastati (unit type \"roman hastati\", model type \"roman_hastati\") into " + Mod() + ":",
        "  model                        -> data/models_unit/roman_hastati.cas (new)",
        "  texture romans_julii         -> data/models_unit/textures/hastati_julii.tga.dds (new)",
        "  texture romans_brutii        -> data/models_unit/textures/hastati_brutii.tga.dds (new)",
        "  INFO card romans_julii       -> data/ui/unit_info/romans_julii/roman_hastati_info.tga (new)",
        "  #unit card romans_julii      -> data/ui/units/romans_julii/#roman_hastati.tga (new)",
        "  INFO card romans_brutii      -> data/ui/unit_info/romans_brutii/roman_hastati_info.tga (new)",
        "  #unit card romans_brutii     -> data/ui/units/romans_brutii/#roman_hastati.tga (new)",
        "  model type roman_hastati     -> data/descr_model_battle.txt (add)",
        "  unit type roman hastati      -> data/export_descr_unit.txt (add)",
        "  text {roman_hastati}         -> data/text/export_units.txt (add)",
        "  text {roman_hastati_descr}   -> data/text/export_units.txt (add)",
        "  record                       -> quorin/installed/roman_hastati.toml",
    };
    EXPECT_EQ(DescribeInstall(plan), expected);
}

TEST_F(InstallTest, PlanningAloneChangesNothing)
{
    TSnapshot before = Snapshot();
    PlanInstall(unit, Mod(), false);
    PlanInstall(unit, Mod(), true);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(InstallTest, AFileAlreadyThereWithTheSameBytesIsKeptAndLeftByUninstall)
{
    Put("data/ui/units/romans_julii/#roman_hastati.tga", unit.UiCardRows[0].UnitCard);
    TSnapshot before = Snapshot();
    auto plan = Install();
    EXPECT_TRUE(plan.Conflicts.empty());
    Uninstall();
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(InstallTest, PathsWithBackslashesAreTheModsOwn)
{
    ReplaceLine(unit.ModelBattleLines, "model_flexi", "model_flexi data\\models_unit\\roman_hastati.cas, max");
    ReplaceLine(unit.ModelBattleLines, "texture             romans_julii",
                "texture romans_julii, data\\models_unit\\textures\\hastati_julii.tga");
    TSnapshot before = Snapshot();
    Install();
    EXPECT_EQ(Get("data/models_unit/roman_hastati.cas"), Text(unit.Model));
    EXPECT_EQ(Get("data/models_unit/textures/hastati_julii.tga.dds"), Text(unit.TextureRows[0].Texture));
    Uninstall();
    EXPECT_EQ(Snapshot(), before);
}

// ---- conflicts ---------------------------------------------------------------

struct TConflictCase {
    const char* Name;
    void (*Setup)(test::TModFolder&);
    std::vector<std::string> Conflicts;
};

const TConflictCase ConflictCases[] = {
    {"a card with other bytes",
     [](test::TModFolder& mod) { mod.Put("data/ui/units/romans_julii/#roman_hastati.tga", "someone else's card"); },
     {"data/ui/units/romans_julii/#roman_hastati.tga exists with other bytes"}},
    {"a model type", [](test::TModFolder& mod) { ReplaceLine(mod.unit.ModelBattleLines, "type", "type  GREEK_hoplite"); },
     {"data/descr_model_battle.txt already defines model type greek_hoplite"}},
    {"a unit type", [](test::TModFolder& mod) { ReplaceLine(mod.unit.UnitDescrLines, "type", "type greek   hoplite"); },
     {"data/export_descr_unit.txt already defines unit type greek hoplite"}},
    {"a text key", [](test::TModFolder& mod) { mod.unit.UnitTextLines.push_back("{barb_peasant}Another peasant"); },
     {"data/text/export_units.txt already defines text {barb_peasant}"}},
};

class ConflictTest : public ModTest {};

TEST_F(ConflictTest, EachConflictIsNamedAndNothingChanges)
{
    for (const auto& c : ConflictCases) {
        test::TModFolder mod;
        c.Setup(mod);
        TSnapshot before = mod.Snapshot();
        auto plan = PlanInstall(mod.unit, mod.Mod(), false);
        EXPECT_EQ(plan.Conflicts, c.Conflicts) << c.Name;
        EXPECT_EQ(FailureOf([&] { CommitInstall(plan); }), "Cannot install roman_hastati: " + c.Conflicts.front())
            << c.Name;
        EXPECT_EQ(mod.Snapshot(), before) << c.Name;
    }
}

TEST_F(ConflictTest, EveryConflictIsListedAtOnce)
{
    std::vector<std::string> all;
    for (const auto& c : ConflictCases) {
        c.Setup(*this);
        all.insert(all.end(), c.Conflicts.begin(), c.Conflicts.end());
    }
    EXPECT_EQ(PlanInstall(unit, Mod(), false).Conflicts, all);
}

TEST_F(ConflictTest, ReplaceSwapsFilesAndEntriesInPlaceAndUninstallPutsThemBack)
{
    for (const auto& c : ConflictCases)
        c.Setup(*this);
    TSnapshot before = Snapshot();
    auto plan = Install(true);
    EXPECT_EQ(plan.Conflicts.size(), 4u);
    EXPECT_EQ(Get("data/ui/units/romans_julii/#roman_hastati.tga"), Text(unit.UiCardRows[0].UnitCard));
    auto joined = [](const std::vector<std::string>& lines, const std::string& end) {
        std::string text;
        for (const auto& line : lines)
            text += line + end;
        return text;
    };
    // Each replaced entry keeps its place, and the comment right above it goes with it.
    EXPECT_EQ(Get("data/descr_model_battle.txt"),
              test::ModelBattleText.substr(0, test::ModelBattleText.find("type\t\t\t\tgreek_hoplite")) +
                  joined(unit.ModelBattleLines, "\r\n"));
    EXPECT_EQ(Get("data/export_descr_unit.txt"),
              test::UnitDescrText.substr(0, test::UnitDescrText.find("type             greek hoplite")) +
                  joined(unit.UnitDescrLines, "\n"));
    EXPECT_EQ(Get("data/text/export_units.txt"),
              test::Utf16(u"{barb_peasant}Another peasant\r\n" +
                          test::UnitTextText.substr(test::UnitTextText.find(u"{barb_peasant_descr}")) +
                          u"\r\n\r\n{roman_hastati}Hastati\r\n"
                          u"{roman_hastati_descr}Young Roman citizens who form the front line of the legion.\r\n"));
    Uninstall();
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(InstallTest, AUnitInstalledExactlySoNeedsNothingAndOtherwiseIsRefusedEvenWithReplace)
{
    Install();
    TSnapshot installed = Snapshot();
    for (bool replace : {false, true}) {
        TInstallPlan again = PlanInstall(unit, Mod(), replace);
        EXPECT_TRUE(again.AlreadyInstalled);
        EXPECT_TRUE(again.Conflicts.empty());
    }
    EXPECT_EQ(Snapshot(), installed);

    Put("data/ui/units/romans_julii/#roman_hastati.tga", "edited by hand");
    TSnapshot edited = Snapshot();
    std::string expected = "roman_hastati is already installed in " + Mod() +
                           " (quorin/installed/roman_hastati.toml); uninstall it first";
    EXPECT_EQ(FailureOf([&] { PlanInstall(unit, Mod(), false); }), expected);
    EXPECT_EQ(FailureOf([&] { PlanInstall(unit, Mod(), true); }), expected);
    EXPECT_EQ(Snapshot(), edited);
}

TEST_F(InstallTest, AnEntryThereWithTheSameLinesIsNoConflictAndStaysAfterUninstall)
{
    // Another unit of the same model put the model's block there already.
    std::string block;
    for (const auto& line : unit.ModelBattleLines)
        block += line + "\r\n";
    Put("data/descr_model_battle.txt", Get("data/descr_model_battle.txt") + "\r\n" + block);
    TSnapshot before = Snapshot();
    auto plan = PlanInstall(unit, Mod(), false);
    EXPECT_TRUE(plan.Conflicts.empty());
    EXPECT_FALSE(plan.AlreadyInstalled);
    EXPECT_TRUE(plan.Edits[0].empty());
    CommitInstall(plan);
    EXPECT_EQ(Get("data/descr_model_battle.txt"), before.at("data/descr_model_battle.txt"));
    Uninstall();
    EXPECT_EQ(Snapshot(), before);
}

// ---- refusals ----------------------------------------------------------------

TEST_F(InstallTest, AModThatCannotTakeTheUnitIsRefusedByName)
{
    struct TCase {
        const char* Name;
        std::function<void(test::TModFolder&)> Change;
        std::string Message; // "MOD" stands for the mod's folder
    };
    const TCase cases[] = {
        {"no data folder", [](test::TModFolder& t) { fs::rename(t.At("data"), t.At("Data2")); },
         "MOD holds no data folder: give the mod's root folder, the one with data/ in it"},
        {"no descr_model_battle.txt", [](test::TModFolder& t) { fs::remove(t.At("data/descr_model_battle.txt")); },
         "data/descr_model_battle.txt is missing from MOD"},
        {"no export_descr_unit.txt", [](test::TModFolder& t) { fs::remove(t.At("data/export_descr_unit.txt")); },
         "data/export_descr_unit.txt is missing from MOD"},
        {"no export_units.txt", [](test::TModFolder& t) { fs::remove(t.At("data/text/export_units.txt")); },
         "data/text/export_units.txt is missing from MOD"},
        {"export_units.txt in 8 bits", [](test::TModFolder& t) { t.Put("data/text/export_units.txt", "{a}b\r\n"); },
         "data/text/export_units.txt is not UTF-16LE text with a byte-order mark"},
        {"descr_model_battle.txt in UTF-16", [](test::TModFolder& t) { t.Put("data/descr_model_battle.txt", test::Utf16(u"type a")); },
         "data/descr_model_battle.txt is not 8-bit text (it looks like UTF-16)"},
        {"a texture path climbing out",
         [](test::TModFolder& t) { ReplaceLine(t.unit.ModelBattleLines, "texture             romans_julii",
                                          "texture romans_julii, data/../../outside.tga"); },
         "Cannot work out where the unit goes:\n  The texture path \"data/../../outside.tga\" of romans_julii does "
         "not lie inside the mod's data folder"},
        {"an absolute model path", [](test::TModFolder& t) { ReplaceLine(t.unit.ModelBattleLines, "model_flexi", "model_flexi /tmp/x.cas, max"); },
         "Cannot work out where the unit goes:\n  The model path \"/tmp/x.cas\" does not lie inside the mod's data folder"},
        {"a faction climbing out", [](test::TModFolder& t) { t.unit.UiCardRows[0].Faction = "../../x"; },
         "Cannot work out where the unit goes:\n  The card row's faction \"../../x\" is not a plain name"},
        {"a stray line in the unit text", [](test::TModFolder& t) { t.unit.UnitTextLines.insert(t.unit.UnitTextLines.begin(), "Hastati"); },
         "The unit's lines for data/text/export_units.txt start with a line outside any entry: \"Hastati\""},
    };
    for (const auto& c : cases) {
        test::TModFolder fresh;
        c.Change(fresh);
        TSnapshot before = fresh.Snapshot();
        std::string message = c.Message;
        if (auto at = message.find("MOD"); at != std::string::npos)
            message.replace(at, 3, fresh.Mod());
        EXPECT_EQ(FailureOf([&] { fresh.Install(); }), message) << c.Name;
        EXPECT_EQ(FailureOf([&] { fresh.Install(true); }), message) << c.Name;
        EXPECT_EQ(fresh.Snapshot(), before) << c.Name;
    }
}

} // namespace
} // namespace quorin
