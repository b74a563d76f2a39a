#include "backends/AnthropicMessages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace lexwick::anthropicmessages {

QByteArray encodeRequest(const QString& model, const QString& systemPrompt,
                         const QString& userMessage)
{
    const QJsonObject body{
        {QStringLiteral("model"), model},
        {QStringLiteral("max_tokens"), 1024},
        {QStringLiteral("system"), systemPrompt},
        {QStringLiteral("messages"),
         QJsonArray{QJsonObject{{QStringLiteral("role"), QStringLiteral("user")},
                                {QStringLiteral("content"), userMessage}}}},
    };
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
