#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "QuorinRun.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;

const std::string ExampleFolder = std::string(QUORIN_EXAMPLES) + "/hastati";

// The example unit copied into a scratch folder, so a test can spoil it.
class CheckCliTest : public ::testing::Test {
protected:
    test::TempDir dir;

    void SetUp() override
    {
        for (const auto& entry : fs::directory_iterator(ExampleFolder))
            fs::copy(entry.path(), dir.Path() / entry.path().filename());
    }

    test::TQuorinRun Quorin(const std::vector<std::string>& args) { return test::RunQuorin(args, dir); }

    // The unit whose first card row lacks its #unit card and whose second
    // texture has no mipmaps.
    std::string SpoiledUnit()
    {
        std::string text;
        const auto bytes = test::ReadFile(dir.File("unit.toml"));
        text.assign(bytes.begin(), bytes.end());
        text.replace(text.find("unit = \"unit_julii.tga\"\n"), 24, "");
        test::WriteFile(dir.File("bare.dds"), test::ReadFile(dir.File("hastati_brutii.dds"))); // header says 7 levels
        auto dds = test::ReadFile(dir.File("bare.dds"));
        dds.resize(128 + 16 * 16 * 8); // the top level only
        dds[28] = 1;
        test::WriteFile(dir.File("bare.dds"), dds);
        text.replace(text.find("hastati_brutii.dds"), 18, "bare.dds");
        test::WriteFile(dir.File("spoiled.toml"), text);
        return dir.File("spoiled.toml");
    }
};

TEST_F(CheckCliTest, TheExampleUnitChecksClean)
{
    const auto run = Quorin({"check", dir.File("unit.toml")});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, dir.File("hastati.cas") +
                           ": note: The model has 2 triangles, 4 vertices and 3 bones [model-counts]\n"
                           "0 errors, 0 warnings, 1 note\n");

    const auto json = Quorin({"check", "--json", dir.File("unit.toml")});
    ASSERT_EQ(json.code, 0) << json.err;
    const auto findings = nlohmann::json::parse(json.out)["findings"];
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0]["severity"], "note");
    EXPECT_EQ(findings[0]["code"], "model-counts");
    EXPECT_EQ(findings[0]["field"], "model_file");
    EXPECT_EQ(findings[0]["file"], dir.File("hastati.cas"));
    EXPECT_FALSE(findings[0].contains("row"));
}

TEST_F(CheckCliTest, FindingsOfAManifestAndOfItsPackage)
{
    const std::string unit = SpoiledUnit();
    const auto run = Quorin({"check", "--json", unit});
    EXPECT_EQ(run.code, 1) << run.err;
    const auto findings = nlohmann::json::parse(run.out)["findings"];
    ASSERT_EQ(findings.size(), 3u) << run.out;
    EXPECT_EQ(findings[0], nlohmann::json::parse(R"({"severity": "error", "code": "card-missing-unit",
        "field": "card", "message": "Card row 1 has no #unit card: the build stops on it", "row": 1})"));
    EXPECT_EQ(findings[1]["code"], "texture-mipmaps");
    EXPECT_EQ(findings[1]["row"], 2);
    EXPECT_EQ(findings[1]["file"], dir.File("bare.dds"));

    EXPECT_EQ(findings[2]["code"], "model-counts");

    // A package keeps the texture but cannot hold a row without its card.
    ASSERT_EQ(Quorin({"build", dir.File("unit.toml"), "-o", dir.File("good.quorin")}).code, 0);
    test::WriteFile(dir.File("bare.toml"), std::string("unit_name = \"x\"\nmodel_file = \"hastati.cas\"\n"
                                                        "[[texture]]\nfaction = \"romans_julii\"\nfile = \"bare.dds\"\n"));
    const auto built = Quorin({"build", dir.File("bare.toml"), "-o", dir.File("bare.quorin")});
    ASSERT_EQ(built.code, 0) << built.err;
    const auto package = Quorin({"check", dir.File("bare.quorin")});
    EXPECT_EQ(package.code, 0) << package.err;
    EXPECT_NE(package.out.find("texture_01_romans_julii.dds: warning: The texture of row 1 has 1 of its 7 mipmap "
                               "levels: distant soldiers will shimmer; quorin picture texture_01_romans_julii.dds "
                               "texture_01_romans_julii.dds adds them [texture-mipmaps]\n"),
              std::string::npos)
        << package.out;
    EXPECT_NE(package.out.find("0 errors, "), std::string::npos) << package.out;

    // The remedy named works: the texture gets its mipmaps and checks clean.
    const auto mended = Quorin({"picture", dir.File("bare.dds"), dir.File("bare.dds")});
    ASSERT_EQ(mended.code, 0) << mended.err;
    const auto again = nlohmann::json::parse(Quorin({"check", "--json", unit}).out)["findings"];
    EXPECT_EQ(again.size(), 2u) << again;
}

TEST_F(CheckCliTest, BuildWarnsAndStrictRefuses)
{
    const std::string unit = SpoiledUnit();
    // Without the #unit card the build itself stops; with it, only the texture is wrong.
    test::WriteFile(dir.File("warned.toml"), std::string("model_file = \"hastati.cas\"\n[[texture]]\nfile = \"bare.dds\"\n"));
    const auto warned = Quorin({"build", dir.File("warned.toml"), "-o", dir.File("w.quorin")});
    EXPECT_EQ(warned.code, 0);
    EXPECT_NE(warned.err.find(dir.File("bare.dds") + ": warning: The texture of row 1 has 1 of its 7"), std::string::npos)
        << warned.err;
    EXPECT_EQ(warned.err.find("note:"), std::string::npos) << "notes stay out of a build's output";
    EXPECT_TRUE(fs::exists(dir.File("w.quorin")));

    const auto strict = Quorin({"build", "--strict", unit, "-o", dir.File("s.quorin")});
    EXPECT_EQ(strict.code, 1);
    EXPECT_NE(strict.err.find("error: Card row 1 has no #unit card"), std::string::npos) << strict.err;
    EXPECT_NE(strict.err.find("Not built: the unit has errors and --strict was given\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.File("s.quorin")));

    const auto lenient = Quorin({"build", unit, "-o", dir.File("l.quorin")});
    EXPECT_EQ(lenient.code, 1) << "the build stops on the row, as the checks said";
    EXPECT_NE(lenient.err.find("List index out of bounds (1)"), std::string::npos) << lenient.err;
}

TEST_F(CheckCliTest, FailuresAndUsage)
{
    test::WriteFile(dir.File("junk.quorin"), std::string("not a package"));
    test::WriteFile(dir.File("bad.toml"), std::string("colour = 1\n"));
    const struct {
        std::vector<std::string> Args;
        int Code;
        std::string ErrorPart;
    } cases[] = {
        {{"check"}, 2, "A unit or --mod is required"},
        {{"check", dir.File("junk.quorin")}, 1, "Not a Quorin package"},
        {{"check", dir.File("bad.toml")}, 1, "unknown key \"colour\""},
        {{"check", dir.File("none.toml")}, 1, "Cannot open file " + dir.File("none.toml")},
    };
    for (const auto& c : cases) {
        const auto run = Quorin(c.Args);
        EXPECT_EQ(run.code, c.Code) << c.ErrorPart;
        EXPECT_NE(run.err.find(c.ErrorPart), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

} // namespace
} // namespace quorin
