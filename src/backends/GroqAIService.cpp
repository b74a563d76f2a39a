// SPDX-License-Identifier: MIT
#include "backends/GroqAIService.h"

#include "core/ChatCompletions.h"
#include "BuildConfig.h"
#include "core/HttpClient.h"
#include "core/Prompts.h"

#include <QPointer>
#include <QUrl>

namespace lexwick {

GroqAIService::GroqAIService(HttpClient& client, QObject* parent)
    : GroqAIService(QString::fromLatin1(productionEndpoint), QString::fromUtf8(build::cloudApiKey),
                    defaultTimeout, client, parent)
{
}

GroqAIService::GroqAIService(QString baseURL, QString apiKey, std::chrono::milliseconds timeout,
                             HttpClient& client, QObject* parent)
    : AIServiceProtocol(parent)
    , m_apiKey(std::move(apiKey))
    , m_baseURL(std::move(baseURL))
    , m_timeout(timeout)
    , m_client(client)
{
}

QCoro::Task<Result<GeneratedText>> GroqAIService::processText(QString text, TextAction action,
                                                              std::optional<ToneOption> tone,
                                                              PartialText, std::stop_token stop)
{
    if (text.trimmed().isEmpty())
        co_return std::unexpected(AIError(AIError::EmptyInput{}));
    if (m_apiKey == QLatin1String(missingKeyPlaceholder))
        co_return std::unexpected(AIError(AIError::MissingAPIKey{}));

    beginRequest();

    QPointer self(this);
    auto exchange = sendChatRequest(systemPrompt(action), plainUserMessage(text, action, tone), stop);
    Result<QString> answer = co_await std::move(exchange);
    if (!answer)
        co_return self ? finishRequest(std::unexpected(AIError::wrapping(answer.error())))
                       : std::unexpected(answer.error());
    co_return self ? finishRequest(GeneratedText{*answer}) : GeneratedText{*answer};
}

QCoro::Task<Result<QString>>
GroqAIService::sendChatRequest(QString systemPrompt, QString userMessage, std::stop_token stop)
{
    const QUrl url(m_baseURL, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        co_return std::unexpected(AIError(AIError::InvalidURL{}));

    HttpRequest request{
        .method = "POST",
        .url = url,
        .headers = {{"Authorization", "Bearer " + m_apiKey.toUtf8()},
                    {"Content-Type", "application/json"}},
        .body = chatcompletions::encodeRequest(m_model, systemPrompt, userMessage,
                                               chatcompletions::serviceOptions),
        .timeout = m_timeout,
    };
    auto exchange = m_client.send(std::move(request), stop);
    const Result<HttpResponse> response = co_await std::move(exchange);
    if (!response)
        co_return std::unexpected(response.error());

    if (response->statusCode != 200)
        co_return std::unexpected(
            chatcompletions::statusFailure(response->statusCode, response->body));
    const auto answer = chatcompletions::decodeAnswer(response->body);
    if (!answer)
        co_return std::unexpected(answer.error());
    if (!answer->has_value())
        co_return std::unexpected(AIError(AIError::NoContent{}));
    co_return answer->value().trimmed();
}

} // namespace lexwick
