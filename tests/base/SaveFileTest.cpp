#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/SaveFile.h"
#include "tests/support/HeldOpen.h"
#include "tests/support/TestSupport.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace quorin {
namespace {

namespace fs = std::filesystem;

TEST(SaveFileTest, CommitReplacesTheTargetAndKeepsItsPermissions)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows files have a read-only attribute, not POSIX permissions";
#endif
    test::TempDir dir;
    auto target = dir.File("t");
    test::WriteFile(target, std::string("old"));
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    {
        TSaveFileStream out(target);
        out.WriteBuffer("new content", 11);
        EXPECT_EQ(test::ReadFile(target), test::ToBytes("old"));
        out.Commit();
    }
    EXPECT_EQ(test::ReadFile(target), test::ToBytes("new content"));
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"t"});
}

TEST(SaveFileTest, AFileWhosePushIsLeftToTheCallerIsWholeAndPushedByPath)
{
    test::TempDir dir;
    std::vector<std::string> targets{dir.File("a"), dir.File("b")};
    for (const auto& target : targets) {
        TSaveFileStream out(target);
        out.LeavePushToDevice();
        out.WriteBuffer("content", 7);
        out.Commit();
    }
    for (const auto& target : targets) {
        EXPECT_TRUE(SyncFileAtPathToDevice(target));
        EXPECT_EQ(test::ReadFile(target), test::ToBytes("content"));
    }
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(SyncFileAtPathToDevice(dir.File("missing")));
    EXPECT_FALSE(fs::exists(dir.File("missing")));
}

TEST(SaveFileTest, AbandonedFilesLeaveNothingBehind)
{
    test::TempDir dir;
    {
        TSaveFileStream out(dir.File("t"));
        out.WriteBuffer("partial", 7);
    }
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(SaveFileTest, ANonWritableFolderCannotCreate)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows folders are locked by access lists, not POSIX permissions";
#else
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder";
#endif
    test::TempDir dir;
    fs::create_directory(dir.Path() / "locked");
    fs::permissions(dir.Path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(TSaveFileStream(dir.File("locked/t")), EFCreateError);
}

// What differs between the platforms, in one table that runs on each: the
// separators a path may use, names beyond ASCII, and a target that another
// program holds open (no obstacle on Linux; on Windows it cannot be replaced,
// which is found before anything is written).
struct TPlatformCase {
    const char* Name;
    std::string Folder; // below the test's folder, made first
    std::string Target; // the same, as the caller writes it
    bool HeldOpen = false;
    bool Replaced = true;
};

std::vector<TPlatformCase> PlatformCases()
{
#ifdef _WIN32
    const bool heldOpenIsReplaced = false;
#else
    const bool heldOpenIsReplaced = true;
#endif
    std::vector<TPlatformCase> cases = {
        {"forward slashes", "sub", "sub/t.quorin"},
        {"Cyrillic names", "Юниты", "Юниты/Гастаты.quorin"},
        {"a target held open", "", "t.quorin", true, heldOpenIsReplaced},
    };
#ifdef _WIN32
    cases.push_back({"backslashes", "sub", "sub\\t.quorin"});
    cases.push_back({"mixed separators and Cyrillic", "Юниты\\старые", "Юниты/старые\\t.quorin"});
#endif
    return cases;
}

TEST(SaveFileTest, PlatformPathsAndHeldFiles)
{
    for (const auto& c : PlatformCases()) {
        SCOPED_TRACE(c.Name);
        test::TempDir dir;
        if (!c.Folder.empty())
            fs::create_directories(test::Utf8Path(dir.File(c.Folder)));
        const std::string target = dir.File(c.Target);
        test::WriteFile(target, std::string("old"));
        ASSERT_EQ(test::ReadFile(target), test::ToBytes("old"));
        {
            std::optional<test::THeldOpen> holder;
            if (c.HeldOpen) {
                holder.emplace(target);
                ASSERT_TRUE(holder->IsOpen());
            }
            if (c.Replaced) {
                TSaveFileStream out(target);
                out.WriteBuffer("new", 3);
                out.Commit();
            } else {
                try {
                    TSaveFileStream out(target);
                    ADD_FAILURE() << "a held file was opened for replacing";
                } catch (const EFCreateError& e) {
                    EXPECT_EQ(e.Message(), "Cannot create file " + target);
                }
            }
        }
        EXPECT_EQ(test::ReadFile(target), test::ToBytes(c.Replaced ? "new" : "old"));
        const auto folder = test::Utf8Path(target).parent_path();
        EXPECT_EQ(test::EntriesOf(folder), std::vector<std::string>{test::Utf8Of(test::Utf8Path(target).filename())})
            << "a temporary was left behind";
    }
}

} // namespace
} // namespace quorin
