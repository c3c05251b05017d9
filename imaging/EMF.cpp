// Enhanced metafiles: the size is the header's frame (in 0.01 mm) at 96
// pixels per inch; the frame, converted to the reference device's pixels,
// is mapped onto the picture, and records map logical to device units by
// the window and viewport (extents count in MM_ISOTROPIC and
// MM_ANISOTROPIC, as in GDI).

#include <algorithm>
#include <cmath>

#include "MetafileReplay.h"

namespace quorin::metafile {

namespace {

using bytes::Fits;
using bytes::I16;
using bytes::I32;
using bytes::TBytes;
using bytes::U16;
using bytes::U32;

constexpr std::uint32_t EmfSignature = 0x464D4520; // " EMF"

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

} // namespace

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

} // namespace quorin::metafile
