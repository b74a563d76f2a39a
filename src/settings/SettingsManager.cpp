// SPDX-License-Identifier: MIT
#include "settings/SettingsManager.h"

#include "localmodel/SystemLanguageModel.h"
#include "BuildConfig.h"
#include "settings/UserDefaults.h"

namespace lexwick {

namespace {

// Publishes and writes through: the value is stored on every assignment, the change signal
// goes out only when the value really changed.
template <typename T, typename Write>
void assign(T& field, const T& value, SettingsManager* owner, void (SettingsManager::*changed)(),
            Write write)
{
    const bool different = field != value;
    field = value;
    if (different)
        Q_EMIT(owner->*changed)();
    write();
}

} // namespace

SettingsManager::SettingsManager(UserDefaults& defaults, SystemLanguageModel& localModel,
                                 QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_localModel(localModel)
    , m_keychain(defaults, this)
{
    m_localServerURL = m_defaults.stringForKey(localServerKey)
                           .value_or(QString::fromLatin1(SystemLanguageModel::defaultServerURL));
    m_localModelName = m_defaults.stringForKey(localModelKey).value_or(QString());
    m_localModel.setServerURL(m_localServerURL);
    m_localModel.setModelName(m_localModelName);
    m_localModel.setAPIKey(localServerAPIKey().value_or(QString()));

    // A stored choice of "custom" or "local" stands, also while the model server is not up
    // yet (it often starts with the session, beside Lexwick): requests go to the custom
    // back-end until it answers. Anything else (including "cloud", never restored) follows the
    // model's availability.
    const std::optional<QString> storedMode = m_defaults.stringForKey(providerModeKey);
    if (storedMode == QStringLiteral("custom"))
        m_providerMode = AIProviderMode::custom;
    else if (storedMode == QStringLiteral("local"))
        m_providerMode = AIProviderMode::local;
    else
        m_providerMode =
            m_localModel.isAvailable() ? AIProviderMode::local : AIProviderMode::custom;

    m_customProvider =
        apiProviderFromRawValue(m_defaults.stringForKey(customProviderKey).value_or(QString()))
            .value_or(APIProvider::groq);
    m_customModelId =
        m_defaults.stringForKey(customModelIdKey).value_or(defaultModelId(APIProvider::groq));
    const auto pii = m_defaults.objectForKey(piiDetectionKey);
    const bool* piiFlag = pii ? std::get_if<bool>(&*pii) : nullptr;
    m_piiDetectionEnabled = piiFlag ? *piiFlag : true;
    m_hasCompletedOnboarding = m_defaults.boolForKey(onboardingKey);
    const auto replaces = m_defaults.objectForKey(replaceSelectionKey);
    const bool* replacesFlag = replaces ? std::get_if<bool>(&*replaces) : nullptr;
    m_replacesSelection = replacesFlag ? *replacesFlag : true;

    // Once the keyring is chosen, its keys are the ones in use.
    connect(&m_keychain, &KeychainManager::storeChanged, this, [this] {
        m_localModel.setAPIKey(localServerAPIKey().value_or(QString()));
        Q_EMIT apiKeysChanged();
    });
    connect(&m_localModel, &SystemLanguageModel::availabilityChanged, this,
            &SettingsManager::configurationChanged);
    for (auto signal : {&SettingsManager::providerModeChanged,
                        &SettingsManager::customProviderChanged, &SettingsManager::apiKeysChanged})
        connect(this, signal, this, &SettingsManager::configurationChanged);
}

void SettingsManager::setProviderMode(AIProviderMode mode)
{
    assign(m_providerMode, mode, this, &SettingsManager::providerModeChanged,
           [&] { m_defaults.setObject(rawValue(mode), providerModeKey); });
}

void SettingsManager::setCustomProvider(APIProvider provider)
{
    assign(m_customProvider, provider, this, &SettingsManager::customProviderChanged,
           [&] { m_defaults.setObject(rawValue(provider), customProviderKey); });
}

void SettingsManager::setCustomModelId(const QString& modelId)
{
    assign(m_customModelId, modelId, this, &SettingsManager::customModelIdChanged,
           [&] { m_defaults.setObject(modelId, customModelIdKey); });
}

void SettingsManager::setPiiDetectionEnabled(bool enabled)
{
    assign(m_piiDetectionEnabled, enabled, this, &SettingsManager::piiDetectionEnabledChanged,
           [&] { m_defaults.setBool(enabled, piiDetectionKey); });
}

void SettingsManager::setHasCompletedOnboarding(bool completed)
{
    assign(m_hasCompletedOnboarding, completed, this,
           &SettingsManager::hasCompletedOnboardingChanged,
           [&] { m_defaults.setBool(completed, onboardingKey); });
}

void SettingsManager::setLocalServerURL(const QString& url)
{
    assign(m_localServerURL, url, this, &SettingsManager::localServerURLChanged, [&] {
        m_defaults.setObject(url, localServerKey);
        m_localModel.setServerURL(url);
    });
}

void SettingsManager::setLocalModelName(const QString& name)
{
    assign(m_localModelName, name, this, &SettingsManager::localModelNameChanged, [&] {
        m_defaults.setObject(name, localModelKey);
        m_localModel.setModelName(name);
    });
}

void SettingsManager::setReplacesSelection(bool replaces)
{
    assign(m_replacesSelection, replaces, this, &SettingsManager::replacesSelectionChanged,
           [&] { m_defaults.setBool(replaces, replaceSelectionKey); });
}

bool SettingsManager::isConfigured() const
{
    switch (m_providerMode) {
    case AIProviderMode::local:
        return m_localModel.isAvailable();
    case AIProviderMode::cloud:
        return true;
    case AIProviderMode::custom:
        return getAPIKey(m_customProvider).has_value();
    }
    std::unreachable();
}

QString SettingsManager::appVersion() const
{
    const QString version = QString::fromLatin1(build::appVersion);
    return version.isEmpty() ? QStringLiteral("1.0.0") : version;
}

QCoro::Task<std::expected<void, KeychainError>> SettingsManager::saveAPIKey(QString key,
                                                                            APIProvider provider)
{
    auto saving = m_keychain.save(std::move(key), provider);
    auto saved = co_await std::move(saving);
    if (saved)
        Q_EMIT apiKeysChanged();
    co_return saved;
}

std::optional<QString> SettingsManager::getAPIKey(APIProvider provider) const
{
    return m_keychain.load(provider);
}

QCoro::Task<std::expected<void, KeychainError>> SettingsManager::deleteAPIKey(APIProvider provider)
{
    auto removing = m_keychain.remove(provider);
    auto removed = co_await std::move(removing);
    Q_EMIT apiKeysChanged();
    co_return removed;
}

QCoro::Task<std::expected<void, KeychainError>> SettingsManager::saveLocalServerAPIKey(QString key)
{
    auto saving = m_keychain.save(key, KeychainManager::localServerAccount);
    auto saved = co_await std::move(saving);
    if (saved) {
        m_localModel.setAPIKey(key);
        Q_EMIT apiKeysChanged();
    }
    co_return saved;
}

std::optional<QString> SettingsManager::localServerAPIKey() const
{
    return m_keychain.load(KeychainManager::localServerAccount);
}

QCoro::Task<std::expected<void, KeychainError>> SettingsManager::deleteLocalServerAPIKey()
{
    auto removing = m_keychain.remove(KeychainManager::localServerAccount);
    auto removed = co_await std::move(removing);
    if (removed)
        m_localModel.setAPIKey(QString());
    Q_EMIT apiKeysChanged();
    co_return removed;
}

} // namespace lexwick
