#include "ui/SettingsView.h"

#include "backends/LocalAIService.h"
#include "backends/ProviderModels.h"
#include "core/CancellableSleep.h"
#include "localmodel/SystemLanguageModel.h"
#include "settings/SettingsManager.h"
#include "ui/PickerEntries.h"
#include "ui/ShortcutsView.h"

#include <QDesktopServices>
#include <QJSEngine>
#include <QVariantMap>

#include <algorithm>

namespace lexwick {

namespace {

constexpr std::chrono::milliseconds saveSuccessShown{2000};

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
    setAPIKeyInput(m_settings.getAPIKey(m_settings.customProvider()).value_or(QString()));
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
    const auto saved = m_settings.saveAPIKey(m_apiKeyInput, m_settings.customProvider());
    if (!saved) {
        setSaveError(saved.error().errorDescription());
        return;
    }
    setShowSaveSuccess(true);
    // A later save leaves this reset running.
    runAfter(saveSuccessShown, m_lifetime.get_token(), this, [this] { setShowSaveSuccess(false); });
}

void SettingsView::deleteKey()
{
    m_settings.deleteAPIKey(m_settings.customProvider());
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
