// quorin extract and quorin check --mod on small mods made here: units that
// share a model, a mercenary, a model with two levels of detail, odd case in
// file names and paths with "\" or through the game's folder.
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "gamedata/DataFile.h"
#include "tests/cli/QuorinRun.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

using test::TempDir;

const std::string Example = QUORIN_EXAMPLES "/hastati/";

const std::string ModelBattle =
    "; the models\r\n"
    "type                roman_hastati\r\n"
    "skeleton            fs_swordsman, fs_spearman\r\n"
    "texture             romans_julii, data\\models_unit\\textures\\Hastati_Julii.tga\r\n"
    "texture             romans_brutii, mods/moda/data/models_unit/textures/hastati_brutii.tga\r\n"
    "model_flexi         data/models_unit/Hastati_High.cas, 15\r\n"
    "model_flexi         data/models_unit/hastati_low.cas, max\r\n"
    "\r\n"
    "type                merc_hoplite\r\n"
    "skeleton            fs_spearman\r\n"
    "texture             merc, data/models_unit/textures/Hastati_Julii.tga\r\n"
    "model_flexi         data/models_unit/hoplite.cas, max\r\n";

const std::string UnitDescr = "type             roman hastati\r\n"
                              "dictionary       roman_hastati      ; Hastati\r\n"
                              "soldier          roman_hastati, 40, 0, 1\r\n"
                              "ownership        romans_julii, romans_brutii\r\n"
                              "\r\n"
                              "type             roman principes\r\n"
                              "dictionary       roman_principes\r\n"
                              "soldier          Roman_Hastati, 40, 0, 1\r\n"
                              "ownership        romans_julii\r\n"
                              "\r\n"
                              "type             merc hoplites\r\n"
                              "dictionary       merc_hoplites\r\n"
                              "soldier          merc_hoplite, 30, 0, 1\r\n"
                              "attributes       sea_faring, mercenary_unit\r\n"
                              "ownership        slave, macedon\r\n";

std::string UnitTexts(const std::vector<std::string>& dictionaries)
{
    std::string text;
    for (const std::string& name : dictionaries)
        text += "{" + name + "}" + name + "\r\n{" + name + "_descr}Long\r\n{" + name + "_descr_short}Short\r\n";
    return EncodeDataFile({TDataFileKind::UnitText, text, "\r\n"});
}

// The mod's files by their paths below its root, as the disk spells them.
std::map<std::string, std::string> SourceFiles()
{
    return {
        {"data/models_unit/Hastati_High.cas", "hastati.cas"},
        {"data/models_unit/hastati_low.cas", "hastati.cas"},
        {"data/models_unit/hoplite.cas", "hastati.cas"},
        {"data/models_unit/textures/hastati_julii.TGA.dds", "hastati_julii.dds"},
        {"data/models_unit/textures/hastati_brutii.tga", "hastati_brutii.dds"},
        {"data/ui/unit_info/Romans_Julii/roman_hastati_info.tga", "info_julii.tga"},
        {"data/ui/units/romans_julii/#roman_hastati.tga", "unit_julii.tga"},
        {"data/ui/unit_info/romans_brutii/roman_hastati_info.tga", "info_brutii.tga"},
        {"data/ui/units/romans_brutii/#ROMAN_HASTATI.tga", "unit_brutii.tga"},
        {"data/ui/unit_info/Romans_Julii/roman_principes_info.tga", "info_brutii.tga"},
        {"data/ui/units/romans_julii/#roman_principes.tga", "unit_brutii.tga"},
        {"data/ui/unit_info/merc/merc_hoplites_info.tga", "info_julii.tga"},
        {"data/ui/units/mercs/#merc_hoplites.tga", "unit_julii.tga"},
    };
}

void MakeMod(const std::string& root, const std::string& modelBattle, const std::string& unitDescr,
             const std::string& texts, const std::map<std::string, std::string>& files)
{
    for (const auto& [path, example] : files) {
        std::filesystem::create_directories(test::Utf8Path(root + "/" + path).parent_path());
        test::WriteFile(root + "/" + path, test::ReadFile(Example + example));
    }
    std::filesystem::create_directories(test::Utf8Path(root + "/data/text"));
    test::WriteFile(root + "/data/descr_model_battle.txt", modelBattle);
    test::WriteFile(root + "/data/export_descr_unit.txt", unitDescr);
    test::WriteFile(root + "/data/text/export_units.txt", texts);
}

void MakeSourceMod(const std::string& root)
{
    MakeMod(root, ModelBattle, UnitDescr, UnitTexts({"roman_hastati", "roman_principes", "merc_hoplites"}),
            SourceFiles());
}

nlohmann::json Findings(const test::TQuorinRun& run) { return nlohmann::json::parse(run.out)["findings"]; }

// The codes of the errors and warnings, but of the blocks passed over.
std::multiset<std::string> Codes(const nlohmann::json& findings, const std::vector<std::string>& over = {})
{
    std::multiset<std::string> codes;
    for (const auto& finding : findings)
        if (finding["severity"] != "note" &&
            std::find(over.begin(), over.end(), finding.value("block", "")) == over.end())
            codes.insert(finding["code"].get<std::string>());
    return codes;
}

TEST(ModCliTest, ExtractedUnitsGoIntoAnotherModWithTheirFilesByteForByte)
{
    TempDir dir;
    const std::string source = dir.File("moda"), target = dir.File("modb");
    MakeSourceMod(source);
    MakeMod(target, "type other\r\nmodel_flexi data/o.cas, max\r\n", "type other\r\n", UnitTexts({"other"}), {});

    const auto list = test::RunQuorin({"extract", "--mod", source, "--list"}, dir);
    ASSERT_EQ(list.code, 0) << list.err;
    EXPECT_NE(list.out.find("merc hoplites\tmerc_hoplites\tmerc_hoplites\tmerc_hoplite\tdata/models_unit/hoplite.cas"),
              std::string::npos)
        << list.out;

    // The second unit of a shared model finds its block in the way, with the same lines.
    const std::vector<std::pair<std::string, bool>> units = {
        {"roman hastati", false}, {"roman principes", true}, {"merc hoplites", false}};
    for (std::size_t i = 0; i < units.size(); ++i) {
        const std::string out = dir.File("unit" + std::to_string(i)), package = out + ".quorin";
        const auto extract = test::RunQuorin({"extract", units[i].first, "--mod", source, "-o", out}, dir);
        ASSERT_EQ(extract.code, 0) << extract.err;
        EXPECT_EQ(extract.err, "") << units[i].first;
        // A mercenary's one row of cards in merc and mercs serves every owner.
        const auto check = test::RunQuorin({"check", out + "/unit.toml", "--json"}, dir);
        EXPECT_EQ(Codes(Findings(check)), std::multiset<std::string>()) << check.out;
        const auto build = test::RunQuorin({"build", out + "/unit.toml", "-o", package}, dir);
        ASSERT_EQ(build.code, 0) << build.err;
        std::vector<std::string> install = {"install", package, "--mod", target};
        if (units[i].second)
            install.push_back("--replace");
        const auto installed = test::RunQuorin(install, dir);
        ASSERT_EQ(installed.code, 0) << installed.out << installed.err;
    }
    // Where the model block's lines send each file, from the original. On
    // Windows, where the tests also run, one folder cannot be in two cases.
    const std::map<std::string, std::string> placed = {
        {"data/models_unit/Hastati_High.cas", "data/models_unit/Hastati_High.cas"},
        {"data/models_unit/textures/Hastati_Julii.tga.dds", "data/models_unit/textures/hastati_julii.TGA.dds"},
        {"data/models_unit/textures/hastati_brutii.tga.dds", "data/models_unit/textures/hastati_brutii.tga"},
        {"data/models_unit/hoplite.cas", "data/models_unit/hoplite.cas"},
        {"data/ui/unit_info/romans_julii/roman_hastati_info.tga",
         "data/ui/unit_info/Romans_Julii/roman_hastati_info.tga"},
        {"data/ui/units/romans_brutii/#roman_hastati.tga", "data/ui/units/romans_brutii/#ROMAN_HASTATI.tga"},
        {"data/ui/units/romans_julii/#roman_principes.tga", "data/ui/units/romans_julii/#roman_principes.tga"},
        {"data/ui/unit_info/merc/merc_hoplites_info.tga", "data/ui/unit_info/merc/merc_hoplites_info.tga"},
        {"data/ui/units/mercs/#merc_hoplites.tga", "data/ui/units/mercs/#merc_hoplites.tga"},
    };
    for (const auto& [to, from] : placed)
        EXPECT_EQ(test::ReadFile(target + "/" + to), test::ReadFile(source + "/" + from)) << to;

    // Whole but for the less detailed model, which a package does not hold.
    const auto check = test::RunQuorin({"check", "--mod", target, "--json"}, dir);
    EXPECT_EQ(Codes(Findings(check), {"unit other", "model other"}), (std::multiset<std::string>{"model-missing"}))
        << check.out;
    EXPECT_NE(check.out.find("data/models_unit/hastati_low.cas"), std::string::npos);
}

TEST(ModCliTest, EachGapIsListedOnceAndTheManifestsCheckNamesIt)
{
    TempDir dir;
    const std::string source = dir.File("moda");
    MakeMod(
        source,
        ModelBattle +
            "\r\ntype gappy_model\r\nskeleton fs_spearman\r\ntexture romans_julii, "
            "data/models_unit/textures/Hastati_Julii.tga\r\n"
            "texture gauls, data/models_unit/textures/none.tga\r\nmodel_flexi data/models_unit/none.cas, max\r\n",
        UnitDescr +
            "\r\ntype gappy\r\ndictionary gappy\r\nsoldier gappy_model, 1, 0, 1\r\nownership romans_julii, gauls\r\n",
        EncodeDataFile({TDataFileKind::UnitText, "{gappy}Gappy\r\n", "\r\n"}), [] {
            auto files = SourceFiles();
            files["data/ui/unit_info/Romans_Julii/gappy_info.tga"] = "info_julii.tga";
            files["data/ui/units/romans_julii/#gappy.tga"] = "unit_julii.tga";
            files["data/ui/unit_info/gauls/gappy_info.tga"] = "info_julii.tga";
            return files;
        }());
    const std::string out = dir.File("gappy");
    const auto extract = test::RunQuorin({"extract", "gappy", "--mod", source, "-o", out}, dir);
    ASSERT_EQ(extract.code, 0) << extract.err;
    EXPECT_EQ(extract.err, "missing: model data/models_unit/none.cas; looked for data/models_unit/none.cas\n"
                           "missing: texture gauls; looked for data/models_unit/textures/none.tga.dds, "
                           "data/models_unit/textures/none.tga\n"
                           "missing: text {gappy_descr}; looked for data/text/export_units.txt\n"
                           "missing: text {gappy_descr_short}; looked for data/text/export_units.txt\n"
                           "missing: #unit card gauls; looked for data/ui/units/gauls/#gappy.tga\n"
                           "5 parts not found; quorin check " +
                               out + "/unit.toml names them too\n");
    const auto check = test::RunQuorin({"check", out + "/unit.toml", "--json"}, dir);
    EXPECT_EQ(check.code, 1);
    EXPECT_EQ(Codes(Findings(check)), (std::multiset<std::string>{"model-missing", "texture-unreadable", "text-key",
                                                                  "text-key", "card-unreadable"}))
        << check.out;
    EXPECT_EQ(test::RunQuorin({"extract", "gappy", "--mod", source, "-o", out}, dir).code, 1)
        << "an existing folder is not written over";
    EXPECT_EQ(test::RunQuorin({"extract", "nobody", "--mod", source, "-o", dir.File("x")}, dir).err,
              "The mod has no unit of type \"nobody\" in data/export_descr_unit.txt\n");
}

TEST(ModCliTest, CheckModNamesEachFaultOnceWithItsBlockAndLine)
{
    TempDir dir;
    const std::string clean = dir.File("clean"), faulty = dir.File("faulty");
    MakeSourceMod(clean);
    const auto cleanCheck = test::RunQuorin({"check", "--mod", clean}, dir);
    EXPECT_EQ(cleanCheck.code, 0) << cleanCheck.out;
    EXPECT_NE(cleanCheck.out.find("3 units, 2 model blocks: 0 errors, 0 warnings"), std::string::npos)
        << cleanCheck.out;

    auto files = SourceFiles();
    files.erase("data/models_unit/textures/hastati_brutii.tga");    // a texture
    files.erase("data/ui/units/romans_julii/#roman_principes.tga"); // a card
    files.erase("data/models_unit/hastati_low.cas");                // a model
    files["data/models_unit/broken.cas"] = "info_julii.tga";        // a model that does not read
    MakeMod(faulty,
            "stray line\r\n" + ModelBattle +
                "\r\ntype broken\r\nskeleton fs_spearman\r\nmodel_flexi data/models_unit/broken.cas, max\r\n",
            UnitDescr + "\r\ntype lost\r\ndictionary roman_hastati\r\nsoldier no_such_model, 1, 0, 1\r\n"
                        "ownership romans_julii\r\n\r\ntype ownerless\r\ndictionary roman_hastati\r\n"
                        "soldier roman_hastati, 1, 0, 1\r\n",
            UnitTexts({"roman_hastati", "roman_principes"}), files);
    const auto check = test::RunQuorin({"check", "--mod", faulty, "--json"}, dir);
    EXPECT_EQ(check.code, 1);
    const auto findings = Findings(check);
    EXPECT_EQ(Codes(findings), (std::multiset<std::string>{"data-file", "model-missing", "texture-unreadable",
                                                           "model-unreadable", "card-unreadable", "descr-soldier",
                                                           "descr-missing-line", "text-key", "text-key", "text-key"}))
        << check.out;
    for (const auto& finding : findings)
        if (finding["code"] == "descr-soldier") {
            EXPECT_EQ(finding["block"], "unit lost");
            EXPECT_EQ(finding["data_file"], "data/export_descr_unit.txt");
            EXPECT_EQ(finding["line"], 17);
        } else if (finding["code"] == "texture-unreadable") {
            EXPECT_EQ(finding["block"], "model roman_hastati");
            EXPECT_EQ(finding["data_file"], "data/descr_model_battle.txt");
            EXPECT_EQ(finding["line"], 3);
        }
}

TEST(ModCliTest, ExtractAndCheckModRefuseWhatTheyCannotDo)
{
    TempDir dir;
    EXPECT_EQ(test::RunQuorin({"extract", "--mod", dir.File("nomod"), "--list"}, dir).err,
              "The mod has no data/export_descr_unit.txt\n");
    EXPECT_EQ(test::RunQuorin({"extract", "x", "--mod", dir.File("nomod")}, dir).code, 2) << "no -o";
    const auto check = test::RunQuorin({"check", "--mod", dir.File("nomod")}, dir);
    EXPECT_EQ(check.code, 1);
    EXPECT_NE(check.out.find("data/export_descr_unit.txt: error: data/export_descr_unit.txt: The mod has no"),
              std::string::npos)
        << check.out;

    // A data file the mod lacks is one finding, not one for each unit that needs it.
    std::filesystem::create_directories(dir.Path() / "units" / "data");
    test::WriteFile(dir.File("units/data/export_descr_unit.txt"),
                    std::string("type a\r\ndictionary a\r\nsoldier m, 1, 0, 1\r\nownership\r\n"));
    const auto units = test::RunQuorin({"check", "--mod", dir.File("units"), "--json"}, dir);
    EXPECT_EQ(Codes(Findings(units)), (std::multiset<std::string>{"data-file", "data-file"})) << units.out;
}

} // namespace
} // namespace quorin
