#include "ui/PopoverView.h"
#include "history/HistoryManager.h"
#include "support/Expect.h"
#include "support/LogCapture.h"
#include "support/RouterFixture.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

using namespace lexwick;
using namespace lexwick::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

// A popover on a router whose custom back-end is the local provider server.
struct Fixture {
    RouterFixture app{{.storedMode = u"custom"_s}};
    HistoryManager history{app.defaults};
    PopoverView view{*app.router, *app.settings, history};

    Fixture() { app.settings->setHasCompletedOnboarding(true); }

    void answer(const QString& text)
    {
        app.provider.enqueue(ScriptedReply::json(200, chatAnswer(text)));
    }

    // Presses Ctrl+Return and waits until the request has ended, history included.
    bool run()
    {
        QSignalSpy finished(&view, &PopoverView::requestFinished);
        view.toggleProcessing();
        return finished.wait(10000);
    }

    QList<HistoryItem> items() { return runTask(history.items()).value_or(QList<HistoryItem>{}); }
};

} // namespace

class PopoverViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void onlyARealTextCanStart()
    {
        Fixture f;
        f.view.setInputText(u" \n\t "_s);
        QVERIFY(!f.view.canProcess());
        f.view.toggleProcessing();
        QTest::qWait(50);
        QCOMPARE(f.app.providerRequests(), 0);

        f.view.setInputText(u"mail ann@example.com"_s);
        QVERIFY(!f.view.canProcess());
        QVERIFY(f.view.detection().hasPII);
        f.app.settings->setPiiDetectionEnabled(false);
        QVERIFY(f.view.canProcess());

        f.view.setInputText(QString(5001, u'x'));
        QVERIFY(!f.view.canProcess());
        QCOMPARE(f.view.validation().state, CharacterState::exceeded);
    }

    void resultsAreRecordedWithWhatWasAsked()
    {
        Fixture f;
        f.view.setSelectedAction(TextAction::paraphrase);
        f.view.setSelectedTone(ToneOption::casual);
        f.view.setInputText(u"Please find attached."_s);
        f.answer(u"Here you go!"_s);
        QVERIFY(f.run());
        QCOMPARE(f.view.resultText(), u"Here you go!"_s);

        f.view.setSelectedAction(TextAction::correct);
        f.view.setInputText(u"teh cat"_s);
        f.answer(u"the cat"_s);
        QVERIFY(f.run());

        const QList<HistoryItem> items = f.items();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0].action, TextAction::correct);
        QCOMPARE(items[0].tone, std::nullopt); // casual is selected, but not sent
        QCOMPARE(items[0].originalText, u"teh cat"_s);
        QCOMPARE(items[0].resultText, u"the cat"_s);
        QCOMPARE(items[0].provider, u"Groq"_s);
        QVERIFY(!items[0].wasCached);
        QCOMPARE(items[1].tone, ToneOption::casual);

        // The same request again is answered from the cache and recorded as such.
        QVERIFY(f.run());
        QCOMPARE(f.items().first().wasCached, true);
        QCOMPARE(f.app.providerRequests(), 2);
    }

    void cancelEmptiesTheResultAndRecordsNothing()
    {
        Fixture f;
        f.view.setInputText(u"first"_s);
        f.answer(u"first result"_s);
        QVERIFY(f.run());

        f.app.provider.setDefaultReply(ScriptedReply::withEnding(ScriptedReply::Ending::never));
        f.view.setInputText(u"second"_s);
        QSignalSpy finished(&f.view, &PopoverView::requestFinished);
        LogCapture log;
        f.view.toggleProcessing();
        QTRY_VERIFY(f.app.router->isProcessing());
        QVERIFY(!f.view.canProcess());
        f.view.toggleProcessing(); // the button now says Cancel
        QVERIFY(finished.wait(10000));
        QCOMPARE(f.view.resultText(), QString());
        QCOMPARE(f.items().size(), 1);
        QVERIFY(log.lines().contains(u"Lexwick: Error processing text - Request was cancelled."_s));
    }

    void errorAfterSuccessEmptiesTheResult()
    {
        Fixture f;
        f.view.setInputText(u"one"_s);
        f.answer(u"done"_s);
        QVERIFY(f.run());
        f.view.setInputText(u"two"_s);
        f.app.provider.enqueue(ScriptedReply::json(400, R"({"error":{"message":"bad"}})"));
        QVERIFY(f.run());
        QCOMPARE(f.view.resultText(), QString());
        QCOMPARE(f.app.router->lastErrorMessage(), u"API Error: bad"_s);
        QCOMPARE(f.items().size(), 1);
    }

    void reusingAnItem()
    {
        Fixture f;
        f.view.setSelectedTone(ToneOption::persuasive);
        f.view.setShowHistory(true);
        HistoryItem item;
        item.originalText = u"old text"_s;
        item.action = TextAction::explain;
        f.view.reuseHistoryItem(item);
        QCOMPARE(f.view.inputText(), u"old text"_s);
        QCOMPARE(f.view.selectedAction(), TextAction::explain);
        QCOMPARE(f.view.selectedTone(), ToneOption::persuasive); // no tone: kept
        QCOMPARE(f.view.currentScreen(), u"main"_s);

        item.tone = ToneOption::concise;
        f.view.reuseHistoryItem(item);
        QCOMPARE(f.view.selectedTone(), ToneOption::concise);
    }

    void screens()
    {
        RouterFixture app;
        HistoryManager history(app.defaults);
        LogCapture log;
        PopoverView view(*app.router, *app.settings, history);
        QCOMPARE(view.currentScreen(), u"onboarding"_s);
        view.setShowSettings(true);
        view.setShowHistory(true);
        QCOMPARE(view.currentScreen(), u"onboarding"_s);
        QVERIFY(log.lines().isEmpty());

        view.completeOnboarding();
        QVERIFY(app.settings->hasCompletedOnboarding());
        QCOMPARE(view.currentScreen(), u"settings"_s);
        view.setShowSettings(false);
        view.setShowHistory(false);
        QCOMPARE(view.currentScreen(), u"main"_s);
        QVERIFY(view.isInputFocused());
        QCOMPARE(log.lines(),
                 (QStringList{u"Lexwick: showing settings"_s, u"Lexwick: showing history"_s,
                              u"Lexwick: showing main"_s}));

        QSignalSpy closed(&view, &PopoverView::closeRequested);
        QSignalSpy quit(&view, &PopoverView::quitRequested);
        view.close();
        view.quit();
        QCOMPARE(closed.size(), 1);
        QCOMPARE(quit.size(), 1);
    }

    void runningTextFromAnotherApplication()
    {
        Fixture f;
        f.view.setShowHistory(true);
        f.view.setSelectedTone(ToneOption::casual);
        f.answer(u"Kind regards"_s);
        QSignalSpy finished(&f.view, &PopoverView::requestFinished);
        QCOMPARE(f.view.runService(u"cheers"_s, TextAction::paraphrase), std::nullopt);
        QVERIFY(finished.wait(10000));
        QCOMPARE(f.view.currentScreen(), u"main"_s);
        QCOMPARE(f.view.inputText(), u"cheers"_s);
        QCOMPARE(f.view.selectedAction(), TextAction::paraphrase);
        QCOMPARE(f.view.selectedTone(), ToneOption::formal);
        QCOMPARE(f.view.resultText(), u"Kind regards"_s);

        // What cannot start says why, as the screen shows it.
        QCOMPARE(f.view.runService(u" \n"_s, TextAction::correct), u"No text selected"_s);
        QCOMPARE(f.view.runService(u"mail ann@example.com"_s, TextAction::correct),
                 AIError(AIError::PiiDetected{{PIIType::email}}).errorDescription());
        QVERIFY(f.view.showsSensitiveDataBanner());
        const std::optional<QString> tooLong =
            f.view.runService(QString(5001, u'x'), TextAction::explain);
        QCOMPARE(tooLong, u"Character limit exceeded (1 over)"_s);
        QCOMPARE(f.app.providerRequests(), 1);
    }

    // The record and the changes belong to the text and action that were sent, whatever the
    // user does while waiting; reusing a record keeps the result and the changes it shows.
    // (The toggle, Copy and other actions are checked on the main screen.)
    void theChangesBelongToTheRequest()
    {
        Fixture f;
        f.view.setInputText(u"teh cat"_s);
        ScriptedReply slow = ScriptedReply::json(200, chatAnswer(u"the cat"_s));
        slow.delay = 300ms;
        f.app.provider.enqueue(slow);
        QSignalSpy finished(&f.view, &PopoverView::requestFinished);
        f.view.toggleProcessing();
        QTRY_VERIFY(f.app.router->isProcessing());
        f.view.setInputText(u"typed while waiting"_s);
        f.view.setSelectedAction(TextAction::explain);
        QVERIFY(finished.wait(10000));
        const QList<HistoryItem> items = f.items();
        QCOMPARE(items.first().originalText, u"teh cat"_s);
        QCOMPARE(items.first().action, TextAction::correct);

        QVERIFY(f.view.showsChangesToggle());
        QVERIFY(f.view.showsResultChanges());
        QCOMPARE(f.view.changesSummary(), u"1 change"_s);
        const QString spoken = u"Result with changes: [deleted: teh] [inserted: the] cat"_s;
        QCOMPARE(f.view.resultAccessibleName(), spoken);
        QVERIFY(f.view.resultRichText().contains(u"class=\"deleted\""_s));

        HistoryItem other;
        other.originalText = u"a dgo"_s;
        other.action = TextAction::correct;
        f.view.reuseHistoryItem(other);
        QCOMPARE(f.view.resultAccessibleName(), spoken);

        // The reused record's request comes back from the cache with its own changes.
        f.view.setInputText(u"teh cat"_s);
        f.view.setSelectedAction(TextAction::correct);
        QVERIFY(f.run());
        QVERIFY(f.app.router->lastResultWasCached());
        QCOMPARE(f.view.resultAccessibleName(), spoken);
    }

    void copyPutsTheResultOnTheClipboard()
    {
        Fixture f;
        f.view.setInputText(u"text"_s);
        f.answer(u"copied answer"_s);
        QVERIFY(f.run());
        f.view.copyResult();
        QCOMPARE(QGuiApplication::clipboard()->text(), u"copied answer"_s);
        QVERIFY(f.view.showCopiedFeedback());
        QTRY_VERIFY_WITH_TIMEOUT(!f.view.showCopiedFeedback(), 5000);
    }
};

LEXWICK_GUI_TEST(PopoverViewTest)
#include "PopoverViewTest.moc"
