// JPEG through libjpeg (PlatformCodecs.h on Linux): the whole file, held in
// memory, is decompressed to blue-green-red rows of a 24-bit Bitmap.
//
// libjpeg reports a fatal error by calling error_exit, which must not return.
// Ours jumps back with longjmp to RunGuarded (JumpGuard.h) around each step.
// The C++ side (TDecompressor) then raises ECodecError with libjpeg's own
// message, and its destructor always runs jpeg_destroy_decompress, which
// frees everything libjpeg allocated.

#include <csetjmp>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <jpeglib.h>

#include "JumpGuard.h"
#include "PlatformCodecs.h"

namespace quorin::codecs {

namespace {

// A progressive stream may hold any number of scans, each a pass over the
// whole picture; real encoders write about ten.
constexpr int MaxScans = 1000;
// libjpeg's own working memory (coefficient buffers of progressive streams).
constexpr long MaxLibjpegMemory = 1024L * 1024 * 1024;

struct TErrorManager {
    jpeg_error_mgr Base; // first, so a j_common_ptr's err converts to it
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX] = {};
};

TErrorManager& ErrorsOf(j_common_ptr cinfo) { return *reinterpret_cast<TErrorManager*>(cinfo->err); }

extern "C" void ErrorExit(j_common_ptr cinfo)
{
    TErrorManager& errors = ErrorsOf(cinfo);
    (*cinfo->err->format_message)(cinfo, errors.Message);
    std::longjmp(errors.Jump, 1);
}

// Warnings (corrupt data that libjpeg decodes around) are not printed.
extern "C" void OutputMessage(j_common_ptr) {}

extern "C" void ProgressMonitor(j_common_ptr cinfo)
{
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > MaxScans) {
        TErrorManager& errors = ErrorsOf(cinfo);
        std::snprintf(errors.Message, sizeof errors.Message, "JPEG has more than %d scans", MaxScans);
        std::longjmp(errors.Jump, 1);
    }
}

class TDecompressor {
public:
    TDecompressor()
    {
        cinfo_.err = jpeg_std_error(&errors_.Base);
        errors_.Base.error_exit = &ErrorExit;
        errors_.Base.output_message = &OutputMessage;
        // jpeg_create_decompress fails only on a library version mismatch or
        // out of memory; it reports that through error_exit as well. The
        // destructor will not run for a constructor that throws.
        if (!RunGuarded(errors_.Jump, [this] { jpeg_create_decompress(&cinfo_); })) {
            jpeg_destroy_decompress(&cinfo_);
            throw ECodecError(errors_.Message);
        }
        progress_.progress_monitor = &ProgressMonitor;
        cinfo_.progress = &progress_;
        cinfo_.mem->max_memory_to_use = MaxLibjpegMemory;
    }
    ~TDecompressor() { jpeg_destroy_decompress(&cinfo_); }
    TDecompressor(const TDecompressor&) = delete;
    TDecompressor& operator=(const TDecompressor&) = delete;

    j_decompress_ptr Info() { return &cinfo_; }
    // Runs one libjpeg step; its failure becomes an ECodecError with
    // libjpeg's own message.
    template <class TStep>
    void Run(TStep&& step)
    {
        if (!RunGuarded(errors_.Jump, step))
            throw ECodecError(errors_.Message);
    }

private:
    jpeg_decompress_struct cinfo_{};
    TErrorManager errors_;
    jpeg_progress_mgr progress_{};
};

// libjpeg-turbo writes blue-green-red rows itself; plain libjpeg writes
// red-green-blue, which we swap.
#ifdef JCS_EXTENSIONS
constexpr J_COLOR_SPACE BgrColourSpace = JCS_EXT_BGR;
#else
constexpr J_COLOR_SPACE BgrColourSpace = JCS_RGB;
#endif

void SwapRedBlue(std::uint8_t* row, JDIMENSION width)
{
    for (JDIMENSION x = 0; x < width; ++x, row += 3)
        std::swap(row[0], row[2]);
}

std::uint8_t Mul255(unsigned a, unsigned b) { return static_cast<std::uint8_t>((a * b + 127) / 255); }

// CMYK rows to blue-green-red. Adobe's encoders store the inks inverted,
// which libjpeg flags with saw_Adobe_marker.
void CmykToBgr(const std::uint8_t* src, std::uint8_t* dst, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x, src += 4, dst += 3) {
        unsigned c = src[0], m = src[1], y = src[2], k = src[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        dst[0] = Mul255(y, k);
        dst[1] = Mul255(m, k);
        dst[2] = Mul255(c, k);
    }
}

} // namespace

void DecodeJpeg(std::span<const std::uint8_t> data, TBitmap& bitmap)
{
    TDecompressor jpeg;
    j_decompress_ptr cinfo = jpeg.Info();
    const unsigned char* bytes = data.data();
    const auto size = static_cast<unsigned long>(data.size());
    jpeg.Run([&] { jpeg_mem_src(cinfo, bytes, size); });
    jpeg.Run([&] { jpeg_read_header(cinfo, TRUE); });

    const std::int64_t width = cinfo->image_width;
    const std::int64_t height = cinfo->image_height;
    if (width <= 0 || height <= 0 || width > MaxPicturePixels || height > MaxPicturePixels / width)
        throw ECodecError("JPEG image too large (" + std::to_string(width) + " x " + std::to_string(height) + ")");

    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_RGB:
    case JCS_YCbCr:
        cinfo->out_color_space = BgrColourSpace;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        cinfo->out_color_space = JCS_CMYK;
        break;
    default:
        throw ECodecError("Unsupported JPEG colour space (" + std::to_string(cinfo->num_components) +
                          " components)");
    }
    jpeg.Run([&] { jpeg_start_decompress(cinfo); });

    bitmap.SetSize(0, 0);
    bitmap.SetPixelDepth(24);
    bitmap.SetAlphaChannel(false);
    bitmap.SetSize(static_cast<int>(cinfo->output_width), static_cast<int>(cinfo->output_height));
    std::vector<std::uint8_t> scratch(cmyk ? static_cast<std::size_t>(cinfo->output_width) * 4 : 0);
    while (cinfo->output_scanline < cinfo->output_height) {
        const int row = static_cast<int>(cinfo->output_scanline);
        JSAMPROW target = cmyk ? scratch.data() : bitmap.RowAddress(row);
        JDIMENSION got = 0;
        jpeg.Run([&] { got = jpeg_read_scanlines(cinfo, &target, 1); });
        if (got == 0) // cannot happen with an in-memory source; never loop forever
            throw ECodecError("JPEG data ended early");
        if (cmyk)
            CmykToBgr(scratch.data(), bitmap.RowAddress(row), cinfo->output_width, cinfo->saw_Adobe_marker);
        else if (BgrColourSpace == JCS_RGB)
            SwapRedBlue(bitmap.RowAddress(row), cinfo->output_width);
    }
    jpeg.Run([&] { jpeg_finish_decompress(cinfo); });
}

} // namespace quorin::codecs
