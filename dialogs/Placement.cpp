#include "Placement.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace quorin {

namespace {

const QScreen* ScreenOfActiveWindow(const QWidget& dialog)
{
    const QWidget* anchor = QApplication::activeWindow();
    if (!anchor)
        anchor = dialog.parentWidget() ? dialog.parentWidget()->window() : nullptr;
    const QScreen* screen = anchor ? anchor->screen() : nullptr;
    return screen ? screen : QGuiApplication::primaryScreen();
}

} // namespace

void CentreOnScreen(QWidget& window)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    window.move(area.left() + (area.width() - window.width()) / 2, area.top() + (area.height() - window.height()) / 2);
}

void PlaceFileDialog(QWidget& dialog)
{
    // A dialog not yet shown has not yet taken its size.
    if (!dialog.testAttribute(Qt::WA_Resized))
        dialog.adjustSize();
    const QScreen* screen = ScreenOfActiveWindow(dialog);
    if (!screen)
        return;
    const QRect monitor = screen->geometry();
    dialog.move(monitor.left() + (monitor.width() - dialog.width()) / 2,
                monitor.top() + (monitor.height() - dialog.height()) / 3);
}

} // namespace quorin
