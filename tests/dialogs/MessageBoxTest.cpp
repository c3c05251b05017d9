// The information box: caption, message, icon and button; Esc and Enter; the
// Ctrl+C copy format; and how it grows with its message.

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include "ModalDriver.h"
#include "dialogs/DialogUnits.h"
#include "dialogs/MessageBox.h"

namespace quorin {

using test::OnNextModal;

namespace {

const QString Completion = QStringLiteral("Создание пака hastati.quorin завершено");
const QString Divider = QStringLiteral("---------------------------\r\n");

TModalResult ShowInformation(const QString& message)
{
    return ShowMessageBox(message, TMsgDlgType::Information, {TMsgDlgBtn::OK});
}

} // namespace

class MessageBoxTest : public QObject {
    Q_OBJECT
private slots:
    void informationBoxShowsCaptionMessageIconAndOk();
    void escAndEnterBothPressOk_data();
    void escAndEnterBothPressOk();
    void ctrlCCopiesTheBoxAsPlainText_data();
    void ctrlCCopiesTheBoxAsPlainText();
    void onlyPlainCtrlCCopies();
    void copyDropsAmpersandsFromEveryButton();
    void cancelButtonFallsBackToNoThenOk();
    void laysItselfOutInDialogUnits();
    void longMessageWrapsAtHalfTheScreen();
    void aLongWordBreaksInsideTheColumn();
};

void MessageBoxTest::informationBoxShowsCaptionMessageIconAndOk()
{
    QString title, message;
    QStringList buttons;
    QSize icon;
    bool plain = false;
    OnNextModal<TMessageForm>([&](TMessageForm* box) {
        title = box->windowTitle();
        message = box->Message->text();
        plain = box->Message->textFormat() == Qt::PlainText;
        icon = box->Image ? box->Image->size() : QSize();
        for (const QPushButton* button : box->Buttons)
            buttons << button->text();
        box->Buttons.front()->click();
    });
    QCOMPARE(ShowInformation(Completion), TModalResult::OK);
    QCOMPARE(title, QStringLiteral("Information"));
    QCOMPARE(message, Completion);
    QVERIFY(plain);
    QCOMPARE(icon, QSize(32, 32));
    QCOMPARE(buttons, QStringList{QStringLiteral("OK")});
}

void MessageBoxTest::escAndEnterBothPressOk_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Esc") << int(Qt::Key_Escape);
    QTest::newRow("Enter") << int(Qt::Key_Return);
}

void MessageBoxTest::escAndEnterBothPressOk()
{
    QFETCH(int, key);
    OnNextModal<TMessageForm>([key](TMessageForm* box) { QTest::keyClick(box, Qt::Key(key)); });
    QCOMPARE(ShowInformation(Completion), TModalResult::OK);
}

void MessageBoxTest::ctrlCCopiesTheBoxAsPlainText_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Latin layout") << int(Qt::Key_C);
    QTest::newRow("Russian layout: С on the same key") << 0x0421;
}

void MessageBoxTest::ctrlCCopiesTheBoxAsPlainText()
{
    QFETCH(int, key);
    QGuiApplication::clipboard()->clear();
    bool stillOpen = false;
    OnNextModal<TMessageForm>([&](TMessageForm* box) {
        test::SendKey(box, key, Qt::ControlModifier);
        stillOpen = box->isVisible();
        box->accept();
    });
    ShowInformation(Completion);
    QVERIFY(stillOpen);
    const QString expected = Divider + QStringLiteral("Information\r\n") + Divider + Completion + QStringLiteral("\r\n") + Divider +
                             QStringLiteral("OK   \r\n") + Divider;
    QCOMPARE(QGuiApplication::clipboard()->text(), expected);
}

void MessageBoxTest::onlyPlainCtrlCCopies()
{
    QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
    OnNextModal<TMessageForm>([](TMessageForm* box) {
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier | Qt::AltModifier);
        QTest::keyClick(box, Qt::Key_C);
        box->accept();
    });
    ShowInformation(Completion);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
}

void MessageBoxTest::copyDropsAmpersandsFromEveryButton()
{
    TMessageForm box(QStringLiteral("Sure?"), TMsgDlgType::Confirmation, {TMsgDlgBtn::No, TMsgDlgBtn::Yes, TMsgDlgBtn::NoToAll});
    const QString expected = Divider + QStringLiteral("Confirm\r\n") + Divider + QStringLiteral("Sure?\r\n") + Divider +
                             QStringLiteral("Yes   No   No to All   \r\n") + Divider;
    QCOMPARE(box.ClipboardText(), expected);
}

void MessageBoxTest::cancelButtonFallsBackToNoThenOk()
{
    OnNextModal<TMessageForm>([](TMessageForm* box) { QTest::keyClick(box, Qt::Key_Escape); });
    QCOMPARE(ShowMessageBox(QStringLiteral("?"), TMsgDlgType::Confirmation, {TMsgDlgBtn::Yes, TMsgDlgBtn::No}), TModalResult::No);
    OnNextModal<TMessageForm>([](TMessageForm* box) { box->close(); });
    QCOMPARE(ShowMessageBox(QStringLiteral("?"), TMsgDlgType::Warning, {TMsgDlgBtn::OK, TMsgDlgBtn::Cancel}), TModalResult::Cancel);
    OnNextModal<TMessageForm>([](TMessageForm* box) { QTest::keyClick(box, Qt::Key_Return); });
    QCOMPARE(ShowMessageBox(QStringLiteral("?"), TMsgDlgType::Confirmation, {TMsgDlgBtn::Yes, TMsgDlgBtn::No}), TModalResult::Yes);
}

void MessageBoxTest::laysItselfOutInDialogUnits()
{
    TMessageForm box(Completion, TMsgDlgType::Information, {TMsgDlgBtn::OK});
    const TDialogUnits units = TDialogUnits::ForFont(box.font());
    const QFontMetrics metrics(box.font());
    const int textWidth = metrics.horizontalAdvance(Completion);
    QCOMPARE(box.Image->geometry(), QRect(units.Horz(8), units.Vert(8), 32, 32));
    QCOMPARE(box.Message->pos(), QPoint(units.Horz(8) + 32 + units.Horz(10), units.Vert(8)));
    QCOMPARE(box.Message->width(), textWidth);
    const int iconTextHeight = std::max(metrics.height(), 32);
    QCOMPARE(box.width(), textWidth + 32 + units.Horz(10) + 2 * units.Horz(8));
    QCOMPARE(box.height(), iconTextHeight + units.Vert(14) + units.Vert(10) + 2 * units.Vert(8));
    const QPushButton* ok = box.Buttons.front();
    QCOMPARE(ok->size(), QSize(units.Horz(50), units.Vert(14)));
    QCOMPARE(ok->x(), (box.width() - ok->width()) / 2);
    QCOMPARE(ok->y(), iconTextHeight + units.Vert(8) + units.Vert(10));
}

void MessageBoxTest::longMessageWrapsAtHalfTheScreen()
{
    const int half = QGuiApplication::primaryScreen()->geometry().width() / 2;
    const QString words = QStringLiteral("Создание пака очень_длинное_имя_файла.quorin завершено ").repeated(12);
    TMessageForm box(words, TMsgDlgType::Information, {TMsgDlgBtn::OK});
    QVERIFY(box.Message->width() <= half);
    QVERIFY(box.Message->width() > half * 3 / 4);
    QVERIFY(box.Message->height() >= 2 * QFontMetrics(box.font()).height());
    TMessageForm shortBox(QStringLiteral("OK"), TMsgDlgType::Information, {TMsgDlgBtn::OK});
    QVERIFY(box.width() > shortBox.width());
}

void MessageBoxTest::aLongWordBreaksInsideTheColumn()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QString name = QString(130, QLatin1Char('w')) + QStringLiteral(".quorin");
    const QString message = QStringLiteral("Создание пака ") + name + QStringLiteral(" завершено");
    TMessageForm box(message, TMsgDlgType::Information, {TMsgDlgBtn::OK});
    QVERIFY(box.Message->width() <= screen.width() / 2);
    QVERIFY(box.width() <= screen.width());
    QVERIFY(box.Image->x() >= 0);
    // Every character is shown, and the copy holds the message as given.
    QCOMPARE(QString(box.Message->text()).remove(ZeroWidthSpace), message);
    QVERIFY(box.ClipboardText().contains(message));
    // Words that fit are left whole.
    QCOMPARE(BreakableText(QStringLiteral("a few short words"), QFontMetrics(box.font()), 200), QStringLiteral("a few short words"));
}

} // namespace quorin

QTEST_MAIN(quorin::MessageBoxTest)
#include "MessageBoxTest.moc"
