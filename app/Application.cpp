#include "Application.h"

#include <QFileInfo>
#include <QTimer>
#include <QLibraryInfo>
#include <QLocale>

#include "Controls.h"
#include "Unit1.h"
#include "Unit2.h"
#include "dialogs/ErrorBox.h"
#include "imaging/PictureModules.h"

namespace quorin {

QString ApplicationTitleFor(const QString& programPath)
{
    QString name = QFileInfo(programPath).fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    return name.left(1) + name.mid(1).toLower();
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    title_ = ApplicationTitleFor(applicationFilePath());
    setApplicationName(title_);
    RegisterWindowFonts();
    // The window speaks Russian; Qt's file dialogs and boxes should too.
    if (qtTexts_.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(&qtTexts_);
}

TApplication::~TApplication()
{
    Form2 = nullptr;
    Form1 = nullptr;
    form2_.reset();
    form1_.reset();
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& failure) {
        HandleEventFailure(failure);
    } catch (...) {
        HandleEventFailure(Exception(std::string()));
    }
    return false;
}

void TApplication::HandleEventFailure(const std::exception& failure)
{
    if (dynamic_cast<const EAbort*>(&failure))
        return;
    ShowFailureBox(failure);
}

void TApplication::ShowFailureBox(const std::exception& failure)
{
    ShowErrorBox(QString::fromUtf8(failure.what()), title_);
}

void TApplication::CreateForms()
{
    form1_ = std::make_unique<TForm1>();
    Form1 = form1_.get();
    form2_ = std::make_unique<TForm2>();
    Form2 = form2_.get();
}

int TApplication::Run()
{
    if (Form1)
        Form1->show();
    return exec();
}

void RunHandler(const std::function<void()>& handler)
{
    auto report = [](const std::exception& failure) {
        if (auto* application = qobject_cast<TApplication*>(QCoreApplication::instance()))
            application->HandleEventFailure(failure);
        else if (!dynamic_cast<const EAbort*>(&failure))
            ShowErrorBox(QString::fromUtf8(failure.what()), QCoreApplication::applicationName());
    };
    try {
        handler();
    } catch (const std::exception& failure) {
        report(failure);
    } catch (...) {
        report(Exception(std::string()));
    }
}

int RunUnitPack(TApplication& application)
{
    StartPictureModules();
    application.CreateForms();
    // "UnitPack FILE", as a file manager's "Open with" starts it.
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1 && Form1) {
        const QString file = arguments.at(1);
        QTimer::singleShot(0, Form1, [file] { RunHandler([&] { Form1->OpenUnit(file); }); });
    }
    return application.Run();
}

} // namespace quorin
