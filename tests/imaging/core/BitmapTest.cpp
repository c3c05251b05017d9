// The shared Bitmap: sizing, white new pixels, row stride, depth changes,
// the key colour, drawing and copying.

#include <gtest/gtest.h>

#include <vector>

#include "TgaBuilder.h"
#include "imaging/Canvas.h"
#include "imaging/Metafile.h"

namespace quorin::test {
namespace {

const Bytes White3{0xFF, 0xFF, 0xFF};

// Writes pixel (x, y) as blue x, green y, red tag.
void Paint(TBitmap& bitmap, std::uint8_t tag)
{
    for (int y = 0; y < bitmap.Height(); ++y) {
        std::uint8_t* p = bitmap.RowAddress(y);
        for (int x = 0; x < bitmap.Width(); ++x, p += bitmap.BytesPerPixel()) {
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = tag;
            if (bitmap.BytesPerPixel() == 4)
                p[3] = static_cast<std::uint8_t>(0x10 + x + y);
        }
    }
}

Bytes PixelAt(const TBitmap& bitmap, int x, int y)
{
    const std::uint8_t* p = bitmap.RowAddress(y) + x * bitmap.BytesPerPixel();
    return Bytes(p, p + bitmap.BytesPerPixel());
}

TEST(BitmapTest, StartsEmpty)
{
    TBitmap bitmap;
    EXPECT_EQ(bitmap.Width(), 0);
    EXPECT_EQ(bitmap.Height(), 0);
    EXPECT_EQ(bitmap.PixelDepth(), 24);
    EXPECT_FALSE(bitmap.Transparent());
    EXPECT_FALSE(bitmap.HasAlphaChannel());
    EXPECT_EQ(&bitmap.ClassType(), &TBitmap::ClassRecord);
    EXPECT_EQ(TBitmap::ClassRecord.Name, "TBitmap");
    EXPECT_EQ(TBitmap::ClassRecord.Base, &TGraphic::ClassRecord);
    EXPECT_EQ(TGraphic::ClassRecord.Name, "TGraphic");
    EXPECT_EQ(TGraphic::ClassRecord.Create, nullptr);
    EXPECT_EQ(TGraphic::ClassRecord.Base, nullptr);
}

TEST(BitmapTest, RowStride)
{
    struct Case {
        std::int64_t Width;
        int Bits;
        std::int64_t Stride;
    };
    for (Case c : {Case{0, 24, 0}, Case{1, 24, 4}, Case{2, 24, 8}, Case{3, 24, 12}, Case{4, 24, 12}, Case{5, 24, 16},
                   Case{0, 32, 0}, Case{1, 32, 4}, Case{3, 32, 12}, Case{65535, 24, 196608}, Case{65535, 32, 262140}}) {
        EXPECT_EQ(TBitmap::RowStrideFor(c.Width, c.Bits), c.Stride) << c.Width << " x " << c.Bits;
    }
    TBitmap bitmap;
    bitmap.SetSize(5, 3);
    EXPECT_EQ(bitmap.RowStride(), 16);
    EXPECT_EQ(bitmap.RowAddress(2) - bitmap.RowAddress(0), 32);
}

TEST(BitmapTest, NewPixelsAreWhite)
{
    for (int bits : {24, 32}) {
        SCOPED_TRACE(bits);
        TBitmap bitmap;
        bitmap.SetPixelDepth(bits);
        bitmap.SetWidth(3);
        EXPECT_EQ(bitmap.Height(), 0);
        bitmap.SetHeight(2);
        for (int y = 0; y < 2; ++y) {
            const std::uint8_t* row = bitmap.RowAddress(y);
            // Pixels, the fourth byte and the row filler alike.
            EXPECT_EQ(Bytes(row, row + bitmap.RowStride()), Bytes(static_cast<std::size_t>(bitmap.RowStride()), 0xFF));
        }
    }
}

TEST(BitmapTest, ResizingKeepsTheTopLeftPixels)
{
    struct Case {
        int Width, Height;
    };
    for (int bits : {24, 32}) {
        for (Case to : {Case{2, 2}, Case{5, 3}, Case{3, 1}, Case{1, 4}, Case{4, 4}, Case{0, 2}}) {
            SCOPED_TRACE(testing::Message() << bits << " bits to " << to.Width << " x " << to.Height);
            TBitmap bitmap;
            bitmap.SetPixelDepth(bits);
            bitmap.SetSize(3, 2);
            Paint(bitmap, 0x77);
            TBitmap reference;
            reference.SetPixelDepth(bits);
            reference.SetSize(3, 2);
            Paint(reference, 0x77);

            bitmap.SetWidth(to.Width);
            bitmap.SetHeight(to.Height);
            ASSERT_EQ(bitmap.Width(), to.Width);
            ASSERT_EQ(bitmap.Height(), to.Height);
            for (int y = 0; y < to.Height; ++y) {
                for (int x = 0; x < to.Width; ++x) {
                    Bytes expected = x < 3 && y < 2 ? PixelAt(reference, x, y)
                                                    : Bytes(static_cast<std::size_t>(bits / 8), 0xFF);
                    EXPECT_EQ(PixelAt(bitmap, x, y), expected) << x << "," << y;
                }
            }
        }
    }
}

TEST(BitmapTest, PixelsLostByShrinkingComeBackWhite)
{
    TBitmap bitmap;
    bitmap.SetSize(3, 2);
    Paint(bitmap, 0x10);
    bitmap.SetWidth(1);
    bitmap.SetWidth(3);
    EXPECT_EQ(PixelAt(bitmap, 0, 1), Bytes({0, 1, 0x10}));
    EXPECT_EQ(PixelAt(bitmap, 1, 1), White3);
    EXPECT_EQ(PixelAt(bitmap, 2, 0), White3);
}

TEST(BitmapTest, SizeChangesNotify)
{
    TBitmap bitmap;
    int changes = 0;
    bitmap.OnChange = [&] { ++changes; };
    bitmap.SetWidth(4);
    bitmap.SetWidth(4);
    bitmap.SetHeight(2);
    bitmap.SetSize(4, 2);
    EXPECT_EQ(changes, 2);
    bitmap.SetTransparent(true);
    bitmap.SetTransparent(true);
    EXPECT_EQ(changes, 3);
}

TEST(BitmapTest, RowAddressOutsideTheRows)
{
    TBitmap bitmap;
    bitmap.SetSize(2, 3);
    for (int row : {-1, 3, 4, -2147483647 - 1, 2147483647}) {
        try {
            bitmap.RowAddress(row);
            ADD_FAILURE() << row;
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message(), "Scan line index out of range") << row;
        }
        const TBitmap& constant = bitmap;
        EXPECT_THROW(constant.RowAddress(row), EInvalidGraphic) << row;
    }
    EXPECT_NO_THROW(bitmap.RowAddress(2));
}

TEST(BitmapTest, PictureSizeFits)
{
    struct Case {
        std::int64_t Width, Height;
        bool Fits;
    };
    const Case cases[] = {
        {0, 0, true},
        {1, 1, true},
        {-1, 0, false},
        {0, -1, false},
        {MaxPicturePixels, 1, true},
        {MaxPicturePixels + 1, 1, false},
        {1, MaxPicturePixels, true},
        {1, MaxPicturePixels + 1, false},
        {65535, 2730, true},
        {65535, 2731, false},
        {65535, 65535, false},
        // No rows, but a single 32-bit row must still be a 32-bit byte count.
        {536870911, 0, true},
        {536870912, 0, false},
        {0, 2147483647, true},
        {0, 2147483648LL, false},
        {INT64_MAX, INT64_MAX, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PictureSizeFits(c.Width, c.Height), c.Fits) << c.Width << " x " << c.Height;
}

TEST(BitmapTest, RefusesSizesBeyondTheLimitAndKeepsItsPixels)
{
    struct Case {
        int Width, Height;
        const char* Message;
    };
    const Case cases[] = {
        {65535, 2731, "Picture too large (65535 x 2731 pixels)"},
        {MaxPicturePixels + 1, 1, "Picture too large (178956971 x 1 pixels)"},
        {2, 100000000, "Picture too large (2 x 100000000 pixels)"},
        {-1, 1, "Invalid picture size (-1 x 1 pixels)"},
        {1, -5, "Invalid picture size (1 x -5 pixels)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Message);
        TBitmap bitmap;
        bitmap.SetSize(1, 1);
        Paint(bitmap, 0x44);
        try {
            bitmap.SetSize(c.Width, c.Height);
            ADD_FAILURE() << "no exception";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
        EXPECT_EQ(bitmap.Width(), 1);
        EXPECT_EQ(bitmap.Height(), 1);
        EXPECT_EQ(PixelAt(bitmap, 0, 0), Bytes({0, 0, 0x44}));
    }

    // Width first on a bitmap without rows is fine; the height then fails.
    TBitmap bitmap;
    bitmap.SetWidth(65535);
    EXPECT_EQ(bitmap.Width(), 65535);
    EXPECT_THROW(bitmap.SetHeight(2731), EInvalidGraphic);
    EXPECT_EQ(bitmap.Height(), 0);
    EXPECT_THROW(bitmap.SetWidth(-3), EInvalidGraphic);
}

TEST(BitmapTest, PixelDepthConversion)
{
    TBitmap bitmap;
    bitmap.SetSize(3, 2);
    Paint(bitmap, 0x21);
    bitmap.SetPixelDepth(32);
    EXPECT_EQ(bitmap.PixelDepth(), 32);
    EXPECT_EQ(bitmap.RowStride(), 12);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(PixelAt(bitmap, x, y),
                      Bytes({static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 0x21, 0xFF}));

    Paint(bitmap, 0x22);
    bitmap.SetAlphaChannel(true);
    bitmap.SetPixelDepth(24);
    EXPECT_FALSE(bitmap.HasAlphaChannel());
    EXPECT_EQ(bitmap.RowStride(), 12);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(PixelAt(bitmap, x, y), Bytes({static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 0x22}));

    for (int bits : {0, 1, 8, 16, 31, 48}) {
        try {
            bitmap.SetPixelDepth(bits);
            ADD_FAILURE() << bits;
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message(), "Unsupported pixel depth (" + std::to_string(bits) + " bits)");
        }
    }
    EXPECT_EQ(bitmap.PixelDepth(), 24);

    TBitmap empty;
    empty.SetPixelDepth(32);
    EXPECT_EQ(empty.PixelDepth(), 32);
    EXPECT_EQ(empty.Width(), 0);
}

TEST(BitmapTest, KeyColourIsTheBottomLeftPixel)
{
    for (int bits : {24, 32}) {
        TBitmap bitmap;
        bitmap.SetPixelDepth(bits);
        bitmap.SetSize(2, 3);
        std::uint8_t* bottomLeft = bitmap.RowAddress(2);
        bottomLeft[0] = 0x11; // blue
        bottomLeft[1] = 0x22; // green
        bottomLeft[2] = 0x33; // red
        bitmap.RowAddress(0)[0] = 0x99;
        EXPECT_EQ(bitmap.KeyColour(), 0x332211u) << bits;
    }
}

struct DrawCall {
    TRect Dest;
    const TBitmap* Bitmap;
    std::optional<std::uint32_t> Key;
};

class RecordingCanvas : public TCanvas {
public:
    std::vector<DrawCall> Calls;
    void StretchDraw(const TRect& dest, const TBitmap& bitmap, std::optional<std::uint32_t> key) override
    {
        Calls.push_back({dest, &bitmap, key});
    }
    void SetPen(std::uint32_t, double, TPenStyle) override {}
    void SetBrush(std::uint32_t, TBrushStyle) override {}
    void Polyline(std::span<const TPointF>) override {}
    void Polygon(std::span<const TPointF>) override {}
    void Rectangle(const TRectF&) override {}
    void Ellipse(const TRectF&) override {}
};

TEST(BitmapTest, DrawPassesTheKeyOnlyWhenTransparent)
{
    TBitmap bitmap;
    bitmap.SetSize(2, 2);
    std::uint8_t* p = bitmap.RowAddress(1);
    p[0] = 0x01, p[1] = 0x02, p[2] = 0x03;
    RecordingCanvas canvas;
    const TRect dest{10, 20, 50, 60};
    bitmap.Draw(canvas, dest);
    bitmap.SetTransparent(true);
    bitmap.Draw(canvas, dest);
    ASSERT_EQ(canvas.Calls.size(), 2u);
    EXPECT_EQ(canvas.Calls[0].Dest, dest);
    EXPECT_EQ(canvas.Calls[0].Bitmap, &bitmap);
    EXPECT_EQ(canvas.Calls[0].Key, std::nullopt);
    EXPECT_EQ(canvas.Calls[1].Key, std::optional<std::uint32_t>(0x030201));

    TBitmap empty;
    empty.Draw(canvas, dest);
    EXPECT_EQ(canvas.Calls.size(), 2u);
}

TEST(BitmapTest, AssignCopiesEverything)
{
    TBitmap source;
    source.SetPixelDepth(32);
    source.SetSize(3, 2);
    Paint(source, 0x5A);
    source.SetTransparent(true);
    source.SetAlphaChannel(true);

    TBitmap copy;
    copy.SetSize(7, 7);
    int changes = 0;
    copy.OnChange = [&] { ++changes; };
    copy.Assign(source);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(copy.Width(), 3);
    EXPECT_EQ(copy.Height(), 2);
    EXPECT_EQ(copy.PixelDepth(), 32);
    EXPECT_TRUE(copy.Transparent());
    EXPECT_TRUE(copy.HasAlphaChannel());
    for (int y = 0; y < 2; ++y)
        EXPECT_EQ(RowBytes(copy, y), RowBytes(source, y));
    // The copy owns its pixels.
    source.RowAddress(0)[0] = 0xEE;
    EXPECT_EQ(copy.RowAddress(0)[0], 0);
    EXPECT_NE(copy.RowAddress(0), source.RowAddress(0));

    TBitmap empty;
    copy.Assign(empty);
    EXPECT_EQ(copy.Width(), 0);
    EXPECT_EQ(copy.Height(), 0);
    EXPECT_EQ(copy.PixelDepth(), 24);
    EXPECT_FALSE(copy.Transparent());

    TMetafile metafile;
    try {
        copy.Assign(metafile);
        FAIL() << "no exception";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TMetafile to a TBitmap");
    }
}

} // namespace
} // namespace quorin::test
