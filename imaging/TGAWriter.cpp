#include "TGAWriter.h"

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "base/SaveFile.h"

namespace quorin {

namespace {

constexpr std::uint8_t TrueColour = 2, RunLengthTrueColour = 10;
constexpr std::uint8_t AlphaBits = 8; // the descriptor's low bits; origin bit 0x20 clear: bottom left
constexpr int MaxSide = 65535;
constexpr int MaxPacket = 128;

std::array<std::uint8_t, 18> Header(int width, int height, bool runLength)
{
    std::array<std::uint8_t, 18> h{};
    h[2] = runLength ? RunLengthTrueColour : TrueColour;
    h[12] = static_cast<std::uint8_t>(width);
    h[13] = static_cast<std::uint8_t>(width >> 8);
    h[14] = static_cast<std::uint8_t>(height);
    h[15] = static_cast<std::uint8_t>(height >> 8);
    h[16] = 32;
    h[17] = AlphaBits;
    return h;
}

// One row as blue, green, red, alpha.
void PixelsOfRow(const TBitmap& picture, int y, bool alpha, std::vector<std::uint32_t>& row)
{
    const std::uint8_t* from = picture.RowAddress(y);
    const int bytes = picture.BytesPerPixel();
    for (int x = 0; x < picture.Width(); ++x, from += bytes) {
        const std::uint8_t bgra[4] = {from[0], from[1], from[2], alpha ? from[3] : std::uint8_t{255}};
        std::memcpy(&row[static_cast<std::size_t>(x)], bgra, 4);
    }
}

// Run packets for two or more equal pixels, raw packets between them; no
// packet crosses the end of the row.
void RunLengthRow(const std::vector<std::uint32_t>& row, std::vector<std::uint8_t>& out)
{
    out.clear();
    const std::size_t n = row.size();
    std::size_t i = 0;
    while (i < n) {
        std::size_t run = 1;
        while (i + run < n && run < MaxPacket && row[i + run] == row[i])
            ++run;
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(0x80 | (run - 1)));
            const auto* p = reinterpret_cast<const std::uint8_t*>(&row[i]);
            out.insert(out.end(), p, p + 4);
            i += run;
            continue;
        }
        std::size_t raw = 1; // up to the next pair of equal pixels
        while (i + raw < n && raw < MaxPacket && !(i + raw + 1 < n && row[i + raw] == row[i + raw + 1]))
            ++raw;
        out.push_back(static_cast<std::uint8_t>(raw - 1));
        const auto* p = reinterpret_cast<const std::uint8_t*>(&row[i]);
        out.insert(out.end(), p, p + 4 * raw);
        i += raw;
    }
}

} // namespace

void WriteTGA(const TBitmap& picture, std::string_view path, bool runLength)
{
    const int width = picture.Width(), height = picture.Height();
    if (width <= 0 || height <= 0)
        throw Exception("Cannot write an empty picture as TGA");
    if (width > MaxSide || height > MaxSide)
        throw Exception("Cannot write a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels as TGA: its sides hold at most " + std::to_string(MaxSide));
    const bool alpha = picture.BytesPerPixel() == 4 && picture.HasAlphaChannel();
    TSaveFileStream file(path); // "Cannot create file %s"
    const auto header = Header(width, height, runLength);
    file.WriteBuffer(header.data(), static_cast<std::int64_t>(header.size()));
    std::vector<std::uint32_t> row(static_cast<std::size_t>(width));
    std::vector<std::uint8_t> packed;
    for (int y = height - 1; y >= 0; --y) {
        PixelsOfRow(picture, y, alpha, row);
        if (runLength) {
            RunLengthRow(row, packed);
            file.WriteBuffer(packed.data(), static_cast<std::int64_t>(packed.size()));
        } else {
            file.WriteBuffer(row.data(), static_cast<std::int64_t>(row.size() * 4));
        }
    }
    file.Commit(); // "Stream write error"; nothing is left on failure
}

} // namespace quorin
