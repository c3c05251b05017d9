// Many pictures at once: `quorin picture IN... -o DIR --to FORMAT`.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
extern char** environ;
#endif

#include "imaging/PngReader.h"
#include "imaging/PngWriter.h"
#include "imaging/TGAWriter.h"
#include "tests/cli/QuorinRun.h"
#include "tests/support/TestPictures.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;
using test::MakePicture;
using test::Painted;

class PictureBulkTest : public ::testing::Test {
protected:
    test::TempDir dir;

    test::TQuorinRun Quorin(const std::vector<std::string>& args) { return test::RunQuorin(args, dir); }

    // A folder of three good pictures of different formats and two bad ones.
    std::string MixedFolder()
    {
        const std::string in = dir.File("in");
        fs::create_directories(in);
        WritePng(*MakePicture(64, 32, true, Painted), in + "/alpha.png", true);
        WriteTGA(*MakePicture(40, 52, true, Painted), in + "/card.tga", false);
        WriteTGA(*MakePicture(33, 17, false, Painted), in + "/odd.tga", true);
        test::WriteFile(in + "/broken.tga", test::Bytes{0, 1, 2});
        test::WriteFile(in + "/empty.png", test::Bytes{});
        test::WriteFile(in + "/notes.txt", test::Bytes{'h', 'i'}); // not a picture: not taken
        return in;
    }

    static std::vector<std::string> Names(const std::string& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(PictureBulkTest, BadPicturesAreNamedTheOthersWrittenAndTheStatusSaysSo)
{
    const std::string in = MixedFolder(), out = dir.File("out");
    const auto run = Quorin({"picture", in, "-o", out, "--to", "png"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "3 pictures written to " + out + ", 2 failed\n");
    // A file found in a folder is named with the system's own separator.
    const auto found = [&in](const char* name) { return (fs::path(in) / name).string(); };
    EXPECT_NE(run.err.find(found("broken.tga") + ": ColorMapped TGA unsupported\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(found("empty.png") + ": "), std::string::npos) << run.err;
    EXPECT_EQ(Names(out), (std::vector<std::string>{"alpha.png", "card.png", "odd.png"}));
    for (const auto& name : Names(out)) {
        TBitmap back;
        EXPECT_NO_THROW(DecodePngFile(out + "/" + name, back)) << name;
    }

    // All good: status 0; --quiet says nothing at all.
    const auto good = Quorin({"picture", in + "/alpha.png", in + "/card.tga", "-o", out, "--to", "tga", "--quiet"});
    EXPECT_EQ(good.code, 0) << good.err;
    EXPECT_EQ(good.out, "");
    EXPECT_EQ(good.err, "");
    EXPECT_TRUE(fs::exists(out + "/card.tga"));
}

TEST_F(PictureBulkTest, OneThreadAndTwoWriteTheSameBytes)
{
    const std::string in = MixedFolder();
    for (const char* to : {"dds", "png"}) {
        SCOPED_TRACE(to);
        const std::string one = dir.File(std::string("one-") + to), two = dir.File(std::string("two-") + to);
        EXPECT_EQ(Quorin({"picture", in, "-o", one, "--to", to, "--jobs", "1"}).code, 1);
        EXPECT_EQ(Quorin({"picture", in, "-o", two, "--to", to, "--jobs", "2"}).code, 1);
        ASSERT_EQ(Names(one), Names(two));
        ASSERT_EQ(Names(one).size(), 3u);
        for (const auto& name : Names(one))
            EXPECT_EQ(test::ReadFile(one + "/" + name), test::ReadFile(two + "/" + name)) << name;
    }
}

TEST_F(PictureBulkTest, OptionsThatDoNotFitAreRefused)
{
    const std::string in = MixedFolder();
    struct TCase {
        std::vector<std::string> Args;
        std::string Message;
    };
    const TCase cases[] = {
        {{"picture", in, "-o", dir.File("out")}, "-o " + dir.File("out") + " needs --to png, tga or dds"},
        {{"picture", in + "/card.tga", dir.File("x.png"), "--to", "png"}, "--to, --jobs and --quiet apply to -o DIR only"},
        {{"picture", in + "/card.tga", in + "/odd.tga", dir.File("x.png")}, "quorin picture takes IN OUT, or IN... -o DIR --to png|tga|dds"},
        {{"picture", in, "-o", dir.File("out"), "--to", "png", "--rle"}, "--rle applies to .tga output only"},
    };
    for (const TCase& c : cases) {
        const auto run = Quorin(c.Args);
        EXPECT_EQ(run.code, 2) << c.Message;
        EXPECT_EQ(run.err, c.Message + "\nRun quorin picture --help for its options.\n");
    }
    EXPECT_FALSE(fs::exists(dir.File("out")));

    // Two inputs of one name would write one file: the second is refused.
    fs::create_directories(dir.File("other"));
    WritePng(*MakePicture(8, 8, false, Painted), dir.File("other/card.png"), false);
    const auto clash = Quorin({"picture", in + "/card.tga", dir.File("other/card.png"), "-o", dir.File("out"), "--to", "dds"});
    EXPECT_EQ(clash.code, 1);
    EXPECT_EQ(clash.err, dir.File("other/card.png") + ": not converted: " + dir.File("out/card.dds") +
                             " is the output of " + in + "/card.tga already\n");
}

#ifndef _WIN32
// Ctrl+C: the pictures finished stay, whole; the ones being written leave
// nothing; no new one starts, and the process ends by the signal.
TEST_F(PictureBulkTest, AnInterruptLeavesOnlyWholePictures)
{
    const std::string in = dir.File("many"), out = dir.File("out");
    fs::create_directories(in);
    const auto picture = MakePicture(512, 512, true, Painted);
    for (int i = 0; i < 60; ++i)
        WriteTGA(*picture, in + "/p" + std::to_string(100 + i) + ".tga", false);

    std::vector<std::string> args = {QUORIN_EXE, "picture", in, "-o", out, "--to", "png", "--jobs", "2"};
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, QUORIN_EXE, nullptr, nullptr, argv.data(), environ), 0);
    // Once the first picture is there, the rest are under way.
    for (int i = 0; i < 2000 && !(fs::exists(out) && !fs::is_empty(out)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGINT);
    for (const auto& name : Names(out)) {
        EXPECT_EQ(fs::path(name).extension(), ".png") << name;
        TBitmap back;
        ASSERT_NO_THROW(DecodePngFile(out + "/" + name, back)) << name;
        EXPECT_EQ(back.Width(), 512);
    }
}
#endif

} // namespace
} // namespace quorin
