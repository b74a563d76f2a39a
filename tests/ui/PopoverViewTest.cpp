// SPDX-License-Identifier: MIT
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
    HistoryManager history{app.dir.filePath(u"history.json"_s), app.defaults};
    PopoverView view{*app.router, *app.settings, history};
    MainView& main = *view.main();
    ResultView& result = *main.result();

    Fixture() { app.settings->setHasCompletedOnboarding(true); }

    void answer(const QString& text)
    {
        app.provider.enqueue(ScriptedReply::json(200, chatAnswer(text)));
    }

    // Presses Ctrl+Return and waits until the request has ended, history included.
    bool run()
    {
        QSignalSpy finished(&main, &MainView::requestFinished);
        main.toggleProcessing();
        return !finished.isEmpty() || finished.wait(10000); // a refusal ends at once
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
        f.main.setInputText(u" \n\t "_s);
        QVERIFY(!f.main.canProcess());
        f.main.toggleProcessing();
        QTest::qWait(50);
        QCOMPARE(f.app.providerRequests(), 0);

        f.main.setInputText(u"mail ann@example.com"_s);
        QVERIFY(!f.main.canProcess());
        QVERIFY(f.main.checks()->detection().hasPII);
        f.app.settings->setPiiDetectionEnabled(false);
        QVERIFY(f.main.canProcess());

        f.main.setInputText(QString(5001, u'x'));
        QVERIFY(!f.main.canProcess());
        QCOMPARE(f.main.checks()->validation().state, CharacterState::exceeded);
    }

    void resultsAreRecordedWithWhatWasAsked()
    {
        Fixture f;
        f.main.setSelectedAction(TextAction::paraphrase);
        f.main.setSelectedTone(ToneOption::casual);
        f.main.setInputText(u"Please find attached."_s);
        f.answer(u"Here you go!"_s);
        QVERIFY(f.run());
        QCOMPARE(f.result.text(), u"Here you go!"_s);

        f.main.setSelectedAction(TextAction::correct);
        f.main.setInputText(u"teh cat"_s);
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
        f.main.setInputText(u"first"_s);
        f.answer(u"first result"_s);
        QVERIFY(f.run());

        f.app.provider.setDefaultReply(ScriptedReply::withEnding(ScriptedReply::Ending::never));
        f.main.setInputText(u"second"_s);
        QSignalSpy finished(&f.main, &MainView::requestFinished);
        LogCapture log;
        f.main.toggleProcessing();
        QVERIFY(f.main.isProcessing());
        QVERIFY(!f.main.canProcess());
        QCOMPARE(f.main.processButtonText(), u"Cancel"_s);
        f.main.toggleProcessing();
        QVERIFY(finished.wait(10000));
        QCOMPARE(f.result.text(), QString());
        QCOMPARE(f.main.errorMessage(), u"Request was cancelled."_s);
        QVERIFY(!f.main.isProcessing());
        QCOMPARE(f.items().size(), 1);
        QVERIFY(log.lines().contains(u"Lexwick: Error processing text - Request was cancelled."_s));
    }

    void errorAfterSuccessEmptiesTheResult()
    {
        Fixture f;
        f.main.setInputText(u"one"_s);
        f.answer(u"done"_s);
        QVERIFY(f.run());
        f.main.setInputText(u"two"_s);
        f.app.provider.enqueue(ScriptedReply::json(400, R"({"error":{"message":"bad"}})"));
        QVERIFY(f.run());
        QCOMPARE(f.result.text(), QString());
        QCOMPARE(f.main.errorMessage(), u"API Error: bad"_s);
        QCOMPARE(f.items().size(), 1);
    }

    void reusingAnItem()
    {
        Fixture f;
        f.main.setSelectedTone(ToneOption::persuasive);
        f.view.setShowHistory(true);
        HistoryItem item;
        item.originalText = u"old text"_s;
        item.action = TextAction::explain;
        f.view.reuseHistoryItem(item);
        QCOMPARE(f.main.inputText(), u"old text"_s);
        QCOMPARE(f.main.selectedAction(), TextAction::explain);
        QCOMPARE(f.main.selectedTone(), ToneOption::persuasive); // no tone: kept
        QCOMPARE(f.view.currentScreen(), u"main"_s);

        item.tone = ToneOption::concise;
        f.view.reuseHistoryItem(item);
        QCOMPARE(f.main.selectedTone(), ToneOption::concise);
    }

    void screens()
    {
        RouterFixture app;
        HistoryManager history(app.dir.filePath(u"history.json"_s), app.defaults);
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
        QVERIFY(view.main()->isInputFocused());
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
        f.main.setSelectedTone(ToneOption::casual);
        f.answer(u"Kind regards"_s);
        const auto run = [&f](const QString& text, TextAction action) {
            return runTask(f.view.runService(text, action))
                .value_or(MainView::ServiceOutcome(std::unexpect, u"hung"_s));
        };
        QCOMPARE(run(u"cheers"_s, TextAction::paraphrase), u"Kind regards"_s);
        QCOMPARE(f.view.currentScreen(), u"main"_s);
        QCOMPARE(f.main.inputText(), u"cheers"_s);
        QCOMPARE(f.main.selectedAction(), TextAction::paraphrase);
        QCOMPARE(f.main.selectedTone(), ToneOption::formal);
        QCOMPARE(f.result.text(), u"Kind regards"_s);

        // What cannot start says why, as the screen shows it; a failure gives its message.
        QCOMPARE(run(u" \n"_s, TextAction::correct).error(), u"No text selected"_s);
        QCOMPARE(run(u"mail ann@example.com"_s, TextAction::correct).error(),
                 AIError(AIError::PiiDetected{{PIIType::email}}).errorDescription());
        QVERIFY(f.main.checks()->showsSensitiveDataBanner());
        QCOMPARE(run(QString(5001, u'x'), TextAction::explain).error(),
                 u"Character limit exceeded (1 over)"_s);
        f.app.provider.enqueue(ScriptedReply::json(400, R"({"error":{"message":"bad"}})"));
        QCOMPARE(run(u"cheers again"_s, TextAction::explain).error(), u"API Error: bad"_s);
        QCOMPARE(f.main.errorMessage(), u"API Error: bad"_s);
        QCOMPARE(f.app.providerRequests(), 2);
    }

    // The record and the changes belong to the text and action that were sent, whatever the
    // user does while waiting; reusing a record keeps the result and the changes it shows.
    // (The toggle, Copy and other actions are checked on the main screen.)
    void theChangesBelongToTheRequest()
    {
        Fixture f;
        f.main.setInputText(u"teh cat"_s);
        ScriptedReply slow = ScriptedReply::json(200, chatAnswer(u"the cat"_s));
        slow.delay = 300ms;
        f.app.provider.enqueue(slow);
        QSignalSpy finished(&f.main, &MainView::requestFinished);
        f.main.toggleProcessing();
        QVERIFY(f.main.isProcessing());
        f.main.setInputText(u"typed while waiting"_s);
        f.main.setSelectedAction(TextAction::explain);
        QVERIFY(finished.wait(10000));
        const QList<HistoryItem> items = f.items();
        QCOMPARE(items.first().originalText, u"teh cat"_s);
        QCOMPARE(items.first().action, TextAction::correct);

        QVERIFY(f.result.showsChangesToggle());
        QVERIFY(f.result.showsChanges());
        QCOMPARE(f.result.changesSummary(), u"1 change"_s);
        const QString spoken = u"Result with changes: [deleted: teh] [inserted: the] cat"_s;
        QCOMPARE(f.result.accessibleName(), spoken);
        QVERIFY(f.result.richText().contains(u"class=\"deleted\""_s));

        HistoryItem other;
        other.originalText = u"a dgo"_s;
        other.action = TextAction::correct;
        f.view.reuseHistoryItem(other);
        QCOMPARE(f.result.accessibleName(), spoken);

        // The reused record's request comes back from the cache with its own changes.
        f.main.setInputText(u"teh cat"_s);
        f.main.setSelectedAction(TextAction::correct);
        QVERIFY(f.run());
        QVERIFY(f.result.showsCachedBadge());
        QCOMPARE(f.result.accessibleName(), spoken);
    }

    // The answer shows as the model writes it, without its changes or Copy until it is whole;
    // then the changes are computed once, from the final text.
    void theAnswerShowsAsItIsWritten()
    {
        Fixture f;
        f.main.setInputText(u"Teh text"_s);
        f.app.provider.enqueue(
            ScriptedReply::eventStream(chatStream({u"The"_s, u" text"_s, u" here"_s}), 300ms));
        QSignalSpy finished(&f.main, &MainView::requestFinished);
        f.main.toggleProcessing();
        QVERIFY(f.result.showsSpinner());
        QTRY_VERIFY(f.result.isWriting());
        QCOMPARE(f.result.text(), u"The"_s);
        QVERIFY(!f.result.showsSpinner());
        QVERIFY(f.result.isShown());
        QVERIFY(!f.result.canCopy());
        QVERIFY(!f.result.showsChanges());
        QVERIFY(!f.result.showsChangesToggle());
        QVERIFY(f.result.changesSummary().isEmpty());
        QVERIFY(f.result.richText().contains(u">The<"_s));
        QCOMPARE(f.main.processButtonText(), u"Cancel"_s);
        QTRY_COMPARE(f.result.text(), u"The text"_s);

        QVERIFY(finished.wait(10000));
        QCOMPARE(f.result.text(), u"The text here"_s);
        QVERIFY(!f.result.isWriting());
        QVERIFY(f.result.canCopy());
        QVERIFY(f.result.showsChanges());
        QCOMPARE(f.result.changesSummary(), u"2 changes"_s);
        QCOMPARE(f.items().first().resultText, u"The text here"_s);

        // Cancelled while writing: no answer stays, and the history has none.
        f.main.setInputText(u"Other text"_s);
        ScriptedReply halted = ScriptedReply::eventStream(chatStream({u"Half"_s, u" more"_s}), 10s);
        halted.chunks[1].prepend(halted.chunks.takeFirst()); // "Half" comes at once
        f.app.provider.enqueue(halted);
        f.main.toggleProcessing();
        QTRY_COMPARE(f.result.text(), u"Half"_s);
        f.main.toggleProcessing();
        QVERIFY(finished.wait(10000));
        QVERIFY(f.result.text().isEmpty());
        QVERIFY(!f.result.isShown());
        QCOMPARE(f.items().size(), 1);
    }

    // A fast stream is shown at most once a frame, the latest text each time; pieces that
    // arrive after the answer ended change nothing.
    void piecesAreShownAtMostOnceAFrame()
    {
        ResultView result;
        result.awaitAnswer();
        QSignalSpy shown(&result, &ResultView::textChanged);
        for (int i = 1; i <= 200; ++i)
            result.showPartial(QString(i, u'a'));
        QCOMPARE(shown.size(), 1);
        QCOMPARE(result.text(), u"a"_s);
        QTRY_COMPARE(result.text(), QString(200, u'a'));
        QCOMPARE(shown.size(), 2);
        QTest::qWait(int(ResultView::frameInterval.count()) * 3);
        QCOMPARE(shown.size(), 2);

        result.show(u"final"_s, u"sent"_s, TextAction::explain, false);
        result.showPartial(u"late"_s);
        QTest::qWait(int(ResultView::frameInterval.count()) * 2);
        QCOMPARE(result.text(), u"final"_s);
        QVERIFY(!result.isWriting());
    }

    // Copy copies what the result box shows, and only that: with nothing shown (no answer yet,
    // or a spinner in its place) the clipboard keeps what it held and nothing says "Copied!".
    void copyTakesOnlyAShownAnswer()
    {
        Fixture f;
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(u"the user's own"_s);
        f.result.copy();
        QVERIFY(!f.result.canCopy());
        QVERIFY(!f.result.showCopiedFeedback());

        f.main.setInputText(u"text"_s);
        f.answer(u"copied answer"_s);
        QVERIFY(f.run());
        clipboard->setText(u"the user's own"_s);
        f.app.provider.setDefaultReply(ScriptedReply::withEnding(ScriptedReply::Ending::never));
        f.main.setInputText(u"another text"_s);
        f.main.toggleProcessing();
        QVERIFY(f.result.isWaiting());
        f.result.copy();
        QCOMPARE(clipboard->text(), u"the user's own"_s);
        QVERIFY(!f.result.showCopiedFeedback());

        QSignalSpy finished(&f.main, &MainView::requestFinished);
        f.main.toggleProcessing();
        QVERIFY(finished.wait(10000));
        f.main.setInputText(u"text"_s);
        QVERIFY(f.run()); // from the cache
        f.result.copy();
        QCOMPARE(clipboard->text(), u"copied answer"_s);
        QVERIFY(f.result.showCopiedFeedback());
        QTRY_VERIFY_WITH_TIMEOUT(!f.result.showCopiedFeedback(), 5000);
    }

    // An error about where the text went goes once the user changes that: the mode, the
    // provider, the model or the key. One about the request itself stays.
    void providerErrorsGoWithTheirSetting()
    {
        Fixture f;
        const QString missingKey = AIError(AIError::MissingAPIKey{}).errorDescription();
        const auto failWithoutKey = [&f, &missingKey] {
            f.app.settings->deleteAPIKey(APIProvider::groq);
            f.main.setInputText(f.main.inputText() + u"."_s); // not from the cache
            QVERIFY(f.run());
            QCOMPARE(f.main.errorMessage(), missingKey);
        };
        failWithoutKey();
        f.app.settings->setCustomProvider(APIProvider::anthropic);
        QVERIFY(!f.main.showsError());

        f.app.settings->setCustomProvider(APIProvider::groq);
        failWithoutKey();
        f.app.settings->setCustomModelId(u"llama-3.3-70b-versatile"_s);
        QVERIFY(!f.main.showsError());

        failWithoutKey();
        QVERIFY(QCoro::waitFor(f.app.settings->saveAPIKey(u"new-key"_s, APIProvider::groq)));
        QVERIFY(!f.main.showsError());

        failWithoutKey();
        f.app.settings->setProviderMode(AIProviderMode::cloud);
        QVERIFY(!f.main.showsError());

        f.app.settings->setProviderMode(AIProviderMode::custom);
        QVERIFY(QCoro::waitFor(f.app.settings->saveAPIKey(u"test-key"_s, APIProvider::groq)));
        f.app.provider.setDefaultReply(ScriptedReply::withEnding(ScriptedReply::Ending::never));
        f.main.setInputText(u"to cancel"_s);
        QSignalSpy finished(&f.main, &MainView::requestFinished);
        f.main.toggleProcessing();
        f.main.toggleProcessing();
        QVERIFY(finished.wait(10000));
        f.app.settings->setCustomProvider(APIProvider::openai);
        QCOMPARE(f.main.errorMessage(), u"Request was cancelled."_s);
    }
};

LEXWICK_GUI_TEST(PopoverViewTest)
#include "PopoverViewTest.moc"
