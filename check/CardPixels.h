#pragma once
// What the card checks need of a TGA card, read from its bytes without
// decoding it into a picture: its size and depth as decoding gives them, and
// how its alpha is spread. Every pixel counts as decoding leaves it, white
// where the data end early.

#include <cstdint>
#include <span>

namespace quorin {

enum class TCardAlpha { NoPixels, Opaque, Clear, Mixed }; // Mixed: more than 0 and 255 alone

struct TCardPixels {
    int Width = 0;
    int Height = 0;
    int PixelDepth = 0;
    TCardAlpha Alpha = TCardAlpha::NoPixels; // of a 32-bit card; NoPixels for any other
};

// Raises ETGAException with decoding's message when the header is refused.
TCardPixels ReadCardPixels(std::span<const std::uint8_t> file);

} // namespace quorin
