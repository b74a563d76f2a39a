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

std::optional<ToneOption> ServicesProvider::tone(TextAction action)
{
    return action == TextAction::paraphrase ? std::optional(ToneOption::formal) : std::nullopt;
}

QCoro::Task<ServiceOutcome> ServicesProvider::correctText(std::shared_ptr<Pasteboard> pasteboard)
{
    return handle(TextAction::correct, std::move(pasteboard));
}

QCoro::Task<ServiceOutcome> ServicesProvider::paraphraseText(std::shared_ptr<Pasteboard> pasteboard)
{
    return handle(TextAction::paraphrase, std::move(pasteboard));
}

QCoro::Task<ServiceOutcome> ServicesProvider::explainText(std::shared_ptr<Pasteboard> pasteboard)
{
    return handle(TextAction::explain, std::move(pasteboard));
}

QCoro::Task<ServiceOutcome> ServicesProvider::handle(TextAction action,
                                                     std::shared_ptr<Pasteboard> pasteboard)
{
    // As read: white space alone is a text, and the router's checks decide about it.
    const QString text = pasteboard->string();
    if (text.isEmpty())
        co_return ServiceOutcome(std::unexpect, noTextMessage());
    const QPointer<AIServiceProvider> router = m_aiService;
    if (!router)
        co_return ServiceOutcome(std::unexpect, notAvailableMessage());

    QCoro::Task<std::expected<QString, AIError>> processing =
        router->processText(text, action, tone(action), std::stop_token());
    const std::expected<QString, AIError> result = co_await std::move(processing);
    if (!result) {
        const QString message = result.error().errorDescription();
        logLine(QStringLiteral("Lexwick Error - ") + message);
        co_return ServiceOutcome(std::unexpect, message);
    }
    pasteboard->setString(*result);
    logLine(QStringLiteral("Lexwick - ") + rawValue(action) + QStringLiteral(" completed"));
    co_return ServiceOutcome(*result);
}

} // namespace lexwick
