// SPDX-License-Identifier: MIT
#include "router/AIServiceProvider.h"

#include "backends/CustomAIService.h"
#include "backends/GroqAIService.h"
#include "backends/LocalAIService.h"
#include "localmodel/SystemLanguageModel.h"
#include "core/Log.h"
#include "core/ResponseCache.h"
#include "safety/InputValidator.h"
#include "safety/PIIDetector.h"
#include "settings/SettingsManager.h"

#include <QPointer>

namespace lexwick {

namespace {

AIProviderMode servingMode(AIProviderMode mode, bool localAvailable)
{
    switch (mode) {
    case AIProviderMode::local:
        if (localAvailable)
            return AIProviderMode::local;
        logLine(lcRouter, QStringLiteral("Local AI not available, falling back to custom"));
        return AIProviderMode::custom;
    case AIProviderMode::cloud:
        logLine(lcRouter, QStringLiteral("Cloud not yet available, falling back to custom"));
        return AIProviderMode::custom;
    case AIProviderMode::custom:
        return AIProviderMode::custom;
    }
    std::unreachable();
}

// A back-end's failure as the user sees it.
AIError asAIError(const Error& error)
{
    if (error.is<CancellationError>())
        return AIError(AIError::Cancelled{});
    return AIError::wrapping(error);
}

// The custom back-end's failure when it stood in for the on-device model the user chose: a
// missing key also says why the model on this machine could not answer first.
AIError standInFailure(AIError error, LocalAIAvailability localState)
{
    if (const auto* missing = error.as<AIError::MissingAPIKey>())
        return AIError(AIError::MissingAPIKey{missing->provider, localState});
    return error;
}

} // namespace

AIServiceProvider::AIServiceProvider(SettingsManager& settings, HttpClient& client,
                                     ResponseCache& cache, QObject* parent)
    : AIServiceProvider(settings,
                        Backends{std::make_unique<LocalAIService>(settings.localModel()),
                                 std::make_unique<GroqAIService>(client),
                                 std::make_unique<CustomAIService>(settings, client)},
                        cache, parent)
{
}

AIServiceProvider::AIServiceProvider(SettingsManager& settings, Backends backends,
                                     ResponseCache& cache, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_backends(std::move(backends))
    , m_cache(cache)
    , m_activeMode(settings.providerMode())
{
    // Both follow their sources one event-loop turn late, starting with the current values.
    for (AIServiceProtocol* backend : std::initializer_list<AIServiceProtocol*>{
             m_backends.local.get(), m_backends.cloud.get(), m_backends.custom.get()}) {
        connect(backend, &AIServiceProtocol::isProcessingChanged, this,
                &AIServiceProvider::followBackendsBusy, Qt::QueuedConnection);
    }
    connect(&m_settings, &SettingsManager::providerModeChanged, this,
            &AIServiceProvider::followProviderMode, Qt::QueuedConnection);
    connect(&m_settings, &SettingsManager::customProviderChanged, this,
            &AIServiceProvider::providerNameChanged);
    // The model on this machine comes and goes; the mode rule follows it, one turn late too.
    connect(&m_settings.localModel(), &SystemLanguageModel::availabilityChanged, this,
            &AIServiceProvider::followLocalModel, Qt::QueuedConnection);
    QMetaObject::invokeMethod(this, &AIServiceProvider::followBackendsBusy, Qt::QueuedConnection);
    QMetaObject::invokeMethod(this, &AIServiceProvider::followProviderMode, Qt::QueuedConnection);

    updateActiveMode();
}

AIServiceProvider::~AIServiceProvider() = default;

QString AIServiceProvider::providerName() const
{
    switch (m_activeMode) {
    case AIProviderMode::local:
        return QStringLiteral("Local");
    case AIProviderMode::cloud:
        return QStringLiteral("Cloud");
    case AIProviderMode::custom:
        return displayName(m_settings.customProvider());
    }
    std::unreachable();
}

QString AIServiceProvider::lastErrorMessage() const
{
    return m_lastError ? m_lastError->errorDescription() : QString();
}

QString AIServiceProvider::modelIdentity() const
{
    if (m_activeMode != AIProviderMode::local)
        return m_settings.customModelId();
    const SystemLanguageModel& model = m_settings.localModel();
    return model.serverURL() + u' ' + model.modelName();
}

void AIServiceProvider::updateActiveMode()
{
    setActiveMode(servingMode(m_settings.providerMode(), m_settings.localModel().isAvailable()));
}

void AIServiceProvider::followProviderMode()
{
    setActiveMode(m_settings.providerMode());
    updateActiveMode();
}

// Only a change that turns the rule's answer around applies it again.
void AIServiceProvider::followLocalModel()
{
    if (m_settings.providerMode() == AIProviderMode::local &&
        (m_activeMode == AIProviderMode::local) != m_settings.localModel().isAvailable())
        updateActiveMode();
}

void AIServiceProvider::followBackendsBusy()
{
    const bool busy = m_backends.local->isProcessing() || m_backends.cloud->isProcessing() ||
                      m_backends.custom->isProcessing();
    if (busy == m_isProcessing)
        return;
    m_isProcessing = busy;
    Q_EMIT isProcessingChanged();
}

void AIServiceProvider::setActiveMode(AIProviderMode mode)
{
    m_activeMode = mode;
    // Published on every assignment, changed or not.
    Q_EMIT activeModeChanged();
    Q_EMIT providerNameChanged();
}

void AIServiceProvider::setLastError(std::optional<AIError> error)
{
    if (!m_lastError && !error)
        return;
    m_lastError = std::move(error);
    Q_EMIT lastErrorChanged();
}

void AIServiceProvider::setLastResultWasCached(bool cached)
{
    if (m_lastResultWasCached == cached)
        return;
    m_lastResultWasCached = cached;
    Q_EMIT lastResultWasCachedChanged();
}

QCoro::Task<std::expected<ProcessedText, AIError>>
AIServiceProvider::processText(QString text, TextAction action, std::optional<ToneOption> tone,
                               PartialText onPartial, std::stop_token stop)
{
    setLastError(std::nullopt);
    setLastResultWasCached(false);

    const ValidationResult validation = InputValidator::validate(text);
    if (validation.state == CharacterState::exceeded) {
        const AIError error(AIError::InputTooLong{static_cast<int>(validation.characterCount),
                                                  static_cast<int>(validation.maxCharacters)});
        setLastError(error);
        co_return std::unexpected(error);
    }
    if (m_settings.piiDetectionEnabled()) {
        const DetectionResult detection = PIIDetector::detect(text);
        if (detection.hasPII) {
            const AIError error(AIError::PiiDetected{detection.detectedTypes});
            setLastError(error);
            co_return std::unexpected(error);
        }
    }

    const CacheKey key{text.trimmed(), rawValue(action),
                       tone ? std::optional(rawValue(*tone)) : std::nullopt, providerName(),
                       modelIdentity()};
    if (std::optional<QString> cached = m_cache.get(key)) {
        setLastResultWasCached(true);
        logDebug(lcRouter, QStringLiteral("Serving cached response"));
        co_return ProcessedText{.text = *cached, .wasCached = true, .provider = key.provider};
    }

    // The user's choice of the model on this machine is asked about afresh, unless a fresh
    // answer says it is there: a server that was down may be up now.
    QPointer self(this);
    SystemLanguageModel& localModel = m_settings.localModel();
    if (m_settings.providerMode() == AIProviderMode::local) {
        QCoro::Task<SystemLanguageModel::Availability> checking =
            localModel.checkedAvailability(stop);
        co_await std::move(checking);
        if (!self || stop.stop_requested())
            co_return std::unexpected(AIError(AIError::Cancelled{}));
    }
    updateActiveMode();
    const AIProviderMode mode = m_activeMode;
    // Chosen, but not there: the custom back-end stands in, and the answer or the error says so.
    const bool standingIn =
        m_settings.providerMode() == AIProviderMode::local && mode == AIProviderMode::custom;
    ProcessedText processed{.provider = providerName()};
    AIServiceProtocol* backend = nullptr;
    switch (mode) {
    case AIProviderMode::local:
        backend = m_backends.local.get();
        break;
    case AIProviderMode::cloud:
        backend = m_backends.cloud.get();
        break;
    case AIProviderMode::custom:
        backend = m_backends.custom.get();
        break;
    }
    const auto localState = [&localModel] {
        return LocalAIService::mapAvailability(localModel.availability());
    };
    // White space the final text will not have is not shown either, and a piece of white
    // space alone shows nothing new.
    PartialText shown;
    if (onPartial) {
        shown = [onPartial = std::move(onPartial),
                 length = std::make_shared<qsizetype>(0)](const QString& soFar) {
            const QString trimmed = soFar.trimmed();
            if (trimmed.size() == *length)
                return;
            *length = trimmed.size();
            onPartial(trimmed);
        };
    }
    QCoro::Task<Result<GeneratedText>> processing =
        backend->processText(text, action, tone, shown, stop);
    Result<GeneratedText> answer = co_await std::move(processing);
    if (!self) {
        if (!answer)
            co_return std::unexpected(asAIError(answer.error()));
        processed.text = std::move(answer->text);
        processed.cutShort = answer->cutShort;
        co_return processed;
    }
    if (answer) {
        if (!answer->cutShort) // asking again may give the whole answer
            m_cache.set(answer->text, key);
        processed.text = std::move(answer->text);
        processed.cutShort = answer->cutShort;
        if (standingIn) {
            processed.fallbackReason = AIError(AIError::LocalModelUnavailable{
                localState(), displayName(m_settings.customProvider())});
        }
        co_return processed;
    }

    const AIError error = standingIn ? standInFailure(asAIError(answer.error()), localState())
                                     : asAIError(answer.error());
    setLastError(error);
    if (error.kind() != AIError::Kind::localModelUnavailable || mode != AIProviderMode::local)
        co_return std::unexpected(error);

    // The on-device error stays in lastError, whatever the custom back-end answers.
    logWarning(lcRouter, QStringLiteral("Local model failed, falling back to custom"));
    QCoro::Task<Result<GeneratedText>> fallback =
        m_backends.custom->processText(text, action, tone, shown, stop);
    Result<GeneratedText> fallbackAnswer = co_await std::move(fallback);
    const LocalAIAvailability state = error.as<AIError::LocalModelUnavailable>()->availability;
    if (!fallbackAnswer)
        co_return std::unexpected(standInFailure(asAIError(fallbackAnswer.error()), state));
    if (self) {
        if (!fallbackAnswer->cutShort)
            m_cache.set(fallbackAnswer->text, key);
        processed.fallbackReason = AIError(
            AIError::LocalModelUnavailable{state, displayName(m_settings.customProvider())});
    }
    processed.text = std::move(fallbackAnswer->text);
    processed.cutShort = fallbackAnswer->cutShort;
    co_return processed;
}

} // namespace lexwick
