#pragma once
// The window tests run under the tool's own application object, so failures
// that escape a handler reach the error box as they do in the program.

#include <QtTest>

#include "app/Application.h"

#define QUORIN_APP_TEST_MAIN(TestClass)                   \
    int main(int argc, char** argv)                       \
    {                                                     \
        quorin::TApplication application(argc, argv);     \
        TestClass test;                                   \
        return QTest::qExec(&test, argc, argv);           \
    }
