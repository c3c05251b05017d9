#include <gtest/gtest.h>

#include <algorithm>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <nlohmann/json.hpp>

#include "cli/Commands.h"
#include "base/Blake2b.h"
#include "package/Manifest.h"
#include "package/Unpack.h"
#include "package/Build.h"
#include "package/Filler.h"
#include "package/PackageReader.h"
#include "tests/cli/QuorinRun.h"
#include "tests/install/ModFixture.h"
#include "tests/support/Sanitizer.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TempDir;

using TRun = test::TQuorinRun;

// Runs the quorin program in a process of its own, as a script would.
TRun Quorin(const std::vector<std::string>& args, const TempDir& scratch, const std::string& pipeFrom = {})
{
    return test::RunQuorin(args, scratch, pipeFrom);
}

#ifndef _WIN32
// Runs quorin in a child whose address space is limited to addressLimit
// bytes (none when 0); maxRssKiB receives the child's peak resident memory.
// The peak counts what the child had before it became quorin, so the caller
// keeps itself small: with dropOutput the output goes to /dev/null.
TRun QuorinChild(const std::vector<std::string>& args, const TempDir& scratch, rlim_t addressLimit,
                 long* maxRssKiB = nullptr, bool dropOutput = false)
{
    auto out = dropOutput ? std::string("/dev/null") : scratch.File(".stdout"), err = scratch.File(".stderr");
    std::vector<std::string> argv{QUORIN_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_t child = fork();
    if (child == 0) {
        int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(outFd, 1);
        dup2(errFd, 2);
        if (addressLimit != 0) {
            rlimit limit{addressLimit, addressLimit};
            setrlimit(RLIMIT_AS, &limit);
        }
        std::vector<char*> pointers;
        for (auto& arg : argv)
            pointers.push_back(arg.data());
        pointers.push_back(nullptr);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    if (maxRssKiB)
        *maxRssKiB = usage.ru_maxrss;
    TRun run;
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    auto outBytes = test::ReadFile(out), errBytes = test::ReadFile(err);
    run.out.assign(outBytes.begin(), outBytes.end());
    run.err.assign(errBytes.begin(), errBytes.end());
    if (!dropOutput)
        fs::remove(out);
    fs::remove(err);
    return run;
}

using test::UnderSanitizer;

// A package whose model holds modelSize zero bytes, written sparse so that a
// large one costs neither time nor disk.
void WritePackageWithLargeModel(const std::string& path, const TempDir& scratch, std::int32_t modelSize)
{
    FillerSeed = 0;
    test::WriteFile(scratch.File("empty.cas"), Bytes{});
    TUnitSheet sheet;
    sheet.ModelFile = scratch.File("empty.cas");
    BuildPackage(sheet, path);
    Bytes bytes = test::ReadFile(path);
    // The model's size 02 00 and the 13 bytes after it: the texture count,
    // two empty texts, the flag and three line counts.
    const std::size_t tail = 13, modelAt = bytes.size() - tail - 2;
    Bytes head(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(modelAt));
    auto size = static_cast<std::uint32_t>(modelSize);
    for (std::uint8_t b : {std::uint8_t{4}, std::uint8_t(size), std::uint8_t(size >> 8), std::uint8_t(size >> 16),
                           std::uint8_t(size >> 24)})
        head.push_back(b);
    Bytes end(bytes.end() - static_cast<std::ptrdiff_t>(tail), bytes.end());
    test::WriteFile(path, head);
    fs::resize_file(path, head.size() + static_cast<std::uintmax_t>(modelSize));
    std::ofstream(path, std::ios::binary | std::ios::app).write(reinterpret_cast<const char*>(end.data()),
                                                                 static_cast<std::streamsize>(end.size()));
}
#endif

const std::string Example = std::string(QUORIN_EXAMPLES) + "/hastati/unit.toml";

std::uintmax_t ExampleFileSize(const std::string& name)
{
    return fs::file_size(std::string(QUORIN_EXAMPLES) + "/hastati/" + name);
}

// ---- the manifest ----------------------------------------------------------

class ManifestTest : public ::testing::Test {
protected:
    TUnitSheet Load(const std::string& text)
    {
        test::WriteFile(dir.File("unit.toml"), text);
        return LoadManifest(dir.File("unit.toml"));
    }

    std::string FailureOf(const std::string& text)
    {
        try {
            Load(text);
        } catch (const EManifestError& e) {
            return e.Message();
        }
        return "(no failure)";
    }

    TempDir dir;
};

TEST_F(ManifestTest, AnEmptyManifestIsANewWindow)
{
    TUnitSheet sheet = Load("");
    EXPECT_EQ(sheet.UnitName, "");
    EXPECT_EQ(sheet.GameVersion, 0);
    EXPECT_EQ(sheet.ModelFile, "");
    EXPECT_FALSE(sheet.CustomSkeletons);
    EXPECT_TRUE(sheet.ModelBattleLines.empty());
    EXPECT_TRUE(sheet.TextureRows.empty());
    EXPECT_TRUE(sheet.UiCardRows.empty());
}

// A path that is absolute on the platform, which the manifest keeps as it is.
#ifdef _WIN32
const std::string AbsoluteTexture = "C:/abs/t.dds";
#else
const std::string AbsoluteTexture = "/abs/t.dds";
#endif

TEST_F(ManifestTest, EveryKeyReachesItsField)
{
    TUnitSheet sheet = Load(R"(
unit_name = "u"
source_mod = "s"
unit_author = "a"
pack_author = "p"
unit_version = "v"
comment = "Коммент"
game_version = 3
model_name = "m"
model_file = "model.cas"
skeletons = "fs_a, fs_b"
custom_skeletons = true
model_battle = "a\r\nb\r\n"
unit_descr = """
x

"""
unit_text = "only"
[[texture]]
file = ")" + AbsoluteTexture + R"("
[[card]]
faction = "римляне"
info = "i.tga"
[[card]]
info = "i.tga"
unit = "sub/u.tga"
)");
    EXPECT_EQ(sheet.UnitName, "u");
    EXPECT_EQ(sheet.SourceMod, "s");
    EXPECT_EQ(sheet.UnitAuthor, "a");
    EXPECT_EQ(sheet.PackAuthor, "p");
    EXPECT_EQ(sheet.UnitVersion, "v");
    EXPECT_EQ(sheet.Comment, "Коммент");
    EXPECT_EQ(sheet.GameVersion, 3);
    EXPECT_EQ(sheet.ModelName, "m");
    EXPECT_EQ(sheet.ModelFile, dir.File("model.cas"));
    EXPECT_EQ(sheet.Skeletons, "fs_a, fs_b");
    EXPECT_TRUE(sheet.CustomSkeletons);
    EXPECT_EQ(sheet.ModelBattleLines, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(sheet.UnitDescrLines, (std::vector<std::string>{"x", ""}));
    EXPECT_EQ(sheet.UnitTextLines, (std::vector<std::string>{"only"}));
    ASSERT_EQ(sheet.TextureRows.size(), 1u);
    EXPECT_EQ(sheet.TextureRows[0].Faction, "romans_julii");
    EXPECT_EQ(sheet.TextureRows[0].TextureFile, AbsoluteTexture);
    ASSERT_EQ(sheet.UiCardRows.size(), 2u);
    EXPECT_EQ(sheet.UiCardRows[0].Faction, "римляне");
    EXPECT_EQ(sheet.UiCardRows[0].InfoCardFile, dir.File("i.tga"));
    EXPECT_FALSE(sheet.UiCardRows[0].UnitCardFile.has_value());
    EXPECT_EQ(sheet.UiCardRows[1].UnitCardFile, dir.File("sub/u.tga"));
}

TEST_F(ManifestTest, GameVersionByIndexOrText)
{
    EXPECT_EQ(Load("game_version = 5").GameVersion, 5);
    EXPECT_EQ(Load("game_version = \"Rome Total War 1.5\"").GameVersion, 2);
    EXPECT_EQ(Load("game_version = \"Rome Total War Barbarian Invasion 1.4-1.5\"").GameVersion, 4);
}

TEST_F(ManifestTest, MistakesAreNamed)
{
    const std::string file = dir.File("unit.toml") + ": ";
    const std::pair<const char*, std::string> cases[] = {
        {"unit_nam = \"x\"", "unknown key \"unit_nam\""},
        {"[[texture]]\nfile = \"a\"\nfactoin = \"x\"", "unknown key \"factoin\" in [[texture]] 1"},
        {"[[card]]\nfaction = \"x\"", "\"info\" in [[card]] 1 is missing"},
        {"[[texture]]\nfaction = \"x\"", "\"file\" in [[texture]] 1 is missing"},
        {"game_version = 6", "\"game_version\" must be 0 to 5, not 6"},
        {"game_version = \"Rome 2\"", "\"game_version\" \"Rome 2\" is not one of the game versions"},
        {"game_version = 1.5", "\"game_version\" must be an index 0 to 5 or a game version's text"},
        {"unit_name = 3", "\"unit_name\" must be a string"},
        {"custom_skeletons = \"yes\"", "\"custom_skeletons\" must be true or false"},
        {"texture = \"a.dds\"", "\"texture\" must be written as [[texture]] tables"},
    };
    for (const auto& [text, message] : cases)
        EXPECT_EQ(FailureOf(text), file + message) << text;
    EXPECT_NE(FailureOf("unit_name = ").find(dir.File("unit.toml") + ":1:"), std::string::npos);
}

TEST_F(ManifestTest, WrittenTextReadsBackUnchanged)
{
    const std::vector<std::string> lines = {"plain", "", "quotes \"\"\" and \\ backslash \\", "tab\there",
                                            "кириллица", "ends with backslash \\", "bell\x07"};
    std::string text = "unit_name = " + TomlString("a \"b\" \\ \x01 ё") + "\nunit_text = " + TomlLines(lines) +
                       "\nmodel_battle = " + TomlLines({}) + "\nunit_descr = " + TomlLines({""}) + "\n";
    TUnitSheet sheet = Load(text);
    EXPECT_EQ(sheet.UnitName, "a \"b\" \\ \x01 ё");
    EXPECT_EQ(sheet.UnitTextLines, lines);
    EXPECT_TRUE(sheet.ModelBattleLines.empty());
    EXPECT_EQ(sheet.UnitDescrLines, std::vector<std::string>{""});
}

TEST(SafeFileNameTest, NamesCannotLeaveTheirFolder)
{
    const std::pair<const char*, const char*> cases[] = {
        {"romans_julii", "romans_julii"}, {"../../etc", ".._.._etc"}, {"..", "__"},
        {"a\\b:c", "a_b_c"},              {"", "_"},                   {"римляне", "римляне"},
        {"x\ny", "x_y"},
    };
    for (const auto& [faction, name] : cases)
        EXPECT_EQ(SafeFileNamePart(faction), name) << faction;
    EXPECT_EQ(SafeFileNamePart(std::string(300, 'a')).size(), 64u);
}

TEST(SafeFileNameTest, LongNamesAreCutByBytesAtACharacterBoundary)
{
    std::string emoji, euro;
    for (int i = 0; i < 58; ++i)
        emoji += "\xF0\x9F\x98\x80"; // four bytes each
    for (int i = 0; i < 30; ++i)
        euro += "\xE2\x82\xAC"; // three bytes each
    EXPECT_EQ(SafeFileNamePart(emoji), emoji.substr(0, 64));
    EXPECT_EQ(SafeFileNamePart(euro), euro.substr(0, 63));
}

// ---- the verbs, end to end ---------------------------------------------------

class CliTest : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(CliTest, BuildInspectAndJson)
{
    TRun build = Quorin({"build", Example, "-o", dir.File("h.quorin")}, dir);
    ASSERT_EQ(build.code, 0) << build.err;
    EXPECT_EQ(build.out, "Создание пака h.quorin завершено\n");
    EXPECT_EQ(build.err, ""); // the example checks clean

    TRun inspect = Quorin({"inspect", dir.File("h.quorin")}, dir);
    ASSERT_EQ(inspect.code, 0) << inspect.err;
    const std::string modelLine = "Model file:       " + std::to_string(ExampleFileSize("hastati.cas")) + " bytes";
    for (const std::string& expected : {std::string("Unit name:        Hastati"),
                                        std::string("Game version:     2 (Rome Total War 1.5)"), modelLine,
                                        std::string("1. romans_julii"), std::string("2. romans_brutii"),
                                        std::string("Unit text (text\\export_units.txt): 3 lines"),
                                        std::string("  | {roman_hastati}Hastati")})
        EXPECT_NE(inspect.out.find(expected), std::string::npos) << expected << "\n" << inspect.out;

    TRun json = Quorin({"inspect", "--json", dir.File("h.quorin")}, dir);
    ASSERT_EQ(json.code, 0) << json.err;
    auto summary = nlohmann::json::parse(json.out);
    EXPECT_EQ(summary["unit_name"], "Hastati");
    EXPECT_EQ(summary["comment"], "Пример юнита");
    EXPECT_EQ(summary["game_version"], 2);
    EXPECT_EQ(summary["model_file_size"], ExampleFileSize("hastati.cas"));
    EXPECT_EQ(summary["card"].size(), 2u);
    EXPECT_EQ(summary["card"][0]["faction"], "romans_julii");
    EXPECT_EQ(summary["texture"][1]["faction"], "romans_brutii");
    EXPECT_EQ(summary["texture"][1]["file_size"], ExampleFileSize("hastati_brutii.dds"));
    EXPECT_EQ(summary["unit_text"].size(), 3u);
    EXPECT_EQ(summary["model_battle"][0], "type                roman_hastati");
}

// The example unit's package, byte for byte, wherever quorin runs: the
// Windows build must give the Linux build's bytes. A change of the package
// layout or of the example changes this digest.
TEST_F(CliTest, TheExampleBuildsToTheSameBytesOnEveryPlatform)
{
    TRun build = Quorin({"build", Example, "-o", dir.File("h.quorin")}, dir);
    ASSERT_EQ(build.code, 0) << build.err;
    const Bytes package = test::ReadFile(dir.File("h.quorin"));
    EXPECT_EQ(Blake2b256Hex({reinterpret_cast<const char*>(package.data()), package.size()}),
              "c675acf5b6bbf2467b57e5596d5cf77743f9db2afcc55b05870ec8917614d81f");
}

// Names beyond ASCII reach every verb whole (on Windows through the wide
// command line, which the ANSI code page would mangle) and come back in the
// messages as UTF-8.
TEST_F(CliTest, NonAsciiFileNamesWorkInEveryVerb)
{
    const std::string folder = dir.File("Юниты ☆");
    const std::string unit = folder + "/гастаты";
    fs::create_directories(test::Utf8Path(unit));
    fs::copy(test::Utf8Path(std::string(QUORIN_EXAMPLES) + "/hastati"), test::Utf8Path(unit));
    fs::rename(test::Utf8Path(unit + "/unit.toml"), test::Utf8Path(unit + "/юнит.toml"));
    const std::string package = folder + "/Гастаты.quorin";

    TRun build = Quorin({"build", unit + "/юнит.toml", "-o", package}, dir);
    ASSERT_EQ(build.code, 0) << build.err;
    EXPECT_EQ(build.out, "Создание пака Гастаты.quorin завершено\n");

    TRun json = Quorin({"inspect", "--json", package}, dir);
    ASSERT_EQ(json.code, 0) << json.err;
    EXPECT_EQ(nlohmann::json::parse(json.out)["unit_name"], "Hastati");

    TRun unpack = Quorin({"unpack", package, folder + "/распаковка"}, dir);
    ASSERT_EQ(unpack.code, 0) << unpack.err;
    EXPECT_NE(unpack.out.find(" into " + folder + "/распаковка\n"), std::string::npos) << unpack.out;
    EXPECT_TRUE(fs::exists(test::Utf8Path(folder + "/распаковка/unit.toml")));

    TRun picture = Quorin({"picture", unit + "/info_julii.tga", folder + "/карта.png"}, dir);
    ASSERT_EQ(picture.code, 0) << picture.err;
    EXPECT_NE(picture.out.find(" written to " + folder + "/карта.png\n"), std::string::npos) << picture.out;
    EXPECT_TRUE(fs::exists(test::Utf8Path(folder + "/карта.png")));

    TRun missing = Quorin({"inspect", folder + "/нет.quorin"}, dir);
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.err, "Cannot open file " + folder + "/нет.quorin\n");
}

TEST_F(CliTest, UnpackThenBuildGivesTheSamePackage)
{
    ASSERT_EQ(Quorin({"build", Example, "-o", dir.File("first.quorin")}, dir).code, 0);
    TRun unpack = Quorin({"unpack", dir.File("first.quorin"), dir.File("out")}, dir);
    ASSERT_EQ(unpack.code, 0) << unpack.err;
    EXPECT_TRUE(fs::exists(dir.Path() / "out" / "card_01_romans_julii_info.tga"));
    EXPECT_TRUE(fs::exists(dir.Path() / "out" / "texture_02_romans_brutii.dds"));

    TRun rebuild = Quorin({"build", dir.File("out/unit.toml"), "-o", dir.File("second.quorin")}, dir);
    ASSERT_EQ(rebuild.code, 0) << rebuild.err;
    EXPECT_EQ(test::ReadFile(dir.File("first.quorin")), test::ReadFile(dir.File("second.quorin")));
}

TEST_F(CliTest, UnpackKeepsExistingFilesUnlessForced)
{
    ASSERT_EQ(Quorin({"build", Example, "-o", dir.File("p.quorin")}, dir).code, 0);
    fs::create_directory(dir.Path() / "out");
    test::WriteFile(dir.File("out/model.cas"), std::string("mine"));
    TRun refused = Quorin({"unpack", dir.File("p.quorin"), dir.File("out")}, dir);
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("model.cas exists; use --force to overwrite"), std::string::npos) << refused.err;
    EXPECT_EQ(test::ReadFile(dir.File("out/model.cas")), test::ToBytes("mine"));
    EXPECT_FALSE(fs::exists(dir.Path() / "out" / "unit.toml"));

    EXPECT_EQ(Quorin({"unpack", "--force", dir.File("p.quorin"), dir.File("out")}, dir).code, 0);
    EXPECT_EQ(test::ReadFile(dir.File("out/model.cas")).size(), ExampleFileSize("hastati.cas"));

#ifndef _WIN32 // symbolic links need a privilege on Windows
    // A link that leads nowhere is there too: writing would follow it.
    fs::create_directory(dir.Path() / "linked");
    fs::create_symlink(dir.Path() / "elsewhere.cas", dir.Path() / "linked" / "model.cas");
    TRun dangling = Quorin({"unpack", dir.File("p.quorin"), dir.File("linked")}, dir);
    EXPECT_EQ(dangling.code, 1);
    EXPECT_NE(dangling.err.find("model.cas exists; use --force to overwrite"), std::string::npos) << dangling.err;
    EXPECT_FALSE(fs::exists(dir.Path() / "elsewhere.cas"));
#endif
}

TEST_F(CliTest, LongFactionsOfWideCharactersUnpackAndBuildAgain)
{
    test::WriteFile(dir.File("m.cas"), Bytes{1, 2, 3});
    for (int count : {58, 64}) {
        SCOPED_TRACE(count);
        std::string faction;
        for (int i = 0; i < count; ++i)
            faction += "\xF0\x9F\x98\x80";
        FillerSeed = 0;
        TUnitSheet sheet;
        sheet.ModelFile = dir.File("m.cas");
        sheet.TextureRows = {{faction, sheet.ModelFile}};
        sheet.UiCardRows = {{faction, sheet.ModelFile, sheet.ModelFile}};
        BuildPackage(sheet, dir.File("p.quorin"));
        fs::remove_all(dir.Path() / "out");

        TRun unpack = Quorin({"unpack", dir.File("p.quorin"), dir.File("out")}, dir);
        ASSERT_EQ(unpack.code, 0) << unpack.err;
        TRun rebuild = Quorin({"build", dir.File("out/unit.toml"), "-o", dir.File("again.quorin")}, dir);
        ASSERT_EQ(rebuild.code, 0) << rebuild.err;
        EXPECT_EQ(test::ReadFile(dir.File("again.quorin")), test::ReadFile(dir.File("p.quorin")));
    }
}

TEST_F(CliTest, AFailedUnpackRemovesWhatItWrote)
{
    FillerSeed = 0;
    test::WriteFile(dir.File("m.cas"), Bytes{1, 2, 3});
    TUnitSheet sheet;
    sheet.ModelFile = dir.File("m.cas");
    sheet.UiCardRows = {{"a", sheet.ModelFile, sheet.ModelFile}};
    sheet.TextureRows = {{"b", sheet.ModelFile}};
    BuildPackage(sheet, dir.File("p.quorin"));

    // The texture cannot be written where a folder of its name stands,
    // after the model and the cards were.
    fs::create_directories(dir.Path() / "out" / "texture_01_b.dds");
    TRun run = Quorin({"unpack", "--force", dir.File("p.quorin"), dir.File("out")}, dir);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "Cannot create file " + dir.File("out/texture_01_b.dds") + "\n");
    EXPECT_EQ(test::EntriesOf(dir.Path() / "out"), std::vector<std::string>{"texture_01_b.dds"});
}

TEST_F(CliTest, HostileFactionNamesStayInsideTheFolder)
{
    FillerSeed = 0;
    test::WriteFile(dir.File("m.cas"), Bytes{1, 2, 3});
    TUnitSheet sheet;
    sheet.ModelFile = dir.File("m.cas");
    sheet.TextureRows = {{"../../escape", sheet.ModelFile}, {"a/b\\c:d", sheet.ModelFile}};
    sheet.UiCardRows = {{"..", sheet.ModelFile, sheet.ModelFile}};
    BuildPackage(sheet, dir.File("p.quorin"));
    ASSERT_EQ(Quorin({"unpack", dir.File("p.quorin"), dir.File("inner/out")}, dir).code, 0);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path() / "inner" / "out"))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"card_01____info.tga", "card_01____unit.tga", "model.cas",
                                               "texture_01_.._.._escape.dds", "texture_02_a_b_c_d.dds", "unit.toml"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path() / "inner"), fs::directory_iterator{}), 1);
}

TEST_F(CliTest, TextMustBeStrictUtf8ToBeReadAndUnpacked)
{
    struct Case {
        std::string text;
        bool valid;
    };
    const Case cases[] = {
        {"\xED\xA0\x80", false},      // an encoded surrogate
        {"\xE0\x80\xAF", false},      // an overlong form
        {"\xF5\x80\x80\x80", false},  // above U+10FFFF
        {"\xF4\x8F\xBF\xBF", true},   // U+10FFFF
        {"\xEF\xBF\xBF", true},       // U+FFFF
        {"\xED\x9F\xBF", true},       // U+D7FF
    };
    test::WriteFile(dir.File("m.cas"), Bytes{1, 2, 3});
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text));
        FillerSeed = 0;
        TUnitSheet sheet;
        sheet.ModelFile = dir.File("m.cas");
        sheet.UnitName = "x" + c.text;
        sheet.TextureRows = {{c.text, sheet.ModelFile}};
        sheet.UnitTextLines = {c.text};
        BuildPackage(sheet, dir.File("p.quorin"));
        fs::remove_all(dir.Path() / "out");

        TRun json = Quorin({"inspect", "--json", dir.File("p.quorin")}, dir);
        TRun unpack = Quorin({"unpack", dir.File("p.quorin"), dir.File("out")}, dir);
        if (!c.valid) {
            const std::string refusal = "Damaged package: the unit name at byte 588 is not valid UTF-8 text\n";
            EXPECT_EQ(json.code, 1);
            EXPECT_EQ(json.err, refusal);
            EXPECT_EQ(json.out, "");
            EXPECT_EQ(unpack.code, 1);
            EXPECT_EQ(unpack.err, refusal);
            EXPECT_FALSE(fs::exists(dir.Path() / "out"));
            continue;
        }
        ASSERT_EQ(json.code, 0) << json.err;
        EXPECT_EQ(nlohmann::json::parse(json.out)["unit_name"], sheet.UnitName);
        ASSERT_EQ(unpack.code, 0) << unpack.err;
        TRun rebuild = Quorin({"build", dir.File("out/unit.toml"), "-o", dir.File("again.quorin")}, dir);
        ASSERT_EQ(rebuild.code, 0) << rebuild.err;
        EXPECT_EQ(test::ReadFile(dir.File("again.quorin")), test::ReadFile(dir.File("p.quorin")));
    }
}

// Pipes, FIFOs, symbolic links and devices as inputs and outputs: POSIX's.
#ifndef _WIN32
TEST_F(CliTest, AModelFromAPipeOrAFifoIsEmbeddedWhole)
{
    const Bytes model = test::PatternBytes(200000);
    test::WriteFile(dir.File("m.cas"), model);
    test::WriteFile(dir.File("file.toml"), std::string("model_file = \"m.cas\"\n"));
    test::WriteFile(dir.File("pipe.toml"), std::string("model_file = \"/dev/stdin\"\n"));
    ASSERT_EQ(Quorin({"build", dir.File("file.toml"), "-o", dir.File("file.quorin")}, dir).code, 0);
    test::WriteFile(dir.File("piped.quorin"), std::string("old"));

    TRun piped = Quorin({"build", dir.File("pipe.toml"), "-o", dir.File("piped.quorin")}, dir, dir.File("m.cas"));
    ASSERT_EQ(piped.code, 0) << piped.err;
    EXPECT_EQ(test::ReadFile(dir.File("piped.quorin")), test::ReadFile(dir.File("file.quorin")));
    EXPECT_EQ(ReadPackage(dir.File("piped.quorin")).Model, model);

    // A named FIFO, fed by a thread of ours.
    const auto fifo = dir.File("m.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    test::WriteFile(dir.File("fifo.toml"), std::string("model_file = \"m.fifo\"\n"));
    std::signal(SIGPIPE, SIG_IGN);
    std::thread writer([&] {
        int fd = open(fifo.c_str(), O_WRONLY);
        for (std::size_t at = 0; fd >= 0 && at < model.size();) {
            auto n = write(fd, model.data() + at, model.size() - at);
            if (n <= 0)
                break;
            at += static_cast<std::size_t>(n);
        }
        close(fd);
    });
    TRun named = Quorin({"build", dir.File("fifo.toml"), "-o", dir.File("named.quorin")}, dir);
    close(open(fifo.c_str(), O_RDONLY | O_NONBLOCK)); // lets the writer go if the build never read
    writer.join();
    ASSERT_EQ(named.code, 0) << named.err;
    EXPECT_EQ(test::ReadFile(dir.File("named.quorin")), test::ReadFile(dir.File("file.quorin")));

    // A package read from a pipe as well.
    TRun inspect = Quorin({"inspect", "/dev/stdin"}, dir, dir.File("piped.quorin"));
    EXPECT_EQ(inspect.code, 0) << inspect.err;
    EXPECT_NE(inspect.out.find("Model file:       200000 bytes"), std::string::npos) << inspect.out;
}

// Reads a FIFO to its end on a thread of its own while quorin writes it.
class TFifoReader {
public:
    explicit TFifoReader(std::string path) : path_(std::move(path)), thread_([this] {
        int fd = open(path_.c_str(), O_RDONLY);
        std::uint8_t buffer[65536];
        for (ssize_t n; fd >= 0 && (n = read(fd, buffer, sizeof buffer)) > 0;)
            got_.insert(got_.end(), buffer, buffer + n);
        close(fd);
    })
    {
    }
    // What was read; a writer that never came is stood in for, so this returns.
    Bytes Finish()
    {
        close(open(path_.c_str(), O_WRONLY | O_NONBLOCK));
        thread_.join();
        return got_;
    }

private:
    std::string path_;
    Bytes got_;
    std::thread thread_;
};

TEST_F(CliTest, TheOutputGoesThroughLinksAndIntoDevicesWithoutReplacingThem)
{
    ASSERT_EQ(Quorin({"build", Example, "-o", dir.File("expected.quorin")}, dir).code, 0);
    const Bytes expected = test::ReadFile(dir.File("expected.quorin"));
    fs::create_directory(dir.Path() / "real");
    fs::create_directory(dir.Path() / "links");

    // A link, relative and absolute, to an existing file or to none yet.
    test::WriteFile(dir.File("real/old.quorin"), std::string("old"));
    fs::create_symlink("../real/old.quorin", dir.Path() / "links" / "to-old");
    fs::create_symlink(dir.Path() / "real" / "new.quorin", dir.Path() / "links" / "to-new");
    for (const char* link : {"links/to-old", "links/to-new"}) {
        TRun run = Quorin({"build", Example, "-o", dir.File(link)}, dir);
        ASSERT_EQ(run.code, 0) << link << ": " << run.err;
        EXPECT_TRUE(fs::is_symlink(dir.Path() / link)) << link;
        EXPECT_EQ(test::ReadFile(dir.File(link)), expected) << link;
    }
    EXPECT_EQ(test::EntriesOf(dir.Path() / "links"), (std::vector<std::string>{"to-new", "to-old"}));
    EXPECT_EQ(test::EntriesOf(dir.Path() / "real"), (std::vector<std::string>{"new.quorin", "old.quorin"}));

    // A FIFO is written, not replaced.
    fs::create_directory(dir.Path() / "fifo");
    const auto fifo = dir.File("fifo/out");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    TFifoReader reader(fifo);
    TRun toFifo = Quorin({"build", Example, "-o", fifo}, dir);
    EXPECT_EQ(reader.Finish(), expected);
    EXPECT_EQ(toFifo.code, 0) << toFifo.err;
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(test::EntriesOf(dir.Path() / "fifo"), std::vector<std::string>{"out"});

    // Standard output as a pipe: a link to a FIFO that has no path of its own.
    const std::string piped = test::ShellQuote(QUORIN_EXE) + " build " + test::ShellQuote(Example) + " -o /dev/stdout 2>/dev/null | cat >" +
                              test::ShellQuote(dir.File("fifo/piped"));
    ASSERT_EQ(std::system(piped.c_str()), 0);
    Bytes got = test::ReadFile(dir.File("fifo/piped"));
    ASSERT_GE(got.size(), expected.size());
    EXPECT_EQ(Bytes(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(expected.size())), expected);

    // A device node of our own, a second null device.
    fs::create_directory(dir.Path() / "dev");
    const auto device = dir.File("dev/null");
    if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "cannot make a device node here";
    if (int fd = open(device.c_str(), O_WRONLY); fd < 0)
        GTEST_SKIP() << "cannot write the device node made here";
    else
        close(fd);
    TRun toDevice = Quorin({"build", Example, "-o", device}, dir);
    EXPECT_EQ(toDevice.code, 0) << toDevice.err;
    EXPECT_TRUE(fs::is_character_file(device));
    EXPECT_EQ(test::EntriesOf(dir.Path() / "dev"), std::vector<std::string>{"null"});
}
#endif

TEST_F(CliTest, AnOutputNameOfAnyValidLengthFits)
{
    for (std::size_t length : {247u, 255u}) {
        auto name = std::string(length - 7, 'a') + ".quorin";
        TRun run = Quorin({"build", Example, "-o", dir.File(name)}, dir);
        EXPECT_EQ(run.code, 0) << length << ": " << run.err;
        EXPECT_TRUE(fs::exists(dir.Path() / name)) << length;
        fs::remove(dir.Path() / name);
    }
    EXPECT_TRUE(dir.Entries().empty());
}

// FIFOs and SIGKILL: POSIX's.
#ifndef _WIN32
TEST_F(CliTest, ABuildKilledMidwayLeavesNothingBesideTheTarget)
{
    // The model comes from a FIFO that we hold open, so the build is surely
    // between creating its output and finishing it when it is killed.
    const auto fifo = dir.File("model.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    test::WriteFile(dir.File("unit.toml"), std::string("model_file = \"model.fifo\"\n"));
    test::WriteFile(dir.File("target.quorin"), std::string("old"));
    const auto before = dir.Entries();

    std::vector<std::string> argv{QUORIN_EXE, "build", dir.File("unit.toml"), "-o", dir.File("target.quorin")};
    pid_t child = fork();
    if (child == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<char*> pointers;
        for (auto& arg : argv)
            pointers.push_back(arg.data());
        pointers.push_back(nullptr);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    // Wait for the build to open the model; stop if it ended instead.
    int fd = -1, status = 0;
    while ((fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK)) < 0 && waitpid(child, &status, WNOHANG) == 0)
        usleep(1000);
    ASSERT_GE(fd, 0) << "the build ended before it read its model";
    const Bytes some = test::PatternBytes(100000);
    fcntl(fd, F_SETFL, 0);
    ASSERT_EQ(write(fd, some.data(), some.size()), static_cast<ssize_t>(some.size()));
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    close(fd);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(dir.Entries(), before);
    EXPECT_EQ(test::ReadFile(dir.File("target.quorin")), test::ToBytes("old"));
}
#endif

TEST_F(CliTest, FailuresAndUsage)
{
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string errorPart;
    };
    test::WriteFile(dir.File("junk.quorin"), std::string("not a package"));
    test::WriteFile(dir.File("nomodel.toml"), std::string("unit_name = \"x\"\n"));
    test::WriteFile(dir.File("unknown.toml"), std::string("colour = \"red\"\n"));
    test::WriteFile(dir.File("self.toml"), std::string("model_file = \"m.cas\"\n"));
    test::WriteFile(dir.File("m.cas"), std::string("model"));
    const auto kept = [&] { return std::make_pair(test::ReadFile(dir.File("self.toml")), test::ReadFile(dir.File("m.cas"))); };
    const auto before = kept();
    const Case cases[] = {
        {{}, 2, "A subcommand is required"},
        {{"frobnicate"}, 2, ""},
        {{"build", Example}, 2, "--output is required"},
        {{"inspect"}, 2, "package is required"},
        {{"build", dir.File("nomodel.toml"), "-o", dir.File("x.quorin")}, 1, "Cannot open file \n"},
        {{"build", dir.File("unknown.toml"), "-o", dir.File("x.quorin")}, 1, "unknown key \"colour\""},
        {{"build", Example, "-o", dir.File("no/such/x.quorin")}, 1, "Cannot create file " + dir.File("no/such/x.quorin")},
        {{"build", dir.File("missing.toml"), "-o", dir.File("x.quorin")}, 1, "missing.toml"},
        {{"build", dir.Path().string(), "-o", dir.File("x.quorin")}, 1, "Cannot open file " + dir.Path().string() + "\n"},
        {{"build", dir.File("self.toml"), "-o", dir.File("self.toml")}, 1,
         "The output file is also an input: " + dir.File("self.toml") + "\n"},
        {{"build", dir.File("self.toml"), "-o", dir.File("m.cas")}, 1,
         "The output file is also an input: " + dir.File("m.cas") + "\n"},
        {{"inspect", dir.File("junk.quorin")}, 1, "Not a Quorin package"},
        {{"inspect", dir.File("none.quorin")}, 1, "Cannot open file " + dir.File("none.quorin")},
        {{"unpack", dir.File("junk.quorin"), dir.File("u")}, 1, "Not a Quorin package"},
        {{"picture", dir.File("card.xyz"), dir.File("o.png")}, 1, "Unknown picture file extension (.xyz)"},
    };
    for (const auto& c : cases) {
        TRun run = Quorin(c.args, dir);
        EXPECT_EQ(run.code, c.code) << run.err;
        EXPECT_NE(run.err.find(c.errorPart), std::string::npos) << run.err;
        if (c.code == 2) {
            EXPECT_NE(run.err.find("Usage"), std::string::npos) << run.err;
        }
    }
    EXPECT_FALSE(fs::exists(dir.Path() / "x.quorin"));
    EXPECT_FALSE(fs::exists(dir.Path() / "u"));
    EXPECT_EQ(kept(), before);
}

// Address-space limits and peak resident memory: POSIX's.
#ifndef _WIN32
TEST_F(CliTest, RunningOutOfMemoryIsAFailureNotAnAbort)
{
    if (UnderSanitizer)
        GTEST_SKIP() << "the sanitizer needs more address space than the limit";
    // A model larger than the address space the command may use.
    constexpr std::int32_t ModelSize = 640 << 20;
    WritePackageWithLargeModel(dir.File("big.quorin"), dir, ModelSize);
    constexpr rlim_t Limit = 512u << 20;
    // Unpacking copies the model across in pieces; inspecting passes over it.
    long unpackPeakKiB = 0;
    TRun unpack = QuorinChild({"unpack", dir.File("big.quorin"), dir.File("out")}, dir, Limit, &unpackPeakKiB);
    EXPECT_EQ(unpack.code, 0) << unpack.err;
    EXPECT_EQ(fs::file_size(dir.Path() / "out" / "model.cas"), static_cast<std::uintmax_t>(ModelSize));
    EXPECT_LT(unpackPeakKiB, 64 << 10);
    fs::remove_all(dir.Path() / "out");
    TRun inspect = QuorinChild({"inspect", dir.File("big.quorin")}, dir, Limit);
    EXPECT_EQ(inspect.code, 0) << inspect.err;
    EXPECT_NE(inspect.out.find("Model file:       671088640 bytes"), std::string::npos) << inspect.out;
    // Installing holds the unit's files whole and cannot: a failure, the mod untouched.
    fs::create_directories(dir.Path() / "mod" / "data");
    TRun install = QuorinChild({"install", dir.File("big.quorin"), "--mod", dir.File("mod")}, dir, Limit);
    EXPECT_EQ(install.code, 1) << install.err;
    EXPECT_EQ(install.err, "Out of memory\n");
    EXPECT_TRUE(fs::is_empty(dir.Path() / "mod" / "data"));
}

// A package of rows UI card rows, each an empty faction and two files of
// the given bytes.
Bytes PackageOfCardRows(const TempDir& scratch, std::int32_t rows, const Bytes& card)
{
    FillerSeed = 0;
    test::WriteFile(scratch.File("empty.cas"), Bytes{});
    TUnitSheet sheet;
    sheet.ModelFile = scratch.File("empty.cas");
    BuildPackage(sheet, scratch.File("none.quorin"));
    Bytes bytes = test::ReadFile(scratch.File("none.quorin"));
    // The row count follows six empty texts, four "none", the version and four zeros.
    const auto countAt = static_cast<std::ptrdiff_t>(ReadPackage(scratch.File("none.quorin")).UnitNameOffset + 46);
    Bytes row{6, 0};
    for (int i = 0; i < 2; ++i) {
        auto size = static_cast<std::uint32_t>(card.size());
        row.insert(row.end(), {4, std::uint8_t(size), std::uint8_t(size >> 8), std::uint8_t(size >> 16),
                               std::uint8_t(size >> 24)});
        row.insert(row.end(), card.begin(), card.end());
    }
    Bytes out(bytes.begin(), bytes.begin() + countAt);
    auto count = static_cast<std::uint32_t>(rows);
    out.insert(out.end(), {4, std::uint8_t(count), std::uint8_t(count >> 8), std::uint8_t(count >> 16),
                           std::uint8_t(count >> 24)});
    out.reserve(out.size() + row.size() * static_cast<std::size_t>(rows) + bytes.size());
    for (std::int32_t i = 0; i < rows; ++i)
        out.insert(out.end(), row.begin(), row.end());
    out.insert(out.end(), bytes.begin() + countAt + 2, bytes.end());
    return out;
}

TEST_F(CliTest, InspectPrintsAsItReadsAndDecodesNoPicture)
{
    if (UnderSanitizer)
        GTEST_SKIP() << "the sanitizer's own memory hides the program's";
    // Five rows of 18-byte cards that claim 13377 x 13377 pixels: 700 MB if decoded.
    Bytes claim(18, 0);
    claim[2] = 2;
    claim[12] = claim[14] = 0x41;
    claim[13] = claim[15] = 0x34;
    claim[16] = 24;
    struct Case {
        std::string name;
        std::int32_t rows;
        Bytes card;
        long limitKiB; // 0: four times the package and 16 MB
    };
    const Case cases[] = {
        {"million.quorin", 1000000, {}, 0},
        {"claims.quorin", 5, claim, 64 * 1024},
    };
    for (const auto& c : cases) {
        std::uintmax_t size = 0;
        {
            Bytes package = PackageOfCardRows(dir, c.rows, c.card);
            test::WriteFile(dir.File(c.name), package);
            size = package.size();
        }
        const long limit = c.limitKiB ? c.limitKiB : static_cast<long>(4 * size / 1024 + 16 * 1024);
        for (bool json : {false, true}) {
            SCOPED_TRACE(c.name + (json ? " --json" : ""));
            std::vector<std::string> args{"inspect", dir.File(c.name)};
            if (json)
                args.insert(args.begin() + 1, "--json");
            long peak = 0;
            TRun run = QuorinChild(args, dir, 0, &peak, true);
            EXPECT_EQ(run.code, 0) << run.err;
            EXPECT_LE(peak, limit);
        }
    }

    // What is printed of the claims: the header's size, no decoding.
    TRun text = Quorin({"inspect", dir.File("claims.quorin")}, dir);
    EXPECT_NE(text.out.find("INFO card:  18 bytes (13377x13377, 24-bit TGA)"), std::string::npos) << text.out;
    TRun json = Quorin({"inspect", "--json", dir.File("claims.quorin")}, dir);
    ASSERT_EQ(json.code, 0) << json.err;
    auto summary = nlohmann::json::parse(json.out);
    ASSERT_EQ(summary["card"].size(), 5u);
    EXPECT_EQ(summary["card"][4]["unit_picture"],
              (nlohmann::json{{"width", 13377}, {"height", 13377}, {"kind", "24-bit TGA"}}));
}
#endif

// ---- install and uninstall ---------------------------------------------------

TEST_F(CliTest, InstallFromAManifestOrAPackageAndUninstallRestoresEveryByte)
{
    ASSERT_EQ(Quorin({"build", Example, "-o", dir.File("h.quorin")}, dir).code, 0);
    for (const std::string& source : {Example, dir.File("h.quorin")}) {
        test::TModFolder mod;
        test::TSnapshot before = mod.Snapshot();
        TRun install = Quorin({"install", source, "--mod", mod.Mod()}, dir);
        ASSERT_EQ(install.code, 0) << install.err;
        EXPECT_NE(install.out.find("  #unit card romans_brutii     -> data/ui/units/romans_brutii/#roman_hastati.tga (new)\n"),
                  std::string::npos) << install.out;
        EXPECT_NE(install.out.find("Installed roman_hastati; quorin uninstall roman_hastati --mod " + mod.Mod()),
                  std::string::npos) << install.out;
        EXPECT_EQ(test::ToBytes(mod.Get("data/ui/unit_info/romans_julii/roman_hastati_info.tga")),
                  test::ReadFile(std::string(QUORIN_EXAMPLES) + "/hastati/info_julii.tga"));
        EXPECT_EQ(mod.Get("data/models_unit/roman_hastati.cas").size(), ExampleFileSize("hastati.cas"));

        test::TSnapshot installed = mod.Snapshot();
        TRun again = Quorin({"install", source, "--mod", mod.Mod()}, dir);
        EXPECT_EQ(again.code, 0) << again.err;
        EXPECT_EQ(again.out, "roman_hastati is already installed in " + mod.Mod() +
                                 " as this unit has it: nothing was changed.\n");
        EXPECT_EQ(mod.Snapshot(), installed);

        TRun uninstall = Quorin({"uninstall", "roman_hastati", "--mod", mod.Mod()}, dir);
        ASSERT_EQ(uninstall.code, 0) << uninstall.err;
        EXPECT_NE(uninstall.out.find("Uninstalled roman_hastati from " + mod.Mod() + ".\n"), std::string::npos);
        EXPECT_EQ(mod.Snapshot(), before) << source;
    }
}

TEST_F(CliTest, ADryRunPrintsThePlanAndChangesNothing)
{
    test::TModFolder mod;
    test::TSnapshot before = mod.Snapshot();
    TRun run = Quorin({"install", Example, "--mod", mod.Mod(), "--dry-run"}, dir);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("  text {roman_hastati}         -> data/text/export_units.txt (add)\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Dry run: nothing was changed.\n"), std::string::npos);
    EXPECT_EQ(mod.Snapshot(), before);
}

TEST_F(CliTest, ConflictsAreListedAtOnceAndReplaceGoesAhead)
{
    test::TModFolder mod;
    mod.Put("data/ui/units/romans_julii/#roman_hastati.tga", "another card");
    mod.Put("data/descr_model_battle.txt", test::ModelBattleText + "type roman_hastati\r\n");
    test::TSnapshot before = mod.Snapshot();

    for (const char* dryRun : {"--dry-run", ""}) {
        std::vector<std::string> args{"install", Example, "--mod", mod.Mod()};
        if (*dryRun)
            args.push_back(dryRun);
        TRun refused = Quorin(args, dir);
        EXPECT_EQ(refused.code, 1);
        EXPECT_EQ(refused.err, "Cannot install roman_hastati into " + mod.Mod() + ", these are in the way:\n"
                               "  data/ui/units/romans_julii/#roman_hastati.tga exists with other bytes\n"
                               "  data/descr_model_battle.txt already defines model type roman_hastati\n"
                               "Nothing was changed. Use --replace to replace them.\n");
        EXPECT_EQ(mod.Snapshot(), before);
    }

    TRun replaced = Quorin({"install", Example, "--mod", mod.Mod(), "--replace"}, dir);
    ASSERT_EQ(replaced.code, 0) << replaced.err;
    EXPECT_NE(replaced.out.find("-> data/ui/units/romans_julii/#roman_hastati.tga (replaces the file there)"),
              std::string::npos) << replaced.out;
    EXPECT_EQ(mod.Get("data/ui/units/romans_julii/#roman_hastati.tga").size(),
              fs::file_size(std::string(QUORIN_EXAMPLES) + "/hastati/unit_julii.tga"));
    ASSERT_EQ(Quorin({"uninstall", "roman_hastati", "--mod", mod.Mod()}, dir).code, 0);
    EXPECT_EQ(mod.Snapshot(), before);
}

TEST_F(CliTest, UninstallRefusesWhatWasChangedSinceUnlessForced)
{
    test::TModFolder mod;
    ASSERT_EQ(Quorin({"install", Example, "--mod", mod.Mod()}, dir).code, 0);
    mod.Put("data/models_unit/textures/hastati_julii.tga.dds", "repainted");
    test::TSnapshot edited = mod.Snapshot();

    TRun refused = Quorin({"uninstall", "roman_hastati", "--mod", mod.Mod()}, dir);
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.err, "Cannot uninstall roman_hastati from " + mod.Mod() + ", changed since it was installed:\n"
                           "  data/models_unit/textures/hastati_julii.tga.dds was changed since it was installed\n"
                           "Nothing was changed. Use --force to uninstall it anyway.\n");
    EXPECT_EQ(mod.Snapshot(), edited);

    TRun forced = Quorin({"uninstall", "roman_hastati", "--mod", mod.Mod(), "--force"}, dir);
    EXPECT_EQ(forced.code, 0) << forced.err;
    EXPECT_NE(forced.err.find("warning: data/models_unit/textures/hastati_julii.tga.dds was changed"), std::string::npos);
    EXPECT_EQ(mod.Snapshot(), test::TModFolder().Snapshot());
}

TEST_F(CliTest, InstallFailuresAndUsage)
{
    test::TModFolder mod;
    fs::create_directory(dir.Path() / "empty");
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string errorPart;
    };
    const Case cases[] = {
        {{"install", Example}, 2, "--mod is required"},
        {{"uninstall", "roman_hastati"}, 2, "--mod is required"},
        {{"install", "--mod", mod.Mod()}, 2, "unit is required"},
        {{"install", Example, "--mod", dir.File("empty")}, 1,
         dir.File("empty") + " holds no data folder: give the mod's root folder, the one with data/ in it\n"},
        {{"install", dir.File("none.quorin"), "--mod", mod.Mod()}, 1, "Cannot open file " + dir.File("none.quorin")},
        {{"uninstall", "roman_hastati", "--mod", mod.Mod()}, 1,
         "roman_hastati is not installed in " + mod.Mod() + ": there is no quorin/installed/roman_hastati.toml\n"},
    };
    test::TSnapshot before = mod.Snapshot();
    for (const auto& c : cases) {
        TRun run = Quorin(c.args, dir);
        EXPECT_EQ(run.code, c.code) << run.err;
        EXPECT_NE(run.err.find(c.errorPart), std::string::npos) << run.err;
    }
    EXPECT_EQ(mod.Snapshot(), before);
}

struct TPngHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int colourType = -1; // 2 RGB, 3 palette, 6 RGBA
    bool alpha = false;  // an alpha channel or a tRNS chunk
};

TPngHeader ReadPngHeader(const std::string& path)
{
    Bytes png = test::ReadFile(path);
    TPngHeader header;
    if (png.size() < 26 || png[12] != 'I' || png[13] != 'H' || png[14] != 'D' || png[15] != 'R')
        return header;
    auto be32 = [&](std::size_t at) {
        return std::uint32_t{png[at]} << 24 | std::uint32_t{png[at + 1]} << 16 | std::uint32_t{png[at + 2]} << 8 | png[at + 3];
    };
    header.width = be32(16);
    header.height = be32(20);
    header.colourType = png[25];
    static constexpr char Trns[] = "tRNS";
    header.alpha = header.colourType == 4 || header.colourType == 6 ||
                   std::search(png.begin(), png.end(), Trns, Trns + 4) != png.end();
    return header;
}

TEST_F(CliTest, PicturesBecomePngWithAlphaOnlyWhereTheFileHasIt)
{
    const std::string folder = std::string(QUORIN_EXAMPLES) + "/hastati/";
    struct Case {
        std::string input;
        std::uint32_t width, height;
        bool alpha;
    };
    const Case cases[] = {
        {folder + "info_julii.tga", 160, 210, true},   // 32-bit TGA
        {folder + "hastati_julii.dds", 64, 64, false}, // DXT1 without three-colour blocks
    };
    for (const auto& c : cases) {
        auto output = dir.File("out.png");
        TRun run = Quorin({"picture", c.input, output}, dir);
        ASSERT_EQ(run.code, 0) << run.err;
        TPngHeader header = ReadPngHeader(output);
        EXPECT_EQ(header.width, c.width) << c.input;
        EXPECT_EQ(header.height, c.height) << c.input;
        EXPECT_EQ(header.alpha, c.alpha) << c.input;
    }
    test::WriteFile(dir.File("broken.tga"), Bytes{0, 1, 2});
    TRun broken = Quorin({"picture", dir.File("broken.tga"), dir.File("b.png")}, dir);
    EXPECT_EQ(broken.code, 1);
    EXPECT_EQ(broken.err, dir.File("broken.tga") + ": ColorMapped TGA unsupported\n");
    EXPECT_FALSE(fs::exists(dir.Path() / "b.png"));
}

} // namespace
} // namespace quorin
