// Placeholder until the PNG writer lands.
#include "PngWriter.h"
namespace quorin {
void WritePng(const TBitmap&, std::string_view, bool) { throw Exception("PNG writer not built yet"); }
} // namespace quorin
