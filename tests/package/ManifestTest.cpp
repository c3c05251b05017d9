// A sheet saved as a manifest and read back: every value returns, and file
// paths are written relative to the manifest where they lie beside it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "package/Manifest.h"
#include "tests/support/TestSupport.h"

namespace quorin {
namespace {

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A path as a TOML string holds it: Windows' backslashes doubled.
std::string TomlEscaped(const std::string& path)
{
    std::string escaped;
    for (char c : path)
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return escaped;
}

TEST(ManifestTest, ASavedSheetReadsBackWithEveryValue)
{
    test::TempDir dir;
    std::filesystem::create_directories(dir.Path() / "unit" / "cards");
    test::TempDir elsewhere;
    const std::string folder = dir.File("unit");
    auto in = [&](const std::string& name) { return dir.File("unit/" + name); };
    TUnitSheet sheet;
    sheet.UnitName = "Гастаты \"первые\"";
    sheet.SourceMod = "RTR";
    sheet.UnitAuthor = "";
    sheet.PackAuthor = "автор";
    sheet.UnitVersion = "1.0";
    sheet.Comment = " пробелы вокруг ";
    sheet.GameVersion = 3;
    sheet.ModelName = "roman_hastati";
    sheet.ModelFile = in("model.cas");
    sheet.TextureRows = {{"romans_julii", in("julii.dds")}, {"", elsewhere.File("other.dds")}};
    sheet.Skeletons = "fs_swordsman, fs_spearman";
    sheet.CustomSkeletons = true;
    sheet.ModelBattleLines = {"type roman_hastati", "", "\tskeleton fs_swordsman"};
    sheet.UnitDescrLines = {"type roman hastati"};
    sheet.UnitTextLines = {"{roman_hastati}Гастаты", "\\"};
    sheet.UiCardRows = {{"romans_julii", in("cards/info.tga"), in("cards/unit.tga")},
                        {"", in("cards/half.tga"), std::nullopt}};
    const std::string manifest = in("unit.toml");

    SaveManifest(sheet, manifest);
    const std::string text = ReadText(manifest);
    EXPECT_NE(text.find("model_file = \"model.cas\""), std::string::npos) << text;
    EXPECT_NE(text.find("info = \"cards/info.tga\""), std::string::npos) << text;
    EXPECT_NE(text.find(TomlEscaped(elsewhere.File("other.dds"))), std::string::npos) << "outside the folder: absolute";

    const TUnitSheet back = LoadManifest(manifest);
    EXPECT_EQ(back.UnitName, sheet.UnitName);
    EXPECT_EQ(back.SourceMod, sheet.SourceMod);
    EXPECT_EQ(back.UnitAuthor, sheet.UnitAuthor);
    EXPECT_EQ(back.PackAuthor, sheet.PackAuthor);
    EXPECT_EQ(back.UnitVersion, sheet.UnitVersion);
    EXPECT_EQ(back.Comment, sheet.Comment);
    EXPECT_EQ(back.GameVersion, sheet.GameVersion);
    EXPECT_EQ(back.ModelName, sheet.ModelName);
    EXPECT_EQ(back.ModelFile, sheet.ModelFile);
    ASSERT_EQ(back.TextureRows.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(back.TextureRows[i].Faction, sheet.TextureRows[i].Faction);
        EXPECT_EQ(back.TextureRows[i].TextureFile, sheet.TextureRows[i].TextureFile);
    }
    EXPECT_EQ(back.Skeletons, sheet.Skeletons);
    EXPECT_EQ(back.CustomSkeletons, sheet.CustomSkeletons);
    EXPECT_EQ(back.ModelBattleLines, sheet.ModelBattleLines);
    EXPECT_EQ(back.UnitDescrLines, sheet.UnitDescrLines);
    EXPECT_EQ(back.UnitTextLines, sheet.UnitTextLines);
    ASSERT_EQ(back.UiCardRows.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(back.UiCardRows[i].Faction, sheet.UiCardRows[i].Faction);
        EXPECT_EQ(back.UiCardRows[i].InfoCardFile, sheet.UiCardRows[i].InfoCardFile);
        EXPECT_EQ(back.UiCardRows[i].UnitCardFile, sheet.UiCardRows[i].UnitCardFile);
    }
}

} // namespace
} // namespace quorin
