// SPDX-License-Identifier: MIT
#pragma once

#include "settings/AIProviderMode.h"
#include "settings/APIProvider.h"
#include "ui/LocalServerView.h"
#include "ui/ShortcutsView.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>
#include <QUrl>
#include <QVariantList>

#include <optional>
#include <stop_token>

namespace lexwick {

class ProviderModels;
class SettingsManager;

// The state behind the settings screen. Made afresh each time the screen is shown and dropped
// when it closes; every choice goes to the settings store at once. Lives on the main thread.
//
// Besides the choices of the three modes it offers the local model server (a section of its
// own) and the models the custom provider still serves.
class SettingsView : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the popover")

    // The provider-mode cards, one map per mode in declaration order: mode, title, description,
    // symbol, isSelected, isAvailable, badge ("" for none), badgeIsAccent.
    Q_PROPERTY(QVariantList providerCards READ providerCards NOTIFY providerCardsChanged)
    Q_PROPERTY(bool showsCustomSections READ showsCustomSections NOTIFY showsCustomSectionsChanged)
    // The custom providers: provider, title, isSelected.
    Q_PROPERTY(QVariantList providers READ providers NOTIFY providersChanged)
    Q_PROPERTY(QUrl keyConsolePage READ keyConsolePage NOTIFY providersChanged)
    Q_PROPERTY(bool showsGetAPIKeyLink READ showsGetAPIKeyLink NOTIFY providersChanged)

    Q_PROPERTY(QString apiKeyInput READ apiKeyInput WRITE setAPIKeyInput NOTIFY apiKeyInputChanged)
    Q_PROPERTY(bool showAPIKey READ showAPIKey WRITE setShowAPIKey NOTIFY showAPIKeyChanged)
    Q_PROPERTY(QString eyeSymbol READ eyeSymbol NOTIFY showAPIKeyChanged)
    Q_PROPERTY(QString eyeTooltip READ eyeTooltip NOTIFY showAPIKeyChanged)
    Q_PROPERTY(bool canSaveKey READ canSaveKey NOTIFY apiKeyInputChanged)
    Q_PROPERTY(bool showsDeleteButton READ showsDeleteButton NOTIFY statusChanged)
    Q_PROPERTY(bool showSaveSuccess READ showSaveSuccess NOTIFY showSaveSuccessChanged)
    Q_PROPERTY(QString saveError READ saveError NOTIFY saveErrorChanged)
    Q_PROPERTY(bool showsSaveError READ showsSaveError NOTIFY saveErrorChanged)

    // The Model picker: entries {id, name}, the stored model's index, and the line shown when
    // the provider no longer serves it.
    Q_PROPERTY(QVariantList modelEntries READ modelEntries NOTIFY modelsChanged)
    Q_PROPERTY(int modelIndex READ modelIndex NOTIFY modelsChanged)
    Q_PROPERTY(QString modelNotice READ modelNotice NOTIFY modelsChanged)
    Q_PROPERTY(bool isLoadingModels READ isLoadingModels NOTIFY modelsChanged)

    Q_PROPERTY(bool isConfigured READ isConfigured NOTIFY statusChanged)
    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY statusChanged)
    // Where the API keys are kept this run, in one line.
    Q_PROPERTY(QString keyStoreLine READ keyStoreLine NOTIFY keyStoreChanged)
    Q_PROPERTY(QString versionLine READ versionLine CONSTANT)
    Q_PROPERTY(QString aboutLine READ aboutLine CONSTANT)
    Q_PROPERTY(bool piiDetectionEnabled READ piiDetectionEnabled WRITE setPiiDetectionEnabled NOTIFY
                   piiDetectionEnabledChanged)
    // Whether the session starts Lexwick at login: the autostart entry exists.
    Q_PROPERTY(
        bool startsAtLogin READ startsAtLogin WRITE setStartsAtLogin NOTIFY startsAtLoginChanged)
    // After a keyboard shortcut: the result replaces the selection, or waits on the clipboard.
    Q_PROPERTY(bool replacesSelection READ replacesSelection WRITE setReplacesSelection NOTIFY
                   replacesSelectionChanged)
    Q_PROPERTY(lexwick::ShortcutsView* shortcuts READ shortcuts CONSTANT)
    Q_PROPERTY(bool showsShortcuts READ showsShortcuts NOTIFY showsShortcutsChanged)
    Q_PROPERTY(lexwick::LocalServerView* localServer READ localServer CONSTANT)

public:
    static inline const QString aboutText =
        QStringLiteral("AI-powered writing assistant for Linux");

    // Without provider models the picker offers the catalogue. The shortcuts sheet binds keys
    // the way the platform says.
    SettingsView(SettingsManager& settings, ProviderModels* providerModels,
                 DesktopShortcuts shortcuts, QObject* parent = nullptr);
    ~SettingsView() override;

    QVariantList providerCards() const;
    bool isModeAvailable(AIProviderMode mode) const;
    bool showsCustomSections() const;
    QVariantList providers() const;
    QUrl keyConsolePage() const;
    bool showsGetAPIKeyLink() const { return keyConsolePage().isValid(); }

    const QString& apiKeyInput() const { return m_apiKeyInput; }
    bool showAPIKey() const { return m_showAPIKey; }
    QString eyeSymbol() const;
    QString eyeTooltip() const;
    bool canSaveKey() const { return !m_apiKeyInput.isEmpty(); }
    bool showsDeleteButton() const;
    bool showSaveSuccess() const { return m_showSaveSuccess; }
    QString saveError() const { return m_saveError.value_or(QString()); }
    bool showsSaveError() const { return m_saveError.has_value(); }

    QVariantList modelEntries() const;
    int modelIndex() const;
    QString modelNotice() const;
    bool isLoadingModels() const;

    bool isConfigured() const;
    QString statusMessage() const;
    QString keyStoreLine() const;
    QString versionLine() const;
    QString aboutLine() const { return aboutText; }

    bool piiDetectionEnabled() const;
    // $XDG_CONFIG_HOME/autostart/io.github.lexwick.Lexwick.desktop
    static QString autostartFilePath();
    bool startsAtLogin() const { return m_startsAtLogin; }
    // Writes or removes the entry; the switch then shows what the folder really holds.
    void setStartsAtLogin(bool starts);
    bool replacesSelection() const;
    LocalServerView* localServer() const { return m_localServer; }

    void setAPIKeyInput(const QString& text);
    void setShowAPIKey(bool show);
    void setPiiDetectionEnabled(bool enabled);
    void setReplacesSelection(bool replaces);

    // A card's action: local only while its model answers, cloud never, custom always.
    Q_INVOKABLE void selectMode(lexwick::AIProviderModes::AIProviderMode mode);
    // Sets the provider and its default model and reloads the key field, also for the
    // provider already chosen.
    Q_INVOKABLE void selectProvider(lexwick::APIProviders::APIProvider provider);
    Q_INVOKABLE void saveKey();
    Q_INVOKABLE void deleteKey();
    Q_INVOKABLE void toggleShowAPIKey() { setShowAPIKey(!m_showAPIKey); }
    Q_INVOKABLE void selectModel(int index);
    Q_INVOKABLE void openKeyConsole();
    // The "Keyboard shortcuts" sheet over this screen.
    ShortcutsView* shortcuts() const { return m_shortcuts; }
    bool showsShortcuts() const { return m_showsShortcuts; }
    Q_INVOKABLE void setShowsShortcuts(bool shows);
    // Asks the popover to present the onboarding over this screen; no setting changes.
    Q_INVOKABLE void restartOnboarding() { Q_EMIT restartOnboardingRequested(); }
    Q_INVOKABLE void close() { Q_EMIT closeRequested(); }
    Q_INVOKABLE void quit() { Q_EMIT quitRequested(); }

Q_SIGNALS:
    void providerCardsChanged();
    void showsCustomSectionsChanged();
    void providersChanged();
    void apiKeyInputChanged();
    void showAPIKeyChanged();
    void showSaveSuccessChanged();
    void saveErrorChanged();
    void modelsChanged();
    void statusChanged();
    void keyStoreChanged();
    void piiDetectionEnabledChanged();
    void startsAtLoginChanged();
    void replacesSelectionChanged();
    // The popover closes the screen, presents the onboarding, or the application quits.
    void closeRequested();
    void restartOnboardingRequested();
    void showsShortcutsChanged();
    void quitRequested();

private:
    void reloadKeyField();
    QCoro::Task<void> storeKey(QString key, APIProvider provider);
    QCoro::Task<void> removeKey(APIProvider provider);
    void updateProviderModels();
    void setShowSaveSuccess(bool show);
    void setSaveError(std::optional<QString> error);

    SettingsManager& m_settings;
    ProviderModels* const m_providerModels;

    QString m_apiKeyInput;
    QString m_loadedKey; // what the field was last filled with from the store
    bool m_showAPIKey = false;
    std::optional<QString> m_saveError;
    bool m_showSaveSuccess = false;
    bool m_startsAtLogin = false; // read when the screen opens

    ShortcutsView* m_shortcuts; // a child
    bool m_showsShortcuts = false;
    LocalServerView* m_localServer; // a child
    std::stop_source m_lifetime;    // ends the timers with the screen
};

} // namespace lexwick
