// SPDX-License-Identifier: MIT
#include "Expect.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace lexwick::test {

AIError aiError(const Result<QString>& result)
{
    if (result)
        return AIError(AIError::ApiError{QStringLiteral("<unexpected success: %1>").arg(*result)});
    if (const AIError* error = result.error().as<AIError>())
        return *error;
    return AIError(AIError::ApiError{
        QStringLiteral("<not an AIError: %1>").arg(result.error().localizedDescription())});
}

AIError aiError(const std::expected<QString, AIError>& result)
{
    if (result)
        return AIError(AIError::ApiError{QStringLiteral("<unexpected success: %1>").arg(*result)});
    return result.error();
}

Result<QString> generatedText(const std::optional<Result<GeneratedText>>& result)
{
    if (!result)
        return std::unexpected(AIError(AIError::ApiError{QStringLiteral("<did not finish>")}));
    if (!*result)
        return std::unexpected(result->error());
    return (*result)->text;
}

QByteArray chatAnswer(const QString& content)
{
    const QJsonObject message{{QStringLiteral("content"), content}};
    const QJsonObject choice{{QStringLiteral("message"), message}};
    return QJsonDocument(QJsonObject{{QStringLiteral("choices"), QJsonArray{choice}}}).toJson();
}

QByteArray anthropicAnswer(const QString& text)
{
    const QJsonObject block{{QStringLiteral("type"), QStringLiteral("text")},
                            {QStringLiteral("text"), text}};
    return QJsonDocument(QJsonObject{{QStringLiteral("content"), QJsonArray{block}}}).toJson();
}

namespace {

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

QList<QByteArray> chatStream(const QStringList& pieces, const QString& finishReason)
{
    QList<QByteArray> events{compact(
        QJsonObject{{QStringLiteral("choices"),
                     QJsonArray{QJsonObject{
                         {QStringLiteral("delta"),
                          QJsonObject{{QStringLiteral("role"), QStringLiteral("assistant")}}}}}}})};
    for (const QString& piece : pieces) {
        events.append(compact(QJsonObject{
            {QStringLiteral("choices"),
             QJsonArray{QJsonObject{
                 {QStringLiteral("delta"), QJsonObject{{QStringLiteral("content"), piece}}},
                 {QStringLiteral("finish_reason"), QJsonValue()}}}}}));
    }
    events.append(compact(
        QJsonObject{{QStringLiteral("choices"),
                     QJsonArray{QJsonObject{{QStringLiteral("delta"), QJsonObject{}},
                                            {QStringLiteral("finish_reason"), finishReason}}}}}));
    events.append("[DONE]");
    return events;
}

QList<QByteArray> anthropicStream(const QStringList& pieces, const QString& stopReason)
{
    const auto typed = [](const char* type, QJsonObject object = {}) {
        object.insert(QStringLiteral("type"), QString::fromLatin1(type));
        return compact(object);
    };
    QList<QByteArray> events{typed("message_start"), typed("content_block_start"), typed("ping")};
    for (const QString& piece : pieces) {
        events.append(typed("content_block_delta",
                            {{QStringLiteral("delta"),
                              QJsonObject{{QStringLiteral("type"), QStringLiteral("text_delta")},
                                          {QStringLiteral("text"), piece}}}}));
    }
    events.append(typed("content_block_stop"));
    events.append(typed(
        "message_delta",
        {{QStringLiteral("delta"), QJsonObject{{QStringLiteral("stop_reason"), stopReason}}}}));
    events.append(typed("message_stop"));
    return events;
}

} // namespace lexwick::test
