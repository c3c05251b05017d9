// S3TC block decompression. Whole block rows are decoded in one loop; a block
// that crosses the right or bottom edge of the picture is decoded into a 4x4
// scratch and only its in-picture pixels are copied, so no write leaves the
// picture. Multi-byte fields go through the decoders' little-endian reader.

#include "DXTC.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

#include "ByteReader.h"
#include "DXTCPaths.h"

#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__) || defined(_M_IX86)
#define QUORIN_DXT_X86 1
#include <emmintrin.h>
#include <tmmintrin.h>
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#define QUORIN_TARGET_SSSE3
#else
// Only the functions so marked use SSSE3; the rest of the program runs on any x86.
#define QUORIN_TARGET_SSSE3 __attribute__((target("ssse3")))
#endif
#else
#define QUORIN_DXT_X86 0
#endif

namespace quorin {

void SplitRGB565(std::uint16_t colour, std::uint8_t& blue, std::uint8_t& green, std::uint8_t& red)
{
    blue = static_cast<std::uint8_t>(colour & 31);
    green = static_cast<std::uint8_t>((colour >> 5) & 63);
    red = static_cast<std::uint8_t>((colour >> 11) & 31);
}

namespace {

enum class TKind { DXT1, DXT3, DXT5 };

template <TKind Kind>
constexpr std::size_t BlockBytes = Kind == TKind::DXT1 ? 8 : 16;

// Where the colour half of a block starts.
template <TKind Kind>
constexpr std::size_t ColourOffset = Kind == TKind::DXT1 ? 0 : 8;

using bytes::U16Wide;
using bytes::U24;
using bytes::U32;

// A pixel word whose bytes in memory are blue, green, red, alpha.
constexpr std::uint32_t PixelWord(std::uint32_t blue, std::uint32_t green, std::uint32_t red, std::uint32_t alpha)
{
    if constexpr (std::endian::native == std::endian::big)
        return (blue << 24) | (green << 16) | (red << 8) | alpha;
    else
        return blue | (green << 8) | (red << 16) | (alpha << 24);
}

struct TChannels {
    std::uint32_t Blue, Green, Red;
};

// Widening by shift alone: full intensity is 248 / 252 / 248.
inline TChannels Widen(std::uint32_t colour)
{
    std::uint8_t b, g, r;
    SplitRGB565(static_cast<std::uint16_t>(colour), b, g, r);
    return {std::uint32_t{b} << 3, std::uint32_t{g} << 2, std::uint32_t{r} << 3};
}

// ---- portable path ---------------------------------------------------------

// The block's four colours with the given alpha (255 for DXT1; 0 for DXT3 and
// DXT5, whose alpha is added afterwards). Returns whether the block is in
// three-colour mode.
template <TKind Kind>
bool BuildColourTable(const std::uint8_t* colourBlock, std::uint32_t alpha, std::uint32_t table[4])
{
    const std::uint32_t c0 = U16Wide(colourBlock);
    const std::uint32_t c1 = U16Wide(colourBlock + 2);
    const TChannels e0 = Widen(c0);
    const TChannels e1 = Widen(c1);
    table[0] = PixelWord(e0.Blue, e0.Green, e0.Red, alpha);
    table[1] = PixelWord(e1.Blue, e1.Green, e1.Red, alpha);
    table[3] = PixelWord((e0.Blue + 2 * e1.Blue + 1) / 3, (e0.Green + 2 * e1.Green + 1) / 3,
                         (e0.Red + 2 * e1.Red + 1) / 3, alpha);
    const bool threeColour = Kind == TKind::DXT1 && c0 <= c1;
    if (threeColour) {
        table[2] = PixelWord((e0.Blue + e1.Blue) / 2, (e0.Green + e1.Green) / 2, (e0.Red + e1.Red) / 2, alpha);
        table[3] &= ~PixelWord(0, 0, 0, 255); // the transparent entry keeps its colour
    } else {
        table[2] = PixelWord((2 * e0.Blue + e1.Blue + 1) / 3, (2 * e0.Green + e1.Green + 1) / 3,
                             (2 * e0.Red + e1.Red + 1) / 3, alpha);
    }
    return threeColour;
}

inline void BuildAlphaTable(std::uint32_t a0, std::uint32_t a1, std::uint32_t table[8])
{
    table[0] = a0;
    table[1] = a1;
    if (a0 > a1) {
        for (std::uint32_t i = 1; i <= 6; ++i)
            table[i + 1] = ((7 - i) * a0 + i * a1 + 3) / 7;
    } else {
        for (std::uint32_t i = 1; i <= 4; ++i)
            table[i + 1] = ((5 - i) * a0 + i * a1 + 2) / 5;
        table[6] = 0;
        table[7] = 255;
    }
}

template <TKind Kind>
void DecodeBlockScalar(const std::uint8_t* block, std::uint32_t* out, std::size_t stride, bool& threeColour)
{
    const std::uint8_t* colourBlock = block + ColourOffset<Kind>;
    std::uint32_t colours[4];
    threeColour |= BuildColourTable<Kind>(colourBlock, Kind == TKind::DXT1 ? 255 : 0, colours);
    const std::uint32_t indices = U32(colourBlock + 4);

    if constexpr (Kind == TKind::DXT1) {
        for (unsigned r = 0; r < 4; ++r, out += stride)
            for (unsigned k = 0; k < 4; ++k)
                out[k] = colours[(indices >> (8 * r + 2 * k)) & 3];
    } else if constexpr (Kind == TKind::DXT3) {
        for (unsigned r = 0; r < 4; ++r, out += stride) {
            const std::uint32_t alphaRow = U16Wide(block + 2 * r);
            for (unsigned k = 0; k < 4; ++k)
                out[k] = colours[(indices >> (8 * r + 2 * k)) & 3] | PixelWord(0, 0, 0, ((alphaRow >> (4 * k)) & 15) * 17);
        }
    } else {
        std::uint32_t alphas[8];
        BuildAlphaTable(block[0], block[1], alphas);
        for (unsigned i = 0; i < 8; ++i)
            alphas[i] = PixelWord(0, 0, 0, alphas[i]);
        const std::uint64_t alphaIndices = U24(block + 2) | (std::uint64_t{U24(block + 5)} << 24);
        for (unsigned r = 0; r < 4; ++r, out += stride)
            for (unsigned k = 0; k < 4; ++k) {
                const unsigned pixel = 4 * r + k;
                out[k] = colours[(indices >> (2 * pixel)) & 3] | alphas[(alphaIndices >> (3 * pixel)) & 7];
            }
    }
}

// Walks the block grid. Blocks wholly inside the picture are decoded in place;
// the others go through a 4x4 scratch.
template <TKind Kind>
void DecodeGridScalar(const std::uint8_t* source, std::uint32_t* destination, std::int32_t width, std::int32_t height,
                      bool& threeColour)
{
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    const std::size_t fullAcross = w / 4;
    const std::size_t across = (w + 3) / 4;
    std::uint32_t scratch[16];
    for (std::size_t y = 0; y < h; y += 4) {
        const std::size_t rows = std::min<std::size_t>(4, h - y);
        std::uint32_t* rowOut = destination + y * w;
        std::size_t bx = 0;
        if (rows == 4)
            for (; bx < fullAcross; ++bx, source += BlockBytes<Kind>)
                DecodeBlockScalar<Kind>(source, rowOut + 4 * bx, w, threeColour);
        for (; bx < across; ++bx, source += BlockBytes<Kind>) {
            DecodeBlockScalar<Kind>(source, scratch, 4, threeColour);
            const std::size_t columns = std::min<std::size_t>(4, w - 4 * bx);
            for (std::size_t r = 0; r < rows; ++r)
                std::memcpy(rowOut + r * w + 4 * bx, scratch + 4 * r, columns * sizeof(std::uint32_t));
        }
    }
}

// ---- SSSE3 path --------------------------------------------------------------
// A block's colour table fits one register; one byte shuffle per pixel row
// then picks every pixel's entry.

#if QUORIN_DXT_X86

struct alignas(16) TShuffle {
    std::uint8_t Bytes[16];
};

// For each index byte of a pixel row: the shuffle that copies each pixel's
// four table bytes.
constexpr std::array<TShuffle, 256> MakeColourShuffles()
{
    std::array<TShuffle, 256> shuffles{};
    for (unsigned row = 0; row < 256; ++row)
        for (unsigned b = 0; b < 16; ++b)
            shuffles[row].Bytes[b] = static_cast<std::uint8_t>(4 * ((row >> (2 * (b / 4))) & 3) + b % 4);
    return shuffles;
}
constexpr std::array<TShuffle, 256> ColourShuffles = MakeColourShuffles();

// For pixel row r: moves the row's four alpha bytes (4r..4r+3 of a register
// of sixteen) into the fourth byte of each pixel; 0x80 clears the others.
constexpr std::array<TShuffle, 4> MakeAlphaPlacements()
{
    std::array<TShuffle, 4> placements{};
    for (unsigned r = 0; r < 4; ++r)
        for (unsigned b = 0; b < 16; ++b)
            placements[r].Bytes[b] = static_cast<std::uint8_t>(b % 4 == 3 ? 4 * r + b / 4 : 0x80);
    return placements;
}
constexpr std::array<TShuffle, 4> AlphaPlacements = MakeAlphaPlacements();

// Division of 16-bit lanes by mulhi with ceil(2^16 / d): exact while the
// dividend stays below the bound checked here, far above what the tables need.
constexpr bool DividesExactly(std::uint32_t divisor, std::uint32_t multiplier, std::uint32_t largest)
{
    for (std::uint32_t x = 0; x <= largest; ++x)
        if ((x * multiplier) >> 16 != x / divisor)
            return false;
    return true;
}
constexpr std::uint16_t Third = 21846;
constexpr std::uint16_t Fifth = 13108;
constexpr std::uint16_t Seventh = 9363;
static_assert(DividesExactly(3, Third, 3 * 255 + 1));
static_assert(DividesExactly(5, Fifth, 5 * 255 + 2));
static_assert(DividesExactly(7, Seventh, 7 * 255 + 3));

// The colour endpoints as pixel words: fields moved into place and widened by shift.
constexpr std::uint32_t WidenedWord(std::uint32_t c)
{
    return ((c & 0x001F) << 3) | ((c & 0x07E0) << 5) | ((c & 0xF800) << 8);
}

inline QUORIN_TARGET_SSSE3 __m128i LoadShuffle(const TShuffle& shuffle)
{
    return _mm_load_si128(reinterpret_cast<const __m128i*>(shuffle.Bytes));
}

// The four table entries as sixteen bytes, blue first.
template <TKind Kind>
inline QUORIN_TARGET_SSSE3 __m128i ColourTableSsse3(const std::uint8_t* colourBlock, bool& threeColour)
{
    const std::uint32_t c0 = U16Wide(colourBlock);
    const std::uint32_t c1 = U16Wide(colourBlock + 2);
    const std::uint32_t alpha = Kind == TKind::DXT1 ? 0xFF000000u : 0;
    const __m128i zero = _mm_setzero_si128();
    // E0 in lanes 0-3 and E1 in lanes 4-7, one channel per 16-bit lane.
    const __m128i ends = _mm_unpacklo_epi8(
        _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(WidenedWord(c0) | alpha)),
                           _mm_cvtsi32_si128(static_cast<int>(WidenedWord(c1) | alpha))),
        zero);
    const __m128i sum = _mm_add_epi16(_mm_unpacklo_epi64(ends, ends), _mm_unpackhi_epi64(ends, ends));
    // (2*E0 + E1 + 1) / 3 and (E0 + 2*E1 + 1) / 3.
    const __m128i thirds =
        _mm_mulhi_epu16(_mm_add_epi16(_mm_add_epi16(sum, ends), _mm_set1_epi16(1)), _mm_set1_epi16(static_cast<short>(Third)));
    __m128i blends = thirds;
    if constexpr (Kind == TKind::DXT1) {
        const bool three = c0 <= c1;
        threeColour |= three;
        // Three-colour mode: entry 2 becomes (E0 + E1) / 2, entry 3 loses its alpha.
        const __m128i mode = _mm_set1_epi32(-static_cast<int>(three));
        const __m128i halfLanes = _mm_and_si128(mode, _mm_setr_epi32(-1, -1, 0, 0));
        blends = _mm_or_si128(_mm_andnot_si128(halfLanes, thirds), _mm_and_si128(halfLanes, _mm_srli_epi16(sum, 1)));
        blends = _mm_andnot_si128(_mm_and_si128(mode, _mm_setr_epi32(0, 0, 0, -65536)), blends);
    }
    return _mm_packus_epi16(ends, blends);
}

// The eight alpha entries in the low eight bytes.
inline QUORIN_TARGET_SSSE3 __m128i AlphaTableSsse3(std::uint32_t a0, std::uint32_t a1)
{
    const __m128i va0 = _mm_set1_epi16(static_cast<short>(a0));
    const __m128i va1 = _mm_set1_epi16(static_cast<short>(a1));
    // Entries 0 and 1 are a0 and a1 through the same division (7*a/7, 5*a/5).
    const __m128i sevenths = _mm_mulhi_epu16(
        _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(va0, _mm_setr_epi16(7, 0, 6, 5, 4, 3, 2, 1)),
                                    _mm_mullo_epi16(va1, _mm_setr_epi16(0, 7, 1, 2, 3, 4, 5, 6))),
                      _mm_setr_epi16(0, 0, 3, 3, 3, 3, 3, 3)),
        _mm_set1_epi16(static_cast<short>(Seventh)));
    const __m128i fifths = _mm_add_epi16(
        _mm_mulhi_epu16(_mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(va0, _mm_setr_epi16(5, 0, 4, 3, 2, 1, 0, 0)),
                                                    _mm_mullo_epi16(va1, _mm_setr_epi16(0, 5, 1, 2, 3, 4, 0, 0))),
                                      _mm_setr_epi16(0, 0, 2, 2, 2, 2, 0, 0)),
                        _mm_set1_epi16(static_cast<short>(Fifth))),
        _mm_setr_epi16(0, 0, 0, 0, 0, 0, 0, 255));
    const __m128i eight = _mm_set1_epi32(-static_cast<int>(a0 > a1));
    const __m128i table = _mm_or_si128(_mm_and_si128(eight, sevenths), _mm_andnot_si128(eight, fifths));
    return _mm_packus_epi16(table, table);
}

// The sixteen 3-bit alpha indices as bytes. Index i sits at bit 3i of the
// 48 bits from byte 2: each 16-bit lane takes the two bytes holding its index,
// a multiply shifts it to the top and a right shift brings it down.
inline QUORIN_TARGET_SSSE3 __m128i AlphaIndicesSsse3(const std::uint8_t* block)
{
    const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
    const __m128i gather0 = _mm_setr_epi8(2, 3, 2, 3, 2, 3, 3, 4, 3, 4, 3, 4, 4, 5, 4, 5);
    const __m128i gather1 = _mm_setr_epi8(5, 6, 5, 6, 5, 6, 6, 7, 6, 7, 6, 7, 7, 8, 7, 8);
    // 1 << (13 - bit offset within the first byte): offsets 0, 3, 6, 1, 4, 7, 2, 5.
    const __m128i up = _mm_setr_epi16(8192, 1024, 128, 4096, 512, 64, 2048, 256);
    const __m128i low = _mm_srli_epi16(_mm_mullo_epi16(_mm_shuffle_epi8(raw, gather0), up), 13);
    const __m128i high = _mm_srli_epi16(_mm_mullo_epi16(_mm_shuffle_epi8(raw, gather1), up), 13);
    return _mm_packus_epi16(low, high);
}

// Sixteen alpha bytes in pixel order, each nibble repeated (n * 17).
inline QUORIN_TARGET_SSSE3 __m128i ExplicitAlphaSsse3(const std::uint8_t* block)
{
    const __m128i raw = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(block));
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i values =
        _mm_unpacklo_epi8(_mm_and_si128(raw, nibble), _mm_and_si128(_mm_srli_epi16(raw, 4), nibble));
    return _mm_or_si128(values, _mm_slli_epi16(values, 4));
}

template <TKind Kind>
inline QUORIN_TARGET_SSSE3 void DecodeBlockSsse3(const std::uint8_t* block, std::uint32_t* out, std::size_t stride,
                                                 bool& threeColour)
{
    const std::uint8_t* colourBlock = block + ColourOffset<Kind>;
    const __m128i colours = ColourTableSsse3<Kind>(colourBlock, threeColour);
    const std::uint32_t indices = U32(colourBlock + 4);
    __m128i alphas = _mm_setzero_si128();
    if constexpr (Kind == TKind::DXT3)
        alphas = ExplicitAlphaSsse3(block);
    else if constexpr (Kind == TKind::DXT5)
        alphas = _mm_shuffle_epi8(AlphaTableSsse3(block[0], block[1]), AlphaIndicesSsse3(block));
    for (unsigned r = 0; r < 4; ++r, out += stride) {
        __m128i row = _mm_shuffle_epi8(colours, LoadShuffle(ColourShuffles[(indices >> (8 * r)) & 0xFF]));
        if constexpr (Kind != TKind::DXT1)
            row = _mm_or_si128(row, _mm_shuffle_epi8(alphas, LoadShuffle(AlphaPlacements[r])));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), row);
    }
}

// The same walk as DecodeGridScalar, compiled for SSSE3 so the block decoder inlines.
template <TKind Kind>
QUORIN_TARGET_SSSE3 void DecodeGridSsse3(const std::uint8_t* source, std::uint32_t* destination, std::int32_t width,
                                         std::int32_t height, bool& threeColour)
{
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    const std::size_t fullAcross = w / 4;
    const std::size_t across = (w + 3) / 4;
    alignas(16) std::uint32_t scratch[16];
    for (std::size_t y = 0; y < h; y += 4) {
        const std::size_t rows = std::min<std::size_t>(4, h - y);
        std::uint32_t* rowOut = destination + y * w;
        std::size_t bx = 0;
        if (rows == 4)
            for (; bx < fullAcross; ++bx, source += BlockBytes<Kind>)
                DecodeBlockSsse3<Kind>(source, rowOut + 4 * bx, w, threeColour);
        for (; bx < across; ++bx, source += BlockBytes<Kind>) {
            DecodeBlockSsse3<Kind>(source, scratch, 4, threeColour);
            const std::size_t columns = std::min<std::size_t>(4, w - 4 * bx);
            for (std::size_t r = 0; r < rows; ++r)
                std::memcpy(rowOut + r * w + 4 * bx, scratch + 4 * r, columns * sizeof(std::uint32_t));
        }
    }
}

bool ProcessorHasSsse3()
{
#if defined(_MSC_VER) && !defined(__clang__)
    int info[4];
    __cpuid(info, 1);
    return (info[2] & (1 << 9)) != 0;
#else
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3");
#endif
}

#endif // QUORIN_DXT_X86

template <TKind Kind>
bool Unpack(dxtc::TPath path, const std::uint8_t* source, std::uint32_t* destination, std::int32_t width,
            std::int32_t height)
{
    bool threeColour = false;
    if (!source || !destination || width <= 0 || height <= 0)
        return false;
#if QUORIN_DXT_X86
    if (path == dxtc::TPath::Ssse3 && dxtc::PathAvailable(path)) {
        DecodeGridSsse3<Kind>(source, destination, width, height, threeColour);
        return threeColour;
    }
#else
    (void)path;
#endif
    DecodeGridScalar<Kind>(source, destination, width, height, threeColour);
    return threeColour;
}

dxtc::TPath FastestPath()
{
    static const dxtc::TPath path =
        dxtc::PathAvailable(dxtc::TPath::Ssse3) ? dxtc::TPath::Ssse3 : dxtc::TPath::Scalar;
    return path;
}

} // namespace

namespace dxtc {

bool PathAvailable(TPath path)
{
    if (path == TPath::Scalar)
        return true;
#if QUORIN_DXT_X86
    static const bool ssse3 = ProcessorHasSsse3();
    return ssse3;
#else
    return false;
#endif
}

void UnpackDXT1Blocks(TPath path, const std::uint8_t* source, std::uint32_t* destination, std::int32_t width,
                      std::int32_t height, bool& hasTransparency)
{
    hasTransparency = false;
    hasTransparency = Unpack<TKind::DXT1>(path, source, destination, width, height);
}

void UnpackDXT3Blocks(TPath path, const std::uint8_t* source, std::uint32_t* destination, std::int32_t width,
                      std::int32_t height)
{
    Unpack<TKind::DXT3>(path, source, destination, width, height);
}

void UnpackDXT5Blocks(TPath path, const std::uint8_t* source, std::uint32_t* destination, std::int32_t width,
                      std::int32_t height)
{
    Unpack<TKind::DXT5>(path, source, destination, width, height);
}

} // namespace dxtc

void UnpackDXT1Blocks(const std::uint8_t* source, std::uint32_t* destination, std::int32_t width, std::int32_t height,
                      bool& hasTransparency)
{
    dxtc::UnpackDXT1Blocks(FastestPath(), source, destination, width, height, hasTransparency);
}

void UnpackDXT3Blocks(const std::uint8_t* source, std::uint32_t* destination, std::int32_t width, std::int32_t height)
{
    dxtc::UnpackDXT3Blocks(FastestPath(), source, destination, width, height);
}

void UnpackDXT5Blocks(const std::uint8_t* source, std::uint32_t* destination, std::int32_t width, std::int32_t height)
{
    dxtc::UnpackDXT5Blocks(FastestPath(), source, destination, width, height);
}

} // namespace quorin
