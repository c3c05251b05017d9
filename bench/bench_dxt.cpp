// DXT1/3/5 decoding of 2048 x 2048 pictures, side by side with a plain copy of
// the 16 MiB output and with libsquish's decoder, measured in the same run.
// Two kinds of content: a photo-like picture compressed by libsquish, and
// random blocks (half of the DXT1 blocks in three-colour mode). At the end the
// speed of each decoder is printed as a ratio to the copy (1.0 = as fast as
// memcpy of the output).

#include <benchmark/benchmark.h>

#include "TimesReporter.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "imaging/DXTC.h"
#include "imaging/DXTCPaths.h"

#if __has_include(<squish.h>)
#include <squish.h>
#define QUORIN_HAVE_SQUISH 1
#else
#define QUORIN_HAVE_SQUISH 0
#endif

namespace {

constexpr int Side = 2048;
constexpr std::size_t OutputBytes = std::size_t(Side) * Side * 4;

int BlockBytes(int kind)
{
    return kind == 1 ? 8 : 16;
}

std::size_t SourceBytes(int kind)
{
    return std::size_t(Side / 4) * (Side / 4) * BlockBytes(kind);
}

// Smooth gradients and soft shapes with a little noise, as a photo or a
// painted texture has; alpha is a soft radial ramp.
std::vector<std::uint8_t> PhotoLikeRgba()
{
    std::vector<std::uint8_t> rgba(OutputBytes);
    std::mt19937 random(2048);
    std::normal_distribution<double> noise(0.0, 6.0);
    auto clamp = [](double v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            double fx = x / double(Side), fy = y / double(Side);
            double shade = 0.5 + 0.5 * std::sin(fx * 7.0 + std::cos(fy * 5.0) * 2.0);
            double r = 40 + 150 * fx + 50 * shade + noise(random);
            double g = 60 + 120 * fy + 40 * std::sin(fx * 13.0 + fy * 3.0) + noise(random);
            double b = 90 + 100 * shade * (1 - fy) + noise(random);
            double dx = fx - 0.5, dy = fy - 0.5;
            double a = 255 * (1.0 - std::min(1.0, 2.2 * std::sqrt(dx * dx + dy * dy))) + noise(random);
            std::uint8_t* p = &rgba[(std::size_t(y) * Side + x) * 4];
            p[0] = clamp(r);
            p[1] = clamp(g);
            p[2] = clamp(b);
            p[3] = clamp(a);
        }
    return rgba;
}

std::vector<std::uint8_t> RandomBlocks(int kind)
{
    std::vector<std::uint8_t> source(SourceBytes(kind));
    std::mt19937_64 random(kind);
    for (std::size_t i = 0; i < source.size(); i += 8) {
        std::uint64_t v = random();
        std::memcpy(&source[i], &v, 8);
    }
    if (kind == 1)
        for (std::size_t i = 0; i < source.size(); i += 8) {
            unsigned c0 = source[i] | source[i + 1] << 8, c1 = source[i + 2] | source[i + 3] << 8;
            bool wantThree = (i / 8) % 2 == 0;
            if (wantThree == (c0 > c1)) {
                std::swap(source[i], source[i + 2]);
                std::swap(source[i + 1], source[i + 3]);
            }
        }
    return source;
}

struct TInputs {
    std::vector<std::uint8_t> Photo[6];  // indexed by kind
    std::vector<std::uint8_t> Random[6];
};

const TInputs& Inputs()
{
    static const TInputs inputs = [] {
        TInputs in;
        for (int kind : {1, 3, 5})
            in.Random[kind] = RandomBlocks(kind);
#if QUORIN_HAVE_SQUISH
        auto rgba = PhotoLikeRgba();
        for (int kind : {1, 3, 5}) {
            in.Photo[kind].resize(SourceBytes(kind));
            int flags = (kind == 1 ? squish::kDxt1 : kind == 3 ? squish::kDxt3 : squish::kDxt5) | squish::kColourRangeFit;
            squish::CompressImage(rgba.data(), Side, Side, in.Photo[kind].data(), flags);
        }
#endif
        return in;
    }();
    return inputs;
}

const std::vector<std::uint8_t>& Source(bool photo, int kind)
{
    return photo ? Inputs().Photo[kind] : Inputs().Random[kind];
}

std::uint32_t* Output()
{
    static std::unique_ptr<std::uint32_t[]> out = [] {
        auto p = std::make_unique<std::uint32_t[]>(OutputBytes / 4);
        std::memset(p.get(), 1, OutputBytes);
        return p;
    }();
    return out.get();
}

void Finish(benchmark::State& state)
{
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(OutputBytes));
}

void BM_Memcpy(benchmark::State& state)
{
    static std::vector<std::uint8_t> from(OutputBytes, 7);
    std::uint32_t* to = Output();
    for (auto _ : state) {
        std::memcpy(to, from.data(), OutputBytes);
        benchmark::ClobberMemory();
    }
    Finish(state);
}

void Decode(quorin::dxtc::TPath path, int kind, const std::uint8_t* source, std::uint32_t* out)
{
    bool transparent = false;
    if (kind == 1)
        quorin::dxtc::UnpackDXT1Blocks(path, source, out, Side, Side, transparent);
    else if (kind == 3)
        quorin::dxtc::UnpackDXT3Blocks(path, source, out, Side, Side);
    else
        quorin::dxtc::UnpackDXT5Blocks(path, source, out, Side, Side);
    benchmark::DoNotOptimize(transparent);
}

void BM_Quorin(benchmark::State& state, bool photo, int kind)
{
    const auto& source = Source(photo, kind);
    if (source.empty()) {
        state.SkipWithError("libsquish is needed to make the photo-like input");
        return;
    }
    bool transparent = false;
    for (auto _ : state) {
        if (kind == 1)
            quorin::UnpackDXT1Blocks(source.data(), Output(), Side, Side, transparent);
        else if (kind == 3)
            quorin::UnpackDXT3Blocks(source.data(), Output(), Side, Side);
        else
            quorin::UnpackDXT5Blocks(source.data(), Output(), Side, Side);
        benchmark::DoNotOptimize(transparent);
        benchmark::ClobberMemory();
    }
    Finish(state);
}

void BM_QuorinScalar(benchmark::State& state, bool photo, int kind)
{
    const auto& source = Source(photo, kind);
    if (source.empty()) {
        state.SkipWithError("libsquish is needed to make the photo-like input");
        return;
    }
    for (auto _ : state) {
        Decode(quorin::dxtc::TPath::Scalar, kind, source.data(), Output());
        benchmark::ClobberMemory();
    }
    Finish(state);
}

#if QUORIN_HAVE_SQUISH
void BM_Squish(benchmark::State& state, bool photo, int kind)
{
    const auto& source = Source(photo, kind);
    if (source.empty()) {
        state.SkipWithError("no input");
        return;
    }
    int flags = kind == 1 ? squish::kDxt1 : kind == 3 ? squish::kDxt3 : squish::kDxt5;
    auto* out = reinterpret_cast<squish::u8*>(Output());
    for (auto _ : state) {
        squish::DecompressImage(out, Side, Side, source.data(), flags);
        benchmark::ClobberMemory();
    }
    Finish(state);
}
#endif

std::string Name(const char* decoder, bool photo, int kind)
{
    return std::string(decoder) + "/" + (photo ? "photo" : "random") + "/DXT" + std::to_string(kind);
}

void RegisterAll()
{
    benchmark::RegisterBenchmark("Memcpy/16MiB", BM_Memcpy)->Unit(benchmark::kMillisecond);
    for (bool photo : {true, false})
        for (int kind : {1, 3, 5}) {
            benchmark::RegisterBenchmark(Name("Quorin", photo, kind).c_str(), BM_Quorin, photo, kind)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(Name("QuorinScalar", photo, kind).c_str(), BM_QuorinScalar, photo, kind)
                ->Unit(benchmark::kMillisecond);
#if QUORIN_HAVE_SQUISH
            benchmark::RegisterBenchmark(Name("Squish", photo, kind).c_str(), BM_Squish, photo, kind)
                ->Unit(benchmark::kMillisecond);
#endif
        }
}

void PrintRatios(const quorin::bench::TTimesReporter& times)
{
    auto copy = times.Time("Memcpy/16MiB");
    if (!copy)
        return;
    std::printf("\nSpeed relative to memcpy of the 16 MiB output (higher is faster):\n");
    const double goals[2][6] = {{0, 0.45, 0, 0.30, 0, 0.28}, {0, 0.35, 0, 0.30, 0, 0.28}};
    for (bool photo : {true, false})
        for (int kind : {1, 3, 5}) {
            std::printf("  %-6s DXT%d:", photo ? "photo" : "random", kind);
            for (const char* decoder : {"Quorin", "QuorinScalar", "Squish"})
                if (auto time = times.Time(Name(decoder, photo, kind)))
                    std::printf("  %s %.2f", decoder, *copy / *time);
            std::printf("  (goal %.2f)\n", goals[photo ? 0 : 1][kind]);
        }
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Inputs(); // made once, outside every measurement
    RegisterAll();
    quorin::bench::TTimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintRatios(reporter);
    benchmark::Shutdown();
    return 0;
}
