// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTest>

namespace lexwick::test {

// Isolates the run from the user's own files.
void prepareTestRun();

template <typename Application, typename Test> int runTest(int argc, char** argv)
{
    Application app(argc, argv);
    prepareTestRun();
    Test test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace lexwick::test

// The executable's main: one test class per executable, so Qt Test's own options (a function
// name, -functions, -o file,format) apply to that class alone.
#define LEXWICK_TEST(Class)                                                                        \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        return ::lexwick::test::runTest<QCoreApplication, Class>(argc, argv);                      \
    }

// The same for tests that need a GUI application (clipboard, windows).
#define LEXWICK_GUI_TEST(Class)                                                                    \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        return ::lexwick::test::runTest<QGuiApplication, Class>(argc, argv);                       \
    }
