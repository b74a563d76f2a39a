// SPDX-License-Identifier: MIT
#include "core/RetryHandler.h"
#include "support/LogCapture.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

#include <QCoroTimer>
#include <QTest>

using namespace lexwick;
using namespace lexwick::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

using Kind = TransportError::Kind;

// Attempt i answers as script[i - 1] says (the last letter repeats): t and x fail with a
// time-out and with a failure that is not transient, both called "failure i"; "." is "done".
struct Script {
    QString script;
    int attempts = 0;

    QCoro::Task<Result<QString>> operator()()
    {
        const QChar c = script[std::min<qsizetype>(attempts++, script.size() - 1)];
        co_await QCoro::sleepFor(1ms); // a real suspension, as an HTTP exchange has
        if (c == u'.')
            co_return u"done"_s;
        const QString failure = u"failure %1"_s.arg(attempts);
        co_return std::unexpected(
            TransportError{c == u't' ? Kind::timedOut : Kind::other, failure});
    }
};

QString run(QCoro::Task<Result<QString>> task)
{
    const auto r = runTask(std::move(task)).value_or(std::unexpected(DecodingError{u"hung"_s}));
    return r ? u"value "_s + *r : u"error "_s + r.error().localizedDescription();
}

} // namespace

class RetryHandlerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void attempts_data()
    {
        QTest::addColumn<int>("limit"); // maxAttempts
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("attempts");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("two time-outs, then the answer") << 3 << u"tt."_s << 3 << u"value done"_s;
        QTest::newRow("always failing") << 3 << u"ttt"_s << 3 << u"error failure 3"_s;
        QTest::newRow("not transient") << 3 << u"x."_s << 1 << u"error failure 1"_s;
        QTest::newRow("max 0") << 0 << u"t"_s << 0 << u"error Maximum retry attempts reached"_s;
        QTest::newRow("max 1") << 1 << u"t."_s << 1 << u"error failure 1"_s;
        QTest::newRow("max 5") << 5 << u"t"_s << 5 << u"error failure 5"_s;
    }

    void attempts()
    {
        QFETCH(int, limit);
        QFETCH(QString, script);
        QFETCH(int, attempts);
        LogCapture log;
        Script s{script};
        // Real pauses (of 0s) through the default timer; the handler is gone before they run.
        auto task = RetryHandler(limit, 0.0, 30.0).execute(std::ref(s), {});
        QTEST(run(std::move(task)), "outcome");
        QCOMPARE(s.attempts, attempts);
        QStringList logged; // numbered, with the error of that attempt
        for (int i = 1; i < attempts; ++i)
            logged << u"Lexwick: Retry attempt %1/%2 after 0.0s - failure %1"_s.arg(i).arg(limit);
        QCOMPARE(log.lines(), logged);
        for (const LogCapture::Entry& entry : log.entries()) {
            QCOMPARE(entry.type, QtWarningMsg);
            QCOMPARE(entry.category, u"lexwick.http"_s);
        }
    }

    void classification_data()
    {
        QTest::addColumn<bool>("judged");
        QTest::addColumn<bool>("transient");
        using RetryKind = RetryError::Kind;
        const auto judge = &RetryHandler::isRetryable;
        for (Kind kind : {Kind::timedOut, Kind::networkConnectionLost, Kind::notConnectedToInternet,
                          Kind::cannotConnectToHost, Kind::cannotFindHost})
            QTest::addRow("transport %d", int(kind)) << judge(TransportError{kind}) << true;
        for (Kind kind : {Kind::cancelled, Kind::other})
            QTest::addRow("transport %d", int(kind)) << judge(TransportError{kind}) << false;
        QTest::newRow("HTTP") << judge(RetryError{RetryKind::retryableHTTPError, 503}) << true;
        QTest::newRow("max attempts") << judge(RetryError{RetryKind::maxAttemptsReached}) << false;
        const QList<int> transient{429, 500, 502, 503, 504};
        for (int code : {200, 400, 404, 408, 429, 500, 501, 502, 503, 504})
            QTest::addRow("status %d", code)
                << RetryHandler::isRetryableStatusCode(code) << transient.contains(code);
    }

    void classification()
    {
        QFETCH(bool, judged);
        QTEST(judged, "transient");
    }

    // Each pause doubles the one before and is stretched by up to a quarter, never beyond the
    // cap; recorded through the sleeper, not waited for.
    void pauses_data()
    {
        QTest::addColumn<double>("base");
        QTest::addColumn<QList<double>>("lowest");
        QTest::addColumn<QList<double>>("highest");
        QTest::newRow("default policy") << 1.0 << QList{1.0, 2.0, 4.0} << QList{1.25, 2.5, 5.0};
        QTest::newRow("capped at 30") << 20.0 << QList{20.0, 30.0, 30.0} << QList{25.0, 30.0, 30.0};
    }

    void pauses()
    {
        QFETCH(double, base);
        QFETCH(QList<double>, lowest);
        QFETCH(QList<double>, highest);
        QList<QList<double>> runs;
        const auto record = [&runs](std::chrono::nanoseconds pause,
                                    std::stop_token) -> QCoro::Task<Result<void>> {
            runs.last() << std::chrono::duration<double>(pause).count();
            co_return {};
        };
        LogCapture log;
        for (int i = 0; i < 20; ++i) {
            runs.append(QList<double>());
            Script s{u"t"_s};
            run(RetryHandler(4, base, 30.0, record).execute(std::ref(s), {}));
            QCOMPARE(runs.last().size(), 3);
            for (int k = 0; k < 3; ++k)
                QVERIFY2(lowest[k] <= runs.last()[k] && runs.last()[k] <= highest[k],
                         qPrintable(QString::number(runs.last()[k])));
        }
        // The jitter is drawn afresh: twenty runs do not all pause alike.
        QVERIFY(std::ranges::any_of(runs, [&runs](const auto& r) { return r != runs[0]; }));
    }
};

LEXWICK_TEST(RetryHandlerTest)
#include "RetryHandlerTest.moc"
