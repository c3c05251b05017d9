// Icons (and cursors, which share the layout): the directory is read, every
// entry's data is checked against the file, and the largest entry (by area,
// then by bits per pixel) is decoded: a DIB with its AND mask, or a PNG
// through libpng. The picture is 32-bit with HasAlphaChannel when any pixel
// is not fully opaque, 24-bit otherwise.

#include "ICO.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <png.h>

#include "ByteReader.h"
#include "DIB.h"
#include "JumpGuard.h"
#include "StreamBytes.h"

namespace quorin {

namespace {

using bytes::Fits;
using bytes::TBytes;
using bytes::U16;
using bytes::U32;

std::unique_ptr<TGraphic> CreateIcon() { return std::make_unique<TIcon>(); }

constexpr std::int64_t DirectorySize = 6;
constexpr std::int64_t EntrySize = 16;
constexpr std::uint8_t PngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// Deflate expands at most about 1032 times; a PNG whose rows need more bytes
// than that from its data cannot be complete.
constexpr std::int64_t MaxDeflateRatio = 1032;

[[noreturn]] void Fail(const std::string& detail) { throw EInvalidGraphic("Invalid icon file: " + detail); }

struct TEntry {
    std::int64_t Width = 0;
    std::int64_t Height = 0;
    int BitCount = 0;
    std::int64_t Offset = 0;
    std::int64_t Size = 0;
};

// ---- PNG entries -----------------------------------------------------------

struct TPngSource {
    TBytes Data;
    std::size_t At = 0;
    char Message[200] = {};
};

extern "C" void PngError(png_structp png, png_const_charp message)
{
    auto* source = static_cast<TPngSource*>(png_get_error_ptr(png));
    std::snprintf(source->Message, sizeof source->Message, "%s", message ? message : "PNG error");
    png_longjmp(png, 1);
}

extern "C" void PngWarning(png_structp, png_const_charp) {}

extern "C" void PngRead(png_structp png, png_bytep out, png_size_t count)
{
    auto* source = static_cast<TPngSource*>(png_get_io_ptr(png));
    if (count > source->Data.size() - source->At)
        png_error(png, "PNG data ended early");
    std::memcpy(out, source->Data.data() + source->At, count);
    source->At += count;
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
    explicit TPngReader(TPngSource& source)
    {
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, &PngError, &PngWarning);
        if (png_)
            info_ = png_create_info_struct(png_);
        if (!png_ || !info_) {
            png_destroy_read_struct(png_ ? &png_ : nullptr, nullptr, nullptr);
            Fail("out of memory for the PNG reader");
        }
        png_set_read_fn(png_, &source, &PngRead);
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

void DecodePng(TBytes data, TBitmap& bitmap)
{
    TPngSource source{data};
    TPngReader reader(source);
    png_structp png = reader.Png();
    png_infop info = reader.Info();
    auto check = [&](bool ok) {
        if (!ok)
            Fail(source.Message);
    };
    check(RunGuarded(png_jmpbuf(png), [&] { png_read_info(png, info); }));

    const std::int64_t width = png_get_image_width(png, info);
    const std::int64_t height = png_get_image_height(png, info);
    if (width <= 0 || height <= 0 || width > MaxPicturePixels || height > MaxPicturePixels / width)
        Fail("PNG image too large (" + std::to_string(width) + " x " + std::to_string(height) + ")");
    const std::int64_t bitsPerPixel = std::int64_t{png_get_bit_depth(png, info)} * png_get_channels(png, info);
    const std::int64_t rawBytes = height * (1 + (width * bitsPerPixel + 7) / 8);
    if (rawBytes / MaxDeflateRatio > static_cast<std::int64_t>(data.size()))
        Fail("PNG image larger than its data can hold");

    check(RunGuarded(png_jmpbuf(png), [&] { SetBgraOutput(png, info); }));
    if (static_cast<std::int64_t>(png_get_rowbytes(png, info)) != width * 4)
        Fail("unexpected PNG row layout");

    bitmap.SetSize(0, 0);
    bitmap.SetPixelDepth(32);
    bitmap.SetAlphaChannel(false);
    bitmap.SetSize(static_cast<int>(width), static_cast<int>(height));
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[static_cast<std::size_t>(y)] = bitmap.RowAddress(y);
    png_bytepp rowPointers = rows.data();
    check(RunGuarded(png_jmpbuf(png), [&] { png_read_image(png, rowPointers); }));

    if (AnyTranslucent(bitmap))
        bitmap.SetAlphaChannel(true);
    else
        bitmap.SetPixelDepth(24);
}

// ---- the directory ---------------------------------------------------------

std::vector<TEntry> ReadDirectory(TBytes file)
{
    if (!Fits(0, DirectorySize, file))
        Fail("header truncated");
    const std::uint16_t reserved = U16(file.data());
    const std::uint16_t type = U16(file.data() + 2);
    const std::uint16_t count = U16(file.data() + 4);
    if (reserved != 0 || (type != 1 && type != 2))
        Fail("not an icon (reserved " + std::to_string(reserved) + ", type " + std::to_string(type) + ")");
    if (count == 0)
        Fail("no images");
    if (!Fits(DirectorySize, count * EntrySize, file))
        Fail("directory of " + std::to_string(count) + " entries truncated");

    std::vector<TEntry> entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* e = file.data() + DirectorySize + i * EntrySize;
        TEntry entry;
        entry.Width = e[0] ? e[0] : 256;
        entry.Height = e[1] ? e[1] : 256;
        entry.BitCount = U16(e + 6);
        entry.Size = U32(e + 8);
        entry.Offset = U32(e + 12);
        if (entry.Size == 0 || !Fits(entry.Offset, entry.Size, file))
            Fail("image " + std::to_string(i) + " (offset " + std::to_string(entry.Offset) + ", size " +
                 std::to_string(entry.Size) + ") lies outside the file");
        entries.push_back(entry);
    }
    return entries;
}

const TEntry& ChooseEntry(const std::vector<TEntry>& entries)
{
    const TEntry* best = &entries.front();
    for (const TEntry& e : entries) {
        const std::int64_t area = e.Width * e.Height;
        const std::int64_t bestArea = best->Width * best->Height;
        if (area > bestArea || (area == bestArea && e.BitCount > best->BitCount))
            best = &e;
    }
    return *best;
}

} // namespace

const TGraphicClass TIcon::ClassRecord{"TIcon", &CreateIcon, &TBitmap::ClassRecord};

void TIcon::DecodeStream(TStream& stream)
{
    TStreamBytes input(stream);
    if (!input.Complete())
        Fail("file too large");
    DecodeICO(input.Bytes());
}

void TIcon::DecodeICO(std::span<const std::uint8_t> file)
{
    const std::vector<TEntry> entries = ReadDirectory(file);
    const TEntry& entry = ChooseEntry(entries);
    const TBytes image = file.subspan(static_cast<std::size_t>(entry.Offset), static_cast<std::size_t>(entry.Size));
    if (image.size() >= sizeof PngSignature && std::memcmp(image.data(), PngSignature, sizeof PngSignature) == 0)
        DecodePng(image, *this);
    else
        DecodePackedDib(image, *this, TDibKind::IconImage);
    Changed();
}

} // namespace quorin
