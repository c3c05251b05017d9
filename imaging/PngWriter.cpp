// PNG output through the platform's codec (PlatformCodecs.h), written via
// TSaveFileStream so that a failure never leaves a partial file behind: the
// target is replaced only by Commit.

#include "PngWriter.h"

#include <string>

#include "PlatformCodecs.h"
#include "base/SaveFile.h"

namespace quorin {

void WritePng(const TBitmap& bitmap, std::string_view path, bool withAlpha)
{
    if (bitmap.Width() <= 0 || bitmap.Height() <= 0)
        throw Exception("Cannot write an empty picture as PNG");
    TSaveFileStream file(path); // "Cannot create file %s"
    try {
        codecs::EncodePng(bitmap, file, withAlpha);
    } catch (const ECodecError& e) {
        throw EWriteError("Cannot write PNG file " + std::string(path) + ": " + e.Message());
    }
    file.Commit(); // "Stream write error"; the temporary is removed on failure
}

std::vector<std::uint8_t> PngBytes(const TBitmap& bitmap, bool withAlpha)
{
    if (bitmap.Width() <= 0 || bitmap.Height() <= 0)
        throw Exception("Cannot write an empty picture as PNG");
    TMemoryStream stream;
    try {
        codecs::EncodePng(bitmap, stream, withAlpha);
    } catch (const ECodecError& e) {
        throw Exception("Cannot make a PNG of the picture: " + e.Message());
    }
    return {stream.Memory(), stream.Memory() + stream.Size()};
}

} // namespace quorin
