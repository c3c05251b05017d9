// Drawing through QPainter: bitmaps scaled by dropping or repeating pixels,
// the transparent key, and the vector operations that metafiles use.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <memory>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/QtCanvas.h"

namespace quorin {
namespace {

constexpr QRgb Background = 0xFF102030;

// A bitmap whose pixel (x, y) has the colour colours[y][x] (0xRRGGBB);
// the fourth byte of 32-bit pixels is set to 0 to show that it is not used.
std::unique_ptr<TBitmap> MakeBitmap(int bits, const std::vector<std::vector<std::uint32_t>>& colours)
{
    auto made = std::make_unique<TBitmap>();
    TBitmap& bitmap = *made;
    bitmap.SetPixelDepth(bits);
    bitmap.SetSize(static_cast<int>(colours[0].size()), static_cast<int>(colours.size()));
    for (int y = 0; y < bitmap.Height(); ++y) {
        std::uint8_t* p = bitmap.RowAddress(y);
        for (int x = 0; x < bitmap.Width(); ++x, p += bitmap.BytesPerPixel()) {
            std::uint32_t c = colours[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
            p[0] = static_cast<std::uint8_t>(c);
            p[1] = static_cast<std::uint8_t>(c >> 8);
            p[2] = static_cast<std::uint8_t>(c >> 16);
            if (bits == 32)
                p[3] = 0;
        }
    }
    return made;
}

QImage Target(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Background);
    return image;
}

// Every pixel of the image as 0xRRGGBB, row by row.
std::vector<std::vector<std::uint32_t>> Pixels(const QImage& image)
{
    std::vector<std::vector<std::uint32_t>> out(static_cast<std::size_t>(image.height()));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            out[static_cast<std::size_t>(y)].push_back(image.pixel(x, y) & 0xFFFFFF);
    return out;
}

template <typename Paint>
QImage Draw(int width, int height, Paint paint)
{
    QImage target = Target(width, height);
    {
        QPainter painter(&target);
        TQtCanvas canvas(painter);
        paint(canvas);
    }
    return target;
}

constexpr std::uint32_t R = 0xFF0000, G = 0x00FF00, B = 0x0000FF, W = 0xFFFFFF, K = 0x000000, Y = 0xFFFF00;
constexpr std::uint32_t BG = Background & 0xFFFFFF;

class StretchDrawTest : public testing::TestWithParam<int> {};

TEST_P(StretchDrawTest, UpscalingRepeatsPixels)
{
    auto bitmapPtr = MakeBitmap(GetParam(), {{R, G}, {B, W}});
    TBitmap& bitmap = *bitmapPtr;
    QImage target = Draw(4, 4, [&](TCanvas& c) { c.StretchDraw({0, 0, 4, 4}, bitmap, std::nullopt); });
    EXPECT_EQ(Pixels(target), (std::vector<std::vector<std::uint32_t>>{
                                  {R, R, G, G}, {R, R, G, G}, {B, B, W, W}, {B, B, W, W}}));
}

TEST_P(StretchDrawTest, UnevenScalingStillUsesOnlySourceColours)
{
    auto bitmapPtr = MakeBitmap(GetParam(), {{R, G, B}});
    TBitmap& bitmap = *bitmapPtr;
    QImage target = Draw(6, 2, [&](TCanvas& c) { c.StretchDraw({0, 0, 6, 2}, bitmap, std::nullopt); });
    EXPECT_EQ(Pixels(target), (std::vector<std::vector<std::uint32_t>>{{R, R, G, G, B, B}, {R, R, G, G, B, B}}));
}

TEST_P(StretchDrawTest, DownscalingDropsPixels)
{
    // Four columns into two and two rows into one: every other pixel survives
    // as it is, never a blend of neighbours.
    auto bitmapPtr = MakeBitmap(GetParam(), {{R, G, B, Y}, {K, W, K, W}});
    TBitmap& bitmap = *bitmapPtr;
    QImage halved = Draw(2, 1, [&](TCanvas& c) { c.StretchDraw({0, 0, 2, 1}, bitmap, std::nullopt); });
    EXPECT_EQ(Pixels(halved), (std::vector<std::vector<std::uint32_t>>{{R, B}}));
    QImage threeQuarters = Draw(3, 2, [&](TCanvas& c) { c.StretchDraw({0, 0, 3, 2}, bitmap, std::nullopt); });
    EXPECT_EQ(Pixels(threeQuarters), (std::vector<std::vector<std::uint32_t>>{{R, G, Y}, {K, W, W}}));
}

TEST_P(StretchDrawTest, DrawsOnlyIntoTheDestination)
{
    auto bitmapPtr = MakeBitmap(GetParam(), {{R}});
    TBitmap& bitmap = *bitmapPtr;
    QImage target = Draw(4, 3, [&](TCanvas& c) { c.StretchDraw({1, 1, 3, 2}, bitmap, std::nullopt); });
    EXPECT_EQ(Pixels(target), (std::vector<std::vector<std::uint32_t>>{
                                  {BG, BG, BG, BG}, {BG, R, R, BG}, {BG, BG, BG, BG}}));
}

TEST_P(StretchDrawTest, KeyColouredPixelsAreLeftUndrawn)
{
    // The key is red; both red pixels let the background through.
    auto bitmapPtr = MakeBitmap(GetParam(), {{G, R}, {R, B}});
    TBitmap& bitmap = *bitmapPtr;
    QImage target = Draw(4, 2, [&](TCanvas& c) { c.StretchDraw({0, 0, 4, 2}, bitmap, R); });
    EXPECT_EQ(Pixels(target), (std::vector<std::vector<std::uint32_t>>{{G, G, BG, BG}, {BG, BG, B, B}}));
}

TEST_P(StretchDrawTest, RowFillerIsNotDrawn)
{
    // Three pixels a row: 24-bit rows carry filler bytes.
    auto bitmapPtr = MakeBitmap(GetParam(), {{R, G, B}, {Y, K, W}});
    TBitmap& bitmap = *bitmapPtr;
    QImage target = Draw(3, 2, [&](TCanvas& c) { c.StretchDraw({0, 0, 3, 2}, bitmap, std::nullopt); });
    EXPECT_EQ(Pixels(target), (std::vector<std::vector<std::uint32_t>>{{R, G, B}, {Y, K, W}}));
}

TEST_P(StretchDrawTest, NothingToDraw)
{
    auto bitmapPtr = MakeBitmap(GetParam(), {{R}});
    TBitmap& bitmap = *bitmapPtr;
    TBitmap empty;
    QImage target = Draw(2, 2, [&](TCanvas& c) {
        c.StretchDraw({0, 0, 2, 2}, empty, std::nullopt);
        c.StretchDraw({1, 1, 1, 2}, bitmap, std::nullopt);
        c.StretchDraw({1, 1, 2, 1}, bitmap, std::nullopt);
    });
    EXPECT_EQ(Pixels(target), (std::vector<std::vector<std::uint32_t>>{{BG, BG}, {BG, BG}}));
}

INSTANTIATE_TEST_SUITE_P(Depths, StretchDrawTest, testing::Values(24, 32));

TEST(BitmapDrawTest, TransparentBitmapsDrawWithTheirBottomLeftColourAsKey)
{
    auto bitmapPtr = MakeBitmap(24, {{G, Y}, {W, B}, {Y, G}});
    TBitmap& bitmap = *bitmapPtr;
    QImage opaque = Draw(2, 3, [&](TCanvas& c) { bitmap.Draw(c, {0, 0, 2, 3}); });
    EXPECT_EQ(Pixels(opaque), (std::vector<std::vector<std::uint32_t>>{{G, Y}, {W, B}, {Y, G}}));

    bitmap.SetTransparent(true);
    QImage keyed = Draw(2, 3, [&](TCanvas& c) { bitmap.Draw(c, {0, 0, 2, 3}); });
    EXPECT_EQ(Pixels(keyed), (std::vector<std::vector<std::uint32_t>>{{G, BG}, {W, B}, {BG, G}}));
}

TEST(VectorDrawTest, RectangleWithBrushAndNoPen)
{
    QImage target = Draw(8, 8, [](TCanvas& c) {
        c.SetPen(0, 1, TPenStyle::Null);
        c.SetBrush(R, TBrushStyle::Solid);
        c.Rectangle({2, 2, 6, 5});
    });
    auto pixels = Pixels(target);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(pixels[y][x], (x >= 2 && x < 6 && y >= 2 && y < 5) ? R : BG) << x << "," << y;
}

TEST(VectorDrawTest, NullBrushDrawsOnlyTheOutline)
{
    QImage target = Draw(10, 10, [](TCanvas& c) {
        c.SetPen(B, 1, TPenStyle::Solid);
        c.SetBrush(R, TBrushStyle::Null);
        c.Rectangle({1.5, 1.5, 8.5, 8.5});
    });
    EXPECT_EQ(target.pixel(5, 5) & 0xFFFFFF, BG);
    EXPECT_EQ(target.pixel(1, 5) & 0xFFFFFF, B);
    EXPECT_EQ(target.pixel(5, 8) & 0xFFFFFF, B);
}

TEST(VectorDrawTest, PolylinePolygonAndEllipse)
{
    QImage target = Draw(20, 20, [](TCanvas& c) {
        c.SetPen(G, 1, TPenStyle::Solid);
        const TPointF line[] = {{0.5, 1.5}, {19.5, 1.5}};
        c.Polyline(line);
        c.SetPen(0, 1, TPenStyle::Null);
        c.SetBrush(B, TBrushStyle::Solid);
        const TPointF triangle[] = {{0, 4}, {10, 4}, {0, 14}};
        c.Polygon(triangle);
        c.SetBrush(Y, TBrushStyle::Solid);
        c.Ellipse({10, 10, 20, 20});
    });
    EXPECT_EQ(target.pixel(10, 1) & 0xFFFFFF, G);
    EXPECT_EQ(target.pixel(10, 3) & 0xFFFFFF, BG);
    EXPECT_EQ(target.pixel(2, 6) & 0xFFFFFF, B);   // inside the triangle
    EXPECT_EQ(target.pixel(9, 12) & 0xFFFFFF, BG); // beyond its slanted side
    EXPECT_EQ(target.pixel(15, 15) & 0xFFFFFF, Y); // the ellipse's centre
    EXPECT_EQ(target.pixel(19, 10) & 0xFFFFFF, BG); // its bounding box's corner
    EXPECT_EQ(target.pixel(10, 19) & 0xFFFFFF, BG);
}

} // namespace
} // namespace quorin
