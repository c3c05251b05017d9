// TGA decoding from memory, side by side with a plain copy of the decoded
// size and with stb_image decoding the same bytes. Compare the bytes_per_second
// of TGA/<variant> (a new picture object each time, as the picture holder
// decodes) with Memcpy/<variant> and Stb/<variant>; TGAReused decodes into
// one object again and again, without taking new pixel memory.
// Rates are per CPU second (the process's own time, kernel time for fresh
// pages included), which stays meaningful on a shared, busy machine.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <memory>
#include <random>
#include <vector>

#include "base/Stream.h"
#include "imaging/TGA.h"

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#endif
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_TGA
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr int Side = 2048;

enum class Content { Sprite, Photo };

// BGR(A) pixels, rows top first.
Bytes MakePixels(Content content, int bytesPerPixel)
{
    Bytes pixels(static_cast<std::size_t>(Side) * Side * bytesPerPixel);
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> noise(-3, 3);
    for (int y = 0; y < Side; ++y) {
        for (int x = 0; x < Side; ++x) {
            std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * Side + x) * bytesPerPixel];
            std::uint8_t b, g, r, a;
            if (content == Content::Sprite) {
                // A flat background with a few flat-coloured shapes: long runs.
                int dx = x - Side / 2, dy = y - Side / 2;
                bool disc = dx * dx + dy * dy < (Side / 3) * (Side / 3);
                bool band = (y / 97) % 4 == 1 && (x / 301) % 2 == 0;
                b = disc ? 40 : band ? 200 : 255;
                g = disc ? 90 : band ? 30 : 0;
                r = disc ? 160 : band ? 30 : 255;
                a = disc || band ? 255 : 0;
            } else {
                // Smooth shading plus sensor noise: few equal neighbours.
                double shade = 128 + 60 * std::sin(x * 0.01) * std::cos(y * 0.013);
                b = static_cast<std::uint8_t>(std::clamp<int>(static_cast<int>(shade) + noise(random), 0, 255));
                g = static_cast<std::uint8_t>(std::clamp<int>(static_cast<int>(shade * 0.8) + noise(random), 0, 255));
                r = static_cast<std::uint8_t>(std::clamp<int>(static_cast<int>(shade * 0.6) + noise(random), 0, 255));
                a = 255;
            }
            p[0] = b, p[1] = g, p[2] = r;
            if (bytesPerPixel == 4)
                p[3] = a;
        }
    }
    return pixels;
}

// Greedy run-length packing: runs of two or more equal pixels, raw packets
// for the rest, 128 pixels at most per packet; packets cross rows freely.
Bytes PackRunLength(const Bytes& pixels, int bytesPerPixel)
{
    Bytes out;
    const std::size_t count = pixels.size() / bytesPerPixel;
    auto same = [&](std::size_t i, std::size_t j) {
        return std::memcmp(&pixels[i * bytesPerPixel], &pixels[j * bytesPerPixel], bytesPerPixel) == 0;
    };
    std::size_t i = 0;
    while (i < count) {
        std::size_t run = 1;
        while (i + run < count && run < 128 && same(i, i + run))
            ++run;
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(0x80 | (run - 1)));
            out.insert(out.end(), &pixels[i * bytesPerPixel], &pixels[(i + 1) * bytesPerPixel]);
            i += run;
            continue;
        }
        std::size_t raw = 1;
        while (i + raw < count && raw < 128 && !(i + raw + 1 < count && same(i + raw, i + raw + 1)))
            ++raw;
        out.push_back(static_cast<std::uint8_t>(raw - 1));
        out.insert(out.end(), &pixels[i * bytesPerPixel], &pixels[(i + raw) * bytesPerPixel]);
        i += raw;
    }
    return out;
}

struct Variant {
    Bytes File;
    std::size_t DecodedBytes;
};

const Variant& GetVariant(int bits, bool runLength, Content content)
{
    static std::map<int, Variant> cache;
    int key = bits * 100 + (runLength ? 10 : 0) + static_cast<int>(content);
    auto found = cache.find(key);
    if (found != cache.end())
        return found->second;
    const int bytesPerPixel = bits / 8;
    Bytes pixels = MakePixels(content, bytesPerPixel);
    Bytes file(18, 0);
    file[2] = runLength ? 10 : 2;
    file[12] = Side & 0xFF, file[13] = Side >> 8;
    file[14] = Side & 0xFF, file[15] = Side >> 8;
    file[16] = static_cast<std::uint8_t>(bits);
    file[17] = 0x20 | (bits == 32 ? 8 : 0); // top row first, as the packer stores it
    Bytes body = runLength ? PackRunLength(pixels, bytesPerPixel) : pixels;
    file.insert(file.end(), body.begin(), body.end());
    return cache.emplace(key, Variant{std::move(file), pixels.size()}).first->second;
}

void Label(benchmark::State& state, const Variant& v)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * v.DecodedBytes));
    state.counters["file_bytes"] = static_cast<double>(v.File.size());
}

void TGA(benchmark::State& state, int bits, bool runLength, Content content)
{
    const Variant& v = GetVariant(bits, runLength, content);
    for (auto _ : state) {
        quorin::TMemoryViewStream stream(v.File.data(), static_cast<std::int64_t>(v.File.size()));
        quorin::TTGAImage image;
        image.DecodeStream(stream);
        benchmark::DoNotOptimize(image.RowAddress(Side - 1)[0]);
    }
    Label(state, v);
}

// Decoding again into the same object: the pixel block is kept, so this
// leaves out the cost of fresh memory that the kernel must map and clear.
void TGAReused(benchmark::State& state, int bits, bool runLength, Content content)
{
    const Variant& v = GetVariant(bits, runLength, content);
    quorin::TTGAImage image;
    for (auto _ : state) {
        quorin::TMemoryViewStream stream(v.File.data(), static_cast<std::int64_t>(v.File.size()));
        image.DecodeStream(stream);
        benchmark::DoNotOptimize(image.RowAddress(Side - 1)[0]);
    }
    Label(state, v);
}

void Memcpy(benchmark::State& state, int bits, bool runLength, Content content)
{
    const Variant& v = GetVariant(bits, runLength, content);
    Bytes from(v.DecodedBytes, 0x5A), to(v.DecodedBytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), v.DecodedBytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    Label(state, v);
}

void Stb(benchmark::State& state, int bits, bool runLength, Content content)
{
    const Variant& v = GetVariant(bits, runLength, content);
    for (auto _ : state) {
        int w = 0, h = 0, n = 0;
        stbi_uc* pixels = stbi_load_from_memory(v.File.data(), static_cast<int>(v.File.size()), &w, &h, &n, 0);
        if (!pixels) {
            state.SkipWithError("stb_image refused the picture");
            break;
        }
        benchmark::DoNotOptimize(pixels[0]);
        stbi_image_free(pixels);
    }
    Label(state, v);
}

#define QUORIN_TGA_VARIANT(name, bits, rle, content)                                        \
    BENCHMARK_CAPTURE(TGA, name, bits, rle, content)->Unit(benchmark::kMillisecond);         \
    BENCHMARK_CAPTURE(TGAReused, name, bits, rle, content)->Unit(benchmark::kMillisecond);   \
    BENCHMARK_CAPTURE(Memcpy, name, bits, rle, content)->Unit(benchmark::kMillisecond);      \
    BENCHMARK_CAPTURE(Stb, name, bits, rle, content)->Unit(benchmark::kMillisecond);

QUORIN_TGA_VARIANT(Raw32, 32, false, Content::Photo)
QUORIN_TGA_VARIANT(Raw24, 24, false, Content::Photo)
QUORIN_TGA_VARIANT(Rle32Sprite, 32, true, Content::Sprite)
QUORIN_TGA_VARIANT(Rle24Sprite, 24, true, Content::Sprite)
QUORIN_TGA_VARIANT(Rle32Photo, 32, true, Content::Photo)
QUORIN_TGA_VARIANT(Rle24Photo, 24, true, Content::Photo)

} // namespace

int main(int argc, char** argv)
{
#ifdef __GLIBC__
    // Blocks of 12-16 MB sit right at glibc's adaptive limits, so whether a
    // freed block is reused or handed back to the kernel (and every page of
    // the next one faulted in again) would depend on which benchmark ran
    // before. Fixed limits give every contender the same steady state.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
