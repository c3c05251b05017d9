// How much memory a conversion of a large picture takes at its peak, in a
// process of its own as a user runs it: at most the picture's RGBA bytes
// times 1.3, and 32 MiB beside, whatever the formats.

#include <gtest/gtest.h>

#ifndef _WIN32

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdint>
#include <string>
#include <vector>

#include "QuorinRun.h"
#include "tests/support/Sanitizer.h"

extern char** environ;

namespace quorin::test {
namespace {

constexpr int Side = 3072;
constexpr std::int64_t RgbaBytes = std::int64_t{Side} * Side * 4;
constexpr std::int64_t Budget = RgbaBytes * 13 / 10 + (std::int64_t{32} << 20);

// The exit code and the most memory the process held at once, in bytes.
struct TPeak {
    int Code = -1;
    std::int64_t Bytes = 0;
};

TPeak RunMeasured(const std::vector<std::string>& args)
{
    std::vector<std::string> all = {QUORIN_EXE};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    TPeak peak;
    if (posix_spawn(&child, QUORIN_EXE, &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        if (wait4(child, &status, 0, &usage) == child && WIFEXITED(status)) {
            peak.Code = WEXITSTATUS(status);
            peak.Bytes = std::int64_t{usage.ru_maxrss} * 1024; // kilobytes on Linux
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    return peak;
}

// A photograph's worth of detail: every pixel differs and some are
// translucent, so no writer can take a shortcut.
Bytes LargeTga()
{
    Bytes file(18, 0);
    file[2] = 2;
    file[12] = Side & 0xFF;
    file[13] = Side >> 8;
    file[14] = Side & 0xFF;
    file[15] = Side >> 8;
    file[16] = 32;
    file[17] = 8;
    file.reserve(18 + static_cast<std::size_t>(RgbaBytes));
    std::uint32_t noise = 1;
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            noise = noise * 1664525u + 1013904223u;
            file.insert(file.end(), {static_cast<std::uint8_t>(x + (noise >> 29)), static_cast<std::uint8_t>(y),
                                     static_cast<std::uint8_t>(noise >> 24), static_cast<std::uint8_t>(x ^ y)});
        }
    return file;
}

class PictureMemoryTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (UnderSanitizer)
            GTEST_SKIP() << "peak memory means nothing under AddressSanitizer";
        dir_ = new TempDir;
        WriteFile(dir_->File("large.tga"), LargeTga());
        ASSERT_EQ(RunMeasured({"picture", dir_->File("large.tga"), dir_->File("large.png")}).Code, 0);
    }
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
    }
    static TempDir* dir_;
};

TempDir* PictureMemoryTest::dir_ = nullptr;

TEST_F(PictureMemoryTest, EveryConversionStaysWithinTheBudget)
{
    if (UnderSanitizer)
        GTEST_SKIP() << "peak memory means nothing under AddressSanitizer";
    struct TCase {
        const char* In;
        const char* Out;
        std::vector<std::string> Options;
    };
    const TCase cases[] = {
        {"large.tga", "out.png", {}},
        {"large.tga", "out.tga", {"--rle"}},
        {"large.tga", "out.dds", {"--quality", "fast"}},
        {"large.png", "out.dds", {"--quality", "fast"}},
        {"large.png", "out.tga", {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.In) + " to " + c.Out);
        std::vector<std::string> args = {"picture", dir_->File(c.In), dir_->File(c.Out)};
        args.insert(args.end(), c.Options.begin(), c.Options.end());
        const TPeak peak = RunMeasured(args);
        EXPECT_EQ(peak.Code, 0);
        EXPECT_GT(peak.Bytes, RgbaBytes) << "the picture itself is held once";
        EXPECT_LE(peak.Bytes, Budget) << (peak.Bytes >> 20) << " MiB of at most " << (Budget >> 20);
    }
}

} // namespace
} // namespace quorin::test

#endif
