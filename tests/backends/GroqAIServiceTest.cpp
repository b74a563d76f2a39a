#include "backends/GroqAIService.h"
#include "core/HttpClient.h"
#include "core/Prompts.h"
#include "support/RunTask.h"
#include "support/TestHttpServer.h"
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

namespace {

const QString chatPath = u"/openai/v1/chat/completions"_s;

QByteArray answer(const QString& content)
{
    return QJsonDocument(QJsonObject{{u"id"_s, u"x"_s},
                                     {u"choices"_s,
                                      QJsonArray{QJsonObject{
                                          {u"message"_s, QJsonObject{{u"role"_s, u"assistant"_s},
                                                                     {u"content"_s, content}}}}}}})
        .toJson();
}

struct Fixture {
    TestHttpServer server;
    HttpClient client;
    std::unique_ptr<GroqAIService> service;

    explicit Fixture(const QString& key = u"test-key"_s, std::chrono::milliseconds timeout = 10s)
        : service(std::make_unique<GroqAIService>(server.url(chatPath).toString(), key, timeout,
                                                  client))
    {
    }

    Result<QString> process(const QString& text, TextAction action = TextAction::correct,
                            std::optional<ToneOption> tone = std::nullopt,
                            std::stop_token stop = {})
    {
        auto result = runTask(service->processText(text, action, tone, stop));
        if (!result)
            return std::unexpected(AIError(AIError::ApiError{u"<did not finish>"_s}));
        return *result;
    }
};

// The AIError the request failed with. Any other outcome comes back as an ApiError that
// names it, so that the comparison after it fails readably.
AIError aiError(const Result<QString>& result)
{
    if (result)
        return AIError(AIError::ApiError{u"<unexpected success: "_s + *result + u'>'});
    if (const AIError* error = result.error().as<AIError>())
        return *error;
    return AIError(
        AIError::ApiError{u"<not an AIError: "_s + result.error().localizedDescription() + u'>'});
}

// The error that a networkError wraps, when it is of type E.
template <typename E> const E* behind(const AIError& error)
{
    const auto* network = error.as<AIError::NetworkError>();
    return network ? network->underlying->as<E>() : nullptr;
}

std::optional<TransportError::Kind> transportKindBehind(const AIError& error)
{
    const auto* transport = behind<TransportError>(error);
    return transport ? std::optional(transport->kind) : std::nullopt;
}

} // namespace

class GroqAIServiceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sendsOneChatCompletionsRequest()
    {
        Fixture f;
        f.server.enqueue(ScriptedReply::json(200, answer(u"Fine."_s)));
        const QString text = u"  make it nice \n"_s;
        QCOMPARE(f.process(text, TextAction::paraphrase, ToneOption::casual), u"Fine."_s);

        QCOMPARE(f.server.requests().size(), 1);
        const ReceivedRequest& request = f.server.requests().first();
        QCOMPARE(request.method, "POST");
        QCOMPARE(request.path, chatPath.toUtf8());
        QCOMPARE(request.header("Authorization"), "Bearer test-key");
        QCOMPARE(request.header("Content-Type"), "application/json");
        QVERIFY(!request.body.contains('\n')); // compact

        const QJsonObject body = request.json();
        QCOMPARE(body.keys(),
                 (QStringList{u"max_tokens"_s, u"messages"_s, u"model"_s, u"temperature"_s}));
        QCOMPARE(body[u"model"_s].toString(), u"llama-3.1-8b-instant"_s);
        QCOMPARE(body[u"temperature"_s].toDouble(), 0.3);
        QCOMPARE(body[u"max_tokens"_s].toVariant(), QVariant(1024));
        // The user message keeps the text's outer white space; only the emptiness check trims.
        const QJsonArray expected{
            QJsonObject{{u"role"_s, u"system"_s},
                        {u"content"_s, systemPrompt(TextAction::paraphrase)}},
            QJsonObject{{u"role"_s, u"user"_s},
                        {u"content"_s,
                         plainUserMessage(text, TextAction::paraphrase, ToneOption::casual)}}};
        QCOMPARE(body[u"messages"_s].toArray(), expected);
    }

    void answerIsTrimmedAndOnlyTheFirstChoiceCounts()
    {
        Fixture f;
        f.server.enqueue(ScriptedReply::json(
            200,
            R"({"choices":[{"message":{"content":" \n serendipity \n"}},{"message":{"content":"other"}}]})"));
        QCOMPARE(f.process(u"serendipity"_s, TextAction::explain), u"serendipity"_s);
        f.server.enqueue(ScriptedReply::json(200, answer(u" \n "_s)));
        QCOMPARE(f.process(u"text"_s), QString());
    }

    void failures_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        const QByteArray errorBody = R"({"error":{"message":"Invalid API Key","type":"auth"}})";
        QTest::newRow("401 with an error body")
            << 401 << errorBody << u"API Error: Invalid API Key"_s;
        QTest::newRow("429 with an error body")
            << 429 << errorBody << u"API Error: Invalid API Key"_s;
        QTest::newRow("503 without a body") << 503 << QByteArray() << u"Server error: HTTP 503"_s;
        QTest::newRow("500 with HTML")
            << 500 << QByteArray("<html>oops</html>") << u"Server error: HTTP 500"_s;
        QTest::newRow("error message not a string")
            << 400 << QByteArray(R"({"error":{"message":7}})") << u"Server error: HTTP 400"_s;
        QTest::newRow("201 is not success") << 201 << answer(u"x"_s) << u"Server error: HTTP 201"_s;
        QTest::newRow("204 with an error body")
            << 204 << QByteArray() << u"Server error: HTTP 204"_s;
        QTest::newRow("no choices")
            << 200 << QByteArray(R"({"choices":[]})") << u"No response content received."_s;
    }

    void failures()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        Fixture f;
        f.server.enqueue(ScriptedReply::json(status, body));
        const AIError error = aiError(f.process(u"text"_s));
        QCOMPARE(error.errorDescription(), message);
        QVERIFY(f.service->lastError());
        QCOMPARE(f.service->lastError()->errorDescription(), message);
        QVERIFY(!f.service->isProcessing());
    }

    void undecodableSuccessIsANetworkError_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("not JSON") << QByteArray("Service temporarily unavailable");
        QTest::newRow("message without content")
            << QByteArray(R"({"choices":[{"message":{"role":"assistant"}}]})");
        QTest::newRow("content not a string")
            << QByteArray(R"({"choices":[{"message":{"content":null}}]})");
        QTest::newRow("no choices member") << QByteArray(R"({"result":"hi"})");
    }

    void undecodableSuccessIsANetworkError()
    {
        QFETCH(QByteArray, body);
        Fixture f;
        f.server.enqueue(ScriptedReply::json(200, body));
        const AIError error = aiError(f.process(u"text"_s));
        QCOMPARE(error.kind(), AIError::Kind::networkError);
        QVERIFY(behind<DecodingError>(error));
        QVERIFY(f.service->lastError());
    }

    void inputChecksComeFirstAndLeaveStateAlone()
    {
        Fixture f;
        f.server.enqueue(ScriptedReply::json(500, {}));
        QCOMPARE(aiError(f.process(u"text"_s)).kind(), AIError::Kind::httpError);

        QSignalSpy processing(f.service.get(), &AIServiceProtocol::isProcessingChanged);
        QCOMPARE(aiError(f.process(u" \n\t\u2028 "_s)).kind(), AIError::Kind::emptyInput);
        QVERIFY(f.service->lastError());
        QCOMPARE(f.service->lastError()->kind(), AIError::Kind::httpError); // untouched
        QCOMPARE(processing.size(), 0);
        QCOMPARE(f.server.requests().size(), 1);

        Fixture placeholder(u"SET_CLOUD_API_KEY_HERE"_s);
        QCOMPARE(aiError(placeholder.process(u"text"_s)).kind(), AIError::Kind::missingAPIKey);
        QVERIFY(!placeholder.service->lastError());
        QVERIFY(placeholder.server.requests().isEmpty());
    }

    void emptyKeyIsStillSent()
    {
        Fixture f(QString{});
        f.server.enqueue(ScriptedReply::json(401, R"({"error":{"message":"missing key"}})"));
        QCOMPARE(aiError(f.process(u"text"_s)).errorDescription(), u"API Error: missing key"_s);
        QCOMPARE(f.server.requests().first().header("Authorization"), "Bearer");
    }

    void busyWhileWaitingAndErrorClearedAtStart()
    {
        Fixture f;
        f.server.enqueue(ScriptedReply::json(502, {}));
        aiError(f.process(u"first"_s));
        QVERIFY(f.service->lastError());

        bool busyAtServer = false;
        bool errorClearedAtServer = false;
        f.server.setHandler([&](const ReceivedRequest&) {
            busyAtServer = f.service->isProcessing();
            errorClearedAtServer = !f.service->lastError();
            return ScriptedReply::json(200, answer(u"ok"_s));
        });
        QCOMPARE(f.process(u"second"_s), u"ok"_s);
        QVERIFY(busyAtServer);
        QVERIFY(errorClearedAtServer);
        QVERIFY(!f.service->isProcessing());
        QVERIFY(!f.service->lastError());
    }

    void invalidURL()
    {
        HttpClient client;
        GroqAIService service(u"not a url"_s, u"k"_s, 10s, client);
        const auto result = runTask(service.processText(u"text"_s, TextAction::correct, {}, {}));
        QVERIFY(result);
        QCOMPARE(aiError(*result).kind(), AIError::Kind::invalidURL);
        QVERIFY(service.lastError());
        QCOMPARE(service.lastError()->kind(), AIError::Kind::invalidURL);
        QVERIFY(!service.isProcessing());
    }

    void transportFailuresAreNetworkErrors()
    {
        HttpClient client;
        QUrl refused(u"http://127.0.0.1"_s + chatPath);
        refused.setPort(TestHttpServer::refusedPort());
        GroqAIService service(refused.toString(), u"k"_s, 10s, client);
        const auto result = runTask(service.processText(u"text"_s, TextAction::correct, {}, {}));
        QVERIFY(result);
        const AIError error = aiError(*result);
        QCOMPARE(error.kind(), AIError::Kind::networkError);
        QCOMPARE(transportKindBehind(error),
                 std::optional(TransportError::Kind::cannotConnectToHost));
        QVERIFY(error.errorDescription().startsWith(u"Network error: "));
        QVERIFY(error.errorDescription().size() > u"Network error: "_s.size());
    }

    void serverThatNeverAnswersTimesOut()
    {
        Fixture f(u"k"_s, 300ms);
        f.server.setDefaultReply(ScriptedReply::withEnding(ScriptedReply::Ending::never));
        const AIError error = aiError(f.process(u"text"_s));
        QCOMPARE(transportKindBehind(error), std::optional(TransportError::Kind::timedOut));
        QVERIFY(!f.service->isProcessing());
    }

    void cancellationEndsAsANetworkError()
    {
        Fixture f(u"k"_s, 1h);
        f.server.setDefaultReply(ScriptedReply::withEnding(ScriptedReply::Ending::never));
        std::stop_source stop;
        QTimer::singleShot(100ms, [&stop] { stop.request_stop(); });
        const AIError error =
            aiError(f.process(u"text"_s, TextAction::correct, {}, stop.get_token()));
        QCOMPARE(error.kind(), AIError::Kind::networkError);
        QVERIFY(behind<CancellationError>(error));
        QVERIFY(!f.service->isProcessing());
        QVERIFY(f.service->lastError());
        QCOMPARE(f.service->lastError()->kind(), AIError::Kind::networkError);
    }

    void productServiceUsesTheFixedEndpoint()
    {
        GroqAIService service;
        QCOMPARE(service.baseURL(), u"https://api.groq.com/openai/v1/chat/completions"_s);
        QCOMPARE(service.timeout(), std::chrono::milliseconds(30s));
    }
};

LEXWICK_TEST(GroqAIServiceTest)
#include "GroqAIServiceTest.moc"
