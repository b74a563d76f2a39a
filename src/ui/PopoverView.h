#pragma once

#include "core/TextAction.h"
#include "safety/InputValidator.h"
#include "safety/PIIDetector.h"

#include <QCoroTask>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <stop_token>

namespace lexwick {

class AIServiceProvider;
class HistoryManager;
class SettingsManager;
struct HistoryItem;

// The state behind the popover and the operations of its screens. Created once; survives
// closing and reopening the popover. Lives on the main thread.
class PopoverView : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString inputText READ inputText WRITE setInputText NOTIFY inputTextChanged)
    Q_PROPERTY(QString resultText READ resultText NOTIFY resultTextChanged)
    Q_PROPERTY(lexwick::TextAction selectedAction READ selectedAction WRITE setSelectedAction NOTIFY
                   selectedActionChanged)
    Q_PROPERTY(lexwick::ToneOption selectedTone READ selectedTone WRITE setSelectedTone NOTIFY
                   selectedToneChanged)
    Q_PROPERTY(bool showCopiedFeedback READ showCopiedFeedback NOTIFY showCopiedFeedbackChanged)
    Q_PROPERTY(bool showSettings READ showSettings WRITE setShowSettings NOTIFY showSettingsChanged)
    Q_PROPERTY(bool showHistory READ showHistory WRITE setShowHistory NOTIFY showHistoryChanged)
    Q_PROPERTY(
        bool isInputFocused READ isInputFocused WRITE setInputFocused NOTIFY isInputFocusedChanged)
    Q_PROPERTY(QString currentScreen READ currentScreen NOTIFY currentScreenChanged)
    Q_PROPERTY(bool canProcess READ canProcess NOTIFY canProcessChanged)

public:
    // onClose closes the popover.
    PopoverView(AIServiceProvider& aiService, SettingsManager& settings, HistoryManager& history,
                std::function<void()> onClose, QObject* parent = nullptr);
    ~PopoverView() override;

    const QString& inputText() const { return m_inputText; }
    const QString& resultText() const { return m_resultText; }
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

    void setInputText(const QString& text);
    void setSelectedAction(TextAction action);
    void setSelectedTone(ToneOption tone);
    void setShowSettings(bool show);
    void setShowHistory(bool show);
    void setInputFocused(bool focused);

    // Starts a request, or cancels the one in flight.
    Q_INVOKABLE void toggleProcessing();
    // Puts the result on the clipboard and shows the feedback for 1.5 s.
    Q_INVOKABLE void copyResult();
    void reuseHistoryItem(const HistoryItem& item);
    Q_INVOKABLE void completeOnboarding();
    Q_INVOKABLE void openHistory() { setShowHistory(true); }
    Q_INVOKABLE void openSettings() { setShowSettings(true); }
    Q_INVOKABLE void close();
    Q_INVOKABLE void quit();

Q_SIGNALS:
    void inputTextChanged();
    void resultTextChanged();
    void selectedActionChanged();
    void selectedToneChanged();
    void showCopiedFeedbackChanged();
    void showSettingsChanged();
    void showHistoryChanged();
    void isInputFocusedChanged();
    void currentScreenChanged();
    void canProcessChanged();
    // A request ended, whichever way (tests and the Services wait for it).
    void requestFinished();

private:
    QCoro::Task<void> runRequest(std::stop_token stop);
    QCoro::Task<void> clearCopiedFeedbackLater(std::stop_token stop);
    void setResultText(const QString& text);
    void setShowCopiedFeedback(bool show);
    void updateCanProcess();
    void updateScreen();

    AIServiceProvider& m_aiService;
    SettingsManager& m_settings;
    HistoryManager& m_history;
    std::function<void()> m_onClose;

    QString m_inputText;
    QString m_resultText;
    TextAction m_selectedAction = TextAction::correct;
    ToneOption m_selectedTone = ToneOption::formal;
    bool m_showCopiedFeedback = false;
    bool m_showSettings = false;
    bool m_showHistory = false;
    std::optional<std::stop_source> m_processingTask;
    bool m_isInputFocused = false;

    ValidationResult m_validation;
    DetectionResult m_detection;
    bool m_canProcess = false;
    QString m_shownScreen;
    std::stop_source m_lifetime; // cancels the feedback timers when the view goes
};

} // namespace lexwick
