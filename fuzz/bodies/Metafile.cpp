// The fuzz target's body: decodes the input as a WMF or EMF file and replays it on
// a canvas that does nothing, into a normal and a degenerate rectangle.
// Decoding failures are expected; crashes and sanitizer reports are findings.

#include "fuzz/FuzzBodies.h"

#include <cstddef>
#include <cstdint>

#include "base/Stream.h"
#include "imaging/Bitmap.h"
#include "imaging/Canvas.h"
#include "imaging/Metafile.h"

namespace {

class TNullCanvas : public quorin::TCanvas {
public:
    void StretchDraw(const quorin::TRect&, const quorin::TBitmap& bitmap, std::optional<std::uint32_t>) override
    {
        // Read the corners, as a real canvas would read every pixel.
        if (bitmap.Width() > 0 && bitmap.Height() > 0)
            sink_ = static_cast<std::uint8_t>(sink_ + bitmap.RowAddress(bitmap.Height() - 1)[bitmap.RowStride() - 1] +
                                              bitmap.RowAddress(0)[0]);
    }
    void SetPen(std::uint32_t, double, quorin::TPenStyle) override {}
    void SetBrush(std::uint32_t, quorin::TBrushStyle) override {}
    void Polyline(std::span<const quorin::TPointF> points) override { Touch(points); }
    void Polygon(std::span<const quorin::TPointF> points) override { Touch(points); }
    void Rectangle(const quorin::TRectF&) override {}
    void Ellipse(const quorin::TRectF&) override {}

private:
    void Touch(std::span<const quorin::TPointF> points)
    {
        for (const auto& p : points)
            sink_ = static_cast<std::uint8_t>(sink_ + (p.X > p.Y ? 1 : 0));
    }
    volatile std::uint8_t sink_ = 0;
};

} // namespace

namespace quorin::fuzz {

int Metafile(const std::uint8_t* data, std::size_t size)
{
    quorin::TMemoryViewStream stream(data, static_cast<std::int64_t>(size));
    quorin::TMetafile metafile;
    try {
        metafile.DecodeStream(stream);
    } catch (const quorin::Exception&) {
        return 0;
    }
    TNullCanvas canvas;
    metafile.Draw(canvas, {0, 0, 640, 480});
    metafile.Draw(canvas, {100, 100, 100, 50});
    quorin::TMetafile copy;
    copy.Assign(metafile);
    copy.Draw(canvas, {-5, -5, 3, 3});
    return 0;
}

} // namespace quorin::fuzz
