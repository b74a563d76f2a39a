// SPDX-License-Identifier: MIT
#include "backends/LocalAIService.h"
#include "localmodel/SystemLanguageModel.h"
#include "core/HttpClient.h"
#include "core/Prompts.h"
#include "support/Expect.h"
#include "support/RunTask.h"
#include "support/TestHttpServer.h"
#include "support/TestMain.h"

#include <QSignalSpy>
#include <QTest>

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(lexwick::LocalAIAvailability)

namespace {

const QByteArray modelList = R"({"object":"list","data":[{"id":"llama3.2","object":"model"}]})";

// A model server that lists "llama3.2" and answers generations as scripted.
struct Fixture {
    TestHttpServer server;
    HttpClient client;
    SystemLanguageModel model{server.url(u"/v1"_s).toString(), u"llama3.2"_s, client};
    LocalAIService service{model};
    ScriptedReply models = ScriptedReply::json(200, modelList);
    ScriptedReply generation =
        ScriptedReply::json(200, R"({"choices":[{"message":{"content":" ok "}}]})");

    Fixture()
    {
        server.setHandler([this](const ReceivedRequest& request) {
            return request.path.endsWith("/models") ? models : generation;
        });
    }

    // Settles the model's kept answer the way the application's background looks do.
    void look() { runTask(model.probe({})); }

    Result<QString> process(const QString& text, TextAction action = TextAction::correct)
    {
        return generatedText(runTask(service.processText(text, action, std::nullopt, {}, {})));
    }

    QList<ReceivedRequest> generations() const
    {
        QList<ReceivedRequest> found = server.requests();
        found.removeIf([](const ReceivedRequest& r) { return !r.path.endsWith("/completions"); });
        return found;
    }
};

} // namespace

class LocalAIServiceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void droppedGenerationIsSentOnce()
    {
        Fixture f;
        f.look();
        f.generation = ScriptedReply::withEnding(ScriptedReply::Ending::dropBeforeAnswer);
        QVERIFY(!f.process(u"text"_s));
        QTest::qWait(100);
        QCOMPARE(f.generations().size(), 1);
    }

    void unavailableModelOpensNoSession_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<LocalAIAvailability>("availability");
        QTest::newRow("still loading") << 503 << QByteArray() << LocalAIAvailability::modelLoading;
        QTest::newRow("asks for a key")
            << 401 << QByteArray() << LocalAIAvailability::serverNeedsKey;
        QTest::newRow("model not pulled") << 200 << QByteArray(R"({"data":[{"id":"qwen"}]})")
                                          << LocalAIAvailability::modelNotReady;
        QTest::newRow("not a model server")
            << 200 << QByteArray("<html>hello</html>") << LocalAIAvailability::unavailable;
    }

    void unavailableModelOpensNoSession()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, list);
        QFETCH(LocalAIAvailability, availability);
        Fixture f;
        f.models = ScriptedReply::json(status, list);
        f.look();
        QCOMPARE(f.service.currentAvailability(), availability);

        QSignalSpy busy(&f.service, &AIServiceProtocol::isProcessingChanged);
        const AIError error = aiError(f.process(u"text"_s));
        QCOMPARE(error.kind(), AIError::Kind::localModelUnavailable);
        QCOMPARE(error.as<AIError::LocalModelUnavailable>()->availability, availability);
        QVERIFY(f.generations().isEmpty());
        QCOMPARE(busy.size(), 0);
        QVERIFY(!f.service.lastError());
    }

    // The session's wire format has its own test; here: what this back-end asks of it.
    void asksWithTheActionsPromptsAndNoOptions()
    {
        Fixture f;
        f.look();
        QCOMPARE(f.service.currentAvailability(), LocalAIAvailability::available);
        QCOMPARE(f.process(u"serendipity"_s, TextAction::explain), u"ok"_s);
        QCOMPARE(f.generations().size(), 1);
        const QJsonObject body = f.generations().first().json();
        QCOMPARE(body.keys(), (QStringList{u"messages"_s, u"model"_s, u"stream"_s}));
        QCOMPARE(body[u"messages"_s][0][u"content"_s].toString(), systemPrompt(TextAction::explain));
        QCOMPARE(body[u"messages"_s][1][u"content"_s].toString(),
                 delimitedUserMessage(u"serendipity"_s, TextAction::explain, std::nullopt));
    }

    void generationFailureIsTheModelsOwnError()
    {
        Fixture f;
        f.look();
        f.generation = ScriptedReply::json(500, R"({"error":{"message":"model crashed"}})");
        const AIError error = aiError(f.process(u"text"_s));
        QCOMPARE(error.errorDescription(), u"Local model error: The model server "
                                           u"answered with an error: model crashed"_s);
        QCOMPARE(f.service.lastError()->kind(), AIError::Kind::localModelError);
        QVERIFY(!f.service.isProcessing());
    }

    void mappingOfGenerationErrors()
    {
        QCOMPARE(LocalAIService::mapGenerationError(CancellationError{}).kind(),
                 AIError::Kind::networkError);
        // The plain description decides, not the localised one.
        const GenerationError plainCancelled{GenerationError::Kind::connectionFailed, u"Stopped."_s,
                                             u"transfer cancelled"_s};
        QCOMPARE(LocalAIService::mapGenerationError(plainCancelled).kind(),
                 AIError::Kind::networkError);
    }
};

LEXWICK_TEST(LocalAIServiceTest)
#include "LocalAIServiceTest.moc"
