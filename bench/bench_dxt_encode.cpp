// DXT1 and DXT5 encoding, one thread, side by side with libsquish (iterative
// cluster fit) and stb_dxt (high quality) in the same run, on the same
// pictures: eight made here of different kinds (photo, flat cartoon,
// gradients, noise, weave, text, foliage, metal) and, when the folder named
// by QUORIN_BENCH_PICTURES holds .dds or .tga files, those too.
//
// Every encoder's blocks are read back by one decoder (5- and 6-bit fields
// widened by bit replication, thirds rounded, as the hardware does) and the
// mean RGB PSNR of the pictures is shown beside the speed; the DXT5 benchmarks
// show the mean RMSE of alpha; MPix is the speed in millions of pixels a
// second. At the end the goals are checked.

#include <benchmark/benchmark.h>

#include "TimesReporter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/DXTCEncoder.h"
#include "imaging/Picture.h"
#include "imaging/PictureModules.h"

#if __has_include(<squish.h>)
#include <squish.h>
#define QUORIN_HAVE_SQUISH 1
#else
#define QUORIN_HAVE_SQUISH 0
#endif

#if __has_include(<stb_dxt.h>)
#include <cstring> // stb_dxt uses memcpy without including it
#define STB_DXT_IMPLEMENTATION
#define STB_DXT_STATIC
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function" // its BC4 and BC5 encoders
#include <stb_dxt.h>
#pragma GCC diagnostic pop
#define QUORIN_HAVE_STB 1
#else
#define QUORIN_HAVE_STB 0
#endif

namespace {

constexpr int Side = 256;

// Red, green, blue, alpha per pixel, rows from the top; sides multiples of 4.
struct TRgbaPicture {
    std::string Name;
    int Width = 0, Height = 0;
    std::vector<std::uint8_t> Pixels;
    std::vector<std::uint8_t> Bgra; // the same pixels blue, green, red, alpha: ours read that order
};

std::uint8_t Clamp(double v)
{
    return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : std::lround(v));
}

using TMaker = std::function<void(int x, int y, std::mt19937& random, std::uint8_t* rgba)>;

TRgbaPicture Make(const std::string& name, const TMaker& maker)
{
    TRgbaPicture picture{name, Side, Side, std::vector<std::uint8_t>(std::size_t(Side) * Side * 4)};
    std::mt19937 random(static_cast<unsigned>(std::hash<std::string>()(name)));
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x)
            maker(x, y, random, &picture.Pixels[(std::size_t(y) * Side + x) * 4]);
    return picture;
}

// Smooth value noise in 0..1 with the given cell size.
double ValueNoise(int x, int y, int cell, unsigned seed)
{
    auto lattice = [seed](int i, int j) {
        std::uint32_t h = static_cast<std::uint32_t>(i) * 374761393u + static_cast<std::uint32_t>(j) * 668265263u + seed * 2246822519u;
        h = (h ^ (h >> 13)) * 1274126177u;
        return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
    };
    const double fx = double(x) / cell, fy = double(y) / cell;
    const int ix = int(fx), iy = int(fy);
    const double tx = fx - ix, ty = fy - iy;
    const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
    const double top = lattice(ix, iy) * (1 - sx) + lattice(ix + 1, iy) * sx;
    const double bottom = lattice(ix, iy + 1) * (1 - sx) + lattice(ix + 1, iy + 1) * sx;
    return top * (1 - sy) + bottom * sy;
}

std::vector<TRgbaPicture> MadePictures()
{
    std::vector<TRgbaPicture> pictures;
    pictures.push_back(Make("photo", [](int x, int y, std::mt19937& r, std::uint8_t* p) {
        std::normal_distribution<double> noise(0.0, 5.0);
        const double fx = x / double(Side), fy = y / double(Side);
        const double shade = 0.5 + 0.5 * std::sin(fx * 7.0 + std::cos(fy * 5.0) * 2.0);
        p[0] = Clamp(40 + 150 * fx + 50 * shade + noise(r));
        p[1] = Clamp(60 + 120 * fy + 40 * std::sin(fx * 13.0 + fy * 3.0) + noise(r));
        p[2] = Clamp(90 + 100 * shade * (1 - fy) + noise(r));
        const double dx = fx - 0.5, dy = fy - 0.5;
        p[3] = Clamp(255 * (1.0 - std::min(1.0, 2.2 * std::sqrt(dx * dx + dy * dy))) + noise(r));
    }));
    pictures.push_back(Make("cartoon", [](int x, int y, std::mt19937&, std::uint8_t* p) {
        // Flat shapes with hard edges; alpha a hard mask.
        const int cx = (x * 7 / Side), cy = (y * 5 / Side);
        const bool inCircle = (x % 64 - 32) * (x % 64 - 32) + (y % 48 - 24) * (y % 48 - 24) < 300;
        const std::uint8_t palette[6][3] = {{220, 40, 40}, {250, 210, 60}, {30, 90, 200}, {20, 20, 20}, {240, 240, 240}, {60, 170, 80}};
        const auto* c = palette[(cx + 2 * cy + (inCircle ? 3 : 0)) % 6];
        p[0] = c[0], p[1] = c[1], p[2] = c[2];
        p[3] = inCircle ? 0 : 255;
    }));
    pictures.push_back(Make("gradient", [](int x, int y, std::mt19937&, std::uint8_t* p) {
        p[0] = Clamp(x * 255.0 / (Side - 1));
        p[1] = Clamp(y * 255.0 / (Side - 1));
        p[2] = Clamp(255 - (x + y) * 255.0 / (2 * Side - 2));
        p[3] = Clamp(x * 255.0 / (Side - 1));
    }));
    pictures.push_back(Make("noise", [](int, int, std::mt19937& r, std::uint8_t* p) {
        for (int c = 0; c < 4; ++c)
            p[c] = static_cast<std::uint8_t>(r());
    }));
    pictures.push_back(Make("weave", [](int x, int y, std::mt19937& r, std::uint8_t* p) {
        std::normal_distribution<double> noise(0.0, 8.0);
        const bool warp = ((x / 4) + (y / 4)) % 2 == 0;
        const double thread = 0.6 + 0.4 * std::sin((warp ? x : y) * 0.8);
        p[0] = Clamp((warp ? 150 : 90) * thread + noise(r));
        p[1] = Clamp((warp ? 40 : 70) * thread + noise(r));
        p[2] = Clamp((warp ? 30 : 110) * thread + noise(r));
        p[3] = Clamp(200 + 55 * thread);
    }));
    pictures.push_back(Make("text", [](int x, int y, std::mt19937&, std::uint8_t* p) {
        // Glyph-like strokes on a coloured band, as a unit card's lettering.
        const bool line = (y % 16) >= 4 && (y % 16) < 12;
        const bool stroke = line && (((x * 13) ^ (y * 7)) % 11 < 4 || x % 9 == 0);
        const std::uint8_t band = static_cast<std::uint8_t>(y / 32 % 2 ? 180 : 90);
        p[0] = stroke ? 10 : band;
        p[1] = stroke ? 10 : static_cast<std::uint8_t>(band / 2);
        p[2] = stroke ? 10 : 40;
        p[3] = stroke ? 255 : 128;
    }));
    pictures.push_back(Make("foliage", [](int x, int y, std::mt19937& r, std::uint8_t* p) {
        const double n = ValueNoise(x, y, 3, 1) * 0.6 + ValueNoise(x, y, 11, 2) * 0.4;
        std::normal_distribution<double> noise(0.0, 4.0);
        p[0] = Clamp(40 + 90 * n * n + noise(r));
        p[1] = Clamp(60 + 140 * n + noise(r));
        p[2] = Clamp(20 + 50 * (1 - n) + noise(r));
        p[3] = n > 0.45 ? 255 : Clamp(255 * n / 0.45);
    }));
    pictures.push_back(Make("metal", [](int x, int y, std::mt19937& r, std::uint8_t* p) {
        // Rings of mail with highlights.
        const double u = (x % 8) - 3.5, v = (y % 8) - 3.5;
        const double ring = std::abs(std::sqrt(u * u + v * v) - 2.5);
        const double light = std::max(0.0, 1.0 - ring) * (0.6 + 0.4 * ValueNoise(x, y, 32, 3));
        std::normal_distribution<double> noise(0.0, 3.0);
        p[0] = Clamp(50 + 180 * light + noise(r));
        p[1] = Clamp(55 + 175 * light + noise(r));
        p[2] = Clamp(60 + 160 * light + noise(r));
        p[3] = Clamp(255 * light);
    }));
    return pictures;
}

// The .dds and .tga files in the folder QUORIN_BENCH_PICTURES names, decoded
// by the tool's own decoders and cut to whole blocks.
std::vector<TRgbaPicture> FoundPictures()
{
    std::vector<TRgbaPicture> pictures;
    const char* folder = std::getenv("QUORIN_BENCH_PICTURES");
    if (!folder)
        return pictures;
    std::error_code error;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const auto extension = entry.path().extension().string();
        if (extension == ".dds" || extension == ".tga")
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    quorin::StartPictureModules();
    for (const auto& file : files) {
        try {
            quorin::TPicture picture;
            picture.LoadByExtension(file.string());
            const auto* bitmap = dynamic_cast<const quorin::TBitmap*>(picture.Graphic());
            if (!bitmap || bitmap->Width() < 4 || bitmap->Height() < 4)
                continue;
            TRgbaPicture rgba{file.filename().string(), bitmap->Width() / 4 * 4, bitmap->Height() / 4 * 4, {}};
            const bool alpha = bitmap->BytesPerPixel() == 4 && bitmap->HasAlphaChannel();
            for (int y = 0; y < rgba.Height; ++y)
                for (int x = 0; x < rgba.Width; ++x) {
                    const std::uint8_t* q = bitmap->RowAddress(y) + x * bitmap->BytesPerPixel();
                    rgba.Pixels.insert(rgba.Pixels.end(), {q[2], q[1], q[0], alpha ? q[3] : std::uint8_t{255}});
                }
            pictures.push_back(std::move(rgba));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "skipping %s: %s\n", file.string().c_str(), e.what());
        }
    }
    return pictures;
}

const std::vector<TRgbaPicture>& Pictures()
{
    static const std::vector<TRgbaPicture> pictures = [] {
        auto all = MadePictures();
        auto found = FoundPictures();
        all.insert(all.end(), found.begin(), found.end());
        for (auto& picture : all) {
            picture.Bgra = picture.Pixels;
            for (std::size_t i = 0; i < picture.Bgra.size(); i += 4)
                std::swap(picture.Bgra[i], picture.Bgra[i + 2]);
        }
        return all;
    }();
    return pictures;
}

double MegaPixels()
{
    double pixels = 0;
    for (const auto& p : Pictures())
        pixels += double(p.Width) * p.Height;
    return pixels / 1e6;
}

// A block's 16 pixels, red, green, blue, alpha each. For DXT1 every pixel is
// made opaque: the textures it is for are, and libsquish would otherwise
// leave pixels of low alpha out as transparent.
void Gather(const TRgbaPicture& picture, int bx, int by, bool dxt5, std::uint8_t rgba[64], bool bgra = false)
{
    for (int r = 0; r < 4; ++r)
        std::copy_n(&(bgra ? picture.Bgra : picture.Pixels)[((std::size_t(4 * by + r)) * picture.Width + 4 * bx) * 4], 16, rgba + 16 * r);
    if (!dxt5)
        for (int i = 0; i < 16; ++i)
            rgba[4 * i + 3] = 255;
}

// Encodes one block into 8 (DXT1) or 16 (DXT5) bytes: its pixels red,
// green, blue, alpha, or blue, green, red, alpha for an encoder that reads
// them so, each given its own order as it would get it in use.
struct TEncoder {
    std::function<void(const std::uint8_t* pixels, std::uint8_t* out)> Encode;
    bool Bgra = false;
};

std::vector<std::uint8_t> EncodePicture(const TRgbaPicture& picture, bool dxt5, const TEncoder& encoder)
{
    const int across = picture.Width / 4, down = picture.Height / 4, bytes = dxt5 ? 16 : 8;
    std::vector<std::uint8_t> blocks(std::size_t(across) * down * bytes);
    std::uint8_t rgba[64];
    for (int by = 0; by < down; ++by)
        for (int bx = 0; bx < across; ++bx) {
            Gather(picture, bx, by, dxt5, rgba, encoder.Bgra);
            encoder.Encode(rgba, &blocks[(std::size_t(by) * across + bx) * bytes]);
        }
    return blocks;
}

struct TQualityFigures {
    double Psnr = 0;      // mean over the pictures, colour
    double AlphaRmse = 0; // mean over the pictures, DXT5 only
};

TQualityFigures Measure(bool dxt5, const TEncoder& encode)
{
    TQualityFigures figures;
    for (const auto& picture : Pictures()) {
        const auto blocks = EncodePicture(picture, dxt5, encode);
        const int across = picture.Width / 4, bytes = dxt5 ? 16 : 8;
        double colour = 0, alpha = 0;
        std::uint8_t rgba[64], bgra[64], alphas[16];
        for (int by = 0; by < picture.Height / 4; ++by)
            for (int bx = 0; bx < across; ++bx) {
                const std::uint8_t* block = &blocks[(std::size_t(by) * across + bx) * bytes];
                Gather(picture, bx, by, dxt5, rgba);
                quorin::DecodeColourBlock(dxt5 ? block + 8 : block, !dxt5, bgra);
                if (dxt5)
                    quorin::DecodeAlphaBlock(block, alphas);
                for (int i = 0; i < 16; ++i) {
                    for (int c = 0; c < 3; ++c) {
                        const double d = double(rgba[4 * i + c]) - bgra[4 * i + 2 - c];
                        colour += d * d;
                    }
                    if (dxt5) {
                        const double d = double(rgba[4 * i + 3]) - alphas[i];
                        alpha += d * d;
                    }
                }
            }
        const double pixels = double(picture.Width) * picture.Height;
        const double mse = colour / (3 * pixels);
        figures.Psnr += mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
        figures.AlphaRmse += std::sqrt(alpha / pixels);
    }
    figures.Psnr /= double(Pictures().size());
    figures.AlphaRmse /= double(Pictures().size());
    return figures;
}

std::map<std::string, TQualityFigures>& Figures()
{
    static std::map<std::string, TQualityFigures> figures;
    return figures;
}

void BM_Encode(benchmark::State& state, std::string name, bool dxt5, TEncoder encode)
{
    for (auto _ : state)
        for (const auto& picture : Pictures())
            benchmark::DoNotOptimize(EncodePicture(picture, dxt5, encode).data());
    const TQualityFigures figures = Measure(dxt5, encode);
    Figures()[name] = figures;
    state.counters["PSNR"] = figures.Psnr;
    if (dxt5)
        state.counters["alphaRMSE"] = figures.AlphaRmse;
    state.counters["MPix"] = benchmark::Counter(MegaPixels(), benchmark::Counter::kIsIterationInvariantRate);
}

// Ours take blue, green, red, alpha, the order of the tool's pictures.
TEncoder Quorin(bool dxt5, quorin::TDxtQuality quality)
{
    return {[dxt5, quality](const std::uint8_t* bgra, std::uint8_t* out) {
                if (dxt5)
                    quorin::EncodeDXT5Block(bgra, quality, out);
                else
                    quorin::EncodeDXT1Block(bgra, quality, false, out);
            },
            true};
}

const char* QualityName(quorin::TDxtQuality quality)
{
    return quality == quorin::TDxtQuality::Fast ? "fast" : quality == quorin::TDxtQuality::Normal ? "normal" : "best";
}

void RegisterAll()
{
    for (bool dxt5 : {false, true}) {
        const std::string kind = dxt5 ? "DXT5" : "DXT1";
        auto add = [&](const std::string& encoder, TEncoder encode) {
            const std::string name = kind + "/" + encoder;
            benchmark::RegisterBenchmark(name.c_str(), BM_Encode, name, dxt5, encode)->Unit(benchmark::kMillisecond);
        };
        for (auto quality : {quorin::TDxtQuality::Fast, quorin::TDxtQuality::Normal, quorin::TDxtQuality::Best})
            add(std::string("Quorin/") + QualityName(quality), Quorin(dxt5, quality));
#if QUORIN_HAVE_STB
        add("StbHighQuality", {[dxt5](const std::uint8_t* rgba, std::uint8_t* out) {
                stb_compress_dxt_block(out, rgba, dxt5 ? 1 : 0, STB_DXT_HIGHQUAL);
            }});
#endif
#if QUORIN_HAVE_SQUISH
        // No metric given: the uniform one, which aims at RGB PSNR as ours does.
        add("SquishIterativeClusterFit", {[dxt5](const std::uint8_t* rgba, std::uint8_t* out) {
                squish::Compress(rgba, out, (dxt5 ? squish::kDxt5 : squish::kDxt1) | squish::kColourIterativeClusterFit);
            }});
#endif
    }
}

void PrintGoals(const quorin::bench::TTimesReporter& times)
{
    auto figures = [](const std::string& name) {
        auto found = Figures().find(name);
        return found == Figures().end() ? nullptr : &found->second;
    };
    auto speed = [&](const std::string& name) {
        auto time = times.Time(name);
        return time ? MegaPixels() / (*time / 1e3) : 0.0; // times are in milliseconds
    };
    std::printf("\nGoals, DXT1 colour, %zu pictures, one thread (PSNR dB, MPix/s):\n", Pictures().size());
    auto line = [&](const char* ours, const char* peer, double psnrMargin, double speedRatio) {
        const auto* q = figures(std::string("DXT1/Quorin/") + ours);
        const auto* p = figures(std::string("DXT1/") + peer);
        if (!q || !p)
            return;
        const double qs = speed(std::string("DXT1/Quorin/") + ours), ps = speed(std::string("DXT1/") + peer);
        const bool psnrMet = q->Psnr >= p->Psnr + psnrMargin;
        const bool speedMet = speedRatio == 0 || qs >= speedRatio * ps;
        std::printf("  %-6s %.2f dB %.2f MPix/s | %s %.2f dB %.2f MPix/s | PSNR goal >= %.2f: %s",
                    ours, q->Psnr, qs, peer, p->Psnr, ps, p->Psnr + psnrMargin, psnrMet ? "met" : "NOT met");
        if (speedRatio > 0)
            std::printf(", speed goal >= %.1fx (%.1fx): %s", speedRatio, qs / ps, speedMet ? "met" : "NOT met");
        std::printf("\n");
    };
    line("fast", "StbHighQuality", 0, 1.8);
    line("normal", "SquishIterativeClusterFit", 0, 20);
    line("best", "SquishIterativeClusterFit", 0.25, 0);
    if (const auto* squish = figures("DXT5/SquishIterativeClusterFit"))
        for (const char* quality : {"fast", "normal", "best"})
            if (const auto* q = figures(std::string("DXT5/Quorin/") + quality))
                std::printf("  DXT5 alpha %-6s mean RMSE %.3f | libsquish %.3f | goal <= libsquish: %s\n", quality,
                            q->AlphaRmse, squish->AlphaRmse, q->AlphaRmse <= squish->AlphaRmse ? "met" : "NOT met");
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Pictures(); // made once, outside every measurement
    RegisterAll();
    quorin::bench::TTimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintGoals(reporter);
    benchmark::Shutdown();
    return 0;
}
