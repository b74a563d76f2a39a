// SPDX-License-Identifier: MIT
#include "core/SignalWait.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

#include <QElapsedTimer>
#include <QTest>

using namespace lexwick;
using namespace lexwick::test;

namespace {

// Waits once for the object's name to change, counting how often it went on after the wait.
QCoro::Task<bool> waitForName(QObject& object, std::chrono::milliseconds timeout, int& resumed,
                              bool renameFirst = false)
{
    SignalWait wait(&object, &QObject::objectNameChanged, timeout);
    if (renameFirst)
        object.setObjectName(QStringLiteral("before the wait"));
    const bool changed = co_await std::move(wait);
    ++resumed;
    co_return changed;
}

} // namespace

class SignalWaitTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A signal emitted twice in a row ends the wait once; the second emission, queued behind
    // the first, finds the wait gone and does nothing (with qCoro's wait it ran in freed memory).
    void twoEmissionsEndOneWait()
    {
        QObject object;
        int resumed = 0;
        auto task = waitForName(object, std::chrono::seconds(5), resumed);
        object.setObjectName(QStringLiteral("one"));
        object.setObjectName(QStringLiteral("two"));
        QCOMPARE(runTask(std::move(task)), std::optional(true));
        QTest::qWait(50); // whatever was still queued
        QCOMPARE(resumed, 1);
    }

    // Nothing comes: false once the time is up, not before; an emission between making the wait
    // and awaiting it is not lost.
    void timeOutAndEarlyEmission()
    {
        QObject object;
        int resumed = 0;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(runTask(waitForName(object, std::chrono::milliseconds(200), resumed)),
                 std::optional(false));
        QVERIFY(clock.elapsed() >= 190);
        QCOMPARE(runTask(waitForName(object, std::chrono::seconds(5), resumed, true)),
                 std::optional(true));
        QCOMPARE(resumed, 2);
    }
};

LEXWICK_TEST(SignalWaitTest)
#include "SignalWaitTest.moc"
