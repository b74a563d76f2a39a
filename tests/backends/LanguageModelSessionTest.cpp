#include "backends/LanguageModelSession.h"
#include "backends/SystemLanguageModel.h"
#include "core/HttpClient.h"
#include "support/BackgroundTestHttpServer.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
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

ScriptedReply models(const QStringList& ids)
{
    QJsonArray data;
    for (const QString& id : ids)
        data.append(QJsonObject{{u"id"_s, id}});
    return ScriptedReply::json(200, QJsonDocument(QJsonObject{{u"data"_s, data}}).toJson());
}

ScriptedReply answer(const QString& content)
{
    const QJsonObject message{{u"role"_s, u"assistant"_s}, {u"content"_s, content}};
    return ScriptedReply::json(
        200,
        QJsonDocument(QJsonObject{{u"choices"_s, QJsonArray{QJsonObject{{u"message"_s, message}}}}})
            .toJson());
}

struct Fixture {
    BackgroundTestHttpServer server;
    HttpClient client;
    SystemLanguageModel model;

    explicit Fixture(const QString& modelName = u"m"_s)
        : model(server.url(u"/v1"_s).toString(), modelName, client,
                {.firstProbeBound = 5s, .probeTimeout = 5s, .probeInterval = 1h})
    {
    }

    ~Fixture()
    {
        (void)QTest::qWaitFor([this] { return !model.isProbing(); }, 10'000);
    }

    Result<Response> respond(const QString& prompt, GenerationOptions options = {},
                             std::stop_token stop = {})
    {
        auto result = runTask(
            LanguageModelSession(model, u"Be brief."_s).respond(prompt, options, stop), 20s);
        if (!result)
            return std::unexpected(Error(DecodingError{u"<did not finish>"_s}));
        return std::move(*result);
    }
};

// Loading a model can take a minute; the cancellation test relies on the wait being long.
static_assert(LanguageModelSession::generationTimeout >= std::chrono::minutes(5));

const GenerationError* generationError(const Result<Response>& result)
{
    return result ? nullptr : result.error().as<GenerationError>();
}

} // namespace

class LanguageModelSessionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sendsOneChatCompletionsRequest_data()
    {
        QTest::addColumn<GenerationOptions>("options");
        QTest::addColumn<QStringList>("members");
        const QStringList always{u"messages"_s, u"model"_s, u"stream"_s};
        QTest::newRow("all unset, as the application uses it") << GenerationOptions{} << always;
        QTest::newRow("temperature set")
            << GenerationOptions{.temperature = 0.5}
            << QStringList{u"messages"_s, u"model"_s, u"stream"_s, u"temperature"_s};
        QTest::newRow("token limit set")
            << GenerationOptions{.maximumResponseTokens = 64}
            << QStringList{u"max_tokens"_s, u"messages"_s, u"model"_s, u"stream"_s};
    }

    void sendsOneChatCompletionsRequest()
    {
        QFETCH(GenerationOptions, options);
        QFETCH(QStringList, members);
        Fixture f;
        f.server.enqueue(models({u"other"_s, u"m"_s}));
        f.server.enqueue(answer(u"  Hi there.\n"_s));
        const QString prompt = u" Hello,\n\"world\" \u00e9 "_s;

        const Result<Response> result = f.respond(prompt, options);
        QVERIFY(result);
        QCOMPARE(result->content, u"  Hi there.\n"_s); // as written; the caller trims

        const QList<ReceivedRequest> requests = f.server.requests();
        QCOMPARE(requests.size(), 2); // a fresh look, then the generation
        QCOMPARE(requests[0].path, "/v1/models");
        const ReceivedRequest& chat = requests[1];
        QCOMPARE(chat.method, "POST");
        QCOMPARE(chat.path, "/v1/chat/completions");
        QCOMPARE(chat.header("Content-Type"), "application/json");
        QVERIFY(chat.header("Authorization").isEmpty());

        const QJsonObject body = chat.json();
        QCOMPARE(body.keys(), members);
        QCOMPARE(body[u"model"_s].toString(), u"m"_s);
        QVERIFY(body[u"stream"_s].isBool());
        QCOMPARE(body[u"stream"_s].toBool(), false);
        const QJsonArray expected{
            QJsonObject{{u"role"_s, u"system"_s}, {u"content"_s, u"Be brief."_s}},
            QJsonObject{{u"role"_s, u"user"_s}, {u"content"_s, prompt}}};
        QCOMPARE(body[u"messages"_s].toArray(), expected);
        if (options.temperature)
            QCOMPARE(body[u"temperature"_s].toDouble(), *options.temperature);
        if (options.maximumResponseTokens)
            QCOMPARE(body[u"max_tokens"_s].toInt(), *options.maximumResponseTokens);
    }

    void withoutANameTheFirstListedModelAnswers()
    {
        Fixture f{QString()};
        f.server.enqueue(models({u"first"_s, u"second"_s}));
        f.server.enqueue(answer(u"ok"_s));
        QVERIFY(f.respond(u"p"_s));
        QCOMPARE(f.server.requests()[1].json()[u"model"_s].toString(), u"first"_s);
    }

    void failures_data()
    {
        QTest::addColumn<ScriptedReply>("modelsReply");
        QTest::addColumn<ScriptedReply>("chatReply");
        QTest::addColumn<GenerationError::Kind>("kind");
        QTest::addColumn<QString>("mentions");
        QTest::addColumn<bool>("generationSent");
        using Kind = GenerationError::Kind;
        using Ending = ScriptedReply::Ending;
        const ScriptedReply listed = models({u"m"_s});
        const auto ending = [](Ending e) { return ScriptedReply::withEnding(e); };

        QTest::newRow("model not listed") << models({u"other"_s}) << answer(u"x"_s)
                                          << Kind::modelUnavailable << u"not loaded"_s << false;
        QTest::newRow("server still loading") << ScriptedReply::json(503, {}) << answer(u"x"_s)
                                              << Kind::modelUnavailable << u"not loaded"_s << false;
        QTest::newRow("error with a message")
            << listed << ScriptedReply::json(500, R"({"error":{"message":"model crashed"}})")
            << Kind::serverError << u"model crashed"_s << true;
        QTest::newRow("error without a message")
            << listed << ScriptedReply::json(404, "404 page not found") << Kind::serverError
            << u"HTTP 404"_s << true;
        QTest::newRow("answer not JSON") << listed << ScriptedReply::json(200, "{\"choices\": [")
                                         << Kind::invalidAnswer << QString() << true;
        QTest::newRow("no choices") << listed << ScriptedReply::json(200, R"({"choices":[]})")
                                    << Kind::invalidAnswer << u"no answer"_s << true;
        QTest::newRow("server dies before answering")
            << listed << ending(Ending::dropBeforeAnswer) << Kind::connectionFailed << QString()
            << true;
        ScriptedReply cut = answer(QString(2000, u'x'));
        cut.ending = Ending::dropMidBody;
        QTest::newRow("server dies mid-answer")
            << listed << cut << Kind::connectionFailed << QString() << true;
    }

    void failures()
    {
        QFETCH(ScriptedReply, modelsReply);
        QFETCH(ScriptedReply, chatReply);
        QFETCH(GenerationError::Kind, kind);
        QFETCH(QString, mentions);
        QFETCH(bool, generationSent);
        Fixture f;
        f.server.enqueue(modelsReply);
        f.server.enqueue(chatReply);
        // Also for QtNetwork's own second try after a connection dropped without an answer.
        f.server.setDefaultReply(chatReply);

        const Result<Response> result = f.respond(u"p"_s);
        const GenerationError* error = generationError(result);
        QVERIFY(error);
        QCOMPARE(error->kind, kind);
        QVERIFY(!error->description.isEmpty());
        QVERIFY2(error->description.contains(mentions), qPrintable(error->description));
        QVERIFY(error->debugDescription.startsWith(u"GenerationError."));
        QVERIFY(!error->debugDescription.contains(u"cancelled"));
        QCOMPARE(result.error().localizedDescription(), error->description);
        const QList<ReceivedRequest> received = f.server.requests();
        QCOMPARE(std::ranges::any_of(
                     received, [](const auto& r) { return r.path == "/v1/chat/completions"; }),
                 generationSent);
    }

    // A failed generation makes the model look at its server again, so that the next question
    // learns that it is gone.
    void failedGenerationRefreshesTheAnswer()
    {
        Fixture f;
        f.server.enqueue(models({u"m"_s}));
        ScriptedReply cut = answer(QString(2000, u'x'));
        cut.ending = ScriptedReply::Ending::dropMidBody;
        f.server.enqueue(cut);
        f.server.setDefaultReply(ScriptedReply::json(200, "gone wrong"));
        QSignalSpy changed(&f.model, &SystemLanguageModel::availabilityChanged);

        QVERIFY(!f.respond(u"p"_s));
        QVERIFY(changed.wait(5000));
        QVERIFY(!f.model.isAvailable());
        QCOMPARE(f.server.requests().size(), 3);
    }

    void cancellationEndsTheWaitAtOnce()
    {
        Fixture f;
        f.server.enqueue(models({u"m"_s}));
        f.server.enqueue(ScriptedReply::withEnding(ScriptedReply::Ending::never));
        std::stop_source stop;
        QTimer::singleShot(100ms, [&stop] { stop.request_stop(); });
        // Only the stop can end this within the test's deadline: the time-out is minutes.
        const Result<Response> result = f.respond(u"p"_s, {}, stop.get_token());
        const GenerationError* error = generationError(result);
        QVERIFY(error);
        QCOMPARE(error->kind, GenerationError::Kind::cancelled);
        QVERIFY(error->debugDescription.contains(u"cancelled"));
        QVERIFY(!error->description.isEmpty());
        QCOMPARE(f.server.requests().size(), 2);

        std::stop_source early;
        early.request_stop();
        const Result<Response> stopped = f.respond(u"p"_s, {}, early.get_token());
        const GenerationError* before = generationError(stopped);
        QVERIFY(before);
        QCOMPARE(before->kind, GenerationError::Kind::cancelled);
        QCOMPARE(f.server.requests().size(), 2);
    }

    // The session may go before its answer arrives.
    void sessionMayBeDroppedWhileResponding()
    {
        Fixture f;
        f.server.enqueue(models({u"m"_s}));
        ScriptedReply slow = answer(u"late"_s);
        slow.delay = 100ms;
        f.server.enqueue(slow);
        auto session = std::make_unique<LanguageModelSession>(f.model, u"Be brief."_s);
        auto task = session->respond(u"p"_s, {}, {});
        session.reset();
        const auto result = runTask(std::move(task));
        QVERIFY(result && result->has_value());
        QCOMPARE((*result)->content, u"late"_s);
        QCOMPARE(f.server.requests()[1].json()[u"messages"_s].toArray()[0][u"content"_s],
                 u"Be brief."_s);
    }
};

LEXWICK_TEST(LanguageModelSessionTest)
#include "LanguageModelSessionTest.moc"
