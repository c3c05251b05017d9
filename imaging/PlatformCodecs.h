#pragma once
// PNG and JPEG through the codecs the platform offers: libpng and
// libjpeg-turbo where they are installed (Linux), the Windows Imaging
// Component on Windows. The build compiles one implementation; the formats
// (ICO, JPEG, the PNG writer) see only these functions and our own Bitmap.

#include <cstdint>
#include <span>

#include "Bitmap.h"

namespace quorin {

class TStream;

// A codec's failure; the message is a detail for the caller to frame
// ("Invalid icon file: ...", "Cannot write PNG file ...: ...").
class ECodecError : public Exception { using Exception::Exception; };

namespace codecs {

// A whole PNG file to 32-bit blue-green-red-alpha rows (any colour type,
// depth, palette or interlacing). The alpha flag is left off: the caller
// decides what the alpha means.
void DecodePng(std::span<const std::uint8_t> data, TBitmap& bitmap);
// The same from the rest of a stream, read as the codec goes where it can
// (libpng), so that a large file is never held whole beside its picture.
void DecodePngStream(TStream& stream, TBitmap& bitmap);

// A whole JPEG file (greyscale, YCbCr, RGB, CMYK or YCCK) to 24-bit
// blue-green-red rows. Inverse transforms differ between codecs, so pixels
// may differ from another codec's by a few levels.
void DecodeJpeg(std::span<const std::uint8_t> data, TBitmap& bitmap);

// The bitmap as a PNG written to stream front to back. With libdeflate, in
// the smallest colour type that holds it exactly (grey, grey and alpha, a
// palette, RGB, RGBA); with the system's codec, RGB or RGBA (alpha 255
// where the bitmap has no fourth channel). withAlpha false: alpha ignored.
void EncodePng(const TBitmap& bitmap, TStream& stream, bool withAlpha);

} // namespace codecs

} // namespace quorin
