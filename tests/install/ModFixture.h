#pragma once
// A small mod folder made on disk for the install tests: the three data files
// in the game's encodings with two units already in them, and a few cards.

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "base/FileSystem.h"
#include "install/Install.h"
#include "tests/install/UnitFixture.h"
#include "tests/support/TestSupport.h"

namespace quorin::test {

namespace fs = std::filesystem;

// The bytes of ASCII or BMP text as UTF-16LE, with a byte-order mark.
inline std::string Utf16(std::u16string_view text)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

inline const std::string ModelBattleText = ";\tmodel descriptions\r\n"
                                           "\r\n"
                                           "type\t\t\t\tbarb_peasant\r\n"
                                           "skeleton\t\t\tfs_dagger\r\n"
                                           "model_flexi\t\t\tdata/models_unit/barb_peasant.cas, max\r\n"
                                           "\r\n"
                                           "type\t\t\t\tgreek_hoplite\r\n"
                                           "skeleton\t\t\tfs_spearman\r\n"
                                           "texture\t\t\t\tgreek_cities, data/models_unit/textures/greek_hoplite.tga\r\n"
                                           "model_flexi\t\t\tdata/models_unit/greek_hoplite.cas, max\r\n";

// Stored with LF line ends and blank lines of one space, as some mods are.
inline const std::string UnitDescrText = "; units\n"
                                         "\n"
                                         "type             barb peasant\n"
                                         "dictionary       barb_peasant      ; Peasants\n"
                                         "category         infantry\n"
                                         " \n"
                                         "type             greek hoplite\n"
                                         "dictionary       greek_hoplite\n"
                                         "category         infantry\n";

// UTF-16LE with CR LF and no line end after the last line, as the game's own.
inline const std::u16string UnitTextText = u"\u00AC unit names\r\n"
                                           u"{barb_peasant}Peasants\r\n"
                                           u"{barb_peasant_descr}Poor farmers.\r\n"
                                           u"{greek_hoplite}Hoplites\r\n"
                                           u"{greek_hoplite_descr}Citizen spearmen.\\n\r\n"
                                           u"Second line of the text.";

using TSnapshot = std::map<std::string, std::string>;

// One mod folder in a fresh temporary folder, removed with it.
class TModFolder {
public:
    TModFolder()
    {
        fs::create_directories(dir.Path() / "mod");
        Put("data/descr_model_battle.txt", ModelBattleText);
        Put("data/export_descr_unit.txt", UnitDescrText);
        Put("data/text/export_units.txt", Utf16(UnitTextText));
        Put("data/models_unit/greek_hoplite.cas", "hoplite model");
        Put("data/models_unit/textures/greek_hoplite.tga.dds", "hoplite texture");
        Put("data/ui/unit_info/romans_julii/greek_hoplite_info.tga", "hoplite info card");
        Put("data/ui/units/romans_julii/#greek_hoplite.tga", "hoplite unit card");
    }

    std::string Mod() const { return (dir.Path() / "mod").string(); }
    fs::path At(const std::string& relative) const { return dir.Path() / "mod" / relative; }

    void Put(const std::string& relative, const std::string& bytes) const
    {
        fs::create_directories(At(relative).parent_path());
        WriteFile(At(relative).string(), bytes);
    }
    void Put(const std::string& relative, const TBytes& bytes) const
    {
        Put(relative, std::string(bytes.begin(), bytes.end()));
    }
    std::string Get(const std::string& relative) const
    {
        auto bytes = ReadFile(At(relative).string());
        return std::string(bytes.begin(), bytes.end());
    }

    // Every file with its bytes and every folder, below the mod's root.
    TSnapshot Snapshot() const
    {
        TSnapshot all;
        for (const auto& entry : fs::recursive_directory_iterator(dir.Path() / "mod")) {
            auto relative = fs::relative(entry.path(), dir.Path() / "mod").generic_string();
            all[relative] = entry.is_directory() ? "(folder)" : Get(relative);
        }
        return all;
    }

    TInstallPlan Install(bool replace = false, const TTransactionHooks& hooks = {})
    {
        TInstallPlan plan = PlanInstall(unit, Mod(), replace);
        CommitInstall(plan, hooks);
        return plan;
    }
    void Uninstall(const std::string& dictionary = "roman_hastati", bool force = false,
                   const TTransactionHooks& hooks = {})
    {
        TUninstallPlan plan = PlanUninstall(Mod(), dictionary, force);
        CommitUninstall(plan, hooks);
    }

    TempDir dir;
    TPackage unit = HastatiUnit();
};

class ModTest : public ::testing::Test, public TModFolder {};

// The message of what call throws as EInstallError, or as EDataFileError
// for a mod's data file, or "(no failure)".
inline std::string FailureOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const EInstallError& e) {
        return e.Message();
    } catch (const EDataFileError& e) {
        return e.Message();
    }
    return "(no failure)";
}

inline std::optional<std::string> At(const TSnapshot& snapshot, const std::string& path)
{
    auto found = snapshot.find(path);
    return found == snapshot.end() ? std::nullopt : std::optional<std::string>(found->second);
}

inline bool IsChangeFolder(const std::string& path)
{
    return path == "quorin" || path == "quorin/journal.toml" || path == "quorin/lock" ||
           path.starts_with("quorin/change");
}

// Every file and folder of the mod is as before or as after, whole; only the
// change's own folder may hold more.
inline void ExpectEveryFileWhole(const TSnapshot& now, const TSnapshot& before, const TSnapshot& after,
                          const std::string& label)
{
    std::set<std::string> paths;
    for (const auto* snapshot : {&now, &before, &after})
        for (const auto& [path, bytes] : *snapshot)
            paths.insert(path);
    for (const auto& path : paths) {
        if (IsChangeFolder(path))
            continue;
        auto state = At(now, path);
        EXPECT_TRUE(state == At(before, path) || state == At(after, path))
            << label << ": " << path << (state ? " is neither as before nor as after" : " is missing");
    }
}

} // namespace quorin::test
