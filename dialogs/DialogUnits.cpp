#include "DialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <cstdint>

namespace quorin {

TDialogUnits TDialogUnits::ForFont(const QFont& font)
{
    static const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const QFontMetrics metrics(font);
    return {metrics.horizontalAdvance(letters) / 52, metrics.height()};
}

int TDialogUnits::Horz(int n) const { return MulDivRound(n, X, 4); }
int TDialogUnits::Vert(int n) const { return MulDivRound(n, Y, 8); }

int MulDivRound(int n, int numerator, int denominator)
{
    const std::int64_t product = std::int64_t(n) * numerator;
    const std::int64_t half = denominator / 2;
    const std::int64_t rounded = product >= 0 ? (product + half) / denominator : (product - half) / denominator;
    return static_cast<int>(rounded);
}

} // namespace quorin
