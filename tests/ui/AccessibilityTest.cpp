// SPDX-License-Identifier: MIT
#include "support/Expect.h"
#include "support/PopoverScreen.h"
#include "support/TestMain.h"
#include "ui/SettingsView.h"

#include <QAccessible>
#include <QQuickItem>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtQml/qqmlextensionplugin.h>

#include <functional>

Q_IMPORT_QML_PLUGIN(LexwickPlugin)

using namespace lexwick;
using namespace lexwick::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

// The popover in an offscreen window, worked with the keyboard alone.
struct Screen : PopoverScreen {
    explicit Screen(Options options = {})
        : PopoverScreen(std::move(options))
    {
        app.provider.setHandler([](const ReceivedRequest& request) {
            return request.path.contains("/models")
                       ? ScriptedReply::json(200, R"({"data":[{"id":"llama-3.1-8b-instant"}]})")
                       : ScriptedReply::json(200, chatAnswer(u"The text, corrected."_s));
        });
    }

    // By name, through the item tree (a Repeater's items are no QObject children).
    QQuickItem* find(const QString& name, QQuickItem* under = nullptr) const
    {
        for (QQuickItem* child : (under ? under : window.contentItem())->childItems()) {
            if (child->objectName() == name && shown(child))
                return child;
            if (QQuickItem* found = find(name, child))
                return found;
        }
        return nullptr;
    }
    QQuickItem* focused() const { return window.activeFocusItem(); }
    QString focusedName() const { return focused() ? focused()->objectName() : QString(); }

    // Presses Tab (or Shift+Tab) until the focus comes back where it started: the names of the
    // controls it went through, each checked to show its focus ring in view.
    QStringList tabRound(bool backwards = false)
    {
        QStringList names;
        QQuickItem* start = focused();
        for (int i = 0; i < 60; ++i) {
            press(backwards ? Qt::Key_Backtab : Qt::Key_Tab,
                  backwards ? Qt::ShiftModifier : Qt::NoModifier);
            QQuickItem* now = focused();
            if (!now || now == start)
                break;
            names << (now->objectName().isEmpty() ? u"(unnamed)"_s : now->objectName());
            if (!ringShows(now))
                names.last() += u" (no ring)"_s;
            if (!inView(now))
                names.last() += u" (out of view)"_s;
        }
        return names;
    }

    // The focus ring of the item: among its own items, or (a field in a frame of its own)
    // beside it in the nearest enclosing item that has one.
    static bool ringShows(QQuickItem* item)
    {
        const std::function<QQuickItem*(QQuickItem*)> ringIn = [&](QQuickItem* under) {
            for (QQuickItem* child : under->childItems()) {
                if (child->objectName() == u"focusRing")
                    return child;
                if (QQuickItem* found = ringIn(child))
                    return found;
            }
            return static_cast<QQuickItem*>(nullptr);
        };
        QQuickItem* ring = ringIn(item);
        for (QQuickItem* up = item->parentItem(); !ring && up; up = up->parentItem()) {
            for (QQuickItem* child : up->childItems())
                if (child->objectName() == u"focusRing")
                    ring = child;
        }
        return ring && shown(ring);
    }

    // Whether the item lies within the part of the window that its scrolling area shows.
    bool inView(QQuickItem* item)
    {
        if (!laidOut())
            return false;
        QRectF visible(QPointF(0, 0), window.size());
        for (QQuickItem* up = item->parentItem(); up; up = up->parentItem()) {
            if (up->clip())
                visible &= up->mapRectToScene(up->boundingRect());
        }
        const QRectF rect = item->mapRectToScene(item->boundingRect());
        return visible.contains(rect) ||
               (rect.height() > visible.height() && visible.top() >= rect.top() - 1 &&
                visible.intersects(rect));
    }

    // The accessible object of the item.
    static QAccessibleInterface* reader(QQuickItem* item)
    {
        return item ? QAccessible::queryAccessibleInterface(item) : nullptr;
    }
};

bool isChecked(QAccessibleInterface* accessible)
{
    return accessible && accessible->state().checked;
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    // Tab goes from the text through the action, the process button, the result and the
    // footer, then the header, back to the text; Shift+Tab the other way. Every stop shows its
    // ring and is scrolled into view.
    void theMainScreenInReadingOrder()
    {
        Screen s;
        QVERIFY(s.show());
        s.type(u"Teh text"_s);
        QSignalSpy finished(s.view.main(), &MainView::requestFinished);
        s.press(Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(finished.wait(10000));
        QCOMPARE(s.focusedName(), u"input"_s);
        QCOMPARE(s.find(u"header"_s)->height(), 56.0);

        const QStringList forward{u"actionCorrect"_s, u"processButton"_s, u"changesToggle"_s,
                                  u"copyButton"_s,    u"result"_s,        u"chip"_s,
                                  u"quitButton"_s,    u"historyButton"_s, u"settingsButton"_s,
                                  u"closeButton"_s};
        QCOMPARE(s.tabRound(), forward);
        QStringList backward = forward;
        std::reverse(backward.begin(), backward.end());
        QCOMPARE(s.tabRound(true), backward);
    }

    // Tab leaves the text; Ctrl+Tab inserts a tab, as the field's tool tip says.
    void tabLeavesTheTextAndCtrlTabInsertsOne()
    {
        Screen s;
        QVERIFY(s.show());
        s.type(u"ab"_s);
        s.press(Qt::Key_Tab, Qt::ControlModifier);
        s.type(u"c"_s);
        QCOMPARE(s.view.main()->inputText(), u"ab\tc"_s);
        QVERIFY(s.view.main()->inputHint().contains(u"Ctrl+Tab inserts a tab"_s));
        QCOMPARE(Screen::reader(s.find(u"input"_s))->text(QAccessible::Description),
                 s.view.main()->inputHint());
        s.press(Qt::Key_Tab);
        QCOMPARE(s.focusedName(), u"actionCorrect"_s);
        QCOMPARE(s.view.main()->inputText(), u"ab\tc"_s);
    }

    // In the action cards and the tone grid the arrows move the focus, Space and Return choose;
    // Tab enters each group at its choice. A screen reader hears radio buttons, checked or not.
    void arrowsMoveInTheActionsAndTones()
    {
        Screen s;
        QVERIFY(s.show());
        s.press(Qt::Key_Tab);
        QCOMPARE(s.focusedName(), u"actionCorrect"_s);
        s.press(Qt::Key_Right);
        QCOMPARE(s.focusedName(), u"actionParaphrase"_s);
        QVERIFY(Screen::ringShows(s.focused()));
        QCOMPARE(s.view.main()->selectedAction(), TextAction::correct);
        QAccessibleInterface* paraphrase = Screen::reader(s.focused());
        QCOMPARE(paraphrase->role(), QAccessible::RadioButton);
        QVERIFY(!isChecked(paraphrase));
        s.press(Qt::Key_Space);
        QCOMPARE(s.view.main()->selectedAction(), TextAction::paraphrase);
        QVERIFY(isChecked(paraphrase));
        s.press(Qt::Key_Right);
        s.press(Qt::Key_Right); // stays on the last
        QCOMPARE(s.focusedName(), u"actionExplain"_s);
        s.press(Qt::Key_Left);

        QTRY_VERIFY(s.find(u"toneSection"_s)); // fading in
        s.press(Qt::Key_Tab);
        QCOMPARE(s.focusedName(), u"toneFormal"_s);
        s.press(Qt::Key_Right);
        s.press(Qt::Key_Down);
        QCOMPARE(s.focusedName(), u"toneConfident"_s); // below Casual
        s.press(Qt::Key_Return);
        QCOMPARE(s.view.main()->selectedTone(), ToneOption::confident);
        s.press(Qt::Key_Up);
        QCOMPARE(s.focusedName(), u"toneCasual"_s);
        s.press(Qt::Key_Tab);
        QCOMPARE(s.focusedName(), u"chip"_s); // the process button is disabled without text
        s.press(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(s.focusedName(), u"toneConfident"_s); // the group's choice
        s.press(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(s.focusedName(), u"actionParaphrase"_s);
    }

    // With the tone grid shown, the result comes into view when the answer arrives; typing
    // brings the text back.
    void theResultComesIntoView()
    {
        Screen s;
        QVERIFY(s.show());
        s.app.provider.setHandler([](const ReceivedRequest&) {
            return ScriptedReply::json(
                200, chatAnswer(u"Could you get the report to us by Friday? "_s.repeated(6)));
        });
        s.view.main()->setSelectedAction(TextAction::paraphrase);
        s.type(u"We need the report by Friday."_s);
        QSignalSpy finished(s.view.main(), &MainView::requestFinished);
        s.press(Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(finished.wait(10000));
        QTRY_VERIFY(!s.inView(s.find(u"inputFrame"_s))); // scrolled past it...
        QVERIFY(s.inView(s.find(u"result"_s)));          // ...to the whole answer
        QCOMPARE(s.focusedName(), u"input"_s);
        s.type(u"x"_s);
        QTRY_VERIFY(s.inView(s.find(u"inputFrame"_s)));
    }

    // Right-to-left text is aligned and ordered by its own direction, in the field and in the
    // answer (whose markup around it is all left-to-right).
    void rightToLeftTextFollowsItsDirection()
    {
        Screen s;
        QVERIFY(s.show());
        const QString hebrew =
            u"\u05e9\u05dc\u05d5\u05dd, \u05de\u05d4 \u05e9\u05dc\u05d5\u05de\u05da?"_s;
        s.app.provider.setHandler([&](const ReceivedRequest&) {
            return ScriptedReply::json(200, chatAnswer(u"**"_s + hebrew + u"**"_s));
        });
        s.view.main()->setSelectedAction(TextAction::explain);
        s.view.main()->setInputText(hebrew);
        QSignalSpy finished(s.view.main(), &MainView::requestFinished);
        s.view.main()->toggleProcessing();
        QVERIFY(finished.wait(10000));
        for (const QString& name : {u"input"_s, u"result"_s}) {
            QCOMPARE(s.find(name)->property("effectiveHorizontalAlignment").toInt(),
                     int(Qt::AlignRight));
        }
    }

    // Every control of the settings screen is reached in order, ringed and scrolled into view.
    void theSettingsScreenInReadingOrder()
    {
        Screen s;
        s.app.settings->saveAPIKey(u"gsk_key"_s, APIProvider::groq);
        s.view.setShowSettings(true);
        QVERIFY(s.show());
        // Its header is as tall as the main screen's (above).
        QCOMPARE(s.find(u"header"_s)->height(), 56.0);
        s.find(u"closeButton"_s)->forceActiveFocus(Qt::TabFocusReason);
        const QStringList round = s.tabRound();
        QCOMPARE(round,
                 (QStringList{u"providerCard2"_s, u"providerButton0"_s, u"getAPIKeyLink"_s,
                              u"keyField"_s, u"eyeButton"_s, u"saveKeyButton"_s,
                              u"deleteKeyButton"_s, u"modelPicker"_s, u"serverAddressField"_s,
                              u"serverKeyField"_s, u"localModelPicker"_s, u"checkAgainButton"_s,
                              u"afterShortcutButton0"_s, u"piiSwitch"_s, u"loginSwitch"_s,
                              u"shortcutsRow"_s, u"restartOnboardingRow"_s,
                              u"quitRow"_s, u"doneButton"_s}));
        // The switch answers Space and Return, and says its state.
        s.find(u"piiSwitch"_s)->forceActiveFocus(Qt::TabFocusReason);
        QVERIFY(s.app.settings->piiDetectionEnabled());
        s.press(Qt::Key_Return);
        QVERIFY(!s.app.settings->piiDetectionEnabled());
        QVERIFY(!isChecked(Screen::reader(s.focused())));
        s.press(Qt::Key_Space);
        QVERIFY(s.app.settings->piiDetectionEnabled());
        QVERIFY(isChecked(Screen::reader(s.focused())));
    }

    // Escape closes the sheet on top, then the popover; while a sheet is up the keyboard stays
    // in it, and comes back to where the sheet was opened.
    void escapeClosesTheSheetThenThePopover()
    {
        Screen s;
        s.view.setShowSettings(true);
        QVERIFY(s.show());
        QSignalSpy closing(&s.view, &PopoverView::closeRequested);
        s.find(u"shortcutsRow"_s)->forceActiveFocus(Qt::TabFocusReason);
        s.press(Qt::Key_Return);
        QVERIFY(s.view.settingsView()->showsShortcuts());
        QCOMPARE(s.focusedName(), u"shortcutsDoneButton"_s);
        s.press(Qt::Key_Tab);
        QCOMPARE(s.focusedName(), u"shortcutsDoneButton"_s); // the only control on the sheet
        s.press(Qt::Key_Escape);
        QVERIFY(!s.view.settingsView()->showsShortcuts());
        QCOMPARE(s.focusedName(), u"shortcutsRow"_s);
        QCOMPARE(closing.size(), 0);

        s.find(u"restartOnboardingRow"_s)->forceActiveFocus(Qt::TabFocusReason);
        s.press(Qt::Key_Space);
        QTRY_VERIFY(s.view.showsOnboardingSheet());
        s.press(Qt::Key_Escape);
        QTRY_VERIFY(!s.view.showsOnboardingSheet());
        QCOMPARE(s.view.currentScreen(), u"settings"_s);
        QCOMPARE(closing.size(), 0);

        s.press(Qt::Key_Escape);
        QCOMPARE(closing.size(), 1);
    }

    // History: the search, each card's buttons (the card scrolled into view), the footer;
    // Return on Reuse takes the record back to the main screen.
    void theHistoryScreenInReadingOrder()
    {
        Screen s;
        for (int i = 0; i < 6; ++i) {
            HistoryItem item;
            item.originalText = u"Text %1"_s.arg(i);
            item.resultText = u"Result %1"_s.arg(i);
            item.provider = u"Groq"_s;
            s.record({item});
        }
        QSignalSpy replaced(s.view.historyView(), &HistoryView::itemsReplaced);
        s.view.setShowHistory(true);
        QVERIFY(s.show());
        QTRY_VERIFY(!replaced.isEmpty());
        QVERIFY(s.laidOut());
        s.find(u"search"_s)->forceActiveFocus(Qt::TabFocusReason);
        const QStringList round = s.tabRound();
        QStringList expected;
        for (int i = 0; i < 6; ++i)
            expected << u"reuseButton"_s << u"copyButton"_s << u"deleteButton"_s;
        expected << u"clearAllButton"_s << u"doneButton"_s << u"closeButton"_s;
        QCOMPARE(round, expected);

        s.find(u"search"_s)->forceActiveFocus(Qt::TabFocusReason);
        s.press(Qt::Key_Tab);
        s.press(Qt::Key_Return);
        QTRY_COMPARE(s.view.currentScreen(), u"main"_s);
        QCOMPARE(s.view.main()->inputText(), u"Text 5"_s);
    }

    // Return presses the button that has the focus: Back goes back, it does not go on.
    void theIntroductionFromTheKeyboard()
    {
        Screen s({.completedOnboarding = false});
        QVERIFY(s.show());
        OnboardingView& onboarding = *s.view.onboardingView();
        s.press(Qt::Key_Tab);
        QCOMPARE(s.focusedName(), u"primaryButton"_s);
        QVERIFY(Screen::ringShows(s.focused()));
        s.press(Qt::Key_Return);
        s.press(Qt::Key_Return);
        QCOMPARE(onboarding.currentPage(), 2);
        s.press(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(s.focusedName(), u"backButton"_s);
        s.press(Qt::Key_Return);
        QCOMPARE(onboarding.currentPage(), 1);
    }

    // What a screen reader hears: every control has a role and a name; the choices, the
    // switch and the toggle their state; the counter its level; the banner and the error are
    // alerts; the result says whether it shows changes, Copy that it copied.
    void aScreenReaderHearsEveryControl()
    {
        Screen s;
        QVERIFY(s.show());
        s.view.main()->setInputText(QString(4213, u'a'));
        QVERIFY(s.laidOut());
        const std::function<void(QAccessibleInterface*)> check = [&](QAccessibleInterface* a) {
            if (a->state().focusable && !a->state().invisible) {
                QVERIFY2(!a->text(QAccessible::Name).isEmpty(),
                         qPrintable(u"a control without a name, role %1"_s.arg(a->role())));
                QVERIFY(a->role() != QAccessible::NoRole && a->role() != QAccessible::Client);
            }
            for (int i = 0; i < a->childCount(); ++i)
                check(a->child(i));
        };
        check(QAccessible::queryAccessibleInterface(&s.window));

        QCOMPARE(Screen::reader(s.find(u"counter"_s))->text(QAccessible::Name),
                 u"4213 of 5000 characters. Approaching character limit"_s);
        QVERIFY(isChecked(Screen::reader(s.find(u"actionCorrect"_s))));
        QAccessibleInterface* actions = Screen::reader(s.find(u"actions"_s));
        QCOMPARE(actions->role(), QAccessible::Grouping);
        QCOMPARE(actions->text(QAccessible::Name), u"Action"_s);

        s.view.main()->setInputText(u"mail me: someone@example.com"_s);
        QTRY_VERIFY(s.find(u"banner"_s));
        QCOMPARE(Screen::reader(s.find(u"banner"_s))->role(), QAccessible::AlertMessage);

        s.view.main()->setInputText(u"Teh text"_s);
        s.app.provider.setHandler([](const ReceivedRequest&) {
            return ScriptedReply::json(401, R"({"error":{"message":"bad key"}})");
        });
        QSignalSpy finished(s.view.main(), &MainView::requestFinished);
        QTest::ignoreMessage(QtWarningMsg, "Lexwick: Error processing text - API Error: bad key");
        s.view.main()->toggleProcessing();
        QVERIFY(finished.wait(10000));
        QAccessibleInterface* error = Screen::reader(s.find(u"errorLine"_s));
        QCOMPARE(error->role(), QAccessible::AlertMessage);
        QCOMPARE(error->text(QAccessible::Name), s.view.main()->errorMessage());

        s.app.provider.setHandler([](const ReceivedRequest&) {
            return ScriptedReply::json(200, chatAnswer(u"The text"_s));
        });
        s.view.main()->toggleProcessing();
        QVERIFY(finished.wait(10000));
        QAccessibleInterface* toggle = Screen::reader(s.find(u"changesToggle"_s));
        QCOMPARE(toggle->role(), QAccessible::CheckBox);
        QVERIFY(isChecked(toggle));
        QVERIFY(Screen::reader(s.find(u"result"_s))
                    ->text(QAccessible::Name)
                    .startsWith(u"Result with changes: "_s));
        s.find(u"copyButton"_s)->forceActiveFocus(Qt::TabFocusReason);
        s.press(Qt::Key_Return);
        QCOMPARE(Screen::reader(s.find(u"copyButton"_s))->text(QAccessible::Name), u"Copied!"_s);
    }
};

LEXWICK_GUI_TEST(AccessibilityTest)
#include "AccessibilityTest.moc"
