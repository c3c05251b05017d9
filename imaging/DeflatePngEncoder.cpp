// PNG encoding where libdeflate is installed: the rows are laid out in the
// smallest colour type that holds them exactly (PngLayout.h), filtered here
// and deflated in bands by libdeflate, which compresses several times faster
// than zlib at a like ratio (most of the time of writing a large PNG is
// deflate's). The file is IHDR, PLTE and tRNS for a palette, one IDAT per
// band, and IEND.

#include "PlatformCodecs.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <libdeflate.h>

#include "DeflateBands.h"
#include "PngLayout.h"
#include "base/Stream.h"

namespace quorin::codecs {

namespace {

// libdeflate's level 5: past it files shrink by little and time grows fast.
constexpr int DeflateLevel = 5;

enum : std::uint8_t { FilterNone, FilterSub, FilterUp, FilterAverage, FilterPaeth, FilterCount };

void PutU32BigEndian(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

void WriteChunk(TStream& file, const char type[4], const std::uint8_t* data, std::size_t size)
{
    std::uint8_t head[8];
    PutU32BigEndian(head, static_cast<std::uint32_t>(size));
    std::memcpy(head + 4, type, 4);
    std::uint32_t crc = libdeflate_crc32(0, type, 4);
    if (size > 0) // given no buffer, libdeflate starts a new sum
        crc = libdeflate_crc32(crc, data, size);
    std::uint8_t tail[4];
    PutU32BigEndian(tail, crc);
    file.WriteBuffer(head, sizeof head);
    if (size > 0)
        file.WriteBuffer(data, static_cast<std::int64_t>(size));
    file.WriteBuffer(tail, sizeof tail);
}

// Each of the five filters of a row, and the one whose bytes, taken as
// signed, sum the least: the heuristic the PNG book recommends for colour.
// The loops run without branches over whole rows so that the compiler makes
// vector code of them: filtering is most of a PNG's time beside deflate's.
class TRowFilter {
public:
    explicit TRowFilter(std::size_t rowBytes) : zeros_(rowBytes, 0)
    {
        for (auto& candidate : candidates_)
            candidate.resize(rowBytes);
    }

    // out receives the filter's number, then the filtered row; above is null
    // for the first row, whose neighbours above are taken as zero.
    void Filter(const std::uint8_t* row, const std::uint8_t* above, int bpp, std::uint8_t* out)
    {
        const std::size_t n = zeros_.size();
        const std::size_t step = std::min<std::size_t>(static_cast<std::size_t>(bpp), n);
        if (!above)
            above = zeros_.data();
        std::memcpy(candidates_[FilterNone].data(), row, n);
        std::uint8_t* const sub = candidates_[FilterSub].data();
        std::uint8_t* const up = candidates_[FilterUp].data();
        std::uint8_t* const average = candidates_[FilterAverage].data();
        std::uint8_t* const paeth = candidates_[FilterPaeth].data();
        // The first pixel's neighbours on the left are zero; the rest are the
        // row's and the row above's own bytes, bpp behind.
        FilterBytes(row, zeros_.data(), above, zeros_.data(), step, sub, up, average, paeth);
        FilterBytes(row + step, row, above + step, above, n - step, sub + step, up + step, average + step,
                    paeth + step);

        int chosen = FilterNone;
        std::uint32_t least = ~std::uint32_t{0};
        for (int f = FilterNone; f < FilterCount; ++f) {
            const std::uint32_t sum = SignedMagnitude(candidates_[f].data(), n);
            if (sum < least) {
                least = sum;
                chosen = f;
            }
        }
        out[0] = static_cast<std::uint8_t>(chosen);
        std::memcpy(out + 1, candidates_[chosen].data(), n);
    }

private:
    // The four filters of count bytes, given each byte's neighbours on the
    // left, above and above on the left.
    static void FilterBytes(const std::uint8_t* __restrict row, const std::uint8_t* __restrict left,
                           const std::uint8_t* __restrict top, const std::uint8_t* __restrict corner,
                           std::size_t count, std::uint8_t* __restrict sub, std::uint8_t* __restrict up,
                           std::uint8_t* __restrict average, std::uint8_t* __restrict paeth)
    {
        for (std::size_t i = 0; i < count; ++i) {
            const std::int16_t a = left[i], b = top[i], c = corner[i];
            sub[i] = static_cast<std::uint8_t>(row[i] - a);
            up[i] = static_cast<std::uint8_t>(row[i] - b);
            average[i] = static_cast<std::uint8_t>(row[i] - ((a + b) >> 1));
            const std::int16_t pa = static_cast<std::int16_t>(std::abs(b - c));
            const std::int16_t pb = static_cast<std::int16_t>(std::abs(a - c));
            const std::int16_t pc = static_cast<std::int16_t>(std::abs(a + b - 2 * c));
            const std::int16_t nearer = pb <= pc ? b : c;
            const std::int16_t predicted = (pa <= pb) & (pa <= pc) ? a : nearer;
            paeth[i] = static_cast<std::uint8_t>(row[i] - predicted);
        }
    }

    // The sum of the bytes taken as signed values, each without its sign.
    static std::uint32_t SignedMagnitude(const std::uint8_t* __restrict bytes, std::size_t count)
    {
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < count; ++i)
            sum += static_cast<std::uint32_t>(std::abs(static_cast<std::int8_t>(bytes[i])));
        return sum;
    }

    std::array<std::vector<std::uint8_t>, FilterCount> candidates_;
    std::vector<std::uint8_t> zeros_;
};

// Raw bytes deflated a band at a time: large enough that the bands cost
// next to nothing in size, small beside any picture worth bounding.
constexpr std::size_t BandBytes = std::size_t{4} << 20;

void WriteHeader(TStream& stream, const TBitmap& bitmap, const TPngLayout& layout)
{
    static constexpr std::uint8_t Signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    stream.WriteBuffer(Signature, sizeof Signature);
    std::uint8_t header[13] = {};
    PutU32BigEndian(header, static_cast<std::uint32_t>(bitmap.Width()));
    PutU32BigEndian(header + 4, static_cast<std::uint32_t>(bitmap.Height()));
    header[8] = static_cast<std::uint8_t>(layout.BitDepth());
    header[9] = static_cast<std::uint8_t>(layout.ColourType()); // compression, filter method and interlace stay 0
    WriteChunk(stream, "IHDR", header, sizeof header);
    if (layout.ColourType() != TPngColourType::Palette)
        return;
    const auto rgb = layout.PaletteRgb();
    WriteChunk(stream, "PLTE", rgb.data(), rgb.size());
    if (const auto alpha = layout.PaletteAlpha(); !alpha.empty())
        WriteChunk(stream, "tRNS", alpha.data(), alpha.size());
}

} // namespace

void EncodePng(const TBitmap& bitmap, TStream& stream, bool withAlpha)
{
    const TPngLayout layout(bitmap, withAlpha);
    WriteHeader(stream, bitmap, layout);
    // Each band's bytes are one IDAT chunk (a chunk holds less than 2 GiB).
    TDeflateBands deflate(DeflateLevel, BandBytes,
                          [&](std::span<const std::uint8_t> bytes) { WriteChunk(stream, "IDAT", bytes.data(), bytes.size()); });
    const std::size_t rowBytes = layout.RowBytes();
    std::vector<std::uint8_t> row(rowBytes), above(rowBytes), filtered(rowBytes + 1);
    // A palette's indices say nothing to arithmetic on neighbours: such rows
    // go unfiltered, as the PNG book advises.
    const bool filter = layout.ColourType() != TPngColourType::Palette;
    TRowFilter filters(rowBytes);
    for (int y = 0; y < bitmap.Height(); ++y) {
        layout.Row(y, row.data());
        if (filter) {
            filters.Filter(row.data(), y > 0 ? above.data() : nullptr, layout.FilterStep(), filtered.data());
        } else {
            filtered[0] = FilterNone;
            std::memcpy(filtered.data() + 1, row.data(), rowBytes);
        }
        deflate.Add(filtered.data(), filtered.size());
        row.swap(above);
    }
    deflate.Finish();
    WriteChunk(stream, "IEND", nullptr, 0);
}

} // namespace quorin::codecs
