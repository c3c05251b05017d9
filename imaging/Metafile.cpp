// Windows metafiles (WMF, with or without the placeable header) and enhanced
// metafiles (EMF).
//
// DecodeStream parses the records once into an immutable display list whose
// coordinates are fractions of the picture (0..1 across its width and
// height), so Draw only scales them into the destination rectangle and
// replays them on the canvas. Copies made by Assign share that list.
//
// What is read:
// - WMF: the size comes from the placeable header's bounding box at its units
//   per inch, shown at 96 pixels per inch, or else from the first
//   SETWINDOWEXT. The window (origin and extent) is mapped onto the picture.
// - EMF: the size is the header's frame (in 0.01 mm) at 96 pixels per inch;
//   the frame, converted to the reference device's pixels, is mapped onto the
//   picture, and records map logical to device units by the window and
//   viewport (extents count in MM_ISOTROPIC and MM_ANISOTROPIC, as in GDI).
// - Pens (solid or null), brushes (solid or null; hatched and patterned ones
//   are drawn solid in their colour), lines, polylines, polygons (a
//   polypolygon as separate polygons), rectangles, ellipses, and DIB records
//   with SRCCOPY. Other records are skipped by their size.
// - Parsing ends at the end-of-file record, or silently at a record whose size
//   is too small, misaligned or runs past the end of the data: what came
//   before is kept. A bad header fails with "Invalid metafile: ...". A DIB
//   record whose bitmap cannot be decoded is skipped.

#include "Metafile.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <queue>
#include <string>
#include <vector>

#include "ByteReader.h"
#include "Canvas.h"
#include "DIB.h"
#include "StreamBytes.h"

namespace quorin {

namespace {

using bytes::Fits;
using bytes::I16;
using bytes::I32;
using bytes::TBytes;
using bytes::U16;
using bytes::U32;

std::unique_ptr<TGraphic> CreateMetafile() { return std::make_unique<TMetafile>(); }

[[noreturn]] void Fail(const std::string& detail) { throw EInvalidGraphic("Invalid metafile: " + detail); }

constexpr std::uint32_t PlaceableKey = 0x9AC6CDD7;
constexpr std::uint32_t EmfSignature = 0x464D4520; // " EMF"
constexpr std::uint32_t SrcCopy = 0x00CC0020;
constexpr double ScreenDpi = 96.0;
constexpr std::size_t MaxSavedStates = 1024;

std::uint32_t ColourRefToRgb(std::uint32_t c)
{
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

int ClampToInt(double v)
{
    if (!(v > -1e9)) // also NaN
        return -1000000000;
    if (v > 1e9)
        return 1000000000;
    return static_cast<int>(std::lround(v));
}

int SizeFromExtent(std::int64_t extent)
{
    return static_cast<int>(std::min<std::int64_t>(extent < 0 ? -extent : extent, INT32_MAX));
}

} // namespace

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

namespace {

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

using TData = TMetafile::TData;
using TKind = TData::TKind;

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

TObject OtherObject()
{
    TObject o;
    o.Type = TObject::TType::Other;
    return o;
}

TData::TCommand Command(TKind kind)
{
    TData::TCommand c;
    c.Kind = kind;
    return c;
}

TObject PenObject(std::uint32_t style, double width, std::uint32_t colourRef)
{
    TObject o;
    o.Type = TObject::TType::Pen;
    o.Pen = {ColourRefToRgb(colourRef), width < 0 ? -width : width, (style & 0x0F) == 5 /* PS_NULL */};
    return o;
}

TObject BrushObject(std::uint32_t style, std::uint32_t colourRef)
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

struct TBitmapRecord {
    std::uint32_t RasterOp = 0;
    std::int64_t XSrc = 0, YSrc = 0, WidthSrc = 0, HeightSrc = 0;
    double XDest = 0, YDest = 0, WidthDest = 0, HeightDest = 0;
};

void AddBitmap(TBuilder& builder, const TBitmapRecord& r, TBytes info, TBytes pixels, bool packed)
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

// ---- WMF -------------------------------------------------------------------

constexpr std::uint16_t META_EOF = 0x0000;
constexpr std::uint16_t META_SAVEDC = 0x001E;
constexpr std::uint16_t META_RESTOREDC = 0x0127;
constexpr std::uint16_t META_SETWINDOWORG = 0x020B;
constexpr std::uint16_t META_SETWINDOWEXT = 0x020C;
constexpr std::uint16_t META_LINETO = 0x0213;
constexpr std::uint16_t META_MOVETO = 0x0214;
constexpr std::uint16_t META_POLYGON = 0x0324;
constexpr std::uint16_t META_POLYLINE = 0x0325;
constexpr std::uint16_t META_ELLIPSE = 0x0418;
constexpr std::uint16_t META_RECTANGLE = 0x041B;
constexpr std::uint16_t META_POLYPOLYGON = 0x0538;
constexpr std::uint16_t META_SELECTOBJECT = 0x012D;
constexpr std::uint16_t META_DELETEOBJECT = 0x01F0;
constexpr std::uint16_t META_CREATEPENINDIRECT = 0x02FA;
constexpr std::uint16_t META_CREATEBRUSHINDIRECT = 0x02FC;
constexpr std::uint16_t META_CREATEPALETTE = 0x00F7;
constexpr std::uint16_t META_DIBCREATEPATTERNBRUSH = 0x0142;
constexpr std::uint16_t META_CREATEPATTERNBRUSH = 0x01F9;
constexpr std::uint16_t META_CREATEFONTINDIRECT = 0x02FB;
constexpr std::uint16_t META_CREATEREGION = 0x06FF;
constexpr std::uint16_t META_DIBBITBLT = 0x0940;
constexpr std::uint16_t META_DIBSTRETCHBLT = 0x0B41;
constexpr std::uint16_t META_STRETCHDIB = 0x0F43;

constexpr std::int64_t PlaceableSize = 22;
constexpr std::int64_t WmfHeaderSize = 18;
constexpr std::size_t MaxWmfObjects = 65535;

struct TWmfRecord {
    std::uint16_t Function;
    TBytes Params;
};

// Visits the records from at until the end-of-file record or the first
// record that does not fit; f returns false to stop.
template <class F>
void ForEachWmfRecord(TBytes file, std::int64_t at, F&& f)
{
    const std::int64_t size = static_cast<std::int64_t>(file.size());
    while (Fits(at, 6, size)) {
        const std::int64_t bytes = std::int64_t{U32(file.data() + at)} * 2;
        const std::uint16_t function = U16(file.data() + at + 4);
        if (bytes < 6 || !Fits(at, bytes, size) || function == META_EOF)
            return;
        if (!f(TWmfRecord{function, file.subspan(static_cast<std::size_t>(at + 6), static_cast<std::size_t>(bytes - 6))}))
            return;
        at += bytes;
    }
}

class TWmfParser {
public:
    TWmfParser(TBytes file, std::size_t objectCount) : file_(file)
    {
        objects_.resize(std::clamp<std::size_t>(objectCount, 1, MaxWmfObjects));
    }

    void SetWindow(double orgX, double orgY, double extX, double extY)
    {
        org_ = {orgX, orgY};
        ext_ = {extX, extY};
        UpdateMapping();
    }

    void Run(std::int64_t at)
    {
        ForEachWmfRecord(file_, at, [this](const TWmfRecord& r) {
            Record(r);
            return true;
        });
    }

    TData& Data() { return builder_.Data(); }

private:
    struct TState {
        TPointF Org, Ext;
        TPen Pen;
        TBrush Brush;
        TPointF Position;
    };

    void UpdateMapping()
    {
        builder_.MoveTo(builder_.Position.X, builder_.Position.Y); // a new mapping starts a new line
        builder_.Ax = 1.0 / ext_.X;
        builder_.Bx = -org_.X / ext_.X;
        builder_.Ay = 1.0 / ext_.Y;
        builder_.By = -org_.Y / ext_.Y;
    }

    void Create(const TObject& object)
    {
        // GDI puts a new object into the lowest free slot of the table.
        std::size_t slot = objects_.size();
        if (!freed_.empty()) {
            slot = freed_.top();
            freed_.pop();
        } else if (nextUnused_ < objects_.size()) {
            slot = nextUnused_++;
        } else if (objects_.size() < MaxWmfObjects) {
            objects_.emplace_back();
            slot = nextUnused_++;
        }
        if (slot < objects_.size())
            objects_[slot] = object;
    }

    void Select(std::size_t index)
    {
        if (index >= objects_.size())
            return;
        const TObject& o = objects_[index];
        if (o.Type == TObject::TType::Pen)
            builder_.Pen = o.Pen;
        else if (o.Type == TObject::TType::Brush)
            builder_.Brush = o.Brush;
    }

    void Delete(std::size_t index)
    {
        if (index >= objects_.size() || objects_[index].Type == TObject::TType::Free)
            return;
        objects_[index] = TObject{};
        freed_.push(index);
    }

    void Poly(TKind kind, TBytes points, std::size_t count)
    {
        builder_.Poly(kind, count, [&](std::size_t i) {
            return TPointF{double(I16(points.data() + i * 4)), double(I16(points.data() + i * 4 + 2))};
        });
    }

    void PolyPolygon(TBytes p)
    {
        if (!Fits(0, 2, p))
            return;
        const std::int64_t polygons = U16(p.data());
        std::int64_t pointsAt = 2 + polygons * 2;
        if (!Fits(0, pointsAt, p))
            return;
        for (std::int64_t i = 0; i < polygons; ++i) {
            const std::int64_t count = U16(p.data() + 2 + i * 2);
            if (!Fits(pointsAt, count * 4, p))
                return;
            Poly(TKind::Polygon, p.subspan(static_cast<std::size_t>(pointsAt)), static_cast<std::size_t>(count));
            pointsAt += count * 4;
        }
    }

    void Bitmap(std::uint16_t function, TBytes p)
    {
        TBitmapRecord r;
        std::int64_t dibAt = 0;
        auto s = [&](std::int64_t at) { return I16(p.data() + at); };
        if (function == META_STRETCHDIB && Fits(0, 22, p)) {
            r = {U32(p.data()), s(12), s(10), s(8), s(6), double(s(20)), double(s(18)), double(s(16)), double(s(14))};
            dibAt = 22;
        } else if (function == META_DIBSTRETCHBLT && Fits(0, 20, p)) {
            r = {U32(p.data()), s(10), s(8), s(6), s(4), double(s(18)), double(s(16)), double(s(14)), double(s(12))};
            dibAt = 20;
        } else if (function == META_DIBBITBLT && Fits(0, 16, p)) {
            r = {U32(p.data()), s(6), s(4), s(10), s(8), double(s(14)), double(s(12)), double(s(10)), double(s(8))};
            dibAt = 16;
        } else {
            return;
        }
        AddBitmap(builder_, r, p.subspan(static_cast<std::size_t>(dibAt)), {}, true);
    }

    void Record(const TWmfRecord& r)
    {
        const TBytes p = r.Params;
        const std::uint8_t* d = p.data();
        auto has = [&](std::int64_t n) { return Fits(0, n, p); };
        switch (r.Function) {
        case META_SETWINDOWORG:
            if (has(4))
                SetWindow(I16(d + 2), I16(d), ext_.X, ext_.Y);
            break;
        case META_SETWINDOWEXT:
            if (has(4) && I16(d) != 0 && I16(d + 2) != 0)
                SetWindow(org_.X, org_.Y, I16(d + 2), I16(d));
            break;
        case META_MOVETO:
            if (has(4))
                builder_.MoveTo(I16(d + 2), I16(d));
            break;
        case META_LINETO:
            if (has(4))
                builder_.LineTo(I16(d + 2), I16(d));
            break;
        case META_POLYLINE:
        case META_POLYGON:
            if (has(2) && has(2 + std::int64_t{U16(d)} * 4))
                Poly(r.Function == META_POLYGON ? TKind::Polygon : TKind::Polyline, p.subspan(2), U16(d));
            break;
        case META_POLYPOLYGON:
            PolyPolygon(p);
            break;
        case META_RECTANGLE:
        case META_ELLIPSE:
            if (has(8))
                builder_.Shape(r.Function == META_RECTANGLE ? TKind::Rectangle : TKind::Ellipse, I16(d + 6),
                               I16(d + 4), I16(d + 2), I16(d));
            break;
        case META_CREATEPENINDIRECT:
            Create(has(10) ? PenObject(U16(d), I16(d + 2), U32(d + 6)) : OtherObject());
            break;
        case META_CREATEBRUSHINDIRECT:
            Create(has(6) ? BrushObject(U16(d), U32(d + 2)) : OtherObject());
            break;
        case META_CREATEPALETTE:
        case META_DIBCREATEPATTERNBRUSH:
        case META_CREATEPATTERNBRUSH:
        case META_CREATEFONTINDIRECT:
        case META_CREATEREGION:
            Create(OtherObject()); // they take a slot too
            break;
        case META_SELECTOBJECT:
            if (has(2))
                Select(U16(d));
            break;
        case META_DELETEOBJECT:
            if (has(2))
                Delete(U16(d));
            break;
        case META_SAVEDC:
            if (saved_.size() < MaxSavedStates)
                saved_.push_back({org_, ext_, builder_.Pen, builder_.Brush, builder_.Position});
            break;
        case META_RESTOREDC:
            if (has(2))
                Restore(I16(d));
            break;
        case META_STRETCHDIB:
        case META_DIBSTRETCHBLT:
        case META_DIBBITBLT:
            Bitmap(r.Function, p);
            break;
        default:
            break;
        }
    }

    void Restore(std::int64_t which)
    {
        const std::optional<TState> state = PopSavedState(saved_, which);
        if (!state)
            return;
        builder_.Pen = state->Pen;
        builder_.Brush = state->Brush;
        builder_.Position = state->Position;
        SetWindow(state->Org.X, state->Org.Y, state->Ext.X, state->Ext.Y);
    }

    TBytes file_;
    TBuilder builder_;
    TPointF org_;
    TPointF ext_{1, 1};
    std::vector<TObject> objects_;
    std::size_t nextUnused_ = 0;
    std::priority_queue<std::size_t, std::vector<std::size_t>, std::greater<>> freed_;
    std::vector<TState> saved_;
};

std::shared_ptr<TData> ParseWmf(TBytes file, int& width, int& height)
{
    std::int64_t at = 0;
    bool placeable = false;
    TRectF box;
    if (Fits(0, 4, file) && U32(file.data()) == PlaceableKey) {
        if (!Fits(0, PlaceableSize, file))
            Fail("placeable header truncated");
        const std::uint8_t* p = file.data();
        box = {double(I16(p + 6)), double(I16(p + 8)), double(I16(p + 10)), double(I16(p + 12))};
        const std::int64_t inch = U16(p + 14);
        if (inch == 0)
            Fail("placeable header gives 0 units per inch");
        const auto toPixels = [inch](double units) {
            return SizeFromExtent(std::llround(std::fabs(units) * ScreenDpi / double(inch)));
        };
        width = toPixels(box.Right - box.Left);
        height = toPixels(box.Bottom - box.Top);
        placeable = true;
        at = PlaceableSize;
    }
    if (!Fits(at, WmfHeaderSize, file))
        Fail("header truncated");
    const std::uint8_t* h = file.data() + at;
    const std::uint16_t type = U16(h);
    const std::uint16_t headerWords = U16(h + 2);
    if ((type != 1 && type != 2) || headerWords != 9)
        Fail("unknown header");
    const std::uint16_t objectCount = U16(h + 10);
    at += WmfHeaderSize;

    TWmfParser parser(file, objectCount);
    if (placeable) {
        const double w = box.Right - box.Left;
        const double hgt = box.Bottom - box.Top;
        parser.SetWindow(box.Left, box.Top, w != 0 ? w : 1, hgt != 0 ? hgt : 1);
    } else {
        // Without a placeable header the first window extent is the size.
        bool found = false;
        ForEachWmfRecord(file, at, [&](const TWmfRecord& r) {
            if (r.Function == META_SETWINDOWEXT && Fits(0, 4, r.Params) && I16(r.Params.data()) != 0 &&
                I16(r.Params.data() + 2) != 0) {
                width = SizeFromExtent(I16(r.Params.data() + 2));
                height = SizeFromExtent(I16(r.Params.data()));
                parser.SetWindow(0, 0, I16(r.Params.data() + 2), I16(r.Params.data()));
                found = true;
            }
            return !found;
        });
        if (!found)
            Fail("no picture size (neither a placeable header nor a window extent)");
    }
    parser.Run(at);
    return std::make_shared<TData>(std::move(parser.Data()));
}

// ---- EMF -------------------------------------------------------------------

constexpr std::uint32_t EMR_HEADER = 1;
constexpr std::uint32_t EMR_POLYGON = 3;
constexpr std::uint32_t EMR_POLYLINE = 4;
constexpr std::uint32_t EMR_POLYPOLYGON = 8;
constexpr std::uint32_t EMR_SETWINDOWEXTEX = 9;
constexpr std::uint32_t EMR_SETWINDOWORGEX = 10;
constexpr std::uint32_t EMR_SETVIEWPORTEXTEX = 11;
constexpr std::uint32_t EMR_SETVIEWPORTORGEX = 12;
constexpr std::uint32_t EMR_EOF = 14;
constexpr std::uint32_t EMR_SETMAPMODE = 17;
constexpr std::uint32_t EMR_MOVETOEX = 27;
constexpr std::uint32_t EMR_SAVEDC = 33;
constexpr std::uint32_t EMR_RESTOREDC = 34;
constexpr std::uint32_t EMR_SELECTOBJECT = 37;
constexpr std::uint32_t EMR_CREATEPEN = 38;
constexpr std::uint32_t EMR_CREATEBRUSHINDIRECT = 39;
constexpr std::uint32_t EMR_DELETEOBJECT = 40;
constexpr std::uint32_t EMR_ELLIPSE = 42;
constexpr std::uint32_t EMR_RECTANGLE = 43;
constexpr std::uint32_t EMR_CREATEPALETTE = 49;
constexpr std::uint32_t EMR_LINETO = 54;
constexpr std::uint32_t EMR_STRETCHDIBITS = 81;
constexpr std::uint32_t EMR_EXTCREATEFONTINDIRECTW = 82;
constexpr std::uint32_t EMR_POLYGON16 = 86;
constexpr std::uint32_t EMR_POLYLINE16 = 87;
constexpr std::uint32_t EMR_POLYPOLYGON16 = 91;
constexpr std::uint32_t EMR_CREATEMONOBRUSH = 93;
constexpr std::uint32_t EMR_CREATEDIBPATTERNBRUSHPT = 94;
constexpr std::uint32_t EMR_EXTCREATEPEN = 95;

constexpr std::int64_t EmfHeaderMinSize = 88;
constexpr std::uint32_t StockObject = 0x80000000;
constexpr std::int32_t MM_TEXT = 1;
constexpr std::int32_t MM_ISOTROPIC = 7;
constexpr std::int32_t MM_ANISOTROPIC = 8;

class TEmfParser {
public:
    TEmfParser(TBytes file, TRectF frame, std::size_t handles) : file_(file), frame_(frame)
    {
        objects_.resize(std::max<std::size_t>(handles, 1));
        UpdateMapping();
    }

    void Run()
    {
        const std::int64_t size = static_cast<std::int64_t>(file_.size());
        std::int64_t at = 0;
        while (Fits(at, 8, size)) {
            const std::uint32_t type = U32(file_.data() + at);
            const std::int64_t bytes = U32(file_.data() + at + 4);
            if (bytes < 8 || bytes % 4 != 0 || !Fits(at, bytes, size) || type == EMR_EOF)
                return;
            Record(type, file_.subspan(static_cast<std::size_t>(at), static_cast<std::size_t>(bytes)));
            at += bytes;
        }
    }

    TData& Data() { return builder_.Data(); }

private:
    struct TMapping {
        std::int32_t Mode = MM_TEXT;
        TPointF WindowOrg, WindowExt{1, 1}, ViewportOrg, ViewportExt{1, 1};
    };
    struct TState {
        TMapping Mapping;
        TPen Pen;
        TBrush Brush;
        TPointF Position;
    };

    void UpdateMapping()
    {
        double sx = 1;
        double sy = 1;
        const TMapping& m = mapping_;
        if (m.Mode == MM_ISOTROPIC || m.Mode == MM_ANISOTROPIC) {
            sx = m.ViewportExt.X / m.WindowExt.X;
            sy = m.ViewportExt.Y / m.WindowExt.Y;
            if (m.Mode == MM_ISOTROPIC) { // one scale for both axes, signs kept
                const double s = std::min(std::fabs(sx), std::fabs(sy));
                sx = std::copysign(s, sx);
                sy = std::copysign(s, sy);
            }
        }
        // device = (logical - window origin) * s + viewport origin;
        // fraction = (device - frame origin) / frame size.
        builder_.MoveTo(builder_.Position.X, builder_.Position.Y); // a new mapping starts a new line
        const double fw = frame_.Right - frame_.Left;
        const double fh = frame_.Bottom - frame_.Top;
        builder_.Ax = sx / fw;
        builder_.Bx = (m.ViewportOrg.X - m.WindowOrg.X * sx - frame_.Left) / fw;
        builder_.Ay = sy / fh;
        builder_.By = (m.ViewportOrg.Y - m.WindowOrg.Y * sy - frame_.Top) / fh;
    }

    static TObject Stock(std::uint32_t index)
    {
        switch (index & ~StockObject) {
        case 0: case 18: return BrushObject(0, 0xFFFFFF); // WHITE_BRUSH, DC_BRUSH
        case 1: return BrushObject(0, 0xC0C0C0);
        case 2: return BrushObject(0, 0x808080);
        case 3: return BrushObject(0, 0x404040);
        case 4: return BrushObject(0, 0x000000);
        case 5: return BrushObject(1, 0);                 // NULL_BRUSH
        case 6: return PenObject(0, 0, 0xFFFFFF);         // WHITE_PEN
        case 7: case 19: return PenObject(0, 0, 0);       // BLACK_PEN, DC_PEN
        case 8: return PenObject(5, 0, 0);                // NULL_PEN
        default: return OtherObject();
        }
    }

    void Put(TBytes r, const TObject& object)
    {
        const std::uint32_t index = U32(r.data() + 8);
        if (index > 0 && index < objects_.size()) // 0 is the metafile itself
            objects_[index] = object;
    }

    void Select(std::uint32_t index)
    {
        const TObject o = (index & StockObject) ? Stock(index) : index < objects_.size() ? objects_[index] : TObject{};
        if (o.Type == TObject::TType::Pen)
            builder_.Pen = o.Pen;
        else if (o.Type == TObject::TType::Brush)
            builder_.Brush = o.Brush;
    }

    // count points of pointSize bytes (POINTL or POINTS) at at.
    void Poly(TKind kind, TBytes r, std::int64_t at, std::int64_t count, int pointSize)
    {
        if (!Fits(at, count * pointSize, r))
            return;
        const std::uint8_t* p = r.data() + at;
        builder_.Poly(kind, static_cast<std::size_t>(count), [&](std::size_t i) {
            if (pointSize == 8)
                return TPointF{double(I32(p + i * 8)), double(I32(p + i * 8 + 4))};
            return TPointF{double(I16(p + i * 4)), double(I16(p + i * 4 + 2))};
        });
    }

    void PolyPolygon(TBytes r, int pointSize)
    {
        if (!Fits(0, 32, r))
            return;
        const std::int64_t polygons = U32(r.data() + 24);
        const std::int64_t total = U32(r.data() + 28);
        std::int64_t pointsAt = 32 + polygons * 4;
        if (!Fits(32, polygons * 4, r) || !Fits(pointsAt, total * pointSize, r))
            return;
        std::int64_t used = 0;
        for (std::int64_t i = 0; i < polygons; ++i) {
            const std::int64_t count = U32(r.data() + 32 + i * 4);
            if (count > total - used)
                return;
            Poly(TKind::Polygon, r, pointsAt, count, pointSize);
            pointsAt += count * pointSize;
            used += count;
        }
    }

    void StretchDibits(TBytes r)
    {
        if (!Fits(0, 80, r))
            return;
        const std::uint8_t* d = r.data();
        const TBitmapRecord b{U32(d + 68), I32(d + 32), I32(d + 36), I32(d + 40), I32(d + 44),
                              double(I32(d + 24)), double(I32(d + 28)), double(I32(d + 72)), double(I32(d + 76))};
        const std::int64_t offInfo = U32(d + 48), infoSize = U32(d + 52);
        const std::int64_t offBits = U32(d + 56), bitsSize = U32(d + 60);
        if (!Fits(offInfo, infoSize, r) || !Fits(offBits, bitsSize, r))
            return;
        AddBitmap(builder_, b, r.subspan(static_cast<std::size_t>(offInfo), static_cast<std::size_t>(infoSize)),
                  r.subspan(static_cast<std::size_t>(offBits), static_cast<std::size_t>(bitsSize)), false);
    }

    void Restore(std::int64_t which)
    {
        const std::optional<TState> state = PopSavedState(saved_, which);
        if (!state)
            return;
        mapping_ = state->Mapping;
        builder_.Pen = state->Pen;
        builder_.Brush = state->Brush;
        builder_.Position = state->Position;
        UpdateMapping();
    }

    void Record(std::uint32_t type, TBytes r)
    {
        const std::uint8_t* d = r.data();
        auto has = [&](std::int64_t n) { return Fits(0, n, r); };
        auto x = [&](std::int64_t at) { return double(I32(d + at)); };
        switch (type) {
        case EMR_SETMAPMODE:
            if (has(12)) {
                mapping_.Mode = I32(d + 8);
                UpdateMapping();
            }
            break;
        case EMR_SETWINDOWEXTEX:
        case EMR_SETVIEWPORTEXTEX:
            if (has(16) && I32(d + 8) != 0 && I32(d + 12) != 0) { // GDI refuses a zero extent
                (type == EMR_SETWINDOWEXTEX ? mapping_.WindowExt : mapping_.ViewportExt) = {x(8), x(12)};
                UpdateMapping();
            }
            break;
        case EMR_SETWINDOWORGEX:
        case EMR_SETVIEWPORTORGEX:
            if (has(16)) {
                (type == EMR_SETWINDOWORGEX ? mapping_.WindowOrg : mapping_.ViewportOrg) = {x(8), x(12)};
                UpdateMapping();
            }
            break;
        case EMR_MOVETOEX:
            if (has(16))
                builder_.MoveTo(x(8), x(12));
            break;
        case EMR_LINETO:
            if (has(16))
                builder_.LineTo(x(8), x(12));
            break;
        case EMR_POLYLINE:
        case EMR_POLYGON:
        case EMR_POLYLINE16:
        case EMR_POLYGON16:
            if (has(28))
                Poly(type == EMR_POLYLINE || type == EMR_POLYLINE16 ? TKind::Polyline : TKind::Polygon, r, 28,
                     U32(d + 24), type == EMR_POLYLINE || type == EMR_POLYGON ? 8 : 4);
            break;
        case EMR_POLYPOLYGON:
        case EMR_POLYPOLYGON16:
            PolyPolygon(r, type == EMR_POLYPOLYGON ? 8 : 4);
            break;
        case EMR_RECTANGLE:
        case EMR_ELLIPSE:
            if (has(24))
                builder_.Shape(type == EMR_RECTANGLE ? TKind::Rectangle : TKind::Ellipse, x(8), x(12), x(16), x(20));
            break;
        case EMR_CREATEPEN:
            if (has(28))
                Put(r, PenObject(U32(d + 12), x(16), U32(d + 24)));
            break;
        case EMR_EXTCREATEPEN:
            if (has(44)) // a cosmetic pen (type bits 0) is one pixel wide whatever it says
                Put(r, PenObject(U32(d + 28), (U32(d + 28) & 0x000F0000) ? double(U32(d + 32)) : 0.0, U32(d + 40)));
            break;
        case EMR_CREATEBRUSHINDIRECT:
            if (has(24))
                Put(r, BrushObject(U32(d + 12), U32(d + 16)));
            break;
        case EMR_CREATEPALETTE:
        case EMR_EXTCREATEFONTINDIRECTW:
        case EMR_CREATEMONOBRUSH:
        case EMR_CREATEDIBPATTERNBRUSHPT:
            if (has(12))
                Put(r, OtherObject());
            break;
        case EMR_SELECTOBJECT:
            if (has(12))
                Select(U32(d + 8));
            break;
        case EMR_DELETEOBJECT:
            if (has(12) && !(U32(d + 8) & StockObject))
                Put(r, TObject{});
            break;
        case EMR_SAVEDC:
            if (saved_.size() < MaxSavedStates)
                saved_.push_back({mapping_, builder_.Pen, builder_.Brush, builder_.Position});
            break;
        case EMR_RESTOREDC:
            if (has(12))
                Restore(I32(d + 8));
            break;
        case EMR_STRETCHDIBITS:
            StretchDibits(r);
            break;
        default:
            break;
        }
    }

    TBytes file_;
    TRectF frame_;
    TBuilder builder_;
    TMapping mapping_;
    std::vector<TObject> objects_;
    std::vector<TState> saved_;
};

bool IsEmf(TBytes file)
{
    return Fits(0, 44, file) && U32(file.data()) == EMR_HEADER && U32(file.data() + 40) == EmfSignature;
}

std::shared_ptr<TData> ParseEmf(TBytes file, int& width, int& height)
{
    const std::uint8_t* h = file.data();
    const std::int64_t headerSize = U32(h + 4);
    if (headerSize < EmfHeaderMinSize || headerSize % 4 != 0 || !Fits(0, headerSize, file))
        Fail("EMF header record of " + std::to_string(headerSize) + " bytes");
    auto x = [h](std::int64_t at) { return double(I32(h + at)); };
    const TRectF bounds{x(8), x(12), x(16), x(20)};
    const TRectF frame{x(24), x(28), x(32), x(36)};
    const std::int64_t handles = U16(h + 56);
    const double deviceX = I32(h + 72), deviceY = I32(h + 76);
    const double mmX = I32(h + 80), mmY = I32(h + 84);

    // The size: the frame (0.01 mm) at 96 pixels per inch, else the bounds.
    const double frameW = frame.Right - frame.Left;
    const double frameH = frame.Bottom - frame.Top;
    const bool frameValid = frameW > 0 && frameH > 0;
    if (frameValid) {
        width = SizeFromExtent(std::llround(frameW * ScreenDpi / 2540.0));
        height = SizeFromExtent(std::llround(frameH * ScreenDpi / 2540.0));
    } else {
        width = SizeFromExtent(std::llround(std::fabs(bounds.Right - bounds.Left) + 1));
        height = SizeFromExtent(std::llround(std::fabs(bounds.Bottom - bounds.Top) + 1));
    }

    // What the picture shows, in the reference device's pixels.
    TRectF shown{bounds.Left, bounds.Top, bounds.Right + 1, bounds.Bottom + 1};
    if (frameValid && deviceX > 0 && deviceY > 0 && mmX > 0 && mmY > 0) {
        const double kx = deviceX / (mmX * 100.0);
        const double ky = deviceY / (mmY * 100.0);
        shown = {frame.Left * kx, frame.Top * ky, frame.Right * kx, frame.Bottom * ky};
    }
    if (!(shown.Right - shown.Left > 0) || !(shown.Bottom - shown.Top > 0))
        shown = {0, 0, 1, 1};

    TEmfParser parser(file, shown, static_cast<std::size_t>(handles));
    parser.Run();
    return std::make_shared<TData>(std::move(parser.Data()));
}

} // namespace

// ---- TMetafile ---------------------------------------------------------------

const TGraphicClass TMetafile::ClassRecord{"TMetafile", &CreateMetafile, &TGraphic::ClassRecord};

TMetafile::TMetafile() = default;
TMetafile::~TMetafile() = default;

int TMetafile::Width() const { return width_; }
int TMetafile::Height() const { return height_; }

void TMetafile::SetWidth(int width)
{
    width_ = std::max(0, width);
    Changed();
}

void TMetafile::SetHeight(int height)
{
    height_ = std::max(0, height);
    Changed();
}

void TMetafile::Draw(TCanvas& canvas, const TRect& dest) const
{
    if (!data_)
        return;
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
    for (const TData::TCommand& c : data_->Commands) {
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
                points.push_back(map(data_->Points[c.First + i]));
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

void TMetafile::DecodeStream(TStream& stream)
{
    TStreamBytes input(stream);
    if (!input.Complete())
        Fail("file too large");
    DecodeMetafile(input.Bytes());
}

void TMetafile::DecodeMetafile(std::span<const std::uint8_t> file)
{
    int width = 0;
    int height = 0;
    std::shared_ptr<TData> data = IsEmf(file) ? ParseEmf(file, width, height) : ParseWmf(file, width, height);
    data_ = std::move(data);
    width_ = width;
    height_ = height;
    Changed();
}

void TMetafile::Assign(const TGraphic& source)
{
    const auto* other = dynamic_cast<const TMetafile*>(&source);
    if (!other)
        throw EInvalidGraphic("Cannot assign a " + std::string(source.ClassType().Name) + " to a TMetafile");
    if (other == this)
        return;
    data_ = other->data_;
    width_ = other->width_;
    height_ = other->height_;
    SetTransparent(other->Transparent());
    Changed();
}

} // namespace quorin
