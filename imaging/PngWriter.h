#pragma once
// Writes a Bitmap as a PNG file with the platform's codec: RGBA when the
// Bitmap carries the file's alpha, RGB otherwise.

#include <string_view>

#include "Bitmap.h"

namespace quorin {

// Raises Exception with a clear message when the file cannot be written.
void WritePng(const TBitmap& bitmap, std::string_view path, bool withAlpha);

} // namespace quorin
