// SPDX-License-Identifier: MIT
#include "backends/CustomAIService.h"

#include "backends/AnthropicMessages.h"
#include "core/ChatCompletions.h"
#include "core/HttpClient.h"
#include "core/Log.h"
#include "core/Prompts.h"
#include "settings/SettingsManager.h"

#include <QPointer>

namespace lexwick {

namespace {

QString path(APIProvider provider)
{
    switch (provider) {
    case APIProvider::groq:
        return QStringLiteral("/openai/v1/chat/completions");
    case APIProvider::openai:
        return QStringLiteral("/v1/chat/completions");
    case APIProvider::anthropic:
        return QStringLiteral("/v1/messages");
    }
    std::unreachable();
}

} // namespace

CustomAIService::Hosts CustomAIService::Hosts::production()
{
    return {QUrl(QStringLiteral("https://api.groq.com")),
            QUrl(QStringLiteral("https://api.openai.com")),
            QUrl(QStringLiteral("https://api.anthropic.com"))};
}

QUrl CustomAIService::Hosts::of(APIProvider provider) const
{
    switch (provider) {
    case APIProvider::groq:
        return groq;
    case APIProvider::openai:
        return openai;
    case APIProvider::anthropic:
        return anthropic;
    }
    std::unreachable();
}

CustomAIService::CustomAIService(SettingsManager& settings, HttpClient& client, QObject* parent)
    : CustomAIService(settings, Hosts::production(), RetryHandler(), client, parent)
{
}

CustomAIService::CustomAIService(SettingsManager& settings, Hosts hosts, RetryHandler retryHandler,
                                 HttpClient& client, QObject* parent, StreamTimeouts timeouts)
    : AIServiceProtocol(parent)
    , m_settings(settings)
    , m_hosts(std::move(hosts))
    , m_retryHandler(std::move(retryHandler))
    , m_client(client)
    , m_timeouts(timeouts)
{
}

QCoro::Task<Result<GeneratedText>> CustomAIService::processText(QString text, TextAction action,
                                                                std::optional<ToneOption> tone,
                                                                PartialText onPartial,
                                                                std::stop_token stop)
{
    if (text.trimmed().isEmpty())
        co_return std::unexpected(AIError(AIError::EmptyInput{}));
    // At start-up the keyring may still be giving its keys.
    auto keysDecided = m_settings.keychain().decided();
    co_await std::move(keysDecided);
    const APIProvider provider = m_settings.customProvider();
    const std::optional<QString> key = m_settings.getAPIKey(provider);
    if (!key)
        co_return std::unexpected(AIError(AIError::MissingAPIKey{displayName(provider)}));

    beginRequest();
    // Said at once, from whichever thread cancels; the request ends on its own below.
    std::stop_callback onCancel(stop, [] { logLine(lcHttp, QStringLiteral("Request cancelled")); });

    const QString model = m_settings.customModelId();
    const QString system = systemPrompt(action);
    const QString user = delimitedUserMessage(text, action, tone);
    // Text shown is never taken back: once some has arrived, no attempt follows.
    auto textArrived = std::make_shared<bool>(false);
    PartialText onText = [textArrived, onPartial = std::move(onPartial)](const QString& soFar) {
        *textArrived = true;
        if (onPartial)
            onPartial(soFar);
    };
    // The task is named before it is awaited: GCC 12 mishandles lambdas built inside a
    // co_await expression.
    QCoro::Task<Result<GeneratedText>> attempts = m_retryHandler.execute(
        [this, provider, key = *key, model, system, user, onText, stop] {
            return exchange(provider, key, model, system, user, onText, stop);
        },
        [textArrived](const Error& error) { return !*textArrived && shouldRetryRequest(error); },
        stop);
    QPointer self(this);
    Result<GeneratedText> answer = co_await std::move(attempts);
    if (!self)
        co_return answer;
    if (answer || !answer.error().is<CancellationError>())
        co_return finishRequest(answer ? std::expected<GeneratedText, AIError>(*answer)
                                       : std::unexpected(AIError::wrapping(answer.error())));
    // A cancellation is no failure of the service: lastError stays as it is.
    setProcessing(false);
    co_return std::unexpected(AIError(AIError::Cancelled{}));
}

bool CustomAIService::shouldRetryRequest(const Error& error)
{
    if (const AIError* aiError = error.as<AIError>()) {
        const auto* http = aiError->as<AIError::HttpError>();
        return http && RetryHandler::isRetryableStatusCode(http->statusCode);
    }
    return RetryHandler::isRetryable(error);
}

HttpHeaders CustomAIService::authHeaders(APIProvider provider, const QString& key)
{
    if (provider == APIProvider::anthropic)
        return {{"x-api-key", key.toUtf8()}, {"anthropic-version", "2023-06-01"}};
    return {{"Authorization", "Bearer " + key.toUtf8()}};
}

QCoro::Task<Result<GeneratedText>>
CustomAIService::exchange(APIProvider provider, QString key, QString model, QString systemPrompt,
                          QString userMessage, PartialText onText, std::stop_token stop)
{
    if (stop.stop_requested())
        co_return std::unexpected(CancellationError{});
    QUrl url = m_hosts.of(provider);
    url.setPath(path(provider));
    if (!url.isValid() || url.host().isEmpty())
        co_return std::unexpected(AIError(AIError::InvalidURL{}));

    const bool anthropic = provider == APIProvider::anthropic;
    HttpHeaders headers = authHeaders(provider, key);
    headers.emplaceBack("Content-Type", "application/json");
    chatcompletions::RequestOptions options = chatcompletions::serviceOptions;
    options.stream = true;
    HttpRequest request{
        .method = "POST",
        .url = url,
        .headers = std::move(headers),
        .body = anthropic
                    ? anthropicmessages::encodeRequest(model, systemPrompt, userMessage, true)
                    : chatcompletions::encodeRequest(model, systemPrompt, userMessage, options)};
    request.setStreamTimeouts(m_timeouts);
    auto exchange = sendStreamed(m_client, std::move(request),
                                 anthropic ? &anthropicmessages::decodeStreamEvent
                                           : &chatcompletions::decodeStreamEvent,
                                 std::move(onText), stop);
    const Result<StreamedAnswer> answer = co_await std::move(exchange);
    if (!answer)
        co_return std::unexpected(answer.error());

    // Anthropic reports errors in the same shape as the chat-completions providers.
    const HttpResponse& response = answer->response;
    if (response.statusCode != 200)
        co_return std::unexpected(
            chatcompletions::statusFailure(response.statusCode, response.body));
    if (answer->streamed) {
        if (answer->text.isEmpty())
            co_return std::unexpected(AIError(AIError::NoContent{}));
        co_return GeneratedText{answer->text.trimmed(), answer->stopReason == u"length" ||
                                                            answer->stopReason == u"max_tokens"};
    }
    // A server that ignores the request to stream answers with one body.
    if (anthropic) {
        if (std::optional<QString> text = anthropicmessages::decodeAnswer(response.body))
            co_return GeneratedText{text->trimmed()};
    } else if (auto choice = chatcompletions::decodeChoice(response.body); choice && *choice) {
        co_return GeneratedText{(*choice)->content.trimmed(), (*choice)->finishReason == u"length"};
    }
    co_return std::unexpected(AIError(AIError::NoContent{}));
}

} // namespace lexwick
