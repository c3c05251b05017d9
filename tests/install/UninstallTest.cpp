#include <gtest/gtest.h>

#include <filesystem>

#include "base/Exception.h"
#include "install/Install.h"
#include "tests/install/ModFixture.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;
using test::FailureOf;
using test::ModTest;
using test::ReplaceLine;
using test::TSnapshot;

class UninstallTest : public ModTest {};

TEST_F(UninstallTest, InstallThenUninstallLeavesEveryFileAndFolderAsItWas)
{
    TSnapshot before = Snapshot();
    Install();
    EXPECT_NE(Snapshot(), before);
    Uninstall();
    EXPECT_EQ(Snapshot(), before);
    EXPECT_FALSE(fs::exists(At("quorin")));
    EXPECT_FALSE(fs::exists(At("data/ui/unit_info/romans_brutii")));
}

TEST_F(UninstallTest, TwoUnitsComeOutInEitherOrder)
{
    TPackage principes = test::HastatiUnit();
    for (auto* lines : {&principes.ModelBattleLines, &principes.UnitDescrLines, &principes.UnitTextLines})
        for (auto& line : *lines)
            for (std::size_t at; (at = line.find("hastati")) != std::string::npos;)
                line.replace(at, 7, "principes");
    for (bool hastatiFirst : {true, false}) {
        test::TModFolder mod;
        TSnapshot before = mod.Snapshot();
        mod.Install();
        TSnapshot hastatiOnly = mod.Snapshot();
        CommitInstall(PlanInstall(principes, mod.Mod(), false));
        mod.Uninstall(hastatiFirst ? "roman_hastati" : "roman_principes");
        if (!hastatiFirst) {
            EXPECT_EQ(mod.Snapshot(), hastatiOnly);
        }
        mod.Uninstall(hastatiFirst ? "roman_principes" : "roman_hastati");
        EXPECT_EQ(mod.Snapshot(), before) << (hastatiFirst ? "hastati first" : "principes first");
    }
}

TEST_F(UninstallTest, TheEntriesOfOthersAddedMeanwhileStay)
{
    Install();
    std::string models = Get("data/descr_model_battle.txt") + "\r\ntype later_unit\r\nskeleton fs_dagger\r\n";
    Put("data/descr_model_battle.txt", models);
    Uninstall();
    EXPECT_EQ(Get("data/descr_model_battle.txt"), test::ModelBattleText + "\r\ntype later_unit\r\nskeleton fs_dagger\r\n");
}

TEST_F(UninstallTest, ChangesSinceTheInstallAreNamedAndRefused)
{
    struct TCase {
        const char* Name;
        void (*Edit)(test::TModFolder&);
        std::string Changed;
    };
    const TCase cases[] = {
        {"a card painted over", [](test::TModFolder& m) { m.Put("data/ui/units/romans_brutii/#roman_hastati.tga", "new"); },
         "data/ui/units/romans_brutii/#roman_hastati.tga was changed since it was installed"},
        {"the model deleted", [](test::TModFolder& m) { fs::remove(m.At("data/models_unit/roman_hastati.cas")); },
         "data/models_unit/roman_hastati.cas is missing"},
        {"the model entry edited",
         [](test::TModFolder& m) {
             std::string text = m.Get("data/descr_model_battle.txt");
             text.replace(text.find("indiv_range         40"), 22, "indiv_range         60");
             m.Put("data/descr_model_battle.txt", text);
         },
         "data/descr_model_battle.txt: the model type roman_hastati was changed since it was installed:\n"
         "      line 14, installed: indiv_range         40\n"
         "      line 14, now:       indiv_range         60"},
        {"a line added to the unit's text",
         [](test::TModFolder& m) {
             m.Put("data/text/export_units.txt", m.Get("data/text/export_units.txt") + std::string("m\0o\0r\0e\0", 8));
         },
         "data/text/export_units.txt: the text {roman_hastati_descr} was changed since it was installed:\n"
         "      line 10, now:       more"},
    };
    for (const auto& c : cases) {
        test::TModFolder mod;
        mod.Install();
        c.Edit(mod);
        TSnapshot edited = mod.Snapshot();
        auto plan = PlanUninstall(mod.Mod(), "roman_hastati", false);
        EXPECT_EQ(plan.Changed, std::vector<std::string>{c.Changed}) << c.Name;
        EXPECT_EQ(FailureOf([&] { CommitUninstall(plan); }), "Cannot uninstall roman_hastati: " + c.Changed) << c.Name;
        EXPECT_EQ(mod.Snapshot(), edited) << c.Name;

        mod.Uninstall("roman_hastati", true);
        EXPECT_FALSE(fs::exists(mod.At("quorin"))) << c.Name;
        EXPECT_FALSE(fs::exists(mod.At("data/models_unit/roman_hastati.cas"))) << c.Name;
        EXPECT_EQ(mod.Get("data/export_descr_unit.txt"), test::UnitDescrText) << c.Name;
    }
}

TEST_F(UninstallTest, AUnitNotInstalledOrABadRecordIsRefused)
{
    EXPECT_EQ(FailureOf([&] { PlanUninstall(Mod(), "roman_hastati", false); }),
              "roman_hastati is not installed in " + Mod() + ": there is no quorin/installed/roman_hastati.toml");
    EXPECT_EQ(FailureOf([&] { PlanUninstall(Mod(), "../x", true); }), "\"../x\" is not a unit's dictionary name");

    Install();
    std::string record = Get("quorin/installed/roman_hastati.toml");
    TSnapshot before = Snapshot();
    std::string hostile = record;
    hostile.replace(hostile.find("'data/models_unit/roman_hastati.cas'") + 1, 34, "data/../../../etc/passwd");
    Put("quorin/installed/roman_hastati.toml", hostile);
    EXPECT_EQ(FailureOf([&] { PlanUninstall(Mod(), "roman_hastati", true); }),
              "quorin/installed/roman_hastati.toml cannot be used: \"data/../../../etc/passwd\" does not lie inside "
              "the mod's data folder");
    Put("quorin/installed/roman_hastati.toml", "unit = [");
    EXPECT_NE(FailureOf([&] { PlanUninstall(Mod(), "roman_hastati", true); })
                  .find("quorin/installed/roman_hastati.toml cannot be used: "),
              std::string::npos);
    Put("quorin/installed/roman_hastati.toml", record);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(UninstallTest, FilesNamedLikeTheCopiesMovedAsideAreLeftAlone)
{
    Put("data/export_descr_unit.txt.quorin-undo", "someone's own file");
    Put("data/descr_model_battle.txt.quorin-undo-1", "another");
    TSnapshot before = Snapshot();
    Install();
    EXPECT_EQ(Get("data/export_descr_unit.txt.quorin-undo"), "someone's own file");
    Uninstall();
    EXPECT_EQ(Snapshot(), before);
}

// ---- failures part way -------------------------------------------------------

// A hook that fails the transaction when it reaches the step'th target.
struct TFailAt {
    int Step;
    std::shared_ptr<int> Seen = std::make_shared<int>(0);
    std::shared_ptr<std::string> FailedAt = std::make_shared<std::string>();

    void operator()(const std::string& relative) const
    {
        if ((*Seen)++ == Step) {
            *FailedAt = relative;
            throw EStreamError("Stream write error");
        }
    }
};

int StepsOf(const std::function<void(const TTransactionHooks&)>& run)
{
    int steps = 0;
    run({nullptr, [&](const std::string&) { ++steps; }});
    return steps;
}

TEST_F(UninstallTest, AFailureAtAnyReplacementOfTheInstallChangesNothing)
{
    int steps = StepsOf([](const TTransactionHooks& hooks) {
        test::TModFolder mod;
        mod.Install(false, hooks);
    });
    // The record, seven files and three data files.
    ASSERT_EQ(steps, 11);
    for (int step = 0; step < steps; ++step) {
        test::TModFolder mod;
        TSnapshot before = mod.Snapshot();
        TFailAt fail{step};
        std::string message = FailureOf([&] { mod.Install(false, {nullptr, fail}); });
        EXPECT_EQ(message, *fail.FailedAt + ": Stream write error") << step;
        EXPECT_EQ(mod.Snapshot(), before) << "failure at " << *fail.FailedAt;
    }
}

TEST_F(UninstallTest, AFailureAtAnyReplacementOfAReplacingInstallChangesNothing)
{
    auto setup = [](test::TModFolder& mod) {
        mod.Put("data/ui/units/romans_julii/#roman_hastati.tga", "someone else's card");
        ReplaceLine(mod.unit.UnitDescrLines, "type", "type greek hoplite");
    };
    int steps = StepsOf([&](const TTransactionHooks& hooks) {
        test::TModFolder mod;
        setup(mod);
        mod.Install(true, hooks);
    });
    ASSERT_EQ(steps, 13); // and the old card and the old entry saved beside the record
    for (int step = 0; step < steps; ++step) {
        test::TModFolder mod;
        setup(mod);
        TSnapshot before = mod.Snapshot();
        TFailAt fail{step};
        EXPECT_NE(FailureOf([&] { mod.Install(true, {nullptr, fail}); }), "(no failure)");
        EXPECT_EQ(mod.Snapshot(), before) << "failure at " << *fail.FailedAt;
    }
}

TEST_F(UninstallTest, AFailureAtAnyStepOfTheUninstallChangesNothing)
{
    int steps = StepsOf([](const TTransactionHooks& hooks) {
        test::TModFolder mod;
        mod.Install();
        mod.Uninstall("roman_hastati", false, hooks);
    });
    ASSERT_EQ(steps, 11);
    for (int step = 0; step < steps; ++step) {
        test::TModFolder mod;
        TSnapshot original = mod.Snapshot();
        mod.Install();
        TSnapshot installed = mod.Snapshot();
        TFailAt fail{step};
        EXPECT_NE(FailureOf([&] { mod.Uninstall("roman_hastati", false, {nullptr, fail}); }), "(no failure)");
        EXPECT_EQ(mod.Snapshot(), installed) << "failure at " << *fail.FailedAt;
        mod.Uninstall();
        EXPECT_EQ(mod.Snapshot(), original) << "failure at " << *fail.FailedAt;
    }
}

// A disk that fills up while the nth new file is written.
class TFullDiskFile : public TSaveFileStream {
public:
    using TSaveFileStream::TSaveFileStream;

protected:
    std::int64_t WriteToFile(const void* buffer, std::int64_t count) override
    {
        return TSaveFileStream::WriteToFile(buffer, count / 2);
    }
};

TEST_F(UninstallTest, AFullDiskWhileWritingAnyFileChangesNothing)
{
    for (int full = 0; full < 11; ++full) {
        test::TModFolder mod;
        TSnapshot before = mod.Snapshot();
        int made = 0;
        TTransactionHooks hooks{[&](std::string_view path) -> std::unique_ptr<TSaveFileStream> {
                                    if (made++ == full)
                                        return std::make_unique<TFullDiskFile>(path);
                                    return std::make_unique<TSaveFileStream>(path);
                                },
                                nullptr};
        std::string message = FailureOf([&] { mod.Install(false, hooks); });
        EXPECT_TRUE(message.ends_with(": Stream write error")) << message;
        EXPECT_EQ(mod.Snapshot(), before) << full;
    }
}

TEST_F(UninstallTest, AReadOnlyDataFileChangesNothing)
{
    fs::permissions(At("data/export_descr_unit.txt"), fs::perms::owner_read | fs::perms::group_read);
    TSnapshot before = Snapshot();
    std::string message = FailureOf([&] { Install(); });
    EXPECT_EQ(message, "data/export_descr_unit.txt: Cannot create file " + At("data/export_descr_unit.txt").string());
    EXPECT_EQ(Snapshot(), before);
}

} // namespace
} // namespace quorin
