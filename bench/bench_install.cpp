// Installing a unit into a large mod, against a plain copy of the files that
// an install must read and write: the three data files (export_units.txt of
// 2 MiB, the other two of 1 MiB each) and the unit's own files. The copy reads
// each file whole and writes it to a new file pushed to the device, as the
// install does with each file it writes. Both run in the same process on the
// same mod; the install should take at most twice the copy's time.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <vector>

#include "base/FileLock.h"
#include "install/ChangeJournal.h"
#include "install/Install.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t KiB = 1024;
constexpr std::size_t MiB = 1024 * KiB;

quorin::TBytes Pattern(std::size_t size, int seed)
{
    quorin::TBytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 131 + seed * 7 + (i >> 12)) & 0xFF);
    return bytes;
}

// Entries like the game's own, numbered, up to size bytes of text.
std::string ModelBattle(std::size_t size)
{
    std::string text = ";\tmodel descriptions\r\n\r\n";
    for (int n = 0; text.size() < size; ++n) {
        std::string name = "unit_model_" + std::to_string(n);
        text += "type\t\t\t\t" + name + "\r\nskeleton\t\t\tfs_spearman, fs_swordsman\r\nindiv_range\t\t\t40\r\n"
                "texture\t\t\t\tromans_julii, data/models_unit/textures/" + name + "_julii.tga\r\n"
                "texture\t\t\t\tmacedon, data/models_unit/textures/" + name + "_macedon.tga\r\n"
                "model_flexi_m\t\t\tdata/models_unit/" + name + "_high.cas, 15\r\n"
                "model_flexi\t\t\tdata/models_unit/" + name + "_low.cas, max\r\n"
                "model_sprite\t\t60.0, data/sprites/" + name + "_sprite.spr\r\n"
                "model_tri\t\t\t400, 0.5f, 0.5f, 0.5f\r\n\r\n";
    }
    return text;
}

std::string UnitDescr(std::size_t size)
{
    std::string text = "; units\r\n\r\n";
    for (int n = 0; text.size() < size; ++n) {
        std::string name = "unit " + std::to_string(n);
        text += "type             " + name + "\r\ndictionary       unit_" + std::to_string(n) +
                "      ; Unit\r\ncategory         infantry\r\nclass            heavy\r\nvoice_type       Heavy_1\r\n"
                "soldier          unit_model_" + std::to_string(n) + ", 40, 0, 1\r\n"
                "attributes       sea_faring, hide_forest, can_sap\r\nformation        1, 1, 2, 2, 4, square\r\n"
                "stat_health      1, 0\r\nstat_pri         7, 0, no, 0, 0, melee, simple, piercing, spear, 25 ,1\r\n"
                "stat_pri_armour  5, 5, 5, metal\r\nstat_ground      0, 0, 0, 0\r\nstat_mental      9, normal, trained\r\n"
                "stat_cost        1, 460, 140, 40, 60, 460\r\nownership        romans_julii, macedon\r\n \r\n";
    }
    return text;
}

std::string UnitText(std::size_t bytes)
{
    std::u16string text = u"\u00AC unit names\r\n";
    for (int n = 0; text.size() * 2 < bytes; ++n) {
        std::string key = "unit_" + std::to_string(n);
        std::string line = "{" + key + "}Unit " + std::to_string(n) + "\r\n{" + key +
                           "_descr}A unit of the line, trained and armed as the others of its kind.\r\n";
        text.append(line.begin(), line.end());
    }
    std::string utf16 = "\xFF\xFE";
    for (char16_t unit : text) {
        utf16 += static_cast<char>(unit & 0xFF);
        utf16 += static_cast<char>(unit >> 8);
    }
    return utf16;
}

void Save(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct TMod {
    fs::path root;
    quorin::TPackage unit;
    std::vector<fs::path> files; // what the yardstick copies

    TMod()
    {
        root = fs::temp_directory_path() / ("quorin-bench-install-" + std::to_string(getpid()));
        fs::create_directories(root);
        Save(root / "data/descr_model_battle.txt", ModelBattle(1 * MiB));
        Save(root / "data/export_descr_unit.txt", UnitDescr(1 * MiB));
        Save(root / "data/text/export_units.txt", UnitText(2 * MiB));
        // The folders every mod of the game has.
        for (const char* folder : {"data/models_unit/textures", "data/ui/unit_info/romans_julii",
                                   "data/ui/unit_info/macedon", "data/ui/units/romans_julii", "data/ui/units/macedon"})
            fs::create_directories(root / folder);

        unit.Model = Pattern(512 * KiB, 1);
        unit.TextureRows = {{"romans_julii", Pattern(1 * MiB, 2)}, {"macedon", Pattern(1 * MiB, 3)}};
        unit.UiCardRows = {{"romans_julii", Pattern(40 * KiB, 4), Pattern(10 * KiB, 5)},
                           {"macedon", Pattern(40 * KiB, 6), Pattern(10 * KiB, 7)}};
        unit.ModelBattleLines = {"type bench_unit", "skeleton fs_spearman",
                                 "texture romans_julii, data/models_unit/textures/bench_julii.tga",
                                 "texture macedon, data/models_unit/textures/bench_macedon.tga",
                                 "model_flexi data/models_unit/bench_unit.cas, max"};
        unit.UnitDescrLines = {"type bench unit", "dictionary bench_unit", "category infantry"};
        unit.UnitTextLines = {"{bench_unit}Bench unit", "{bench_unit_descr}A unit made for timing."};

        for (const char* name : {"descr_model_battle.txt", "export_descr_unit.txt", "text/export_units.txt"})
            files.push_back(root / "data" / name);
        auto unitFile = [&](const std::string& name, const quorin::TBytes& bytes) {
            Save(root / "unit" / name, std::string(bytes.begin(), bytes.end()));
            files.push_back(root / "unit" / name);
        };
        unitFile("model.cas", unit.Model);
        for (const auto& row : unit.TextureRows)
            unitFile(row.Faction + ".dds", row.Texture);
        for (const auto& row : unit.UiCardRows) {
            unitFile(row.Faction + "_info.tga", row.InfoCard);
            unitFile(row.Faction + "_unit.tga", row.UnitCard);
        }
    }
    ~TMod() { fs::remove_all(root); }
};

TMod& Mod()
{
    static TMod mod;
    return mod;
}

std::string ReadWhole(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
}

void CopyPushed(const std::string& bytes, const fs::path& target)
{
    std::FILE* out = std::fopen(target.string().c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fflush(out);
    fsync(fileno(out));
    std::fclose(out);
}

void BM_CopyTheFiles(benchmark::State& state)
{
    auto& mod = Mod();
    fs::path scratch = mod.root / "copy";
    fs::create_directories(scratch);
    for (auto _ : state) {
        int n = 0;
        for (const auto& file : mod.files)
            CopyPushed(ReadWhole(file), scratch / std::to_string(n++));
    }
    fs::remove_all(scratch);
}

void BM_Install(benchmark::State& state)
{
    auto& mod = Mod();
    std::string root = mod.root.string();
    for (auto _ : state) {
        quorin::CommitInstall(quorin::PlanInstall(mod.unit, root, false));
        state.PauseTiming();
        auto undo = quorin::PlanUninstall(root, "bench_unit", false);
        quorin::CommitUninstall(undo);
        state.ResumeTiming();
    }
}

// As the command line does it: under the mod's lock.
void BM_InstallLocked(benchmark::State& state)
{
    auto& mod = Mod();
    std::string root = mod.root.string();
    for (auto _ : state) {
        {
            fs::create_directories(mod.root / "quorin");
            auto lock = quorin::TFileLock::TryLock((mod.root / "quorin" / "lock").string());
            quorin::CommitInstall(quorin::PlanInstall(mod.unit, root, false));
        }
        state.PauseTiming();
        auto undo = quorin::PlanUninstall(root, "bench_unit", false);
        quorin::CommitUninstall(undo);
        state.ResumeTiming();
    }
}

struct TStop {};

// The recovery of an install killed before its last replacement, the most
// it has to roll back.
void BM_RecoverAKilledInstall(benchmark::State& state)
{
    auto& mod = Mod();
    std::string root = mod.root.string();
    for (auto _ : state) {
        state.PauseTiming();
        quorin::TTransactionHooks hooks;
        hooks.BeforeOperation = [](std::string_view operation) {
            if (operation == "replace data/text/export_units.txt")
                throw TStop{};
        };
        try {
            quorin::CommitInstall(quorin::PlanInstall(mod.unit, root, false), hooks);
        } catch (const TStop&) {
        }
        state.ResumeTiming();
        quorin::RecoverChange(root);
    }
}

void BM_Uninstall(benchmark::State& state)
{
    auto& mod = Mod();
    std::string root = mod.root.string();
    for (auto _ : state) {
        state.PauseTiming();
        quorin::CommitInstall(quorin::PlanInstall(mod.unit, root, false));
        state.ResumeTiming();
        auto undo = quorin::PlanUninstall(root, "bench_unit", false);
        quorin::CommitUninstall(undo);
    }
}

BENCHMARK(BM_CopyTheFiles)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Install)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_InstallLocked)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RecoverAKilledInstall)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Uninstall)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
