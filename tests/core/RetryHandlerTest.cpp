#include "core/RetryHandler.h"
#include "support/LogCapture.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

#include <QCoroTimer>
#include <QRegularExpression>
#include <QTest>

#include <memory>
#include <vector>

using namespace lexwick;
using namespace lexwick::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

Error timeout(const QString& description = u"The request timed out."_s)
{
    return TransportError{TransportError::Kind::timedOut, description};
}

// Answers attempt i with outcome i (the last one repeats) and counts the attempts.
struct Script {
    std::vector<Result<QString>> outcomes;
    int attempts = 0;
};

QCoro::Task<Result<QString>> attempt(std::shared_ptr<Script> script)
{
    const auto index = std::min<size_t>(script->attempts++, script->outcomes.size() - 1);
    co_await QCoro::sleepFor(1ms); // a real suspension, as an HTTP exchange has
    co_return Result<QString>(script->outcomes[index]); // a copy: QCoro moves from lvalues
}

auto operation(const std::shared_ptr<Script>& script)
{
    return [script] { return attempt(script); };
}

std::shared_ptr<Script> script(std::vector<Result<QString>> outcomes)
{
    return std::make_shared<Script>(Script{std::move(outcomes)});
}

// A result type other than the system's strings.
struct IntScript {
    std::vector<Result<int>> outcomes;
    int attempts = 0;
};

QCoro::Task<Result<int>> attemptNumber(std::shared_ptr<IntScript> script)
{
    const auto index = std::min<size_t>(script->attempts++, script->outcomes.size() - 1);
    co_await QCoro::sleepFor(1ms);
    co_return Result<int>(script->outcomes[index]); // a copy: QCoro moves from lvalues
}

QCoro::Task<Result<void>> noSleep()
{
    co_return {};
}

// Records each pause instead of waiting for it.
RetryHandler::Sleeper recordingSleeper(std::shared_ptr<std::vector<std::chrono::nanoseconds>> log)
{
    return [log](std::chrono::nanoseconds pause, std::stop_token) {
        log->push_back(pause);
        return noSleep();
    };
}

RetryHandler instant(int maxAttempts = 3)
{
    return RetryHandler(
        maxAttempts, 1.0, 30.0,
        recordingSleeper(std::make_shared<std::vector<std::chrono::nanoseconds>>()));
}

Result<QString> run(QCoro::Task<Result<QString>> task)
{
    auto result = runTask(std::move(task), 20s);
    if (!result)
        return std::unexpected(Error(DecodingError{u"<did not finish>"_s}));
    return std::move(*result);
}

QString describe(const Result<QString>& result)
{
    return result ? u"value "_s + *result : u"error "_s + result.error().localizedDescription();
}

} // namespace

Q_DECLARE_METATYPE(lexwick::Error)

class RetryHandlerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void twoTimeOutsThenSuccess()
    {
        LogCapture log;
        auto s = script({std::unexpected(timeout()), std::unexpected(timeout()), u"done"_s});
        // Real (short) pauses through the default sleeper.
        const RetryHandler handler(3, 0.01, 30.0);
        const Result<QString> result = run(handler.execute(operation(s), {}));
        QCOMPARE(describe(result), u"value done"_s);
        QCOMPARE(s->attempts, 3);
        QCOMPARE(log.lines().size(), 2);
        const QRegularExpression line(
            uR"(^Lexwick: Retry attempt (\d)/3 after \d+\.\ds - The request timed out\.$)"_s);
        for (int i = 0; i < 2; ++i) {
            const auto match = line.match(log.lines()[i]);
            QVERIFY2(match.hasMatch(), qPrintable(log.lines()[i]));
            QCOMPARE(match.captured(1), QString::number(i + 1));
        }
    }

    void alwaysFailingEndsWithTheLastError()
    {
        LogCapture log;
        auto s =
            script({std::unexpected(timeout(u"first"_s)), std::unexpected(timeout(u"second"_s)),
                    std::unexpected(timeout(u"third"_s))});
        const Result<QString> result = run(instant().execute(operation(s), {}));
        QCOMPARE(describe(result), u"error third"_s);
        QVERIFY(result.error().is<TransportError>());
        QCOMPARE(s->attempts, 3);
        QCOMPARE(log.lines().size(), 2);
        QVERIFY(log.lines()[0].endsWith(u"s - first"));
        QVERIFY(log.lines()[1].endsWith(u"s - second"));
    }

    // The default classification, seen through what execute does with each error.
    void defaultClassification_data()
    {
        QTest::addColumn<Error>("error");
        QTest::addColumn<bool>("transient");
        using Kind = TransportError::Kind;
        const auto transport = [](Kind kind) { return Error(TransportError{kind, u"t"_s}); };
        QTest::newRow("timed out") << transport(Kind::timedOut) << true;
        QTest::newRow("connection lost") << transport(Kind::networkConnectionLost) << true;
        QTest::newRow("not connected") << transport(Kind::notConnectedToInternet) << true;
        QTest::newRow("cannot connect") << transport(Kind::cannotConnectToHost) << true;
        QTest::newRow("cannot find host") << transport(Kind::cannotFindHost) << true;
        QTest::newRow("transfer aborted") << transport(Kind::cancelled) << false;
        QTest::newRow("other transport") << transport(Kind::other) << false;
        QTest::newRow("retryable HTTP 503")
            << Error(RetryError{RetryError::Kind::retryableHTTPError, 503}) << true;
        QTest::newRow("retryable HTTP 418")
            << Error(RetryError{RetryError::Kind::retryableHTTPError, 418}) << true;
        QTest::newRow("max attempts reached")
            << Error(RetryError{RetryError::Kind::maxAttemptsReached}) << false;
        QTest::newRow("invalid response")
            << Error(RetryError{RetryError::Kind::invalidResponse}) << false;
        QTest::newRow("decoding") << Error(DecodingError{u"bad"_s}) << false;
        QTest::newRow("AIError httpError 503") << Error(AIError(AIError::HttpError{503})) << false;
        QTest::newRow("AIError wrapping a time-out")
            << Error(AIError::networkError(timeout())) << false;
        QTest::newRow("keychain") << Error(KeychainError{}) << false;
        QTest::newRow("generation")
            << Error(GenerationError{GenerationError::Kind::connectionFailed, u"g"_s, u"g"_s})
            << false;
    }

    void defaultClassification()
    {
        QFETCH(Error, error);
        QFETCH(bool, transient);
        QCOMPARE(RetryHandler::isRetryable(error), transient);

        LogCapture log;
        auto s = script({std::unexpected(error)});
        const Result<QString> result = run(instant().execute(operation(s), {}));
        QVERIFY(!result);
        QCOMPARE(result.error().value().index(), error.value().index());
        QCOMPARE(result.error().localizedDescription(), error.localizedDescription());
        QCOMPARE(s->attempts, transient ? 3 : 1);
        QCOMPARE(log.lines().size(), transient ? 2 : 0);
    }

    void predicateReplacesTheDefault()
    {
        LogCapture log;
        auto decoding = script({std::unexpected(DecodingError{u"bad"_s}), u"ok"_s});
        std::vector<QString> judged;
        const auto everything = [&judged](const Error& e) {
            judged.push_back(e.localizedDescription());
            return true;
        };
        QCOMPARE(describe(run(instant().execute(operation(decoding), everything, {}))),
                 u"value ok"_s);
        QCOMPARE(judged.size(), size_t(1));
        QCOMPARE(judged[0], u"bad"_s);

        auto timedOut = script({std::unexpected(timeout()), u"ok"_s});
        const auto nothing = [](const Error&) { return false; };
        QCOMPARE(describe(run(instant().execute(operation(timedOut), nothing, {}))),
                 u"error The request timed out."_s);
        QCOMPARE(timedOut->attempts, 1);
    }

    void cancelledDuringAPause()
    {
        LogCapture log;
        auto s = script({std::unexpected(timeout()), u"too late"_s});
        // A ten-second pause that ends within the deadline can only have been cut short.
        const RetryHandler handler(3, 10.0, 30.0);
        std::stop_source stop;
        QTimer::singleShot(100ms, [&stop] { stop.request_stop(); });
        const Result<QString> result = run(handler.execute(operation(s), stop.get_token()));
        QVERIFY(!result);
        QVERIFY(result.error().is<CancellationError>());
        QCOMPARE(s->attempts, 1);
        QCOMPARE(log.lines().size(), 1);
    }

    void cancellationIsNeverRetried()
    {
        LogCapture log;
        auto cancelled = script({std::unexpected(CancellationError{}), u"no"_s});
        // Even a predicate that calls everything transient does not retry a cancellation.
        const Result<QString> result =
            run(instant().execute(operation(cancelled), [](const Error&) { return true; }, {}));
        QVERIFY(!result && result.error().is<CancellationError>());
        QCOMPARE(cancelled->attempts, 1);
        QVERIFY(log.lines().isEmpty());

        auto never = script({u"no"_s});
        std::stop_source stop;
        stop.request_stop();
        const Result<QString> early = run(instant().execute(operation(never), stop.get_token()));
        QVERIFY(!early && early.error().is<CancellationError>());
        QCOMPARE(never->attempts, 0);
    }

    void attemptLimits_data()
    {
        QTest::addColumn<int>("maxAttempts");
        QTest::addColumn<int>("attempts");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("0") << 0 << 0 << u"error Maximum retry attempts reached"_s;
        QTest::newRow("-1") << -1 << 0 << u"error Maximum retry attempts reached"_s;
        QTest::newRow("1") << 1 << 1 << u"error The request timed out."_s;
        QTest::newRow("5") << 5 << 5 << u"error The request timed out."_s;
    }

    void attemptLimits()
    {
        QFETCH(int, maxAttempts);
        QFETCH(int, attempts);
        QFETCH(QString, outcome);
        LogCapture log;
        auto s = script({std::unexpected(timeout())});
        QCOMPARE(describe(run(instant(maxAttempts).execute(operation(s), {}))), outcome);
        QCOMPARE(s->attempts, attempts);
        QCOMPARE(log.lines().size(), std::max(attempts - 1, 0));
        if (maxAttempts == 5)
            QVERIFY(log.lines().last().startsWith(u"Lexwick: Retry attempt 4/5 after "));
    }

    void pausesDoubleWithJitter()
    {
        LogCapture log;
        QCOMPARE(RetryHandler().maxAttempts(), 3);
        QCOMPARE(RetryHandler().baseDelay(), 1.0);
        QCOMPARE(RetryHandler().maxDelay(), 30.0);

        auto pauses = std::make_shared<std::vector<std::chrono::nanoseconds>>();
        const RetryHandler handler(4, 1.0, 30.0, recordingSleeper(pauses));
        for (int round = 0; round < 20; ++round) {
            pauses->clear();
            auto s = script({std::unexpected(timeout())});
            run(handler.execute(operation(s), {}));
            QCOMPARE(pauses->size(), size_t(3));
            for (size_t i = 0; i < 3; ++i) {
                const auto raw = std::chrono::nanoseconds(1'000'000'000LL << i);
                QVERIFY((*pauses)[i] >= raw);
                QVERIFY((*pauses)[i] <= raw + raw / 4);
            }
        }
    }

    void pauseIsCapped()
    {
        LogCapture log;
        auto pauses = std::make_shared<std::vector<std::chrono::nanoseconds>>();
        const RetryHandler handler(3, 20.0, 30.0, recordingSleeper(pauses));
        auto s = script({std::unexpected(timeout())});
        run(handler.execute(operation(s), {}));
        QCOMPARE(pauses->size(), size_t(2));
        QVERIFY((*pauses)[0] >= 20s && (*pauses)[0] <= 25s);
        QCOMPARE((*pauses)[1], std::chrono::nanoseconds(30s));
        QCOMPARE(log.lines().size(), 2);
        QVERIFY(QRegularExpression(uR"(^Lexwick: Retry attempt 1/3 after 2[0-5]\.\ds - )"_s)
                    .match(log.lines()[0])
                    .hasMatch());
        QCOMPARE(log.lines()[1],
                 u"Lexwick: Retry attempt 2/3 after 30.0s - The request timed out."_s);
    }

    // execute keeps its own copy: the handler may go away while the pauses run.
    void handlerMayDieDuringExecution()
    {
        LogCapture log;
        auto s = std::make_shared<IntScript>(IntScript{{std::unexpected(timeout()), 7}});
        auto task = std::make_unique<RetryHandler>(3, 0.02, 30.0)
                        ->execute([s] { return attemptNumber(s); }, {});
        const auto result = runTask(std::move(task));
        QVERIFY(result && result->has_value());
        QCOMPARE(**result, 7);
    }

    void statusCodes_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("retryable");
        for (int code : {429, 500, 502, 503, 504})
            QTest::addRow("%d", code) << code << true;
        for (int code : {200, 400, 404, 408, 501, 505})
            QTest::addRow("%d", code) << code << false;
    }

    void statusCodes()
    {
        QFETCH(int, code);
        QFETCH(bool, retryable);
        QCOMPARE(RetryHandler::isRetryableStatusCode(code), retryable);
    }
};

LEXWICK_TEST(RetryHandlerTest)
#include "RetryHandlerTest.moc"
