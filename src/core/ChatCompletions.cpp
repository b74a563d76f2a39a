// SPDX-License-Identifier: MIT
#include "core/ChatCompletions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace lexwick::chatcompletions {

namespace {

QJsonObject message(const QString& role, const QString& content)
{
    return QJsonObject{{QStringLiteral("role"), role}, {QStringLiteral("content"), content}};
}

std::unexpected<Error> malformed(const QString& why)
{
    return std::unexpected(
        Error(DecodingError{QStringLiteral("The server's answer could not be read: %1").arg(why)}));
}

} // namespace

QByteArray encodeRequest(const QString& model, const QString& systemPrompt,
                         const QString& userMessage, const RequestOptions& options)
{
    QJsonArray messages;
    if (!systemPrompt.isEmpty())
        messages.append(message(QStringLiteral("system"), systemPrompt));
    messages.append(message(QStringLiteral("user"), userMessage));
    // QJsonObject keeps its keys sorted, so the order of insertion does not reach the bytes.
    QJsonObject body{{QStringLiteral("model"), model}, {QStringLiteral("messages"), messages}};
    if (options.temperature)
        body.insert(QStringLiteral("temperature"), *options.temperature);
    if (options.maxTokens)
        body.insert(QStringLiteral("max_tokens"), *options.maxTokens);
    if (options.stream)
        body.insert(QStringLiteral("stream"), *options.stream);
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

Result<std::optional<QString>> decodeAnswer(const QByteArray& body)
{
    Result<std::optional<Choice>> choice = decodeChoice(body);
    if (!choice)
        return std::unexpected(choice.error());
    if (!choice->has_value())
        return std::optional<QString>();
    return std::optional<QString>((*choice)->content);
}

Result<std::optional<Choice>> decodeChoice(const QByteArray& body)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return malformed(parseError.errorString());
    const QJsonValue choices = document.object().value(u"choices");
    if (!choices.isArray())
        return malformed(QStringLiteral("no \"choices\" list"));
    const QJsonArray list = choices.toArray();
    if (list.isEmpty())
        return std::optional<Choice>();
    const QJsonObject first = list.first().toObject();
    const QJsonValue content = first.value(u"message").toObject().value(u"content");
    if (!content.isString())
        return malformed(QStringLiteral("the first choice has no message content"));
    return std::optional<Choice>(
        Choice{content.toString(), first.value(u"finish_reason").toString()});
}

Result<StreamEvent> decodeStreamEvent(const ServerSentEvent& event)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(event.data, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return malformed(parseError.errorString());
    const QJsonObject object = document.object();
    const QJsonValue message = object.value(u"error").toObject().value(u"message");
    if (message.isString())
        return std::unexpected(Error(AIError(AIError::ApiError{message.toString()})));
    // A chunk without choices (usage figures, a role alone) adds nothing.
    const QJsonObject first = object.value(u"choices").toArray().at(0).toObject();
    return StreamEvent{.text = first.value(u"delta").toObject().value(u"content").toString(),
                       .stopReason = first.value(u"finish_reason").toString()};
}

AIError statusFailure(int statusCode, const QByteArray& body)
{
    if (std::optional<QString> message = decodeErrorMessage(body))
        return AIError(AIError::ApiError{*message});
    return AIError(AIError::HttpError{statusCode});
}

std::optional<QString> decodeErrorMessage(const QByteArray& body)
{
    const QJsonValue message =
        QJsonDocument::fromJson(body).object().value(u"error").toObject().value(u"message");
    if (!message.isString())
        return std::nullopt;
    return message.toString();
}

} // namespace lexwick::chatcompletions
