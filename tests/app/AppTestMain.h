#pragma once
// The window tests run under the tool's own application object, so failures
// that escape a handler reach the error box as they do in the program.

#include <QtTest>

#include "app/Application.h"
#include "app/Unit1.h"

namespace quorin::test {

// The main window on screen, without the About window its start timer
// would show (that is the start-up test's business).
inline std::unique_ptr<TForm1> ShowMainWindow()
{
    auto form = std::make_unique<TForm1>();
    form->Timer1->stop();
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        qWarning("the main window was not exposed");
    return form;
}

} // namespace quorin::test

#define QUORIN_APP_TEST_MAIN(TestClass)                   \
    int main(int argc, char** argv)                       \
    {                                                     \
        quorin::TApplication application(argc, argv);     \
        TestClass test;                                   \
        return QTest::qExec(&test, argc, argv);           \
    }
