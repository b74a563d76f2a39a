// SPDX-License-Identifier: MIT
#pragma once

#include "core/AIServiceProtocol.h"

#include <chrono>

namespace lexwick {

class HttpClient;

// The back-end of the built-in cloud mode: Groq's chat-completions endpoint with the key and
// model fixed in the product.
class GroqAIService : public AIServiceProtocol {
    Q_OBJECT

public:
    static constexpr auto productionEndpoint = "https://api.groq.com/openai/v1/chat/completions";
    static constexpr auto missingKeyPlaceholder = "SET_CLOUD_API_KEY_HERE";
    static constexpr auto defaultModel = "llama-3.1-8b-instant";
    static constexpr std::chrono::milliseconds defaultTimeout = std::chrono::seconds(30);

    // The product's service: production endpoint and the key compiled in.
    explicit GroqAIService(HttpClient& client, QObject* parent = nullptr);
    // Another endpoint and key (tests).
    GroqAIService(QString baseURL, QString apiKey, std::chrono::milliseconds timeout,
                  HttpClient& client, QObject* parent = nullptr);

    // Answers whole: the built-in service does not stream.
    QCoro::Task<Result<GeneratedText>> processText(QString text, TextAction action,
                                                   std::optional<ToneOption> tone,
                                                   PartialText onPartial,
                                                   std::stop_token stop) override;

    const QString& baseURL() const { return m_baseURL; }
    std::chrono::milliseconds timeout() const { return m_timeout; }

private:
    QCoro::Task<Result<QString>> sendChatRequest(QString systemPrompt, QString userMessage,
                                                 std::stop_token stop);

    const QString m_apiKey;
    const QString m_baseURL;
    const QString m_model = QString::fromLatin1(defaultModel);
    const std::chrono::milliseconds m_timeout;
    HttpClient& m_client;
};

} // namespace lexwick
