#include "app/ServicesProvider.h"
#include "app/Pasteboard.h"
#include "support/Expect.h"
#include "support/LogCapture.h"
#include "support/RouterFixture.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

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
        QVERIFY(f.app.provider.requests().last().body.contains("\\n  What is a monad?\\n"));

        // The same request again comes from the cache.
        pasteboard->setString(u"  What is a monad?\n"_s);
        QVERIFY(run(f.services.explainText(pasteboard)).has_value());
        QCOMPARE(f.app.providerRequests(), 1);
        QVERIFY(f.app.router->lastResultWasCached());
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
        QCOMPARE(log.lines(), QStringList{u"Lexwick: Lexwick Error - "_s + blankOutcome.error()});

        f.app.provider.enqueue(ScriptedReply::json(400, R"({"error":{"message":"bad"}})"));
        auto text = std::make_shared<TextPasteboard>(u"text"_s);
        QCOMPARE(run(f.services.paraphraseText(text)),
                 ServiceOutcome(std::unexpect, u"API Error: bad"_s));
        QCOMPARE(text->string(), u"text"_s);
        QCOMPARE(log.lines().last(), u"Lexwick: Lexwick Error - API Error: bad"_s);
    }
};

LEXWICK_TEST(ServicesProviderTest)
#include "ServicesProviderTest.moc"
