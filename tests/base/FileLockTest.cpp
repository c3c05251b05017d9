#include <gtest/gtest.h>

#include <filesystem>

#include "base/FileLock.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

TEST(FileLockTest, OneHolderAtATimeAndTheFileGoesWithTheLock)
{
    test::TempDir dir;
    std::string path = dir.File("lock");
    {
        auto first = TFileLock::TryLock(path);
        ASSERT_TRUE(first);
        EXPECT_TRUE(std::filesystem::exists(test::Utf8Path(path)));
        EXPECT_FALSE(TFileLock::TryLock(path));
    }
    EXPECT_FALSE(std::filesystem::exists(test::Utf8Path(path)));
    EXPECT_TRUE(TFileLock::TryLock(path));
    EXPECT_THROW(TFileLock::TryLock(dir.File("missing/lock")), std::exception);
}

} // namespace
} // namespace quorin
