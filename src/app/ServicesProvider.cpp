// SPDX-License-Identifier: MIT
#include "app/ServicesProvider.h"

#include "app/Pasteboard.h"
#include "core/Log.h"
#include "router/AIServiceProvider.h"

#include <stop_token>

namespace lexwick {

ServicesProvider::ServicesProvider(AIServiceProvider& aiService, QObject* parent)
    : QObject(parent)
    , m_aiService(&aiService)
{
}

QString ServicesProvider::noTextMessage()
{
    return QStringLiteral("No text selected");
}

QString ServicesProvider::notAvailableMessage()
{
    return QStringLiteral("Service not available");
}

QCoro::Task<ServiceOutcome> ServicesProvider::handle(TextAction action,
                                                     std::shared_ptr<Pasteboard> pasteboard,
                                                     PartialText onPartial, std::stop_token stop)
{
    // As read: white space alone is a text, and the router's checks decide about it.
    const QString text = pasteboard->string();
    if (text.isEmpty())
        co_return ServiceOutcome(std::unexpect, noTextMessage());
    const QPointer<AIServiceProvider> router = m_aiService;
    if (!router)
        co_return ServiceOutcome(std::unexpect, notAvailableMessage());

    QCoro::Task<std::expected<ProcessedText, AIError>> processing =
        router->processText(text, action, defaultTone(action), std::move(onPartial), stop);
    const std::expected<ProcessedText, AIError> result = co_await std::move(processing);
    if (!result) {
        const QString message = result.error().errorDescription();
        logWarning(lcDbus, QStringLiteral("Lexwick Error - ") + message);
        co_return ServiceOutcome(std::unexpect, message);
    }
    pasteboard->setString(result->text);
    logLine(lcDbus, QStringLiteral("Lexwick - ") + rawValue(action) + QStringLiteral(" completed"));
    co_return ServiceOutcome(result->text);
}

} // namespace lexwick
