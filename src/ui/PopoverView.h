// SPDX-License-Identifier: MIT
#pragma once

#include "ui/HistoryView.h"
#include "ui/MainView.h"
#include "ui/OnboardingView.h"
#include "ui/ShortcutsView.h"

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace lexwick {

class AIServiceProvider;
class HistoryManager;
class ProviderModels;
class SettingsManager;
class SettingsView;
struct HistoryItem;

// The popover: which screen shows, and the screens' states. Created once; survives closing and
// reopening the popover, and so does every screen's state but the settings screen's, which is
// made afresh on each visit. Lives on the main thread.
class PopoverView : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the application")
    Q_MOC_INCLUDE("ui/SettingsView.h")
    Q_PROPERTY(QString currentScreen READ currentScreen NOTIFY currentScreenChanged)
    Q_PROPERTY(bool showSettings READ showSettings WRITE setShowSettings NOTIFY showSettingsChanged)
    Q_PROPERTY(bool showHistory READ showHistory WRITE setShowHistory NOTIFY showHistoryChanged)

    Q_PROPERTY(lexwick::MainView* main READ main CONSTANT)
    Q_PROPERTY(lexwick::HistoryView* historyView READ historyView CONSTANT)
    Q_PROPERTY(lexwick::OnboardingView* onboardingView READ onboardingView CONSTANT)
    // The settings screen's state: made each time the screen is shown, gone while it is not.
    Q_PROPERTY(lexwick::SettingsView* settingsView READ settingsView NOTIFY settingsViewChanged)
    // The introduction presented again, as a sheet over the current screen.
    Q_PROPERTY(lexwick::OnboardingView* onboardingSheet READ onboardingSheet CONSTANT)
    Q_PROPERTY(
        bool showsOnboardingSheet READ showsOnboardingSheet NOTIFY showsOnboardingSheetChanged)

public:
    // The view stays the caller's (C++ ownership), also once it is handed to QML. Without
    // provider models the settings screen's model picker offers the catalogue; every settings
    // screen binds keys through `shortcuts`.
    PopoverView(AIServiceProvider& aiService, SettingsManager& settings, HistoryManager& history,
                ProviderModels* providerModels = nullptr, DesktopShortcuts shortcuts = {},
                QObject* parent = nullptr);
    ~PopoverView() override;

    // "onboarding" until the introduction is done, then "settings", "history" or "main".
    QString currentScreen() const;
    bool showSettings() const { return m_showSettings; }
    bool showHistory() const { return m_showHistory; }

    MainView* main() { return &m_main; }
    HistoryView* historyView() { return &m_historyView; }
    OnboardingView* onboardingView() { return &m_onboardingView; }
    SettingsView* settingsView() const { return m_settingsView; }
    OnboardingView* onboardingSheet() { return &m_onboardingSheet; }
    bool showsOnboardingSheet() const { return m_showsOnboardingSheet; }

    void setShowSettings(bool show);
    void setShowHistory(bool show);

    // Back to the main screen with the record's text, action and tone; the result stays.
    Q_INVOKABLE void reuseHistoryItem(const lexwick::HistoryItem& item);
    Q_INVOKABLE void completeOnboarding();
    // Presents the introduction again, from its first page, as a sheet over the current
    // screen; finishing it closes the sheet and leaves everything else as it was.
    Q_INVOKABLE void restartOnboarding();
    Q_INVOKABLE void close() { Q_EMIT closeRequested(); }
    Q_INVOKABLE void quit() { Q_EMIT quitRequested(); }
    // Escape: closes the sheet on top (the introduction again, the keyboard shortcuts), or else
    // the popover.
    Q_INVOKABLE void escape();

    // The main screen runs the action on text another application selected (see
    // MainView::runService).
    QCoro::Task<MainView::ServiceOutcome> runService(QString text, TextAction action);

Q_SIGNALS:
    void currentScreenChanged();
    void showSettingsChanged();
    void showHistoryChanged();
    void settingsViewChanged();
    void showsOnboardingSheetChanged();
    // The application hides the popover, or quits.
    void closeRequested();
    void quitRequested();

private:
    void updateScreen();
    void setShowsOnboardingSheet(bool show);

    SettingsManager& m_settings;
    ProviderModels* const m_providerModels;
    const DesktopShortcuts m_shortcuts;

    MainView m_main;
    HistoryView m_historyView;
    OnboardingView m_onboardingView;
    OnboardingView m_onboardingSheet;
    bool m_showSettings = false;
    bool m_showHistory = false;
    bool m_showsOnboardingSheet = false;
    // A child: one that waits for its deferred deletion still goes before the popover does.
    SettingsView* m_settingsView = nullptr;
    QString m_shownScreen;
};

} // namespace lexwick
