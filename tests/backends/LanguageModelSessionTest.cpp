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
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(lexwick::test::ScriptedReply)
Q_DECLARE_METATYPE(lexwick::GenerationOptions)
Q_DECLARE_METATYPE(lexwick::GenerationError::Kind)

namespace {

using Kind = GenerationError::Kind;

const ScriptedReply listed = ScriptedReply::json(200, R"({"data":[{"id":"other"},{"id":"m"}]})");

ScriptedReply answer(const QByteArray& content)
{
    return ScriptedReply::json(200, R"({"choices":[{"message":{"content":")" + content + "\"}}]}");
}

struct Fixture {
    BackgroundTestHttpServer server;
    HttpClient client;
    SystemLanguageModel model{server.url(u"/v1"_s).toString(), u"m"_s, client};

    ~Fixture()
    {
        (void)QTest::qWaitFor([this] { return !model.isProbing(); }, 10'000);
    }

    // The server answers the look with models, the generation (and any try after) with chat.
    Result<LanguageModelSession::Response> respond(ScriptedReply models, ScriptedReply chat,
                                                   GenerationOptions options = {},
                                                   std::stop_token stop = {})
    {
        server.enqueue(std::move(models));
        server.setDefaultReply(std::move(chat));
        return runTask(LanguageModelSession(model, u"Be brief."_s).respond(u"p"_s, options, stop))
            .value_or(std::unexpected(DecodingError{u"<did not finish>"_s}));
    }
};

} // namespace

class LanguageModelSessionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sendsOneChatCompletionsRequest_data()
    {
        QTest::addColumn<GenerationOptions>("options");
        QTest::addColumn<QStringList>("members");
        QTest::newRow("unset") << GenerationOptions{}
                               << QStringList{u"messages"_s, u"model"_s, u"stream"_s};
        QTest::newRow("set") << GenerationOptions{.temperature = 0.5, .maximumResponseTokens = 64}
                             << QStringList{u"max_tokens"_s, u"messages"_s, u"model"_s, u"stream"_s,
                                            u"temperature"_s};
    }

    void sendsOneChatCompletionsRequest()
    {
        QFETCH(GenerationOptions, options);
        Fixture f;
        const auto result = f.respond(listed, answer(R"(  Hi there.\n)"), options);
        QCOMPARE(result ? result->content : QString(), u"  Hi there.\n"_s); // the caller trims
        const QList<ReceivedRequest> requests = f.server.requests();        // a fresh look first
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[1].method + ' ' + requests[1].path, "POST /v1/chat/completions");
        const QJsonObject body = requests[1].json();
        QTEST(body.keys(), "members");
        QCOMPARE(body[u"model"_s], u"m"_s);
        QCOMPARE(body[u"stream"_s], false);
        QCOMPARE(body[u"messages"_s].toArray(),
                 QJsonArray({QJsonObject{{u"role"_s, u"system"_s}, {u"content"_s, u"Be brief."_s}},
                             QJsonObject{{u"role"_s, u"user"_s}, {u"content"_s, u"p"_s}}}));
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
        QTest::newRow("server dies mid-answer")
            << listed << cut << Kind::connectionFailed << QString();
        // Only the stop can end a wait this long within the test's deadline.
        static_assert(LanguageModelSession::generationTimeout >= std::chrono::minutes(5));
        QTest::newRow("cancelled")
            << listed << ScriptedReply::withEnding(ScriptedReply::Ending::never) << Kind::cancelled
            << QString();
    }

    void failures()
    {
        QFETCH(ScriptedReply, models);
        QFETCH(ScriptedReply, chat);
        QFETCH(QString, mentions);
        Fixture f;
        std::stop_source stop;
        QTimer::singleShot(200, [&stop] { stop.request_stop(); });
        const auto result = f.respond(models, chat, {}, stop.get_token());
        const GenerationError* error = result ? nullptr : result.error().as<GenerationError>();
        QVERIFY(error);
        QTEST(error->kind, "kind");
        QVERIFY2(!error->description.isEmpty() && error->description.contains(mentions),
                 qPrintable(error->description));
        QCOMPARE(f.server.requests().size(), error->kind == Kind::modelUnavailable ? 1 : 2);
    }
};

LEXWICK_TEST(LanguageModelSessionTest)
#include "LanguageModelSessionTest.moc"
