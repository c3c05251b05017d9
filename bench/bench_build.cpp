// Building a package from about 256 MiB of input files, against a plain copy
// of the same files into one new file (64 KiB reads and writes, then fsync).
// Both run in the same process on the same files; compare their bytes/s.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "package/Build.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t MiB = 1024 * 1024;
constexpr std::size_t ModelSize = 64 * MiB;
constexpr std::size_t TextureSize = 8 * MiB;
constexpr int TextureCount = 24;

struct TInputs {
    fs::path folder;
    quorin::TUnitSheet sheet;
    std::vector<std::string> files;
    std::int64_t totalBytes = 0;

    TInputs()
    {
        folder = fs::temp_directory_path() / ("quorin-bench-" + std::to_string(getpid()));
        fs::create_directories(folder);
        sheet.UnitName = "bench";
        sheet.ModelFile = Make("model.cas", ModelSize, 1);
        for (int i = 0; i < TextureCount; ++i)
            sheet.TextureRows.push_back({"faction_" + std::to_string(i),
                                         Make("texture" + std::to_string(i) + ".dds", TextureSize, i + 2)});
    }
    ~TInputs() { fs::remove_all(folder); }

    std::string Make(const std::string& name, std::size_t size, int seed)
    {
        auto path = (folder / name).string();
        std::vector<char> bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 12)) & 0xFF);
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
        files.push_back(path);
        totalBytes += static_cast<std::int64_t>(size);
        return path;
    }
};

TInputs& Inputs()
{
    static TInputs inputs;
    return inputs;
}

void PlainCopy(const std::vector<std::string>& files, const std::string& target)
{
    std::FILE* out = std::fopen(target.c_str(), "wb");
    std::setvbuf(out, nullptr, _IONBF, 0);
    std::vector<char> block(64 * 1024);
    for (const auto& file : files) {
        std::FILE* in = std::fopen(file.c_str(), "rb");
        std::setvbuf(in, nullptr, _IONBF, 0);
        std::size_t n;
        while ((n = std::fread(block.data(), 1, block.size(), in)) > 0)
            std::fwrite(block.data(), 1, n, out);
        std::fclose(in);
    }
    std::fflush(out);
    fsync(fileno(out));
    std::fclose(out);
}

void BM_PlainCopy(benchmark::State& state)
{
    auto& inputs = Inputs();
    auto target = (inputs.folder / "copy.bin").string();
    for (auto _ : state)
        PlainCopy(inputs.files, target);
    state.SetBytesProcessed(state.iterations() * inputs.totalBytes);
    fs::remove(target);
}

void BM_BuildPackage(benchmark::State& state)
{
    auto& inputs = Inputs();
    auto target = (inputs.folder / "bench.quorin").string();
    for (auto _ : state)
        benchmark::DoNotOptimize(quorin::BuildPackage(inputs.sheet, target));
    state.SetBytesProcessed(state.iterations() * inputs.totalBytes);
    fs::remove(target);
}

// Peak memory of one build in a fresh child process, against the largest input.
void BM_BuildPeakMemory(benchmark::State& state)
{
    auto& inputs = Inputs();
    auto target = (inputs.folder / "peak.quorin").string();
    long peakKiB = 0, baseKiB = 0;
    for (auto _ : state) {
        int pipeFds[2];
        if (pipe(pipeFds) != 0)
            state.SkipWithError("pipe failed");
        pid_t child = fork();
        if (child == 0) {
            rusage before{};
            getrusage(RUSAGE_SELF, &before);
            quorin::BuildPackage(inputs.sheet, target);
            rusage after{};
            getrusage(RUSAGE_SELF, &after);
            long values[2] = {before.ru_maxrss, after.ru_maxrss};
            (void)!write(pipeFds[1], values, sizeof values);
            _exit(0);
        }
        long values[2] = {};
        (void)!read(pipeFds[0], values, sizeof values);
        waitpid(child, nullptr, 0);
        close(pipeFds[0]);
        close(pipeFds[1]);
        baseKiB = values[0];
        peakKiB = values[1];
    }
    state.counters["peak_over_start_MiB"] = static_cast<double>(peakKiB - baseKiB) / 1024.0;
    state.counters["largest_input_MiB"] = static_cast<double>(ModelSize) / MiB;
    fs::remove(target);
}

BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BuildPackage)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BuildPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
