// SPDX-License-Identifier: MIT
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
};

ServiceOutcome run(QCoro::Task<ServiceOutcome> task)
{
    return runTask(std::move(task)).value_or(ServiceOutcome(std::unexpect, u"hung"_s));
}

} // namespace

class ServicesProviderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refusedBeforeStarting()
    {
        Fixture f;
        LogCapture log;
        auto empty = std::make_shared<TextPasteboard>(QString());
        QCOMPARE(run(f.services.handle(TextAction::correct, empty)),
                 ServiceOutcome(std::unexpect, u"No text selected"_s));

        // The handler does not keep the router alive.
        f.app.router.reset();
        auto text = std::make_shared<TextPasteboard>(u"text"_s);
        QCOMPARE(run(f.services.handle(TextAction::correct, text)),
                 ServiceOutcome(std::unexpect, u"Service not available"_s));
        QCOMPARE(text->string(), u"text"_s);
        QVERIFY(log.lines().isEmpty());
        QCOMPARE(f.app.providerRequests(), 0);
    }

    // What a result and a failure do to the selection, and their log lines, the application
    // service's test reads through the real command; here: what only this layer decides.
    void blankTextIsTheRoutersToRefuse()
    {
        Fixture f;
        LogCapture log;
        // White space alone is a text: the router's checks decide about it.
        auto blank = std::make_shared<TextPasteboard>(u" \n "_s);
        const ServiceOutcome blankOutcome = run(f.services.handle(TextAction::correct, blank));
        QVERIFY(!blankOutcome);
        QVERIFY(blankOutcome.error() != u"No text selected"_s);
        QCOMPARE(blank->string(), u" \n "_s);
        QCOMPARE(log.lines(), QStringList{u"Lexwick: Lexwick Error - "_s + blankOutcome.error()});
    }

    // Another application's paraphrase is formal, so the popover's formal answer to the same
    // text serves it from the cache.
    void paraphraseSharesThePopoversFormalAnswer()
    {
        Fixture f;
        f.app.provider.enqueue(ScriptedReply::json(200, chatAnswer(u"Kind regards"_s)));
        QVERIFY(runTask(f.app.router->processText(u"cheers"_s, TextAction::paraphrase,
                                                  ToneOption::formal, {}, {}))
                    ->has_value());
        auto selection = std::make_shared<TextPasteboard>(u"  cheers\n"_s);
        QCOMPARE(run(f.services.handle(TextAction::paraphrase, selection)), u"Kind regards"_s);
        QCOMPARE(selection->string(), u"Kind regards"_s);
        QCOMPARE(f.app.providerRequests(), 1);
    }
};

LEXWICK_TEST(ServicesProviderTest)
#include "ServicesProviderTest.moc"
