// PNG through libpng (PlatformCodecs.h on Linux).
//
// libpng reports errors by calling our error function, which jumps back to
// RunGuarded (JumpGuard.h) around each step.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <png.h>

#include "JumpGuard.h"
#include "PlatformCodecs.h"
#include "base/Stream.h"

namespace quorin::codecs {

namespace {

// Deflate expands at most about 1032 times; a PNG whose rows need more bytes
// than that from its data cannot be complete.
constexpr std::int64_t MaxDeflateRatio = 1032;

// libpng's message of the failure that ended a step.
struct TPngErrors {
    char Message[200] = {};
};

extern "C" void PngError(png_structp png, png_const_charp message)
{
    auto* errors = static_cast<TPngErrors*>(png_get_error_ptr(png));
    std::snprintf(errors->Message, sizeof errors->Message, "%s", message ? message : "PNG error");
    png_longjmp(png, 1);
}

extern "C" void PngWarning(png_structp, png_const_charp) {}

// ---- reading ---------------------------------------------------------------

struct TPngSource : TPngErrors {
    std::span<const std::uint8_t> Data;
    std::size_t At = 0;
};

extern "C" void PngRead(png_structp png, png_bytep out, png_size_t count)
{
    auto* source = static_cast<TPngSource*>(png_get_io_ptr(png));
    if (count > source->Data.size() - source->At)
        png_error(png, "PNG data ended early");
    std::memcpy(out, source->Data.data() + source->At, count);
    source->At += count;
}

// A file read as libpng asks, through the stream's own buffer.
struct TPngStreamSource : TPngErrors {
    TStream* Stream = nullptr;
};

extern "C" void PngReadStream(png_structp png, png_bytep out, png_size_t count)
{
    auto* source = static_cast<TPngStreamSource*>(png_get_io_ptr(png));
    if (source->Stream->Read(out, static_cast<std::int64_t>(count)) != static_cast<std::int64_t>(count))
        png_error(png, "PNG data ended early");
}

// Turns what libpng gives into blue, green, red, alpha rows of 8 bits.
void SetBgraOutput(png_structp png, png_infop info)
{
    png_set_expand(png); // palette, low-bit grey and tRNS to 8-bit channels
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

class TPngReader {
public:
    TPngReader(TPngErrors& source, png_rw_ptr read)
    {
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, &PngError, &PngWarning);
        if (png_)
            info_ = png_create_info_struct(png_);
        if (!png_ || !info_) {
            png_destroy_read_struct(png_ ? &png_ : nullptr, nullptr, nullptr);
            throw ECodecError("out of memory for the PNG reader");
        }
        png_set_read_fn(png_, &source, read);
    }
    ~TPngReader() { png_destroy_read_struct(&png_, &info_, nullptr); }
    TPngReader(const TPngReader&) = delete;
    TPngReader& operator=(const TPngReader&) = delete;

    png_structp Png() const { return png_; }
    png_infop Info() const { return info_; }

private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

} // namespace

namespace {

// The picture of a PNG whose file holds dataSize bytes, from whatever
// source the reader was made on. The rows are written once, straight
// into the bitmap, which is not whitened first.
void DecodeWith(TPngReader& reader, TPngErrors& errors, std::int64_t dataSize, TBitmap& bitmap)
{
    png_structp png = reader.Png();
    png_infop info = reader.Info();
    auto check = [&](bool ok) {
        if (!ok)
            throw ECodecError(errors.Message);
    };
    check(RunGuarded(png_jmpbuf(png), [&] { png_read_info(png, info); }));

    const std::int64_t width = png_get_image_width(png, info);
    const std::int64_t height = png_get_image_height(png, info);
    if (width <= 0 || height <= 0 || width > MaxPicturePixels || height > MaxPicturePixels / width)
        throw ECodecError("PNG image too large (" + std::to_string(width) + " x " + std::to_string(height) + ")");
    const std::int64_t bitsPerPixel = std::int64_t{png_get_bit_depth(png, info)} * png_get_channels(png, info);
    const std::int64_t rawBytes = height * (1 + (width * bitsPerPixel + 7) / 8);
    if (rawBytes / MaxDeflateRatio > dataSize)
        throw ECodecError("PNG image larger than its data can hold");

    check(RunGuarded(png_jmpbuf(png), [&] { SetBgraOutput(png, info); }));
    if (static_cast<std::int64_t>(png_get_rowbytes(png, info)) != width * 4)
        throw ECodecError("unexpected PNG row layout");

    bitmap.SetSize(0, 0);
    bitmap.SetPixelDepth(32);
    bitmap.SetAlphaChannel(false);
    // Rows of 32-bit pixels have no filler: libpng writes every byte.
    bitmap.SetSizeForDecoding(static_cast<int>(width), static_cast<int>(height));
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[static_cast<std::size_t>(y)] = bitmap.RowAddress(y);
    png_bytepp rowPointers = rows.data();
    check(RunGuarded(png_jmpbuf(png), [&] { png_read_image(png, rowPointers); }));
}

} // namespace

void DecodePng(std::span<const std::uint8_t> data, TBitmap& bitmap)
{
    TPngSource source;
    source.Data = data;
    TPngReader reader(source, &PngRead);
    DecodeWith(reader, source, static_cast<std::int64_t>(data.size()), bitmap);
}

void DecodePngStream(TStream& stream, TBitmap& bitmap)
{
    TPngStreamSource source;
    source.Stream = &stream;
    TPngReader reader(source, &PngReadStream);
    DecodeWith(reader, source, stream.Size() - stream.Position(), bitmap);
}

} // namespace quorin::codecs
