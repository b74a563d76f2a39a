// SPDX-License-Identifier: MIT
#include "backends/AnthropicMessages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace lexwick::anthropicmessages {

QByteArray encodeRequest(const QString& model, const QString& systemPrompt,
                         const QString& userMessage, bool stream)
{
    QJsonObject body{
        {QStringLiteral("model"), model},
        {QStringLiteral("max_tokens"), 1024},
        {QStringLiteral("system"), systemPrompt},
        {QStringLiteral("messages"),
         QJsonArray{QJsonObject{{QStringLiteral("role"), QStringLiteral("user")},
                                {QStringLiteral("content"), userMessage}}}},
    };
    if (stream)
        body.insert(QStringLiteral("stream"), true);
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

std::optional<QString> decodeAnswer(const QByteArray& body)
{
    const QJsonValue text = QJsonDocument::fromJson(body)
                                .object()
                                .value(u"content")
                                .toArray()
                                .at(0)
                                .toObject()
                                .value(u"text");
    if (!text.isString())
        return std::nullopt;
    return text.toString();
}

} // namespace lexwick::anthropicmessages

namespace lexwick::anthropicmessages {

Result<StreamEvent> decodeStreamEvent(const ServerSentEvent& event)
{
    QJsonParseError parseError;
    const QJsonObject data = QJsonDocument::fromJson(event.data, &parseError).object();
    if (parseError.error != QJsonParseError::NoError) {
        return std::unexpected(
            Error(DecodingError{QStringLiteral("The server's answer could not be read: %1")
                                    .arg(parseError.errorString())}));
    }
    const QString type = data.value(u"type").toString();
    if (type == u"content_block_delta")
        return StreamEvent{.text = data.value(u"delta").toObject().value(u"text").toString()};
    if (type == u"message_delta")
        return StreamEvent{.stopReason =
                               data.value(u"delta").toObject().value(u"stop_reason").toString()};
    if (type == u"message_stop")
        return StreamEvent{.ends = true};
    if (type == u"error") {
        const QJsonValue message = data.value(u"error").toObject().value(u"message");
        return std::unexpected(Error(AIError(AIError::ApiError{
            message.isString() ? message.toString()
                               : QStringLiteral("The stream reported an error.")})));
    }
    return StreamEvent{};
}

} // namespace lexwick::anthropicmessages
