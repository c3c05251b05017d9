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

// The first family the system has, at a size in pixels.
QFont MakeFont(const QStringList& families, int pixels, bool bold, bool italic = false, bool underline = false);
void SetColour(QWidget* widget, QPalette::ColorRole role, QColor colour);
// A label at its position and at least its stated size, wider when the font
// that stands in for the named one needs it.
// List rows of a fixed height in pixels, as the layout gives them.
void SetRowHeight(QAbstractItemView* view, int pixels);

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption, const QRect& bounds,
                  const QFont* font = nullptr);

} // namespace quorin
