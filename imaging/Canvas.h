#pragma once
// A drawing surface as the pictures see it. The window's implementation draws
// with QPainter (QtCanvas.h); tests may record the calls instead.

#include <cstdint>
#include <optional>
#include <span>

#include "Graphic.h"

namespace quorin {

class TBitmap;

struct TPointF {
    double X = 0;
    double Y = 0;
};

struct TRectF {
    double Left = 0;
    double Top = 0;
    double Right = 0;
    double Bottom = 0;
};

enum class TPenStyle { Solid, Null };
enum class TBrushStyle { Solid, Null };

class TCanvas {
public:
    virtual ~TCanvas() = default;

    // The bitmap scaled into dest by dropping or repeating pixels, without
    // smoothing. With a key (0xRRGGBB), pixels of that colour are not drawn.
    virtual void StretchDraw(const TRect& dest, const TBitmap& bitmap, std::optional<std::uint32_t> transparentKey) = 0;

    // Vector drawing for metafiles, in device pixels; colours are 0xRRGGBB.
    virtual void SetPen(std::uint32_t rgb, double width, TPenStyle style) = 0;
    virtual void SetBrush(std::uint32_t rgb, TBrushStyle style) = 0;
    virtual void Polyline(std::span<const TPointF> points) = 0;
    virtual void Polygon(std::span<const TPointF> points) = 0;
    virtual void Rectangle(const TRectF& rect) = 0;
    virtual void Ellipse(const TRectF& rect) = 0;
};

} // namespace quorin
