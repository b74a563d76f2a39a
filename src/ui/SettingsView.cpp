// SPDX-License-Identifier: MIT
#include "ui/SettingsView.h"

#include "backends/LocalAIService.h"
#include "backends/ProviderModels.h"
#include "core/CancellableSleep.h"
#include "core/Log.h"
#include "localmodel/SystemLanguageModel.h"
#include "settings/SettingsManager.h"
#include "ui/PickerEntries.h"
#include "ui/ShortcutsView.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJSEngine>
#include <QPointer>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVariantMap>

#include <algorithm>

namespace lexwick {

namespace {

constexpr std::chrono::milliseconds saveSuccessShown{2000};

// The session's autostart entry: the menu entry's launch, without a menu entry of its own.
constexpr QStringView autostartEntry = u"[Desktop Entry]\n"
                                       u"Version=1.4\n"
                                       u"Type=Application\n"
                                       u"Name=Lexwick\n"
                                       u"Comment=Starts Lexwick in the tray at login\n"
                                       u"Icon=io.github.lexwick.Lexwick\n"
                                       u"Exec=lexwick\n"
                                       u"Terminal=false\n"
                                       u"StartupNotify=false\n"
                                       u"NoDisplay=true\n"
                                       u"X-GNOME-Autostart-Phase=Applications\n";

} // namespace

SettingsView::SettingsView(SettingsManager& settings, ProviderModels* providerModels,
                           DesktopShortcuts shortcuts, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_providerModels(providerModels)
    , m_shortcuts(new ShortcutsView(shortcuts.desktop, shortcuts.installer, this))
    , m_localServer(new LocalServerView(settings, this))
{
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
    SystemLanguageModel& model = m_settings.localModel();

    connect(&m_settings, &SettingsManager::providerModeChanged, this, [this] {
        Q_EMIT providerCardsChanged();
        Q_EMIT showsCustomSectionsChanged();
        // The custom block comes into view afresh: it shows the stored key, not old typing.
        if (showsCustomSections())
            reloadKeyField();
        updateProviderModels();
    });
    connect(&m_settings, &SettingsManager::customProviderChanged, this, [this] {
        Q_EMIT providersChanged();
        updateProviderModels();
    });
    connect(&m_settings, &SettingsManager::customModelIdChanged, this,
            &SettingsView::modelsChanged);
    connect(&m_settings, &SettingsManager::configurationChanged, this,
            &SettingsView::statusChanged);
    connect(&model, &SystemLanguageModel::availabilityChanged, this, [this] {
        Q_EMIT providerCardsChanged();
        Q_EMIT statusChanged();
    });
    // Keys read from the keyring arrive after the screen may have opened: they fill a field
    // the user has not typed into.
    connect(&m_settings.keychain(), &KeychainManager::storeChanged, this, [this] {
        if (showsCustomSections() && m_apiKeyInput == m_loadedKey)
            reloadKeyField();
        Q_EMIT keyStoreChanged();
    });
    connect(&m_settings, &SettingsManager::piiDetectionEnabledChanged, this,
            &SettingsView::piiDetectionEnabledChanged);
    connect(&m_settings, &SettingsManager::replacesSelectionChanged, this,
            &SettingsView::replacesSelectionChanged);
    if (m_providerModels) {
        connect(m_providerModels, &ProviderModels::modelsChanged, this,
                [this](APIProvider provider) {
                    if (provider == m_settings.customProvider())
                        updateProviderModels();
                });
    }

    if (showsCustomSections())
        reloadKeyField();
    updateProviderModels();
    m_startsAtLogin = QFileInfo(autostartFilePath()).isFile();
}

SettingsView::~SettingsView()
{
    m_lifetime.request_stop();
}

// The provider-mode cards.

bool SettingsView::isModeAvailable(AIProviderMode mode) const
{
    switch (mode) {
    case AIProviderMode::local:
        return m_settings.localModel().isAvailable();
    case AIProviderMode::cloud:
        return false;
    case AIProviderMode::custom:
        return true;
    }
    std::unreachable();
}

QVariantList SettingsView::providerCards() const
{
    QVariantList cards;
    for (AIProviderMode mode : allProviderModes) {
        const bool available = isModeAvailable(mode);
        QString badge;
        if (!available)
            badge = mode == AIProviderMode::cloud ? QStringLiteral("Coming Soon")
                                                  : QStringLiteral("Unavailable");
        const QString text = mode == AIProviderMode::local && !available
                                 ? m_localServer->unavailableDescription()
                                 : description(mode);
        cards.append(QVariantMap{{QStringLiteral("mode"), QVariant::fromValue(mode)},
                                 {QStringLiteral("title"), displayName(mode)},
                                 {QStringLiteral("description"), text},
                                 {QStringLiteral("symbol"), icon(mode)},
                                 {QStringLiteral("isSelected"), m_settings.providerMode() == mode},
                                 {QStringLiteral("isAvailable"), available},
                                 {QStringLiteral("badge"), badge},
                                 {QStringLiteral("badgeIsAccent"), mode == AIProviderMode::cloud}});
    }
    return cards;
}

void SettingsView::selectMode(AIProviderMode mode)
{
    if (mode == AIProviderMode::cloud)
        return;
    // The model is asked again: the card may have been drawn before it went away.
    if (mode == AIProviderMode::local && !m_settings.localModel().isAvailable())
        return;
    m_settings.setProviderMode(mode);
}

// The custom provider, its key and its model.

bool SettingsView::showsCustomSections() const
{
    return m_settings.providerMode() == AIProviderMode::custom;
}

QVariantList SettingsView::providers() const
{
    QVariantList list;
    for (APIProvider provider : allAPIProviders) {
        list.append(
            QVariantMap{{QStringLiteral("provider"), QVariant::fromValue(provider)},
                        {QStringLiteral("title"), displayName(provider)},
                        {QStringLiteral("isSelected"), m_settings.customProvider() == provider}});
    }
    return list;
}

QUrl SettingsView::keyConsolePage() const
{
    const QUrl page = lexwick::keyConsolePage(m_settings.customProvider());
    return page.isValid() && !page.host().isEmpty() ? page : QUrl();
}

void SettingsView::openKeyConsole()
{
    if (showsGetAPIKeyLink())
        QDesktopServices::openUrl(keyConsolePage());
}

void SettingsView::selectProvider(APIProvider provider)
{
    m_settings.setCustomProvider(provider);
    m_settings.setCustomModelId(defaultModelId(provider));
    reloadKeyField();
}

void SettingsView::reloadKeyField()
{
    m_loadedKey = m_settings.getAPIKey(m_settings.customProvider()).value_or(QString());
    setAPIKeyInput(m_loadedKey);
}

void SettingsView::setAPIKeyInput(const QString& text)
{
    if (m_apiKeyInput == text)
        return;
    m_apiKeyInput = text;
    Q_EMIT apiKeyInputChanged();
}

void SettingsView::setShowAPIKey(bool show)
{
    if (m_showAPIKey == show)
        return;
    m_showAPIKey = show;
    Q_EMIT showAPIKeyChanged();
}

QString SettingsView::eyeSymbol() const
{
    return m_showAPIKey ? QStringLiteral("eye.slash.fill") : QStringLiteral("eye.fill");
}

QString SettingsView::eyeTooltip() const
{
    return m_showAPIKey ? QStringLiteral("Hide API key") : QStringLiteral("Show API key");
}

bool SettingsView::showsDeleteButton() const
{
    return m_settings.getAPIKey(m_settings.customProvider()).has_value();
}

void SettingsView::saveKey()
{
    if (!canSaveKey())
        return; // the button is disabled
    setSaveError(std::nullopt);
    setShowSaveSuccess(false);
    // Exactly as typed: a key is never trimmed.
    storeKey(m_apiKeyInput, m_settings.customProvider());
}

QCoro::Task<void> SettingsView::storeKey(QString key, APIProvider provider)
{
    QPointer<SettingsView> self(this);
    auto saving = m_settings.saveAPIKey(std::move(key), provider);
    const auto saved = co_await std::move(saving);
    if (!self)
        co_return; // the screen closed meanwhile; the key is stored all the same
    if (!saved) {
        setSaveError(saved.error().errorDescription());
        co_return;
    }
    setShowSaveSuccess(true);
    // A later save leaves this reset running.
    runAfter(saveSuccessShown, m_lifetime.get_token(), this, [this] { setShowSaveSuccess(false); });
}

void SettingsView::deleteKey()
{
    setSaveError(std::nullopt);
    removeKey(m_settings.customProvider());
}

QCoro::Task<void> SettingsView::removeKey(APIProvider provider)
{
    QPointer<SettingsView> self(this);
    auto removing = m_settings.deleteAPIKey(provider);
    const auto removed = co_await std::move(removing);
    if (!self)
        co_return;
    if (!removed) {
        setSaveError(removed.error().errorDescription());
        co_return;
    }
    if (provider == m_settings.customProvider())
        setAPIKeyInput(QString());
}

void SettingsView::setShowSaveSuccess(bool show)
{
    if (m_showSaveSuccess == show)
        return;
    m_showSaveSuccess = show;
    Q_EMIT showSaveSuccessChanged();
}

void SettingsView::setSaveError(std::optional<QString> error)
{
    if (m_saveError == error)
        return;
    m_saveError = std::move(error);
    Q_EMIT saveErrorChanged();
}

void SettingsView::updateProviderModels()
{
    if (m_providerModels && showsCustomSections())
        m_providerModels->fetch(m_settings.customProvider()); // once per provider and key
    Q_EMIT modelsChanged();
}

QVariantList SettingsView::modelEntries() const
{
    const APIProvider provider = m_settings.customProvider();
    const QList<AIModel> models =
        m_providerModels ? m_providerModels->pickerModels(provider) : availableModels(provider);
    QVariantList entries;
    const QString& stored = m_settings.customModelId();
    const bool storedListed = std::any_of(models.cbegin(), models.cend(),
                                          [&](const AIModel& m) { return m.id == stored; });
    // The stored model stays visible (and selected) even when it is not offered; it is never
    // changed behind the user's back.
    if (!storedListed && !stored.isEmpty()) {
        const bool retired = m_providerModels && m_providerModels->isRetired(provider, stored);
        entries.append(QVariantMap{
            {QStringLiteral("id"), stored},
            {QStringLiteral("name"),
             retired ? QString(stored + QStringLiteral(" (no longer served)")) : stored}});
    }
    for (const AIModel& m : models) {
        entries.append(QVariantMap{{QStringLiteral("id"), m.id}, {QStringLiteral("name"), m.name}});
    }
    return entries;
}

int SettingsView::modelIndex() const
{
    return int(pickerIndex(modelEntries(), QStringLiteral("id"), m_settings.customModelId()));
}

QString SettingsView::modelNotice() const
{
    const APIProvider provider = m_settings.customProvider();
    if (!m_providerModels || !m_providerModels->isRetired(provider, m_settings.customModelId()))
        return QString();
    return displayName(provider) +
           QStringLiteral(" no longer serves this model. Pick another one.");
}

bool SettingsView::isLoadingModels() const
{
    return m_providerModels && showsCustomSections() &&
           m_providerModels->state(m_settings.customProvider()) == ProviderModels::State::fetching;
}

void SettingsView::selectModel(int index)
{
    const QVariantList entries = modelEntries();
    if (index < 0 || index >= entries.size())
        return;
    m_settings.setCustomModelId(entries.at(index).toMap().value(QStringLiteral("id")).toString());
}

// Status, about, onboarding.

bool SettingsView::isConfigured() const
{
    return m_settings.isConfigured();
}

QString SettingsView::statusMessage() const
{
    switch (m_settings.providerMode()) {
    case AIProviderMode::local: {
        const SystemLanguageModel::Availability availability =
            m_settings.localModel().availability();
        if (availability.isAvailable())
            return QStringLiteral("On-device AI is ready. All processing happens locally.");
        return localModelStateMessage(LocalAIService::mapAvailability(availability));
    }
    case AIProviderMode::cloud:
        return QStringLiteral("Using built-in cloud service. Internet required.");
    case AIProviderMode::custom: {
        const QString name = displayName(m_settings.customProvider());
        return m_settings.getAPIKey(m_settings.customProvider())
                   ? QStringLiteral("Using ") + name + QStringLiteral(" with your API key.")
                   : QStringLiteral("Please enter your ") + name + QStringLiteral(" API key.");
    }
    }
    std::unreachable();
}

QString SettingsView::keyStoreLine() const
{
    const KeychainManager& keychain = m_settings.keychain();
    switch (keychain.store()) {
    case KeychainManager::Store::opening:
        return QStringLiteral("Looking for the system keyring…");
    case KeychainManager::Store::keyring:
        return QStringLiteral("API keys are kept in the system keyring.");
    case KeychainManager::Store::file:
        break;
    }
    if (keychain.keyringProblem().isEmpty())
        return QStringLiteral("API keys are kept in the settings file.");
    return QStringLiteral("No keyring answered (%1): API keys are kept in the settings file.")
        .arg(keychain.keyringProblem());
}

QString SettingsView::versionLine() const
{
    return QStringLiteral("Version ") + m_settings.appVersion();
}

bool SettingsView::piiDetectionEnabled() const
{
    return m_settings.piiDetectionEnabled();
}

void SettingsView::setPiiDetectionEnabled(bool enabled)
{
    m_settings.setPiiDetectionEnabled(enabled);
}

QString SettingsView::autostartFilePath()
{
    // The generic configuration folder is $XDG_CONFIG_HOME (or ~/.config).
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/io.github.lexwick.Lexwick.desktop");
}

void SettingsView::setStartsAtLogin(bool starts)
{
    const QString path = autostartFilePath();
    if (starts) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(autostartEntry.toUtf8()) < 0 ||
            !file.commit())
            logWarning(lcSettings,
                       QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    } else if (QFileInfo::exists(path) && !QFile::remove(path)) {
        logWarning(lcSettings, QStringLiteral("Cannot remove ") + path);
    }
    // What the folder holds now, also when the write failed: the switch says the truth.
    m_startsAtLogin = QFileInfo(path).isFile();
    Q_EMIT startsAtLoginChanged();
}

bool SettingsView::replacesSelection() const
{
    return m_settings.replacesSelection();
}

void SettingsView::setReplacesSelection(bool replaces)
{
    m_settings.setReplacesSelection(replaces);
}

void SettingsView::setShowsShortcuts(bool shows)
{
    if (m_showsShortcuts == shows)
        return;
    m_showsShortcuts = shows;
    Q_EMIT showsShortcutsChanged();
}

} // namespace lexwick
