#include "QtCanvas.h"

#include <QBrush>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QVarLengthArray>

#include "Bitmap.h"

namespace quorin {

namespace {

QColor ColourOf(std::uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

QRectF RectOf(const TRectF& rect) { return QRectF(QPointF(rect.Left, rect.Top), QPointF(rect.Right, rect.Bottom)); }

// A view over the bitmap's rows, no copy: both layouts match Qt's in memory
// (32-bit blue, green, red, unused; 24-bit blue, green, red).
QImage ViewOf(const TBitmap& bitmap)
{
    QImage::Format format = bitmap.PixelDepth() == 32 ? QImage::Format_RGB32 : QImage::Format_BGR888;
    return QImage(bitmap.RowAddress(0), bitmap.Width(), bitmap.Height(), static_cast<qsizetype>(bitmap.RowStride()),
                  format);
}

// A copy in which every pixel of the key colour is fully transparent.
QImage KeyedCopy(const QImage& view, std::uint32_t key)
{
    QImage keyed = view.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    key &= 0xFFFFFF;
    for (int y = 0; y < keyed.height(); ++y) {
        auto* pixel = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x)
            if ((pixel[x] & 0xFFFFFF) == key)
                pixel[x] = 0;
    }
    return keyed;
}

template <typename Draw>
void WithPoints(std::span<const TPointF> points, Draw draw)
{
    QVarLengthArray<QPointF, 64> qpoints;
    qpoints.reserve(static_cast<qsizetype>(points.size()));
    for (const TPointF& p : points)
        qpoints.append(QPointF(p.X, p.Y));
    draw(qpoints.constData(), static_cast<int>(qpoints.size()));
}

} // namespace

void TQtCanvas::StretchDraw(const TRect& dest, const TBitmap& bitmap, std::optional<std::uint32_t> transparentKey)
{
    if (bitmap.Width() <= 0 || bitmap.Height() <= 0 || dest.Width() <= 0 || dest.Height() <= 0)
        return;
    QImage view = ViewOf(bitmap);
    QImage image = transparentKey ? KeyedCopy(view, *transparentKey) : view;

    painter_.save();
    // Dropping or repeating pixels, never blending neighbours.
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter_.drawImage(QRectF(dest.Left, dest.Top, dest.Width(), dest.Height()), image, QRectF(image.rect()));
    painter_.restore();
}

void TQtCanvas::SetPen(std::uint32_t rgb, double width, TPenStyle style)
{
    if (style == TPenStyle::Null) {
        painter_.setPen(Qt::NoPen);
        return;
    }
    painter_.setPen(QPen(ColourOf(rgb), width, Qt::SolidLine));
}

void TQtCanvas::SetBrush(std::uint32_t rgb, TBrushStyle style)
{
    painter_.setBrush(style == TBrushStyle::Null ? QBrush(Qt::NoBrush) : QBrush(ColourOf(rgb), Qt::SolidPattern));
}

void TQtCanvas::Polyline(std::span<const TPointF> points)
{
    WithPoints(points, [this](const QPointF* p, int n) { painter_.drawPolyline(p, n); });
}

void TQtCanvas::Polygon(std::span<const TPointF> points)
{
    WithPoints(points, [this](const QPointF* p, int n) { painter_.drawPolygon(p, n); });
}

void TQtCanvas::Rectangle(const TRectF& rect) { painter_.drawRect(RectOf(rect)); }

void TQtCanvas::Ellipse(const TRectF& rect) { painter_.drawEllipse(RectOf(rect)); }

} // namespace quorin
