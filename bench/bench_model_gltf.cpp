// A battle model out to .glb (no texture) and back, side by side with
// reading the model (the goal: each at most 3x) and with Assimp loading the
// same .glb with no post-processing (the goal: our import at most half).
// QUORIN_BENCH_MODEL=path/to/unit.cas (a median unit model, about 300
// vertices) and QUORIN_BENCH_LARGE=path/to/largest.cas name the models; a
// model built here stands in for each when they are not given.
// All three work in memory, as the yardstick does: reading takes the .cas
// bytes, export the model read from them, import the .glb bytes (and ends
// with the .cas bytes, read back once to be sure of them); no file is opened
// in the timed loops.
// Times are CPU time, which stays meaningful on a shared, busy machine.

#include <benchmark/benchmark.h>

#include <assimp/cimport.h>
#include <assimp/scene.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "TimesReporter.h"
#include "UnitModelRecipe.h"
#include "model/CasModel.h"
#include "model/Gltf.h"
#include "tests/support/CasBuilder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct TModel {
    Bytes Cas, Glb;
};

std::map<std::string, TModel>& Models()
{
    static std::map<std::string, TModel> models;
    return models;
}

Bytes ModelBytes(const char* variable)
{
    if (const char* path = std::getenv(variable)) {
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }
    auto recipe = quorin::bench::UnitModelRecipe();
    quorin::test::TCasMeshRecipe body;
    body.Kind = 2;
    body.Name = "body";
    const int vertices = std::string(variable) == "QUORIN_BENCH_LARGE" ? 2760 : 305;
    for (int v = 0; v < vertices; ++v) {
        body.Positions.push_back({v * 0.01f, 1, 0});
        body.Bones.push_back(static_cast<std::uint32_t>(1 + v % 19));
        body.UVs.push_back({0.5f, 0.5f});
    }
    for (int t = 0; t + 2 < vertices; ++t)
        body.Triangles.push_back({static_cast<std::uint16_t>(t), static_cast<std::uint16_t>(t + 1),
                                  static_cast<std::uint16_t>(t + 2)});
    recipe.Meshes = {body};
    return quorin::test::BuildCas(recipe).Bytes;
}

void Read(benchmark::State& state, const TModel* model)
{
    for (auto _ : state) {
        quorin::TCasModel cas = quorin::ReadCasModel(model->Cas, "bench.cas");
        benchmark::DoNotOptimize(cas.Meshes.data());
    }
}

void Export(benchmark::State& state, const TModel* model)
{
    const quorin::TCasModel cas = quorin::ReadCasModel(model->Cas, "bench.cas");
    for (auto _ : state) {
        Bytes glb = quorin::WriteGltf(cas, {}, quorin::TGltfContainer::Binary);
        benchmark::DoNotOptimize(glb.data());
    }
}

void Import(benchmark::State& state, const TModel* model)
{
    for (auto _ : state) {
        quorin::TGltfImport result = quorin::ReadGltf(model->Glb, "bench.glb");
        benchmark::DoNotOptimize(result.Cas.data());
    }
}

// The peer: Assimp's glTF importer on the same bytes, no post-processing.
void AssimpImport(benchmark::State& state, const TModel* model)
{
    for (auto _ : state) {
        const aiScene* scene =
            aiImportFileFromMemory(reinterpret_cast<const char*>(model->Glb.data()),
                                   static_cast<unsigned>(model->Glb.size()), 0, "glb");
        if (!scene)
            state.SkipWithError(aiGetErrorString());
        aiReleaseImport(scene);
    }
}

void PrintRatios(const quorin::bench::TTimesReporter& times)
{
    std::printf("\nIn times reading the model (goal at most 3.00), and our import in Assimp's (goal at most 0.50):\n");
    for (const auto& [name, model] : Models()) {
        auto read = times.Time("Read/" + name), out = times.Time("Export/" + name), in = times.Time("Import/" + name),
             peer = times.Time("AssimpImport/" + name);
        if (read && out && in && peer)
            std::printf("  %-8s export %.1f  import %.1f  import/Assimp %.2f\n", name.c_str(), *out / *read,
                        *in / *read, *in / *peer);
    }
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    for (const auto& [name, variable] : {std::pair{"median", "QUORIN_BENCH_MODEL"}, {"largest", "QUORIN_BENCH_LARGE"}}) {
        TModel& model = Models()[name];
        model.Cas = ModelBytes(variable);
        model.Glb = quorin::WriteGltf(quorin::ReadCasModel(model.Cas, name), {}, quorin::TGltfContainer::Binary);
    }
    for (const auto& [name, model] : Models()) {
        benchmark::RegisterBenchmark(("Read/" + name).c_str(), Read, &model);
        benchmark::RegisterBenchmark(("Export/" + name).c_str(), Export, &model);
        benchmark::RegisterBenchmark(("Import/" + name).c_str(), Import, &model);
        benchmark::RegisterBenchmark(("AssimpImport/" + name).c_str(), AssimpImport, &model);
    }
    quorin::bench::TTimesReporter times;
    benchmark::RunSpecifiedBenchmarks(&times);
    PrintRatios(times);
    benchmark::Shutdown();
    return 0;
}
