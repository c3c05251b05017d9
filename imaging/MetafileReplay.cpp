// The display list's shared half: bitmaps of the records and the replay.

#include "MetafileReplay.h"

#include <algorithm>
#include <cmath>

#include "DIB.h"

namespace quorin::metafile {

namespace {

constexpr std::uint32_t SrcCopy = 0x00CC0020;

int ClampToInt(double v)
{
    if (!(v > -1e9)) // also NaN
        return -1000000000;
    if (v > 1e9)
        return 1000000000;
    return static_cast<int>(std::lround(v));
}

// The part of a decoded DIB that a bitmap record shows. Source coordinates
// count from the bottom-left corner of a bottom-up DIB, as GDI counts them.
std::shared_ptr<const TBitmap> Crop(std::shared_ptr<TBitmap> picture, const TDibHeader& header, std::int64_t xSrc,
                                    std::int64_t ySrc, std::int64_t width, std::int64_t height)
{
    const std::int64_t w = picture->Width();
    const std::int64_t h = picture->Height();
    if (width < 0) {
        xSrc += width;
        width = -width;
    }
    if (height < 0) {
        ySrc += height;
        height = -height;
    }
    std::int64_t top = header.TopDown ? ySrc : h - (ySrc + height);
    std::int64_t left = xSrc;
    std::int64_t right = std::min(w, left + width);
    std::int64_t bottom = std::min(h, top + height);
    left = std::max<std::int64_t>(0, left);
    top = std::max<std::int64_t>(0, top);
    if (left >= right || top >= bottom)
        return nullptr;
    if (left == 0 && top == 0 && right == w && bottom == h)
        return picture;
    auto part = std::make_shared<TBitmap>();
    part->SetPixelDepth(picture->PixelDepth());
    part->SetAlphaChannel(picture->HasAlphaChannel());
    part->SetSize(static_cast<int>(right - left), static_cast<int>(bottom - top));
    const std::int64_t bpp = picture->BytesPerPixel();
    for (std::int64_t y = top; y < bottom; ++y)
        std::copy_n(picture->RowAddress(static_cast<int>(y)) + left * bpp, (right - left) * bpp,
                    part->RowAddress(static_cast<int>(y - top)));
    return part;
}

} // namespace

void AddBitmap(TBuilder& builder, const TBitmapRecord& r, bytes::TBytes info, bytes::TBytes pixels, bool packed)
{
    if (r.RasterOp != SrcCopy)
        return;
    auto picture = std::make_shared<TBitmap>();
    TDibHeader header;
    try {
        if (packed) {
            header = DecodePackedDib(info, *picture, TDibKind::Packed);
        } else {
            header = ParseDibHeader(info, TDibKind::Packed);
            DecodeDibPixels(header, pixels, *picture, TDibKind::Packed);
        }
    } catch (const EInvalidGraphic&) {
        return; // a broken bitmap costs its record, not the picture
    }
    auto shown = Crop(std::move(picture), header, r.XSrc, r.YSrc, r.WidthSrc, r.HeightSrc);
    if (shown)
        builder.Bitmap(std::move(shown), r.XDest, r.YDest, r.XDest + r.WidthDest, r.YDest + r.HeightDest);
}

void Replay(const TData& data, TCanvas& canvas, const TRect& dest)
{
    const double ox = dest.Left;
    const double oy = dest.Top;
    const double sx = dest.Width();
    const double sy = dest.Height();
    auto map = [&](const TPointF& p) { return TPointF{ox + p.X * sx, oy + p.Y * sy}; };
    auto mapRect = [&](const TRectF& r) {
        const TPointF a = map({r.Left, r.Top});
        const TPointF b = map({r.Right, r.Bottom});
        return TRectF{std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y)};
    };
    std::vector<TPointF> points;
    for (const TData::TCommand& c : data.Commands) {
        switch (c.Kind) {
        case TKind::Pen:
            canvas.SetPen(c.Colour, c.Width < 0 ? 1.0 : c.Width * std::fabs(sx), c.Null ? TPenStyle::Null : TPenStyle::Solid);
            break;
        case TKind::Brush:
            canvas.SetBrush(c.Colour, c.Null ? TBrushStyle::Null : TBrushStyle::Solid);
            break;
        case TKind::Polyline:
        case TKind::Polygon:
            points.clear();
            for (std::size_t i = 0; i < c.Count; ++i)
                points.push_back(map(data.Points[c.First + i]));
            if (c.Kind == TKind::Polyline)
                canvas.Polyline(points);
            else
                canvas.Polygon(points);
            break;
        case TKind::Rectangle:
            canvas.Rectangle(mapRect(c.Rect));
            break;
        case TKind::Ellipse:
            canvas.Ellipse(mapRect(c.Rect));
            break;
        case TKind::Bitmap: {
            const TRectF r = mapRect(c.Rect);
            canvas.StretchDraw({ClampToInt(r.Left), ClampToInt(r.Top), ClampToInt(r.Right), ClampToInt(r.Bottom)},
                               *c.Picture, std::nullopt);
            break;
        }
        }
    }
}

} // namespace quorin::metafile
