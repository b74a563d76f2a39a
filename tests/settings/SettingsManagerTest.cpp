// SPDX-License-Identifier: MIT
#include "settings/SettingsManager.h"
#include "localmodel/SystemLanguageModel.h"
#include "core/HttpClient.h"
#include "settings/UserDefaults.h"
#include "support/BackgroundTestHttpServer.h"
#include "support/TestMain.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(lexwick::AIProviderMode)

namespace {

// An on-device model server that lists the model "m", so the model is available.
struct ModelServer {
    BackgroundTestHttpServer server;
    ModelServer()
    {
        server.setDefaultReply(
            ScriptedReply::json(200, R"({"object":"list","data":[{"id":"m"}]})"));
    }
    QString url() { return server.url(u"/v1"_s).toString(); }
};

QString refusedServer()
{
    return u"http://127.0.0.1:%1/v1"_s.arg(TestHttpServer::refusedPort());
}

struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<UserDefaults> defaults;
    HttpClient client;
    std::unique_ptr<SystemLanguageModel> model;
    std::unique_ptr<SettingsManager> settings;

    Fixture() { reopenStore(); }

    void reopenStore() { defaults = std::make_unique<UserDefaults>(dir.filePath(u"d.cbor"_s)); }

    // Starts the settings as the application does, on what the store holds now.
    SettingsManager& start(const QString& server)
    {
        settings.reset();
        reopenStore();
        if (!defaults->stringForKey(SettingsManager::localServerKey))
            defaults->setObject(server, SettingsManager::localServerKey);
        model = std::make_unique<SystemLanguageModel>(QString(), QString(), client);
        settings = std::make_unique<SettingsManager>(*defaults, *model);
        return *settings;
    }
};

} // namespace

class SettingsManagerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startUpMode_data()
    {
        QTest::addColumn<QVariant>("stored"); // a string, or nothing
        QTest::addColumn<bool>("modelAvailable");
        QTest::addColumn<AIProviderMode>("mode");
        const auto row = [](const char* name, QVariant stored, bool model, AIProviderMode mode) {
            QTest::newRow(name) << stored << model << mode;
        };
        using enum AIProviderMode;
        row("nothing, model there", {}, true, local);
        row("nothing, no model", {}, false, custom);
        row("local, no model yet: the choice stands", u"local"_s, false, local);
        row("cloud, model there", u"cloud"_s, true, local);
        row("cloud, no model", u"cloud"_s, false, custom);
        row("custom, model there", u"custom"_s, true, custom);
        row("garbage, model there", u"Local"_s, true, local);
        row("garbage, no model", u"x"_s, false, custom);
    }

    void startUpMode()
    {
        QFETCH(QVariant, stored);
        QFETCH(bool, modelAvailable);
        QFETCH(AIProviderMode, mode);
        ModelServer server;
        Fixture f;
        if (stored.isValid())
            f.defaults->setObject(stored.toString(), SettingsManager::providerModeKey);
        SettingsManager& settings = f.start(modelAvailable ? server.url() : refusedServer());
        QCOMPARE(settings.providerMode(), mode);
        // The choice made at start-up is not written back.
        QCOMPARE(f.defaults->stringForKey(SettingsManager::providerModeKey),
                 stored.isValid() ? std::optional(stored.toString()) : std::nullopt);
    }

    void fallbacksForUnusableValues()
    {
        Fixture f;
        const QString server = refusedServer();
        SettingsManager& fresh = f.start(server);
        QCOMPARE(fresh.customProvider(), APIProvider::groq);
        QCOMPARE(fresh.customModelId(), u"llama-3.1-8b-instant"_s);
        QVERIFY(fresh.piiDetectionEnabled());
        QVERIFY(!fresh.hasCompletedOnboarding());
        QVERIFY(fresh.replacesSelection());
        QCOMPARE(fresh.localServerURL(), server);

        f.defaults->setObject(u"mistral"_s, SettingsManager::customProviderKey);
        f.defaults->setObject(u"yes"_s, SettingsManager::piiDetectionKey);
        f.defaults->setObject(u"true"_s, SettingsManager::onboardingKey);
        f.defaults->setObject(u"gpt-4o"_s, SettingsManager::customModelIdKey);
        f.defaults->setObject(u"false"_s, SettingsManager::replaceSelectionKey);
        SettingsManager& odd = f.start(refusedServer());
        QVERIFY(odd.replacesSelection());
        QCOMPARE(odd.customProvider(), APIProvider::groq);
        QVERIFY(odd.piiDetectionEnabled());
        QVERIFY(!odd.hasCompletedOnboarding());
        QCOMPARE(odd.customModelId(), u"gpt-4o"_s); // another provider's model is kept

        f.defaults->setBool(false, SettingsManager::piiDetectionKey);
        f.defaults->setBool(false, SettingsManager::replaceSelectionKey);
        SettingsManager& off = f.start(refusedServer());
        QVERIFY(!off.piiDetectionEnabled());
        QVERIFY(!off.replacesSelection());
    }

    void assignmentsAreWrittenThrough()
    {
        Fixture f;
        SettingsManager& settings = f.start(refusedServer());
        QSignalSpy modelChanged(&settings, &SettingsManager::customModelIdChanged);
        settings.setProviderMode(AIProviderMode::cloud);
        settings.setCustomProvider(APIProvider::anthropic);
        QCOMPARE(settings.customModelId(), u"llama-3.1-8b-instant"_s); // the store alone
        QCOMPARE(modelChanged.size(), 0);
        settings.setCustomModelId(u"claude-3-opus-20240229"_s);
        settings.setPiiDetectionEnabled(false);
        settings.setHasCompletedOnboarding(true);
        settings.setLocalModelName(u"llama3.2"_s);
        settings.setReplacesSelection(false);

        f.reopenStore();
        QCOMPARE(f.defaults->stringForKey(u"ai_provider_mode"_s), u"cloud"_s);
        QCOMPARE(f.defaults->stringForKey(u"custom_api_provider"_s), u"anthropic"_s);
        QCOMPARE(f.defaults->stringForKey(u"custom_model_id"_s), u"claude-3-opus-20240229"_s);
        QCOMPARE(f.defaults->objectForKey(u"pii_detection_enabled"_s), UserDefaults::Value(false));
        QCOMPARE(f.defaults->objectForKey(u"has_completed_onboarding"_s),
                 UserDefaults::Value(true));
        QCOMPARE(f.defaults->stringForKey(u"lexwick_local_model"_s), u"llama3.2"_s);
        QCOMPARE(f.model->modelName(), u"llama3.2"_s);
        QCOMPARE(f.defaults->objectForKey(u"lexwick_replace_selection"_s),
                 UserDefaults::Value(false));
    }

    void isConfiguredFollowsModeKeyAndModel()
    {
        ModelServer server;
        Fixture f;
        f.defaults->setObject(u"custom"_s, SettingsManager::providerModeKey);
        SettingsManager& settings = f.start(server.url());
        QSignalSpy changed(&settings, &SettingsManager::configurationChanged);

        QVERIFY(!settings.isConfigured());
        QVERIFY(QCoro::waitFor(settings.saveAPIKey(u"gsk"_s, APIProvider::groq)));
        QVERIFY(settings.isConfigured());
        settings.setCustomProvider(APIProvider::openai); // no key for this one
        QVERIFY(!settings.isConfigured());
        settings.setCustomProvider(APIProvider::groq);
        settings.deleteAPIKey(APIProvider::groq);
        QVERIFY(!settings.isConfigured());
        QVERIFY(changed.size() >= 4); // the model may publish too

        settings.setProviderMode(AIProviderMode::cloud);
        QVERIFY(settings.isConfigured());
        settings.setProviderMode(AIProviderMode::local);
        QVERIFY(settings.isConfigured());
        settings.setLocalServerURL(refusedServer());
        QVERIFY(!settings.isConfigured());
    }
};

LEXWICK_TEST(SettingsManagerTest)
#include "SettingsManagerTest.moc"
