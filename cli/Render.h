#pragma once
// Turns a picture that is not a bitmap (a metafile) into one, for PNG output.

#include <memory>

#include "imaging/Bitmap.h"

namespace quorin {

// The graphic drawn at its own size on white, as a 32-bit Bitmap; null when
// this build of the command line has no renderer.
std::unique_ptr<TBitmap> RenderToBitmap(const TGraphic& graphic);

} // namespace quorin
