#include "Glyph.h"

#include <QPainter>

#include "imaging/Picture.h"
#include "imaging/QtCanvas.h"

namespace quorin {

QPixmap GlyphPixmap(const TPicture& picture)
{
    TGraphic* graphic = picture.Graphic();
    if (!graphic || graphic->Width() <= 0 || graphic->Height() <= 0)
        return {};
    graphic->SetTransparent(true);
    QPixmap pixmap(graphic->Width(), graphic->Height());
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    TQtCanvas canvas(painter);
    graphic->Draw(canvas, TRect{0, 0, graphic->Width(), graphic->Height()});
    return pixmap;
}

} // namespace quorin
