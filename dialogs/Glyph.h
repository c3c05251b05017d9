#pragma once
// A button's picture: a stored bitmap whose bottom-left pixel's colour is
// drawn as transparent, as a pixmap Qt can put on a button (Qt greys it for
// the disabled state itself).

#include <QPixmap>

namespace quorin {

class TPicture;

// Empty when the picture is.
QPixmap GlyphPixmap(const TPicture& picture);
// The 16 x 16 glyph of a preview button: a magnifying glass over a picture.
QPixmap PreviewGlyph();

} // namespace quorin
