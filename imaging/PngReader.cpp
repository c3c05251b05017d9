// PNG input for the command line and icons, through the platform's codec
// (PlatformCodecs.h): the rows come as blue, green, red and alpha, and the
// alpha is kept only where it says something.

#include "PngReader.h"

#include "PlatformCodecs.h"
#include "base/Stream.h"

namespace quorin {

namespace {

bool AnyTranslucent(const TBitmap& bitmap)
{
    for (int y = 0; y < bitmap.Height(); ++y) {
        const std::uint8_t* row = bitmap.RowAddress(y);
        for (int x = 0; x < bitmap.Width(); ++x)
            if (row[x * 4 + 3] != 255)
                return true;
    }
    return false;
}

} // namespace

void DecodePngFile(std::string_view path, TBitmap& bitmap)
{
    TFileStream file(path, TFileMode::OpenRead); // "Cannot open file %s"
    try {
        codecs::DecodePngStream(file, bitmap);
    } catch (const ECodecError& e) {
        throw EInvalidGraphic(e.Message());
    }
    bitmap.SetAlphaChannel(AnyTranslucent(bitmap));
}

void DecodePngBytes(std::span<const std::uint8_t> data, TBitmap& bitmap)
{
    try {
        codecs::DecodePng(data, bitmap);
    } catch (const ECodecError& e) {
        throw EInvalidGraphic(e.Message());
    }
    if (AnyTranslucent(bitmap))
        bitmap.SetAlphaChannel(true);
    else
        bitmap.SetPixelDepth(24);
}

} // namespace quorin
