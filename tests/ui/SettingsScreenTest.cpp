// SPDX-License-Identifier: MIT
#include "support/PopoverScreen.h"
#include "support/TestMain.h"
#include "ui/SettingsView.h"

#include <QDir>
#include <QFile>
#include <QQuickItem>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtQml/qqmlextensionplugin.h>

#include <atomic>
#include <functional>
#include <memory>

Q_IMPORT_QML_PLUGIN(LexwickPlugin)

using namespace lexwick;
using namespace lexwick::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

// The popover showing its settings screen in an offscreen window that receives real mouse and
// key events. The provider server also answers the providers' model lists.
struct Screen : PopoverScreen {
    explicit Screen(RouterFixture::Options options = {.storedMode = u"custom"_s})
        : PopoverScreen({.router = std::move(options)})
    {
        // Every provider's list says the same: only Groq's default is still served.
        app.provider.setHandler([](const ReceivedRequest& request) {
            return request.path.contains("/models")
                       ? ScriptedReply::json(200, R"({"data":[{"id":"llama-3.1-8b-instant"},
                                                              {"id":"llama-3.3-70b-versatile"}]})")
                       : ScriptedReply::json(404, "{}");
        });
        view.setShowSettings(true);
        if (!show())
            qWarning("The popover did not come up");
    }

    SettingsView& settingsView() const { return *view.settingsView(); }

    // By name, through the item tree (a Repeater's items are no QObject children).
    QQuickItem* item(const QString& name, QQuickItem* under = nullptr) const
    {
        if (!under)
            under = window.contentItem();
        for (QQuickItem* child : under->childItems()) {
            if (child->objectName() == name)
                return child;
            if (QQuickItem* found = item(name, child))
                return found;
        }
        return nullptr;
    }

    // Scrolls the item into view and clicks its middle.
    void click(const QString& name)
    {
        QQuickItem* target = item(name);
        QVERIFY2(target, qPrintable(name));
        auto* flickable = item(u"scroll"_s)->property("contentItem").value<QQuickItem*>();
        if (flickable && flickable->isAncestorOf(target)) {
            QQuickItem* content = flickable->property("contentItem").value<QQuickItem*>();
            const qreal y = target->mapToItem(content, QPointF(0, 0)).y();
            flickable->setProperty("contentY", std::max(0.0, y - 60));
            QTest::qWait(20);
        }
        QTest::mouseClick(
            &window, Qt::LeftButton, {},
            target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint());
    }

    QString keyFieldText() const { return item(u"keyField"_s)->property("text").toString(); }
};

} // namespace

class SettingsScreenTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    // The cloud card is dimmed and never selects; the on-device card without a model server
    // says why and does nothing.
    void unavailableCardsTakeNoClicks()
    {
        Screen s;
        QCOMPARE(s.item(u"providerCard1"_s)->opacity(), 0.6);
        QCOMPARE(s.item(u"badge"_s, s.item(u"providerCard1"_s))->isVisible(), true);
        s.click(u"providerCard1"_s);
        QCOMPARE(s.app.settings->providerMode(), AIProviderMode::custom);
        s.click(u"providerCard0"_s);
        QCOMPARE(s.app.settings->providerMode(), AIProviderMode::custom);
        const QVariantMap local = s.settingsView().providerCards().first().toMap();
        QCOMPARE(local[u"badge"_s].toString(), u"Unavailable"_s);
        QCOMPARE(local[u"description"_s].toString(),
                 u"No local model server found: start Ollama or set its address below."_s);
        QCOMPARE(s.settingsView().providerCards().at(1).toMap()[u"badge"_s].toString(),
                 u"Coming Soon"_s);
    }

    // A local mode chosen while the server ran shows both the check mark and "Unavailable"
    // once the server is gone, and the status names the reason.
    void storedLocalModeWithoutTheServer()
    {
        Screen s({.localModel = true, .storedMode = u"local"_s});
        QTRY_VERIFY(s.settingsView().isModeAvailable(AIProviderMode::local));
        s.app.settings->setLocalServerURL(
            u"http://127.0.0.1:%1/v1"_s.arg(TestHttpServer::refusedPort()));
        s.settingsView().localServer()->checkAgain();
        QTRY_COMPARE(s.settingsView().localServer()->state(), LocalServerView::State::absent);
        // The cards follow the state on the next frame (and the badge fades in).
        QTRY_VERIFY(shown(s.item(u"checkMark"_s, s.item(u"providerCard0"_s))));
        QTRY_VERIFY(shown(s.item(u"badge"_s, s.item(u"providerCard0"_s))));
        QVERIFY(!s.settingsView().isConfigured());
        QCOMPARE(s.settingsView().statusMessage(), u"No local model server answers."_s);
        QVERIFY(!shown(s.item(u"customSections"_s)));
    }

    void oneSpaceIsAKeyAndDeleteForgetsIt()
    {
        Screen s;
        s.click(u"deleteKeyButton"_s); // the fixture's stored Groq key
        QVERIFY(!shown(s.item(u"deleteKeyButton"_s)));
        QCOMPARE(s.keyFieldText(), QString());
        QVERIFY(!s.item(u"saveKeyButton"_s)->isEnabled());
        QCOMPARE(s.settingsView().statusMessage(), u"Please enter your Groq API key."_s);
        QVERIFY(!s.settingsView().isConfigured());

        s.click(u"keyField"_s);
        s.type(u" "_s);
        QVERIFY(s.item(u"saveKeyButton"_s)->isEnabled());
        QTest::keyClick(&s.window, Qt::Key_Return); // does nothing
        QCOMPARE(s.app.settings->getAPIKey(APIProvider::groq), std::nullopt);
        s.click(u"saveKeyButton"_s);
        QCOMPARE(s.app.settings->getAPIKey(APIProvider::groq), u" "_s);
        QVERIFY(s.settingsView().isConfigured());
        QCOMPARE(s.settingsView().statusMessage(), u"Using Groq with your API key."_s);
        QVERIFY(shown(s.item(u"deleteKeyButton"_s)));
        QVERIFY(s.settingsView().showSaveSuccess());
        QTRY_VERIFY_WITH_TIMEOUT(!s.settingsView().showSaveSuccess(), 5000);

        s.click(u"deleteKeyButton"_s);
        QCOMPARE(s.app.settings->getAPIKey(APIProvider::groq), std::nullopt);
        QVERIFY(!s.settingsView().isConfigured());
    }

    void choosingAProviderResetsTheModelAndReloadsTheField()
    {
        Screen s;
        s.app.settings->saveAPIKey(u"anthropic-key"_s, APIProvider::anthropic);
        s.app.settings->setCustomModelId(u"mixtral-8x7b-32768"_s);
        s.click(u"providerButton2"_s);
        QCOMPARE(s.app.settings->customProvider(), APIProvider::anthropic);
        QCOMPARE(s.app.settings->customModelId(), u"claude-3-haiku-20240307"_s);
        QCOMPARE(s.keyFieldText(), u"anthropic-key"_s);
        QCOMPARE(s.settingsView().statusMessage(), u"Using Anthropic with your API key."_s);

        s.click(u"keyField"_s);
        s.type(u"xyz"_s);
        s.click(u"providerButton0"_s);
        QCOMPARE(s.app.settings->customModelId(), u"llama-3.1-8b-instant"_s);
        QCOMPARE(s.keyFieldText(), u"test-key"_s);
        s.click(u"providerButton1"_s); // no OpenAI key
        QCOMPARE(s.keyFieldText(), QString());
        QCOMPARE(s.app.settings->customModelId(), u"gpt-4o-mini"_s);
    }

    // Leaving custom mode and coming back, or closing and reopening the screen, rereads the
    // stored key and drops unsaved typing.
    void theStoredKeyIsReadAgainOnReturn()
    {
        Screen s({.localModel = true, .storedMode = u"custom"_s});
        QTRY_VERIFY(s.settingsView().isModeAvailable(AIProviderMode::local));
        s.click(u"keyField"_s);
        s.type(u"123"_s);
        QCOMPARE(s.keyFieldText(), u"test-key123"_s);
        s.click(u"providerCard0"_s);
        QCOMPARE(s.app.settings->providerMode(), AIProviderMode::local);
        QTRY_VERIFY(!shown(s.item(u"customSections"_s)));
        QCOMPARE(s.settingsView().statusMessage(),
                 u"On-device AI is ready. All processing happens locally."_s);
        s.click(u"providerCard2"_s);
        QCOMPARE(s.app.settings->providerMode(), AIProviderMode::custom);
        QCOMPARE(s.keyFieldText(), u"test-key"_s);

        s.click(u"keyField"_s);
        s.type(u"456"_s);
        s.click(u"doneButton"_s);
        QCOMPARE(s.view.currentScreen(), u"main"_s);
        s.view.setShowSettings(true);
        QTRY_VERIFY(s.item(u"keyField"_s));
        QCOMPARE(s.keyFieldText(), u"test-key"_s);
    }

    // The eye shows the key and hides it again without changing it; a key that cannot be
    // stored says so and leaves the stored one.
    void theKeyField()
    {
        Screen s;
        QQuickItem* field = s.item(u"keyField"_s);
        QCOMPARE(field->property("echoMode").toInt(), 2); // TextInput.Password
        QCOMPARE(s.item(u"eyeButton"_s)->property("tip").toString(), u"Show API key"_s);
        s.click(u"eyeButton"_s);
        QCOMPARE(field->property("echoMode").toInt(), 0); // TextInput.Normal
        QCOMPARE(s.keyFieldText(), u"test-key"_s);
        QCOMPARE(s.item(u"eyeButton"_s)->property("tip").toString(), u"Hide API key"_s);
        s.click(u"eyeButton"_s);
        QCOMPARE(s.keyFieldText(), u"test-key"_s);

        s.settingsView().setAPIKeyInput(QString(QChar(0xd800))); // a lone surrogate
        s.click(u"saveKeyButton"_s);
        QVERIFY(shown(s.item(u"saveError"_s)));
        QCOMPARE(s.settingsView().saveError(), u"Invalid data"_s);
        QVERIFY(!s.settingsView().showSaveSuccess());
        QCOMPARE(s.app.settings->getAPIKey(APIProvider::groq), u"test-key"_s);
    }

    // A retired stored model stays selected, marked, with one line; the picker offers what
    // the provider still serves.
    void theModelPickerShowsWhatTheProviderServes()
    {
        Screen s;
        s.app.settings->setCustomModelId(u"mixtral-8x7b-32768"_s);
        QTRY_VERIFY(!s.settingsView().modelNotice().isEmpty());
        QVERIFY(shown(s.item(u"modelNotice"_s)));
        QStringList names;
        for (const QVariant& entry : s.settingsView().modelEntries())
            names << entry.toMap()[u"name"_s].toString();
        QCOMPARE(names, (QStringList{u"mixtral-8x7b-32768 (no longer served)"_s,
                                     u"Llama 3.1 8B (Fast)"_s, u"llama-3.3-70b-versatile"_s}));
        QCOMPARE(s.settingsView().modelIndex(), 0);
        QCOMPARE(s.item(u"modelPicker"_s)->property("displayText").toString(), names.first());
        QCOMPARE(s.app.settings->customModelId(), u"mixtral-8x7b-32768"_s);
        s.settingsView().selectModel(2);
        QCOMPARE(s.app.settings->customModelId(), u"llama-3.3-70b-versatile"_s);
        QVERIFY(s.settingsView().modelNotice().isEmpty());
        QCOMPARE(s.item(u"modelPicker"_s)->property("displayText").toString(),
                 u"llama-3.3-70b-versatile"_s);
    }

    // The server's models are picked from; only a loopback address is stored.
    void theLocalServer()
    {
        Screen s({.localModel = true, .storedMode = u"custom"_s});
        QTRY_COMPARE(s.settingsView().localServer()->modelEntries().size(), 2);
        s.settingsView().localServer()->selectModel(1);
        QCOMPARE(s.app.settings->localModelName(), u"m"_s);
        QTRY_COMPARE(s.settingsView().localServer()->state(), LocalServerView::State::ready);
        QCOMPARE(s.settingsView().localServer()->stateText(),
                 u"Ready: m answers on this computer."_s);

        s.app.settings->setLocalModelName(u"other"_s);
        s.click(u"checkAgainButton"_s);
        QTRY_COMPARE(s.settingsView().localServer()->state(),
                     LocalServerView::State::modelNotLoaded);
        QCOMPARE(s.settingsView().localServer()->stateText(),
                 u"The server is running, but other is not on it: pick one of its models, or add "
                 u"that one."_s);
        QCOMPARE(
            s.settingsView().localServer()->modelEntries().at(1).toMap()[u"title"_s].toString(),
            u"other (not on the server)"_s);

        const QString before = s.app.settings->localServerURL();
        s.click(u"serverAddressField"_s);
        QTest::keyClick(&s.window, Qt::Key_A, Qt::ControlModifier);
        s.type(u"http://192.168.1.5:11434/v1"_s);
        QTest::keyClick(&s.window, Qt::Key_Return);
        QVERIFY(shown(s.item(u"serverAddressError"_s)));
        QCOMPARE(s.app.settings->localServerURL(), before);

        const QString absent = u"http://localhost:%1/v1"_s.arg(TestHttpServer::refusedPort());
        QTest::keyClick(&s.window, Qt::Key_A, Qt::ControlModifier);
        s.type(absent);
        QTest::keyClick(&s.window, Qt::Key_Return);
        QVERIFY(!shown(s.item(u"serverAddressError"_s)));
        QCOMPARE(s.app.settings->localServerURL(), absent);
        QTRY_COMPARE(s.settingsView().localServer()->state(), LocalServerView::State::absent);
        QVERIFY(!s.settingsView().isModeAvailable(AIProviderMode::local));
    }

    // While the screen is seen it follows the server: a server that comes up, loads, asks for a
    // key or goes away is told within moments, in words, and the on-device card with it. The
    // key typed for the server is sent to it.
    void theServerIsFollowedWhileSeen()
    {
        Screen s({.localModel = true, .storedMode = u"custom"_s});
        LocalServerView& server = *s.settingsView().localServer();
        QVERIFY(server.isLive()); // the screen is shown
        auto answer = std::make_shared<std::atomic<int>>(503);
        s.app.modelServer.setHandler([answer](const ReceivedRequest& request) {
            const int status = *answer;
            if (status == 401 && request.header("Authorization") == "Bearer sesame")
                return ScriptedReply::json(200, R"({"data":[{"id":"m"}]})");
            return status == 200 ? ScriptedReply::json(200, R"({"data":[{"id":"m"}]})")
                                 : ScriptedReply::json(status, R"({"error":"not now"})");
        });
        const auto becomes = [&](LocalServerView::State state) {
            return QTest::qWaitFor([&] { return server.state() == state; }, 5000);
        };
        QVERIFY(becomes(LocalServerView::State::loading));
        QCOMPARE(server.stateText(),
                 u"The server is loading the model; it answers once it is ready."_s);
        QVERIFY(!s.settingsView().isModeAvailable(AIProviderMode::local));

        *answer = 401;
        QVERIFY(becomes(LocalServerView::State::needsKey));
        QCOMPARE(server.stateText(),
                 u"The server asks for an API key: enter the one it was started with."_s);
        s.click(u"serverKeyField"_s);
        s.type(u"sesame"_s);
        QTest::keyClick(&s.window, Qt::Key_Return);
        QVERIFY(becomes(LocalServerView::State::ready));
        QCOMPARE(s.app.settings->localServerAPIKey(), u"sesame"_s);
        s.click(u"providerCard0"_s); // available now, so it takes the click
        QCOMPARE(s.app.settings->providerMode(), AIProviderMode::local);

        s.app.modelServer.setHandler([](const ReceivedRequest&) {
            return ScriptedReply::withEnding(ScriptedReply::Ending::dropBeforeAnswer);
        });
        QVERIFY(becomes(LocalServerView::State::absent));
        QCOMPARE(s.settingsView().statusMessage(), u"No local model server answers."_s);

        // Not seen (the popover closed on this screen), not asked.
        s.window.hide();
        QTRY_VERIFY(!server.isLive());
        const qsizetype asked = s.app.modelServer.requests().size();
        QTest::qWait(int(2.5 * LocalServerView::liveCheckInterval.count()));
        QCOMPARE(s.app.modelServer.requests().size(), asked);
    }

    // The picker shows the stored model also when the server's list comes after the screen
    // opened, and marks a model the server does not have. The server's list is shown whole:
    // no name makes a model on this machine disappear.
    void thePickerShowsTheStoredModel()
    {
        Screen s({.localModel = true, .storedMode = u"custom"_s});
        s.view.setShowSettings(false);
        s.app.settings->setLocalModelName(u"m"_s);
        ScriptedReply late = ScriptedReply::json(
            200, R"({"data":[{"id":"a"},{"id":"whisper-embed-guard"},{"id":"m"}]})");
        late.delay = 500ms;
        s.app.modelServer.setDefaultReply(late);
        s.app.modelServer.setHandler({});
        // Another spelling of the same server: its list is asked for afresh.
        s.app.settings->setLocalServerURL(s.app.settings->localServerURL() + u"/"_s);
        s.view.setShowSettings(true);
        QQuickItem* picker = s.item(u"localModelPicker"_s);
        QVERIFY(picker);
        QCOMPARE(picker->property("displayText").toString(), u"m (not on the server)"_s);
        QTRY_COMPARE(s.settingsView().localServer()->modelEntries().size(), 4);
        QCOMPARE(picker->property("displayText").toString(), u"m"_s);

        s.app.settings->setLocalModelName(u"gone"_s);
        QCOMPARE(picker->property("displayText").toString(), u"gone (not on the server)"_s);

        // Picked, closed, opened again: still the model picked. Ollama lists a model asked for
        // as "m" as "m:latest", and that is the one.
        s.app.modelServer.setDefaultReply(
            ScriptedReply::json(200, R"({"data":[{"id":"a"},{"id":"m:latest"}]})"));
        s.settingsView().localServer()->checkAgain();
        QTRY_COMPARE(s.settingsView().localServer()->modelEntries().size(), 4);
        s.settingsView().localServer()->selectModel(2); // "a"
        s.app.settings->setLocalModelName(u"m"_s);
        s.view.setShowSettings(false);
        s.view.setShowSettings(true);
        picker = s.item(u"localModelPicker"_s);
        QCOMPARE(s.settingsView().localServer()->modelEntries().size(), 3);
        QCOMPARE(picker->property("displayText").toString(), u"m:latest"_s);
    }

    // The switch and the choice of what a shortcut does write through; restarting the
    // onboarding presents it over this screen and changes no setting; Quit asks the application
    // to quit.
    void theSwitchAndTheLowerRows()
    {
        Screen s;
        s.click(u"piiSwitch"_s);
        QVERIFY(!s.app.settings->piiDetectionEnabled());
        QCOMPARE(s.app.defaults.boolForKey(SettingsManager::piiDetectionKey), false);

        QVERIFY(s.settingsView().replacesSelection());
        s.click(u"afterShortcutButton1"_s);
        QVERIFY(!s.app.settings->replacesSelection());
        QCOMPARE(s.app.defaults.objectForKey(SettingsManager::replaceSelectionKey),
                 UserDefaults::Value(false));
        QCOMPARE(s.item(u"afterShortcutButton1"_s)->property("isSelected"), QVariant(true));
        s.click(u"afterShortcutButton0"_s);
        QVERIFY(s.app.settings->replacesSelection());
        QCOMPARE(s.item(u"afterShortcutButton0"_s)->property("isSelected"), QVariant(true));
        QCOMPARE(s.item(u"afterShortcutButton1"_s)->property("isSelected"), QVariant(false));

        QSignalSpy quit(&s.view, &PopoverView::quitRequested);
        s.click(u"quitRow"_s);
        QCOMPARE(quit.size(), 1);

        // The shortcuts sheet opens over the screen and closes with its own button.
        s.click(u"shortcutsRow"_s);
        QVERIFY(s.settingsView().showsShortcuts());
        QVERIFY(s.item(u"shortcutsSheet"_s)->isVisible());
        s.settingsView().setShowsShortcuts(false);
        QVERIFY(!s.item(u"shortcutsSheet"_s)->isVisible());

        s.click(u"restartOnboardingRow"_s);
        QVERIFY(s.view.showsOnboardingSheet());
        QVERIFY(s.app.settings->hasCompletedOnboarding());
        QCOMPARE(s.view.currentScreen(), u"settings"_s);
    }

    // The switch writes and removes the session's autostart entry, and a screen that opens
    // shows what the folder holds, whoever put it there.
    void startAtLogin()
    {
        const QString entry = SettingsView::autostartFilePath();
        QVERIFY(entry.endsWith(u"/autostart/io.github.lexwick.Lexwick.desktop"));
        QFile::remove(entry);
        {
            Screen s;
            QVERIFY(!s.settingsView().startsAtLogin());
            s.click(u"loginSwitch"_s);
            QVERIFY(s.settingsView().startsAtLogin());
            QFile written(entry);
            QVERIFY(written.open(QIODevice::ReadOnly));
            const QByteArray content = written.readAll();
            QVERIFY(content.startsWith("[Desktop Entry]\n"));
            QVERIFY(content.contains("\nExec=lexwick\n"));
        }
        {
            Screen s;
            QVERIFY(s.settingsView().startsAtLogin());
            QVERIFY(s.item(u"loginSwitch"_s)->property("checked").toBool());
            s.click(u"loginSwitch"_s);
            QVERIFY(!s.settingsView().startsAtLogin());
            QVERIFY(!QFile::exists(entry));
        }
        {
            // A folder where the entry belongs: the write fails, and the switch stays off.
            QVERIFY(QDir().mkpath(entry));
            Screen s;
            QVERIFY(!s.settingsView().startsAtLogin());
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression(u"^Lexwick: Cannot write .*autostart"_s));
            s.click(u"loginSwitch"_s);
            QVERIFY(!s.settingsView().startsAtLogin());
            QVERIFY(!s.item(u"loginSwitch"_s)->property("checked").toBool());
            QVERIFY(QDir(entry).removeRecursively());
        }
    }

    // Without a keyring asked (as in every test), the screen says the keys are in the file.
    void whereTheKeysAreKept()
    {
        Screen s;
        QCOMPARE(s.item(u"keyStoreLine"_s)->property("text").toString(),
                 u"API keys are kept in the settings file."_s);
    }
};

LEXWICK_GUI_TEST(SettingsScreenTest)
#include "SettingsScreenTest.moc"
