// A whole mod checked, and one unit taken out of it, each beside its
// yardstick in the same run: reading every file the mod's data files name
// once, and copying the unit's files. The goals are at most twice each.
//   QUORIN_BENCH_MOD=DIR [QUORIN_BENCH_UNIT=TYPE] bench_mod
// Without a unit type, the first unit the mod has whole is taken.

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "TimesReporter.h"
#include "check/CheckMod.h"
#include "extract/Extract.h"
#include "gamedata/ModData.h"

namespace {

namespace fs = std::filesystem;

std::string ModRoot() { return std::getenv("QUORIN_BENCH_MOD"); }

fs::path Scratch() { return fs::temp_directory_path() / ("quorin-bench-mod-" + std::to_string(getpid())); }

std::size_t ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes.size();
}

// Every file the data files name that the mod has, each once, and the data files.
std::vector<std::string> NamedFiles(const quorin::TModFolder& mod)
{
    using namespace quorin;
    const TModData data(mod);
    std::vector<std::string> named = {"data/descr_model_battle.txt", "data/export_descr_unit.txt",
                                      "data/text/export_units.txt"};
    for (const TModelBlock& model : data.Models) {
        for (const std::string& file : model.Models)
            named.push_back(PathInMod(file));
        for (const TModTexture& texture : model.Textures)
            if (auto found = mod.FindFirst(TexturePlaces(texture.Path)))
                named.push_back(*found);
    }
    for (const TUnitBlock& unit : data.Units)
        for (const std::string& owner : unit.Owners)
            for (const TCardPlace& place : CardPlaces(unit, owner)) {
                named.push_back(place.Info);
                named.push_back(place.Unit);
            }
    std::vector<std::string> files;
    for (const std::string& name : named)
        if (auto found = mod.Find(name); found && std::find(files.begin(), files.end(), *found) == files.end())
            files.push_back(mod.PathOf(*found));
    return files;
}

void BM_ReadNamedFiles(benchmark::State& state)
{
    const std::vector<std::string> files = NamedFiles(quorin::TModFolder(ModRoot()));
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const std::string& file : files)
            bytes += ReadWhole(file);
    }
    state.counters["files"] = static_cast<double>(files.size());
    state.counters["MiB"] = static_cast<double>(bytes) / (1 << 20);
}

void BM_CheckMod(benchmark::State& state)
{
    std::size_t findings = 0;
    for (auto _ : state)
        findings = quorin::CheckMod(ModRoot()).Findings.size();
    state.counters["findings"] = static_cast<double>(findings);
}

std::string UnitType()
{
    if (const char* type = std::getenv("QUORIN_BENCH_UNIT"))
        return type;
    const fs::path out = Scratch() / "probe";
    for (const quorin::TUnitListing& unit : quorin::ListUnits(ModRoot())) {
        fs::remove_all(out);
        if (quorin::ExtractUnit(ModRoot(), unit.Type, out.string()).Gaps.empty())
            return unit.Type;
    }
    return {};
}

const std::string& Unit()
{
    static const std::string type = UnitType();
    return type;
}

void BM_ExtractUnit(benchmark::State& state)
{
    const fs::path out = Scratch() / "extract";
    std::size_t files = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(out);
        state.ResumeTiming();
        files = quorin::ExtractUnit(ModRoot(), Unit(), out.string()).Files.size();
    }
    state.counters["files"] = static_cast<double>(files);
}

// The unit's files copied into a new folder tree, as the extraction lays them out.
void BM_CopyUnitFiles(benchmark::State& state)
{
    const quorin::TModFolder mod(ModRoot());
    const fs::path probe = Scratch() / "probe-copy", out = Scratch() / "copy";
    fs::remove_all(probe);
    std::vector<std::pair<std::string, fs::path>> copies;
    for (const std::string& file : quorin::ExtractUnit(ModRoot(), Unit(), probe.string()).Files) {
        auto found = mod.Find(file);
        if (!found && file.ends_with(".dds"))
            found = mod.Find(file.substr(0, file.size() - 4));
        copies.emplace_back(mod.PathOf(*found), out / file);
    }
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(out);
        state.ResumeTiming();
        for (const auto& [from, to] : copies) {
            fs::create_directories(to.parent_path());
            fs::copy_file(from, to);
        }
    }
    state.counters["files"] = static_cast<double>(copies.size());
}

// Real time: both sides wait for the disk, and that is what a user waits for.
BENCHMARK(BM_ReadNamedFiles)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_CheckMod)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_CopyUnitFiles)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_ExtractUnit)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (!std::getenv("QUORIN_BENCH_MOD")) {
        std::fprintf(stderr, "QUORIN_BENCH_MOD names no mod: set it to a mod's root folder\n");
        return 1;
    }
    std::printf("unit: %s\n", Unit().c_str());
    quorin::bench::TTimesReporter reporter(true);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto read = reporter.Time("BM_ReadNamedFiles"), check = reporter.Time("BM_CheckMod");
    const auto copy = reporter.Time("BM_CopyUnitFiles"), extract = reporter.Time("BM_ExtractUnit");
    if (read && check)
        std::printf("\ncheck --mod / reading its files: %.2f (goal: at most 2)\n", *check / *read);
    if (copy && extract)
        std::printf("extract / copying its files: %.2f (goal: at most 2)\n", *extract / *copy);
    std::error_code error;
    fs::remove_all(Scratch(), error);
    benchmark::Shutdown();
}
