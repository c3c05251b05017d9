#pragma once
// TGA output as the game's unit cards are: 32 bits with alpha, origin at the
// bottom left, uncompressed or run-length, saved atomically.

#include <string_view>

#include "Bitmap.h"

namespace quorin {

// A picture without alpha channel is written opaque. Raises Exception for
// an empty picture or a side above TGA's 65535.
void WriteTGA(const TBitmap& picture, std::string_view path, bool runLength);

} // namespace quorin
