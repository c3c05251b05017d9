#include <gtest/gtest.h>

#include <filesystem>

#include "base/Exception.h"
#include "base/SaveFile.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;

TEST(SaveFileTest, CommitReplacesTheTargetAndKeepsItsPermissions)
{
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
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder";
    test::TempDir dir;
    fs::create_directory(dir.Path() / "locked");
    fs::permissions(dir.Path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(TSaveFileStream(dir.File("locked/t")), EFCreateError);
}

} // namespace
} // namespace quorin
