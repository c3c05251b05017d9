#include <gtest/gtest.h>

#include <filesystem>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "base/Exception.h"
#include "package/Build.h"
#include "package/Filler.h"
#include "package/PackageReader.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

using test::Bytes;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// A package output that refuses every byte past a limit, as a full disk does.
class TRefusingSaveFile : public TSaveFileStream {
public:
    TRefusingSaveFile(std::string_view target, std::int64_t limit) : TSaveFileStream(target), left_(limit) {}

protected:
    std::int64_t WriteToFile(const void* buffer, std::int64_t count) override
    {
        std::int64_t accepted = std::min(count, left_);
        left_ -= accepted;
        return accepted > 0 ? TSaveFileStream::WriteToFile(buffer, accepted) : 0;
    }

private:
    std::int64_t left_;
};

class BuildTest : public ::testing::Test {
protected:
    void SetUp() override { FillerSeed = 0; }

    std::string Make(const std::string& name, const Bytes& bytes)
    {
        auto path = dir.File(name);
        WriteFile(path, bytes);
        return path;
    }

    TUnitSheet FullSheet()
    {
        TUnitSheet sheet;
        sheet.UnitName = "hastati";
        sheet.SourceMod = "Roma";
        sheet.UnitAuthor = "Автор";
        sheet.PackAuthor = "packer";
        sheet.UnitVersion = "1.0";
        sheet.Comment = "Коммент";
        sheet.GameVersion = 4;
        sheet.ModelName = "hastati_model";
        sheet.ModelFile = Make("model.cas", test::PatternBytes(5000, 3));
        sheet.TextureRows = {{"romans_julii", Make("t1.dds", test::PatternBytes(4096, 5))},
                             {"римляне", Make("t2.dds", test::PatternBytes(10, 9))}};
        sheet.Skeletons = "fs_swordsman, fs_spearman";
        sheet.CustomSkeletons = true;
        sheet.ModelBattleLines = {"type hastati", "", "skeleton fs_swordsman"};
        sheet.UnitDescrLines = {"unit hastati"};
        sheet.UnitTextLines = {};
        sheet.UiCardRows = {{"romans_julii", Make("info.tga", test::PatternBytes(200, 1)), Make("unit.tga", Bytes{})}};
        return sheet;
    }

    TempDir dir;
};

TEST_F(BuildTest, AFullSheetReadsBackFieldByField)
{
    TUnitSheet sheet = FullSheet();
    auto target = dir.File("hastati.quorin");
    EXPECT_EQ(BuildPackage(sheet, target), "Создание пака hastati.quorin завершено");

    TPackage package = ReadPackage(target);
    EXPECT_EQ(package.UnitNameOffset, 588);
    EXPECT_EQ(package.Header.Count, 212);
    EXPECT_EQ(package.UnitName, "hastati");
    EXPECT_EQ(package.SourceMod, "Roma");
    EXPECT_EQ(package.UnitAuthor, "Автор");
    EXPECT_EQ(package.PackAuthor, "packer");
    EXPECT_EQ(package.UnitVersion, "1.0");
    EXPECT_EQ(package.Comment, "Коммент");
    EXPECT_EQ(package.ReservedTexts, (std::array<std::string, 4>{"none", "none", "none", "none"}));
    EXPECT_EQ(package.GameVersion, 4);
    EXPECT_EQ(package.ReservedIntegers, (std::array<std::int32_t, 4>{0, 0, 0, 0}));
    ASSERT_EQ(package.UiCardRows.size(), 1u);
    EXPECT_EQ(package.UiCardRows[0].Faction, "romans_julii");
    EXPECT_EQ(package.UiCardRows[0].InfoCard, test::PatternBytes(200, 1));
    EXPECT_TRUE(package.UiCardRows[0].UnitCard.empty());
    EXPECT_EQ(package.Model, test::PatternBytes(5000, 3));
    ASSERT_EQ(package.TextureRows.size(), 2u);
    EXPECT_EQ(package.TextureRows[0].Faction, "romans_julii");
    EXPECT_EQ(package.TextureRows[0].Texture, test::PatternBytes(4096, 5));
    EXPECT_EQ(package.TextureRows[1].Faction, "римляне");
    EXPECT_EQ(package.TextureRows[1].Texture, test::PatternBytes(10, 9));
    EXPECT_EQ(package.ModelName, "hastati_model");
    EXPECT_EQ(package.Skeletons, "fs_swordsman, fs_spearman");
    EXPECT_TRUE(package.CustomSkeletons);
    EXPECT_EQ(package.ModelBattleLines, sheet.ModelBattleLines);
    EXPECT_EQ(package.UnitDescrLines, sheet.UnitDescrLines);
    EXPECT_TRUE(package.UnitTextLines.empty());
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"hastati.quorin", "info.tga", "model.cas", "t1.dds", "t2.dds",
                                                       "unit.tga"}));
}

TEST_F(BuildTest, ANewWindowWithOnlyAModelGivesTheMinimalLayout)
{
    TUnitSheet sheet;
    sheet.ModelFile = Make("m.cas", Bytes{0xAA, 0xBB});
    auto target = dir.File("p.quorin");
    BuildPackage(sheet, target);
    Bytes bytes = ReadFile(target);
    Bytes expected;
    for (int i = 0; i < 6; ++i)
        expected.insert(expected.end(), {0x06, 0x00});
    for (int i = 0; i < 4; ++i)
        expected.insert(expected.end(), {0x06, 0x04, 'n', 'o', 'n', 'e'});
    expected.insert(expected.end(), {0x02, 0x00});                         // game version
    expected.insert(expected.end(), {0x02, 0x00, 0x02, 0x00, 0x02, 0x00, 0x02, 0x00});
    expected.insert(expected.end(), {0x02, 0x00});                         // no card rows
    expected.insert(expected.end(), {0x02, 0x02, 0xAA, 0xBB});             // the model
    expected.insert(expected.end(), {0x02, 0x00});                         // no texture rows
    expected.insert(expected.end(), {0x06, 0x00, 0x06, 0x00, 0x08});       // names, flag
    expected.insert(expected.end(), {0x02, 0x00, 0x02, 0x00, 0x02, 0x00}); // no lines
    ASSERT_EQ(bytes.size(), 588 + expected.size());
    EXPECT_EQ(Bytes(bytes.begin() + 588, bytes.end()), expected);
}

TEST_F(BuildTest, EmbeddedFileSizes)
{
    TUnitSheet sheet;
    sheet.ModelFile = Make("m.cas", test::PatternBytes(200));
    sheet.TextureRows = {{"a", Make("empty.dds", Bytes{})}, {"b", sheet.ModelFile}};
    BuildPackage(sheet, dir.File("p.quorin"));
    TPackage package = ReadPackage(dir.File("p.quorin"));
    EXPECT_EQ(package.Model.size(), 200u);
    EXPECT_TRUE(package.TextureRows[0].Texture.empty());
    EXPECT_EQ(package.TextureRows[1].Texture, package.Model); // the same file twice, in full
    Bytes bytes = ReadFile(dir.File("p.quorin"));
    Bytes sizeBytes{0x03, 0xC8, 0x00};
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), sizeBytes.begin(), sizeBytes.end()), bytes.end());
}

TEST_F(BuildTest, CompletionTextNamesTheFileNamePart)
{
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\mods\\hastati.quorin", "hastati.quorin"},
        {"D:hastati.quorin", "hastati.quorin"},
        {"/mods/hastati.quorin", "hastati.quorin"},
        {"hastati", "hastati"},
    };
    for (const auto& [path, name] : cases)
        EXPECT_EQ(CompletionText(path), std::string("Создание пака ") + name + " завершено");
}

struct FailureCase {
    const char* name;
    std::function<void(TUnitSheet&, TempDir&)> change;
    std::string message;
    bool drawsHeader;
};

TEST_F(BuildTest, FailuresGiveTheirMessageAndLeaveTheTargetAlone)
{
    const FailureCase cases[] = {
        {"no model file", [](TUnitSheet& s, TempDir&) { s.ModelFile.clear(); }, "Cannot open file ", true},
        {"missing model", [](TUnitSheet& s, TempDir& d) { s.ModelFile = d.File("gone.cas"); },
         "Cannot open file " + dir.File("gone.cas"), true},
        {"model is a folder", [](TUnitSheet& s, TempDir& d) { s.ModelFile = d.Path().string(); },
         "Cannot open file " + dir.Path().string(), true},
        {"missing texture", [](TUnitSheet& s, TempDir& d) { s.TextureRows[1].TextureFile = d.File("x.dds"); },
         "Cannot open file " + dir.File("x.dds"), true},
        {"missing info card", [](TUnitSheet& s, TempDir&) { s.UiCardRows[0].InfoCardFile = ""; }, "Cannot open file ",
         true},
        {"row without #unit card", [](TUnitSheet& s, TempDir&) { s.UiCardRows[0].UnitCardFile.reset(); },
         "List index out of bounds (1)", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto target = dir.File("old.quorin");
        WriteFile(target, std::string("previous package"));
        TUnitSheet sheet = FullSheet();
        c.change(sheet, dir);
        std::uint32_t seedBefore = FillerSeed;
        try {
            BuildPackage(sheet, target);
            ADD_FAILURE() << "the build succeeded";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_EQ(FillerSeed != seedBefore, c.drawsHeader);
        EXPECT_EQ(ReadFile(target), test::ToBytes("previous package"));
        for (const auto& name : dir.Entries())
            EXPECT_EQ(name.find(".part"), std::string::npos) << name;
    }
}

TEST_F(BuildTest, AnUnwritableTargetFailsBeforeAnythingIsDrawn)
{
    std::filesystem::create_directory(dir.Path() / "folder");
    auto readOnly = dir.File("readonly.quorin");
    WriteFile(readOnly, std::string("keep"));
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read);
    const std::string targets[] = {"", dir.File("missing/p.quorin"), dir.File("folder"), readOnly};
    for (const auto& target : targets) {
        SCOPED_TRACE(target);
        FillerSeed = 0;
        try {
            BuildPackage(FullSheet(), target);
            ADD_FAILURE() << "the build succeeded";
        } catch (const EFCreateError& e) {
            EXPECT_EQ(e.Message(), "Cannot create file " + target);
        }
        EXPECT_EQ(FillerSeed, 0u);
    }
    EXPECT_EQ(ReadFile(readOnly), test::ToBytes("keep"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "folder"));
}

TEST_F(BuildTest, AnOutputThatIsAlsoAnInputIsRefusedBeforeAnythingIsWritten)
{
    TUnitSheet sheet = FullSheet();
    std::filesystem::create_hard_link(sheet.ModelFile, dir.Path() / "hard.quorin");
    std::vector<std::string> outputs = {sheet.ModelFile,
                                        sheet.TextureRows[0].TextureFile,
                                        sheet.UiCardRows[0].InfoCardFile,
                                        *sheet.UiCardRows[0].UnitCardFile,
                                        dir.File("hard.quorin"),
                                        test::Utf8Of(dir.Path() / "." / "model.cas")};
#ifndef _WIN32 // symbolic links need a privilege on Windows
    std::filesystem::create_symlink(sheet.TextureRows[1].TextureFile, dir.Path() / "link.quorin");
    outputs.push_back(dir.File("link.quorin"));
#endif
    const auto entries = dir.Entries();
    for (const auto& output : outputs) {
        SCOPED_TRACE(output);
        const Bytes before = ReadFile(output);
        FillerSeed = 0;
        try {
            BuildPackage(sheet, output);
            ADD_FAILURE() << "the build succeeded";
        } catch (const EFCreateError& e) {
            EXPECT_EQ(e.Message(), "The output file is also an input: " + output);
        }
        EXPECT_EQ(FillerSeed, 0u);
        EXPECT_EQ(ReadFile(output), before);
    }
    EXPECT_EQ(dir.Entries(), entries);
}

TEST_F(BuildTest, BuildingTwiceReplacesTheFirstPackageWithNewFillers)
{
    auto target = dir.File("p.quorin");
    BuildPackage(FullSheet(), target);
    Bytes first = ReadFile(target);
    BuildPackage(FullSheet(), target);
    Bytes second = ReadFile(target);
    EXPECT_NE(first, second);
    EXPECT_EQ(ReadPackage(target).Header.Fillers, (std::array<std::int32_t, 5>{12084, 635, 24827, 25882, 23844}));
}

TEST_F(BuildTest, AnOutputThatRefusesBytesAtAnyOffsetLeavesTheTargetIntact)
{
    TUnitSheet sheet;
    sheet.UnitName = "u";
    sheet.ModelFile = Make("m.cas", test::PatternBytes(300));
    auto target = dir.File("p.quorin");
    BuildPackage(sheet, target);
    Bytes original = ReadFile(target);
    const auto packageSize = static_cast<std::int64_t>(original.size());

    for (std::int64_t limit = 0; limit < packageSize; ++limit) {
        FillerSeed = 0; // the same bytes each time, so every offset is tried
        try {
            BuildPackage(sheet, target, [limit](std::string_view path) {
                return std::make_unique<TRefusingSaveFile>(path, limit);
            });
            ADD_FAILURE() << "the build succeeded with a limit of " << limit;
        } catch (const EWriteError& e) {
            EXPECT_EQ(e.Message(), "Stream write error");
        }
        ASSERT_EQ(ReadFile(target), original) << "limit " << limit;
        ASSERT_EQ(dir.Entries(), (std::vector<std::string>{"m.cas", "p.quorin"})) << "limit " << limit;
    }
}

// The file size limit is a POSIX resource limit.
#ifndef _WIN32
TEST_F(BuildTest, AFileSizeLimitOfTheSystemLeavesTheTargetIntact)
{
    TUnitSheet sheet;
    sheet.ModelFile = Make("m.cas", test::PatternBytes(200000));
    auto target = dir.File("p.quorin");
    WriteFile(target, std::string("previous"));

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100000, 100000};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            BuildPackage(sheet, target);
            _exit(1);
        } catch (const EWriteError&) {
            _exit(0);
        } catch (...) {
            _exit(2);
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the build succeeded, 2: another failure";
    EXPECT_EQ(ReadFile(target), test::ToBytes("previous"));
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"m.cas", "p.quorin"}));
}
#endif

TEST_F(BuildTest, AnInputOf2GiBCannotBeDescribedAndFailsBeforeItsBytes)
{
    auto huge = dir.File("huge.cas");
    {
        std::ofstream out(huge, std::ios::binary);
    }
    std::error_code error;
    std::filesystem::resize_file(huge, 0x80000000LL, error); // sparse: takes no disk space
    if (error)
        GTEST_SKIP() << "cannot make a sparse file here: " << error.message();
    TUnitSheet sheet;
    sheet.ModelFile = huge;
    try {
        BuildPackage(sheet, dir.File("p.quorin"));
        FAIL() << "the build succeeded";
    } catch (const EOutOfMemory& e) {
        EXPECT_EQ(e.Message(), "Out of memory while expanding memory stream");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("p.quorin")));
}

} // namespace
} // namespace quorin
