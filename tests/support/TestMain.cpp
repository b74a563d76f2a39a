#include "TestMain.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QTest>

#include <vector>

namespace lexwick::test {

namespace {

std::vector<TestFactory>& registry()
{
    static std::vector<TestFactory> factories;
    return factories;
}

} // namespace

bool registerTest(TestFactory factory)
{
    registry().push_back(std::move(factory));
    return true;
}

int runRegisteredTests(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true);
    int failed = 0;
    for (const TestFactory& factory : registry()) {
        std::unique_ptr<QObject> test = factory();
        if (QTest::qExec(test.get(), argc, argv) != 0)
            ++failed;
    }
    return failed;
}

} // namespace lexwick::test
