#include "ErrorBox.h"

#include "MessageBox.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QScreen>
#include <algorithm>
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

namespace {

// Copies itself with Ctrl+C and a beep, as the information box does.
class TErrorBox : public QMessageBox {
public:
    TErrorBox(const QString& caption, const QString& text, QWidget* parent)
        : QMessageBox(QMessageBox::Critical, caption, QString(), QMessageBox::Ok, parent), text_(text)
    {
        // Qt wraps a box's text at about 500 pixels at most; a longer word
        // (a deep path) would be cut off, its end and full stop unseen.
        const QScreen* screen = QGuiApplication::primaryScreen();
        const int column = std::min(400, screen ? screen->availableGeometry().width() / 2 : 400);
        setText(BreakableText(text, QFontMetrics(font()), column));
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!IsCopyKey(*event)) {
            QMessageBox::keyPressEvent(event);
            return;
        }
        QApplication::beep();
        QGuiApplication::clipboard()->setText(BoxClipboardText(windowTitle(), text_, {QStringLiteral("OK")}));
    }

private:
    QString text_;
};

} // namespace

void ShowErrorBox(const QString& message, const QString& caption)
{
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    TErrorBox box(caption, FailureBoxText(message), QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace quorin
