#pragma once
// Writes a Bitmap as a PNG file with the platform's codec: RGBA when the
// Bitmap carries the file's alpha, RGB otherwise.

#include <cstdint>
#include <string_view>
#include <vector>

#include "Bitmap.h"

namespace quorin {

// Raises Exception with a clear message when the file cannot be written.
void WritePng(const TBitmap& bitmap, std::string_view path, bool withAlpha);
// The PNG file's bytes, for embedding in another file.
std::vector<std::uint8_t> PngBytes(const TBitmap& bitmap, bool withAlpha);

} // namespace quorin
