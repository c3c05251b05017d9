// A whole mod checked, and units taken out of it, each beside its yardstick
// in the same run: reading once every file the check reads, whole, and
// copying the unit's files. The goals are at most twice each.
//   QUORIN_BENCH_MOD=DIR [QUORIN_BENCH_UNITS=TYPE,TYPE...] bench_mod
// Without unit types, the first unit the mod has whole is taken.

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
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

// The plain way to read a file whole: open, size, one read into a buffer
// kept between files, close.
std::size_t ReadWhole(const std::string& path, std::vector<char>& buffer)
{
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (file < 0 || ::fstat(file, &status) != 0)
        throw std::runtime_error("Cannot read " + path);
    const auto size = static_cast<std::size_t>(status.st_size);
    if (buffer.size() < size)
        buffer.resize(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(file, buffer.data() + done, size - done);
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    ::close(file);
    return done;
}

std::vector<std::string> Listed(const std::vector<quorin::TCardPlace>& places, std::string quorin::TCardPlace::*file)
{
    std::vector<std::string> paths;
    for (const quorin::TCardPlace& place : places)
        paths.push_back(place.*file);
    return paths;
}

// The files the check reads: the data files, every model a model block
// names, the first of each texture line's places that the mod has, and each
// owner's pair of cards where the mod has both; each once.
std::vector<std::string> NamedFiles(const quorin::TModFolder& mod)
{
    using namespace quorin;
    const TModData data(mod);
    std::vector<std::string> named = {"data/descr_model_battle.txt", "data/export_descr_unit.txt",
                                      "data/text/export_units.txt"};
    auto add = [&](const std::optional<std::string>& found) {
        if (found)
            named.push_back(*found);
    };
    for (const TModelBlock& model : data.Models) {
        for (const std::string& file : model.Models)
            named.push_back(PathInMod(file));
        for (const TModTexture& texture : model.Textures)
            add(mod.FindFirst(TexturePlaces(texture.Path)));
    }
    for (const TUnitBlock& unit : data.Units)
        for (const std::string& owner : unit.Dictionary.empty() ? std::vector<std::string>() : unit.Owners) {
            const std::vector<TCardPlace> places = CardPlaces(unit, owner);
            const auto info = mod.FindFirst(Listed(places, &TCardPlace::Info));
            const auto card = mod.FindFirst(Listed(places, &TCardPlace::Unit));
            if (info && card) // else the check reads neither
                named.insert(named.end(), {*info, *card});
        }
    std::vector<std::string> files;
    for (const std::string& name : named)
        if (auto found = mod.Find(name); found && std::find(files.begin(), files.end(), mod.PathOf(*found)) == files.end())
            files.push_back(mod.PathOf(*found));
    return files;
}

void BM_ReadNamedFiles(benchmark::State& state)
{
    const std::vector<std::string> files = NamedFiles(quorin::TModFolder(ModRoot()));
    std::vector<char> buffer;
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const std::string& file : files)
            bytes += ReadWhole(file, buffer);
        benchmark::DoNotOptimize(buffer.data());
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

std::vector<std::string> UnitTypes()
{
    if (const char* types = std::getenv("QUORIN_BENCH_UNITS")) {
        std::vector<std::string> listed;
        std::string_view rest = types;
        while (!rest.empty()) {
            const std::size_t comma = std::min(rest.find(','), rest.size());
            if (comma > 0)
                listed.emplace_back(rest.substr(0, comma));
            rest.remove_prefix(std::min(comma + 1, rest.size()));
        }
        return listed;
    }
    const fs::path out = Scratch() / "probe";
    try {
        for (const quorin::TUnitListing& unit : quorin::ListUnits(ModRoot())) {
            fs::remove_all(out);
            if (quorin::ExtractUnit(ModRoot(), unit.Type, out.string()).Gaps.empty())
                return {unit.Type};
        }
    } catch (const quorin::EExtractError& e) {
        std::fprintf(stderr, "No unit to take out: %s\n", e.Message().c_str());
    }
    return {};
}

void ExtractUnit(benchmark::State& state, const std::string& type)
{
    const fs::path out = Scratch() / "extract";
    std::size_t files = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(out);
        state.ResumeTiming();
        files = quorin::ExtractUnit(ModRoot(), type, out.string()).Files.size();
    }
    state.counters["files"] = static_cast<double>(files);
}

// The unit's files copied into a new folder tree, as the extraction lays them out.
void CopyUnitFiles(benchmark::State& state, const std::string& type)
{
    const quorin::TModFolder mod(ModRoot());
    const fs::path probe = Scratch() / "probe-copy", out = Scratch() / "copy";
    fs::remove_all(probe);
    std::vector<std::pair<std::string, fs::path>> copies;
    for (const std::string& file : quorin::ExtractUnit(ModRoot(), type, probe.string()).Files) {
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
template <typename TBenchmark> void Timed(TBenchmark* benchmark)
{
    benchmark->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (!std::getenv("QUORIN_BENCH_MOD")) {
        std::fprintf(stderr, "QUORIN_BENCH_MOD names no mod: set it to a mod's root folder\n");
        return 1;
    }
    const std::vector<std::string> units = UnitTypes();
    Timed(benchmark::RegisterBenchmark("BM_ReadNamedFiles", BM_ReadNamedFiles));
    Timed(benchmark::RegisterBenchmark("BM_CheckMod", BM_CheckMod));
    for (const std::string& unit : units) {
        Timed(benchmark::RegisterBenchmark(("BM_CopyUnitFiles/" + unit).c_str(), CopyUnitFiles, unit));
        Timed(benchmark::RegisterBenchmark(("BM_ExtractUnit/" + unit).c_str(), ExtractUnit, unit));
    }
    quorin::bench::TTimesReporter reporter(true);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto read = reporter.Time("BM_ReadNamedFiles"), check = reporter.Time("BM_CheckMod");
    if (read && check)
        std::printf("\ncheck --mod / reading its files: %.2f (goal: at most 2)\n", *check / *read);
    for (const std::string& unit : units) {
        const auto copy = reporter.Time("BM_CopyUnitFiles/" + unit), extract = reporter.Time("BM_ExtractUnit/" + unit);
        if (copy && extract)
            std::printf("extract %s / copying its files: %.2f (goal: at most 2)\n", unit.c_str(), *extract / *copy);
    }
    std::error_code error;
    fs::remove_all(Scratch(), error);
    benchmark::Shutdown();
}
