#include "Render.h"

#include <cstring>

#include <QImage>
#include <QPainter>

#include "imaging/QtCanvas.h"

namespace quorin {

std::unique_ptr<TBitmap> RenderToBitmap(const TGraphic& graphic)
{
    const int width = graphic.Width(), height = graphic.Height();
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelDepth(32);
    bitmap->SetSize(width, height); // refuses sizes no picture may take
    if (width == 0 || height == 0)
        return bitmap;
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        TQtCanvas canvas(painter);
        graphic.Draw(canvas, TRect{0, 0, width, height});
    }
    // RGB32 rows are blue, green, red, 0xFF on little-endian machines: the Bitmap's own order.
    for (int y = 0; y < height; ++y)
        std::memcpy(bitmap->RowAddress(y), image.constScanLine(y), static_cast<std::size_t>(width) * 4);
    return bitmap;
}

} // namespace quorin
