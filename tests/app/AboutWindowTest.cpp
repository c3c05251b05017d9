// The About window: frame, controls, texts, and the keys that do and do not
// close it.

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include "../dialogs/ModalDriver.h"
#include "AppTestMain.h"
#include "app/Unit2.h"
#include "dialogs/Image.h"
#include "imaging/PictureModules.h"

namespace quorin {

using test::OnNextModal;

namespace {

QWidget* NextTabStop(QWidget* widget)
{
    QWidget* next = widget->nextInFocusChain();
    while (next && next != widget && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    return next;
}

} // namespace

class AboutWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { StartPictureModules(); }
    void frameIsAFixedToolWindow();
    void controlsStandWhereTheLayoutPutsThem();
    void textsAndLook();
    void picturesAreLoaded();
    void escDoesNotCloseAndEnterOnlyFromTheButton();
    void closeButtonEndsTheModalLoopAndHides();
};

void AboutWindowTest::frameIsAFixedToolWindow()
{
    TForm2 about;
    QCOMPARE(about.windowTitle(), QStringLiteral("О программе"));
    QCOMPARE(about.size(), QSize(555, 475));
    QCOMPARE(about.minimumSize(), about.maximumSize());
    QCOMPARE(about.windowType(), Qt::Tool);
    QVERIFY(about.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(about.windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
    QVERIFY(!about.isVisible());
    const QRect screen = about.screen()->geometry();
    QCOMPARE(about.pos(), QPoint((screen.width() - 555) / 2, (screen.height() - 475) / 2));
}

void AboutWindowTest::controlsStandWhereTheLayoutPutsThem()
{
    TForm2 about;
    const struct {
        const char* Name;
        QRect Bounds;
    } controls[] = {
        {"Image1", QRect(24, 8, 48, 64)},    {"Bevel1", QRect(24, 80, 505, 345)}, {"Label3", QRect(32, 312, 489, 41)},
        {"Image2", QRect(176, 360, 233, 38)}, {"Memo2", QRect(32, 200, 313, 97)},  {"Memo1", QRect(32, 96, 361, 105)},
        {"Button1", QRect(248, 440, 75, 25)}, {"Edit1", QRect(232, 400, 129, 21)}, {"Panel1", QRect(360, 112, 161, 153)},
        {"Image3", QRect(8, 8, 145, 137)},
    };
    for (const auto& c : controls) {
        QWidget* widget = about.findChild<QWidget*>(QString::fromLatin1(c.Name));
        QVERIFY2(widget, c.Name);
        QCOMPARE(widget->geometry(), c.Bounds);
    }
    for (const char* name : {"Label1", "Label2", "Label4"})
        QVERIFY(about.findChild<QLabel*>(QString::fromLatin1(name)));
    QCOMPARE(about.Label1->pos(), QPoint(208, 8));
    QCOMPARE(about.Label2->pos(), QPoint(232, 40));
    QCOMPARE(about.Label4->pos(), QPoint(88, 56));
    // No text leaves the window, whichever face stands in for the named ones.
    for (const QLabel* label : about.findChildren<QLabel*>()) {
        const QRect shown = label->geometry().translated(label->parentWidget()->mapTo(&about, QPoint()));
        QVERIFY2(about.rect().contains(shown), qPrintable(label->objectName()));
        if (!label->wordWrap() && label->pixmap().isNull())
            QVERIFY2(QFontMetrics(label->font()).horizontalAdvance(label->text()) <= label->width(), qPrintable(label->objectName()));
    }
    QCOMPARE(about.Image3->parentWidget(), about.Panel1);
    // Tab order: Memo2, Memo1, Button1, Edit1.
    QCOMPARE(NextTabStop(about.Memo2), about.Memo1);
    QCOMPARE(NextTabStop(about.Memo1), about.Button1);
    QCOMPARE(NextTabStop(about.Button1), about.Edit1);
}

void AboutWindowTest::textsAndLook()
{
    TForm2 about;
    QCOMPARE(about.Label1->text(), QStringLiteral("Quorin Unit Packer"));
    QCOMPARE(about.Label1->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    QCOMPARE(about.Label1->font().pixelSize(), 19);
    QCOMPARE(about.Label2->text(), QStringLiteral("версия 0.1 альфа"));
    QCOMPARE(about.Label4->text(), QStringLiteral("Данная версия не поддерживает сертифицирование юнит-паков"));
    QCOMPARE(about.Label4->palette().color(QPalette::WindowText), QColor(128, 0, 0));
    QCOMPARE(about.Button1->text(), QStringLiteral("Закрыть"));
    QVERIFY(!about.Button1->isDefault() && !about.Button1->autoDefault());

    const QStringList description = about.Memo1->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(description.size(), 7);
    QCOMPARE(description[0], QStringLiteral("Программа разработана для упаковки  юнитов в "));
    QCOMPARE(description[1], QStringLiteral("юнит-паки формата Quorin"));
    QVERIFY(description[2].isEmpty());
    QVERIFY(about.Memo1->toPlainText().contains(QStringLiteral("example.org")));
    QCOMPARE(about.Memo2->toPlainText().split(QLatin1Char('\n')).size(), 5);
    QCOMPARE(about.Memo2->palette().color(QPalette::Text), QColor(128, 0, 0));
    for (QPlainTextEdit* memo : {about.Memo1, about.Memo2}) {
        QVERIFY(memo->isReadOnly());
        QCOMPARE(memo->frameShape(), QFrame::NoFrame);
    }
    QVERIFY(about.Edit1->text().endsWith(QStringLiteral("example.org")));
    // One forum address: every address the text names is the one in Edit1.
    static const QRegularExpression address(QStringLiteral("www\\.[^\\s]+"));
    for (const QRegularExpressionMatch& match : address.globalMatch(about.Memo1->toPlainText()))
        QCOMPARE(match.captured(), about.Edit1->text());
    QVERIFY(!about.Edit1->isReadOnly());
    QVERIFY(about.Edit1->font().underline());
    QCOMPARE(about.Edit1->palette().color(QPalette::Text), QColor(0, 0, 255));
    QVERIFY(about.Label3->wordWrap());
    QVERIFY(!about.Label3->text().isEmpty());
}

void AboutWindowTest::picturesAreLoaded()
{
    TForm2 about;
    QCOMPARE(QSize(about.Image1->Picture().Width(), about.Image1->Picture().Height()), QSize(48, 64));
    QVERIFY(about.Image1->Transparent());
    QVERIFY(about.Image1->Picture().Graphic()->Transparent());
    QCOMPARE(QSize(about.Image2->Picture().Width(), about.Image2->Picture().Height()), QSize(161, 38));
    QVERIFY(about.Image2->Stretch());
    QCOMPARE(QSize(about.Image3->Picture().Width(), about.Image3->Picture().Height()), QSize(140, 140));
    QVERIFY(about.Image3->Stretch());
    // The emblem's corner is its transparent colour: the window's face shows there.
    const QImage shot = about.grab().toImage();
    QCOMPARE(shot.pixelColor(24, 8 + 63), about.palette().color(QPalette::Window));
}

void AboutWindowTest::escDoesNotCloseAndEnterOnlyFromTheButton()
{
    TForm2 about;
    bool openAfterEsc = false, openAfterEnterInEdit = false;
    OnNextModal<TForm2>([&](TForm2* window) {
        QTest::keyClick(window, Qt::Key_Escape);
        openAfterEsc = window->isVisible();
        window->Edit1->setFocus();
        QTest::keyClick(window->Edit1, Qt::Key_Return);
        openAfterEnterInEdit = window->isVisible();
        window->Button1->setFocus();
        QTest::keyClick(window->Button1, Qt::Key_Return);
    });
    about.exec();
    QVERIFY(openAfterEsc);
    QVERIFY(openAfterEnterInEdit);
    QVERIFY(!about.isVisible());
}

void AboutWindowTest::closeButtonEndsTheModalLoopAndHides()
{
    TForm2 about;
    OnNextModal<TForm2>([](TForm2* window) { QTest::mouseClick(window->Button1, Qt::LeftButton); });
    about.exec();
    QVERIFY(!about.isVisible());
    OnNextModal<TForm2>([](TForm2* window) { window->close(); }); // the title bar's close button
    about.exec();
    QVERIFY(!about.isVisible());
}

} // namespace quorin

QUORIN_APP_TEST_MAIN(quorin::AboutWindowTest)
#include "AboutWindowTest.moc"
