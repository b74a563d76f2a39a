#pragma once

#include "core/TextAction.h"
#include "history/HistoryItem.h"
#include "safety/InputValidator.h"
#include "safety/PIIDetector.h"
#include "ui/CharacterCounterView.h"
#include "ui/HistoryView.h"
#include "ui/OnboardingView.h"
#include "text/TextChanges.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>
#include <QVariantList>

#include <optional>
#include <stop_token>

namespace lexwick {

class AIServiceProvider;
class HistoryManager;
class ProviderModels;
class SettingsManager;
class SettingsView;

// The state behind the popover and the operations of its screens. Created once; survives
// closing and reopening the popover. Lives on the main thread.
//
// Everything a screen draws is a property with a change signal, and every rule (enabling,
// texts, which sections show) is decided here; the QML only lays out, binds and animates.
class PopoverView : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the application")
    Q_MOC_INCLUDE("router/AIServiceProvider.h")
    Q_MOC_INCLUDE("settings/SettingsManager.h")
    Q_MOC_INCLUDE("ui/SettingsView.h")
    Q_PROPERTY(lexwick::AIServiceProvider* router READ router CONSTANT)
    Q_PROPERTY(lexwick::SettingsManager* settings READ settings CONSTANT)
    // The settings screen's state: made each time the screen is shown, gone while it is not.
    Q_PROPERTY(lexwick::SettingsView* settingsView READ settingsView NOTIFY settingsViewChanged)

    Q_PROPERTY(QString inputText READ inputText WRITE setInputText NOTIFY inputTextChanged)
    Q_PROPERTY(QString resultText READ resultText NOTIFY resultTextChanged)
    // What the result box shows: the result, or what the correction changed.
    Q_PROPERTY(QString resultRichText READ resultRichText NOTIFY resultPresentationChanged)
    Q_PROPERTY(bool showsResultChanges READ showsResultChanges NOTIFY resultPresentationChanged)
    Q_PROPERTY(
        QString resultAccessibleName READ resultAccessibleName NOTIFY resultPresentationChanged)
    // The "Changes" toggle, present for the result of a correction, and its state.
    Q_PROPERTY(bool showsChangesToggle READ showsChangesToggle NOTIFY processStateChanged)
    Q_PROPERTY(bool showChanges READ showChanges WRITE setShowChanges NOTIFY showChangesChanged)
    Q_PROPERTY(QString changesSummary READ changesSummary NOTIFY resultTextChanged)
    Q_PROPERTY(lexwick::TextActions::TextAction selectedAction READ selectedAction WRITE
                   setSelectedAction NOTIFY selectedActionChanged)
    Q_PROPERTY(lexwick::ToneOptions::ToneOption selectedTone READ selectedTone WRITE setSelectedTone
                   NOTIFY selectedToneChanged)
    Q_PROPERTY(bool showCopiedFeedback READ showCopiedFeedback NOTIFY showCopiedFeedbackChanged)
    Q_PROPERTY(bool showSettings READ showSettings WRITE setShowSettings NOTIFY showSettingsChanged)
    Q_PROPERTY(bool showHistory READ showHistory WRITE setShowHistory NOTIFY showHistoryChanged)
    Q_PROPERTY(
        bool isInputFocused READ isInputFocused WRITE setInputFocused NOTIFY isInputFocusedChanged)
    Q_PROPERTY(QString currentScreen READ currentScreen NOTIFY currentScreenChanged)
    Q_PROPERTY(bool canProcess READ canProcess NOTIFY canProcessChanged)

    // The checks of the input.
    Q_PROPERTY(qsizetype characterCount READ characterCount NOTIFY checksChanged)
    Q_PROPERTY(lexwick::CharacterStates::CharacterState characterState READ characterState NOTIFY
                   checksChanged)
    Q_PROPERTY(QString validationMessage READ validationMessage NOTIFY checksChanged)
    Q_PROPERTY(QString counterText READ counterText NOTIFY checksChanged)
    Q_PROPERTY(QString counterSymbol READ counterSymbol NOTIFY checksChanged)
    Q_PROPERTY(
        lexwick::CharacterCounterView::Colour counterColour READ counterColour NOTIFY checksChanged)
    Q_PROPERTY(bool showsSensitiveDataBanner READ showsSensitiveDataBanner NOTIFY checksChanged)
    Q_PROPERTY(QString sensitiveDataFoundLine READ sensitiveDataFoundLine NOTIFY checksChanged)
    Q_PROPERTY(lexwick::PopoverView::InputBorder inputBorder READ inputBorder NOTIFY checksChanged)

    // The sections and controls of the main screen.
    Q_PROPERTY(QVariantList actions READ actions CONSTANT)
    Q_PROPERTY(QVariantList tones READ tones CONSTANT)
    Q_PROPERTY(bool showsToneSection READ showsToneSection NOTIFY selectedActionChanged)
    Q_PROPERTY(bool isProcessButtonEnabled READ isProcessButtonEnabled NOTIFY processStateChanged)
    Q_PROPERTY(QString processButtonText READ processButtonText NOTIFY processStateChanged)
    Q_PROPERTY(QString processButtonSymbol READ processButtonSymbol NOTIFY processStateChanged)
    Q_PROPERTY(bool showsResultSection READ showsResultSection NOTIFY processStateChanged)
    Q_PROPERTY(bool showsCachedBadge READ showsCachedBadge NOTIFY processStateChanged)
    Q_PROPERTY(bool showsError READ showsError NOTIFY processStateChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY processStateChanged)
    Q_PROPERTY(QString providerChipTooltip READ providerChipTooltip NOTIFY providerChanged)

    // The other screens' states, and the introduction presented again as a sheet.
    Q_PROPERTY(lexwick::HistoryView* historyView READ historyView CONSTANT)
    Q_PROPERTY(lexwick::OnboardingView* onboardingView READ onboardingView CONSTANT)
    Q_PROPERTY(lexwick::OnboardingView* onboardingSheet READ onboardingSheet CONSTANT)
    Q_PROPERTY(bool showsOnboardingSheet READ showsOnboardingSheet NOTIFY showsOnboardingSheetChanged)

public:
    // How the input's border looks: neutral, marked for sensitive data, or over the limit.
    enum class InputBorder { neutral, sensitiveData, exceeded };
    Q_ENUM(InputBorder)

    // The view stays the caller's (C++ ownership), also once it is handed to QML. Without
    // provider models the settings screen's model picker offers the catalogue.
    PopoverView(AIServiceProvider& aiService, SettingsManager& settings, HistoryManager& history,
                ProviderModels* providerModels = nullptr, QObject* parent = nullptr);
    ~PopoverView() override;

    AIServiceProvider* router() const { return &m_aiService; }
    SettingsManager* settings() const { return &m_settings; }
    SettingsView* settingsView() const { return m_settingsView; }

    const QString& inputText() const { return m_inputText; }
    const QString& resultText() const { return m_resultText; }
    // The result's inline Markdown as rich text, nothing the model sent taken as markup; with
    // the changes marked while they are shown.
    QString resultRichText() const;
    // A correction's result with its changes shown: the text the request sent against the
    // answer, whatever the input and the chosen action are now.
    bool showsResultChanges() const;
    QString resultAccessibleName() const;
    bool showsChangesToggle() const;
    // The user's choice, on at first; it stays for the run, so it holds for later results.
    bool showChanges() const { return m_showChanges; }
    // "No changes", "1 change", "4 changes".
    QString changesSummary() const;
    TextAction selectedAction() const { return m_selectedAction; }
    ToneOption selectedTone() const { return m_selectedTone; }
    bool showCopiedFeedback() const { return m_showCopiedFeedback; }
    bool showSettings() const { return m_showSettings; }
    bool showHistory() const { return m_showHistory; }
    bool isInputFocused() const { return m_isInputFocused; }
    QString currentScreen() const;
    bool canProcess() const { return m_canProcess; }

    // The checks of the current input, made once per change of the input.
    const ValidationResult& validation() const { return m_validation; }
    const DetectionResult& detection() const { return m_detection; }
    qsizetype characterCount() const { return m_validation.characterCount; }
    CharacterState characterState() const { return m_validation.state; }
    QString validationMessage() const { return m_validation.message.value_or(QString()); }
    QString counterText() const;
    QString counterSymbol() const;
    CharacterCounterView::Colour counterColour() const;
    bool showsSensitiveDataBanner() const;
    QString sensitiveDataFoundLine() const;
    InputBorder inputBorder() const;

    QVariantList actions() const;
    QVariantList tones() const;
    bool showsToneSection() const { return m_selectedAction == TextAction::paraphrase; }
    bool isProcessButtonEnabled() const;
    QString processButtonText() const;
    QString processButtonSymbol() const;
    bool showsResultSection() const;
    bool showsCachedBadge() const;
    bool showsError() const;
    QString errorMessage() const;
    QString providerChipTooltip() const;

    HistoryView* historyView() { return &m_historyView; }
    OnboardingView* onboardingView() { return &m_onboardingView; }
    OnboardingView* onboardingSheet() { return &m_onboardingSheet; }
    bool showsOnboardingSheet() const { return m_showsOnboardingSheet; }

    void setInputText(const QString& text);
    void setSelectedAction(TextAction action);
    void setSelectedTone(ToneOption tone);
    void setShowSettings(bool show);
    void setShowHistory(bool show);
    void setInputFocused(bool focused);
    void setShowChanges(bool show);

    // Starts a request, or cancels the one in flight.
    Q_INVOKABLE void toggleProcessing();
    // Puts the result on the clipboard and shows the feedback for 1.5 s.
    Q_INVOKABLE void copyResult();
    // Back to the main screen with the record's text, action and tone; the result stays.
    Q_INVOKABLE void reuseHistoryItem(const lexwick::HistoryItem& item);
    Q_INVOKABLE void completeOnboarding();
    // Presents the introduction again, from its first page, as a sheet over the current
    // screen; finishing it closes the sheet and leaves everything else as it was.
    Q_INVOKABLE void restartOnboarding();
    // Opens a link of the result in the browser: http, https and mailto only.
    Q_INVOKABLE void openLink(const QString& link);
    Q_INVOKABLE void openHistory() { setShowHistory(true); }
    Q_INVOKABLE void openSettings() { setShowSettings(true); }
    Q_INVOKABLE void close() { Q_EMIT closeRequested(); }
    Q_INVOKABLE void quit() { Q_EMIT quitRequested(); }

    // Runs the action on text selected in another application, where only the popover can
    // read it (Wayland): the main screen with the text in the input, the action chosen (and
    // the formal tone for a paraphrase). Returns why the request cannot start, as users read
    // it; nothing when it runs, and `requestFinished` tells when it ends.
    std::optional<QString> runService(const QString& text, TextAction action);

Q_SIGNALS:
    void inputTextChanged();
    void resultTextChanged();
    void resultPresentationChanged();
    void showChangesChanged();
    void selectedActionChanged();
    void selectedToneChanged();
    void showCopiedFeedbackChanged();
    void showSettingsChanged();
    void settingsViewChanged();
    void showHistoryChanged();
    void isInputFocusedChanged();
    void currentScreenChanged();
    void canProcessChanged();
    void checksChanged();
    // Anything the process button, the result section or the error line depend on.
    void processStateChanged();
    void providerChanged();
    void showsOnboardingSheetChanged();
    // A request ended, whichever way (tests and the Services wait for it).
    void requestFinished();
    // The application hides the popover, or quits.
    void closeRequested();
    void quitRequested();

private:
    QCoro::Task<void> runRequest(std::stop_token stop);
    QCoro::Task<void> clearCopiedFeedbackLater(std::stop_token stop);
    void runChecks();
    // The result with the text and the action of the request it answers.
    void setResult(const QString& text, const QString& sentText, TextAction action);
    bool resultIsCorrection() const;
    const TextChanges& changes() const;
    void setShowCopiedFeedback(bool show);
    void updateCanProcess();
    void updateScreen();
    void setShowsOnboardingSheet(bool show);

    AIServiceProvider& m_aiService;
    SettingsManager& m_settings;
    HistoryManager& m_history;
    ProviderModels* const m_providerModels;

    QString m_inputText;
    QString m_resultText;
    QString m_resultSentText;
    TextAction m_resultAction = TextAction::correct;
    mutable std::optional<TextChanges> m_changes; // made when first shown
    bool m_showChanges = true;
    TextAction m_selectedAction = TextAction::correct;
    ToneOption m_selectedTone = ToneOption::formal;
    bool m_showCopiedFeedback = false;
    bool m_showSettings = false;
    // A child: one that waits for its deferred deletion still goes before the popover does.
    SettingsView* m_settingsView = nullptr;
    bool m_showHistory = false;
    std::optional<std::stop_source> m_processingTask;
    bool m_isInputFocused = false;

    ValidationResult m_validation;
    DetectionResult m_detection;
    bool m_canProcess = false;
    QString m_shownScreen;
    HistoryView m_historyView;
    OnboardingView m_onboardingView;
    OnboardingView m_onboardingSheet;
    bool m_showsOnboardingSheet = false;
    std::stop_source m_lifetime; // cancels the feedback timers when the view goes
};

} // namespace lexwick
