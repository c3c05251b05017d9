#pragma once
// The windows' artwork, kept as resources in the form stored with window
// layouts (class name, byte count, file bytes) and decoded through the
// picture registry, so the picture modules must have started first.

#include <memory>

#include <QPixmap>
#include <QString>

namespace quorin {

class TGraphic;
class TPicture;

namespace Artwork {
inline const QString Background = QStringLiteral(":/artwork/Background.picture");
inline const QString ForumBanner = QStringLiteral(":/artwork/ForumBanner.picture");
inline const QString Emblem = QStringLiteral(":/artwork/Emblem.picture");
inline const QString Illustration = QStringLiteral(":/artwork/Illustration.picture");
inline const QString IconFolder = QStringLiteral(":/artwork/IconFolder.picture");
inline const QString IconDoorway = QStringLiteral(":/artwork/IconDoorway.picture");
inline const QString IconBin = QStringLiteral(":/artwork/IconBin.picture");
inline const QString IconFloppy = QStringLiteral(":/artwork/IconFloppy.picture");
inline const QString IconTools = QStringLiteral(":/artwork/IconTools.picture");
} // namespace Artwork

// Reads the stored picture into picture; a missing resource or a class the
// registry does not know leaves it empty.
void LoadArtwork(TPicture& picture, const QString& resource);
// The stored picture's graphic, or null when the resource is missing or its
// class unknown. Safe on any thread once the picture modules have started.
std::unique_ptr<TGraphic> DecodeArtwork(const QString& resource);
// A button glyph from a stored bitmap, its bottom-left colour transparent.
QPixmap LoadGlyph(const QString& resource);

} // namespace quorin
