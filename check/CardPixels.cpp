#include "CardPixels.h"

#include <algorithm>
#include <cstddef>

#include "imaging/TGA.h"

namespace quorin {

namespace {

constexpr std::size_t HeaderSize = 18;
constexpr std::uint8_t White = 0xFF;
constexpr std::uint8_t RunPacketBit = 0x80;
constexpr std::size_t PixelBytes = 4;
enum : std::uint8_t { TrueColour = 2, RunLengthTrueColour = 10 };

// The alpha values seen so far.
class TAlphaSpread {
public:
    void See(std::uint8_t alpha)
    {
        opaque_ |= alpha == 0xFF;
        clear_ |= alpha == 0;
        between_ |= alpha != 0 && alpha != 0xFF;
    }
    // Whether more pixels can change the answer no more.
    bool Mixed() const { return between_ || (opaque_ && clear_); }
    TCardAlpha Spread() const
    {
        return Mixed() ? TCardAlpha::Mixed : opaque_ ? TCardAlpha::Opaque : clear_ ? TCardAlpha::Clear : TCardAlpha::NoPixels;
    }

private:
    bool opaque_ = false, clear_ = false, between_ = false;
};

// The alphas of whole pixels stored one after another; the number of pixels read.
std::size_t SeeStored(std::span<const std::uint8_t> data, std::size_t pixels, TAlphaSpread& spread)
{
    const std::size_t whole = std::min(pixels, data.size() / PixelBytes);
    for (std::size_t i = 0; i < whole && !spread.Mixed(); ++i)
        spread.See(data[i * PixelBytes + 3]);
    return whole;
}

// Run-length packets, cut where the picture ends; the number of pixels they fill.
std::size_t SeeRunLength(std::span<const std::uint8_t> data, std::size_t pixels, TAlphaSpread& spread)
{
    std::size_t filled = 0, at = 0;
    while (filled < pixels && at < data.size() && !spread.Mixed()) {
        const std::uint8_t header = data[at++];
        const std::size_t count = std::min<std::size_t>((header & 0x7F) + 1, pixels - filled);
        if (header & RunPacketBit) {
            // A pixel cut short is white past its end, its alpha too.
            const bool whole = data.size() - at >= PixelBytes;
            spread.See(whole ? data[at + 3] : White);
            filled += count;
            if (!whole)
                break;
            at += PixelBytes;
            continue;
        }
        const std::size_t read = SeeStored(data.subspan(at), count, spread);
        filled += read;
        at += read * PixelBytes;
        if (read < count)
            break;
    }
    return filled;
}

} // namespace

TCardPixels ReadCardPixels(std::span<const std::uint8_t> file)
{
    const TPictureHeader header = InspectTGAHeader(file.data(), file.size());
    if (!header.Error.empty())
        throw ETGAException(header.Error);
    // InspectTGAHeader refuses a file too short to hold its depth and type.
    TCardPixels card{header.Width, header.Height, file[16], TCardAlpha::NoPixels};
    const auto pixels = static_cast<std::size_t>(card.Width) * static_cast<std::size_t>(card.Height);
    if (card.PixelDepth != 32 || pixels == 0)
        return card;
    const std::span<const std::uint8_t> data = file.subspan(std::min(HeaderSize + file[0], file.size()));
    TAlphaSpread spread;
    const std::size_t seen =
        file[2] == RunLengthTrueColour ? SeeRunLength(data, pixels, spread) : SeeStored(data, pixels, spread);
    if (seen < pixels)
        spread.See(White); // what the data do not reach
    card.Alpha = spread.Spread();
    return card;
}

} // namespace quorin
