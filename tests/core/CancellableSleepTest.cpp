// SPDX-License-Identifier: MIT
#include "core/CancellableSleep.h"
#include "support/TestMain.h"

#include <QTest>

#include <thread>

using namespace lexwick;
using namespace std::chrono_literals;

namespace {

QCoro::Task<void> sleepInto(std::chrono::milliseconds duration, std::stop_token stop,
                            std::optional<Result<void>>& outcome)
{
    auto sleeping = cancellableSleep(duration, std::move(stop));
    outcome = co_await std::move(sleeping);
}

} // namespace

class CancellableSleepTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A long sleep is still asleep after a short while, and the stop ends it at once, from
    // wherever it comes.
    void sleepsUntilStopped_data()
    {
        QTest::addColumn<int>("from"); // 0: before the sleep, 1: this thread, 2: another one
        QTest::newRow("already stopped") << 0;
        QTest::newRow("this thread") << 1;
        QTest::newRow("another thread") << 2;
    }

    void sleepsUntilStopped()
    {
        QFETCH(int, from);
        std::stop_source stop;
        if (from == 0)
            stop.request_stop();
        std::optional<Result<void>> outcome;
        sleepInto(1h, stop.get_token(), outcome);
        if (from != 0) {
            QTest::qWait(100);
            QVERIFY(!outcome);
            if (from == 1)
                stop.request_stop();
            else
                std::jthread([&stop] { stop.request_stop(); }).join();
        }
        QTRY_VERIFY_WITH_TIMEOUT(outcome.has_value(), 10000);
        QVERIFY(!outcome->has_value() && outcome->error().is<CancellationError>());
    }
};

LEXWICK_TEST(CancellableSleepTest)
#include "CancellableSleepTest.moc"
