// Checking a unit against building it, on the same files in one run: a
// 64 MiB battle model, 24 textures of 2048 x 2048 DXT5 with their mipmaps
// and 24 card rows. The checks read headers where a header is enough, so
// the goal is a check in at most a quarter of the build's time.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

#include "TimesReporter.h"
#include "check/CheckUnit.h"
#include "package/Build.h"
#include "tests/support/CasBuilder.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr int Factions = 24;
constexpr std::size_t ModelBytes = 64u << 20;

void Put32(Bytes& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A model of one-bone meshes of 65535 vertices each, up to about 64 MiB.
Bytes LargeModel()
{
    std::mt19937 random(64);
    std::uniform_real_distribution<float> position(-1, 1);
    quorin::test::TCasRecipe recipe;
    recipe.Nodes = {{"Scene Root"}, {"bone_pelvis", 0, {0, 1, 0}}};
    recipe.Materials = {{true, "body", "textures\\unit.tga"}};
    quorin::test::TCasMeshRecipe mesh;
    mesh.Kind = 2;
    for (int v = 0; v < 65535; ++v) {
        mesh.Positions.push_back({position(random), position(random), position(random)});
        mesh.UVs.push_back({0.5f, 0.5f});
        mesh.Bones.push_back(1);
    }
    for (int t = 0; t < 65535; ++t)
        mesh.Triangles.push_back({static_cast<std::uint16_t>(t), static_cast<std::uint16_t>((t + 1) % 65535),
                                  static_cast<std::uint16_t>((t + 2) % 65535)});
    const std::size_t meshBytes = 65535 * (4 + 12 + 12 + 8) + 65535 * 6;
    for (std::size_t i = 0; i * meshBytes < ModelBytes; ++i) {
        mesh.Name = "body_" + std::to_string(i);
        recipe.Meshes.push_back(mesh);
    }
    return quorin::test::BuildCas(recipe).Bytes;
}

// DXT5 with every level down to 1 x 1; the blocks' content does not matter here.
Bytes Texture()
{
    constexpr std::uint32_t side = 2048;
    std::size_t data = 0;
    std::uint32_t levels = 0;
    for (std::uint32_t s = side; s >= 1; s /= 2, ++levels)
        data += std::size_t((s + 3) / 4) * ((s + 3) / 4) * 16;
    Bytes bytes(128 + data, 0x5A);
    std::copy_n("DDS ", 4, bytes.begin());
    Put32(bytes, 4, 124);
    Put32(bytes, 8, 0x1007 | 0x20000 | 0x80000);
    Put32(bytes, 12, side);
    Put32(bytes, 16, side);
    Put32(bytes, 20, side * side);
    Put32(bytes, 28, levels);
    Put32(bytes, 76, 32);
    Put32(bytes, 80, 0x4);
    std::copy_n("DXT5", 4, bytes.begin() + 84);
    Put32(bytes, 108, 0x1000 | 0x400000 | 0x8);
    return bytes;
}

Bytes Card(int width, int height)
{
    Bytes bytes(18, 0);
    bytes[2] = 2;
    bytes[12] = static_cast<std::uint8_t>(width);
    bytes[13] = static_cast<std::uint8_t>(width >> 8);
    bytes[14] = static_cast<std::uint8_t>(height);
    bytes[16] = 32;
    bytes[17] = 0x28;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bytes.insert(bytes.end(), {0x20, 0x40, 0x80, static_cast<std::uint8_t>(x < 2 ? 0 : 255)});
    return bytes;
}

struct TUnit {
    fs::path folder;
    quorin::TUnitSheet sheet;

    TUnit()
    {
        folder = fs::temp_directory_path() / ("quorin-bench-check-" + std::to_string(getpid()));
        fs::create_directories(folder);
        sheet.UnitName = "bench";
        sheet.ModelName = "bench";
        sheet.ModelFile = Write("model.cas", LargeModel());
        const Bytes texture = Texture(), info = Card(160, 210), unit = Card(48, 64);
        for (int i = 0; i < Factions; ++i) {
            const std::string faction = "faction_" + std::to_string(i);
            sheet.TextureRows.push_back({faction, Write(faction + ".dds", texture)});
            sheet.UiCardRows.push_back(
                {faction, Write(faction + "_info.tga", info), Write(faction + "_unit.tga", unit)});
        }
    }
    ~TUnit() { fs::remove_all(folder); }

    std::string Write(const std::string& name, const Bytes& bytes)
    {
        const std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
};

TUnit& Unit()
{
    static TUnit unit;
    return unit;
}

void BM_BuildUnit(benchmark::State& state)
{
    const std::string target = (Unit().folder / "unit.quorin").string();
    for (auto _ : state)
        benchmark::DoNotOptimize(quorin::BuildPackage(Unit().sheet, target));
    fs::remove(target);
}

void BM_CheckUnit(benchmark::State& state)
{
    quorin::TFindings findings;
    for (auto _ : state)
        findings = quorin::CheckUnit(Unit().sheet);
    // The model must have been read to its end, or the figure means nothing.
    const bool modelRead = std::any_of(findings.begin(), findings.end(),
                                       [](const quorin::TFinding& finding) { return finding.Code == "model-counts"; });
    if (!modelRead)
        state.SkipWithError("the model was not read");
    state.counters["findings"] = static_cast<double>(findings.size());
}

// Real time: the build waits for the disk, and that is part of what a user waits for.
BENCHMARK(BM_BuildUnit)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_CheckUnit)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    quorin::bench::TTimesReporter reporter(true);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto build = reporter.Time("BM_BuildUnit"), check = reporter.Time("BM_CheckUnit");
    if (build && check)
        std::printf("\ncheck / build: %.3f (goal: at most 0.25)\n", *check / *build);
    benchmark::Shutdown();
}
