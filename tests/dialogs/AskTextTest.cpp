// The input prompt: what it returns for OK and for each way of cancelling,
// the 255-character field, and its layout in dialog units.

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "ModalDriver.h"
#include "dialogs/AskText.h"
#include "dialogs/DialogUnits.h"

namespace quorin {

using test::OnNextModal;

namespace {

const QString Caption = QStringLiteral("Имя фракции");
const QString Prompt = QStringLiteral("Впишите имя фракции, для которой предпологается текстура");
const QString Default = QStringLiteral("romans_julii");

int CodePoints(const QString& text) { return static_cast<int>(text.toUcs4().size()); }

} // namespace

class AskTextTest : public QObject {
    Q_OBJECT
private slots:
    void showsCaptionPromptAndSelectedDefault();
    void okReturnsTheEditedText();
    void okOnAClearedFieldReturnsEmpty();
    void cancellingReturnsTheDefault_data();
    void cancellingReturnsTheDefault();
    void confirmedReportsOkAndCancel();
    void fieldKeepsAtMost255Characters_data();
    void fieldKeepsAtMost255Characters();
    void laysItselfOutInDialogUnits();
    void longPromptWrapsAndPushesTheFieldDown();
};

void AskTextTest::showsCaptionPromptAndSelectedDefault()
{
    QString title, prompt, text, selected;
    bool okIsDefault = false;
    OnNextModal<TAskTextDialog>([&](TAskTextDialog* dialog) {
        title = dialog->windowTitle();
        prompt = dialog->Prompt->text();
        text = dialog->Edit->text();
        selected = dialog->Edit->selectedText();
        okIsDefault = dialog->OKButton->isDefault() && !dialog->CancelButton->isDefault();
        dialog->reject();
    });
    AskText(Caption, Prompt, Default);
    QCOMPARE(title, Caption);
    QCOMPARE(prompt, Prompt);
    QCOMPARE(text, Default);
    QCOMPARE(selected, Default);
    QVERIFY(okIsDefault);
}

void AskTextTest::okReturnsTheEditedText()
{
    OnNextModal<TAskTextDialog>([](TAskTextDialog* dialog) {
        QTest::keyClicks(dialog->Edit, QStringLiteral("macedon")); // replaces the selection
        QTest::keyClick(dialog->Edit, Qt::Key_Return);             // OK is the default button
    });
    QCOMPARE(AskText(Caption, Prompt, Default), QStringLiteral("macedon"));
}

void AskTextTest::okOnAClearedFieldReturnsEmpty()
{
    OnNextModal<TAskTextDialog>([](TAskTextDialog* dialog) {
        dialog->Edit->clear();
        dialog->OKButton->click();
    });
    const QString answer = AskText(Caption, Prompt, Default);
    QVERIFY(answer.isEmpty());
}

void AskTextTest::cancellingReturnsTheDefault_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("Cancel button") << 0;
    QTest::newRow("Esc") << 1;
    QTest::newRow("close button") << 2;
}

void AskTextTest::cancellingReturnsTheDefault()
{
    QFETCH(int, how);
    OnNextModal<TAskTextDialog>([how](TAskTextDialog* dialog) {
        dialog->Edit->setText(QStringLiteral("edited but dropped"));
        if (how == 0)
            dialog->CancelButton->click();
        else if (how == 1)
            QTest::keyClick(dialog->Edit, Qt::Key_Escape);
        else
            dialog->close();
    });
    QCOMPARE(AskText(Caption, Prompt, Default), Default);
}

void AskTextTest::confirmedReportsOkAndCancel()
{
    QString value = QStringLiteral("before");
    OnNextModal<TAskTextDialog>([](TAskTextDialog* dialog) {
        dialog->Edit->setText(QStringLiteral("after"));
        dialog->CancelButton->click();
    });
    QVERIFY(!AskTextConfirmed(Caption, Prompt, value));
    QCOMPARE(value, QStringLiteral("before"));

    OnNextModal<TAskTextDialog>([](TAskTextDialog* dialog) {
        dialog->Edit->setText(QStringLiteral("after"));
        dialog->OKButton->click();
    });
    QVERIFY(AskTextConfirmed(Caption, Prompt, value));
    QCOMPARE(value, QStringLiteral("after"));
}

void AskTextTest::fieldKeepsAtMost255Characters_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("expected");

    const QString a250(250, QLatin1Char('a'));
    QTest::newRow("paste of 300 keeps its first 255") << QString() << 0 << QString(300, QLatin1Char('b')) << QString(255, QLatin1Char('b'));
    QTest::newRow("exactly 255 fit") << QString() << 0 << QString(255, QLatin1Char('c')) << QString(255, QLatin1Char('c'));
    QTest::newRow("insertion in the middle is cut, the tail stays")
        << a250 << 100 << QStringLiteral("0123456789")
        << QString(100, QLatin1Char('a')) + QStringLiteral("01234") + QString(150, QLatin1Char('a'));
    QTest::newRow("typing at the limit changes nothing") << QString(255, QLatin1Char('d')) << 255 << QStringLiteral("e")
                                                          << QString(255, QLatin1Char('d'));
    // Characters are counted, not UTF-16 units: 255 of them outside the BMP fit.
    const QString clef = QString::fromUcs4(U"\U0001D11E");
    QTest::newRow("characters beyond the BMP count once") << QString() << 0 << clef.repeated(260) << clef.repeated(255);
    QTest::newRow("Cyrillic") << QString() << 0 << QStringLiteral("я").repeated(256) << QStringLiteral("я").repeated(255);
}

void AskTextTest::fieldKeepsAtMost255Characters()
{
    QFETCH(QString, start);
    QFETCH(int, cursor);
    QFETCH(QString, pasted);
    QFETCH(QString, expected);
    OnNextModal<TAskTextDialog>([&](TAskTextDialog* dialog) {
        dialog->Edit->setCursorPosition(cursor);
        dialog->Edit->insert(pasted);
        dialog->OKButton->click();
    });
    const QString answer = AskText(Caption, Prompt, start);
    QCOMPARE(CodePoints(answer), CodePoints(expected));
    QCOMPARE(answer, expected);
}

void AskTextTest::laysItselfOutInDialogUnits()
{
    TAskTextDialog dialog(Caption, QStringLiteral("Short"), Default);
    // The units measured here, independently of the dialog's own helper.
    const QFontMetrics metrics(dialog.font());
    const int x = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52;
    const int y = metrics.height();
    auto horz = [x](int n) { return int(std::lround(n * x / 4.0)); };
    auto vert = [y](int n) { return int(std::lround(n * y / 8.0)); };
    const TDialogUnits units = TDialogUnits::ForFont(dialog.font());
    QCOMPARE(units.X, x);
    QCOMPARE(units.Y, y);

    QCOMPARE(dialog.width(), horz(180));
    QCOMPARE(dialog.Prompt->pos(), QPoint(horz(8), vert(8)));
    QCOMPARE(dialog.Edit->x(), horz(8));
    QCOMPARE(dialog.Edit->y(), dialog.Prompt->geometry().bottom() + 1 + 5);
    QCOMPARE(dialog.Edit->width(), horz(164));
    const int buttonTop = dialog.Edit->geometry().bottom() + 1 + 15;
    QCOMPARE(dialog.OKButton->geometry(), QRect(horz(38), buttonTop, horz(50), vert(14)));
    QCOMPARE(dialog.CancelButton->geometry(), QRect(horz(92), buttonTop, horz(50), vert(14)));
    QCOMPARE(dialog.height(), buttonTop + vert(14) + 13);
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QCOMPARE(dialog.OKButton->text(), QStringLiteral("OK"));
    QCOMPARE(dialog.CancelButton->text(), QStringLiteral("Cancel"));
}

void AskTextTest::longPromptWrapsAndPushesTheFieldDown()
{
    TAskTextDialog shortOne(Caption, QStringLiteral("Short"), Default);
    const QString longPrompt = Prompt.repeated(4);
    TAskTextDialog longOne(Caption, longPrompt, Default);
    const TDialogUnits units = TDialogUnits::ForFont(longOne.font());
    QVERIFY(longOne.Prompt->width() <= units.Horz(164));
    QVERIFY(longOne.Prompt->height() >= 3 * QFontMetrics(longOne.font()).height());
    QCOMPARE(longOne.width(), shortOne.width());
    const int pushed = longOne.Prompt->height() - shortOne.Prompt->height();
    QVERIFY(pushed > 0);
    QCOMPARE(longOne.Edit->y(), shortOne.Edit->y() + pushed);
    QCOMPARE(longOne.OKButton->y(), shortOne.OKButton->y() + pushed);
    QCOMPARE(longOne.height(), shortOne.height() + pushed);
}

} // namespace quorin

QTEST_MAIN(quorin::AskTextTest)
#include "AskTextTest.moc"
