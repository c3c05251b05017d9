#include "Artwork.h"

#include <QFile>

#include "base/Stream.h"
#include "dialogs/Glyph.h"
#include "imaging/Picture.h"

namespace quorin {

void LoadArtwork(TPicture& picture, const QString& resource) { picture.SetGraphic(DecodeArtwork(resource)); }

std::unique_ptr<TGraphic> DecodeArtwork(const QString& resource)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray stored = file.readAll();
    TMemoryViewStream stream(stored.constData(), stored.size());
    return TPicture::ReadStoredGraphic(stream);
}

QPixmap LoadGlyph(const QString& resource)
{
    TPicture picture;
    LoadArtwork(picture, resource);
    return GlyphPixmap(picture);
}

} // namespace quorin
