// SPDX-License-Identifier: MIT
#include "backends/CustomAIService.h"
#include "core/Prompts.h"
#include "support/Expect.h"
#include "support/LogCapture.h"
#include "support/RouterFixture.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QTest>

using namespace lexwick;
using namespace lexwick::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(lexwick::APIProvider)

namespace {

QByteArray answerOf(APIProvider provider, const QString& text)
{
    return provider == APIProvider::anthropic ? anthropicAnswer(text) : chatAnswer(text);
}

// A custom service whose three providers all live on the fixture's provider server, with short
// retry pauses unless told otherwise.
struct Fixture : RouterFixture {
    CustomAIService service;

    explicit Fixture(APIProvider chosen = APIProvider::groq, double baseDelay = 0.01)
        : service(*settings, {provider.url({}), provider.url({}), provider.url({})},
                  RetryHandler(3, baseDelay, 30.0), client)
    {
        settings->setCustomProvider(chosen);
        settings->setCustomModelId(defaultModelId(chosen));
        settings->saveAPIKey(u"key-"_s + rawValue(chosen), chosen);
    }

    Result<QString> process(const QString& text, TextAction action = TextAction::correct,
                            std::optional<ToneOption> tone = std::nullopt,
                            std::stop_token stop = {})
    {
        return generatedText(runTask(service.processText(text, action, tone, {}, stop)));
    }
};

} // namespace

class CustomAIServiceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void requestPerProvider_data()
    {
        QTest::addColumn<APIProvider>("provider");
        QTest::newRow("groq") << APIProvider::groq;
        QTest::newRow("openai") << APIProvider::openai;
        QTest::newRow("anthropic") << APIProvider::anthropic;
    }

    void requestPerProvider()
    {
        QFETCH(APIProvider, provider);
        Fixture f(provider);
        f.provider.enqueue(ScriptedReply::json(200, answerOf(provider, u" \n Fixed. \n"_s)));
        const QString text = u" teh text "_s;
        QCOMPARE(f.process(text, TextAction::correct, ToneOption::casual), u"Fixed."_s);

        QCOMPARE(f.provider.requests().size(), 1);
        const ReceivedRequest& request = f.provider.requests().first();
        const QString system = systemPrompt(TextAction::correct);
        const QString user = delimitedUserMessage(text, TextAction::correct, std::nullopt);
        QCOMPARE(request.method, "POST");
        QCOMPARE(request.header("Content-Type"), "application/json");
        const QJsonObject body = request.json();
        const QString key = u"key-"_s + rawValue(provider);
        switch (provider) {
        case APIProvider::groq:
        case APIProvider::openai:
            QCOMPARE(request.path, provider == APIProvider::groq ? "/openai/v1/chat/completions"
                                                                 : "/v1/chat/completions");
            QCOMPARE(request.header("Authorization"), "Bearer " + key.toUtf8());
            QVERIFY(request.header("x-api-key").isEmpty());
            QCOMPARE(body.keys(), (QStringList{u"max_tokens"_s, u"messages"_s, u"model"_s,
                                               u"stream"_s, u"temperature"_s}));
            QCOMPARE(body[u"temperature"_s].toDouble(), 0.3);
            QCOMPARE(body[u"messages"_s].toArray(),
                     (QJsonArray{QJsonObject{{u"role"_s, u"system"_s}, {u"content"_s, system}},
                                 QJsonObject{{u"role"_s, u"user"_s}, {u"content"_s, user}}}));
            break;
        case APIProvider::anthropic:
            QCOMPARE(request.path, "/v1/messages");
            QCOMPARE(request.header("x-api-key"), key.toUtf8());
            QCOMPARE(request.header("anthropic-version"), "2023-06-01");
            QVERIFY(request.header("Authorization").isEmpty());
            QCOMPARE(body.keys(), (QStringList{u"max_tokens"_s, u"messages"_s, u"model"_s,
                                               u"stream"_s, u"system"_s}));
            QCOMPARE(body[u"system"_s].toString(), system);
            QCOMPARE(body[u"messages"_s].toArray(),
                     (QJsonArray{QJsonObject{{u"role"_s, u"user"_s}, {u"content"_s, user}}}));
            break;
        }
        QCOMPARE(body[u"model"_s].toString(), defaultModelId(provider));
        QCOMPARE(body[u"max_tokens"_s].toVariant(), QVariant(1024));
        QCOMPARE(body[u"stream"_s], true);
    }

    // Which failures are tried again, and how often, is in the failure table of every
    // back-end; here: a server that recovers.
    void retriedUntilTheServerRecovers()
    {
        Fixture f;
        f.provider.enqueue(ScriptedReply::json(502, {}));
        f.provider.enqueue(ScriptedReply::json(429, {}));
        f.provider.enqueue(ScriptedReply::json(200, chatAnswer(u"done"_s)));
        QCOMPARE(f.process(u"text"_s), u"done"_s);
        QCOMPARE(f.provider.requests().size(), 3);
        QVERIFY(!f.service.lastError());
    }

    void keyIsRequiredAndReadForEveryRequest()
    {
        Fixture f;
        f.settings->deleteAPIKey(APIProvider::groq);
        QCOMPARE(aiError(f.process(u"text"_s)).kind(), AIError::Kind::missingAPIKey);
        QVERIFY(f.provider.requests().isEmpty());
        QVERIFY(!f.service.lastError());
        QCOMPARE(aiError(f.process(u" \n "_s)).kind(), AIError::Kind::emptyInput);

        // An empty key is a key: it is sent.
        f.settings->saveAPIKey(QString(), APIProvider::groq);
        f.provider.enqueue(ScriptedReply::json(200, chatAnswer(u"ok"_s)));
        QCOMPARE(f.process(u"text"_s), u"ok"_s);
        QCOMPARE(f.provider.requests().last().header("Authorization"), "Bearer");

        // A provider switched between two requests gets the second, with its own key.
        f.settings->setCustomProvider(APIProvider::anthropic);
        f.settings->saveAPIKey(u"anthropic-key"_s, APIProvider::anthropic);
        f.provider.enqueue(ScriptedReply::json(200, anthropicAnswer(u"hi"_s)));
        QCOMPARE(f.process(u"text"_s), u"hi"_s);
        const ReceivedRequest& last = f.provider.requests().last();
        QCOMPARE(last.path, "/v1/messages");
        QCOMPARE(last.header("x-api-key"), "anthropic-key");
        // The model is free text and stays what it was: the store does not change it.
        QCOMPARE(last.json()[u"model"_s].toString(), u"llama-3.1-8b-instant"_s);
    }

    void cancelledDuringAPause()
    {
        Fixture f(APIProvider::groq, 10.0); // a pause of 10 s or more after a failure
        f.provider.enqueue(ScriptedReply::json(400, R"({"error":{"message":"earlier"}})"));
        aiError(f.process(u"text"_s)); // leaves a lastError behind
        QVERIFY(f.service.lastError());

        std::stop_source stop;
        f.provider.setHandler([&stop](const ReceivedRequest&) {
            QTimer::singleShot(100ms, [&stop] { stop.request_stop(); });
            return ScriptedReply::json(503, {});
        });
        LogCapture log;
        const AIError error =
            aiError(f.process(u"text"_s, TextAction::correct, std::nullopt, stop.get_token()));
        QCOMPARE(error.kind(), AIError::Kind::cancelled);
        QCOMPARE(f.provider.requests().size(), 2); // 1 earlier + 1: nothing after the cancel
        QVERIFY(log.lines().contains(u"Lexwick: Request cancelled"_s));
        // Cleared when the request started; a cancellation sets nothing.
        QVERIFY(!f.service.lastError());
        QVERIFY(!f.service.isProcessing());
    }
};

LEXWICK_TEST(CustomAIServiceTest)
#include "CustomAIServiceTest.moc"
