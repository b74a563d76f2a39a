#include "core/CancellableSleep.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

#include <QTest>

#include <thread>

using namespace lexwick;
using namespace std::chrono_literals;
using lexwick::test::runTask;

class CancellableSleepTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sleepsToItsEnd()
    {
        const auto result = runTask(cancellableSleep(20ms, {}));
        QVERIFY(result.has_value());
        QVERIFY(result->has_value());
    }

    // A one-hour sleep that ends within the test's deadline can only have been cut short.
    void stopEndsTheSleepEarly()
    {
        std::stop_source stop;
        QTimer::singleShot(50ms, [&stop] { stop.request_stop(); });
        const auto result = runTask(cancellableSleep(1h, stop.get_token()), 10s);
        QVERIFY(result.has_value());
        QVERIFY(!result->has_value());
        QVERIFY(result->error().is<CancellationError>());
    }

    void stopFromAnotherThread()
    {
        std::stop_source stop;
        std::jthread canceller([&stop] {
            std::this_thread::sleep_for(50ms);
            stop.request_stop();
        });
        const auto result = runTask(cancellableSleep(1h, stop.get_token()), 10s);
        QVERIFY(result.has_value());
        QVERIFY(result->error().is<CancellationError>());
    }

    void alreadyStopped()
    {
        std::stop_source stop;
        stop.request_stop();
        const auto result = runTask(cancellableSleep(1h, stop.get_token()), 10s);
        QVERIFY(result.has_value());
        QVERIFY(result->error().is<CancellationError>());
    }
};

LEXWICK_TEST(CancellableSleepTest)
#include "CancellableSleepTest.moc"
