// Reading a battle model (.cas) from memory, side by side with a plain copy
// of the same bytes into a new buffer. The goal: reading costs at most three
// copies. Two models are built here: one of a real unit model's shape and
// size (a 20-bone skeleton with its baked animation, weapons, a body, a
// two-bone cloak; about 55 KB) and one with a large body (about 300 KB).
// QUORIN_BENCH_MODEL=path/to/unit.cas adds a model file of your own, and
// QUORIN_BENCH_MODELS=folder every .cas file in it.
// Times are CPU time, which stays meaningful on a shared, busy machine.

#include <benchmark/benchmark.h>

#include "TimesReporter.h"
#include "UnitModelRecipe.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "model/CasModel.h"
#include "tests/support/CasBuilder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using quorin::test::TCasMeshRecipe;
using quorin::test::TCasRecipe;

TCasMeshRecipe Mesh(std::uint32_t kind, const std::string& name, int vertices, int triangles, std::mt19937& random)
{
    std::uniform_real_distribution<float> position(-1, 1), unit(0, 1);
    std::uniform_int_distribution<int> bone(1, 19);
    TCasMeshRecipe mesh;
    mesh.Kind = kind;
    mesh.Name = name;
    mesh.Bone = 13;
    for (int v = 0; v < vertices; ++v) {
        mesh.Positions.push_back({position(random), position(random), position(random)});
        mesh.UVs.push_back({unit(random), unit(random)});
        if (kind == 2)
            mesh.Bones.push_back(static_cast<std::uint32_t>(bone(random)));
        if (kind == 3) {
            mesh.Weights.push_back(unit(random));
            mesh.FirstBones.push_back(static_cast<std::uint32_t>(bone(random)));
            mesh.SecondBones.push_back(static_cast<std::uint32_t>(bone(random)));
        }
    }
    std::uniform_int_distribution<int> corner(0, vertices - 1);
    for (int t = 0; t < triangles; ++t)
        mesh.Triangles.push_back({static_cast<std::uint16_t>(corner(random)), static_cast<std::uint16_t>(corner(random)),
                                  static_cast<std::uint16_t>(corner(random))});
    return mesh;
}

Bytes UnitModel(int bodyVertices, int bodyTriangles)
{
    std::mt19937 random(2026);
    TCasRecipe recipe = quorin::bench::UnitModelRecipe();
    recipe.Meshes = {Mesh(1, "primary_weapon", 180, 180, random), Mesh(1, "shield", 370, 360, random),
                     Mesh(2, "body", bodyVertices, bodyTriangles, random), Mesh(3, "cloak", 90, 120, random)};
    return quorin::test::BuildCas(recipe).Bytes;
}

std::map<std::string, Bytes>& Models()
{
    static std::map<std::string, Bytes> models;
    return models;
}

void Read(benchmark::State& state, const Bytes* bytes)
{
    for (auto _ : state) {
        quorin::TCasModel model = quorin::ReadCasModel(*bytes, "bench.cas");
        benchmark::DoNotOptimize(model.Meshes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes->size()));
}

// The yardstick: the same bytes copied into a buffer taken for them.
void Copy(benchmark::State& state, const Bytes* bytes)
{
    for (auto _ : state) {
        Bytes copy(bytes->begin(), bytes->end());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes->size()));
}

void PrintRatios(const quorin::bench::TTimesReporter& times)
{
    std::printf("\nReading a model in copies of its bytes (lower is faster; goal at most 3.00):\n");
    for (const auto& [model, bytes] : Models()) {
        auto read = times.Time("Read/" + model), copy = times.Time("Copy/" + model);
        if (read && copy)
            std::printf("  %-40s %8zu bytes  %.2f\n", model.c_str(), bytes.size(), *read / *copy);
    }
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Models()["unit"] = UnitModel(1000, 1100);
    Models()["large_body"] = UnitModel(5600, 7400);
    std::vector<std::pair<std::string, std::filesystem::path>> files;
    if (const char* path = std::getenv("QUORIN_BENCH_MODEL"))
        files.emplace_back("your_model", path);
    if (const char* folder = std::getenv("QUORIN_BENCH_MODELS"))
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            std::string extension = entry.path().extension().string();
            std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
            if (entry.is_regular_file() && extension == ".cas")
                files.emplace_back(entry.path().stem().string(), entry.path());
        }
    for (const auto& [name, path] : files) {
        std::ifstream in(path, std::ios::binary);
        Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        try {
            quorin::ReadCasModel(file, path.string());
            Models()[name] = std::move(file);
        } catch (const quorin::Exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
    }
    for (auto& [name, bytes] : Models()) {
        benchmark::RegisterBenchmark(("Read/" + name).c_str(), Read, &bytes);
        benchmark::RegisterBenchmark(("Copy/" + name).c_str(), Copy, &bytes);
    }
    quorin::bench::TTimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintRatios(reporter);
    benchmark::Shutdown();
    return 0;
}
