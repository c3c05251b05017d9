// PNG output through libpng, written via TSaveFileStream so that a failure
// never leaves a partial file behind: the target is replaced only by Commit.
//
// libpng reports errors by calling our error function, which jumps back to
// RunGuarded (JumpGuard.h) around each step.

#include "PngWriter.h"

#include <cstdio>
#include <string>
#include <vector>

#include <png.h>

#include "JumpGuard.h"
#include "base/SaveFile.h"

namespace quorin {

namespace {

struct TPngTarget {
    TStream* Stream = nullptr;
    char Message[200] = {};
};

extern "C" void WriterError(png_structp png, png_const_charp message)
{
    auto* target = static_cast<TPngTarget*>(png_get_error_ptr(png));
    std::snprintf(target->Message, sizeof target->Message, "%s", message ? message : "PNG error");
    png_longjmp(png, 1);
}

extern "C" void WriterWarning(png_structp, png_const_charp) {}

extern "C" void WriterWrite(png_structp png, png_bytep data, png_size_t count)
{
    auto* target = static_cast<TPngTarget*>(png_get_io_ptr(png));
    std::int64_t written = 0;
    try {
        written = target->Stream->Write(data, static_cast<std::int64_t>(count));
    } catch (...) { // no C++ exception may cross libpng's frames
        written = -1;
    }
    if (written != static_cast<std::int64_t>(count))
        png_error(png, "Stream write error");
}

extern "C" void WriterFlush(png_structp) {}

void WriteHeader(png_structp png, png_infop info, int width, int height, bool withAlpha)
{
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
}

class TPngWriter {
public:
    explicit TPngWriter(TPngTarget& target)
    {
        png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, &target, &WriterError, &WriterWarning);
        if (png_)
            info_ = png_create_info_struct(png_);
        if (!png_ || !info_) {
            png_destroy_write_struct(png_ ? &png_ : nullptr, nullptr);
            throw EOutOfMemory("Out of memory for the PNG writer");
        }
        png_set_write_fn(png_, &target, &WriterWrite, &WriterFlush);
    }
    ~TPngWriter() { png_destroy_write_struct(&png_, &info_); }
    TPngWriter(const TPngWriter&) = delete;
    TPngWriter& operator=(const TPngWriter&) = delete;

    png_structp Png() const { return png_; }
    png_infop Info() const { return info_; }

private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

// One Bitmap row (blue, green, red[, alpha]) as PNG's red, green, blue[, alpha].
void ConvertRow(const TBitmap& bitmap, int y, bool withAlpha, std::vector<std::uint8_t>& out)
{
    const std::uint8_t* src = bitmap.RowAddress(y);
    const int in = bitmap.BytesPerPixel();
    const bool sourceAlpha = in == 4;
    std::uint8_t* dst = out.data();
    for (int x = 0; x < bitmap.Width(); ++x, src += in) {
        *dst++ = src[2];
        *dst++ = src[1];
        *dst++ = src[0];
        if (withAlpha)
            *dst++ = sourceAlpha ? src[3] : 255;
    }
}

} // namespace

void WritePng(const TBitmap& bitmap, std::string_view path, bool withAlpha)
{
    if (bitmap.Width() <= 0 || bitmap.Height() <= 0)
        throw Exception("Cannot write an empty picture as PNG");
    TSaveFileStream file(path); // "Cannot create file %s"
    TPngTarget target;
    target.Stream = &file;
    TPngWriter writer(target);
    auto check = [&](bool ok) {
        if (!ok)
            throw EWriteError("Cannot write PNG file " + std::string(path) + ": " + target.Message);
    };
    png_structp png = writer.Png();
    png_infop info = writer.Info();
    check(RunGuarded(png_jmpbuf(png), [&] { WriteHeader(png, info, bitmap.Width(), bitmap.Height(), withAlpha); }));
    std::vector<std::uint8_t> row(static_cast<std::size_t>(bitmap.Width()) * (withAlpha ? 4 : 3));
    for (int y = 0; y < bitmap.Height(); ++y) {
        ConvertRow(bitmap, y, withAlpha, row);
        png_const_bytep data = row.data();
        check(RunGuarded(png_jmpbuf(png), [&] { png_write_row(png, data); }));
    }
    check(RunGuarded(png_jmpbuf(png), [&] { png_write_end(png, info); }));
    file.Commit(); // "Stream write error"; the temporary is removed on failure
}

} // namespace quorin
