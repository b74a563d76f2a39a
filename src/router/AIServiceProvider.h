// SPDX-License-Identifier: MIT
#pragma once

#include "core/AIError.h"
#include "core/StreamedAnswer.h"
#include "core/TextAction.h"
#include "settings/AIProviderMode.h"

#include <QCoroTask>
#include <QObject>

#include <expected>
#include <memory>
#include <optional>
#include <stop_token>

namespace lexwick {

class CustomAIService;
class GroqAIService;
class HttpClient;
class LocalAIService;
class ResponseCache;
class SettingsManager;

// How a request ended well: the answer, and what the caller shows or records beside it.
struct ProcessedText {
    QString text;
    bool wasCached = false;
    // The provider name the request went to ("Local", "Groq", …), as history records it.
    QString provider;
    // Why the on-device model could not answer, when the custom back-end answered instead.
    std::optional<AIError> fallbackReason;
    // The model stopped at its output limit; such an answer is not kept in the cache.
    bool cutShort = false;
};

// The one way text gets processed: checks the input, answers from the cache, picks the
// back-end for the active mode and falls back to the custom one where that cannot serve.
// Lives on the main thread.
//
// Every request's outcome belongs to its caller: several may run at once (the popover and the
// command), and each finishes with its own answer or error. The published busy flag, error
// and cache flag describe whichever request wrote last; no screen shows them.
class AIServiceProvider : public QObject {
    Q_OBJECT
    Q_PROPERTY(lexwick::AIProviderModes::AIProviderMode activeMode READ activeMode NOTIFY
                   activeModeChanged)
    Q_PROPERTY(bool isProcessing READ isProcessing NOTIFY isProcessingChanged)
    Q_PROPERTY(bool lastResultWasCached READ lastResultWasCached NOTIFY lastResultWasCachedChanged)
    Q_PROPERTY(QString lastErrorMessage READ lastErrorMessage NOTIFY lastErrorChanged)
    Q_PROPERTY(QString providerName READ providerName NOTIFY providerNameChanged)

public:
    // The three back-ends the router owns.
    struct Backends {
        std::unique_ptr<LocalAIService> local;
        std::unique_ptr<GroqAIService> cloud;
        std::unique_ptr<CustomAIService> custom;
    };

    // The product's back-ends, on the application's settings, HTTP client and cache.
    AIServiceProvider(SettingsManager& settings, HttpClient& client, ResponseCache& cache,
                      QObject* parent = nullptr);
    // Other back-ends and cache (tests).
    AIServiceProvider(SettingsManager& settings, Backends backends, ResponseCache& cache,
                      QObject* parent = nullptr);
    ~AIServiceProvider() override;

    // Processes the text as the user entered it. Fails with the reason as the user sees it.
    // While the model writes, onPartial (when set) gets the answer so far, trimmed as the
    // final text will be, so each is a beginning of the next and of the final text; it is this
    // caller's alone. A cached answer comes whole. Only the final text goes into the cache.
    QCoro::Task<std::expected<ProcessedText, AIError>> processText(QString text, TextAction action,
                                                                   std::optional<ToneOption> tone,
                                                                   PartialText onPartial,
                                                                   std::stop_token stop);

    AIProviderMode activeMode() const { return m_activeMode; }
    bool isProcessing() const { return m_isProcessing; }
    const std::optional<AIError>& lastError() const { return m_lastError; }
    QString lastErrorMessage() const;
    bool lastResultWasCached() const { return m_lastResultWasCached; }
    // "Local", "Cloud" or the custom provider's name: part of cache keys and history records.
    QString providerName() const;

    // Applies the mode rule to the settings' provider mode now.
    void updateActiveMode();

    CustomAIService& customService() const { return *m_backends.custom; }

Q_SIGNALS:
    void activeModeChanged();
    void isProcessingChanged();
    void lastErrorChanged();
    void lastResultWasCachedChanged();
    void providerNameChanged();

private:
    void setActiveMode(AIProviderMode mode);
    void setLastError(std::optional<AIError> error);
    void setLastResultWasCached(bool cached);
    void followBackendsBusy();
    void followProviderMode();
    void followLocalModel();
    // What the cache key names beside the provider: the model, and for the on-device model
    // also its server, so that another model never answers from the first one's answers.
    QString modelIdentity() const;

    SettingsManager& m_settings;
    Backends m_backends;
    ResponseCache& m_cache;

    AIProviderMode m_activeMode = AIProviderMode::custom;
    bool m_isProcessing = false;
    std::optional<AIError> m_lastError;
    bool m_lastResultWasCached = false;
};

} // namespace lexwick
