// SPDX-License-Identifier: MIT
#include "ui/PopoverView.h"

#include "core/Log.h"
#include "settings/SettingsManager.h"
#include "ui/SettingsView.h"

#include <QJSEngine>

#include <utility>

namespace lexwick {

using namespace Qt::StringLiterals;

PopoverView::PopoverView(AIServiceProvider& aiService, SettingsManager& settings,
                         HistoryManager& history, ProviderModels* providerModels,
                         DesktopShortcuts shortcuts, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_providerModels(providerModels)
    , m_shortcuts(shortcuts)
    , m_main(aiService, settings, history)
    , m_historyView(history)
    , m_onboardingView(settings)
    , m_onboardingSheet(settings)
{
    // These objects go to QML without a parent; the engine must never collect them.
    for (QObject* object : std::initializer_list<QObject*>{this, &m_historyView, &m_onboardingView,
                                                           &m_onboardingSheet})
        QJSEngine::setObjectOwnership(object, QJSEngine::CppOwnership);
    connect(&m_main, &MainView::historyRequested, this, [this] { setShowHistory(true); });
    connect(&m_main, &MainView::settingsRequested, this, [this] { setShowSettings(true); });
    connect(&m_main, &MainView::closeRequested, this, &PopoverView::closeRequested);
    connect(&m_main, &MainView::quitRequested, this, &PopoverView::quitRequested);
    connect(&m_historyView, &HistoryView::selected, this, &PopoverView::reuseHistoryItem);
    connect(&m_historyView, &HistoryView::closeRequested, this, [this] { setShowHistory(false); });
    connect(&m_onboardingView, &OnboardingView::completed, this, &PopoverView::completeOnboarding);
    // The sheet's completion does nothing more; its dismissal closes it.
    connect(&m_onboardingSheet, &OnboardingView::dismissRequested, this,
            [this] { setShowsOnboardingSheet(false); });
    connect(&m_settings, &SettingsManager::hasCompletedOnboardingChanged, this,
            &PopoverView::updateScreen);
    m_shownScreen = currentScreen(); // the first screen is not announced
}

PopoverView::~PopoverView() = default;

QString PopoverView::currentScreen() const
{
    if (!m_settings.hasCompletedOnboarding())
        return u"onboarding"_s;
    if (m_showSettings)
        return u"settings"_s;
    if (m_showHistory)
        return u"history"_s;
    return u"main"_s;
}

void PopoverView::updateScreen()
{
    const QString screen = currentScreen();
    if (screen == m_shownScreen)
        return;
    if (m_shownScreen == u"history")
        m_historyView.disappear();
    m_shownScreen = screen;
    logDebug(lcPopover, u"showing "_s + screen);
    Q_EMIT currentScreenChanged();
    if (screen == u"main")
        m_main.setInputFocused(true);
    else if (screen == u"history")
        m_historyView.appear();
    else if (screen == u"onboarding")
        m_onboardingView.restart();
}

void PopoverView::setShowSettings(bool show)
{
    if (m_showSettings == show)
        return;
    m_showSettings = show;
    // The screen's state is made afresh each time it is shown; the old one goes once QML has
    // let go of it.
    if (show) {
        m_settingsView = new SettingsView(m_settings, m_providerModels, m_shortcuts, this);
        connect(m_settingsView, &SettingsView::closeRequested, this,
                [this] { setShowSettings(false); });
        connect(m_settingsView, &SettingsView::quitRequested, this, &PopoverView::quit);
        connect(m_settingsView, &SettingsView::restartOnboardingRequested, this,
                &PopoverView::restartOnboarding);
        Q_EMIT settingsViewChanged();
    } else if (m_settingsView) {
        SettingsView* old = std::exchange(m_settingsView, nullptr);
        Q_EMIT settingsViewChanged();
        old->deleteLater();
    }
    Q_EMIT showSettingsChanged();
    updateScreen();
}

void PopoverView::setShowHistory(bool show)
{
    if (m_showHistory == show)
        return;
    m_showHistory = show;
    Q_EMIT showHistoryChanged();
    updateScreen();
}

void PopoverView::restartOnboarding()
{
    m_onboardingSheet.restart();
    setShowsOnboardingSheet(true);
}

void PopoverView::setShowsOnboardingSheet(bool show)
{
    if (m_showsOnboardingSheet == show)
        return;
    m_showsOnboardingSheet = show;
    Q_EMIT showsOnboardingSheetChanged();
}

void PopoverView::escape()
{
    if (m_showsOnboardingSheet)
        setShowsOnboardingSheet(false);
    else if (m_settingsView && m_settingsView->showsShortcuts())
        m_settingsView->setShowsShortcuts(false);
    else
        close();
}

void PopoverView::reuseHistoryItem(const HistoryItem& item)
{
    m_main.reuse(item);
    setShowHistory(false);
}

void PopoverView::completeOnboarding()
{
    m_settings.setHasCompletedOnboarding(true);
    m_main.setInputFocused(true);
}

QCoro::Task<MainView::ServiceOutcome> PopoverView::runService(QString text, TextAction action)
{
    setShowHistory(false);
    setShowSettings(false);
    return m_main.runService(std::move(text), action);
}

} // namespace lexwick
