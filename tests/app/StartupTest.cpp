// Start-up: the application title, and the order in which the program comes
// up: picture modules, Form1, Form2 hidden, the main window, then the About
// window shown modally once.

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "../dialogs/ModalDriver.h"
#include "AppTestMain.h"
#include "app/FlatGroupBox.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "dialogs/Image.h"

namespace quorin {

namespace {

// Watches every window's show: how Form2 stood when Form1 first came up,
// and how often Form2 came up.
class TShowWatch : public QObject {
public:
    bool Form1Shown = false;
    bool Form2ExistedThen = false;
    bool Form2HiddenThen = false;
    int Form2Shows = 0;

    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() != QEvent::Show)
            return false;
        if (object == Form1 && !Form1Shown) {
            Form1Shown = true;
            Form2ExistedThen = Form2 != nullptr;
            Form2HiddenThen = Form2 && !Form2->isVisible();
        }
        if (Form2 && object == Form2)
            ++Form2Shows;
        return false;
    }
};

// An object whose event handler fails.
class TFailingHandler : public QObject {
public:
    std::function<void()> Fail;
    bool event(QEvent*) override
    {
        Fail();
        return true;
    }
};

} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void titleFromTheProgramFile_data();
    void titleFromTheProgramFile();
    void applicationTitleIsThisProgramsName();
    void failureEscapingAHandlerReachesTheErrorBox();
    void abortIsDroppedSilently();
    void startsInOrderAndShowsAboutOnce();
};

void StartupTest::titleFromTheProgramFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    QTest::newRow("the program") << QStringLiteral("/opt/quorin/UnitPack") << QStringLiteral("Unitpack");
    QTest::newRow("with an extension") << QStringLiteral("/opt/quorin/UnitPack.exe") << QStringLiteral("Unitpack");
    QTest::newRow("cut at the first dot") << QStringLiteral("/x/My.Tool.exe") << QStringLiteral("My");
    QTest::newRow("a dot in the folder only") << QStringLiteral("/x.y/UNITPACK") << QStringLiteral("Unitpack");
    QTest::newRow("first letter kept as it is") << QStringLiteral("unitPack") << QStringLiteral("unitpack");
    QTest::newRow("Cyrillic") << QStringLiteral("/x/ПАКОВЩИК.exe") << QStringLiteral("Паковщик");
}

void StartupTest::titleFromTheProgramFile()
{
    QFETCH(QString, path);
    QFETCH(QString, title);
    QCOMPARE(ApplicationTitleFor(path), title);
}

void StartupTest::applicationTitleIsThisProgramsName()
{
    auto* application = qobject_cast<TApplication*>(QCoreApplication::instance());
    QVERIFY(application);
    QCOMPARE(application->Title(), QStringLiteral("app_startuptest")); // app_StartupTest: the first letter stays
}

void StartupTest::failureEscapingAHandlerReachesTheErrorBox()
{
    auto* application = qobject_cast<TApplication*>(QCoreApplication::instance());
    TFailingHandler handler;
    handler.Fail = [] { throw EFOpenError("Cannot open file /mods/hastati.cas"); };
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    test::OnNextModal<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->accept();
    });
    QEvent event(QEvent::User);
    QVERIFY(!QCoreApplication::sendEvent(&handler, &event)); // caught, the loop goes on
    QCOMPARE(title, application->Title());
    QCOMPARE(text, QStringLiteral("Cannot open file /mods/hastati.cas."));
    QCOMPARE(icon, QMessageBox::Critical);

    handler.Fail = [] { throw 42; }; // not a failure of ours: an empty message
    text = QStringLiteral("unset");
    test::OnNextModal<QMessageBox>([&](QMessageBox* box) {
        text = box->text();
        box->accept();
    });
    QCoreApplication::sendEvent(&handler, &event);
    QVERIFY(text.isEmpty());
}

void StartupTest::abortIsDroppedSilently()
{
    TFailingHandler handler;
    handler.Fail = [] { throw EAbort("silent"); };
    bool boxShown = false;
    QTimer watch; // closes any box that would appear, and says so
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            boxShown = true;
            box->close();
        }
    });
    watch.start(1);
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&handler, &event);
    watch.stop();
    QVERIFY(!boxShown);
}

void StartupTest::startsInOrderAndShowsAboutOnce()
{
    auto* application = qobject_cast<TApplication*>(QCoreApplication::instance());
    TShowWatch watch;
    application->installEventFilter(&watch);
    bool mainVisible = false, basicPageInFront = false, aboutModal = false, timerStopped = false;
    QSize background;

    test::OnNextModal<TForm2>([&](TForm2* about) {
        aboutModal = about == Form2;
        mainVisible = Form1->isVisible();
        const QList<TFlatGroupBox*> pages = Form1->findChildren<TFlatGroupBox*>(QString(), Qt::FindDirectChildrenOnly);
        basicPageInFront = !pages.isEmpty() && pages.back() == Form1->GroupBox1;
        background = QSize(Form1->Image1->Picture().Width(), Form1->Image1->Picture().Height());
        timerStopped = !Form1->Timer1->isActive();
        about->Button1->click();
        // Give the loop room to fire the timer again if it could, then end.
        QTimer::singleShot(50, Form1, [] { Form1->close(); });
    });

    QCOMPARE(RunUnitPack(*application), 0);
    application->removeEventFilter(&watch);
    QVERIFY(watch.Form1Shown);
    QVERIFY(watch.Form2ExistedThen);
    QVERIFY(watch.Form2HiddenThen);
    QVERIFY(aboutModal);
    QVERIFY(mainVisible);
    QVERIFY(basicPageInFront);
    QVERIFY(timerStopped);
    // The background was decoded through the registry, so the modules ran first.
    QCOMPARE(background, QSize(800, 600));
    QCOMPARE(watch.Form2Shows, 1);
    QVERIFY(!Form2->isVisible());
}

} // namespace quorin

QUORIN_APP_TEST_MAIN(quorin::StartupTest)
#include "StartupTest.moc"
