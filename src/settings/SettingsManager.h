// SPDX-License-Identifier: MIT
#pragma once

#include "core/Error.h"
#include "settings/AIProviderMode.h"
#include "settings/APIProvider.h"
#include "settings/KeychainManager.h"

#include <QCoroTask>
#include <QObject>
#include <QString>

#include <expected>
#include <optional>

namespace lexwick {

class SystemLanguageModel;
class UserDefaults;

// The user's choices that outlive a run. Every assignment is published, then written through
// to its key at once. Lives on the main thread.
class SettingsManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(lexwick::AIProviderModes::AIProviderMode providerMode READ providerMode WRITE
                   setProviderMode NOTIFY providerModeChanged)
    Q_PROPERTY(lexwick::APIProviders::APIProvider customProvider READ customProvider WRITE
                   setCustomProvider NOTIFY customProviderChanged)
    Q_PROPERTY(
        QString customModelId READ customModelId WRITE setCustomModelId NOTIFY customModelIdChanged)
    Q_PROPERTY(bool piiDetectionEnabled READ piiDetectionEnabled WRITE setPiiDetectionEnabled NOTIFY
                   piiDetectionEnabledChanged)
    Q_PROPERTY(bool hasCompletedOnboarding READ hasCompletedOnboarding WRITE
                   setHasCompletedOnboarding NOTIFY hasCompletedOnboardingChanged)
    Q_PROPERTY(QString localServerURL READ localServerURL WRITE setLocalServerURL NOTIFY
                   localServerURLChanged)
    Q_PROPERTY(QString localModelName READ localModelName WRITE setLocalModelName NOTIFY
                   localModelNameChanged)
    Q_PROPERTY(bool replacesSelection READ replacesSelection WRITE setReplacesSelection NOTIFY
                   replacesSelectionChanged)
    Q_PROPERTY(bool isConfigured READ isConfigured NOTIFY configurationChanged)
    Q_PROPERTY(QString appVersion READ appVersion CONSTANT)

public:
    static inline const QString providerModeKey = QStringLiteral("ai_provider_mode");
    static inline const QString customProviderKey = QStringLiteral("custom_api_provider");
    static inline const QString customModelIdKey = QStringLiteral("custom_model_id");
    static inline const QString piiDetectionKey = QStringLiteral("pii_detection_enabled");
    static inline const QString onboardingKey = QStringLiteral("has_completed_onboarding");
    static inline const QString localServerKey = QStringLiteral("lexwick_local_server");
    static inline const QString localModelKey = QStringLiteral("lexwick_local_model");
    static inline const QString replaceSelectionKey = QStringLiteral("lexwick_replace_selection");

    // Reads the store once; the on-device model is pointed at the stored server and model.
    SettingsManager(UserDefaults& defaults, SystemLanguageModel& localModel,
                    QObject* parent = nullptr);

    AIProviderMode providerMode() const { return m_providerMode; }
    APIProvider customProvider() const { return m_customProvider; }
    const QString& customModelId() const { return m_customModelId; }
    bool piiDetectionEnabled() const { return m_piiDetectionEnabled; }
    bool hasCompletedOnboarding() const { return m_hasCompletedOnboarding; }
    const QString& localServerURL() const { return m_localServerURL; }
    const QString& localModelName() const { return m_localModelName; }
    // After a keyboard shortcut, the result replaces the selection (true) or waits on the
    // clipboard.
    bool replacesSelection() const { return m_replacesSelection; }

    void setProviderMode(AIProviderMode mode);
    void setCustomProvider(APIProvider provider);
    void setCustomModelId(const QString& modelId);
    void setPiiDetectionEnabled(bool enabled);
    void setHasCompletedOnboarding(bool completed);
    void setLocalServerURL(const QString& url);
    void setLocalModelName(const QString& name);
    void setReplacesSelection(bool replaces);

    // Whether the selected mode can serve a request now.
    bool isConfigured() const;
    QString appVersion() const;

    // Writes go to the store the key chain decided on (waiting for that decision); reads
    // never wait (see KeychainManager).
    QCoro::Task<std::expected<void, KeychainError>> saveAPIKey(QString key, APIProvider provider);
    std::optional<QString> getAPIKey(APIProvider provider) const;
    QCoro::Task<std::expected<void, KeychainError>> deleteAPIKey(APIProvider provider);

    // The local model server's own key, for a server started with one; the on-device model
    // sends it to that server only.
    QCoro::Task<std::expected<void, KeychainError>> saveLocalServerAPIKey(QString key);
    std::optional<QString> localServerAPIKey() const;
    QCoro::Task<std::expected<void, KeychainError>> deleteLocalServerAPIKey();

    KeychainManager& keychain() { return m_keychain; }
    const KeychainManager& keychain() const { return m_keychain; }

    SystemLanguageModel& localModel() const { return m_localModel; }

Q_SIGNALS:
    void providerModeChanged();
    void customProviderChanged();
    void customModelIdChanged();
    void piiDetectionEnabledChanged();
    void hasCompletedOnboardingChanged();
    void localServerURLChanged();
    void localModelNameChanged();
    void replacesSelectionChanged();
    void apiKeysChanged();
    // Anything isConfigured depends on may have changed.
    void configurationChanged();

private:
    UserDefaults& m_defaults;
    SystemLanguageModel& m_localModel;
    KeychainManager m_keychain;

    AIProviderMode m_providerMode = AIProviderMode::custom;
    APIProvider m_customProvider = APIProvider::groq;
    QString m_customModelId;
    bool m_piiDetectionEnabled = true;
    bool m_hasCompletedOnboarding = false;
    QString m_localServerURL;
    QString m_localModelName;
    bool m_replacesSelection = true;
};

} // namespace lexwick
