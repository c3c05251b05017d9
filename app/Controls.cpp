#include "Controls.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QStyledItemDelegate>
#include <algorithm>

namespace quorin {

QFont MakeFont(const QStringList& families, int pixels, bool bold, bool italic, bool underline)
{
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    return font;
}

void SetColour(QWidget* widget, QPalette::ColorRole role, QColor colour)
{
    QPalette colours = widget->palette();
    colours.setColor(role, colour);
    widget->setPalette(colours);
}

namespace {

class TFixedRowDelegate : public QStyledItemDelegate {
public:
    TFixedRowDelegate(int pixels, QObject* parent) : QStyledItemDelegate(parent), pixels_(pixels) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), pixels_};
    }

private:
    int pixels_;
};

} // namespace

void SetRowHeight(QAbstractItemView* view, int pixels)
{
    view->setItemDelegate(new TFixedRowDelegate(pixels, view));
}

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption, const QRect& bounds,
                  const QFont* font)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    if (font)
        label->setFont(*font);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(bounds.x(), bounds.y(), std::max(bounds.width(), label->sizeHint().width()), bounds.height());
    return label;
}

} // namespace quorin
