#include "Glyph.h"

#include <QFile>
#include <QPainter>

#include "base/Stream.h"
#include "imaging/Bitmap.h"

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

QPixmap PreviewGlyph()
{
    QFile file(QStringLiteral(":/dialogs/PreviewGlyph.bmp"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    TMemoryViewStream stream(bytes.constData(), bytes.size());
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->DecodeStream(stream);
    TPicture picture;
    picture.SetGraphic(std::move(bitmap));
    return GlyphPixmap(picture);
}

} // namespace quorin
