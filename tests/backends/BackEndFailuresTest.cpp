// SPDX-License-Identifier: MIT
#include "backends/CustomAIService.h"
#include "backends/GroqAIService.h"
#include "support/Expect.h"
#include "support/RouterFixture.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

#include <QTest>

using namespace lexwick;
using namespace lexwick::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(lexwick::test::ScriptedReply)

namespace {

// "cloud" is the cloud back-end; a provider's name is the custom back-end set to it.
std::unique_ptr<AIServiceProtocol> makeBackEnd(RouterFixture& f, const QString& name, QUrl host)
{
    if (name == u"cloud")
        return std::make_unique<GroqAIService>(
            host.toString() + u"/openai/v1/chat/completions"_s, u"k"_s, 10s, f.client);
    for (APIProvider provider : allAPIProviders) {
        if (rawValue(provider) == name) {
            f.settings->setCustomProvider(provider);
            f.settings->saveAPIKey(u"k"_s, provider);
        }
    }
    return std::make_unique<CustomAIService>(*f.settings, CustomAIService::Hosts{host, host, host},
                                             RetryHandler(3, 0.01, 0.05), f.client);
}

// The error's message, or the kind of transport failure behind it.
QString outcome(const AIError& error)
{
    const auto* transport = behind<TransportError>(error);
    return transport ? u"transport %1"_s.arg(int(transport->kind)) : error.errorDescription();
}

} // namespace

// What every back-end that calls a provider makes of a failed exchange.
class BackEndFailuresTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void failures_data()
    {
        QTest::addColumn<QString>("backEnd");
        QTest::addColumn<ScriptedReply>("reply"); // status 0: nothing listens on the port
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("requests"); // that reached the provider
        const QByteArray errorBody = R"({"error":{"type":"x","message":"Overloaded"}})";
        const QString lost = u"transport %1"_s.arg(int(TransportError::Kind::networkConnectionLost));
        const QString refused = u"transport %1"_s.arg(int(TransportError::Kind::cannotConnectToHost));
        const QString noContent = u"No response content received."_s;
        for (const QString& name : {u"cloud"_s, u"groq"_s, u"openai"_s, u"anthropic"_s}) {
            // The cloud back-end never retries; the custom one tries transient failures three
            // times, and a status with the provider's message is final.
            const auto row = [&](const char* what, const ScriptedReply& reply, const QString& out,
                                 int tries) {
                QTest::addRow("%s: %s", qPrintable(name), what)
                    << name << reply << out << (name == u"cloud" ? std::min(tries, 1) : tries);
            };
            const auto json = &ScriptedReply::json;
            row("401 with a message", json(401, errorBody), u"API Error: Overloaded"_s, 1);
            row("503 with a message", json(503, errorBody), u"API Error: Overloaded"_s, 1);
            row("503 without", json(503, "busy"), u"Server error: HTTP 503"_s, 3);
            row("500 HTML", json(500, "<html/>"), u"Server error: HTTP 500"_s, 3);
            row("501 empty", json(501, {}), u"Server error: HTTP 501"_s, 1);
            row("message not a string", json(400, R"({"error":{"message":7}})"),
                u"Server error: HTTP 400"_s, 1);
            row("201 is no success", json(201, chatAnswer(u"x"_s)), u"Server error: HTTP 201"_s, 1);
            row("empty answer",
                json(200, name == u"anthropic" ? R"({"content":[]})" : R"({"choices":[]})"),
                noContent, 1);
            row("dropped", ScriptedReply::withEnding(ScriptedReply::Ending::dropBeforeAnswer), lost,
                3);
            row("refused", ScriptedReply{.status = 0}, refused, 0);
            // An answer that cannot be read is no content to the custom back-end.
            if (name != u"cloud")
                row("not JSON", json(200, "<html/>"), noContent, 1);
            if (name == u"anthropic")
                row("chat-shaped answer", json(200, chatAnswer(u"x"_s)), noContent, 1);
        }
    }

    // The failure is kept as lastError before the busy flag drops: a screen that wakes on the
    // flag reads the error of this request, not nothing.
    void failures()
    {
        QFETCH(QString, backEnd);
        QFETCH(ScriptedReply, reply);
        RouterFixture f;
        QUrl host = f.provider.url(QString());
        if (reply.status == 0)
            host.setPort(TestHttpServer::refusedPort());
        f.provider.setDefaultReply(reply);
        const auto service = makeBackEnd(f, backEnd, host);
        QStringList events;
        connect(service.get(), &AIServiceProtocol::lastErrorChanged, [&] { events << u"error"_s; });
        connect(service.get(), &AIServiceProtocol::isProcessingChanged,
                [&] { events << (service->isProcessing() ? u"busy"_s : u"idle"_s); });
        const auto result =
            runTask(service->processText(u"text"_s, TextAction::correct, {}, {}, {}));
        QVERIFY(result && service->lastError());
        QTEST(outcome(aiError(generatedText(result))), "outcome");
        QTEST(outcome(*service->lastError()), "outcome");
        QCOMPARE(events, (QStringList{u"busy"_s, u"error"_s, u"idle"_s}));
        QTEST(int(f.provider.requests().size()), "requests");
    }
};

LEXWICK_TEST(BackEndFailuresTest)
#include "BackEndFailuresTest.moc"
