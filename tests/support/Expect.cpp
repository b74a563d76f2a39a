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

} // namespace lexwick::test
