#include "Gauge.h"

#include <QPainter>
#include <algorithm>

namespace quorin {

TGauge::TGauge(QWidget* parent) : QWidget(parent) {}

void TGauge::SetProgress(int value)
{
    progress_ = std::clamp(value, minValue_, maxValue_);
    update();
}

int TGauge::PercentDone() const
{
    const int range = maxValue_ - minValue_;
    return range > 0 ? (progress_ - minValue_) * 100 / range : 0;
}

QString TGauge::PercentText() const { return QStringLiteral("%1%").arg(PercentDone()); }

void TGauge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    painter.fillRect(rect(), Qt::black);
    painter.fillRect(inner, Qt::white);
    const int filled = inner.width() * PercentDone() / 100;
    if (filled > 0)
        painter.fillRect(QRect(inner.left(), inner.top(), filled, inner.height()), QColor::fromRgb(ForeColor));

    // White drawn in difference mode gives each pixel's inverse.
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.setPen(Qt::white);
    painter.drawText(inner, Qt::AlignCenter, PercentText());
}

} // namespace quorin
