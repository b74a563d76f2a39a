// SPDX-License-Identifier: MIT
#include "ui/MainView.h"

#include "core/Log.h"
#include "history/HistoryManager.h"
#include "router/AIServiceProvider.h"
#include "settings/SettingsManager.h"

#include <QJSEngine>
#include <QPointer>
#include <QVariantMap>

namespace lexwick {

using namespace Qt::StringLiterals;

MainView::MainView(AIServiceProvider& aiService, SettingsManager& settings, HistoryManager& history,
                   QObject* parent)
    : QObject(parent)
    , m_aiService(aiService)
    , m_settings(settings)
    , m_history(history)
    , m_checks(settings)
{
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
    connect(&m_checks, &InputChecks::changed, this, &MainView::updateCanProcess);
    connect(this, &MainView::canProcessChanged, this, &MainView::processStateChanged);
    connect(this, &MainView::selectedActionChanged, this, &MainView::processStateChanged);
    connect(&m_aiService, &AIServiceProvider::providerNameChanged, this,
            &MainView::providerChanged);
    // An error about the provider says nothing once the user has changed where text goes.
    for (auto signal :
         {&SettingsManager::providerModeChanged, &SettingsManager::customProviderChanged,
          &SettingsManager::customModelIdChanged, &SettingsManager::apiKeysChanged,
          &SettingsManager::localServerURLChanged, &SettingsManager::localModelNameChanged}) {
        connect(&m_settings, signal, this, &MainView::forgetProviderError);
    }
    updateCanProcess();
}

MainView::~MainView()
{
    if (m_processing)
        m_processing->request_stop();
}

QString MainView::inputHint()
{
    return u"Tab and Shift+Tab move to the other controls; Ctrl+Tab inserts a tab. "
           u"Ctrl+Return processes the text."_s;
}

QVariantList MainView::actions() const
{
    QVariantList list;
    for (TextAction action : allTextActions) {
        list.append(QVariantMap{{u"action"_s, QVariant::fromValue(action)},
                                {u"title"_s, rawValue(action)},
                                {u"symbol"_s, icon(action)},
                                {u"tooltip"_s, description(action)}});
    }
    return list;
}

QVariantList MainView::tones() const
{
    QVariantList list;
    for (ToneOption tone : allToneOptions) {
        list.append(QVariantMap{{u"tone"_s, QVariant::fromValue(tone)},
                                {u"title"_s, rawValue(tone)},
                                {u"symbol"_s, icon(tone)},
                                {u"tooltip"_s, instruction(tone)}});
    }
    return list;
}

QString MainView::processButtonText() const
{
    return isProcessing() ? u"Cancel"_s : rawValue(m_selectedAction);
}

QString MainView::processButtonSymbol() const
{
    return isProcessing() ? QString() : icon(m_selectedAction);
}

QString MainView::providerName() const
{
    return m_aiService.providerName();
}

AIProviderMode MainView::providerMode() const
{
    return m_aiService.activeMode();
}

QString MainView::providerChipTooltip() const
{
    switch (m_aiService.activeMode()) {
    case AIProviderMode::local:
        return u"Using on-device AI (private, no internet required)"_s;
    case AIProviderMode::cloud:
        return u"Using built-in cloud AI (requires internet)"_s;
    case AIProviderMode::custom:
        return u"Using "_s + displayName(m_settings.customProvider()) + u" with your API key"_s;
    }
    std::unreachable();
}

void MainView::setInputText(const QString& text)
{
    if (m_inputText == text)
        return;
    m_inputText = text;
    Q_EMIT inputTextChanged();
    m_checks.check(text);
}

void MainView::setInputFocused(bool focused)
{
    if (m_isInputFocused == focused)
        return;
    m_isInputFocused = focused;
    Q_EMIT isInputFocusedChanged();
}

void MainView::setSelectedAction(TextAction action)
{
    if (m_selectedAction == action)
        return;
    m_selectedAction = action;
    Q_EMIT selectedActionChanged();
}

void MainView::setSelectedTone(ToneOption tone)
{
    if (m_selectedTone == tone)
        return;
    m_selectedTone = tone;
    Q_EMIT selectedToneChanged();
}

void MainView::updateCanProcess()
{
    const bool can =
        !isProcessing() && !QStringView(m_inputText).trimmed().isEmpty() && !m_checks.refusal();
    if (can == m_canProcess)
        return;
    m_canProcess = can;
    Q_EMIT canProcessChanged();
}

void MainView::setProcessing(std::optional<std::stop_source> processing)
{
    const bool changed = m_processing.has_value() != processing.has_value();
    m_processing = std::move(processing);
    if (!changed)
        return;
    Q_EMIT processStateChanged();
    updateCanProcess();
}

void MainView::setError(std::optional<AIError> error)
{
    if (!m_error && !error)
        return;
    m_error = std::move(error);
    Q_EMIT errorChanged();
}

void MainView::forgetProviderError()
{
    if (m_error && m_error->concernsProvider())
        setError(std::nullopt);
}

void MainView::toggleProcessing()
{
    if (m_processing) {
        // It ends as a cancelled request; until then the button still says Cancel.
        m_processing->request_stop();
        return;
    }
    if (m_canProcess)
        (void)startRequest(); // runs on; the result section shows how it ends
}

QCoro::Task<MainView::Outcome> MainView::startRequest()
{
    // The text and the action are those sent, also when the user types or picks another
    // action while waiting: the record and the changes shown must match the answer.
    const TextAction action = m_selectedAction;
    const std::optional<ToneOption> tone =
        usesTone(action) ? std::optional(m_selectedTone) : std::nullopt;
    std::stop_source stop;
    const std::stop_token token = stop.get_token();
    setProcessing(std::move(stop));
    return runRequest(m_inputText, action, tone, token);
}

QCoro::Task<MainView::Outcome> MainView::runRequest(QString text, TextAction action,
                                                    std::optional<ToneOption> tone,
                                                    std::stop_token stop)
{
    QPointer self(this);
    setError(std::nullopt);
    m_result.awaitAnswer();
    // The answer shows as the model writes it; only this request's own pieces reach the box.
    PartialText onPartial = [result = QPointer(&m_result)](const QString& soFar) {
        if (result)
            result->showPartial(soFar);
    };
    QCoro::Task<std::expected<ProcessedText, AIError>> processing =
        m_aiService.processText(text, action, tone, std::move(onPartial), stop);
    const std::expected<ProcessedText, AIError> outcome = co_await std::move(processing);
    if (!self)
        co_return outcome ? Outcome(outcome->text) : Outcome(std::unexpect, outcome.error());
    setProcessing(std::nullopt);
    if (!outcome) {
        m_result.clear();
        setError(outcome.error());
        // Cancelling is the user's own doing, not a fault.
        const QString line = u"Error processing text - "_s + outcome.error().errorDescription();
        if (outcome.error().kind() == AIError::Kind::cancelled)
            logLine(lcPopover, line);
        else
            logWarning(lcPopover, line);
        Q_EMIT requestFinished();
        co_return std::unexpected(outcome.error());
    }

    m_result.show(outcome->text, text, action, outcome->wasCached, outcome->cutShort);
    setError(outcome->fallbackReason);
    HistoryItem item;
    item.originalText = text;
    item.resultText = outcome->text;
    item.action = action;
    item.tone = tone;
    item.provider = outcome->provider;
    item.wasCached = outcome->wasCached;
    QCoro::Task<void> adding = m_history.add(std::move(item));
    co_await std::move(adding);
    if (self)
        Q_EMIT requestFinished();
    co_return outcome->text;
}

QCoro::Task<MainView::ServiceOutcome> MainView::runService(QString text, TextAction action)
{
    setSelectedAction(action);
    if (const std::optional<ToneOption> tone = defaultTone(action))
        setSelectedTone(*tone);
    setInputText(text);
    if (m_inputText.trimmed().isEmpty())
        co_return ServiceOutcome(std::unexpect, u"No text selected"_s);
    if (const std::optional<QString> refusal = m_checks.refusal())
        co_return ServiceOutcome(std::unexpect, *refusal);
    if (!m_canProcess)
        co_return ServiceOutcome(std::unexpect, u"Lexwick is busy with another request"_s);
    QCoro::Task<Outcome> request = startRequest();
    const Outcome outcome = co_await std::move(request);
    co_return outcome ? ServiceOutcome(*outcome)
                      : ServiceOutcome(std::unexpect, outcome.error().errorDescription());
}

void MainView::reuse(const HistoryItem& item)
{
    setInputText(item.originalText);
    setSelectedAction(item.action);
    if (item.tone)
        setSelectedTone(*item.tone);
}

} // namespace lexwick
