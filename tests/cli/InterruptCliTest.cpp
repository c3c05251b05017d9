// quorin install and uninstall killed at many points in a process of their
// own, then run again; and two installs into one mod at once.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/QuorinRun.h"
#include "tests/install/ModFixture.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::TModFolder;
using test::TSnapshot;

const std::string Example = std::string(QUORIN_EXAMPLES) + "/hastati/unit.toml";

// Sets an environment variable that the programs started meanwhile inherit.
class TEnvironment {
public:
    TEnvironment(const char* name, const std::string& value) : name_(name)
    {
#ifdef _WIN32
        _putenv_s(name, value.c_str());
#else
        setenv(name, value.c_str(), 1);
#endif
    }
    ~TEnvironment()
    {
#ifdef _WIN32
        _putenv_s(name_, "");
#else
        unsetenv(name_);
#endif
    }

private:
    const char* name_;
};

// A child that stopped itself as SIGKILL does: the shell reports the signal
// or exits with 128 + 9, Windows with the code it chose.
bool Killed(const test::TQuorinRun& run) { return run.code == -1 || run.code == 137; }

struct TCommandCase {
    const char* Name;
    std::vector<std::string> Setup; // run first, uninterrupted; empty for none
    std::vector<std::string> Command;
    std::string Done; // the output line of a command that ended well
};

TEST(InterruptCliTest, AKillAtAnyFileOperationLeavesEveryFileWholeAndTheSameCommandEndsExactly)
{
    TempDir scratch;
    const TCommandCase cases[] = {
        {"install", {}, {"install", Example, "--mod", "MOD"}, "Installed roman_hastati"},
        {"uninstall", {"install", Example, "--mod", "MOD"}, {"uninstall", "roman_hastati", "--mod", "MOD"},
         "Uninstalled roman_hastati"},
    };
    for (const auto& c : cases) {
        auto args = [](std::vector<std::string> list, const TModFolder& mod) {
            for (auto& arg : list)
                if (arg == "MOD")
                    arg = mod.Mod();
            return list;
        };
        TSnapshot before, after;
        {
            TModFolder mod;
            if (!c.Setup.empty()) {
                ASSERT_EQ(test::RunQuorin(args(c.Setup, mod), scratch).code, 0);
            }
            before = mod.Snapshot();
            ASSERT_EQ(test::RunQuorin(args(c.Command, mod), scratch).code, 0);
            after = mod.Snapshot();
        }
        int killPoints = 0;
        for (int at = 1;; ++at) {
            TModFolder mod;
            if (!c.Setup.empty()) {
                ASSERT_EQ(test::RunQuorin(args(c.Setup, mod), scratch).code, 0);
            }
            test::TQuorinRun killed;
            {
                TEnvironment kill("QUORIN_TEST_KILL_AT", std::to_string(at));
                killed = test::RunQuorin(args(c.Command, mod), scratch);
            }
            if (killed.code == 0)
                break; // the command has fewer operations than at
            std::string label = std::string(c.Name) + " killed before operation " + std::to_string(at);
            ASSERT_TRUE(Killed(killed)) << label << ": " << killed.code << " " << killed.err;
            ++killPoints;
            test::ExpectEveryFileWhole(mod.Snapshot(), before, after, label);

            test::TQuorinRun again = test::RunQuorin(args(c.Command, mod), scratch);
            EXPECT_EQ(again.code, 0) << label << ": " << again.err;
            EXPECT_NE(again.out.find(c.Done), std::string::npos) << label << ": " << again.out;
            EXPECT_EQ(mod.Snapshot(), after) << label;
        }
        EXPECT_GT(killPoints, 30) << c.Name;
    }
}

// The shell reports a command ended by SIGINT or SIGTERM as the signal or as 128 + its number.
bool EndedBy(const test::TQuorinRun& run, int signal) { return run.code == -1 || run.code == 128 + signal; }

TEST(InterruptCliTest, CtrlCOrSigtermAtAnyStepRollsBackWithAMessage)
{
#ifdef _WIN32
    GTEST_SKIP() << "SIGTERM and a raised SIGINT do not reach a Windows program as they do here";
#else
    TempDir scratch;
    TSnapshot installed;
    {
        TModFolder mod;
        ASSERT_EQ(test::RunQuorin({"install", Example, "--mod", mod.Mod()}, scratch).code, 0);
        installed = mod.Snapshot();
    }
    // SIGINT before every operation, and SIGTERM before one amid the replacements.
    int rolledBack = 0;
    for (int at = 1;; ++at) {
        for (const char* signal : {"INT", "TERM"}) {
            if (std::string(signal) == "TERM" && at != 20)
                continue;
            TModFolder mod;
            TSnapshot before = mod.Snapshot();
            test::TQuorinRun run;
            {
                TEnvironment point("QUORIN_TEST_KILL_AT", std::to_string(at));
                TEnvironment with("QUORIN_TEST_KILL_WITH", signal);
                run = test::RunQuorin({"install", Example, "--mod", mod.Mod()}, scratch);
            }
            std::string label = std::string("SIG") + signal + " before operation " + std::to_string(at);
            if (run.code == 0) {
                // Once every file is new and the kept old ones go, the change is finished.
                EXPECT_EQ(mod.Snapshot(), installed) << label;
                continue;
            }
            ++rolledBack;
            EXPECT_TRUE(EndedBy(run, std::string(signal) == "INT" ? 2 : 15)) << label << ": " << run.code << run.err;
            EXPECT_NE(run.err.find("Interrupted: the install of roman_hastati was rolled back; every file of the mod "
                                   "is as it was.\n"),
                      std::string::npos)
                << label << ": " << run.err;
            EXPECT_EQ(mod.Snapshot(), before) << label;
        }
        if (at > 60)
            break;
    }
    EXPECT_GT(rolledBack, 20);
#endif
}

TEST(InterruptCliTest, TwoInstallsIntoOneModAtOnceNeverInterleave)
{
#ifdef _WIN32
    GTEST_SKIP() << "started from two threads, each child would inherit the other's open output files";
#endif
    for (int round = 0; round < 3; ++round) {
        TModFolder mod, alone;
        TempDir scratch[2];
        ASSERT_EQ(test::RunQuorin({"install", Example, "--mod", alone.Mod()}, scratch[0]).code, 0);
        test::TQuorinRun runs[2];
        std::thread second([&] { runs[1] = test::RunQuorin({"install", Example, "--mod", mod.Mod()}, scratch[1]); });
        runs[0] = test::RunQuorin({"install", Example, "--mod", mod.Mod()}, scratch[0]);
        second.join();
        // One installs; the other, waiting for it, then finds the unit there.
        int installed = 0, found = 0;
        for (const auto& run : runs) {
            EXPECT_EQ(run.code, 0) << run.err;
            installed += run.out.find("Installed roman_hastati") != std::string::npos;
            found += run.out.find("roman_hastati is already installed in " + mod.Mod() +
                                  " as this unit has it: nothing was changed.") != std::string::npos;
        }
        EXPECT_EQ(installed, 1) << runs[0].out << runs[1].out;
        EXPECT_EQ(found, 1) << runs[0].out << runs[1].out;
        EXPECT_EQ(mod.Snapshot(), alone.Snapshot()) << "round " << round;
    }
}

TEST(InterruptCliTest, RecoverOnlyFinishesOrRollsBackAndSaysWhat)
{
    TempDir scratch;
    TModFolder mod;
    TSnapshot before = mod.Snapshot();
    test::TQuorinRun none = test::RunQuorin({"install", "--recover-only", "--mod", mod.Mod()}, scratch);
    EXPECT_EQ(none.code, 0);
    EXPECT_EQ(none.out, "No interrupted change in " + mod.Mod() + ": nothing to do.\n");
    {
        TEnvironment kill("QUORIN_TEST_KILL_AT", "25");
        ASSERT_TRUE(Killed(test::RunQuorin({"install", Example, "--mod", mod.Mod()}, scratch)));
    }
    test::TQuorinRun dry = test::RunQuorin({"install", Example, "--mod", mod.Mod(), "--dry-run"}, scratch);
    EXPECT_EQ(dry.code, 1);
    EXPECT_EQ(dry.err, mod.Mod() + " holds an interrupted change (quorin/journal.toml); quorin install "
                                   "--recover-only --mod DIR finishes it or rolls it back.\nDry run: nothing was changed.\n");
    test::TQuorinRun recovered = test::RunQuorin({"install", "--recover-only", "--mod", mod.Mod()}, scratch);
    EXPECT_EQ(recovered.code, 0) << recovered.err;
    EXPECT_EQ(recovered.out, "Recovered the interrupted install of roman_hastati: rolled it back, every file is as "
                             "it was before it.\n");
    EXPECT_EQ(mod.Snapshot(), before);
}

} // namespace
} // namespace quorin
