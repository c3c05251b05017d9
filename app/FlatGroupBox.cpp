#include "FlatGroupBox.h"

#include <QPainter>

namespace quorin {

TFlatGroupBox::TFlatGroupBox(const QString& name, const QString& caption, const QRect& bounds, QWidget* parent)
    : QGroupBox(caption, parent)
{
    setObjectName(name);
    setGeometry(bounds);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    setPalette(colours);
    setAutoFillBackground(true);
}

void TFlatGroupBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int textHeight = metrics.height();
    painter.setPen(Qt::black);
    painter.drawRect(QRect(0, textHeight / 2 - 1, width() - 1, height() - textHeight / 2));
    if (title().isEmpty())
        return;
    const QRect caption(8, 0, metrics.horizontalAdvance(title()), textHeight);
    painter.fillRect(caption, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(caption, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title());
}

} // namespace quorin
