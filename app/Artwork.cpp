#include "Artwork.h"

#include <QFile>

#include "base/Stream.h"
#include "dialogs/Glyph.h"
#include "imaging/Picture.h"

namespace quorin {

void LoadArtwork(TPicture& picture, const QString& resource)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray stored = file.readAll();
    TMemoryViewStream stream(stored.constData(), stored.size());
    picture.ReadStored(stream);
}

QPixmap LoadGlyph(const QString& resource)
{
    TPicture picture;
    LoadArtwork(picture, resource);
    return GlyphPixmap(picture);
}

} // namespace quorin
