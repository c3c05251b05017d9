#pragma once
// What the WMF and EMF readers share: the display list they build, the
// pens, brushes and object tables of GDI, the builder that maps logical
// coordinates into picture fractions, and the replay of the list on a
// canvas. Only the metafile modules include this.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ByteReader.h"
#include "Canvas.h"
#include "Metafile.h"

namespace quorin {

// ---- the display list ------------------------------------------------------

struct TMetafile::TData {
    enum class TKind { Pen, Brush, Polyline, Polygon, Rectangle, Ellipse, Bitmap };
    struct TCommand {
        TKind Kind = TKind::Pen;
        std::uint32_t Colour = 0;
        double Width = 0; // pens: a fraction of the picture's width; < 0 for one device pixel
        bool Null = false;
        std::size_t First = 0; // polylines and polygons: their points in Points
        std::size_t Count = 0;
        TRectF Rect;           // rectangles, ellipses and bitmaps
        std::shared_ptr<const TBitmap> Picture;
    };
    std::vector<TCommand> Commands;
    std::vector<TPointF> Points;
};

namespace metafile {

using TData = TMetafile::TData;
using TKind = TData::TKind;

constexpr double ScreenDpi = 96.0;
constexpr std::size_t MaxSavedStates = 1024;

[[noreturn]] inline void Fail(const std::string& detail) { throw EInvalidGraphic("Invalid metafile: " + detail); }

inline std::uint32_t ColourRefToRgb(std::uint32_t c)
{
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

inline int SizeFromExtent(std::int64_t extent)
{
    return static_cast<int>(std::min<std::int64_t>(extent < 0 ? -extent : extent, INT32_MAX));
}

// The state a restore record asks for, taken off the saved stack: a negative
// level counts back from the newest, a positive one names a saved level.
// Nothing when the record names no saved level.
template <typename TState>
std::optional<TState> PopSavedState(std::vector<TState>& saved, std::int64_t which)
{
    const std::int64_t depth = static_cast<std::int64_t>(saved.size());
    const std::int64_t level = which < 0 ? depth + which + 1 : which;
    if (level < 1 || level > depth)
        return std::nullopt;
    TState state = saved[static_cast<std::size_t>(level - 1)];
    saved.resize(static_cast<std::size_t>(level - 1));
    return state;
}

struct TPen {
    std::uint32_t Colour = 0;
    double Width = 0; // logical units; 0 draws one device pixel wide
    bool Null = false;
    friend bool operator==(const TPen&, const TPen&) = default;
};

struct TBrush {
    std::uint32_t Colour = 0xFFFFFF;
    bool Null = false;
    friend bool operator==(const TBrush&, const TBrush&) = default;
};

struct TObject {
    enum class TType { Free, Pen, Brush, Other } Type = TType::Free;
    TPen Pen;
    TBrush Brush;
};

inline TObject OtherObject()
{
    TObject o;
    o.Type = TObject::TType::Other;
    return o;
}

inline TData::TCommand Command(TKind kind)
{
    TData::TCommand c;
    c.Kind = kind;
    return c;
}

inline TObject PenObject(std::uint32_t style, double width, std::uint32_t colourRef)
{
    TObject o;
    o.Type = TObject::TType::Pen;
    o.Pen = {ColourRefToRgb(colourRef), width < 0 ? -width : width, (style & 0x0F) == 5 /* PS_NULL */};
    return o;
}

inline TObject BrushObject(std::uint32_t style, std::uint32_t colourRef)
{
    TObject o;
    o.Type = TObject::TType::Brush;
    o.Brush = {ColourRefToRgb(colourRef), style == 1 /* BS_NULL */};
    return o;
}

// Collects drawing calls in picture fractions. The mapping from logical
// units is u = Ax * x + Bx, v = Ay * y + By.
class TBuilder {
public:
    double Ax = 1, Bx = 0, Ay = 1, By = 0;
    TPen Pen;
    TBrush Brush;
    TPointF Position; // logical

    TData& Data() { return data_; }

    TPointF Map(double x, double y) const { return {Ax * x + Bx, Ay * y + By}; }

    void MoveTo(double x, double y)
    {
        Position = {x, y};
        lineRun_ = npos;
    }

    void LineTo(double x, double y)
    {
        SyncPen();
        const TPointF to = Map(x, y);
        if (data_.Commands.empty() || lineRun_ != data_.Commands.size() - 1) {
            lineRun_ = data_.Commands.size();
            data_.Commands.push_back(Command(TKind::Polyline));
            data_.Commands.back().First = data_.Points.size();
            data_.Points.push_back(Map(Position.X, Position.Y));
        }
        data_.Points.push_back(to);
        data_.Commands.back().Count = data_.Points.size() - data_.Commands.back().First;
        Position = {x, y};
    }

    // Adds a polyline or polygon of logical points from point(i).
    template <class F>
    void Poly(TKind kind, std::size_t count, F&& point)
    {
        if (count < 2)
            return;
        SyncPen();
        if (kind == TKind::Polygon)
            SyncBrush();
        TData::TCommand command = Command(kind);
        command.First = data_.Points.size();
        command.Count = count;
        for (std::size_t i = 0; i < count; ++i) {
            const TPointF p = point(i);
            data_.Points.push_back(Map(p.X, p.Y));
        }
        data_.Commands.push_back(command);
        lineRun_ = npos;
    }

    void Shape(TKind kind, double left, double top, double right, double bottom)
    {
        SyncPen();
        SyncBrush();
        TData::TCommand command = Command(kind);
        command.Rect = MapRect(left, top, right, bottom);
        data_.Commands.push_back(command);
        lineRun_ = npos;
    }

    void Bitmap(std::shared_ptr<const TBitmap> picture, double left, double top, double right, double bottom)
    {
        TData::TCommand command = Command(TKind::Bitmap);
        command.Rect = MapRect(left, top, right, bottom);
        command.Picture = std::move(picture);
        data_.Commands.push_back(command);
        lineRun_ = npos;
    }

private:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    TRectF MapRect(double left, double top, double right, double bottom) const
    {
        const TPointF a = Map(left, top);
        const TPointF b = Map(right, bottom);
        return {std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y)};
    }

    void SyncPen()
    {
        const double width = Pen.Width > 0 ? Pen.Width * std::fabs(Ax) : -1;
        if (penSent_ && sentPen_ == Pen && sentPenWidth_ == width)
            return;
        TData::TCommand command = Command(TKind::Pen);
        command.Colour = Pen.Colour;
        command.Width = width;
        command.Null = Pen.Null;
        data_.Commands.push_back(command);
        penSent_ = true;
        sentPen_ = Pen;
        sentPenWidth_ = width;
        lineRun_ = npos;
    }

    void SyncBrush()
    {
        if (brushSent_ && sentBrush_ == Brush)
            return;
        TData::TCommand command = Command(TKind::Brush);
        command.Colour = Brush.Colour;
        command.Null = Brush.Null;
        data_.Commands.push_back(command);
        brushSent_ = true;
        sentBrush_ = Brush;
        lineRun_ = npos;
    }

    TData data_;
    std::size_t lineRun_ = npos; // the polyline that LineTo may extend
    bool penSent_ = false;
    bool brushSent_ = false;
    TPen sentPen_;
    double sentPenWidth_ = 0;
    TBrush sentBrush_;
};

// A bitmap record's source rectangle (in DIB pixels) and destination (in
// logical units).
struct TBitmapRecord {
    std::uint32_t RasterOp = 0;
    std::int64_t XSrc = 0, YSrc = 0, WidthSrc = 0, HeightSrc = 0;
    double XDest = 0, YDest = 0, WidthDest = 0, HeightDest = 0;
};

// Adds the DIB of a bitmap record: info and pixels apart, or a packed DIB
// in info. Records other than SRCCOPY and bitmaps that cannot be decoded
// are left out.
void AddBitmap(TBuilder& builder, const TBitmapRecord& r, bytes::TBytes info, bytes::TBytes pixels, bool packed);

// Draws the list scaled into dest.
void Replay(const TData& data, TCanvas& canvas, const TRect& dest);

// The readers: each gives the list and the picture's size, or fails with
// "Invalid metafile: ..." for a header it cannot read.
std::shared_ptr<TData> ParseWmf(bytes::TBytes file, int& width, int& height);
bool IsEmf(bytes::TBytes file);
std::shared_ptr<TData> ParseEmf(bytes::TBytes file, int& width, int& height);

} // namespace metafile
} // namespace quorin
