// WMF and EMF: files built record by record here, replayed on a canvas that
// records every call, so the tests see exactly what is drawn and where.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <sstream>

#include "FormatFixtures.h"
#include "imaging/Canvas.h"
#include "imaging/Metafile.h"

namespace quorin::test {
namespace {

// ---- the recording canvas ---------------------------------------------------------

std::string Number(double v)
{
    double r = std::round(v * 1000) / 1000;
    if (r == 0)
        r = 0; // no "-0"
    std::ostringstream out;
    out << r;
    return out.str();
}

std::string Hex(std::uint32_t rgb)
{
    char text[8];
    std::snprintf(text, sizeof text, "%06x", rgb);
    return text;
}

class TRecordingCanvas : public TCanvas {
public:
    std::vector<std::string> Calls;
    std::vector<std::vector<std::uint32_t>> Pictures; // the colours of each drawn bitmap

    void StretchDraw(const TRect& dest, const TBitmap& bitmap, std::optional<std::uint32_t> key) override
    {
        Calls.push_back("StretchDraw " + std::to_string(dest.Left) + " " + std::to_string(dest.Top) + " " +
                        std::to_string(dest.Right) + " " + std::to_string(dest.Bottom) + " " +
                        std::to_string(bitmap.Width()) + "x" + std::to_string(bitmap.Height()) +
                        (key ? " key" : ""));
        Pictures.push_back(Colours(bitmap));
    }
    void SetPen(std::uint32_t rgb, double width, TPenStyle style) override
    {
        Calls.push_back("Pen " + Hex(rgb) + " " + Number(width) + (style == TPenStyle::Null ? " Null" : " Solid"));
    }
    void SetBrush(std::uint32_t rgb, TBrushStyle style) override
    {
        Calls.push_back("Brush " + Hex(rgb) + (style == TBrushStyle::Null ? " Null" : " Solid"));
    }
    void Polyline(std::span<const TPointF> points) override { Calls.push_back("Polyline" + Points(points)); }
    void Polygon(std::span<const TPointF> points) override { Calls.push_back("Polygon" + Points(points)); }
    void Rectangle(const TRectF& r) override { Calls.push_back("Rectangle" + Rect(r)); }
    void Ellipse(const TRectF& r) override { Calls.push_back("Ellipse" + Rect(r)); }

private:
    static std::string Points(std::span<const TPointF> points)
    {
        std::string text;
        for (const TPointF& p : points)
            text += " " + Number(p.X) + "," + Number(p.Y);
        return text;
    }
    static std::string Rect(const TRectF& r)
    {
        return " " + Number(r.Left) + " " + Number(r.Top) + " " + Number(r.Right) + " " + Number(r.Bottom);
    }
};

std::vector<std::string> Replay(const TMetafile& metafile, const TRect& dest)
{
    TRecordingCanvas canvas;
    metafile.Draw(canvas, dest);
    return canvas.Calls;
}

using TCalls = std::vector<std::string>;

// ---- building files -----------------------------------------------------------------

// A 2 x 2 24-bit packed DIB, bottom-up: bottom row blue, white; top row red, green.
std::vector<std::uint8_t> PackedDib()
{
    TBytes f;
    f.U32(40).I32(2).I32(2).U16(1).U16(24).U32(0).U32(16).I32(0).I32(0).U32(0).U32(0);
    f.Raw({255, 0, 0, 255, 255, 255, 0, 0, /**/ 0, 0, 255, 0, 255, 0, 0, 0});
    return f.Data;
}
const std::vector<std::uint32_t> DibColours{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

struct TWmf {
    TBytes Records;

    TWmf& Rec(std::uint16_t function, std::initializer_list<int> words)
    {
        Records.U32(static_cast<std::uint32_t>(3 + words.size())).U16(function);
        for (int w : words)
            Records.I16(w);
        return *this;
    }
    TWmf& RecBytes(std::uint16_t function, const std::vector<std::uint8_t>& params)
    {
        Records.U32(static_cast<std::uint32_t>(3 + (params.size() + 1) / 2)).U16(function).Append(params);
        if (params.size() % 2)
            Records.U8(0);
        return *this;
    }
    TWmf& WindowOrg(int x, int y) { return Rec(0x020B, {y, x}); }
    TWmf& WindowExt(int x, int y) { return Rec(0x020C, {y, x}); }
    // style, width, COLORREF (0x00BBGGRR)
    TWmf& Pen(int style, int width, std::uint32_t colourRef)
    {
        return Rec(0x02FA, {style, width, 0, int(colourRef & 0xFFFF), int(colourRef >> 16)});
    }
    TWmf& Brush(int style, std::uint32_t colourRef) { return Rec(0x02FC, {style, int(colourRef & 0xFFFF), int(colourRef >> 16), 0}); }
    TWmf& Font() { return Rec(0x02FB, {12, 0, 0, 0, 400, 0, 0, 0, 0}); }
    TWmf& Select(int index) { return Rec(0x012D, {index}); }
    TWmf& Delete(int index) { return Rec(0x01F0, {index}); }
    TWmf& Rectangle(int l, int t, int r, int b) { return Rec(0x041B, {b, r, t, l}); }
    TWmf& Ellipse(int l, int t, int r, int b) { return Rec(0x0418, {b, r, t, l}); }
    TWmf& MoveTo(int x, int y) { return Rec(0x0214, {y, x}); }
    TWmf& LineTo(int x, int y) { return Rec(0x0213, {y, x}); }
    TWmf& Poly(std::uint16_t function, std::initializer_list<int> xy)
    {
        Records.U32(static_cast<std::uint32_t>(3 + 1 + xy.size())).U16(function).U16(static_cast<std::uint32_t>(xy.size() / 2));
        for (int v : xy)
            Records.I16(v);
        return *this;
    }
    TWmf& Eof() { return Rec(0x0000, {}); }

    std::vector<std::uint8_t> File(std::optional<std::array<int, 5>> placeable = std::nullopt, int objects = 8) const
    {
        TBytes f;
        if (placeable) {
            const auto& p = *placeable; // left, top, right, bottom, units per inch
            f.U32(0x9AC6CDD7).U16(0).I16(p[0]).I16(p[1]).I16(p[2]).I16(p[3]).U16(p[4]).U32(0).U16(0);
        }
        const std::uint32_t words = static_cast<std::uint32_t>((18 + Records.Size()) / 2 + 3);
        f.U16(1).U16(9).U16(0x0300).U32(words).U16(objects).U32(16).U16(0);
        f.Append(Records.Data);
        f.U32(3).U16(0); // end of file
        return f.Data;
    }
};

std::unique_ptr<TMetafile> DecodeMetafile(const std::vector<std::uint8_t>& file)
{
    auto metafile = std::make_unique<TMetafile>();
    Decode(*metafile, file);
    return metafile;
}

TEST(Metafile, ClassRecord)
{
    EXPECT_EQ(TMetafile::ClassRecord.Name, "TMetafile");
    EXPECT_EQ(TMetafile::ClassRecord.Base, &TGraphic::ClassRecord);
    auto made = TMetafile::ClassRecord.Create();
    EXPECT_EQ(&made->ClassType(), &TMetafile::ClassRecord);
    EXPECT_EQ(made->Width(), 0);
    TRecordingCanvas canvas;
    made->Draw(canvas, {0, 0, 10, 10});
    EXPECT_TRUE(canvas.Calls.empty());
}

// ---- WMF ------------------------------------------------------------------------------

// 1440 units per inch over a 1440 x 720 box: 96 x 48 pixels.
std::vector<std::uint8_t> PlaceableShapes()
{
    TWmf w;
    w.Pen(0, 0, 0x0000FF).Brush(0, 0x00FF00).Select(0).Select(1);
    w.Rectangle(0, 0, 720, 360).Ellipse(720, 360, 1440, 720);
    w.Rec(0x0201, {0x1234, 0x56}); // SETBKCOLOR: not drawn, skipped by its size
    w.MoveTo(0, 720).LineTo(1440, 0).LineTo(1440, 720);
    w.Pen(5, 0, 0).Select(2).Poly(0x0324, {0, 0, 720, 0, 0, 720});            // null pen, polygon
    w.Pen(0, 30, 0xFF0000).Select(3).Poly(0x0325, {0, 0, 1440, 720});          // 30 units wide, blue
    w.Delete(1).Brush(1, 0).Select(1);                                          // a null brush in the freed slot
    w.Records.U32(3 + 1 + 2 + 12).U16(0x0538).U16(2).U16(3).U16(3);            // POLYPOLYGON of two triangles
    for (int v : {0, 0, 144, 0, 0, 72, 1440, 720, 1296, 720, 1440, 648})
        w.Records.I16(v);
    std::vector<std::uint8_t> stretch;
    TBytes p;
    p.U32(0x00CC0020).U16(0).I16(2).I16(2).I16(0).I16(0).I16(720).I16(1440).I16(0).I16(0).Append(PackedDib());
    w.RecBytes(0x0F43, p.Data);
    w.Eof().Rectangle(1, 1, 2, 2); // after the end: never read
    return w.File(std::array<int, 5>{0, 0, 1440, 720, 1440});
}

TEST(Metafile, PlaceableWmfSizeAndReplay)
{
    const auto metafile = DecodeMetafile(PlaceableShapes());
    EXPECT_EQ(metafile->Width(), 96);
    EXPECT_EQ(metafile->Height(), 48);
    TRecordingCanvas canvas;
    metafile->Draw(canvas, {0, 0, 96, 48});
    EXPECT_EQ(canvas.Calls, (TCalls{
                                "Pen ff0000 1 Solid", "Brush 00ff00 Solid", "Rectangle 0 0 48 24", "Ellipse 48 24 96 48",
                                "Polyline 0,48 96,0 96,48", "Pen 000000 1 Null", "Polygon 0,0 48,0 0,48",
                                "Pen 0000ff 2 Solid", "Polyline 0,0 96,48", "Brush 000000 Null",
                                "Polygon 0,0 9.6,0 0,4.8", "Polygon 96,48 86.4,48 96,43.2", "StretchDraw 0 0 96 48 2x2",
                            }));
    ASSERT_EQ(canvas.Pictures.size(), 1u);
    EXPECT_EQ(canvas.Pictures[0], DibColours);
}

TEST(Metafile, DrawScalesIntoTheDestination)
{
    const auto metafile = DecodeMetafile(PlaceableShapes());
    const TCalls calls = Replay(*metafile, {10, 20, 10 + 192, 20 + 96});
    ASSERT_GE(calls.size(), 13u);
    EXPECT_EQ(calls[2], "Rectangle 10 20 106 68");
    EXPECT_EQ(calls[4], "Polyline 10,116 202,20 202,116");
    EXPECT_EQ(calls[7], "Pen 0000ff 4 Solid"); // geometric pens scale, cosmetic ones stay 1
    EXPECT_EQ(calls[0], "Pen ff0000 1 Solid");
    EXPECT_EQ(calls[12], "StretchDraw 10 20 202 116 2x2");
}

TEST(Metafile, WindowWithoutPlaceableHeader)
{
    TWmf w;
    w.WindowOrg(100, 50).WindowExt(200, 100).Rectangle(100, 50, 300, 150);
    w.WindowOrg(0, 0).Rectangle(0, 0, 100, 50); // a new origin moves what follows
    w.WindowExt(400, 200).Ellipse(0, 0, 100, 50);
    const auto metafile = DecodeMetafile(w.File());
    EXPECT_EQ(metafile->Width(), 200);
    EXPECT_EQ(metafile->Height(), 100);
    EXPECT_EQ(Replay(*metafile, {0, 0, 200, 100}),
              (TCalls{"Pen 000000 1 Solid", "Brush ffffff Solid", "Rectangle 0 0 200 100", "Rectangle 0 0 100 50",
                      "Ellipse 0 0 50 25"}));
}

TEST(Metafile, NegativeWindowExtentFlips)
{
    TWmf w;
    w.WindowOrg(0, 100).WindowExt(200, -100).Rectangle(0, 0, 100, 50).MoveTo(0, 0).LineTo(200, 100);
    const auto metafile = DecodeMetafile(w.File());
    EXPECT_EQ(metafile->Width(), 200);
    EXPECT_EQ(metafile->Height(), 100);
    EXPECT_EQ(Replay(*metafile, {0, 0, 200, 100}),
              (TCalls{"Pen 000000 1 Solid", "Brush ffffff Solid", "Rectangle 0 50 100 100", "Polyline 0,100 200,0"}));
}

TEST(Metafile, ObjectsTakeTheLowestFreeSlot)
{
    TWmf w;
    w.WindowExt(10, 10);
    w.Pen(0, 0, 0x0000FF).Font().Brush(0, 0xFF0000); // slots 0, 1, 2
    w.Select(1).Select(2).Rectangle(0, 0, 1, 1);     // a font changes neither pen nor brush
    w.Delete(0).Pen(0, 0, 0x00FF00);                  // the new pen takes slot 0 again
    w.Select(0).Select(7).Rectangle(0, 0, 1, 1);      // slot 7 is empty
    w.Delete(0).Select(0).Rectangle(0, 0, 1, 1);      // deleting keeps the selection
    EXPECT_EQ(Replay(*DecodeMetafile(w.File(std::nullopt, 3)), {0, 0, 10, 10}),
              (TCalls{"Pen 000000 1 Solid", "Brush 0000ff Solid", "Rectangle 0 0 1 1", "Pen 00ff00 1 Solid",
                      "Rectangle 0 0 1 1", "Rectangle 0 0 1 1"}));
}

TEST(Metafile, SaveAndRestoreState)
{
    TWmf w;
    w.WindowExt(10, 10).Pen(0, 0, 0x0000FF);
    w.Rec(0x001E, {}).Select(0).WindowOrg(5, 5).Rectangle(5, 5, 6, 6); // SAVEDC
    w.Rec(0x0127, {-1}).Rectangle(5, 5, 6, 6);                         // RESTOREDC
    EXPECT_EQ(Replay(*DecodeMetafile(w.File()), {0, 0, 10, 10}),
              (TCalls{"Pen ff0000 1 Solid", "Brush ffffff Solid", "Rectangle 0 0 1 1", "Pen 000000 1 Solid",
                      "Rectangle 5 5 6 6"}));
}

TEST(Metafile, BitmapRecordsCropAndSkip)
{
    TWmf w;
    w.WindowExt(100, 100);
    // DIBSTRETCHBLT of the bottom-right pixel (source origin bottom-left).
    TBytes crop;
    crop.U32(0x00CC0020).I16(1).I16(1).I16(0).I16(1).I16(50).I16(50).I16(10).I16(20).Append(PackedDib());
    w.RecBytes(0x0B41, crop.Data);
    // DIBBITBLT of the whole picture.
    TBytes whole;
    whole.U32(0x00CC0020).I16(0).I16(0).I16(2).I16(2).I16(0).I16(0).Append(PackedDib());
    w.RecBytes(0x0940, whole.Data);
    // SRCAND is not replayed; a broken DIB costs only its record.
    TBytes other;
    other.U32(0x008800C6).I16(1).I16(1).I16(0).I16(0).I16(5).I16(5).I16(0).I16(0).Append(PackedDib());
    w.RecBytes(0x0B41, other.Data);
    TBytes broken;
    broken.U32(0x00CC0020).I16(2).I16(2).I16(0).I16(0).I16(5).I16(5).I16(0).I16(0).U32(99);
    w.RecBytes(0x0B41, broken.Data);
    w.Rectangle(0, 0, 1, 1);
    TRecordingCanvas canvas;
    DecodeMetafile(w.File())->Draw(canvas, {0, 0, 100, 100});
    EXPECT_EQ(canvas.Calls, (TCalls{"StretchDraw 20 10 70 60 1x1", "StretchDraw 0 0 2 2 2x2", "Pen 000000 1 Solid",
                                    "Brush ffffff Solid", "Rectangle 0 0 1 1"}));
    ASSERT_EQ(canvas.Pictures.size(), 2u);
    EXPECT_EQ(canvas.Pictures[0], (std::vector<std::uint32_t>{0xFFFFFF}));
    EXPECT_EQ(canvas.Pictures[1], DibColours);
}

// ---- where parsing ends ---------------------------------------------------------------

struct TEndCase {
    const char* Name;
    std::function<void(TBytes&)> BadRecord;
};

class WmfRecordEnds : public testing::TestWithParam<TEndCase> {};

TEST_P(WmfRecordEnds, KeepsWhatCameBefore)
{
    TWmf w;
    w.WindowExt(10, 10).Rectangle(1, 1, 2, 2);
    GetParam().BadRecord(w.Records);
    w.Rectangle(3, 3, 4, 4);
    const auto metafile = DecodeMetafile(w.File());
    EXPECT_EQ(Replay(*metafile, {0, 0, 10, 10}), (TCalls{"Pen 000000 1 Solid", "Brush ffffff Solid", "Rectangle 1 1 2 2"}));
}

INSTANTIATE_TEST_SUITE_P(Table, WmfRecordEnds,
                         testing::Values(TEndCase{"SizeZero", [](TBytes& r) { r.U32(0).U16(0x041B); }},
                                         TEndCase{"SizeTwoWords", [](TBytes& r) { r.U32(2).U16(0x041B); }},
                                         TEndCase{"PastTheEnd", [](TBytes& r) { r.U32(0x7FFFFFFF).U16(0x041B); }},
                                         TEndCase{"Huge", [](TBytes& r) { r.U32(0xFFFFFFFF).U16(0x041B); }}),
                         [](const testing::TestParamInfo<TEndCase>& test) { return std::string(test.param.Name); });

TEST(Metafile, ShortRecordsDrawNothing)
{
    // Records too short for their parameters are skipped, not read past.
    TWmf w;
    w.WindowExt(10, 10).Rec(0x041B, {1, 2}).Rec(0x0325, {50, 0, 0}).Rec(0x0538, {3, 1}).Rec(0x0213, {1});
    w.Rec(0x02FA, {0}).Select(0).Rectangle(0, 0, 1, 1);
    EXPECT_EQ(Replay(*DecodeMetafile(w.File()), {0, 0, 10, 10}),
              (TCalls{"Pen 000000 1 Solid", "Brush ffffff Solid", "Rectangle 0 0 1 1"}));
}

// ---- EMF ------------------------------------------------------------------------------

struct TEmf {
    TBytes Records;
    int Count = 0;

    TEmf& Rec(std::uint32_t type, std::initializer_list<std::int32_t> values)
    {
        Records.U32(type).U32(static_cast<std::uint32_t>(8 + 4 * values.size()));
        for (std::int32_t v : values)
            Records.I32(v);
        ++Count;
        return *this;
    }
    TEmf& RecBytes(std::uint32_t type, const std::vector<std::uint8_t>& params)
    {
        std::vector<std::uint8_t> padded = params;
        padded.resize((padded.size() + 3) / 4 * 4, 0);
        Records.U32(type).U32(static_cast<std::uint32_t>(8 + padded.size())).Append(padded);
        ++Count;
        return *this;
    }
    // POLYLINE16 and friends: bounds, count, 16-bit points.
    TEmf& Poly16(std::uint32_t type, std::initializer_list<int> xy)
    {
        TBytes p;
        p.I32(0).I32(0).I32(0).I32(0).U32(static_cast<std::uint32_t>(xy.size() / 2));
        for (int v : xy)
            p.I16(v);
        return RecBytes(type, p.Data);
    }

    // Bounds in device pixels, frame in 0.01 mm, the reference device in
    // pixels and millimetres: by default 96 pixels per inch, 96 x 48.
    std::vector<std::uint8_t> File(std::array<int, 4> bounds = {0, 0, 95, 47},
                                   std::array<int, 4> frame = {0, 0, 2540, 1270},
                                   std::array<int, 4> device = {960, 480, 254, 127}) const
    {
        TBytes f;
        const std::uint32_t total = static_cast<std::uint32_t>(88 + Records.Size() + 20);
        f.U32(1).U32(88);
        for (int v : bounds)
            f.I32(v);
        for (int v : frame)
            f.I32(v);
        f.U32(0x464D4520).U32(0x10000).U32(total).U32(static_cast<std::uint32_t>(Count + 2)).U16(4).U16(0);
        f.U32(0).U32(0).U32(0);
        for (int v : device)
            f.I32(v);
        f.Append(Records.Data);
        f.U32(14).U32(20).U32(0).U32(16).U32(20); // EMR_EOF
        return f.Data;
    }
};

constexpr std::uint32_t EMR_POLYGON = 3, EMR_SETWINDOWEXTEX = 9, EMR_SETWINDOWORGEX = 10, EMR_SETVIEWPORTEXTEX = 11,
                        EMR_SETVIEWPORTORGEX = 12, EMR_EOF = 14, EMR_SETMAPMODE = 17, EMR_MOVETOEX = 27, EMR_SAVEDC = 33,
                        EMR_RESTOREDC = 34, EMR_SELECTOBJECT = 37, EMR_CREATEPEN = 38, EMR_CREATEBRUSHINDIRECT = 39,
                        EMR_DELETEOBJECT = 40, EMR_ELLIPSE = 42, EMR_RECTANGLE = 43, EMR_LINETO = 54,
                        EMR_STRETCHDIBITS = 81, EMR_POLYLINE16 = 87, EMR_POLYPOLYGON16 = 91, EMR_EXTCREATEPEN = 95;
constexpr std::int32_t Stock = static_cast<std::int32_t>(0x80000000u);

// STRETCHDIBITS of the 2 x 2 DIB: source rectangle, destination, raster op.
std::vector<std::uint8_t> StretchDibits(std::array<int, 4> src, std::array<int, 4> dest, std::uint32_t rop = 0x00CC0020)
{
    const std::vector<std::uint8_t> dib = PackedDib();
    TBytes p;
    p.I32(0).I32(0).I32(0).I32(0).I32(dest[0]).I32(dest[1]).I32(src[0]).I32(src[1]).I32(src[2]).I32(src[3]);
    p.U32(80).U32(40).U32(120).U32(16).U32(0).U32(rop).I32(dest[2]).I32(dest[3]);
    p.Append(dib);
    return p.Data;
}

TEST(Metafile, EmfSizeAndReplay)
{
    TEmf e;
    e.Rec(EMR_SETMAPMODE, {8}).Rec(EMR_SETWINDOWEXTEX, {200, 100}).Rec(EMR_SETVIEWPORTEXTEX, {96, 48});
    e.Rec(EMR_CREATEPEN, {1, 0, 10, 0, 0x0000FF}).Rec(EMR_SELECTOBJECT, {1}).Rec(EMR_SELECTOBJECT, {Stock | 5});
    e.Rec(EMR_RECTANGLE, {0, 0, 100, 50});
    e.Poly16(EMR_POLYLINE16, {0, 0, 200, 0, 200, 100});
    e.Rec(EMR_SAVEDC, {}).Rec(EMR_SETWINDOWORGEX, {100, 50}).Rec(EMR_ELLIPSE, {100, 50, 200, 100});
    e.Rec(EMR_RESTOREDC, {-1}).Rec(EMR_ELLIPSE, {100, 50, 200, 100});
    e.Rec(EMR_CREATEBRUSHINDIRECT, {2, 0, 0xFF0000, 0}).Rec(EMR_SELECTOBJECT, {2});
    e.Rec(EMR_POLYGON, {0, 0, 0, 0, 3, 0, 0, 100, 0, 0, 100});
    e.Poly16(EMR_POLYPOLYGON16, {}); // too short: skipped
    {
        TBytes p;
        p.I32(0).I32(0).I32(0).I32(0).U32(2).U32(6).U32(3).U32(3);
        for (int v : {0, 0, 50, 0, 0, 50, 200, 100, 150, 100, 200, 50})
            p.I16(v);
        e.RecBytes(EMR_POLYPOLYGON16, p.Data);
    }
    e.Rec(EMR_MOVETOEX, {0, 100}).Rec(EMR_LINETO, {200, 0}).Rec(EMR_LINETO, {200, 100});
    e.Rec(EMR_SELECTOBJECT, {Stock | 7}).Rec(EMR_LINETO, {0, 0});
    e.Rec(EMR_DELETEOBJECT, {1}).Rec(EMR_SELECTOBJECT, {1}).Rec(EMR_SELECTOBJECT, {Stock | 8});
    e.RecBytes(EMR_STRETCHDIBITS, StretchDibits({0, 0, 2, 2}, {0, 0, 200, 100}));
    e.RecBytes(EMR_STRETCHDIBITS, StretchDibits({0, 0, 2, 2}, {0, 0, 10, 10}, 0x00EE0086)); // SRCPAINT: skipped
    e.Rec(EMR_EOF, {0, 16, 20}).Rec(EMR_RECTANGLE, {0, 0, 1, 1});                      // after the end
    const auto metafile = DecodeMetafile(e.File());
    EXPECT_EQ(metafile->Width(), 96);
    EXPECT_EQ(metafile->Height(), 48);
    TRecordingCanvas canvas;
    metafile->Draw(canvas, {0, 0, 96, 48});
    EXPECT_EQ(canvas.Calls, (TCalls{
                                "Pen ff0000 4.8 Solid", "Brush 000000 Null", "Rectangle 0 0 48 24",
                                "Polyline 0,0 96,0 96,48", "Ellipse 0 0 48 24", "Ellipse 48 24 96 48",
                                "Brush 0000ff Solid", "Polygon 0,0 48,0 0,48", "Polygon 0,0 24,0 0,24",
                                "Polygon 96,48 72,48 96,24", "Polyline 0,48 96,0 96,48", "Pen 000000 1 Solid",
                                "Polyline 96,48 0,0", "StretchDraw 0 0 96 48 2x2",
                            }));
    ASSERT_EQ(canvas.Pictures.size(), 1u);
    EXPECT_EQ(canvas.Pictures[0], DibColours);
}

TEST(Metafile, EmfTextModeIgnoresExtents)
{
    // MM_TEXT (the default): one logical unit is one device pixel; the
    // origins still move the picture.
    TEmf e;
    e.Rec(EMR_SETWINDOWEXTEX, {2, 2}).Rec(EMR_SETVIEWPORTEXTEX, {4, 4});
    e.Rec(EMR_SETWINDOWORGEX, {10, 0}).Rec(EMR_SETVIEWPORTORGEX, {0, 4}).Rec(EMR_RECTANGLE, {10, 0, 58, 20});
    EXPECT_EQ(Replay(*DecodeMetafile(e.File()), {0, 0, 192, 96}),
              (TCalls{"Pen 000000 1 Solid", "Brush ffffff Solid", "Rectangle 0 8 96 48"}));
}

TEST(Metafile, EmfIsotropicKeepsTheAspect)
{
    TEmf e;
    e.Rec(EMR_SETMAPMODE, {7}).Rec(EMR_SETWINDOWEXTEX, {100, 100}).Rec(EMR_SETVIEWPORTEXTEX, {96, -48});
    e.Rec(EMR_RECTANGLE, {0, 0, 100, 100});
    EXPECT_EQ(Replay(*DecodeMetafile(e.File()), {0, 0, 96, 48}),
              (TCalls{"Pen 000000 1 Solid", "Brush ffffff Solid", "Rectangle 0 -48 48 0"}));
}

TEST(Metafile, EmfPensAndCrop)
{
    TEmf e;
    // A geometric pen of 4 pixels, a cosmetic one (always 1), a null pen.
    e.Rec(EMR_EXTCREATEPEN, {1, 0, 0, 0, 0, 0x00010000, 4, 0, 0x00FF00, 0, 0}).Rec(EMR_SELECTOBJECT, {1});
    e.Rec(EMR_MOVETOEX, {0, 0}).Rec(EMR_LINETO, {10, 0});
    e.Rec(EMR_EXTCREATEPEN, {2, 0, 0, 0, 0, 0, 9, 0, 0x00FF00, 0, 0}).Rec(EMR_SELECTOBJECT, {2});
    e.Rec(EMR_LINETO, {10, 10});
    e.Rec(EMR_CREATEPEN, {3, 5, 1, 0, 0}).Rec(EMR_SELECTOBJECT, {3}).Rec(EMR_LINETO, {0, 10});
    // The top-left pixel: source y counts from the bottom of a bottom-up DIB.
    e.RecBytes(EMR_STRETCHDIBITS, StretchDibits({0, 1, 1, 1}, {4, 4, 8, 8}));
    // A source rectangle entirely outside the bitmap draws nothing.
    e.RecBytes(EMR_STRETCHDIBITS, StretchDibits({5, 5, 1, 1}, {4, 4, 8, 8}));
    TRecordingCanvas canvas;
    DecodeMetafile(e.File())->Draw(canvas, {0, 0, 192, 96});
    EXPECT_EQ(canvas.Calls, (TCalls{"Pen 00ff00 8 Solid", "Polyline 0,0 20,0", "Pen 00ff00 1 Solid",
                                    "Polyline 20,0 20,20", "Pen 000000 2 Null", "Polyline 20,20 0,20",
                                    "StretchDraw 8 8 24 24 1x1"}));
    ASSERT_EQ(canvas.Pictures.size(), 1u);
    EXPECT_EQ(canvas.Pictures[0], (std::vector<std::uint32_t>{0xFF0000}));
}

TEST(Metafile, EmfSizeFromBoundsWithoutAFrame)
{
    TEmf e;
    e.Rec(EMR_RECTANGLE, {0, 0, 10, 10});
    const auto metafile = DecodeMetafile(e.File({0, 0, 19, 9}, {0, 0, 0, 0}));
    EXPECT_EQ(metafile->Width(), 20);
    EXPECT_EQ(metafile->Height(), 10);
    EXPECT_EQ(Replay(*metafile, {0, 0, 20, 10}), (TCalls{"Pen 000000 1 Solid", "Brush ffffff Solid", "Rectangle 0 0 10 10"}));
}

class EmfRecordEnds : public testing::TestWithParam<TEndCase> {};

TEST_P(EmfRecordEnds, KeepsWhatCameBefore)
{
    TEmf e;
    e.Rec(EMR_RECTANGLE, {1, 1, 2, 2});
    GetParam().BadRecord(e.Records);
    e.Rec(EMR_RECTANGLE, {3, 3, 4, 4});
    EXPECT_EQ(Replay(*DecodeMetafile(e.File()), {0, 0, 96, 48}),
              (TCalls{"Pen 000000 1 Solid", "Brush ffffff Solid", "Rectangle 1 1 2 2"}));
}

INSTANTIATE_TEST_SUITE_P(Table, EmfRecordEnds,
                         testing::Values(TEndCase{"SizeZero", [](TBytes& r) { r.U32(EMR_RECTANGLE).U32(0); }},
                                         TEndCase{"SizeFour", [](TBytes& r) { r.U32(EMR_RECTANGLE).U32(4); }},
                                         TEndCase{"Misaligned", [](TBytes& r) { r.U32(EMR_RECTANGLE).U32(10); }},
                                         TEndCase{"PastTheEnd", [](TBytes& r) { r.U32(EMR_RECTANGLE).U32(0xFFFFFFF0); }}),
                         [](const testing::TestParamInfo<TEndCase>& test) { return std::string(test.param.Name); });

// ---- copies and failures ----------------------------------------------------------------

TEST(Metafile, AssignSharesTheDrawing)
{
    const auto source = DecodeMetafile(PlaceableShapes());
    source->SetTransparent(true);
    TMetafile copy;
    int changes = 0;
    copy.OnChange = [&] { ++changes; };
    copy.Assign(*source);
    EXPECT_EQ(copy.Width(), 96);
    EXPECT_EQ(copy.Height(), 48);
    EXPECT_TRUE(copy.Transparent());
    EXPECT_GE(changes, 1);
    EXPECT_EQ(Replay(copy, {0, 0, 50, 50}), Replay(*source, {0, 0, 50, 50}));

    copy.SetWidth(10); // the copy's size is its own
    EXPECT_EQ(copy.Width(), 10);
    EXPECT_EQ(source->Width(), 96);

    TBitmap bitmap;
    EXPECT_EQ(MessageOf([&] { copy.Assign(bitmap); }), "Cannot assign a TBitmap to a TMetafile");
}

TEST(Metafile, RedecodingReplacesTheDrawing)
{
    auto metafile = DecodeMetafile(PlaceableShapes());
    TWmf w;
    w.WindowExt(10, 10).Ellipse(0, 0, 10, 10);
    Decode(*metafile, w.File());
    EXPECT_EQ(metafile->Width(), 10);
    EXPECT_EQ(Replay(*metafile, {0, 0, 10, 10}), (TCalls{"Pen 000000 1 Solid", "Brush ffffff Solid", "Ellipse 0 0 10 10"}));
}

struct THostileCase {
    const char* Name;
    std::function<std::vector<std::uint8_t>()> File;
    std::string Message;
};

class MetafileHostile : public testing::TestWithParam<THostileCase> {};

TEST_P(MetafileHostile, FailsWithAClearMessage)
{
    TMetafile metafile;
    EXPECT_EQ(MessageOf([&] { Decode(metafile, GetParam().File()); }), GetParam().Message);
}

std::vector<std::uint8_t> Patched(std::vector<std::uint8_t> file, std::size_t at, std::uint32_t value)
{
    TBytes f{std::move(file)};
    f.PutU32(at, value);
    return f.Data;
}

INSTANTIATE_TEST_SUITE_P(
    Table, MetafileHostile,
    testing::Values(
        THostileCase{"Empty", [] { return std::vector<std::uint8_t>{}; }, "Invalid metafile: header truncated"},
        THostileCase{"Garbage", [] { return std::vector<std::uint8_t>(40, 0x41); }, "Invalid metafile: unknown header"},
        THostileCase{"PlaceableCut",
                     [] {
                         auto f = PlaceableShapes();
                         f.resize(20);
                         return f;
                     },
                     "Invalid metafile: placeable header truncated"},
        THostileCase{"PlaceableWithoutHeader",
                     [] {
                         auto f = PlaceableShapes();
                         f.resize(30);
                         return f;
                     },
                     "Invalid metafile: header truncated"},
        THostileCase{"ZeroUnitsPerInch",
                     [] { return TWmf{}.File(std::array<int, 5>{0, 0, 100, 100, 0}); },
                     "Invalid metafile: placeable header gives 0 units per inch"},
        THostileCase{"NoWindowExtent", [] { return TWmf{}.Rectangle(0, 0, 1, 1).File(); },
                     "Invalid metafile: no picture size (neither a placeable header nor a window extent)"},
        THostileCase{"ZeroWindowExtent", [] { return TWmf{}.WindowExt(0, 10).File(); },
                     "Invalid metafile: no picture size (neither a placeable header nor a window extent)"},
        THostileCase{"WmfHeaderSize", [] { return Patched(TWmf{}.WindowExt(1, 1).File(), 0, 0x00080001); },
                     "Invalid metafile: unknown header"},
        THostileCase{"EmfHeaderTooSmall", [] { return Patched(TEmf{}.File(), 4, 80); },
                     "Invalid metafile: EMF header record of 80 bytes"},
        THostileCase{"EmfHeaderPastEnd", [] { return Patched(TEmf{}.File(), 4, 0x10000); },
                     "Invalid metafile: EMF header record of 65536 bytes"},
        THostileCase{"EmfHeaderMisaligned", [] { return Patched(TEmf{}.File(), 4, 90); },
                     "Invalid metafile: EMF header record of 90 bytes"}),
    [](const testing::TestParamInfo<THostileCase>& test) { return std::string(test.param.Name); });

TEST(Metafile, EveryTruncationFailsCleanlyOrDraws)
{
    TEmf e;
    e.Rec(EMR_CREATEPEN, {1, 0, 10, 0, 0x0000FF}).Rec(EMR_SELECTOBJECT, {1});
    e.Poly16(EMR_POLYLINE16, {0, 0, 200, 0, 200, 100});
    e.RecBytes(EMR_STRETCHDIBITS, StretchDibits({0, 0, 2, 2}, {0, 0, 200, 100}));
    for (const auto& file : {PlaceableShapes(), e.File()}) {
        for (std::size_t size = 0; size < file.size(); ++size) {
            std::vector<std::uint8_t> prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
            TMetafile metafile;
            try {
                Decode(metafile, prefix);
                Replay(metafile, {0, 0, 100, 100});
            } catch (const EInvalidGraphic& error) {
                EXPECT_EQ(error.Message().rfind("Invalid metafile: ", 0), 0u) << error.Message();
            }
        }
    }
}

} // namespace
} // namespace quorin::test
