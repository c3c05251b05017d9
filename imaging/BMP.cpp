// Placeholder until the BMP reader lands.
#include "Bitmap.h"
namespace quorin {
void TBitmap::DecodeStream(TStream&) { throw EInvalidGraphic("BMP reader not built yet"); }
} // namespace quorin
