// SPDX-License-Identifier: MIT
#pragma once

#include "core/AIServiceProtocol.h"
#include "core/HttpClient.h"
#include "core/RetryHandler.h"
#include "settings/APIProvider.h"

#include <QUrl>

#include <chrono>

namespace lexwick {

class SettingsManager;

// The back-end of the custom mode: the provider, key and model the user chose, every exchange
// under the retry policy.
class CustomAIService : public AIServiceProtocol {
    Q_OBJECT

public:
    // Where each provider's API lives: scheme, host and port; the paths are fixed.
    struct Hosts {
        QUrl groq;
        QUrl openai;
        QUrl anthropic;

        static Hosts production();
        QUrl of(APIProvider provider) const;
    };

    // The product's service: the providers' public hosts and the default policy.
    CustomAIService(SettingsManager& settings, HttpClient& client, QObject* parent = nullptr);
    // Other hosts, policy, client and time-outs (tests).
    CustomAIService(SettingsManager& settings, Hosts hosts, RetryHandler retryHandler,
                    HttpClient& client, QObject* parent = nullptr,
                    StreamTimeouts timeouts = StreamTimeouts::services());

    // Streams the answer. An attempt that fails before the first piece of text is retried
    // under the policy; once text has arrived, a failure ends the request.
    QCoro::Task<Result<GeneratedText>> processText(QString text, TextAction action,
                                                   std::optional<ToneOption> tone,
                                                   PartialText onPartial,
                                                   std::stop_token stop) override;

    // Which failed exchanges are worth another attempt.
    static bool shouldRetryRequest(const Error& error);
    // The key as the provider expects it: Anthropic's own header with its API version, a
    // bearer token elsewhere.
    static HttpHeaders authHeaders(APIProvider provider, const QString& key);

private:
    // Sends one request and reads the answer (or the provider's error), streamed or whole.
    QCoro::Task<Result<GeneratedText>> exchange(APIProvider provider, QString key, QString model,
                                                QString systemPrompt, QString userMessage,
                                                PartialText onText, std::stop_token stop);

    SettingsManager& m_settings;
    const Hosts m_hosts;
    const RetryHandler m_retryHandler;
    HttpClient& m_client;
    const StreamTimeouts m_timeouts;
};

} // namespace lexwick
