#pragma once
// Small helpers for building the windows' controls as their layouts say.

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRect>
#include <QStringList>

class QAbstractItemView;
class QLabel;
class QWidget;

namespace quorin {

// The families the layouts name, each followed by the closest face of a
// typical Linux system, which Qt takes when the named one is missing.
inline const QStringList Tahoma = {QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed")};
inline const QStringList MSSansSerif = {QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans Condensed")};
inline const QStringList Impact = {QStringLiteral("Impact"), QStringLiteral("DejaVu Sans Condensed")};

// Makes the free faces of the families the windows ask for (Tahoma, MS Sans
// Serif; Debian's fonts-wine) known to Qt where they are installed but not
// registered with the system's font configuration.
void RegisterWindowFonts();

// The first family the system has, at a size in pixels.
QFont MakeFont(const QStringList& families, int pixels, bool bold, bool italic = false, bool underline = false);
// Names, paths and text blocks the user gives may hold letters the
// window's faces lack (Greek, Chinese, ...): a control that shows them takes
// those letters from the system's other faces.
void AllowStandInLetters(QWidget* control);
void SetColour(QWidget* widget, QPalette::ColorRole role, QColor colour);
// The font narrowed (by stretching, else by a smaller size) until each
// caption fits in width pixels: a stand-in face may be wider than the one
// the layout was drawn with, and a caption is never cut.
QFont FitCaptions(QFont font, const QStringList& captions, int width);
// List rows of a fixed height in pixels, as the layout gives them.
void SetRowHeight(QAbstractItemView* view, int pixels);

// A label at its position and at least its stated size, wider when the font
// that stands in for the named one needs it.
QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption, const QRect& bounds,
                  const QFont* font = nullptr);
// Gives a control a new caption: a label made by MakeLabel keeps at least
// its stated width and widens for a longer caption; buttons, check boxes and
// group boxes take it as their text or title.
void SetCaption(QWidget* control, const QString& caption);

} // namespace quorin
