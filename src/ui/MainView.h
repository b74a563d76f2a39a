// SPDX-License-Identifier: MIT
#pragma once

#include "core/AIError.h"
#include "core/TextAction.h"
#include "settings/AIProviderMode.h"
#include "ui/InputChecks.h"
#include "ui/ResultView.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>
#include <QVariantList>

#include <expected>
#include <optional>
#include <stop_token>

namespace lexwick {

class AIServiceProvider;
class HistoryManager;
class SettingsManager;
struct HistoryItem;

// The main screen: the text, the action (and tone), the process button, the result and the
// error line. Its requests are its own: what it shows comes from the outcome of the request it
// started, never from a request of the command or the desktop. Lives on the main thread.
class MainView : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the popover")
    Q_PROPERTY(lexwick::InputChecks* checks READ checks CONSTANT)
    Q_PROPERTY(lexwick::ResultView* result READ result CONSTANT)

    Q_PROPERTY(QString inputText READ inputText WRITE setInputText NOTIFY inputTextChanged)
    Q_PROPERTY(
        bool isInputFocused READ isInputFocused WRITE setInputFocused NOTIFY isInputFocusedChanged)
    Q_PROPERTY(lexwick::TextActions::TextAction selectedAction READ selectedAction WRITE
                   setSelectedAction NOTIFY selectedActionChanged)
    Q_PROPERTY(lexwick::ToneOptions::ToneOption selectedTone READ selectedTone WRITE setSelectedTone
                   NOTIFY selectedToneChanged)
    // What the input's tool tip tells: the keys that leave it, and the one that inserts a tab.
    Q_PROPERTY(QString inputHint READ inputHint CONSTANT)
    Q_PROPERTY(QVariantList actions READ actions CONSTANT)
    Q_PROPERTY(QVariantList tones READ tones CONSTANT)
    Q_PROPERTY(bool showsToneSection READ showsToneSection NOTIFY selectedActionChanged)

    Q_PROPERTY(bool canProcess READ canProcess NOTIFY canProcessChanged)
    Q_PROPERTY(bool isProcessing READ isProcessing NOTIFY processStateChanged)
    Q_PROPERTY(bool isProcessButtonEnabled READ isProcessButtonEnabled NOTIFY processStateChanged)
    Q_PROPERTY(QString processButtonText READ processButtonText NOTIFY processStateChanged)
    Q_PROPERTY(QString processButtonSymbol READ processButtonSymbol NOTIFY processStateChanged)
    Q_PROPERTY(bool showsError READ showsError NOTIFY errorChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorChanged)

    // The footer's chip: where the next request goes.
    Q_PROPERTY(QString providerName READ providerName NOTIFY providerChanged)
    Q_PROPERTY(lexwick::AIProviderModes::AIProviderMode providerMode READ providerMode NOTIFY
                   providerChanged)
    Q_PROPERTY(QString providerChipTooltip READ providerChipTooltip NOTIFY providerChanged)

public:
    // The outcome of a request started for another application: the answer, or the message
    // users read.
    using ServiceOutcome = std::expected<QString, QString>;

    MainView(AIServiceProvider& aiService, SettingsManager& settings, HistoryManager& history,
             QObject* parent = nullptr);
    ~MainView() override;

    InputChecks* checks() { return &m_checks; }
    ResultView* result() { return &m_result; }

    const QString& inputText() const { return m_inputText; }
    bool isInputFocused() const { return m_isInputFocused; }
    TextAction selectedAction() const { return m_selectedAction; }
    ToneOption selectedTone() const { return m_selectedTone; }
    static QString inputHint();
    QVariantList actions() const;
    QVariantList tones() const;
    bool showsToneSection() const { return usesTone(m_selectedAction); }

    bool canProcess() const { return m_canProcess; }
    // Whether this screen's own request is in flight.
    bool isProcessing() const { return m_processing.has_value(); }
    bool isProcessButtonEnabled() const { return m_canProcess || isProcessing(); }
    QString processButtonText() const;
    QString processButtonSymbol() const;
    bool showsError() const { return m_error.has_value(); }
    QString errorMessage() const { return m_error ? m_error->errorDescription() : QString(); }
    const std::optional<AIError>& error() const { return m_error; }

    QString providerName() const;
    AIProviderMode providerMode() const;
    QString providerChipTooltip() const;

    void setInputText(const QString& text);
    void setInputFocused(bool focused);
    void setSelectedAction(TextAction action);
    void setSelectedTone(ToneOption tone);

    // Starts a request of the input, or cancels the one in flight.
    Q_INVOKABLE void toggleProcessing();
    // The record's text, action and tone; the result stays.
    void reuse(const HistoryItem& item);
    // Runs the action on text selected in another application, where only the popover can
    // read it: the text in the input, the action chosen (with its tone for another
    // application), and the request shown here as if the user had started it; Cancel ends it.
    QCoro::Task<ServiceOutcome> runService(QString text, TextAction action);

    Q_INVOKABLE void openHistory() { Q_EMIT historyRequested(); }
    Q_INVOKABLE void openSettings() { Q_EMIT settingsRequested(); }
    Q_INVOKABLE void close() { Q_EMIT closeRequested(); }
    Q_INVOKABLE void quit() { Q_EMIT quitRequested(); }

Q_SIGNALS:
    void inputTextChanged();
    void isInputFocusedChanged();
    void selectedActionChanged();
    void selectedToneChanged();
    void canProcessChanged();
    // Anything the process button depends on.
    void processStateChanged();
    void errorChanged();
    void providerChanged();
    // A request ended, whichever way, its history record written.
    void requestFinished();
    void historyRequested();
    void settingsRequested();
    void closeRequested();
    void quitRequested();

private:
    using Outcome = std::expected<QString, AIError>;

    QCoro::Task<Outcome> startRequest();
    QCoro::Task<Outcome> runRequest(QString text, TextAction action, std::optional<ToneOption> tone,
                                    std::stop_token stop);
    void updateCanProcess();
    void setProcessing(std::optional<std::stop_source> processing);
    void setError(std::optional<AIError> error);
    void forgetProviderError();

    AIServiceProvider& m_aiService;
    SettingsManager& m_settings;
    HistoryManager& m_history;
    InputChecks m_checks;
    ResultView m_result;

    QString m_inputText;
    bool m_isInputFocused = false;
    TextAction m_selectedAction = TextAction::correct;
    ToneOption m_selectedTone = ToneOption::formal;
    bool m_canProcess = false;
    // The request in flight, by the handle that cancels it.
    std::optional<std::stop_source> m_processing;
    std::optional<AIError> m_error;
};

} // namespace lexwick
