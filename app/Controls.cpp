#include "Controls.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QStyledItemDelegate>
#include <algorithm>

namespace quorin {

namespace {

// The width a label's layout gives it, kept for its later captions.
constexpr const char* StatedWidth = "quorinStatedWidth";

} // namespace

QFont MakeFont(const QStringList& families, int pixels, bool bold, bool italic, bool underline)
{
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    // The faces hold every letter of the window's own texts: looking for
    // stand-ins for missing letters would cost each face a font search at
    // start-up. What the user gives has its own font (AllowStandInLetters).
    font.setStyleStrategy(QFont::NoFontMerging);
    return font;
}

void RegisterWindowFonts()
{
    static const bool registered = [] {
        const QString folder = QStringLiteral("/usr/share/wine/fonts/");
        // Not tahomabd.ttf: its "bold" is no heavier than the regular face;
        // Qt's emboldened regular face reads as the bold the layouts want.
        for (const char* file : {"tahoma.ttf", "ms_sans_serif.ttf"})
            if (QFileInfo::exists(folder + QLatin1String(file)))
                QFontDatabase::addApplicationFont(folder + QLatin1String(file));
        return true;
    }();
    (void)registered;
}

QFont FitCaptions(QFont font, const QStringList& captions, int width)
{
    auto widest = [&](const QFont& f) {
        const QFontMetrics metrics(f);
        int most = 0;
        for (const QString& caption : captions)
            most = std::max(most, metrics.horizontalAdvance(caption));
        return most;
    };
    // Each stretch tried loads a face, a cost paid at start-up. Widths
    // shrink about in proportion to the stretch, so the stretch is computed
    // from the width measured and confirmed; where hinting rounds a width up
    // it is computed again, narrower by a step at least (80 at the least).
    if (int measured = widest(font); measured > width) {
        int stretch = 100;
        for (int tries = 0; tries < 4 && measured > width && stretch > 80; ++tries) {
            stretch = std::clamp(stretch * width / measured, 80, stretch - 1);
            font.setStretch(stretch);
            measured = widest(font);
        }
    }
    while (widest(font) > width && font.pixelSize() > 8)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

void AllowStandInLetters(QWidget* control)
{
    // The control's font as it stands (its own, or its parent's, which is
    // set before its controls are made), with stand-ins allowed.
    QFont font = control->font();
    font.setStyleStrategy(QFont::PreferDefault);
    control->setFont(font);
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
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    if (font)
        label->setFont(*font);
    label->setTextFormat(Qt::PlainText);
    label->setProperty(StatedWidth, bounds.width());
    label->setGeometry(bounds);
    SetCaption(label, caption);
    return label;
}

void SetCaption(QWidget* control, const QString& caption)
{
    if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(caption);
        const int stated = label->property(StatedWidth).toInt();
        label->resize(std::max(stated, label->sizeHint().width()), label->height());
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(caption);
    } else if (auto* box = qobject_cast<QGroupBox*>(control)) {
        box->setTitle(caption);
    }
}

} // namespace quorin
