#include "app/ServicesProvider.h"
#include "app/Pasteboard.h"
#include "support/Expect.h"
#include "support/LogCapture.h"
#include "support/RouterFixture.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QTest>

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

namespace {

struct Fixture {
    RouterFixture app{{.storedMode = u"custom"_s}};
    ServicesProvider services{*app.router};

    void answer(const QString& text)
    {
        app.provider.enqueue(ScriptedReply::json(200, chatAnswer(text)));
    }

    // The user's message of the provider's last request.
    QString lastUserMessage() const
    {
        const QJsonArray messages = app.provider.requests().last().json()[u"messages"].toArray();
        return messages.last()[u"content"].toString();
    }
};

ServiceOutcome run(QCoro::Task<ServiceOutcome> task)
{
    return runTask(std::move(task)).value_or(ServiceOutcome(std::unexpect, u"hung"_s));
}

} // namespace

class ServicesProviderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aResultReplacesTheTextAndIsLogged()
    {
        Fixture f;
        LogCapture log;
        auto pasteboard = std::make_shared<TextPasteboard>(u"  What is a monad?\n"_s);
        f.answer(u"A monad is …"_s);
        const ServiceOutcome outcome = run(f.services.explainText(pasteboard));
        QCOMPARE(outcome, ServiceOutcome(u"A monad is …"_s));
        QCOMPARE(pasteboard->string(), u"A monad is …"_s);
        QCOMPARE(log.lines(), QStringList{u"Lexwick: Lexwick - Explain completed"_s});
        // Sent as read, spaces and line break included.
        QVERIFY(f.lastUserMessage().contains(u"\n  What is a monad?\n"_s));

        // The same request again comes from the cache.
        pasteboard->setString(u"  What is a monad?\n"_s);
        QVERIFY(run(f.services.explainText(pasteboard)).has_value());
        QCOMPARE(f.app.providerRequests(), 1);
        QVERIFY(f.app.router->lastResultWasCached());
    }

    void paraphrasesAreFormal()
    {
        Fixture f;
        f.answer(u"Kind regards"_s);
        QVERIFY(run(f.services.paraphraseText(std::make_shared<TextPasteboard>(u"cheers"_s))));
        const QJsonArray messages = f.app.provider.requests().last().json()[u"messages"].toArray();
        QVERIFY(messages.last()[u"content"].toString().contains(instruction(ToneOption::formal)));

        f.answer(u"the cat"_s);
        QVERIFY(run(f.services.correctText(std::make_shared<TextPasteboard>(u"teh cat"_s))));
        for (ToneOption tone : allToneOptions)
            QVERIFY(!f.lastUserMessage().contains(instruction(tone)));
    }

    void refusedBeforeStarting()
    {
        Fixture f;
        LogCapture log;
        auto empty = std::make_shared<TextPasteboard>(QString());
        QCOMPARE(run(f.services.correctText(empty)),
                 ServiceOutcome(std::unexpect, u"No text selected"_s));

        // The handler does not keep the router alive.
        f.app.router.reset();
        auto text = std::make_shared<TextPasteboard>(u"text"_s);
        QCOMPARE(run(f.services.correctText(text)),
                 ServiceOutcome(std::unexpect, u"Service not available"_s));
        QCOMPARE(text->string(), u"text"_s);
        QVERIFY(log.lines().isEmpty());
        QCOMPARE(f.app.providerRequests(), 0);
    }

    void failuresLeaveTheTextAndAreLogged()
    {
        Fixture f;
        LogCapture log;
        // White space alone is a text: the router's checks decide about it.
        auto blank = std::make_shared<TextPasteboard>(u" \n "_s);
        const ServiceOutcome blankOutcome = run(f.services.correctText(blank));
        QVERIFY(!blankOutcome);
        QVERIFY(blankOutcome.error() != u"No text selected"_s);
        QCOMPARE(blank->string(), u" \n "_s);

        QVERIFY(f.app.settings->piiDetectionEnabled());
        auto mail = std::make_shared<TextPasteboard>(u"write to ann@example.com"_s);
        const ServiceOutcome mailOutcome = run(f.services.correctText(mail));
        const QString piiMessage =
            AIError(AIError::PiiDetected{{PIIType::email}}).errorDescription();
        QCOMPARE(mailOutcome, ServiceOutcome(std::unexpect, piiMessage));
        QCOMPARE(mail->string(), u"write to ann@example.com"_s);
        QCOMPARE(log.lines().last(), u"Lexwick: Lexwick Error - "_s + piiMessage);
        QCOMPARE(log.lines().size(), 2);
        QCOMPARE(f.app.providerRequests(), 0);
    }

    void requestsRunSideBySide()
    {
        Fixture f;
        f.app.provider.setHandler([](const ReceivedRequest& request) {
            const bool slow = request.body.contains("slow");
            ScriptedReply reply =
                ScriptedReply::json(200, chatAnswer(slow ? u"slow done"_s : u"fast done"_s));
            if (slow)
                reply.delay = std::chrono::milliseconds(1500);
            return reply;
        });
        auto slow = std::make_shared<TextPasteboard>(u"slow"_s);
        auto fast = std::make_shared<TextPasteboard>(u"fast"_s);
        QCoro::Task<ServiceOutcome> first = f.services.correctText(slow);
        QCoro::Task<ServiceOutcome> second = f.services.explainText(fast);
        // The second ends while the first still waits for its answer.
        QCOMPARE(run(std::move(second)), ServiceOutcome(u"fast done"_s));
        QCOMPARE(slow->string(), u"slow"_s);
        QCOMPARE(run(std::move(first)), ServiceOutcome(u"slow done"_s));
        QCOMPARE(slow->string(), u"slow done"_s);
    }
};

LEXWICK_TEST(ServicesProviderTest)
#include "ServicesProviderTest.moc"
