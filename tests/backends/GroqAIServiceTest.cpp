// SPDX-License-Identifier: MIT
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
        return generatedText(runTask(service.processText(text, action, tone, {}, stop)));
    }
};

} // namespace

class GroqAIServiceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sendsOneChatCompletionsRequest()
    {
        Fixture f;
        f.server.enqueue(ScriptedReply::json(
            200, R"({"choices":[{"message":{"content":" \n Fine. \n"}},{"message":{}}]})"));
        const QString text = u"  make it nice \n"_s;
        QCOMPARE(f.process(text, TextAction::paraphrase, ToneOption::casual), u"Fine."_s);

        // The body's format is shared with the custom back-end; what is Groq's own is checked.
        const ReceivedRequest& request = f.server.requests().value(0);
        QCOMPARE(request.path, chatPath.toUtf8());
        QCOMPARE(request.header("Authorization"), "Bearer test-key");
        const QJsonObject body = request.json();
        QCOMPARE(body[u"model"_s].toString(), u"llama-3.1-8b-instant"_s);
        // The user message keeps the text's outer white space; only the emptiness check trims.
        const QString user = plainUserMessage(text, TextAction::paraphrase, ToneOption::casual);
        QCOMPARE(body[u"messages"_s][1][u"content"_s].toString(), user);

        f.server.enqueue(ScriptedReply::json(200, chatAnswer(u" \n "_s)));
        QCOMPARE(f.process(u"text"_s), QString()); // an empty answer is no error
    }

    // The shared failures aside: an answer that cannot be read is a network error here.
    void unreadableAnswerIsADecodingError()
    {
        Fixture f;
        for (const char* body : {"busy", R"({"choices":[{"message":{}}]})"}) {
            f.server.enqueue(ScriptedReply::json(200, body));
            QVERIFY2(behind<DecodingError>(aiError(f.process(u"text"_s))), body);
        }
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

    void timeOutAndCancellation()
    {
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
