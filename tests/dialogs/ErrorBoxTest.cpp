// The error box: the full-stop rule and the box itself.

#include <QClipboard>
#include <QScreen>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "ModalDriver.h"
#include "dialogs/ErrorBox.h"

namespace quorin {

using test::OnNextModal;

class ErrorBoxTest : public QObject {
    Q_OBJECT
private slots:
    void fullStopRule_data();
    void fullStopRule();
    void showsErrorIconCaptionAndSingleOk();
    void releasesTheMouseCapture();
    void aLongPathStaysInsideTheScreen();
    void ctrlCCopiesTheBox_data();
    void ctrlCCopiesTheBox();
};

void ErrorBoxTest::fullStopRule_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    auto row = [](const char* name, const QString& message, const QString& shown) { QTest::newRow(name) << message << shown; };
    row("ends in a file name", QStringLiteral("Cannot open file /mods/hastati.cas"), QStringLiteral("Cannot open file /mods/hastati.cas."));
    row("ends in a digit", QStringLiteral("Unit 5"), QStringLiteral("Unit 5."));
    row("list index keeps its bracket", QStringLiteral("List index out of bounds (1)"), QStringLiteral("List index out of bounds (1)"));
    row("already ends in a full stop", QStringLiteral("Invalid DDS file."), QStringLiteral("Invalid DDS file."));
    row("empty stays empty", QString(), QString());
    row("ends in a space", QStringLiteral("Cannot open file "), QStringLiteral("Cannot open file "));
    row("ends in !", QStringLiteral("Stop!"), QStringLiteral("Stop!"));
    row("ends in -", QStringLiteral("a-"), QStringLiteral("a-"));
    row("ends in ,", QStringLiteral("a,"), QStringLiteral("a,"));
    row("ends in /", QStringLiteral("a/"), QStringLiteral("a/."));
    row("ends in Cyrillic", QStringLiteral("Файл не найден"), QStringLiteral("Файл не найден."));
    row("ends in Ё", QStringLiteral("ВСЁ"), QStringLiteral("ВСЁ."));
    row("ends in a character the code page lacks", QStringLiteral("漢"), QStringLiteral("漢."));
}

void ErrorBoxTest::fullStopRule()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(FailureBoxText(message), shown);
}

void ErrorBoxTest::showsErrorIconCaptionAndSingleOk()
{
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat format = Qt::AutoText;
    int buttons = 0;
    OnNextModal<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        format = box->textFormat();
        buttons = static_cast<int>(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    ShowErrorBox(QStringLiteral("Cannot open file <b>x</b>"), QStringLiteral("Unitpack"));
    QCOMPARE(title, QStringLiteral("Unitpack"));
    QCOMPARE(text, QStringLiteral("Cannot open file <b>x</b>."));
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(buttons, 1);
}

void ErrorBoxTest::releasesTheMouseCapture()
{
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.grabMouse();
    QCOMPARE(QWidget::mouseGrabber(), &window);
    QWidget* grabberWhileOpen = &window;
    OnNextModal<QMessageBox>([&](QMessageBox* box) {
        grabberWhileOpen = QWidget::mouseGrabber();
        box->accept();
    });
    ShowErrorBox(QStringLiteral("x"), QStringLiteral("t"));
    QVERIFY(grabberWhileOpen != &window);
}

void ErrorBoxTest::aLongPathStaysInsideTheScreen()
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (int length : {1000, 5000}) {
        const QString message = QStringLiteral("Cannot open file /") + QString(length, QLatin1Char('d')) + QStringLiteral("/x.cas");
        QRect shown;
        QString text;
        OnNextModal<QMessageBox>([&](QMessageBox* box) {
            shown = box->frameGeometry();
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        ShowErrorBox(message, QStringLiteral("Unitpack"));
        QVERIFY2(shown.width() <= screen.width(), qPrintable(QString::number(length)));
        if (length == 1000) // the 5000-character one is taller than a small screen
            QVERIFY(shown.height() <= screen.height());
        QCOMPARE(text.remove(QChar(0x200B)), message + QLatin1Char('.')); // the end and the full stop are there
    }
}

void ErrorBoxTest::ctrlCCopiesTheBox_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("copies");
    QTest::newRow("Ctrl+C") << int(Qt::Key_C) << int(Qt::ControlModifier) << true;
    QTest::newRow("Ctrl+С, Russian layout") << 0x0421 << int(Qt::ControlModifier) << true;
    QTest::newRow("Ctrl+Shift+C") << int(Qt::Key_C) << int(Qt::ControlModifier | Qt::ShiftModifier) << false;
    QTest::newRow("C alone") << int(Qt::Key_C) << int(Qt::NoModifier) << false;
}

void ErrorBoxTest::ctrlCCopiesTheBox()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, copies);
    QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
    OnNextModal<QMessageBox>([&](QMessageBox* box) {
        test::SendKey(box, key, Qt::KeyboardModifiers(modifiers));
        box->button(QMessageBox::Ok)->click();
    });
    ShowErrorBox(QStringLiteral("Cannot open file /mods/x.cas"), QStringLiteral("Unitpack"));
    const QString divider = QString(27, QLatin1Char('-')) + QStringLiteral("\r\n");
    const QString copied = divider + QStringLiteral("Unitpack\r\n") + divider + QStringLiteral("Cannot open file /mods/x.cas.\r\n") +
                           divider + QStringLiteral("OK   \r\n") + divider;
    QCOMPARE(QGuiApplication::clipboard()->text(), copies ? copied : QStringLiteral("untouched"));
}

} // namespace quorin

QTEST_MAIN(quorin::ErrorBoxTest)
#include "ErrorBoxTest.moc"
