// SPDX-License-Identifier: MIT
#include "backends/CustomAIService.h"
#include "core/ChatCompletions.h"
#include "localmodel/LanguageModelSession.h"
#include "support/Expect.h"
#include "support/RouterFixture.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

#include <QTest>

using namespace lexwick;
using namespace lexwick::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(lexwick::APIProvider)

namespace {

const QStringList pieces{u" \n"_s, u"The qu"_s, u"ick br\u00f6wn "_s, u"\U0001F98A jumps."_s,
                         u"\n"_s};
const QString whole = u"The quick br\u00f6wn \U0001F98A jumps."_s;

// The text so far grew piece by piece to the whole; pieces that arrive together show once.
bool grewToTheWhole(const QStringList& partials)
{
    for (qsizetype i = 1; i < partials.size(); ++i) {
        if (partials.at(i).size() <= partials.at(i - 1).size() ||
            !partials.at(i).startsWith(partials.at(i - 1)))
            return false;
    }
    return partials.size() > 1 && partials.last() == pieces.join(QString());
}

QList<QByteArray> streamOf(APIProvider provider, const QStringList& text)
{
    return provider == APIProvider::anthropic ? anthropicStream(text) : chatStream(text);
}

// A custom service on the fixture's provider server, with short bounds on silence.
struct Fixture : RouterFixture {
    CustomAIService service;
    QStringList partials;

    explicit Fixture(APIProvider chosen = APIProvider::groq)
        : service(*settings, {provider.url({}), provider.url({}), provider.url({})},
                  RetryHandler(3, 0.01, 0.05), client, nullptr, StreamTimeouts{600ms, 600ms})
    {
        settings->setCustomProvider(chosen);
        settings->setCustomModelId(defaultModelId(chosen));
        settings->saveAPIKey(u"key"_s, chosen);
    }

    std::optional<Result<GeneratedText>> process(std::stop_token stop = {})
    {
        return runTask(service.processText(
            u"text"_s, TextAction::correct, std::nullopt,
            [this](const QString& soFar) { partials.append(soFar); }, stop));
    }
};

} // namespace

class StreamingTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void streamedAnswerEqualsTheWholeAnswer_data()
    {
        QTest::addColumn<APIProvider>("provider");
        QTest::newRow("groq") << APIProvider::groq;
        QTest::newRow("openai") << APIProvider::openai;
        QTest::newRow("anthropic") << APIProvider::anthropic;
    }

    // Each piece shows as it arrives, growing; the result is the whole text, trimmed.
    void streamedAnswerEqualsTheWholeAnswer()
    {
        QFETCH(APIProvider, provider);
        Fixture f(provider);
        f.provider.enqueue(ScriptedReply::eventStream(streamOf(provider, pieces), 20ms));
        const auto result = f.process();
        QCOMPARE(generatedText(result), whole);
        QVERIFY(!(*result)->cutShort);
        QCOMPARE(f.provider.requests().first().json().value(u"stream"_s), QJsonValue(true));
        QVERIFY2(grewToTheWhole(f.partials), qPrintable(f.partials.join(u'|')));
    }

    // Whichever way a chunk is cut, also inside a character and between CR and LF.
    void chunksCutAnywhere()
    {
        Fixture f;
        QByteArray body;
        for (const QByteArray& data : chatStream(pieces))
            body += "data: " + data + "\r\n\r\n";
        ScriptedReply reply{.headers = {{"Content-Type", "text/event-stream"}},
                            .ending = ScriptedReply::Ending::streamed,
                            .chunkInterval = 2ms};
        for (qsizetype at = 0; at < body.size(); at += 7)
            reply.chunks.append(body.mid(at, 7));
        f.provider.enqueue(reply);
        QCOMPARE(generatedText(f.process()), whole);
        QVERIFY2(grewToTheWhole(f.partials), qPrintable(f.partials.join(u'|')));
    }

    void outputLimitMarksTheAnswerCutShort_data()
    {
        QTest::addColumn<APIProvider>("provider");
        QTest::newRow("openai") << APIProvider::openai;
        QTest::newRow("anthropic") << APIProvider::anthropic;
    }

    void outputLimitMarksTheAnswerCutShort()
    {
        QFETCH(APIProvider, provider);
        Fixture f(provider);
        f.provider.enqueue(ScriptedReply::eventStream(
            provider == APIProvider::anthropic ? anthropicStream({u"Half"_s}, u"max_tokens"_s)
                                               : chatStream({u"Half"_s}, u"length"_s)));
        const auto result = f.process();
        QCOMPARE(generatedText(result), u"Half"_s);
        QVERIFY((*result)->cutShort);
    }

    // A server that ignores "stream" answers whole; its finish reason is read too.
    void aServerThatDoesNotStreamStillWorks()
    {
        Fixture f;
        f.provider.enqueue(ScriptedReply::json(
            200, R"({"choices":[{"message":{"content":" Whole. "},"finish_reason":"length"}]})"));
        const auto result = f.process();
        QCOMPARE(generatedText(result), u"Whole."_s);
        QVERIFY((*result)->cutShort);
        QVERIFY(f.partials.isEmpty());
    }

    // Silence before the first piece is a failure like any other and tried again.
    void aStallBeforeTheFirstPieceIsRetried()
    {
        Fixture f;
        f.provider.enqueue(
            ScriptedReply::eventStream({}, {}, ScriptedReply::Ending::streamThenStall));
        f.provider.enqueue(ScriptedReply::eventStream(chatStream({u"Fine."_s})));
        QCOMPARE(generatedText(f.process()), u"Fine."_s);
        QCOMPARE(f.provider.requests().size(), 2);
    }

    // Once text has shown, a failure ends the request: no second attempt writes another.
    void afterTheFirstPieceAFailureEndsTheRequest()
    {
        {
            Fixture f; // the server falls silent
            QList<QByteArray> events = chatStream({u"Begun"_s, u" and"_s});
            events.resize(3);
            f.provider.setDefaultReply(
                ScriptedReply::eventStream(events, 20ms, ScriptedReply::Ending::streamThenStall));
            const AIError error = aiError(generatedText(f.process()));
            QCOMPARE(behind<TransportError>(error)->kind, TransportError::Kind::timedOut);
            QCOMPARE(error.errorDescription(), u"Network error: The request timed out."_s);
            QCOMPARE(f.provider.requests().size(), 1);
            QCOMPARE(f.partials.last(), u"Begun and"_s);
            QCOMPARE(f.service.lastError()->errorDescription(), error.errorDescription());
        }
        {
            Fixture f; // the body ends without the last event
            QList<QByteArray> events = chatStream({u"Begun"_s});
            events.resize(2);
            f.provider.setDefaultReply(ScriptedReply::eventStream(events));
            const AIError error = aiError(generatedText(f.process()));
            QCOMPARE(behind<TransportError>(error)->kind,
                     TransportError::Kind::networkConnectionLost);
            QCOMPARE(f.provider.requests().size(), 1);
        }
    }

    void anErrorEventEndsTheRequestWithItsMessage_data()
    {
        QTest::addColumn<APIProvider>("provider");
        QTest::addColumn<QByteArray>("event");
        QTest::newRow("openai") << APIProvider::openai
                                << QByteArray(R"({"error":{"message":"Overloaded"}})");
        QTest::newRow("anthropic")
            << APIProvider::anthropic
            << QByteArray(
                   R"({"type":"error","error":{"type":"overloaded_error","message":"Overloaded"}})");
    }

    void anErrorEventEndsTheRequestWithItsMessage()
    {
        QFETCH(APIProvider, provider);
        QFETCH(QByteArray, event);
        Fixture f(provider);
        QList<QByteArray> events = streamOf(provider, {u"Part"_s});
        events.insert(events.size() - 2, event);
        f.provider.setDefaultReply(ScriptedReply::eventStream(events));
        QCOMPARE(aiError(generatedText(f.process())).errorDescription(),
                 u"API Error: Overloaded"_s);
        QCOMPARE(f.provider.requests().size(), 1);
    }

    // A long answer that keeps coming is never cut by the bound on silence.
    void aSlowAnswerThatKeepsComingIsNotCut()
    {
        Fixture f;
        QStringList many;
        for (int i = 0; i < 8; ++i)
            many.append(u"word "_s);
        f.provider.enqueue(ScriptedReply::eventStream(chatStream(many), 200ms)); // 2 s in all
        QCOMPARE(generatedText(f.process()), u"word word word word word word word word"_s);
    }

    // Cancelling closes the connection at once, so the server can stop generating.
    void cancelClosesTheConnection()
    {
        Fixture f;
        ScriptedReply reply = ScriptedReply::eventStream(chatStream({u"One"_s, u" two"_s}), 10s);
        reply.chunks[1].prepend(reply.chunks.takeFirst()); // "One" comes at once
        f.provider.enqueue(reply);
        std::stop_source stop;
        auto outcome = std::make_shared<std::optional<Result<GeneratedText>>>();
        [](Fixture* f, std::stop_token token,
           std::shared_ptr<std::optional<Result<GeneratedText>>> out) -> QCoro::Task<void> {
            auto task = f->service.processText(
                u"text"_s, TextAction::correct, std::nullopt,
                [f](const QString& soFar) { f->partials.append(soFar); }, token);
            out->emplace(co_await std::move(task));
        }(&f, stop.get_token(), outcome);
        QTRY_COMPARE(f.partials, QStringList{u"One"_s});
        QCOMPARE(f.provider.closedConnections(), 0);
        stop.request_stop();
        QTRY_COMPARE_WITH_TIMEOUT(f.provider.closedConnections(), 1, 2000);
        QTRY_VERIFY(outcome->has_value());
        QCOMPARE(aiError(generatedText(*outcome)).kind(), AIError::Kind::cancelled);
    }

    // The model server on this machine streams the same format.
    void theOnDeviceModelStreams()
    {
        BackgroundTestHttpServer server;
        HttpClient client;
        SystemLanguageModel model(server.url(u"/v1"_s).toString(), u"m"_s, client);
        server.enqueue(ScriptedReply::json(200, R"({"data":[{"id":"m"}]})"));
        server.enqueue(ScriptedReply::eventStream(chatStream(pieces, u"length"_s), 5ms));
        QStringList partials;
        const auto response = runTask(
            LanguageModelSession(model, u"Be brief."_s)
                .respond(u"p"_s, {}, [&](const QString& soFar) { partials.append(soFar); }, {}));
        QVERIFY(response && *response);
        QCOMPARE((*response)->content.trimmed(), whole);
        QVERIFY((*response)->cutShort);
        QVERIFY2(grewToTheWhole(partials), qPrintable(partials.join(u'|')));
        QCOMPARE(server.requests().last().json().value(u"stream"_s), QJsonValue(true));
        (void)QTest::qWaitFor([&] { return !model.isProbing(); }, 10'000);
    }
};

LEXWICK_TEST(StreamingTest)
#include "StreamingTest.moc"
