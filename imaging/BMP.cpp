// The BMP reader and the DIB decoding that icons and metafiles share.
//
// Every picture comes out as a 24-bit Bitmap, or as a 32-bit one with
// HasAlphaChannel when the data really carry alpha (bit fields with an alpha
// mask whose values are not all zero; an icon's own alpha or AND mask).
// Uncompressed pixel data shorter than the picture is refused; run-length
// data may end early, and the pixels they never reach stay white.

#include <algorithm>
#include <array>
#include <bit>
#include <string>

#include "ByteReader.h"
#include "DIB.h"
#include "StreamBytes.h"

namespace quorin {

namespace {

using bytes::Fits;
using bytes::I32;
using bytes::TBytes;
using bytes::U16;
using bytes::U32;

constexpr std::int64_t FileHeaderSize = 14;
constexpr std::int64_t CoreHeaderSize = 12;

[[noreturn]] void Fail(TDibKind kind, const std::string& detail)
{
    std::string text = kind == TDibKind::IconImage ? "Invalid icon file: " : "Invalid bitmap file: ";
    throw EInvalidGraphic(text + detail);
}

bool IsInfoHeaderSize(std::uint32_t size)
{
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// One colour channel of a bit-field pixel, scaled to 0..255.
struct TChannel {
    std::uint32_t Mask = 0;
    int Shift = 0;
    std::uint64_t Max = 0;

    explicit TChannel(std::uint32_t mask) : Mask(mask)
    {
        if (mask) {
            Shift = std::countr_zero(mask);
            Max = mask >> Shift;
        }
    }

    std::uint8_t Extract(std::uint32_t value) const
    {
        if (!Max)
            return 0;
        std::uint64_t c = (value & Mask) >> Shift; // <= Max
        if (Max == 255)
            return static_cast<std::uint8_t>(c);
        return static_cast<std::uint8_t>((c * 255 + Max / 2) / Max);
    }
};

// Where decoded pixels go: picture rows from the file's row order.
class TPixelSink {
public:
    TPixelSink(TBitmap& bitmap, const TDibHeader& header)
        : bitmap_(bitmap), height_(header.Height), topDown_(header.TopDown), bpp_(bitmap.BytesPerPixel())
    {
    }

    std::uint8_t* FileRow(std::int64_t y) const
    {
        return bitmap_.RowAddress(static_cast<int>(topDown_ ? y : height_ - 1 - y));
    }

    void Put(std::uint8_t* row, std::int64_t x, std::uint32_t rgb, std::uint8_t alpha = 255) const
    {
        std::uint8_t* p = row + x * bpp_;
        p[0] = static_cast<std::uint8_t>(rgb);
        p[1] = static_cast<std::uint8_t>(rgb >> 8);
        p[2] = static_cast<std::uint8_t>(rgb >> 16);
        if (bpp_ == 4)
            p[3] = alpha;
    }

private:
    TBitmap& bitmap_;
    std::int64_t height_;
    bool topDown_;
    int bpp_;
};

std::uint32_t PaletteColour(const TDibHeader& header, std::uint32_t index)
{
    return index < header.Palette.size() ? header.Palette[index] : 0;
}

std::uint32_t Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) | b;
}

bool UsesMasks(const TDibHeader& h)
{
    return h.BitCount == 16 || h.Compression == BI_BITFIELDS || h.Compression == BI_ALPHABITFIELDS;
}

// Whether the fourth byte or the alpha mask of the pixels is meant as alpha.
bool DataCarryAlpha(const TDibHeader& h, TDibKind kind)
{
    if (UsesMasks(h))
        return h.Masks[3] != 0;
    return h.BitCount == 32 && kind == TDibKind::IconImage;
}

void DecodeRow(const TDibHeader& h, const std::uint8_t* src, std::uint8_t* row, const TPixelSink& sink,
               bool alphaFromData)
{
    const std::int64_t width = h.Width;
    switch (h.BitCount) {
    case 1:
        for (std::int64_t x = 0; x < width; ++x)
            sink.Put(row, x, PaletteColour(h, (src[x >> 3] >> (7 - (x & 7))) & 1));
        return;
    case 4:
        for (std::int64_t x = 0; x < width; ++x)
            sink.Put(row, x, PaletteColour(h, (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F));
        return;
    case 8:
        for (std::int64_t x = 0; x < width; ++x)
            sink.Put(row, x, PaletteColour(h, src[x]));
        return;
    case 24:
        for (std::int64_t x = 0; x < width; ++x) {
            const std::uint8_t* p = src + x * 3;
            sink.Put(row, x, Rgb(p[2], p[1], p[0]));
        }
        return;
    default:
        break;
    }
    if (UsesMasks(h)) {
        const TChannel r(h.Masks[0]), g(h.Masks[1]), b(h.Masks[2]), a(h.Masks[3]);
        for (std::int64_t x = 0; x < width; ++x) {
            std::uint32_t v = h.BitCount == 16 ? U16(src + x * 2) : U32(src + x * 4);
            sink.Put(row, x, Rgb(r.Extract(v), g.Extract(v), b.Extract(v)), alphaFromData ? a.Extract(v) : 255);
        }
        return;
    }
    for (std::int64_t x = 0; x < width; ++x) { // 32 bits, BI_RGB
        const std::uint8_t* p = src + x * 4;
        sink.Put(row, x, Rgb(p[2], p[1], p[0]), alphaFromData ? p[3] : 255);
    }
}

void DecodeUncompressed(const TDibHeader& h, TBytes pixels, const TPixelSink& sink, bool alphaFromData)
{
    const std::int64_t stride = TBitmap::RowStrideFor(h.Width, h.BitCount);
    for (std::int64_t y = 0; y < h.Height; ++y)
        DecodeRow(h, pixels.data() + y * stride, sink.FileRow(y), sink, alphaFromData);
}

// Run-length data: every packet is clamped to the row and the picture, and
// running out of data ends the picture. Pixels that the data skip (by a
// delta, an end of line or an end of bitmap) keep the white of a new Bitmap:
// the format leaves them undefined, and not filling them keeps a tiny file
// that declares a huge picture cheap.
void DecodeRunLength(const TDibHeader& h, TBytes data, const TPixelSink& sink)
{
    const bool four = h.Compression == BI_RLE4;
    const std::int64_t width = h.Width;
    const std::int64_t height = h.Height;
    const std::int64_t size = static_cast<std::int64_t>(data.size());
    std::int64_t at = 0;
    std::int64_t x = 0;
    std::int64_t y = 0;
    while (y < height && Fits(at, 2, size)) {
        const std::uint8_t count = data[at];
        const std::uint8_t value = data[at + 1];
        at += 2;
        std::uint8_t* row = sink.FileRow(y);
        if (count > 0) {
            const std::int64_t n = std::min<std::int64_t>(count, width - x); // x <= width always
            for (std::int64_t i = 0; i < n; ++i)
                sink.Put(row, x + i, PaletteColour(h, four ? ((i & 1) ? value & 0x0F : value >> 4) : value));
            x += n; // pixels past the row's end are dropped
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            return;
        } else if (value == 2) { // delta
            if (!Fits(at, 2, size))
                return;
            x = std::min(x + data[at], width);
            y += data[at + 1];
            at += 2;
        } else { // absolute run of `value` pixels, padded to 16 bits
            const std::int64_t byteCount = four ? (value + 1) / 2 : value;
            if (!Fits(at, byteCount, size))
                return;
            for (std::int64_t i = 0; i < value && x < width; ++i, ++x) {
                const std::uint8_t b = data[at + (four ? i / 2 : i)];
                sink.Put(row, x, PaletteColour(h, four ? ((i & 1) ? b & 0x0F : b >> 4) : b));
            }
            at += byteCount + (byteCount & 1);
        }
    }
}

// The AND mask after an icon's pixels: a set bit makes the pixel transparent.
// A mask that the data do not hold completely is ignored.
void ApplyIconMask(const TDibHeader& h, TBytes pixels, const TPixelSink& sink)
{
    const std::int64_t xorSize = TBitmap::RowStrideFor(h.Width, h.BitCount) * h.Height;
    const std::int64_t maskStride = TBitmap::RowStrideFor(h.Width, 1);
    if (!Fits(xorSize, maskStride * h.Height, pixels))
        return;
    for (std::int64_t y = 0; y < h.Height; ++y) {
        const std::uint8_t* src = pixels.data() + xorSize + y * maskStride;
        std::uint8_t* row = sink.FileRow(y);
        for (std::int64_t x = 0; x < h.Width; ++x)
            row[x * 4 + 3] = ((src[x >> 3] >> (7 - (x & 7))) & 1) ? 0 : 255;
    }
}

// Visits the alpha byte of every pixel of a 32-bit bitmap; stops when f says so.
template <class F>
bool AllAlpha(const TBitmap& bitmap, F&& f)
{
    for (int y = 0; y < bitmap.Height(); ++y) {
        const std::uint8_t* row = bitmap.RowAddress(y);
        for (int x = 0; x < bitmap.Width(); ++x)
            if (!f(row[x * 4 + 3]))
                return false;
    }
    return true;
}

} // namespace

TDibHeader ParseDibHeader(std::span<const std::uint8_t> dib, TDibKind kind)
{
    TDibHeader h;
    if (!Fits(0, 4, dib))
        Fail(kind, "header truncated");
    const std::uint32_t headerSize = U32(dib.data());
    if (headerSize != CoreHeaderSize && !IsInfoHeaderSize(headerSize))
        Fail(kind, "unsupported header size " + std::to_string(headerSize));
    if (!Fits(0, headerSize, dib))
        Fail(kind, "header truncated");
    const std::uint8_t* p = dib.data();
    h.HeaderSize = headerSize;
    h.MasksEnd = headerSize;

    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t tableCount = 0;
    std::int64_t entrySize = 4;
    if (headerSize == CoreHeaderSize) {
        width = U16(p + 4);
        height = U16(p + 6);
        h.BitCount = U16(p + 10);
        entrySize = 3;
    } else {
        width = I32(p + 4);
        height = I32(p + 8);
        h.BitCount = U16(p + 14);
        h.Compression = U32(p + 16);
        tableCount = U32(p + 32);
        if (headerSize >= 52) {
            h.Masks[0] = U32(p + 40);
            h.Masks[1] = U32(p + 44);
            h.Masks[2] = U32(p + 48);
        }
        if (headerSize >= 56)
            h.Masks[3] = U32(p + 52);
    }

    switch (h.BitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: Fail(kind, "unsupported bit count " + std::to_string(h.BitCount));
    }
    switch (h.Compression) {
    case BI_RGB:
        if (h.BitCount == 16) {
            h.Masks[0] = 0x7C00;
            h.Masks[1] = 0x03E0;
            h.Masks[2] = 0x001F;
            h.Masks[3] = 0;
        }
        break;
    case BI_RLE8:
        if (h.BitCount != 8)
            Fail(kind, "RLE8 compression needs 8 bits per pixel");
        break;
    case BI_RLE4:
        if (h.BitCount != 4)
            Fail(kind, "RLE4 compression needs 4 bits per pixel");
        break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS:
        if (h.BitCount != 16 && h.BitCount != 32)
            Fail(kind, "bit fields need 16 or 32 bits per pixel");
        if (headerSize == 40) {
            const std::int64_t maskCount = h.Compression == BI_ALPHABITFIELDS ? 4 : 3;
            if (!Fits(headerSize, maskCount * 4, dib))
                Fail(kind, "bit field masks truncated");
            for (std::int64_t i = 0; i < maskCount; ++i)
                h.Masks[i] = U32(p + headerSize + i * 4);
            h.MasksEnd = headerSize + maskCount * 4;
        }
        if (!h.Masks[0] && !h.Masks[1] && !h.Masks[2])
            Fail(kind, "bit field masks are empty");
        break;
    default:
        Fail(kind, "unsupported compression " + std::to_string(h.Compression));
    }
    if (kind == TDibKind::IconImage && h.Compression != BI_RGB && h.Compression != BI_BITFIELDS)
        Fail(kind, "compressed icon images are not supported");
    if (h.BitCount == 32 && kind == TDibKind::IconImage && h.Compression == BI_RGB)
        h.Masks[3] = 0; // the fourth byte itself is the alpha

    if (width <= 0)
        Fail(kind, "width " + std::to_string(width) + " is not positive");
    if (height == 0)
        Fail(kind, "height is zero");
    h.TopDown = height < 0;
    height = height < 0 ? -height : height;
    if (kind == TDibKind::IconImage) {
        height /= 2; // the pixels and the AND mask
        if (height == 0)
            Fail(kind, "height is zero");
    }
    h.Width = static_cast<std::int32_t>(width);
    // -INT32_MIN does not fit: such a height is far beyond any picture anyway.
    h.Height = static_cast<std::int32_t>(std::min<std::int64_t>(height, INT32_MAX));

    if (h.BitCount <= 8 && (tableCount == 0 || headerSize == CoreHeaderSize))
        tableCount = std::int64_t{1} << h.BitCount;
    h.TableEnd = h.MasksEnd + tableCount * entrySize;
    const std::int64_t used = h.BitCount <= 8 ? std::min(tableCount, std::int64_t{1} << h.BitCount) : 0;
    if (!Fits(h.MasksEnd, used * entrySize, dib))
        Fail(kind, "colour table truncated");
    h.Palette.reserve(static_cast<std::size_t>(used));
    for (std::int64_t i = 0; i < used; ++i) {
        const std::uint8_t* e = p + h.MasksEnd + i * entrySize;
        h.Palette.push_back(Rgb(e[2], e[1], e[0]));
    }
    return h;
}

void DecodeDibPixels(const TDibHeader& h, std::span<const std::uint8_t> pixels, TBitmap& bitmap, TDibKind kind)
{
    const std::int64_t width = h.Width;
    const std::int64_t height = h.Height;
    if (width <= 0 || height <= 0 || width > MaxPicturePixels || height > MaxPicturePixels / width)
        Fail(kind, "picture too large (" + std::to_string(width) + " x " + std::to_string(height) + ")");
    const bool runLength = h.Compression == BI_RLE8 || h.Compression == BI_RLE4;
    if (!runLength) {
        // The last row's padding may be missing; everything else must be there.
        const std::int64_t stride = TBitmap::RowStrideFor(width, h.BitCount);
        const std::int64_t need = (height - 1) * stride + (width * h.BitCount + 7) / 8;
        if (static_cast<std::int64_t>(pixels.size()) < need)
            Fail(kind, "pixel data truncated (" + std::to_string(pixels.size()) + " of " + std::to_string(need) +
                           " bytes)");
    }

    const bool icon = kind == TDibKind::IconImage;
    const bool alphaFromData = DataCarryAlpha(h, kind);
    bitmap.SetSize(0, 0);
    bitmap.SetPixelDepth(icon || alphaFromData ? 32 : 24);
    bitmap.SetAlphaChannel(false);
    bitmap.SetSize(h.Width, h.Height);
    const TPixelSink sink(bitmap, h);
    if (runLength)
        DecodeRunLength(h, pixels, sink);
    else
        DecodeUncompressed(h, pixels, sink, alphaFromData);

    if (bitmap.PixelDepth() != 32)
        return;
    const bool allClear = alphaFromData && AllAlpha(bitmap, [](std::uint8_t a) { return a == 0; });
    if (icon) {
        // An icon whose own alpha is all zero is drawn by its AND mask.
        if (!alphaFromData || allClear)
            ApplyIconMask(h, pixels, sink);
        if (AllAlpha(bitmap, [](std::uint8_t a) { return a == 255; })) {
            bitmap.SetPixelDepth(24);
            return;
        }
        bitmap.SetAlphaChannel(true);
        return;
    }
    // An alpha mask whose values are all zero is a channel nobody filled in.
    if (allClear) {
        bitmap.SetPixelDepth(24);
        return;
    }
    bitmap.SetAlphaChannel(true);
}

TDibHeader DecodePackedDib(std::span<const std::uint8_t> dib, TBitmap& bitmap, TDibKind kind)
{
    TDibHeader header = ParseDibHeader(dib, kind);
    if (!Fits(header.TableEnd, 0, dib))
        Fail(kind, "pixel data missing");
    DecodeDibPixels(header, dib.subspan(static_cast<std::size_t>(header.TableEnd)), bitmap, kind);
    return header;
}

void TBitmap::DecodeStream(TStream& stream)
{
    TStreamBytes input(stream);
    if (!input.Complete())
        Fail(TDibKind::BitmapFile, "file too large");
    DecodeBMP(input.Bytes());
}

void TBitmap::DecodeBMP(std::span<const std::uint8_t> file)
{
    if (!Fits(0, FileHeaderSize, file))
        Fail(TDibKind::BitmapFile, "file header truncated");
    if (file[0] != 'B' || file[1] != 'M')
        Fail(TDibKind::BitmapFile, "no BM signature");
    const std::uint32_t offset = U32(file.data() + 10);
    const TBytes dib = file.subspan(FileHeaderSize);
    const TDibHeader header = ParseDibHeader(dib, TDibKind::BitmapFile);

    // An offset of 0 means "right after the colour table", as in a packed DIB.
    std::int64_t pixelStart = header.TableEnd;
    if (offset != 0) {
        if (offset < FileHeaderSize + header.MasksEnd)
            Fail(TDibKind::BitmapFile, "pixel data offset " + std::to_string(offset) + " lies inside the header");
        pixelStart = offset - FileHeaderSize;
    }
    if (!Fits(pixelStart, 0, dib))
        Fail(TDibKind::BitmapFile, "pixel data offset " + std::to_string(pixelStart + FileHeaderSize) +
                                       " lies outside the file");
    DecodeDibPixels(header, dib.subspan(static_cast<std::size_t>(pixelStart)), *this, TDibKind::BitmapFile);
    Changed();
}

} // namespace quorin
