// SPDX-License-Identifier: MIT
// lexwick-screenshots DIR: renders every state of the screens offscreen to PNG files, in a
// light and a dark palette, so anyone can look at them.

#include "support/Expect.h"
#include "support/Palettes.h"
#include "support/PopoverScreen.h"
#include "ui/SettingsView.h"

#include <QDir>
#include <QGuiApplication>
#include <QPalette>
#include <QQuickItem>
#include <QQuickView>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <cstdio>
#include <functional>

Q_IMPORT_QML_PLUGIN(LexwickPlugin)

using namespace lexwick;
using namespace lexwick::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

struct Shooter {
    QDir dir;
    QString theme;

    // Renders one state: `prepare` sets it up on a fresh popover, shown at the size of the
    // screen it ends on.
    bool shoot(const QString& name, const std::function<void(PopoverScreen&)>& prepare,
               PopoverScreen::Options options = {})
    {
        PopoverScreen s(options);
        if (!s.show())
            return false;
        prepare(s);
        QTest::qWait(400); // let the animations settle
        const QString file = dir.filePath(name + u'-' + theme + u".png"_s);
        const bool saved = s.window.grabWindow().save(file);
        std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(file));
        return saved;
    }
};

QQuickItem* findItem(QQuickItem* under, const QString& name)
{
    for (QQuickItem* child : under->childItems()) {
        if (child->objectName() == name)
            return child;
        if (QQuickItem* found = findItem(child, name))
            return found;
    }
    return nullptr;
}

// The settings screen in one state, scrolled to each of the named items (one picture each;
// "top" and "bottom" are the ends).
struct SettingsShooter {
    QDir dir;
    QString theme;
    QString openPicker; // a drop-down shown open in the pictures
    QString focus;      // a control given the focus as the Tab key gives it

    bool shoot(const QString& name, RouterFixture::Options options, QStringList offsets,
               const std::function<void(RouterFixture&, SettingsView&)>& prepare)
    {
        PopoverScreen s({.router = std::move(options)});
        s.app.provider.setHandler([](const ReceivedRequest& request) {
            return ScriptedReply::json(200, request.path.contains("/models")
                                                ? R"({"data":[{"id":"llama-3.1-8b-instant"},
                                       {"id":"llama-3.3-70b-versatile"},
                                       {"id":"openai/gpt-oss-120b"}]})"
                                                : chatAnswer(u"ok"_s));
        });
        s.view.setShowSettings(true);
        if (!s.show())
            return false;
        QTest::qWait(300); // the first check of the server
        prepare(s.app, *s.view.settingsView());
        QTest::qWait(400); // let the answers arrive and the animations settle
        QQuickView& window = s.window;
        bool ok = true;
        auto* scroll = window.rootObject()->findChild<QQuickItem*>(u"scroll"_s);
        auto* flickable = scroll->property("contentItem").value<QQuickItem*>();
        auto* content = flickable->property("contentItem").value<QQuickItem*>();
        if (QQuickItem* target = focus.isEmpty() ? nullptr : findItem(content, focus)) {
            target->forceActiveFocus(Qt::TabFocusReason);
            QTest::qWait(100);
        }
        for (const QString& offset : offsets) {
            const qreal bottom =
                std::max(0.0, flickable->property("contentHeight").toReal() - flickable->height());
            qreal y = offset == u"bottom" ? bottom : 0.0;
            if (QQuickItem* target = findItem(content, offset))
                y = std::clamp(target->mapToItem(content, QPointF(0, 0)).y() - 12, 0.0, bottom);
            flickable->setProperty("contentY", y);
            QTest::qWait(50);
            if (QQuickItem* picker =
                    openPicker.isEmpty() ? nullptr : findItem(content, openPicker)) {
                QMetaObject::invokeMethod(picker->property("popup").value<QObject*>(), "open");
                QTest::qWait(300);
            }
            const QString file = dir.filePath(
                name + (offsets.size() > 1 ? u'-' + offset : QString()) + u'-' + theme + u".png"_s);
            const bool saved = window.grabWindow().save(file);
            std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(file));
            ok &= saved;
        }
        return ok;
    }
};

void waitFor(PopoverView& view)
{
    QSignalSpy finished(view.main(), &MainView::requestFinished);
    finished.wait(10000);
}

void openHistory(PopoverScreen& s)
{
    QSignalSpy replaced(s.view.historyView(), &HistoryView::itemsReplaced);
    s.view.setShowHistory(true);
    (void)QTest::qWaitFor([&] { return !replaced.isEmpty(); }, 10000);
}

HistoryItem record(const QString& original, const QString& result, TextAction action,
                   std::optional<ToneOption> tone, std::chrono::seconds age, bool cached = false)
{
    HistoryItem item;
    item.originalText = original;
    item.resultText = result;
    item.action = action;
    item.tone = tone;
    item.provider = u"Groq"_s;
    item.timestamp = QDateTime::currentDateTimeUtc().addSecs(-age.count());
    item.wasCached = cached;
    return item;
}

// A few records of different kinds, oldest first.
QList<HistoryItem> someRecords()
{
    return {
        record(u"Can you explain what a closure is in programming?"_s,
               u"A **closure** is a function that remembers the variables of the place where it "
               u"was made, even after that place has finished running."_s,
               TextAction::explain, std::nullopt, 3 * 24h),
        record(u"We need the report by Friday, no excuses."_s,
               u"Could you get the report to us by Friday? Thanks so much!"_s,
               TextAction::paraphrase, ToneOption::friendly, 2h + 5min),
        record(u"\n\n   Their going to the libary tomorow, weather or not it rains, and there "
               u"bringing snacks.  "_s,
               u"They're going to the library tomorrow, whether or not it rains, and they're "
               u"bringing snacks. Everyone is welcome to join them at the entrance at ten."_s,
               TextAction::correct, std::nullopt, 12min),
    };
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    if (argc != 2) {
        std::fprintf(stderr, "usage: lexwick-screenshots DIR\n");
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(u"."_s))
        return 1;

    const QString prose = u"Lorem ipsum dolor sit amet, consectetur adipiscing elit. "_s;
    bool ok = true;
    for (const auto& [theme, palette] :
         {std::pair{u"light"_s, lightPalette()}, std::pair{u"dark"_s, darkPalette()}}) {
        QGuiApplication::setPalette(palette);
        Shooter s{dir, theme};
        ok &= s.shoot(u"main-empty"_s, [](PopoverScreen&) {});
        ok &= s.shoot(u"main-typing"_s, [](PopoverScreen& s) {
            s.view.main()->setInputText(
                u"Their going to the libary tomorow, weather or not it rains."_s);
        });
        ok &= s.shoot(u"main-warning"_s, [&](PopoverScreen& s) {
            s.view.main()->setInputText(prose.repeated(80).left(4213));
        });
        ok &= s.shoot(u"main-exceeded"_s, [&](PopoverScreen& s) {
            s.view.main()->setInputText(prose.repeated(100).left(5200));
        });
        ok &= s.shoot(u"main-sensitive-data"_s, [](PopoverScreen& s) {
            s.view.main()->setInputText(u"Write to jane.doe@example.com or call 555-123-4567."_s);
        });
        ok &= s.shoot(u"main-paraphrase"_s, [](PopoverScreen& s) {
            s.view.main()->setInputText(u"We need the report by Friday."_s);
            s.view.main()->setSelectedAction(TextAction::paraphrase);
            s.view.main()->setSelectedTone(ToneOption::friendly);
        });
        ok &= s.shoot(u"main-processing"_s, [](PopoverScreen& s) {
            ScriptedReply slow = ScriptedReply::json(200, chatAnswer(u"late"_s));
            slow.delay = 3s;
            s.app.provider.enqueue(slow);
            s.view.main()->setInputText(u"Teh quick brown fox."_s);
            s.view.main()->toggleProcessing();
        });
        // The answer as the model writes it: the text so far, Cancel still on the button.
        ok &= s.shoot(u"main-streaming"_s, [](PopoverScreen& s) {
            const QString answer =
                u"**Ephemeral** means lasting a very short time. It comes from the Greek "
                u"*eph\u0113meros*, \"lasting only a day\", and is used for things such as "
                u"fashions, fame or the mayfly's adult life, which often ends within hours. "
                u"In computing, an *ephemeral* port or file exists only"_s;
            QStringList pieces;
            for (qsizetype at = 0; at < answer.size(); at += 12)
                pieces.append(answer.mid(at, 12));
            s.app.provider.enqueue(
                ScriptedReply::eventStream(chatStream(pieces).first(pieces.size() + 1), 10ms,
                                           ScriptedReply::Ending::streamThenStall));
            s.view.main()->setSelectedAction(TextAction::explain);
            s.view.main()->setInputText(u"ephemeral"_s);
            s.view.main()->toggleProcessing();
            QTest::qWait(600);
        });
        ok &= s.shoot(u"main-result-cached-copied"_s, [](PopoverScreen& s) {
            s.app.provider.enqueue(ScriptedReply::json(
                200, chatAnswer(u"They're going to the **library** tomorrow, *whether* or not "
                                u"it rains. See `notes` or [the guide](https://example.com)."_s)));
            s.view.main()->setInputText(
                u"Their going to the libary tomorow, weather or not it rains."_s);
            s.view.main()->toggleProcessing();
            waitFor(s.view);
            s.view.main()->toggleProcessing(); // the same again: from the cache
            waitFor(s.view);
            s.view.main()->result()->copy();
        });
        const auto correction = [](PopoverScreen& s) {
            s.app.provider.enqueue(ScriptedReply::json(
                200, chatAnswer(u"They're going to the library tomorrow, whether or not it "
                                u"rains, and they're bringing **snacks**."_s)));
            s.view.main()->setInputText(
                u"Their going to the libary tomorow, weather or not it rains, "
                u"and there bringing snacks."_s);
            s.view.main()->toggleProcessing();
            waitFor(s.view);
        };
        ok &= s.shoot(u"main-changes"_s, correction);
        ok &= s.shoot(u"main-changes-off"_s, [&](PopoverScreen& s) {
            correction(s);
            s.view.main()->result()->setShowChanges(false);
        });
        // The model on this machine stopped at its output limit.
        ok &= s.shoot(
            u"main-cut-short"_s,
            [](PopoverScreen& s) {
                s.app.modelServer.setHandler([](const ReceivedRequest& request) {
                    return request.path.endsWith("/models")
                               ? ScriptedReply::json(200, R"({"data":[{"id":"m"}]})")
                               : ScriptedReply::json(
                                     200, R"({"choices":[{"message":{"content":"It was the best )"
                                          R"(of times, it was"},"finish_reason":"length"}]})");
                });
                s.view.main()->setSelectedAction(TextAction::explain);
                s.view.main()->setInputText(
                    u"It was the best of times, it was the worst of times."_s);
                s.view.main()->toggleProcessing();
                waitFor(s.view);
            },
            {.router = {.localModel = true, .storedMode = u"local"_s}});
        // Right-to-left text in the field and in the answer.
        ok &= s.shoot(u"main-rtl"_s, [](PopoverScreen& s) {
            s.app.provider.enqueue(ScriptedReply::json(
                200, chatAnswer(u"\u05e9\u05dc\u05d5\u05dd \u05dc\u05db\u05d5\u05dc\u05dd! "
                                u"\u05de\u05d4 \u05e9\u05dc\u05d5\u05de\u05da? "
                                u"\u05d4\u05db\u05dc \u05d1\u05e1\u05d3\u05e8."_s)));
            s.view.main()->setSelectedAction(TextAction::explain);
            s.view.main()->setInputText(u"\u0645\u0631\u062d\u0628\u0627\u060c "
                                        u"\u0643\u064a\u0641 \u062d\u0627\u0644\u0643\u061f "
                                        u"\u0623\u0646\u0627 \u0628\u062e\u064a\u0631."_s);
            s.view.main()->toggleProcessing();
            waitFor(s.view);
        });
        // Keyboard use: the focus ring on each kind of control, reached with Tab and the arrows.
        ok &= s.shoot(u"main-focus-action"_s, [](PopoverScreen& s) {
            s.view.main()->setInputText(u"Some text."_s);
            s.press(Qt::Key_Tab);
            s.press(Qt::Key_Right);
        });
        ok &= s.shoot(u"main-focus-tone"_s, [](PopoverScreen& s) {
            s.view.main()->setInputText(u"Some text."_s);
            s.view.main()->setSelectedAction(TextAction::paraphrase);
            QTest::qWait(300); // the tones fade in
            s.press(Qt::Key_Tab);
            s.press(Qt::Key_Tab);
            s.press(Qt::Key_Right);
            s.press(Qt::Key_Down);
        });
        ok &= s.shoot(u"main-focus-process"_s, [](PopoverScreen& s) {
            s.view.main()->setInputText(u"Some text."_s);
            s.press(Qt::Key_Tab);
            s.press(Qt::Key_Tab);
        });
        ok &= s.shoot(u"main-focus-copy"_s, [](PopoverScreen& s) {
            s.app.provider.enqueue(ScriptedReply::json(200, chatAnswer(u"Some text."_s)));
            s.view.main()->setInputText(u"Some text."_s);
            s.view.main()->setSelectedAction(TextAction::explain);
            s.view.main()->toggleProcessing();
            waitFor(s.view);
            for (int i = 0; i < 3; ++i)
                s.press(Qt::Key_Tab);
        });
        ok &= s.shoot(u"main-focus-header"_s, [](PopoverScreen& s) {
            s.press(Qt::Key_Backtab, Qt::ShiftModifier);
            s.press(Qt::Key_Backtab, Qt::ShiftModifier);
        });
        ok &= s.shoot(u"main-focus-footer"_s, [](PopoverScreen& s) {
            for (int i = 0; i < 4; ++i)
                s.press(Qt::Key_Backtab, Qt::ShiftModifier);
        });
        // The answer in view after a request, with the tone grid above it.
        ok &= s.shoot(u"main-result-in-view"_s, [](PopoverScreen& s) {
            s.app.provider.enqueue(ScriptedReply::json(
                200, chatAnswer(u"Could you get the report to us by Friday? Thanks so much!"_s)));
            s.view.main()->setSelectedAction(TextAction::paraphrase);
            s.view.main()->setSelectedTone(ToneOption::friendly);
            s.type(u"We need the report by Friday, no excuses."_s);
            s.press(Qt::Key_Return, Qt::ControlModifier);
            waitFor(s.view);
        });
        ok &= s.shoot(u"history-focus"_s, [](PopoverScreen& s) {
            s.record(someRecords());
            openHistory(s);
            s.press(Qt::Key_Tab);
            s.press(Qt::Key_Tab);
        });
        ok &= s.shoot(u"main-error"_s, [](PopoverScreen& s) {
            s.app.provider.enqueue(
                ScriptedReply::json(401, R"({"error":{"message":"Invalid API Key"}})"));
            s.view.main()->setInputText(u"Some text."_s);
            s.view.main()->toggleProcessing();
            waitFor(s.view);
        });

        ok &= s.shoot(u"history-empty"_s, [](PopoverScreen& s) { openHistory(s); });
        ok &= s.shoot(u"history-list"_s, [](PopoverScreen& s) {
            s.record(someRecords());
            openHistory(s);
        });
        ok &= s.shoot(u"history-no-results"_s, [](PopoverScreen& s) {
            s.record(someRecords());
            openHistory(s);
            s.type(u"zebra"_s);
        });
        ok &= s.shoot(u"history-one-record"_s, [](PopoverScreen& s) {
            s.record({someRecords().constLast()});
            openHistory(s);
        });
        ok &= s.shoot(u"history-tone-and-cached"_s, [](PopoverScreen& s) {
            s.record({record(u"Please send me the files."_s,
                             u"Would you mind sending me the files when you get a chance?"_s,
                             TextAction::paraphrase, ToneOption::professional, 40s, true)});
            openHistory(s);
        });
        ok &= s.shoot(u"history-copied"_s, [](PopoverScreen& s) {
            s.record(someRecords());
            openHistory(s);
            s.view.historyView()->copy(0);
        });
        ok &= s.shoot(u"history-50-scrolled"_s, [&](PopoverScreen& s) {
            QList<HistoryItem> records;
            for (int i = 0; i < 50; ++i) {
                records << record(QString::number(i + 1) + u". "_s + prose.repeated(90).left(4990),
                                  prose.repeated(90).left(5000), allTextActions[i % 3],
                                  i % 3 == 1 ? std::optional(allToneOptions[i % 8]) : std::nullopt,
                                  std::chrono::hours(50 - i), i % 4 == 0);
            }
            s.record(records);
            openHistory(s);
            QQuickItem* list = s.item(u"list"_s);
            QMetaObject::invokeMethod(list, "positionViewAtIndex", Q_ARG(int, 24),
                                      Q_ARG(int, 1 /* ListView.Beginning */));
        });

        const PopoverScreen::Options firstRun{.completedOnboarding = false};
        for (int page = 0; page < 3; ++page) {
            ok &= s.shoot(
                u"onboarding-page-%1"_s.arg(page + 1),
                [page](PopoverScreen& s) {
                    for (int i = 0; i < page; ++i)
                        s.press(Qt::Key_Right);
                },
                firstRun);
        }
        // The introduction again, as the settings screen presents it.
        ok &= s.shoot(u"onboarding-sheet"_s, [](PopoverScreen& s) {
            s.view.setShowSettings(true);
            QTest::qWait(300);
            s.view.settingsView()->restartOnboarding();
        });
        ok &= s.shoot(
            u"onboarding-focus-back"_s,
            [](PopoverScreen& s) {
                s.press(Qt::Key_Right);
                s.press(Qt::Key_Tab);
            },
            firstRun);

        SettingsShooter t{dir, theme};
        const RouterFixture::Options custom{.storedMode = u"custom"_s};
        const RouterFixture::Options withServer{.localModel = true, .storedMode = u"custom"_s};
        ok &=
            t.shoot(u"settings-custom"_s, custom, {u"top"_s, u"localServerSection"_s, u"bottom"_s},
                    [](RouterFixture&, SettingsView&) {});
        ok &= t.shoot(u"settings-custom-no-key"_s, custom, {u"apiKeySection"_s},
                      [](RouterFixture&, SettingsView& v) { v.deleteKey(); });
        ok &= t.shoot(u"settings-key-shown-saved"_s, custom, {u"apiKeySection"_s},
                      [](RouterFixture&, SettingsView& v) {
                          v.setAPIKeyInput(u"gsk_live_0123456789abcdef"_s);
                          v.toggleShowAPIKey();
                          v.saveKey();
                      });
        ok &= t.shoot(u"settings-save-error"_s, custom, {u"apiKeySection"_s},
                      [](RouterFixture&, SettingsView& v) {
                          v.setAPIKeyInput(QString(QChar(0xd800)));
                          v.saveKey();
                      });
        ok &= t.shoot(u"settings-anthropic-retired-model"_s, custom, {u"modelSection"_s},
                      [](RouterFixture& a, SettingsView& v) {
                          v.selectProvider(APIProvider::anthropic);
                          a.settings->saveAPIKey(u"k"_s, APIProvider::anthropic);
                          a.settings->setCustomModelId(u"claude-3-opus-20240229"_s);
                      });
        ok &= t.shoot(u"settings-live-models"_s, custom, {u"modelSection"_s},
                      [](RouterFixture& a, SettingsView&) {
                          a.settings->setCustomModelId(u"llama-3.3-70b-versatile"_s);
                      });
        t.openPicker = u"modelPicker"_s;
        ok &= t.shoot(u"settings-live-model-list"_s, custom, {u"modelSection"_s},
                      [](RouterFixture&, SettingsView&) {});
        t.openPicker = u"localModelPicker"_s;
        ok &= t.shoot(u"settings-local-model-list"_s, withServer, {u"localServerSection"_s},
                      [](RouterFixture&, SettingsView&) {});
        t.openPicker.clear();
        ok &= t.shoot(u"settings-local-ready"_s, withServer,
                      {u"top"_s, u"localServerSection"_s, u"statusSection"_s},
                      [](RouterFixture& a, SettingsView& v) {
                          v.selectMode(AIProviderMode::local);
                          a.settings->setLocalModelName(u"m"_s);
                          v.localServer()->checkAgain();
                      });
        ok &= t.shoot(u"settings-server-model-not-loaded"_s, withServer,
                      {u"top"_s, u"localServerSection"_s}, [](RouterFixture& a, SettingsView& v) {
                          v.selectMode(AIProviderMode::local);
                          a.settings->setLocalModelName(u"llama3.2"_s);
                          v.localServer()->checkAgain();
                      });
        ok &= t.shoot(u"settings-startup"_s, custom, {u"startupSection"_s},
                      [](RouterFixture&, SettingsView&) {});
        ok &= t.shoot(u"settings-local-gone"_s, {.localModel = true, .storedMode = u"local"_s},
                      {u"top"_s, u"localServerSection"_s, u"statusSection"_s},
                      [](RouterFixture&, SettingsView& v) {
                          v.localServer()->setAddressInput(u"http://127.0.0.1:9/v1"_s);
                          v.localServer()->applyAddress();
                      });
        // The server's other states: loading its model, and asking for a key.
        for (const auto& [name, status] : {std::pair{u"settings-server-loading"_s, 503},
                                           std::pair{u"settings-server-needs-key"_s, 401}}) {
            ok &= t.shoot(name, withServer, {u"top"_s, u"localServerSection"_s},
                          [status](RouterFixture& a, SettingsView& v) {
                              a.modelServer.setDefaultReply(ScriptedReply::json(status, "{}"));
                              a.modelServer.setHandler({});
                              v.localServer()->checkAgain();
                          });
        }
        // The focus ring on the settings screen's kinds of control.
        for (const QString& control :
             {u"providerCard2"_s, u"providerButton0"_s, u"keyField"_s, u"saveKeyButton"_s,
              u"modelPicker"_s, u"piiSwitch"_s, u"restartOnboardingRow"_s}) {
            t.focus = control;
            ok &= t.shoot(u"settings-focus-"_s + control, custom, {control},
                          [](RouterFixture&, SettingsView& v) { v.setAPIKeyInput(u"gsk_new"_s); });
        }
        t.focus.clear();
        ok &= t.shoot(u"settings-save-key-disabled"_s, custom, {u"apiKeySection"_s},
                      [](RouterFixture&, SettingsView& v) { v.setAPIKeyInput(QString()); });
        ok &= t.shoot(u"settings-server-address-error"_s, custom, {u"localServerSection"_s},
                      [](RouterFixture&, SettingsView& v) {
                          v.localServer()->setAddressInput(u"http://192.168.1.5:11434/v1"_s);
                          v.localServer()->applyAddress();
                      });
    }
    return ok ? 0 : 1;
}
