#include "ErrorBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

namespace quorin {

QString FailureBoxText(const QString& message)
{
    if (message.isEmpty())
        return message;
    // In Windows-1251 every character beyond 7-bit ASCII has a byte of 0x80
    // or more, and one it cannot hold becomes "?" (0x3F); both sort after
    // ".", so comparing the UTF-16 unit gives the byte comparison's answer.
    return message.back().unicode() > u'.' ? message + QLatin1Char('.') : message;
}

void ShowErrorBox(const QString& message, const QString& caption)
{
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    QMessageBox box(QMessageBox::Critical, caption, FailureBoxText(message), QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace quorin
