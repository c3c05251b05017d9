#pragma once
// The application object: its title, the windows it owns, and the last line
// of failure handling, which shows whatever a handler let escape.

#include <QApplication>
#include <QString>
#include <QTranslator>
#include <exception>
#include <functional>
#include <memory>

#include "Language.h"
#include "base/Exception.h"

namespace quorin {

class TForm1;
class TForm2;

// The silent failure: it ends a handler and is dropped without a box.
class EAbort : public Exception { using Exception::Exception; };

// The title for a program file: no folder, cut at the first ".", every
// character after the first in lower case ("UnitPack.exe" gives "Unitpack").
QString ApplicationTitleFor(const QString& programPath);

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    const QString& Title() const { return title_; }
    // The program's arguments as the window program reads them.
    const TCommandLine& CommandLine() const { return commandLine_; }

    // The window's language, Qt's own dialogs and boxes with it: the open
    // windows are told (QEvent::LanguageChange) and say everything anew.
    TLanguage Language() const { return language_; }
    void SetLanguage(TLanguage language);

    // Delivers the event; a failure that escapes its handler goes to
    // HandleEventFailure and the event loop goes on.
    bool notify(QObject* receiver, QEvent* event) override;
    void HandleEventFailure(const std::exception& failure);
    void ShowFailureBox(const std::exception& failure);

    // The main window Form1, then the About window Form2, hidden.
    void CreateForms();
    // Shows the main window and runs the event loop until it is closed.
    int Run();

private:
    QString title_;
    TCommandLine commandLine_;
    TLanguage language_ = TLanguage::Russian;
    bool languageSet_ = false;
    QTranslator windowTexts_; // the window's English texts
    QTranslator qtTexts_;     // Qt's own dialogs and boxes in Russian
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm2> form2_;
};

// The error box's text for a failure: its message, or "Out of memory" when
// memory ran out.
QString FailureText(const std::exception& failure);

// Runs one event handler to its end or its failure. A failure goes to the
// application's HandleEventFailure here, so it never unwinds through Qt's
// signal and event code, which is not built for it.
void RunHandler(const std::function<void()>& handler);

// The running application's language; Russian without one.
TLanguage WindowLanguage();

// Connects a window's handler through RunHandler.
template <typename Sender, typename Signal, typename Receiver>
void ConnectHandler(Sender* sender, Signal signal, Receiver* receiver, void (Receiver::*handler)())
{
    QObject::connect(sender, signal, receiver, [receiver, handler] { RunHandler([&] { (receiver->*handler)(); }); });
}

// The whole start-up after the application object: the picture modules, the
// windows, then the event loop. Returns the loop's exit code.
int RunUnitPack(TApplication& application);

} // namespace quorin
