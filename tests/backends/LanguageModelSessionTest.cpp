#include "backends/LanguageModelSession.h"
#include "backends/SystemLanguageModel.h"
#include "core/HttpClient.h"
#include "support/BackgroundTestHttpServer.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

using namespace lexwick;
using namespace lexwick::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(lexwick::test::ScriptedReply)
Q_DECLARE_METATYPE(lexwick::GenerationOptions)
Q_DECLARE_METATYPE(lexwick::GenerationError::Kind)

namespace {

using Response = LanguageModelSession::Response;
using Kind = GenerationError::Kind;

const ScriptedReply listed = ScriptedReply::json(200, R"({"data":[{"id":"other"},{"id":"m"}]})");

ScriptedReply answer(const QByteArray& content)
{
    return ScriptedReply::json(200, R"({"choices":[{"message":{"role":"assistant","content":")" +
                                        content + R"("}}]})");
}

// The server lists the model "m", then answers the generation with the given reply.
struct Fixture {
    BackgroundTestHttpServer server;
    HttpClient client;
    SystemLanguageModel model{server.url(u"/v1"_s).toString(), u"m"_s, client,
                              SystemLanguageModel::Timing{
                                  .firstProbeBound = 5s, .probeTimeout = 5s, .probeInterval = 1h}};

    ~Fixture()
    {
        (void)QTest::qWaitFor([this] { return !model.isProbing(); }, 10'000);
    }

    Result<Response> respond(ScriptedReply models, ScriptedReply chat,
                             GenerationOptions options = {}, std::stop_token stop = {})
    {
        server.enqueue(std::move(models));
        server.enqueue(chat);
        server.setDefaultReply(chat); // also for QtNetwork's own second try after a drop
        return runTask(LanguageModelSession(model, u"Be brief."_s).respond(u"p"_s, options, stop))
            .value_or(std::unexpected(DecodingError{u"<did not finish>"_s}));
    }
};

// Loading a model can take a minute; the cancellation test relies on the wait being long.
static_assert(LanguageModelSession::generationTimeout >= std::chrono::minutes(5));

} // namespace

class LanguageModelSessionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A fresh look at the server, then one chat-completions request.
    void sendsOneChatCompletionsRequest_data()
    {
        QTest::addColumn<GenerationOptions>("options");
        QTest::addColumn<QStringList>("members");
        QTest::newRow("all unset")
            << GenerationOptions{} << QStringList{u"messages"_s, u"model"_s, u"stream"_s};
        QTest::newRow("all set") << GenerationOptions{.temperature = 0.5,
                                                      .maximumResponseTokens = 64}
                                 << QStringList{u"max_tokens"_s, u"messages"_s, u"model"_s,
                                                u"stream"_s, u"temperature"_s};
    }

    void sendsOneChatCompletionsRequest()
    {
        QFETCH(GenerationOptions, options);
        Fixture f;
        const Result<Response> result = f.respond(listed, answer(R"(  Hi there.\n)"), options);
        QVERIFY(result);
        QCOMPARE(result->content, u"  Hi there.\n"_s); // as written; the caller trims

        const QList<ReceivedRequest> requests = f.server.requests();
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[0].path, "/v1/models");
        QCOMPARE(requests[1].method + ' ' + requests[1].path, "POST /v1/chat/completions");
        QCOMPARE(requests[1].header("Content-Type"), "application/json");
        const QJsonObject body = requests[1].json();
        QTEST(body.keys(), "members");
        QCOMPARE(body[u"model"_s], u"m"_s);
        QCOMPARE(body[u"stream"_s], false);
        const QJsonArray expected{
            QJsonObject{{u"role"_s, u"system"_s}, {u"content"_s, u"Be brief."_s}},
            QJsonObject{{u"role"_s, u"user"_s}, {u"content"_s, u"p"_s}}};
        QCOMPARE(body[u"messages"_s].toArray(), expected);
        QCOMPARE(body[u"temperature"_s].toDouble(-1), options.temperature.value_or(-1));
        QCOMPARE(body[u"max_tokens"_s].toInt(-1), options.maximumResponseTokens.value_or(-1));
    }

    void failures_data()
    {
        QTest::addColumn<ScriptedReply>("models");
        QTest::addColumn<ScriptedReply>("chat");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("mentions");
        ScriptedReply cut = answer(QByteArray(2000, 'x'));
        cut.ending = ScriptedReply::Ending::dropMidBody;
        QTest::newRow("model not listed")
            << ScriptedReply::json(200, R"({"data":[]})") << answer("x") << Kind::modelUnavailable
            << u"not loaded"_s;
        QTest::newRow("error with a message")
            << listed << ScriptedReply::json(500, R"({"error":{"message":"model crashed"}})")
            << Kind::serverError << u"model crashed"_s;
        QTest::newRow("no choices") << listed << ScriptedReply::json(200, R"({"choices":[]})")
                                    << Kind::invalidAnswer << u"no answer"_s;
        QTest::newRow("server dies mid-answer")
            << listed << cut << Kind::connectionFailed << QString();
    }

    void failures()
    {
        QFETCH(ScriptedReply, models);
        QFETCH(ScriptedReply, chat);
        QFETCH(QString, mentions);
        Fixture f;
        const Result<Response> result = f.respond(models, chat);
        QVERIFY(!result && result.error().is<GenerationError>());
        const GenerationError& error = *result.error().as<GenerationError>();
        QTEST(error.kind, "kind");
        QVERIFY2(!error.description.isEmpty() && error.description.contains(mentions),
                 qPrintable(error.description));
        QCOMPARE(f.server.requests().size(), error.kind == Kind::modelUnavailable ? 1 : 2);
    }

    // Only the stop can end this within the test's deadline: the time-out is minutes.
    void cancellationEndsTheWaitAtOnce()
    {
        Fixture f;
        std::stop_source stop;
        QTimer::singleShot(100ms, [&stop] { stop.request_stop(); });
        const Result<Response> result = f.respond(
            listed, ScriptedReply::withEnding(ScriptedReply::Ending::never), {}, stop.get_token());
        QVERIFY(!result && result.error().is<GenerationError>());
        QCOMPARE(result.error().as<GenerationError>()->kind, Kind::cancelled);
        QCOMPARE(f.server.requests().size(), 2);
    }
};

LEXWICK_TEST(LanguageModelSessionTest)
#include "LanguageModelSessionTest.moc"
