#include "ui/PopoverView.h"

#include "core/AIServiceProvider.h"
#include "core/CancellableSleep.h"
#include "core/Log.h"
#include "history/HistoryManager.h"
#include "settings/SettingsManager.h"
#include "ui/AppActions.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPointer>

namespace lexwick {

PopoverView::PopoverView(AIServiceProvider& aiService, SettingsManager& settings,
                         HistoryManager& history, std::function<void()> onClose, QObject* parent)
    : QObject(parent)
    , m_aiService(aiService)
    , m_settings(settings)
    , m_history(history)
    , m_onClose(std::move(onClose))
    , m_validation(InputValidator::validate(QString()))
{
    connect(&m_aiService, &AIServiceProvider::isProcessingChanged, this,
            &PopoverView::updateCanProcess);
    connect(&m_settings, &SettingsManager::piiDetectionEnabledChanged, this, [this] {
        m_detection =
            m_settings.piiDetectionEnabled() ? PIIDetector::detect(m_inputText) : DetectionResult{};
        updateCanProcess();
    });
    connect(&m_settings, &SettingsManager::hasCompletedOnboardingChanged, this,
            &PopoverView::updateScreen);
    m_shownScreen = currentScreen(); // the first screen is not announced
    updateCanProcess();
}

PopoverView::~PopoverView()
{
    m_lifetime.request_stop();
}

QString PopoverView::currentScreen() const
{
    if (!m_settings.hasCompletedOnboarding())
        return QStringLiteral("onboarding");
    if (m_showSettings)
        return QStringLiteral("settings");
    if (m_showHistory)
        return QStringLiteral("history");
    return QStringLiteral("main");
}

void PopoverView::setInputText(const QString& text)
{
    if (m_inputText == text)
        return;
    m_inputText = text;
    // Checked here once, not by every binding that shows a result of the checks.
    m_validation = InputValidator::validate(m_inputText);
    m_detection =
        m_settings.piiDetectionEnabled() ? PIIDetector::detect(m_inputText) : DetectionResult{};
    Q_EMIT inputTextChanged();
    updateCanProcess();
}

void PopoverView::updateCanProcess()
{
    const bool can = !m_aiService.isProcessing() && !m_inputText.trimmed().isEmpty() &&
                     m_validation.state != CharacterState::exceeded &&
                     (!m_settings.piiDetectionEnabled() || !m_detection.hasPII);
    if (can == m_canProcess)
        return;
    m_canProcess = can;
    Q_EMIT canProcessChanged();
}

void PopoverView::updateScreen()
{
    const QString screen = currentScreen();
    if (screen == m_shownScreen)
        return;
    m_shownScreen = screen;
    logLine(QStringLiteral("showing ") + screen);
    Q_EMIT currentScreenChanged();
    if (screen == u"main")
        setInputFocused(true);
}

void PopoverView::setSelectedAction(TextAction action)
{
    if (m_selectedAction == action)
        return;
    m_selectedAction = action;
    Q_EMIT selectedActionChanged();
}

void PopoverView::setSelectedTone(ToneOption tone)
{
    if (m_selectedTone == tone)
        return;
    m_selectedTone = tone;
    Q_EMIT selectedToneChanged();
}

void PopoverView::setShowSettings(bool show)
{
    if (m_showSettings == show)
        return;
    m_showSettings = show;
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

void PopoverView::setInputFocused(bool focused)
{
    if (m_isInputFocused == focused)
        return;
    m_isInputFocused = focused;
    Q_EMIT isInputFocusedChanged();
}

void PopoverView::setResultText(const QString& text)
{
    if (m_resultText == text)
        return;
    m_resultText = text;
    Q_EMIT resultTextChanged();
}

void PopoverView::setShowCopiedFeedback(bool show)
{
    if (m_showCopiedFeedback == show)
        return;
    m_showCopiedFeedback = show;
    Q_EMIT showCopiedFeedbackChanged();
}

void PopoverView::toggleProcessing()
{
    if (m_processingTask)
        m_processingTask->request_stop();
    if (m_aiService.isProcessing()) {
        m_processingTask.reset();
        return;
    }
    if (!m_canProcess)
        return; // the button is disabled and the shortcut does nothing
    m_processingTask.emplace();
    runRequest(m_processingTask->get_token()); // runs on; its handle is the stop source
}

QCoro::Task<void> PopoverView::runRequest(std::stop_token stop)
{
    const std::optional<ToneOption> tone =
        m_selectedAction == TextAction::paraphrase ? std::optional(m_selectedTone) : std::nullopt;
    QPointer self(this);
    QCoro::Task<std::expected<QString, AIError>> processing =
        m_aiService.processText(m_inputText, m_selectedAction, tone, stop);
    const std::expected<QString, AIError> result = co_await std::move(processing);
    if (!self)
        co_return;
    if (!result) {
        setResultText(QString());
        logLine(QStringLiteral("Error processing text - ") + result.error().errorDescription());
        Q_EMIT requestFinished();
        co_return;
    }

    setResultText(*result);
    HistoryItem item;
    item.originalText = m_inputText;
    item.resultText = m_resultText;
    item.action = m_selectedAction;
    item.tone = tone;
    item.provider = m_aiService.providerName();
    item.wasCached = m_aiService.lastResultWasCached();
    QCoro::Task<void> adding = m_history.add(std::move(item));
    co_await std::move(adding);
    if (self)
        Q_EMIT requestFinished();
}

void PopoverView::copyResult()
{
    QGuiApplication::clipboard()->setText(m_resultText);
    setShowCopiedFeedback(true);
    clearCopiedFeedbackLater(m_lifetime.get_token());
}

QCoro::Task<void> PopoverView::clearCopiedFeedbackLater(std::stop_token stop)
{
    QPointer self(this);
    QCoro::Task<Result<void>> sleeping = cancellableSleep(std::chrono::milliseconds(1500), stop);
    co_await std::move(sleeping);
    if (self)
        setShowCopiedFeedback(false);
}

void PopoverView::reuseHistoryItem(const HistoryItem& item)
{
    setInputText(item.originalText);
    setSelectedAction(item.action);
    if (item.tone)
        setSelectedTone(*item.tone);
    setShowHistory(false);
}

void PopoverView::completeOnboarding()
{
    m_settings.setHasCompletedOnboarding(true);
    setInputFocused(true);
}

void PopoverView::close()
{
    if (m_onClose)
        m_onClose();
}

void PopoverView::quit()
{
    AppActions::instance().quit();
}

} // namespace lexwick
