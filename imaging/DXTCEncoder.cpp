// S3TC block compression. A colour half is fitted in stages, each kept only
// when it lowers the block's true error (measured on the 5:6:5 endpoints as
// the hardware expands them, never on unquantised ones):
//   1. a block of one colour takes its endpoints from tables made by trying
//      every pair of 5- and 6-bit values;
//   2. the principal axis of the pixels (power iteration on their covariance)
//      gives endpoints at the extremes of their projections;
//   3. (best) a cluster fit tries every split of the pixels, ordered along the
//      axis, into the four palette entries and solves each for its endpoints;
//   4. least squares solves the endpoints again for the indices last chosen;
//   5. (normal, best) a search moves one endpoint field at a time by one step
//      while that lowers the error.
// Opaque blocks at fast and normal take a shorter road, four pixels a
// register: the same axis and least squares, but indices and errors by
// projection on the endpoints' line, and the search only towards the
// unquantised solution (see FitFast).
// Alpha tries both of DXT5's modes over the values' range, and with more
// effort the ranges a few steps inside it.

#include "DXTCEncoder.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <thread>

#include "Bitmap.h"

// SSE2 is part of every x86-64 processor, so its path needs no check at run time.
#if defined(__SSE2__) || defined(_M_X64)
#define QUORIN_ENCODER_SSE2 1
#include <emmintrin.h>
#else
#define QUORIN_ENCODER_SSE2 0
#endif

namespace quorin {

namespace {

constexpr int Expand5(int v) { return (v << 3) | (v >> 2); }
constexpr int Distance(int a, int b) { return a > b ? a - b : b - a; }
constexpr int Expand6(int v) { return (v << 2) | (v >> 4); }

struct TEffort {
    int LeastSquaresSteps;
    int SearchRounds;
    bool ClusterFit;
    int AlphaRadius;
};

TEffort EffortOf(TDxtQuality quality)
{
    switch (quality) {
    case TDxtQuality::Fast:
        return {1, 0, false, 0};
    case TDxtQuality::Normal:
        return {2, 1, false, 1};
    case TDxtQuality::Best:
        break;
    }
    return {6, 32, true, 5};
}

// Quantised endpoint: red and blue 0..31, green 0..63.
struct TEndpoint {
    int R = 0, G = 0, B = 0;
    int Word() const { return (R << 11) | (G << 5) | B; }
};

struct TColourPixels {
    float R[16], G[16], B[16];
    float Weight[16]; // 0 for a transparent pixel of a punch-through block
    bool Transparent[16];
    int Count = 0;    // pixels that count
};

struct TPalette {
    float R[4], G[4], B[4];
    int Size;
};

constexpr std::array<std::uint8_t, 32> Expanded5 = [] {
    std::array<std::uint8_t, 32> t{};
    for (int v = 0; v < 32; ++v)
        t[v] = static_cast<std::uint8_t>(Expand5(v));
    return t;
}();
constexpr std::array<std::uint8_t, 64> Expanded6 = [] {
    std::array<std::uint8_t, 64> t{};
    for (int v = 0; v < 64; ++v)
        t[v] = static_cast<std::uint8_t>(Expand6(v));
    return t;
}();

// One channel's entries from its two expanded endpoint values.
inline void MixChannel(int a, int b, bool three, float entries[4])
{
    entries[0] = static_cast<float>(a);
    entries[1] = static_cast<float>(b);
    entries[2] = static_cast<float>(three ? (a + b) / 2 : (2 * a + b + 1) / 3);
    entries[3] = static_cast<float>((a + 2 * b + 1) / 3);
}

TPalette MakePalette(TEndpoint e0, TEndpoint e1, bool three)
{
    TPalette palette;
    palette.Size = three ? 3 : 4;
    MixChannel(Expanded5[e0.R], Expanded5[e1.R], three, palette.R);
    MixChannel(Expanded6[e0.G], Expanded6[e1.G], three, palette.G);
    MixChannel(Expanded5[e0.B], Expanded5[e1.B], three, palette.B);
    return palette;
}

struct TFit {
    TEndpoint E0, E1;
    float Error = std::numeric_limits<float>::max();
    std::uint8_t Index[16] = {};
};

#if !QUORIN_ENCODER_SSE2
// The error of the pair on the pixels that count, each at its nearest entry
// (squared differences of whole numbers: exact in float up to 2^24).
float EvaluatePortable(const TColourPixels& pixels, const TPalette& palette, std::uint8_t index[16])
{
    float distance[4][16];
    for (int k = 0; k < palette.Size; ++k)
        for (int i = 0; i < 16; ++i) {
            const float dr = pixels.R[i] - palette.R[k];
            const float dg = pixels.G[i] - palette.G[k];
            const float db = pixels.B[i] - palette.B[k];
            distance[k][i] = dr * dr + dg * dg + db * db;
        }
    float total = 0;
    for (int i = 0; i < 16; ++i) {
        float best = distance[0][i];
        std::uint8_t chosen = 0;
        for (int k = 1; k < palette.Size; ++k)
            if (distance[k][i] < best) {
                best = distance[k][i];
                chosen = static_cast<std::uint8_t>(k);
            }
        index[i] = chosen;
        total += best * pixels.Weight[i];
    }
    return total;
}

#endif

#if QUORIN_ENCODER_SSE2
// EvaluatePortable on four pixels a register: the nearest entry's distance by
// minimum, its number by masks.
template <int Size>
float EvaluateSse2(const TColourPixels& pixels, const TPalette& palette, std::uint8_t index[16])
{
    __m128 total = _mm_setzero_ps();
    alignas(16) std::int32_t chosen[16];
    for (int group = 0; group < 16; group += 4) {
        const __m128 r = _mm_loadu_ps(pixels.R + group), g = _mm_loadu_ps(pixels.G + group),
                     b = _mm_loadu_ps(pixels.B + group);
        auto distance = [&](int k) {
            const __m128 dr = _mm_sub_ps(r, _mm_set1_ps(palette.R[k]));
            const __m128 dg = _mm_sub_ps(g, _mm_set1_ps(palette.G[k]));
            const __m128 db = _mm_sub_ps(b, _mm_set1_ps(palette.B[k]));
            return _mm_add_ps(_mm_add_ps(_mm_mul_ps(dr, dr), _mm_mul_ps(dg, dg)), _mm_mul_ps(db, db));
        };
        __m128 best = distance(0);
        __m128i number = _mm_setzero_si128();
        for (int k = 1; k < Size; ++k) {
            const __m128 d = distance(k);
            const __m128i closer = _mm_castps_si128(_mm_cmplt_ps(d, best));
            best = _mm_min_ps(d, best);
            number = _mm_or_si128(_mm_and_si128(closer, _mm_set1_epi32(k)), _mm_andnot_si128(closer, number));
        }
        total = _mm_add_ps(total, _mm_mul_ps(best, _mm_loadu_ps(pixels.Weight + group)));
        _mm_store_si128(reinterpret_cast<__m128i*>(chosen + group), number);
    }
    alignas(16) float sums[4];
    _mm_store_ps(sums, total);
    for (int i = 0; i < 16; ++i)
        index[i] = static_cast<std::uint8_t>(chosen[i]);
    return (sums[0] + sums[1]) + (sums[2] + sums[3]);
}
#endif

float Evaluate(const TColourPixels& pixels, const TPalette& palette, std::uint8_t index[16])
{
#if QUORIN_ENCODER_SSE2
    return palette.Size == 4 ? EvaluateSse2<4>(pixels, palette, index) : EvaluateSse2<3>(pixels, palette, index);
#else
    return EvaluatePortable(pixels, palette, index);
#endif
}

class TColourFitter {
public:
    TColourFitter(const TColourPixels& pixels, bool three) : pixels_(pixels), three_(three) {}

    // Keeps the pair when it is the best so far.
    bool Consider(TEndpoint e0, TEndpoint e1)
    {
        TFit candidate;
        candidate.E0 = e0;
        candidate.E1 = e1;
        candidate.Error = Evaluate(pixels_, MakePalette(e0, e1, three_), candidate.Index);
        if (candidate.Error >= best_.Error)
            return false;
        best_ = candidate;
        return true;
    }
    const TFit& Best() const { return best_; }
    bool Three() const { return three_; }
    const TColourPixels& Pixels() const { return pixels_; }

private:
    const TColourPixels& pixels_;
    bool three_;
    TFit best_;
};

// ---- quantising ------------------------------------------------------------

// For each value in quarter steps from 0 to 255: the field whose expansion
// comes closest. The expansion is not linear, so each field is tried.
constexpr int QuantiseSteps = 4;
template <int Bits>
constexpr std::array<std::uint8_t, 255 * QuantiseSteps + 1> NearestFields()
{
    std::array<std::uint8_t, 255 * QuantiseSteps + 1> nearest{};
    for (int step = 0; step <= 255 * QuantiseSteps; ++step) {
        int best = 0;
        for (int field = 1; field < (1 << Bits); ++field) {
            const int expanded = QuantiseSteps * (Bits == 5 ? Expand5(field) : Expand6(field));
            const int bestExpanded = QuantiseSteps * (Bits == 5 ? Expand5(best) : Expand6(best));
            if (Distance(expanded, step) < Distance(bestExpanded, step))
                best = field;
        }
        nearest[step] = static_cast<std::uint8_t>(best);
    }
    return nearest;
}
constexpr auto Nearest5 = NearestFields<5>();
constexpr auto Nearest6 = NearestFields<6>();

inline int QuantiseChannel(float value, int bits)
{
    const int step = static_cast<int>(std::clamp(value, 0.0f, 255.0f) * QuantiseSteps + 0.5f);
    return bits == 5 ? Nearest5[step] : Nearest6[step];
}

struct TVector {
    float R = 0, G = 0, B = 0;
};

inline TEndpoint Quantise(const TVector& v)
{
    return {QuantiseChannel(v.R, 5), QuantiseChannel(v.G, 6), QuantiseChannel(v.B, 5)};
}

// ---- single colour ---------------------------------------------------------

// For each 8-bit value: the endpoint pair whose two-thirds entry comes
// closest, of all pairs of the channel's width; ties go to the closer pair.
struct TSingleColourEntry {
    std::uint8_t Hi, Lo;
};
using TSingleColourTable = std::array<TSingleColourEntry, 256>;

TSingleColourTable MakeSingleColourTable(int bits)
{
    TSingleColourTable table{};
    const int top = (1 << bits) - 1;
    auto expand = [bits](int v) { return bits == 5 ? Expand5(v) : Expand6(v); };
    for (int value = 0; value < 256; ++value) {
        int bestError = 1 << 30;
        for (int hi = 0; hi <= top; ++hi)
            for (int lo = 0; lo <= top; ++lo) {
                const int entry = (2 * expand(hi) + expand(lo) + 1) / 3;
                const int error = std::abs(entry - value) * 256 + std::abs(hi - lo);
                if (error < bestError) {
                    bestError = error;
                    table[value] = {static_cast<std::uint8_t>(hi), static_cast<std::uint8_t>(lo)};
                }
            }
    }
    return table;
}

const TSingleColourTable& SingleColourTable(int bits)
{
    static const TSingleColourTable five = MakeSingleColourTable(5);
    static const TSingleColourTable six = MakeSingleColourTable(6);
    return bits == 5 ? five : six;
}

// The one colour every pixel that counts has, if there is one.
bool SingleColour(const TColourPixels& pixels, int& red, int& green, int& blue)
{
    int first = -1;
    for (int i = 0; i < 16; ++i) {
        if (pixels.Weight[i] == 0)
            continue;
        if (first < 0)
            first = i;
        else if (pixels.R[i] != pixels.R[first] || pixels.G[i] != pixels.G[first] || pixels.B[i] != pixels.B[first])
            return false;
    }
    if (first < 0)
        return false;
    red = static_cast<int>(pixels.R[first]);
    green = static_cast<int>(pixels.G[first]);
    blue = static_cast<int>(pixels.B[first]);
    return true;
}

void FitSingleColour(TColourFitter& fitter, int red, int green, int blue)
{
    const auto& r = SingleColourTable(5)[red];
    const auto& g = SingleColourTable(6)[green];
    const auto& b = SingleColourTable(5)[blue];
    fitter.Consider({r.Hi, g.Hi, b.Hi}, {r.Lo, g.Lo, b.Lo});
}

// ---- principal axis --------------------------------------------------------

struct TAxis {
    TVector Mean;
    TVector Direction;
    bool Flat = false; // no spread: every pixel sits on the mean
};

TAxis PrincipalAxis(const TColourPixels& pixels)
{
    TAxis axis;
    const float count = static_cast<float>(pixels.Count);
    for (int i = 0; i < 16; ++i) {
        axis.Mean.R += pixels.Weight[i] * pixels.R[i];
        axis.Mean.G += pixels.Weight[i] * pixels.G[i];
        axis.Mean.B += pixels.Weight[i] * pixels.B[i];
    }
    axis.Mean = {axis.Mean.R / count, axis.Mean.G / count, axis.Mean.B / count};
    float rr = 0, rg = 0, rb = 0, gg = 0, gb = 0, bb = 0;
    for (int i = 0; i < 16; ++i) {
        const float w = pixels.Weight[i];
        const float r = pixels.R[i] - axis.Mean.R, g = pixels.G[i] - axis.Mean.G, b = pixels.B[i] - axis.Mean.B;
        rr += w * r * r;
        rg += w * r * g;
        rb += w * r * b;
        gg += w * g * g;
        gb += w * g * b;
        bb += w * b * b;
    }
    // Start from the covariance's row with the largest diagonal: never
    // orthogonal to the axis sought unless that row is zero.
    TVector v = rr >= gg && rr >= bb ? TVector{rr, rg, rb} : gg >= bb ? TVector{rg, gg, gb} : TVector{rb, gb, bb};
    for (int step = 0; step < 4; ++step) {
        const TVector next{rr * v.R + rg * v.G + rb * v.B, rg * v.R + gg * v.G + gb * v.B,
                           rb * v.R + gb * v.G + bb * v.B};
        const float largest = std::max({std::abs(next.R), std::abs(next.G), std::abs(next.B)});
        if (largest < 1e-12f)
            break;
        v = {next.R / largest, next.G / largest, next.B / largest};
    }
    const float length = std::sqrt(v.R * v.R + v.G * v.G + v.B * v.B);
    if (length < 1e-6f || rr + gg + bb < 1e-3f) {
        axis.Flat = true;
        return axis;
    }
    axis.Direction = {v.R / length, v.G / length, v.B / length};
    return axis;
}

float Project(const TColourPixels& pixels, int i, const TAxis& axis)
{
    return (pixels.R[i] - axis.Mean.R) * axis.Direction.R + (pixels.G[i] - axis.Mean.G) * axis.Direction.G +
           (pixels.B[i] - axis.Mean.B) * axis.Direction.B;
}

TVector Along(const TAxis& axis, float t)
{
    return {axis.Mean.R + t * axis.Direction.R, axis.Mean.G + t * axis.Direction.G, axis.Mean.B + t * axis.Direction.B};
}

void FitExtremes(TColourFitter& fitter, const TAxis& axis)
{
    const TColourPixels& pixels = fitter.Pixels();
    float low = std::numeric_limits<float>::max(), high = std::numeric_limits<float>::lowest();
    for (int i = 0; i < 16; ++i) {
        if (pixels.Weight[i] == 0)
            continue;
        const float t = Project(pixels, i, axis);
        low = std::min(low, t);
        high = std::max(high, t);
    }
    fitter.Consider(Quantise(Along(axis, high)), Quantise(Along(axis, low)));
}

// ---- least squares ---------------------------------------------------------

// How much of the first endpoint each palette entry holds.
float ShareOfFirst(int index, bool three)
{
    static constexpr float Four[4] = {1.0f, 0.0f, 2.0f / 3.0f, 1.0f / 3.0f};
    static constexpr float Three[4] = {1.0f, 0.0f, 0.5f, 0.0f};
    return three ? Three[index] : Four[index];
}

// The unquantised endpoints that best fit pixels with the given shares of
// the first endpoint, from the sums of the normal equations. False when the
// shares do not pin both endpoints down.
struct TNormalSums {
    float AA = 0, AB = 0, BB = 0;
    TVector XA, XB;
};

bool Solve(const TNormalSums& s, TVector& e0, TVector& e1)
{
    const float determinant = s.AA * s.BB - s.AB * s.AB;
    if (std::abs(determinant) < 1e-6f)
        return false;
    const float f = 1.0f / determinant;
    e0 = {(s.BB * s.XA.R - s.AB * s.XB.R) * f, (s.BB * s.XA.G - s.AB * s.XB.G) * f,
          (s.BB * s.XA.B - s.AB * s.XB.B) * f};
    e1 = {(s.AA * s.XB.R - s.AB * s.XA.R) * f, (s.AA * s.XB.G - s.AB * s.XA.G) * f,
          (s.AA * s.XB.B - s.AB * s.XA.B) * f};
    return true;
}

bool RefineLeastSquares(TColourFitter& fitter)
{
    const TColourPixels& pixels = fitter.Pixels();
    const TFit& fit = fitter.Best();
    // Pixels that share an entry share their weights: sum them per entry first.
    float count[4] = {}, red[4] = {}, green[4] = {}, blue[4] = {};
    for (int i = 0; i < 16; ++i) {
        const int k = fit.Index[i];
        const float w = pixels.Weight[i];
        count[k] += w;
        red[k] += w * pixels.R[i];
        green[k] += w * pixels.G[i];
        blue[k] += w * pixels.B[i];
    }
    TNormalSums s;
    for (int k = 0; k < 4; ++k) {
        const float a = ShareOfFirst(k, fitter.Three());
        const float b = 1.0f - a;
        s.AA += count[k] * a * a;
        s.AB += count[k] * a * b;
        s.BB += count[k] * b * b;
        s.XA.R += a * red[k];
        s.XA.G += a * green[k];
        s.XA.B += a * blue[k];
        s.XB.R += b * red[k];
        s.XB.G += b * green[k];
        s.XB.B += b * blue[k];
    }
    TVector e0, e1;
    return Solve(s, e0, e1) && fitter.Consider(Quantise(e0), Quantise(e1));
}

// ---- cluster fit -----------------------------------------------------------

// Tries every split of the pixels, ordered along the axis, into runs that
// take the entries first, two-thirds, one-third, second (first, half, second
// in three-colour mode), keeping the split whose unquantised solution has
// the least error.
void FitClusters(TColourFitter& fitter, const TAxis& axis)
{
    const TColourPixels& pixels = fitter.Pixels();
    std::array<std::pair<float, int>, 16> order;
    int n = 0;
    for (int i = 0; i < 16; ++i)
        if (pixels.Weight[i] != 0)
            order[n++] = {-Project(pixels, i, axis), i}; // the first endpoint at the high end
    std::sort(order.begin(), order.begin() + n);
    // Prefix sums of the ordered pixels and of their squares.
    TVector sum[17];
    for (int k = 0; k < n; ++k) {
        const int i = order[k].second;
        sum[k + 1] = {sum[k].R + pixels.R[i], sum[k].G + pixels.G[i], sum[k].B + pixels.B[i]};
    }
    auto range = [&](int from, int to) {
        return TVector{sum[to].R - sum[from].R, sum[to].G - sum[from].G, sum[to].B - sum[from].B};
    };
    const bool three = fitter.Three();
    const float inner1 = three ? 0.5f : 2.0f / 3.0f; // share of the first endpoint in the inner runs
    const float inner2 = three ? 0.5f : 1.0f / 3.0f;
    // The few splits of least unquantised error: quantising can reorder them.
    constexpr int Kept = 16;
    struct TSplit {
        float Cost = std::numeric_limits<float>::max();
        TVector E0, E1;
    };
    std::array<TSplit, Kept> kept{};
    for (int end0 = 0; end0 <= n; ++end0)
        for (int end1 = end0; end1 <= n; ++end1)
            for (int end2 = end1, lastEnd2 = three ? end1 : n; end2 <= lastEnd2; ++end2) { // one inner run in three-colour mode
                const float c0 = static_cast<float>(end0), c1 = static_cast<float>(end1 - end0);
                const float c2 = static_cast<float>(end2 - end1), c3 = static_cast<float>(n - end2);
                TNormalSums s;
                s.AA = c0 + c1 * inner1 * inner1 + c2 * inner2 * inner2;
                s.AB = c1 * inner1 * (1 - inner1) + c2 * inner2 * (1 - inner2);
                s.BB = c3 + c1 * (1 - inner1) * (1 - inner1) + c2 * (1 - inner2) * (1 - inner2);
                const TVector r0 = range(0, end0), r1 = range(end0, end1), r2 = range(end1, end2), r3 = range(end2, n);
                s.XA = {r0.R + inner1 * r1.R + inner2 * r2.R, r0.G + inner1 * r1.G + inner2 * r2.G,
                        r0.B + inner1 * r1.B + inner2 * r2.B};
                s.XB = {r3.R + (1 - inner1) * r1.R + (1 - inner2) * r2.R, r3.G + (1 - inner1) * r1.G + (1 - inner2) * r2.G,
                        r3.B + (1 - inner1) * r1.B + (1 - inner2) * r2.B};
                TVector e0, e1;
                if (!Solve(s, e0, e1))
                    continue;
                // The error less the constant sum of squares.
                const float cost = s.AA * (e0.R * e0.R + e0.G * e0.G + e0.B * e0.B) +
                                   2 * s.AB * (e0.R * e1.R + e0.G * e1.G + e0.B * e1.B) +
                                   s.BB * (e1.R * e1.R + e1.G * e1.G + e1.B * e1.B) -
                                   2 * (e0.R * s.XA.R + e0.G * s.XA.G + e0.B * s.XA.B + e1.R * s.XB.R +
                                        e1.G * s.XB.G + e1.B * s.XB.B);
                if (cost < kept[Kept - 1].Cost) {
                    int at = Kept - 1;
                    for (; at > 0 && kept[at - 1].Cost > cost; --at)
                        kept[at] = kept[at - 1];
                    kept[at] = {cost, e0, e1};
                }
            }
    for (const TSplit& split : kept)
        if (split.Cost < std::numeric_limits<float>::max())
            fitter.Consider(Quantise(split.E0), Quantise(split.E1));
}

// ---- endpoint search -------------------------------------------------------

// Moves each of the six endpoint fields one step either way while a move
// lowers the error; with pairs, also both endpoints' field of a channel at
// once, the same way or opposite ways.
void SearchNeighbours(TColourFitter& fitter, int rounds, bool pairs)
{
    auto field = [](TEndpoint& e, int channel) -> int& { return channel == 0 ? e.R : channel == 1 ? e.G : e.B; };
    auto fits = [](int value, int channel) { return value >= 0 && value <= (channel == 1 ? 63 : 31); };
    for (int round = 0; round < rounds; ++round) {
        bool improved = false;
        for (int channel = 0; channel < 3; ++channel) {
            for (int end = 0; end < 2; ++end)
                for (int step : {-1, 1}) {
                    TEndpoint e[2] = {fitter.Best().E0, fitter.Best().E1};
                    int& value = field(e[end], channel);
                    value += step;
                    if (fits(value, channel))
                        improved |= fitter.Consider(e[0], e[1]);
                }
            if (!pairs)
                continue;
            for (int step0 : {-1, 1})
                for (int step1 : {-1, 1}) {
                    TEndpoint e[2] = {fitter.Best().E0, fitter.Best().E1};
                    int& v0 = field(e[0], channel);
                    int& v1 = field(e[1], channel);
                    v0 += step0;
                    v1 += step1;
                    if (fits(v0, channel) && fits(v1, channel))
                        improved |= fitter.Consider(e[0], e[1]);
                }
        }
        if (!improved)
            break;
    }
}

TFit FitColours(const TColourPixels& pixels, const TEffort& effort, bool three)
{
    TColourFitter fitter(pixels, three);
    if (pixels.Count == 0) {
        fitter.Consider({}, {});
        return fitter.Best();
    }
    int red, green, blue;
    if (!three && SingleColour(pixels, red, green, blue)) {
        FitSingleColour(fitter, red, green, blue);
        return fitter.Best();
    }
    const TAxis axis = PrincipalAxis(pixels);
    if (axis.Flat) {
        const TEndpoint mean = Quantise(axis.Mean);
        fitter.Consider(mean, mean);
    } else {
        FitExtremes(fitter, axis);
        if (effort.ClusterFit)
            FitClusters(fitter, axis);
    }
    for (int step = 0; step < effort.LeastSquaresSteps; ++step)
        if (!RefineLeastSquares(fitter))
            break;
    SearchNeighbours(fitter, effort.SearchRounds, effort.ClusterFit);
    // (best) Least squares on the indices the search settled on, and the
    // search again from there, while that helps.
    for (int again = 0; effort.ClusterFit && again < 4; ++again) {
        const float before = fitter.Best().Error;
        RefineLeastSquares(fitter);
        SearchNeighbours(fitter, effort.SearchRounds, true);
        if (fitter.Best().Error >= before)
            break;
    }
    return fitter.Best();
}

// ---- fast path -------------------------------------------------------------

#if QUORIN_ENCODER_SSE2
// Fast quality on an opaque block, four pixels a register throughout: the
// principal axis from the covariance, endpoints at the extremes of the
// pixels' projections on it, indices by projection on the quantised
// endpoints' line (its entries lie on that line, so the nearest along it is
// the nearest), then least squares for those indices, kept when it lowers
// the error. Nothing is searched pixel by pixel against the palette.
struct TSsePixels {
    __m128 R[4], G[4], B[4];
};

inline float SumOf(__m128 v)
{
    const __m128 pairs = _mm_add_ps(v, _mm_movehl_ps(v, v));
    return _mm_cvtss_f32(_mm_add_ss(pairs, _mm_shuffle_ps(pairs, pairs, 1)));
}
// The sums of four registers' lanes, in one register.
inline __m128 SumsOf(__m128 a, __m128 b, __m128 c, __m128 d)
{
    const __m128 ab = _mm_add_ps(_mm_unpacklo_ps(a, b), _mm_unpackhi_ps(a, b));
    const __m128 cd = _mm_add_ps(_mm_unpacklo_ps(c, d), _mm_unpackhi_ps(c, d));
    return _mm_add_ps(_mm_movelh_ps(ab, cd), _mm_movehl_ps(cd, ab));
}
inline float MinOf(__m128 v)
{
    const __m128 pairs = _mm_min_ps(v, _mm_movehl_ps(v, v));
    return _mm_cvtss_f32(_mm_min_ss(pairs, _mm_shuffle_ps(pairs, pairs, 1)));
}
inline float MaxOf(__m128 v)
{
    const __m128 pairs = _mm_max_ps(v, _mm_movehl_ps(v, v));
    return _mm_cvtss_f32(_mm_max_ss(pairs, _mm_shuffle_ps(pairs, pairs, 1)));
}

TSsePixels LoadSsePixels(const std::uint8_t* bgra)
{
    TSsePixels p;
    const __m128i low = _mm_set1_epi32(0xFF);
    for (int g = 0; g < 4; ++g) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgra + 16 * g));
        p.B[g] = _mm_cvtepi32_ps(_mm_and_si128(px, low));
        p.G[g] = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(px, 8), low));
        p.R[g] = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(px, 16), low));
    }
    return p;
}

// Quantise with the three channels in one register.
inline TEndpoint QuantiseSse(const TVector& v)
{
    __m128 x = _mm_setr_ps(v.R, v.G, v.B, 0.0f);
    x = _mm_min_ps(_mm_max_ps(x, _mm_setzero_ps()), _mm_set1_ps(255.0f));
    alignas(16) std::int32_t steps[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(steps),
                    _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(x, _mm_set1_ps(QuantiseSteps)), _mm_set1_ps(0.5f))));
    return {Nearest5[steps[0]], Nearest6[steps[1]], Nearest5[steps[2]]};
}

bool SseSingleColour(const std::uint8_t* bgra)
{
    const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
    const __m128i first = _mm_and_si128(_mm_set1_epi32(static_cast<int>(bgra[0] | bgra[1] << 8 | bgra[2] << 16)), rgb);
    __m128i same = _mm_set1_epi32(-1);
    for (int g = 0; g < 4; ++g) {
        const __m128i px = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bgra + 16 * g)), rgb);
        same = _mm_and_si128(same, _mm_cmpeq_epi32(px, first));
    }
    return _mm_movemask_epi8(same) == 0xFFFF;
}

struct TFastFit {
    TEndpoint E0, E1;
    float Error;
    __m128i Steps[4]; // per pixel 0..3: from the first endpoint towards the second
};

// Steps along the line of the pair's expanded colours, and the error of the
// entries they pick (the thirds unrounded: close enough to choose by).
#if defined(__GNUC__)
[[gnu::always_inline]]
#endif
inline void ProjectOnPair(const TSsePixels& p, TEndpoint e0, TEndpoint e1, TFastFit& fit)
{
    fit.E0 = e0;
    fit.E1 = e1;
    const float r0 = Expanded5[e0.R], g0 = Expanded6[e0.G], b0 = Expanded5[e0.B];
    const float dr = Expanded5[e1.R] - r0, dg = Expanded6[e1.G] - g0, db = Expanded5[e1.B] - b0;
    const float length = dr * dr + dg * dg + db * db;
    const float scale = length > 0 ? 3.0f / length : 0.0f;
    const __m128 vr0 = _mm_set1_ps(r0), vg0 = _mm_set1_ps(g0), vb0 = _mm_set1_ps(b0);
    const __m128 vdr = _mm_set1_ps(dr), vdg = _mm_set1_ps(dg), vdb = _mm_set1_ps(db);
    const __m128 sdr = _mm_set1_ps(dr * scale), sdg = _mm_set1_ps(dg * scale), sdb = _mm_set1_ps(db * scale);
    const __m128 third = _mm_set1_ps(1.0f / 3.0f);
    __m128 error = _mm_setzero_ps();
    for (int g = 0; g < 4; ++g) {
        const __m128 r = _mm_sub_ps(p.R[g], vr0), gg = _mm_sub_ps(p.G[g], vg0), b = _mm_sub_ps(p.B[g], vb0);
        __m128 t = _mm_add_ps(_mm_add_ps(_mm_mul_ps(r, sdr), _mm_mul_ps(gg, sdg)), _mm_mul_ps(b, sdb));
        t = _mm_min_ps(_mm_max_ps(t, _mm_setzero_ps()), _mm_set1_ps(3.0f));
        const __m128i step = _mm_cvtps_epi32(t); // rounds to nearest
        fit.Steps[g] = step;
        const __m128 w = _mm_mul_ps(_mm_cvtepi32_ps(step), third);
        const __m128 er = _mm_sub_ps(r, _mm_mul_ps(w, vdr)), eg = _mm_sub_ps(gg, _mm_mul_ps(w, vdg)),
                     eb = _mm_sub_ps(b, _mm_mul_ps(w, vdb));
        error = _mm_add_ps(error, _mm_add_ps(_mm_add_ps(_mm_mul_ps(er, er), _mm_mul_ps(eg, eg)), _mm_mul_ps(eb, eb)));
    }
    fit.Error = SumOf(error);
}

// Least squares for the fit's steps; false when they do not pin both ends down.
bool SolveForSteps(const TSsePixels& p, const TFastFit& fit, TVector& e0, TVector& e1)
{
    const __m128 third = _mm_set1_ps(1.0f / 3.0f), one = _mm_set1_ps(1.0f);
    __m128 aa = _mm_setzero_ps(), ab = aa, bb = aa, xar = aa, xag = aa, xab = aa, xbr = aa, xbg = aa, xbb = aa;
    for (int g = 0; g < 4; ++g) {
        const __m128 b = _mm_mul_ps(_mm_cvtepi32_ps(fit.Steps[g]), third);
        const __m128 a = _mm_sub_ps(one, b);
        aa = _mm_add_ps(aa, _mm_mul_ps(a, a));
        ab = _mm_add_ps(ab, _mm_mul_ps(a, b));
        bb = _mm_add_ps(bb, _mm_mul_ps(b, b));
        xar = _mm_add_ps(xar, _mm_mul_ps(a, p.R[g]));
        xag = _mm_add_ps(xag, _mm_mul_ps(a, p.G[g]));
        xab = _mm_add_ps(xab, _mm_mul_ps(a, p.B[g]));
        xbr = _mm_add_ps(xbr, _mm_mul_ps(b, p.R[g]));
        xbg = _mm_add_ps(xbg, _mm_mul_ps(b, p.G[g]));
        xbb = _mm_add_ps(xbb, _mm_mul_ps(b, p.B[g]));
    }
    alignas(16) float sums[12];
    _mm_store_ps(sums, SumsOf(aa, ab, bb, xar));
    _mm_store_ps(sums + 4, SumsOf(xag, xab, xbr, xbg));
    _mm_store_ps(sums + 8, SumsOf(xbb, xbb, xbb, xbb));
    TNormalSums s;
    s.AA = sums[0];
    s.AB = sums[1];
    s.BB = sums[2];
    s.XA = {sums[3], sums[4], sums[5]};
    s.XB = {sums[6], sums[7], sums[8]};
    return Solve(s, e0, e1);
}

// The block's fit in the encoder's terms: palette entry numbers per pixel.
TFit ToFit(const TFastFit& fast)
{
    TFit fit;
    fit.E0 = fast.E0;
    fit.E1 = fast.E1;
    fit.Error = fast.Error;
    alignas(16) std::int32_t steps[16];
    for (int g = 0; g < 4; ++g)
        _mm_store_si128(reinterpret_cast<__m128i*>(steps + 4 * g), fast.Steps[g]);
    static constexpr std::uint8_t EntryOfStep[4] = {0, 2, 3, 1};
    for (int i = 0; i < 16; ++i)
        fit.Index[i] = EntryOfStep[steps[i]];
    return fit;
}

// Moves each of the six endpoint fields one step towards the unquantised
// endpoints' side of it while that lowers the error, judged by projection:
// rounding the solution one field at a time is where the error hides.
void SearchFast(const TSsePixels& p, int rounds, const TVector (&target)[2], TFastFit& best)
{
    auto field = [](TEndpoint& e, int channel) -> int& { return channel == 0 ? e.R : channel == 1 ? e.G : e.B; };
    auto wanted = [](const TVector& v, int channel) { return channel == 0 ? v.R : channel == 1 ? v.G : v.B; };
    for (int round = 0; round < rounds; ++round) {
        bool improved = false;
        for (int channel = 0; channel < 3; ++channel)
            for (int end = 0; end < 2; ++end) {
                TEndpoint e[2] = {best.E0, best.E1};
                int& value = field(e[end], channel);
                const int expanded = channel == 1 ? Expanded6[value] : Expanded5[value];
                value += wanted(target[end], channel) > static_cast<float>(expanded) ? 1 : -1;
                if (value < 0 || value > (channel == 1 ? 63 : 31))
                    continue;
                TFastFit candidate;
                ProjectOnPair(p, e[0], e[1], candidate);
                if (candidate.Error < best.Error) {
                    best = candidate;
                    improved = true;
                }
            }
        if (!improved)
            break;
    }
}

TFastFit FitFast(const std::uint8_t* bgra, int leastSquaresSteps, int searchRounds)
{
    if (SseSingleColour(bgra)) {
        // Every channel's best two-thirds entry from the tables: the same
        // entry for all, so it is the nearest for every pixel.
        const auto& r = SingleColourTable(5)[bgra[2]];
        const auto& g = SingleColourTable(6)[bgra[1]];
        const auto& b = SingleColourTable(5)[bgra[0]];
        TFastFit fit;
        fit.E0 = {r.Hi, g.Hi, b.Hi};
        fit.E1 = {r.Lo, g.Lo, b.Lo};
        fit.Error = 0;
        for (auto& steps : fit.Steps)
            steps = _mm_set1_epi32(fit.E0.Word() == fit.E1.Word() ? 0 : 1);
        return fit;
    }
    const TSsePixels p = LoadSsePixels(bgra);
    // Sums and sums of products in one pass: whole numbers below 2^24, exact
    // in float, so the covariance from them loses nothing.
    __m128 sr = _mm_setzero_ps(), sg = sr, sb = sr, crr = sr, crg = sr, crb = sr, cgg = sr, cgb = sr, cbb = sr;
    for (int g = 0; g < 4; ++g) {
        const __m128 r = p.R[g], gg = p.G[g], b = p.B[g];
        sr = _mm_add_ps(sr, r);
        sg = _mm_add_ps(sg, gg);
        sb = _mm_add_ps(sb, b);
        crr = _mm_add_ps(crr, _mm_mul_ps(r, r));
        crg = _mm_add_ps(crg, _mm_mul_ps(r, gg));
        crb = _mm_add_ps(crb, _mm_mul_ps(r, b));
        cgg = _mm_add_ps(cgg, _mm_mul_ps(gg, gg));
        cgb = _mm_add_ps(cgb, _mm_mul_ps(gg, b));
        cbb = _mm_add_ps(cbb, _mm_mul_ps(b, b));
    }
    alignas(16) float sums[12];
    _mm_store_ps(sums, SumsOf(sr, sg, sb, crr));
    _mm_store_ps(sums + 4, SumsOf(crg, crb, cgg, cgb));
    _mm_store_ps(sums + 8, SumsOf(cbb, cbb, cbb, cbb));
    const TVector mean{sums[0] / 16, sums[1] / 16, sums[2] / 16};
    const __m128 mr = _mm_set1_ps(mean.R), mg = _mm_set1_ps(mean.G), mb = _mm_set1_ps(mean.B);
    const float rr = sums[3] - sums[0] * mean.R, rg = sums[4] - sums[0] * mean.G, rb = sums[5] - sums[0] * mean.B;
    const float gg = sums[6] - sums[1] * mean.G, gb = sums[7] - sums[1] * mean.B, bb = sums[8] - sums[2] * mean.B;
    TVector v = rr >= gg && rr >= bb ? TVector{rr, rg, rb} : gg >= bb ? TVector{rg, gg, gb} : TVector{rb, gb, bb};
    // Four steps of power iteration as two by the covariance squared, which
    // does not wait for the start: a short chain of dependent steps. Unscaled,
    // as entries of at most 16 * 255^2 keep the result inside a float's range.
    const float srr = rr * rr + rg * rg + rb * rb, srg = rr * rg + rg * gg + rb * gb, srb = rr * rb + rg * gb + rb * bb;
    const float sgg = rg * rg + gg * gg + gb * gb, sgb = rg * rb + gg * gb + gb * bb, sbb = rb * rb + gb * gb + bb * bb;
    for (int step = 0; step < 2; ++step)
        v = {srr * v.R + srg * v.G + srb * v.B, srg * v.R + sgg * v.G + sgb * v.B, srb * v.R + sgb * v.G + sbb * v.B};
    const float largest = std::max({std::abs(v.R), std::abs(v.G), std::abs(v.B)});
    if (largest > 0)
        v = {v.R / largest, v.G / largest, v.B / largest}; // the length's squares might not fit
    TFastFit best;
    const float length = std::sqrt(v.R * v.R + v.G * v.G + v.B * v.B);
    if (!(largest > 1e-30f) || !std::isfinite(largest)) {
        const TEndpoint e = QuantiseSse(mean);
        ProjectOnPair(p, e, e, best);
        return best;
    }
    v = {v.R / length, v.G / length, v.B / length};
    const __m128 vr = _mm_set1_ps(v.R), vg = _mm_set1_ps(v.G), vb = _mm_set1_ps(v.B);
    __m128 low = _mm_set1_ps(std::numeric_limits<float>::max()), high = _mm_set1_ps(std::numeric_limits<float>::lowest());
    for (int g = 0; g < 4; ++g) {
        const __m128 t = _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_sub_ps(p.R[g], mr), vr), _mm_mul_ps(_mm_sub_ps(p.G[g], mg), vg)),
                                    _mm_mul_ps(_mm_sub_ps(p.B[g], mb), vb));
        low = _mm_min_ps(low, t);
        high = _mm_max_ps(high, t);
    }
    const float tLow = MinOf(low), tHigh = MaxOf(high);
    auto along = [&](float t) { return TVector{mean.R + t * v.R, mean.G + t * v.G, mean.B + t * v.B}; };
    TVector target[2] = {along(tHigh), along(tLow)};
    ProjectOnPair(p, QuantiseSse(target[0]), QuantiseSse(target[1]), best);
    for (int step = 0; step < leastSquaresSteps; ++step) {
        TVector e0, e1;
        if (!SolveForSteps(p, best, e0, e1))
            break;
        const TEndpoint q0 = QuantiseSse(e0), q1 = QuantiseSse(e1);
        if (q0.Word() == best.E0.Word() && q1.Word() == best.E1.Word())
            break; // the same pair: nothing more to gain
        TFastFit candidate;
        ProjectOnPair(p, q0, q1, candidate);
        if (candidate.Error >= best.Error)
            break;
        best = candidate;
        target[0] = e0;
        target[1] = e1;
    }
    SearchFast(p, searchRounds, target, best);
    return best;
}
#endif

// ---- packing ---------------------------------------------------------------

void PutU16(std::uint8_t* out, int value)
{
    out[0] = static_cast<std::uint8_t>(value);
    out[1] = static_cast<std::uint8_t>(value >> 8);
}

// Orders the endpoints as the mode needs (four colours: first above second;
// three: first not above second), mapping the indices with them.
void PackColour(const TFit& fit, bool three, const bool* transparent, std::uint8_t* out)
{
    int w0 = fit.E0.Word(), w1 = fit.E1.Word();
    std::uint8_t index[16];
    std::copy(fit.Index, fit.Index + 16, index);
    const bool swap = three ? w0 > w1 : w0 < w1;
    if (swap) {
        std::swap(w0, w1);
        for (auto& i : index)
            i = three ? (i == 2 ? 2 : i ^ 1) : i ^ 1;
    }
    if (!three && w0 == w1) {
        // Equal endpoints would read as the three-colour mode, and decoders
        // take a DXT1 texture with such blocks for one with alpha. Every
        // pixel takes the one colour from an endpoint; the other is moved.
        if (w0 > 0) {
            w1 = w0 - 1;
            std::fill(index, index + 16, 0);
        } else {
            w0 = 1;
            std::fill(index, index + 16, 1);
        }
    }
    std::uint32_t bits = 0;
    for (int i = 0; i < 16; ++i) {
        const std::uint32_t chosen = transparent && transparent[i] ? 3 : index[i];
        bits |= chosen << (2 * i);
    }
    PutU16(out, w0);
    PutU16(out + 2, w1);
    PutU16(out + 4, static_cast<int>(bits & 0xFFFF));
    PutU16(out + 6, static_cast<int>(bits >> 16));
}

TColourPixels ColourPixels(const std::uint8_t* bgra, bool punchThrough)
{
    TColourPixels pixels;
    for (int i = 0; i < 16; ++i) {
        const std::uint8_t* p = bgra + 4 * i;
        pixels.B[i] = p[0];
        pixels.G[i] = p[1];
        pixels.R[i] = p[2];
        pixels.Transparent[i] = punchThrough && p[3] < 128;
        pixels.Weight[i] = pixels.Transparent[i] ? 0.0f : 1.0f;
        pixels.Count += pixels.Transparent[i] ? 0 : 1;
    }
    return pixels;
}

#if QUORIN_ENCODER_SSE2
// Sixteen bits to the even bits of a word.
constexpr std::uint32_t SpreadToEvenBits(std::uint32_t x)
{
    x = (x | x << 8) & 0x00FF00FFu;
    x = (x | x << 4) & 0x0F0F0F0Fu;
    x = (x | x << 2) & 0x33333333u;
    return (x | x << 1) & 0x55555555u;
}

// PackColour for a fast fit, the indices made from both bits of every step at once.
void PackFast(const TFastFit& fit, std::uint8_t* out)
{
    int w0 = fit.E0.Word(), w1 = fit.E1.Word();
    if (w0 == w1) {
        PackColour(ToFit(fit), false, nullptr, out);
        return;
    }
    const __m128i steps = _mm_packus_epi16(_mm_packs_epi32(fit.Steps[0], fit.Steps[1]),
                                           _mm_packs_epi32(fit.Steps[2], fit.Steps[3]));
    const auto low = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_slli_epi16(steps, 7)));
    const auto high = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_slli_epi16(steps, 6)));
    // Steps 0, 1, 2, 3 from the first endpoint are the entries 0, 2, 3, 1.
    std::uint32_t bits = SpreadToEvenBits(high) | SpreadToEvenBits(low ^ high) << 1;
    if (w0 < w1) {
        std::swap(w0, w1);
        bits ^= 0x55555555u; // the entries' numbers swap pairwise with the endpoints
    }
    PutU16(out, w0);
    PutU16(out + 2, w1);
    PutU16(out + 4, static_cast<int>(bits & 0xFFFF));
    PutU16(out + 6, static_cast<int>(bits >> 16));
}
#endif

// Whether a pixel would be transparent in a punch-through block.
bool AnyBelowHalf(const std::uint8_t* bgra)
{
    for (int i = 0; i < 16; ++i)
        if (bgra[4 * i + 3] < 128)
            return true;
    return false;
}

void EncodeColour(const std::uint8_t* bgra, TDxtQuality quality, bool dxt1, bool punchThrough, std::uint8_t* out)
{
    const TEffort effort = EffortOf(quality);
#if QUORIN_ENCODER_SSE2
    if (quality != TDxtQuality::Best && !(dxt1 && punchThrough && AnyBelowHalf(bgra)))
    {
        PackFast(FitFast(bgra, effort.LeastSquaresSteps, effort.SearchRounds), out);
        return;
    }
#endif
    const TColourPixels pixels = ColourPixels(bgra, dxt1 && punchThrough);
    const bool anyTransparent = pixels.Count < 16;
    if (anyTransparent) {
        PackColour(FitColours(pixels, effort, true), true, pixels.Transparent, out);
        return;
    }
    // Opaque blocks keep off the three-colour mode: hardware rounds its
    // middle entry in more than one way.
    PackColour(FitColours(pixels, effort, false), false, pixels.Transparent, out);
}

// ---- alpha -----------------------------------------------------------------

void AlphaTable(int a0, int a1, int table[8])
{
    table[0] = a0;
    table[1] = a1;
    if (a0 > a1) {
        for (int i = 1; i <= 6; ++i)
            table[i + 1] = ((7 - i) * a0 + i * a1 + 3) / 7;
    } else {
        for (int i = 1; i <= 4; ++i)
            table[i + 1] = ((5 - i) * a0 + i * a1 + 2) / 5;
        table[6] = 0;
        table[7] = 255;
    }
}

struct TAlphaFit {
    int A0 = 0, A1 = 0;
    int Error = std::numeric_limits<int>::max();
    std::uint8_t Index[16] = {};
};

#if QUORIN_ENCODER_SSE2
// The nearest entry by counting, for all sixteen values at once, the
// midpoints between neighbouring entries that each value lies above.
void ConsiderAlpha(const std::uint8_t* alpha, int a0, int a1, TAlphaFit& best)
{
    int table[8];
    AlphaTable(a0, a1, table);
    // The entries' numbers in ascending order of their values.
    static constexpr std::uint8_t EightAscending[8] = {1, 7, 6, 5, 4, 3, 2, 0};
    static constexpr std::uint8_t SixAscending[8] = {6, 0, 2, 3, 4, 5, 1, 7};
    const std::uint8_t* order = a0 > a1 ? EightAscending : SixAscending;
    const __m128i values = _mm_loadu_si128(reinterpret_cast<const __m128i*>(alpha));
    const __m128i twiceLow = _mm_slli_epi16(_mm_unpacklo_epi8(values, _mm_setzero_si128()), 1);
    const __m128i twiceHigh = _mm_slli_epi16(_mm_unpackhi_epi8(values, _mm_setzero_si128()), 1);
    __m128i rankLow = _mm_setzero_si128(), rankHigh = rankLow;
    for (int k = 0; k < 7; ++k) {
        const __m128i midpoint = _mm_set1_epi16(static_cast<short>(table[order[k]] + table[order[k + 1]]));
        rankLow = _mm_sub_epi16(rankLow, _mm_cmpgt_epi16(twiceLow, midpoint));
        rankHigh = _mm_sub_epi16(rankHigh, _mm_cmpgt_epi16(twiceHigh, midpoint));
    }
    alignas(16) std::uint8_t rank[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(rank), _mm_packus_epi16(rankLow, rankHigh));
    TAlphaFit candidate;
    candidate.A0 = a0;
    candidate.A1 = a1;
    candidate.Error = 0;
    for (int i = 0; i < 16; ++i) {
        const int entry = order[rank[i]];
        const int d = alpha[i] - table[entry];
        candidate.Index[i] = static_cast<std::uint8_t>(entry);
        candidate.Error += d * d;
    }
    if (candidate.Error < best.Error)
        best = candidate;
}
#else
void ConsiderAlpha(const std::uint8_t* alpha, int a0, int a1, TAlphaFit& best)
{
    int table[8];
    AlphaTable(a0, a1, table);
    TAlphaFit candidate;
    candidate.A0 = a0;
    candidate.A1 = a1;
    candidate.Error = 0;
    for (int i = 0; i < 16; ++i) {
        int bestDistance = 1 << 30;
        for (int k = 0; k < 8; ++k) {
            const int d = (alpha[i] - table[k]) * (alpha[i] - table[k]);
            if (d < bestDistance) {
                bestDistance = d;
                candidate.Index[i] = static_cast<std::uint8_t>(k);
            }
        }
        candidate.Error += bestDistance;
        if (candidate.Error >= best.Error)
            return;
    }
    best = candidate;
}
#endif

} // namespace

void EncodeDXT5Alpha(const std::uint8_t* alpha, TDxtQuality quality, std::uint8_t* out)
{
    const int radius = EffortOf(quality).AlphaRadius;
    int low = 255, high = 0, innerLow = 255, innerHigh = 0;
    for (int i = 0; i < 16; ++i) {
        low = std::min<int>(low, alpha[i]);
        high = std::max<int>(high, alpha[i]);
        if (alpha[i] != 0 && alpha[i] != 255) {
            innerLow = std::min<int>(innerLow, alpha[i]);
            innerHigh = std::max<int>(innerHigh, alpha[i]);
        }
    }
    TAlphaFit best;
    // Six values and the fixed 0 and 255: the range of the values between.
    if (innerLow > innerHigh)
        ConsiderAlpha(alpha, 0, 0, best);
    for (int d0 = 0; d0 <= radius && innerLow + d0 <= innerHigh; ++d0)
        for (int d1 = 0; d1 <= radius && innerLow + d0 <= innerHigh - d1; ++d1)
            ConsiderAlpha(alpha, innerLow + d0, innerHigh - d1, best);
    // Eight values: the whole range, first endpoint above the second.
    for (int d0 = 0; d0 <= radius && high - d0 > low; ++d0)
        for (int d1 = 0; d1 <= radius && high - d0 > low + d1; ++d1)
            ConsiderAlpha(alpha, high - d0, low + d1, best);
    out[0] = static_cast<std::uint8_t>(best.A0);
    out[1] = static_cast<std::uint8_t>(best.A1);
    std::uint64_t bits = 0;
    for (int i = 0; i < 16; ++i)
        bits |= std::uint64_t{best.Index[i]} << (3 * i);
    for (int b = 0; b < 6; ++b)
        out[2 + b] = static_cast<std::uint8_t>(bits >> (8 * b));
}

void EncodeDXT1Block(const std::uint8_t* bgra, TDxtQuality quality, bool punchThrough, std::uint8_t* out)
{
    EncodeColour(bgra, quality, true, punchThrough, out);
}

void EncodeDXT5Block(const std::uint8_t* bgra, TDxtQuality quality, std::uint8_t* out)
{
    std::uint8_t alpha[16];
    for (int i = 0; i < 16; ++i)
        alpha[i] = bgra[4 * i + 3];
    EncodeDXT5Alpha(alpha, quality, out);
    // Four-colour order in DXT5 too: some hardware reads the order there as DXT1's.
    EncodeColour(bgra, quality, false, false, out + 8);
}

void DecodeColourBlock(const std::uint8_t* block, bool dxt1, std::uint8_t* bgra)
{
    const int w0 = block[0] | block[1] << 8, w1 = block[2] | block[3] << 8;
    const TEndpoint e0{w0 >> 11, (w0 >> 5) & 63, w0 & 31}, e1{w1 >> 11, (w1 >> 5) & 63, w1 & 31};
    const bool three = dxt1 && w0 <= w1;
    const TPalette palette = MakePalette(e0, e1, three);
    const std::uint32_t bits = static_cast<std::uint32_t>(block[4] | block[5] << 8 | block[6] << 16) |
                               static_cast<std::uint32_t>(block[7]) << 24;
    for (int i = 0; i < 16; ++i) {
        const int k = (bits >> (2 * i)) & 3;
        std::uint8_t* p = bgra + 4 * i;
        p[0] = static_cast<std::uint8_t>(palette.B[k]);
        p[1] = static_cast<std::uint8_t>(palette.G[k]);
        p[2] = static_cast<std::uint8_t>(palette.R[k]);
        p[3] = three && k == 3 ? 0 : 255;
        if (three && k == 3)
            p[0] = p[1] = p[2] = 0;
    }
}

void DecodeAlphaBlock(const std::uint8_t* block, std::uint8_t* alpha)
{
    int table[8];
    AlphaTable(block[0], block[1], table);
    std::uint64_t bits = 0;
    for (int b = 0; b < 6; ++b)
        bits |= std::uint64_t{block[2 + b]} << (8 * b);
    for (int i = 0; i < 16; ++i)
        alpha[i] = static_cast<std::uint8_t>(table[(bits >> (3 * i)) & 7]);
}

int DxtBlockBytes(TDxtKind kind)
{
    return kind == TDxtKind::DXT1 ? 8 : 16;
}

std::size_t DxtPictureBytes(TDxtKind kind, int width, int height)
{
    return static_cast<std::size_t>((width + 3) / 4) * static_cast<std::size_t>((height + 3) / 4) *
           static_cast<std::size_t>(DxtBlockBytes(kind));
}

namespace {

// The 4x4 pixels of a block as blue, green, red, alpha; outside the picture
// the nearest edge pixel.
void GatherBlock(const TBitmap& picture, int bx, int by, bool alpha, std::uint8_t* bgra)
{
    const int bytes = picture.BytesPerPixel();
    for (int r = 0; r < 4; ++r) {
        const std::uint8_t* row = picture.RowAddress(std::min(4 * by + r, picture.Height() - 1));
        for (int k = 0; k < 4; ++k) {
            const std::uint8_t* p = row + std::min(4 * bx + k, picture.Width() - 1) * bytes;
            std::uint8_t* q = bgra + 16 * r + 4 * k;
            q[0] = p[0];
            q[1] = p[1];
            q[2] = p[2];
            q[3] = alpha ? p[3] : 255;
        }
    }
}

void EncodeBlockRow(const TBitmap& picture, const TDxtOptions& options, int by, std::uint8_t* out)
{
    const bool alpha = picture.BytesPerPixel() == 4 && picture.HasAlphaChannel();
    const int across = (picture.Width() + 3) / 4;
    const int blockBytes = DxtBlockBytes(options.Kind);
    std::uint8_t bgra[64];
    for (int bx = 0; bx < across; ++bx, out += blockBytes) {
        GatherBlock(picture, bx, by, alpha, bgra);
        if (options.Kind == TDxtKind::DXT1)
            EncodeDXT1Block(bgra, options.Quality, options.PunchThrough, out);
        else
            EncodeDXT5Block(bgra, options.Quality, out);
    }
}

// Below this many blocks a second thread costs more than it brings.
constexpr int BlocksPerThread = 1024;

} // namespace

std::vector<std::uint8_t> EncodeDXTPicture(const TBitmap& picture, const TDxtOptions& options)
{
    return EncodeDXTRows(picture, 0, (picture.Height() + 3) / 4, options);
}

std::vector<std::uint8_t> EncodeDXTRows(const TBitmap& picture, int firstBlockRow, int blockRows,
                                        const TDxtOptions& options)
{
    const int across = (picture.Width() + 3) / 4;
    const std::size_t rowBytes = static_cast<std::size_t>(across) * static_cast<std::size_t>(DxtBlockBytes(options.Kind));
    std::vector<std::uint8_t> blocks(rowBytes * static_cast<std::size_t>(std::max(0, blockRows)));
    if (blocks.empty())
        return blocks;
    int threads = options.Threads;
    if (threads <= 0)
        threads = std::int64_t{across} * blockRows < BlocksPerThread
                      ? 1
                      : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // Rows are handed out one at a time, so a thread that meets easy rows
    // takes more of them; each row's bytes have one place whoever encodes it.
    std::atomic<int> next{0};
    auto work = [&] {
        for (int i = next++; i < blockRows; i = next++)
            EncodeBlockRow(picture, options, firstBlockRow + i, blocks.data() + static_cast<std::size_t>(i) * rowBytes);
    };
    std::vector<std::jthread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(work);
    work();
    return blocks;
}

} // namespace quorin
