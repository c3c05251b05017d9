// A change of a mod stopped before each of its file operations, as a kill
// would stop it (no clean-up code runs), then recovered and run again.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>

#include "base/FileSystem.h"
#include "install/ChangeJournal.h"
#include "install/Install.h"
#include "tests/install/ModFixture.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;
using test::FailureOf;
using test::ReplaceLine;
using test::TModFolder;
using test::ExpectEveryFileWhole;
using test::TSnapshot;

// A kill loses nothing the system holds: pushing to the disk only slows the many runs.
class JournalTest : public ::testing::Test {
protected:
    void SetUp() override { SetPushToDevice(false); }
    void TearDown() override { SetPushToDevice(true); }
};

// Thrown by a hook where a kill would stop the process: it is no
// std::exception, so no roll-back code of the change catches it.
struct TSimulatedKill {
    std::string At;
};

struct TKillAt {
    int Operation;
    std::shared_ptr<int> Seen = std::make_shared<int>(0);

    void operator()(std::string_view operation) const
    {
        if ((*Seen)++ == Operation)
            throw TSimulatedKill{std::string(operation)};
    }
};

struct TChangeCase {
    const char* Name;
    std::function<void(TModFolder&)> Setup; // brings the mod to where the change starts
    std::function<void(TModFolder&, const TTransactionHooks&)> Run;
    // Whether the change is done, so that running it again would be refused.
    std::function<bool(TModFolder&)> Done;
};

bool Installed(TModFolder& mod) { return fs::exists(mod.At(RecordPath("roman_hastati"))); }

const TChangeCase ChangeCases[] = {
    {"install", [](TModFolder&) {}, [](TModFolder& mod, const TTransactionHooks& hooks) { mod.Install(false, hooks); },
     Installed},
    {"install replacing a card and an entry",
     [](TModFolder& mod) {
         mod.Put("data/ui/units/romans_julii/#roman_hastati.tga", "someone else's card");
         ReplaceLine(mod.unit.UnitDescrLines, "type", "type greek hoplite");
     },
     [](TModFolder& mod, const TTransactionHooks& hooks) { mod.Install(true, hooks); }, Installed},
    {"uninstall", [](TModFolder& mod) { mod.Install(); },
     [](TModFolder& mod, const TTransactionHooks& hooks) { mod.Uninstall("roman_hastati", false, hooks); },
     [](TModFolder& mod) { return !Installed(mod); }},
};

// The mod before and after the change, made without interruption.
std::pair<TSnapshot, TSnapshot> Ends(const TChangeCase& c, int& operations)
{
    TModFolder mod;
    c.Setup(mod);
    TSnapshot before = mod.Snapshot();
    operations = 0;
    TTransactionHooks counting;
    counting.BeforeOperation = [&](std::string_view) { ++operations; };
    c.Run(mod, counting);
    return {before, mod.Snapshot()};
}

TEST_F(JournalTest, AKillBeforeAnyOperationLeavesEveryFileWholeAndARunAgainEndsExactly)
{
    for (const auto& c : ChangeCases) {
        int operations = 0;
        auto [before, after] = Ends(c, operations);
        ASSERT_GT(operations, 20) << c.Name;
        for (int stop = 0; stop < operations; ++stop) {
            TModFolder mod;
            c.Setup(mod);
            TTransactionHooks hooks;
            hooks.BeforeOperation = TKillAt{stop};
            std::string at;
            try {
                c.Run(mod, hooks);
            } catch (const TSimulatedKill& kill) {
                at = kill.At;
            }
            std::string label = std::string(c.Name) + ", stopped before \"" + at + "\"";
            ASSERT_FALSE(at.empty()) << c.Name << " ran to its end at stop " << stop;
            ExpectEveryFileWhole(mod.Snapshot(), before, after, label);

            TRecovery recovery = RecoverChange(mod.Mod());
            TSnapshot recovered = mod.Snapshot();
            using enum TRecovery::TOutcome;
            if (recovery.Outcome == Nothing || recovery.Outcome == Tidied)
                EXPECT_TRUE(recovered == before || recovered == after) << label;
            else
                EXPECT_EQ(recovered, recovery.Outcome == Finished ? after : before) << label;
            EXPECT_FALSE(fs::exists(mod.At("quorin/change"))) << label;
            if (!c.Done(mod))
                c.Run(mod, {});
            EXPECT_EQ(mod.Snapshot(), after) << label;
        }
    }
}

TEST_F(JournalTest, ARequestToStopRollsBackAtEveryStep)
{
    for (const auto& c : ChangeCases) {
        for (int stop = 0;; ++stop) {
            TModFolder mod;
            c.Setup(mod);
            TSnapshot before = mod.Snapshot();
            int asked = 0;
            TTransactionHooks hooks;
            hooks.Cancelled = [&] { return asked++ == stop; };
            std::string message = FailureOf([&] { c.Run(mod, hooks); });
            if (message == "(no failure)")
                break; // asked after the last step: the change was done
            EXPECT_EQ(message, "Interrupted") << c.Name << " at " << stop;
            EXPECT_EQ(mod.Snapshot(), before) << c.Name << " at " << stop;
        }
    }
}

TEST_F(JournalTest, AKillDuringARollBackIsRolledBackByTheRecovery)
{
    for (const auto& c : ChangeCases) {
        int operations = 0;
        auto [before, after] = Ends(c, operations);
        // Stopped after its last step, when every file is new: the roll-back
        // has the most to undo, and a recovery must not finish the change.
        int steps = 0;
        {
            TModFolder mod;
            c.Setup(mod);
            TTransactionHooks counting;
            counting.Cancelled = [&] { ++steps; return false; };
            c.Run(mod, counting);
        }
        int rollBackOperations = 0;
        for (int stop = 0;; ++stop) {
            TModFolder mod;
            c.Setup(mod);
            int asked = 0, seen = 0;
            bool rollingBack = false;
            TTransactionHooks hooks;
            hooks.Cancelled = [&] { return rollingBack = ++asked == steps; };
            hooks.BeforeOperation = [&](std::string_view operation) {
                if (rollingBack && seen++ == stop)
                    throw TSimulatedKill{std::string(operation)};
            };
            std::string at;
            try {
                c.Run(mod, hooks);
            } catch (const TSimulatedKill& kill) {
                at = kill.At;
            } catch (const EChangeInterrupted&) {
                rollBackOperations = seen;
                break;
            }
            std::string label = std::string(c.Name) + ", roll-back stopped before \"" + at + "\"";
            ExpectEveryFileWhole(mod.Snapshot(), before, after, label);
            TRecovery recovery = RecoverChange(mod.Mod());
            // Killed before the roll-back was marked, every file new: finishing is as sound.
            bool marked = at != "mark the roll-back";
            EXPECT_EQ(recovery.Outcome == TRecovery::TOutcome::Finished, !marked) << label;
            EXPECT_EQ(mod.Snapshot(), marked ? before : after) << label;
        }
        EXPECT_GT(rollBackOperations, 10) << c.Name;
    }
}

TEST_F(JournalTest, TheJournalIsWrittenBeforeTheFirstFileChangesAndGoesLast)
{
    TModFolder mod;
    std::string oldModels = DigestOfFile(mod.At("data/descr_model_battle.txt").string());
    std::vector<std::string> operations;
    std::optional<TJournal> journal;
    TTransactionHooks hooks;
    hooks.BeforeOperation = [&](std::string_view operation) {
        operations.emplace_back(operation);
        if (operation.starts_with("replace ") && !journal)
            journal = ParseJournal(mod.Get(std::string(JournalPath)));
    };
    mod.Install(false, hooks);
    ASSERT_TRUE(journal);
    EXPECT_EQ(journal->Change, "install of roman_hastati");
    EXPECT_EQ(journal->Steps.size(), 11u);
    const TJournalStep* models = nullptr;
    for (const auto& step : journal->Steps)
        if (step.Path == "data/descr_model_battle.txt")
            models = &step;
    ASSERT_NE(models, nullptr);
    EXPECT_EQ(models->OldDigest, oldModels);
    EXPECT_TRUE(models->Old.starts_with("quorin/change/old-")) << models->Old;
    EXPECT_EQ(models->NewDigest, DigestOfFile(mod.At("data/descr_model_battle.txt").string()));

    auto first = [&](std::string_view prefix) {
        return std::find_if(operations.begin(), operations.end(),
                            [&](const std::string& o) { return o.starts_with(prefix); }) - operations.begin();
    };
    EXPECT_LT(first("write the journal"), first("write quorin/change/new-"));
    EXPECT_LT(first("write the journal"), first("make folder data/"));
    EXPECT_EQ(operations.end()[-2], "remove folder quorin/change");
    EXPECT_EQ(operations.end()[-1], "remove the journal");
}

TEST_F(JournalTest, ARecoveryLeavesAFileChangedByHandAsItFindsIt)
{
    TModFolder mod;
    TSnapshot before = mod.Snapshot();
    TTransactionHooks hooks;
    hooks.BeforeOperation = [](std::string_view operation) {
        if (operation == "replace data/text/export_units.txt")
            throw TSimulatedKill{};
    };
    // Killed with the other two data files new, then one of them edited before the next run.
    EXPECT_THROW(mod.Install(false, hooks), TSimulatedKill);
    mod.Put("data/export_descr_unit.txt", "edited by hand");
    TRecovery recovery = RecoverChange(mod.Mod());
    EXPECT_EQ(recovery.LeftAlone, std::vector<std::string>{"data/export_descr_unit.txt"});
    EXPECT_EQ(DescribeRecovery(recovery),
              "Recovered the interrupted install of roman_hastati: rolled it back, every file is as it was before "
              "it; left as found, changed by hand since: data/export_descr_unit.txt.");
    TSnapshot after = mod.Snapshot();
    EXPECT_EQ(after["data/export_descr_unit.txt"], "edited by hand");
    after["data/export_descr_unit.txt"] = before["data/export_descr_unit.txt"];
    EXPECT_EQ(after, before);
}

TEST_F(JournalTest, AChangeIsRefusedWhileAnotherIsUnfinishedAndADamagedJournalIsNamed)
{
    TModFolder mod;
    mod.Put("quorin/journal.toml", "change = [");
    TSnapshot before = mod.Snapshot();
    EXPECT_EQ(FailureOf([&] { mod.Install(); }),
              mod.Mod() + " holds an unfinished change (quorin/journal.toml); it must be finished or rolled back first");
    EXPECT_TRUE(FailureOf([&] { RecoverChange(mod.Mod()); })
                    .starts_with("quorin/journal.toml cannot be used: "));
    EXPECT_EQ(mod.Snapshot(), before);
}

} // namespace
} // namespace quorin
