#include "Render.h"

namespace quorin {

// Built without Qt: metafiles have nothing to draw on.
std::unique_ptr<TBitmap> RenderToBitmap(const TGraphic&) { return nullptr; }

} // namespace quorin
