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
        logLine(QStringLiteral("Local AI not available, falling back to custom"));
        return AIProviderMode::custom;
    case AIProviderMode::cloud:
        logLine(QStringLiteral("Cloud not yet available, falling back to custom"));
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

void AIServiceProvider::updateActiveMode()
{
    setActiveMode(servingMode(m_settings.providerMode(), m_settings.localModel().isAvailable()));
}

void AIServiceProvider::followProviderMode()
{
    setActiveMode(m_settings.providerMode());
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
                               std::stop_token stop)
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
                       tone ? std::optional(rawValue(*tone)) : std::nullopt, providerName()};
    if (std::optional<QString> cached = m_cache.get(key)) {
        setLastResultWasCached(true);
        logLine(QStringLiteral("Serving cached response"));
        co_return ProcessedText{.text = *cached, .wasCached = true, .provider = key.provider};
    }

    updateActiveMode();
    const AIProviderMode mode = m_activeMode;
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
    QPointer self(this);
    QCoro::Task<Result<QString>> processing = backend->processText(text, action, tone, stop);
    Result<QString> answer = co_await std::move(processing);
    if (!self) {
        if (!answer)
            co_return std::unexpected(asAIError(answer.error()));
        processed.text = std::move(*answer);
        co_return processed;
    }
    if (answer) {
        m_cache.set(*answer, key);
        processed.text = std::move(*answer);
        co_return processed;
    }

    const AIError error = asAIError(answer.error());
    setLastError(error);
    if (error.kind() != AIError::Kind::localModelUnavailable || mode != AIProviderMode::local)
        co_return std::unexpected(error);

    // The on-device error stays in lastError, whatever the custom back-end answers.
    logLine(QStringLiteral("Local model failed, falling back to custom"));
    QCoro::Task<Result<QString>> fallback =
        m_backends.custom->processText(text, action, tone, stop);
    Result<QString> fallbackAnswer = co_await std::move(fallback);
    if (!fallbackAnswer)
        co_return std::unexpected(asAIError(fallbackAnswer.error()));
    if (self)
        m_cache.set(*fallbackAnswer, key);
    processed.text = std::move(*fallbackAnswer);
    processed.fallbackReason = error;
    co_return processed;
}

} // namespace lexwick
