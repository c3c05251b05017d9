// Windows metafiles, with or without the placeable header: the size comes
// from the placeable header's bounding box at its units per inch, shown at
// 96 pixels per inch, or else from the first SETWINDOWEXT. The window
// (origin and extent) is mapped onto the picture.

#include <algorithm>
#include <cmath>
#include <queue>

#include "MetafileReplay.h"

namespace quorin::metafile {

namespace {

using bytes::Fits;
using bytes::I16;
using bytes::I32;
using bytes::TBytes;
using bytes::U16;
using bytes::U32;

constexpr std::uint32_t PlaceableKey = 0x9AC6CDD7;

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

} // namespace

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

} // namespace quorin::metafile
