#include "Application.h"

#include <new>

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
    // Qt's texts are English already: in Russian its dialogs need qtbase_ru.
    (void)qtTexts_.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (!windowTexts_.load(QStringLiteral(":/translations/unitpack_en.qm")))
        qWarning("the window's English texts are missing from the program");
    commandLine_ = ParseCommandLine(arguments());
    if (!commandLine_.Error.isEmpty())
        qWarning("%s", qPrintable(commandLine_.Error));
    SetLanguage(StartLanguage(commandLine_));
}

void TApplication::SetLanguage(TLanguage language)
{
    if (languageSet_ && language == language_)
        return;
    languageSet_ = true;
    language_ = language;
    // Each removal or install tells every window of the change.
    removeTranslator(&windowTexts_);
    removeTranslator(&qtTexts_);
    QTranslator& wanted = language == TLanguage::English ? windowTexts_ : qtTexts_;
    if (!wanted.isEmpty())
        installTranslator(&wanted);
    // Qt posts the news to each window; they have heard it when this returns.
    sendPostedEvents(nullptr, QEvent::LanguageChange);
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
    ShowErrorBox(FailureText(failure), title_);
}

QString FailureText(const std::exception& failure)
{
    // The library's own text for it ("std::bad_alloc") says nothing to a user.
    if (dynamic_cast<const std::bad_alloc*>(&failure))
        return QStringLiteral("Out of memory");
    return QString::fromUtf8(failure.what());
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

TLanguage WindowLanguage()
{
    const auto* application = qobject_cast<const TApplication*>(QCoreApplication::instance());
    return application ? application->Language() : TLanguage::Russian;
}

void RunHandler(const std::function<void()>& handler)
{
    auto report = [](const std::exception& failure) {
        if (auto* application = qobject_cast<TApplication*>(QCoreApplication::instance()))
            application->HandleEventFailure(failure);
        else if (!dynamic_cast<const EAbort*>(&failure))
            ShowErrorBox(FailureText(failure), QCoreApplication::applicationName());
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
    const QString file = application.CommandLine().File;
    if (!file.isEmpty() && Form1)
        QTimer::singleShot(0, Form1, [file] { RunHandler([&] { Form1->OpenUnit(file); }); });
    return application.Run();
}

} // namespace quorin
