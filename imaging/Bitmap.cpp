#include "Bitmap.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "Canvas.h"

namespace quorin {

namespace {

std::unique_ptr<TGraphic> CreateBitmap() { return std::make_unique<TBitmap>(); }

constexpr std::int64_t MaxBufferBytes = 0x7FFFFFFF;
constexpr std::uint8_t White = 0xFF;

std::string SizeText(std::int64_t width, std::int64_t height)
{
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

} // namespace

const TGraphicClass TBitmap::ClassRecord{"TBitmap", &CreateBitmap, &TGraphic::ClassRecord};

bool PictureSizeFits(std::int64_t width, std::int64_t height)
{
    if (width < 0 || height < 0 || width > MaxBufferBytes || height > MaxBufferBytes)
        return false;
    if (width * height > MaxPicturePixels)
        return false;
    // The widest pixels we hold are 32 bits: one row and the whole block must
    // each stay a signed 32-bit byte count.
    std::int64_t stride = TBitmap::RowStrideFor(width, 32);
    return stride <= MaxBufferBytes && stride * height <= MaxBufferBytes;
}

void TBitmap::CheckSize(std::int64_t width, std::int64_t height) const
{
    if (width < 0 || height < 0)
        throw EInvalidGraphic("Invalid picture size (" + SizeText(width, height) + ")");
    if (!PictureSizeFits(width, height))
        throw EInvalidGraphic("Picture too large (" + SizeText(width, height) + ")");
}

std::unique_ptr<std::uint8_t[]> TBitmap::AllocatePixels(int width, int height) const
{
    std::int64_t bytes = RowStrideFor(width, bitsPerPixel_) * height;
    if (bytes == 0)
        return nullptr;
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(bytes)]);
    if (!block)
        throw EOutOfMemory("Out of memory for a picture of " + SizeText(width, height));
    return block;
}

void TBitmap::Resize(int width, int height)
{
    CheckSize(width, height);
    if (width == width_ && height == height_)
        return;

    auto block = AllocatePixels(width, height);
    if (block) {
        std::int64_t oldStride = RowStride();
        std::int64_t newStride = RowStrideFor(width, bitsPerPixel_);
        std::int64_t common = static_cast<std::int64_t>(std::min(width, width_)) * BytesPerPixel();
        int commonRows = std::min(height, height_);
        for (int row = 0; row < commonRows; ++row) {
            std::uint8_t* to = block.get() + row * newStride;
            std::memcpy(to, pixels_.get() + row * oldStride, static_cast<std::size_t>(common));
            std::memset(to + common, White, static_cast<std::size_t>(newStride - common));
        }
        std::memset(block.get() + commonRows * newStride, White, static_cast<std::size_t>((height - commonRows) * newStride));
    }
    pixels_ = std::move(block);
    width_ = width;
    height_ = height;
    Changed();
}

void TBitmap::SetWidth(int width) { Resize(width, height_); }

void TBitmap::SetHeight(int height) { Resize(width_, height); }

void TBitmap::SetSize(int width, int height) { Resize(width, height); }

void TBitmap::SetSizeForDecoding(int width, int height)
{
    CheckSize(width, height);
    if (width == width_ && height == height_)
        return;
    // Release the old block first: its pixels are not wanted, so the peak is
    // one picture, not two.
    pixels_.reset();
    width_ = height_ = 0;
    pixels_ = AllocatePixels(width, height);
    width_ = width;
    height_ = height;
}

void TBitmap::SetPixelDepth(int bits)
{
    if (bits != 24 && bits != 32)
        throw EInvalidGraphic("Unsupported pixel depth (" + std::to_string(bits) + " bits)");
    if (bits == bitsPerPixel_)
        return;
    if (!pixels_) {
        bitsPerPixel_ = bits;
        return;
    }

    int oldBytes = BytesPerPixel();
    std::int64_t oldStride = RowStride();
    int oldBits = bitsPerPixel_;
    bitsPerPixel_ = bits;
    std::unique_ptr<std::uint8_t[]> block;
    try {
        block = AllocatePixels(width_, height_);
    } catch (...) {
        bitsPerPixel_ = oldBits;
        throw;
    }
    int newBytes = BytesPerPixel();
    std::int64_t newStride = RowStride();
    for (int row = 0; row < height_; ++row) {
        const std::uint8_t* from = pixels_.get() + row * oldStride;
        std::uint8_t* to = block.get() + row * newStride;
        for (int x = 0; x < width_; ++x, from += oldBytes, to += newBytes) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
            if (newBytes == 4)
                to[3] = White; // no alpha came with 24-bit pixels
        }
        std::memset(to, White, static_cast<std::size_t>(block.get() + (row + 1) * newStride - to));
    }
    pixels_ = std::move(block);
    hasAlpha_ = false;
    Changed();
}

std::uint8_t* TBitmap::RowAddress(int row)
{
    return const_cast<std::uint8_t*>(static_cast<const TBitmap*>(this)->RowAddress(row));
}

const std::uint8_t* TBitmap::RowAddress(int row) const
{
    if (row < 0 || row >= height_)
        throw EInvalidGraphic("Scan line index out of range");
    return pixels_.get() + row * RowStride();
}

std::uint32_t TBitmap::KeyColour() const
{
    if (width_ == 0 || height_ == 0)
        return 0;
    const std::uint8_t* pixel = RowAddress(height_ - 1);
    return static_cast<std::uint32_t>(pixel[2]) << 16 | static_cast<std::uint32_t>(pixel[1]) << 8 | pixel[0];
}

void TBitmap::Draw(TCanvas& canvas, const TRect& dest) const
{
    if (width_ == 0 || height_ == 0)
        return;
    canvas.StretchDraw(dest, *this, Transparent() ? std::optional<std::uint32_t>(KeyColour()) : std::nullopt);
}

void TBitmap::Assign(const TGraphic& source)
{
    if (&source == this)
        return;
    const auto* other = dynamic_cast<const TBitmap*>(&source);
    if (!other)
        throw EInvalidGraphic("Cannot assign a " + std::string(source.ClassType().Name) + " to a "
                              + std::string(ClassType().Name));

    std::int64_t bytes = other->RowStride() * other->height_;
    std::unique_ptr<std::uint8_t[]> block;
    if (bytes > 0) {
        block.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(bytes)]);
        if (!block)
            throw EOutOfMemory("Out of memory for a picture of " + SizeText(other->width_, other->height_));
        std::memcpy(block.get(), other->pixels_.get(), static_cast<std::size_t>(bytes));
    }
    pixels_ = std::move(block);
    width_ = other->width_;
    height_ = other->height_;
    bitsPerPixel_ = other->bitsPerPixel_;
    hasAlpha_ = other->hasAlpha_;
    // Set quietly: one notification for the whole copy.
    auto notify = std::move(OnChange);
    OnChange = nullptr;
    SetTransparent(other->Transparent());
    OnChange = std::move(notify);
    Changed();
}

} // namespace quorin
