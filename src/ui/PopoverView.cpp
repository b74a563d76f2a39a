#include "ui/PopoverView.h"

#include "core/CancellableSleep.h"
#include "core/Log.h"
#include "history/HistoryManager.h"
#include "router/AIServiceProvider.h"
#include "settings/SettingsManager.h"
#include "text/InlineMarkdown.h"
#include "ui/SettingsView.h"
#include "ui/WarningBanner.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QJSEngine>
#include <QPointer>
#include <QUrl>
#include <QVariantMap>

#include <utility>

namespace lexwick {

using namespace Qt::StringLiterals;

PopoverView::PopoverView(AIServiceProvider& aiService, SettingsManager& settings,
                         HistoryManager& history, ProviderModels* providerModels, QObject* parent)
    : QObject(parent)
    , m_aiService(aiService)
    , m_settings(settings)
    , m_history(history)
    , m_providerModels(providerModels)
    , m_validation(InputValidator::validate(QString()))
    , m_historyView(history)
    , m_onboardingView(settings)
    , m_onboardingSheet(settings)
{
    // These objects go to QML without a parent; the engine must never collect them.
    for (QObject* object : std::initializer_list<QObject*>{
             this, &m_aiService, &m_settings, &m_historyView, &m_onboardingView,
             &m_onboardingSheet})
        QJSEngine::setObjectOwnership(object, QJSEngine::CppOwnership);
    connect(&m_historyView, &HistoryView::selected, this, &PopoverView::reuseHistoryItem);
    connect(&m_historyView, &HistoryView::closeRequested, this,
            [this] { setShowHistory(false); });
    connect(&m_onboardingView, &OnboardingView::completed, this,
            &PopoverView::completeOnboarding);
    // The sheet's completion does nothing more; its dismissal closes it.
    connect(&m_onboardingSheet, &OnboardingView::dismissRequested, this,
            [this] { setShowsOnboardingSheet(false); });
    connect(&m_aiService, &AIServiceProvider::isProcessingChanged, this,
            &PopoverView::updateCanProcess);
    for (auto signal :
         {&AIServiceProvider::isProcessingChanged, &AIServiceProvider::lastResultWasCachedChanged,
          &AIServiceProvider::lastErrorChanged}) {
        connect(&m_aiService, signal, this, &PopoverView::processStateChanged);
    }
    connect(&m_aiService, &AIServiceProvider::activeModeChanged, this,
            &PopoverView::providerChanged);
    connect(&m_settings, &SettingsManager::customProviderChanged, this,
            &PopoverView::providerChanged);
    connect(&m_settings, &SettingsManager::piiDetectionEnabledChanged, this,
            &PopoverView::runChecks);
    connect(&m_settings, &SettingsManager::hasCompletedOnboardingChanged, this,
            &PopoverView::updateScreen);
    connect(this, &PopoverView::canProcessChanged, this, &PopoverView::processStateChanged);
    connect(this, &PopoverView::resultTextChanged, this, &PopoverView::processStateChanged);
    connect(this, &PopoverView::selectedActionChanged, this, &PopoverView::processStateChanged);
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
    Q_EMIT inputTextChanged();
    runChecks();
}

// Checked here once per change, not by every binding that shows a result of the checks.
void PopoverView::runChecks()
{
    m_validation = InputValidator::validate(m_inputText);
    m_detection =
        m_settings.piiDetectionEnabled() ? PIIDetector::detect(m_inputText) : DetectionResult{};
    Q_EMIT checksChanged();
    updateCanProcess();
}

QString PopoverView::counterText() const
{
    return CharacterCounterView::text(m_validation);
}

QString PopoverView::counterSymbol() const
{
    return CharacterCounterView::symbol(m_validation.state);
}

CharacterCounterView::Colour PopoverView::counterColour() const
{
    return CharacterCounterView::colour(m_validation.state);
}

bool PopoverView::showsSensitiveDataBanner() const
{
    return m_settings.piiDetectionEnabled() && m_detection.hasPII;
}

QString PopoverView::sensitiveDataFoundLine() const
{
    return showsSensitiveDataBanner() ? WarningBanner::foundLine(m_detection) : QString();
}

PopoverView::InputBorder PopoverView::inputBorder() const
{
    if (m_validation.state == CharacterState::exceeded)
        return InputBorder::exceeded;
    return showsSensitiveDataBanner() ? InputBorder::sensitiveData : InputBorder::neutral;
}

QVariantList PopoverView::actions() const
{
    QVariantList list;
    for (TextAction action : allTextActions) {
        list.append(QVariantMap{{QStringLiteral("action"), QVariant::fromValue(action)},
                                {QStringLiteral("title"), rawValue(action)},
                                {QStringLiteral("symbol"), icon(action)},
                                {QStringLiteral("tooltip"), description(action)}});
    }
    return list;
}

QVariantList PopoverView::tones() const
{
    QVariantList list;
    for (ToneOption tone : allToneOptions) {
        list.append(QVariantMap{{QStringLiteral("tone"), QVariant::fromValue(tone)},
                                {QStringLiteral("title"), rawValue(tone)},
                                {QStringLiteral("symbol"), icon(tone)},
                                {QStringLiteral("tooltip"), instruction(tone)}});
    }
    return list;
}

QString PopoverView::resultRichText() const
{
    return showsResultChanges() ? changes().richText() : InlineMarkdown::toRichText(m_resultText);
}

bool PopoverView::resultIsCorrection() const
{
    return m_resultAction == TextAction::correct && !m_resultText.isEmpty();
}

bool PopoverView::showsResultChanges() const
{
    return m_showChanges && resultIsCorrection();
}

bool PopoverView::showsChangesToggle() const
{
    return resultIsCorrection() && !m_aiService.isProcessing();
}

const TextChanges& PopoverView::changes() const
{
    if (!m_changes)
        m_changes.emplace(m_resultSentText, m_resultText);
    return *m_changes;
}

QString PopoverView::resultAccessibleName() const
{
    return showsResultChanges() ? u"Result with changes: "_s + changes().spokenText()
                                : u"Result"_s;
}

QString PopoverView::changesSummary() const
{
    if (!resultIsCorrection())
        return QString();
    const qsizetype count = changes().count();
    if (count == 0)
        return u"No changes"_s;
    return count == 1 ? u"1 change"_s : QString::number(count) + u" changes"_s;
}

void PopoverView::setShowChanges(bool show)
{
    if (m_showChanges == show)
        return;
    m_showChanges = show;
    Q_EMIT showChangesChanged();
    Q_EMIT resultPresentationChanged();
}

void PopoverView::openLink(const QString& link)
{
    const QUrl url(link, QUrl::StrictMode);
    static const QStringList schemes{QStringLiteral("http"), QStringLiteral("https"),
                                     QStringLiteral("mailto")};
    if (url.isValid() && schemes.contains(url.scheme()))
        QDesktopServices::openUrl(url);
}

bool PopoverView::isProcessButtonEnabled() const
{
    return m_canProcess || m_aiService.isProcessing();
}

QString PopoverView::processButtonText() const
{
    return m_aiService.isProcessing() ? QStringLiteral("Cancel") : rawValue(m_selectedAction);
}

QString PopoverView::processButtonSymbol() const
{
    return m_aiService.isProcessing() ? QString() : icon(m_selectedAction);
}

bool PopoverView::showsResultSection() const
{
    return !m_resultText.isEmpty() || m_aiService.isProcessing();
}

bool PopoverView::showsCachedBadge() const
{
    return m_aiService.lastResultWasCached() && !m_resultText.isEmpty();
}

bool PopoverView::showsError() const
{
    return m_aiService.lastError().has_value();
}

QString PopoverView::errorMessage() const
{
    return m_aiService.lastErrorMessage();
}

QString PopoverView::providerChipTooltip() const
{
    switch (m_aiService.activeMode()) {
    case AIProviderMode::local:
        return QStringLiteral("Using on-device AI (private, no internet required)");
    case AIProviderMode::cloud:
        return QStringLiteral("Using built-in cloud AI (requires internet)");
    case AIProviderMode::custom:
        return QStringLiteral("Using ") + displayName(m_settings.customProvider()) +
               QStringLiteral(" with your API key");
    }
    std::unreachable();
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
    if (m_shownScreen == u"history")
        m_historyView.disappear();
    m_shownScreen = screen;
    logLine(QStringLiteral("showing ") + screen);
    Q_EMIT currentScreenChanged();
    if (screen == u"main")
        setInputFocused(true);
    else if (screen == u"history")
        m_historyView.appear();
    else if (screen == u"onboarding")
        m_onboardingView.restart();
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
    // The screen's state is made afresh each time it is shown; the old one goes once QML has
    // let go of it.
    if (show) {
        m_settingsView = new SettingsView(m_settings, m_providerModels, this);
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

void PopoverView::setInputFocused(bool focused)
{
    if (m_isInputFocused == focused)
        return;
    m_isInputFocused = focused;
    Q_EMIT isInputFocusedChanged();
}

void PopoverView::setResult(const QString& text, const QString& sentText, TextAction action)
{
    if (m_resultText == text && m_resultSentText == sentText && m_resultAction == action)
        return;
    m_resultText = text;
    m_resultSentText = sentText;
    m_resultAction = action;
    m_changes.reset();
    Q_EMIT resultTextChanged();
    Q_EMIT resultPresentationChanged();
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

// The text and the action are those that were sent, also when the user has typed or chosen
// another action while waiting: the record and the changes shown must match the answer.
QCoro::Task<void> PopoverView::runRequest(std::stop_token stop)
{
    const QString text = m_inputText;
    const TextAction action = m_selectedAction;
    const std::optional<ToneOption> tone =
        action == TextAction::paraphrase ? std::optional(m_selectedTone) : std::nullopt;
    QPointer self(this);
    QCoro::Task<std::expected<QString, AIError>> processing =
        m_aiService.processText(text, action, tone, stop);
    const std::expected<QString, AIError> result = co_await std::move(processing);
    if (!self)
        co_return;
    if (!result) {
        setResult(QString(), QString(), action);
        logLine(QStringLiteral("Error processing text - ") + result.error().errorDescription());
        Q_EMIT requestFinished();
        co_return;
    }

    setResult(*result, text, action);
    HistoryItem item;
    item.originalText = text;
    item.resultText = m_resultText;
    item.action = action;
    item.tone = tone;
    item.provider = m_aiService.providerName();
    item.wasCached = m_aiService.lastResultWasCached();
    QCoro::Task<void> adding = m_history.add(std::move(item));
    co_await std::move(adding);
    if (self)
        Q_EMIT requestFinished();
}

std::optional<QString> PopoverView::runService(const QString& text, TextAction action)
{
    setShowHistory(false);
    setShowSettings(false);
    setSelectedAction(action);
    if (action == TextAction::paraphrase)
        setSelectedTone(ToneOption::formal);
    setInputText(text);
    if (m_inputText.trimmed().isEmpty())
        return QStringLiteral("No text selected");
    if (m_validation.state == CharacterState::exceeded)
        return validationMessage();
    if (showsSensitiveDataBanner())
        return AIError(AIError::PiiDetected{m_detection.detectedTypes}).errorDescription();
    if (!m_canProcess)
        return QStringLiteral("Lexwick is busy with another request");
    toggleProcessing();
    return std::nullopt;
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

} // namespace lexwick
