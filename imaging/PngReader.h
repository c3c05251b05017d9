#pragma once
// PNG input through the platform's codec: for the command line (the
// window's registry of picture formats does not read PNG files).

#include <cstdint>
#include <span>
#include <string_view>

#include "Bitmap.h"

namespace quorin {

// Decodes a PNG file held in memory into bitmap: 32-bit with its alpha
// channel when any pixel is not opaque, 24-bit otherwise. Raises
// EInvalidGraphic with the codec's complaint, or "PNG image too large (...)".
void DecodePngBytes(std::span<const std::uint8_t> data, TBitmap& bitmap);

// Decodes a PNG file read as the codec goes, never held whole: 32-bit,
// its alpha channel flagged when any pixel is not opaque (kept at 32 bits
// either way, as a second copy of the pixels would be the price of fewer).
// Raises what the file stream and DecodePngBytes raise.
void DecodePngFile(std::string_view path, TBitmap& bitmap);

} // namespace quorin
