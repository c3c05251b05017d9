#include "SpeedButton.h"

#include <QIcon>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace quorin {

namespace {
constexpr int GlyphSpacing = 4;
}

TSpeedButton::TSpeedButton(const QString& name, const QString& caption, const QRect& bounds, QWidget* parent)
    : QToolButton(parent)
{
    setObjectName(name);
    setText(caption);
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(bounds);
}

void TSpeedButton::SetGlyph(const QPixmap& glyph)
{
    glyph_ = glyph;
    setIcon(QIcon(glyph));
    update();
}

void TSpeedButton::DrawFrame(QPainter& painter) const
{
    const bool sunken = isDown();
    if (!sunken && !(underMouse() && isEnabled()))
        return;
    const QColor light = palette().color(QPalette::Light);
    const QColor dark = palette().color(QPalette::Dark);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    painter.setPen(sunken ? dark : light);
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(sunken ? light : dark);
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
}

void TSpeedButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    DrawFrame(painter);

    const QFontMetrics metrics(font());
    const int textWidth = text().isEmpty() ? 0 : metrics.horizontalAdvance(text());
    const int glyphWidth = glyph_.isNull() ? 0 : glyph_.width();
    const int spacing = (glyphWidth > 0 && textWidth > 0) ? GlyphSpacing : 0;
    const int offset = isDown() ? 1 : 0;
    int x = (width() - glyphWidth - spacing - textWidth) / 2 + offset;

    if (glyphWidth > 0) {
        QPixmap shown = glyph_;
        if (!isEnabled()) {
            // Some styles read the palette from the option: never pass none.
            QStyleOption option;
            option.initFrom(this);
            shown = style()->generatedIconPixmap(QIcon::Disabled, glyph_, &option);
        }
        painter.drawPixmap(x, (height() - glyph_.height()) / 2 + offset, shown);
        x += glyphWidth + spacing;
    }
    if (textWidth > 0) {
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
        painter.drawText(QRect(x, offset, textWidth, height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
    }
}

} // namespace quorin
