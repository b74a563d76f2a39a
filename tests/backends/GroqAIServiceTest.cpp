#include "backends/GroqAIService.h"
#include "core/HttpClient.h"
#include "core/Prompts.h"
#include "support/Expect.h"
#include "support/RunTask.h"
#include "support/TestHttpServer.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>

using namespace lexwick;
using namespace lexwick::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(lexwick::AIError::Kind)

namespace {

const QString chatPath = u"/openai/v1/chat/completions"_s;

struct Fixture {
    TestHttpServer server;
    HttpClient client;
    GroqAIService service;

    explicit Fixture(const QString& key = u"test-key"_s, std::chrono::milliseconds timeout = 10s,
                     QString url = {})
        : service(url.isNull() ? server.url(chatPath).toString() : url, key, timeout, client)
    {
    }

    Result<QString> process(const QString& text, TextAction action = TextAction::correct,
                            std::optional<ToneOption> tone = std::nullopt,
                            std::stop_token stop = {})
    {
        return runTask(service.processText(text, action, tone, stop))
            .value_or(std::unexpected(AIError(AIError::ApiError{u"<did not finish>"_s})));
    }
};

} // namespace

class GroqAIServiceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // This back-end never retries: a connection closed unanswered is one request, one failure.
    void droppedConnectionIsSentOnce()
    {
        Fixture f;
        f.server.setDefaultReply(ScriptedReply::withEnding(ScriptedReply::Ending::dropBeforeAnswer));
        QCOMPARE(aiError(f.process(u"text"_s)).kind(), AIError::Kind::networkError);
        QTest::qWait(100);
        QCOMPARE(f.server.requests().size(), 1);
    }

    void sendsOneChatCompletionsRequest()
    {
        Fixture f;
        f.server.enqueue(ScriptedReply::json(
            200, R"({"choices":[{"message":{"content":" \n Fine. \n"}},{"message":{}}]})"));
        const QString text = u"  make it nice \n"_s;
        QCOMPARE(f.process(text, TextAction::paraphrase, ToneOption::casual), u"Fine."_s);

        const ReceivedRequest& request = f.server.requests().value(0);
        QCOMPARE(request.method, "POST");
        QCOMPARE(request.path, chatPath.toUtf8());
        QCOMPARE(request.header("Authorization"), "Bearer test-key");
        QCOMPARE(request.header("Content-Type"), "application/json");
        const QJsonObject body = request.json();
        QCOMPARE(body.keys(), (QStringList{u"max_tokens"_s, u"messages"_s, u"model"_s,
                                          u"temperature"_s}));
        QCOMPARE(body[u"model"_s].toString(), u"llama-3.1-8b-instant"_s);
        QCOMPARE(body[u"temperature"_s].toDouble(), 0.3);
        QCOMPARE(body[u"max_tokens"_s].toVariant(), QVariant(1024));
        // The user message keeps the text's outer white space; only the emptiness check trims.
        const QString user = plainUserMessage(text, TextAction::paraphrase, ToneOption::casual);
        QCOMPARE(body[u"messages"_s].toArray(),
                 (QJsonArray{QJsonObject{{u"role"_s, u"system"_s},
                                         {u"content"_s, systemPrompt(TextAction::paraphrase)}},
                             QJsonObject{{u"role"_s, u"user"_s}, {u"content"_s, user}}}));

        f.server.enqueue(ScriptedReply::json(200, chatAnswer(u" \n "_s)));
        QCOMPARE(f.process(u"text"_s), QString()); // an empty answer is no error
        QCOMPARE(GroqAIService().timeout(), std::chrono::milliseconds(30s));
    }

    void failures_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<AIError::Kind>("kind");
        QTest::addColumn<QString>("message"); // empty: not checked
        const QByteArray errorBody = R"({"error":{"message":"Invalid API Key","type":"auth"}})";
        using K = AIError::Kind;
        QTest::newRow("401 error body") << 401 << errorBody << K::apiError << u"API Error: Invalid API Key"_s;
        QTest::newRow("503 no body") << 503 << QByteArray() << K::httpError << u"Server error: HTTP 503"_s;
        QTest::newRow("500 HTML") << 500 << QByteArray("<html/>") << K::httpError << u"Server error: HTTP 500"_s;
        QTest::newRow("message not a string") << 400 << QByteArray(R"({"error":{"message":7}})")
                                              << K::httpError << u"Server error: HTTP 400"_s;
        QTest::newRow("201 is no success") << 201 << chatAnswer(u"x"_s) << K::httpError << u"Server error: HTTP 201"_s;
        QTest::newRow("no choices") << 200 << QByteArray(R"({"choices":[]})") << K::noContent
                                    << u"No response content received."_s;
        QTest::newRow("not JSON") << 200 << QByteArray("busy") << K::networkError << QString();
        QTest::newRow("no content") << 200 << QByteArray(R"({"choices":[{"message":{"role":"a"}}]})")
                                    << K::networkError << QString();
    }

    void failures()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(AIError::Kind, kind);
        QFETCH(QString, message);
        Fixture f;
        f.server.enqueue(ScriptedReply::json(status, body));
        const AIError error = aiError(f.process(u"text"_s));
        QCOMPARE(error.kind(), kind);
        if (!message.isEmpty())
            QCOMPARE(error.errorDescription(), message);
        if (kind == AIError::Kind::networkError)
            QVERIFY(behind<DecodingError>(error));
        QVERIFY(f.service.lastError());
        QCOMPARE(f.service.lastError()->kind(), kind);
        QVERIFY(!f.service.isProcessing());
    }

    void inputChecksComeFirstAndLeaveStateAlone()
    {
        Fixture f;
        f.server.enqueue(ScriptedReply::json(500, {}));
        QCOMPARE(aiError(f.process(u"text"_s)).kind(), AIError::Kind::httpError);
        QSignalSpy processing(&f.service, &AIServiceProtocol::isProcessingChanged);
        QCOMPARE(aiError(f.process(u" \n\t\u2028 "_s)).kind(), AIError::Kind::emptyInput);
        QVERIFY(f.service.lastError());
        QCOMPARE(f.service.lastError()->kind(), AIError::Kind::httpError); // untouched
        QCOMPARE(processing.size(), 0);

        Fixture placeholder(u"SET_CLOUD_API_KEY_HERE"_s);
        QCOMPARE(aiError(placeholder.process(u"text"_s)).kind(), AIError::Kind::missingAPIKey);
        QVERIFY(!placeholder.service.lastError());
        QVERIFY(placeholder.server.requests().isEmpty());

        Fixture empty{QString()}; // an empty key is sent
        empty.server.enqueue(ScriptedReply::json(401, R"({"error":{"message":"no key"}})"));
        QCOMPARE(aiError(empty.process(u"text"_s)).errorDescription(), u"API Error: no key"_s);
        QCOMPARE(empty.server.requests().value(0).header("Authorization"), "Bearer");

        Fixture invalid(u"k"_s, 10s, u"not a url"_s);
        QCOMPARE(aiError(invalid.process(u"text"_s)).kind(), AIError::Kind::invalidURL);
        QVERIFY(invalid.service.lastError());
    }

    void busyWhileWaitingAndErrorClearedAtStart()
    {
        Fixture f;
        f.server.enqueue(ScriptedReply::json(502, {}));
        aiError(f.process(u"first"_s));
        bool busyAtServer = false;
        bool errorClearedAtServer = false;
        f.server.setHandler([&](const ReceivedRequest&) {
            busyAtServer = f.service.isProcessing();
            errorClearedAtServer = !f.service.lastError();
            return ScriptedReply::json(200, chatAnswer(u"ok"_s));
        });
        QCOMPARE(f.process(u"second"_s), u"ok"_s);
        QVERIFY(busyAtServer);
        QVERIFY(errorClearedAtServer);
        QVERIFY(!f.service.isProcessing());
        QVERIFY(!f.service.lastError());
    }

    void transportFailuresAreNetworkErrors()
    {
        Fixture refused(u"k"_s, 10s,
                        u"http://127.0.0.1:%1%2"_s.arg(TestHttpServer::refusedPort()).arg(chatPath));
        const AIError error = aiError(refused.process(u"text"_s));
        QVERIFY(behind<TransportError>(error));
        QCOMPARE(behind<TransportError>(error)->kind, TransportError::Kind::cannotConnectToHost);
        QVERIFY(error.errorDescription().size() > u"Network error: "_s.size());

        Fixture silent(u"k"_s, 300ms);
        silent.server.setDefaultReply(ScriptedReply::withEnding(ScriptedReply::Ending::never));
        const AIError timedOut = aiError(silent.process(u"text"_s));
        QVERIFY(behind<TransportError>(timedOut));
        QCOMPARE(behind<TransportError>(timedOut)->kind, TransportError::Kind::timedOut);

        // No cancellation handler here: a cancelled wait ends as the transport reports it.
        std::stop_source stop;
        QTimer::singleShot(100ms, [&stop] { stop.request_stop(); });
        const AIError cancelled =
            aiError(silent.process(u"text"_s, TextAction::correct, {}, stop.get_token()));
        QVERIFY(behind<CancellationError>(cancelled));
        QVERIFY(!silent.service.isProcessing());
        QVERIFY(silent.service.lastError());
    }
};

LEXWICK_TEST(GroqAIServiceTest)
#include "GroqAIServiceTest.moc"
