// Placeholder until the icon reader lands.
#include "ICO.h"
namespace quorin {
namespace { std::unique_ptr<TGraphic> CreateIcon() { return std::make_unique<TIcon>(); } }
const TGraphicClass TIcon::ClassRecord{"TIcon", &CreateIcon, &TBitmap::ClassRecord};
void TIcon::DecodeStream(TStream&) { throw EInvalidGraphic("Icon reader not built yet"); }
} // namespace quorin
