#pragma once

#include <QObject>

#include <functional>
#include <memory>

namespace lexwick::test {

using TestFactory = std::function<std::unique_ptr<QObject>()>;

// Adds a test class to the executable; every registered class runs in one process.
bool registerTest(TestFactory factory);

// Runs every registered test class; the number of failed classes is the exit code.
int runRegisteredTests(int argc, char** argv);

} // namespace lexwick::test

#define LEXWICK_TEST(Class)                                                                        \
    static const bool lexwickRegistered##Class =                                                   \
        ::lexwick::test::registerTest([] { return std::unique_ptr<QObject>(new Class); });
