#pragma once
// A drawing surface over a QPainter: the windows' and the drawing tests' canvas.

#include "Canvas.h"

class QPainter;

namespace quorin {

class TQtCanvas : public TCanvas {
public:
    explicit TQtCanvas(QPainter& painter) : painter_(painter) {}

    void StretchDraw(const TRect& dest, const TBitmap& bitmap, std::optional<std::uint32_t> transparentKey) override;

    void SetPen(std::uint32_t rgb, double width, TPenStyle style) override;
    void SetBrush(std::uint32_t rgb, TBrushStyle style) override;
    void Polyline(std::span<const TPointF> points) override;
    void Polygon(std::span<const TPointF> points) override;
    void Rectangle(const TRectF& rect) override;
    void Ellipse(const TRectF& rect) override;

    QPainter& Painter() { return painter_; }

private:
    QPainter& painter_;
};

} // namespace quorin
