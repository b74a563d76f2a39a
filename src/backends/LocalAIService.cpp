// SPDX-License-Identifier: MIT
#include "backends/LocalAIService.h"

#include "core/Prompts.h"
#include "localmodel/LanguageModelSession.h"
#include "localmodel/SystemLanguageModel.h"

#include <QPointer>

namespace lexwick {

LocalAIService::LocalAIService(SystemLanguageModel& model, QObject* parent)
    : AIServiceProtocol(parent)
    , m_model(model)
{
}

LocalAIAvailability LocalAIService::currentAvailability() const
{
    return mapAvailability(m_model.availability());
}

LocalAIAvailability LocalAIService::mapAvailability(SystemLanguageModel::Availability availability)
{
    using Reason = SystemLanguageModel::UnavailableReason;
    const std::optional<Reason> reason = availability.unavailableReason();
    if (!reason)
        return LocalAIAvailability::available;
    switch (*reason) {
    case Reason::deviceNotEligible:
        return LocalAIAvailability::deviceNotEligible;
    case Reason::appleIntelligenceNotEnabled:
        return LocalAIAvailability::appleIntelligenceDisabled;
    case Reason::modelNotReady:
        return LocalAIAvailability::modelNotReady;
    case Reason::other:
        return LocalAIAvailability::unavailable;
    case Reason::loading:
        return LocalAIAvailability::modelLoading;
    case Reason::needsKey:
        return LocalAIAvailability::serverNeedsKey;
    }
    std::unreachable();
}

AIError LocalAIService::mapGenerationError(const Error& error)
{
    const GenerationError* generation = error.as<GenerationError>();
    const QString plain = generation ? generation->debugDescription : error.localizedDescription();
    if (error.is<CancellationError>() || plain.contains(u"cancelled"))
        return AIError::networkError(error);
    return AIError(AIError::LocalModelError{error.localizedDescription()});
}

QCoro::Task<Result<GeneratedText>> LocalAIService::processText(QString text, TextAction action,
                                                               std::optional<ToneOption> tone,
                                                               PartialText onPartial,
                                                               std::stop_token stop)
{
    if (text.trimmed().isEmpty())
        co_return std::unexpected(AIError(AIError::EmptyInput{}));
    // Asked again unless the kept answer is a fresh "available": the server may be up by now.
    QPointer self(this);
    QCoro::Task<SystemLanguageModel::Availability> checking = m_model.checkedAvailability(stop);
    const SystemLanguageModel::Availability availability = co_await std::move(checking);
    if (stop.stop_requested())
        co_return std::unexpected(Error(CancellationError{}));
    if (!self || !availability.isAvailable())
        co_return std::unexpected(
            AIError(AIError::LocalModelUnavailable{mapAvailability(availability)}));

    beginRequest();

    const LanguageModelSession session(m_model, systemPrompt(action));
    QCoro::Task<Result<LanguageModelSession::Response>> responding = session.respond(
        delimitedUserMessage(text, action, tone), GenerationOptions{}, std::move(onPartial), stop);
    const Result<LanguageModelSession::Response> response = co_await std::move(responding);
    if (!response) {
        const AIError error = mapGenerationError(response.error());
        co_return self ? finishRequest(std::unexpected(error)) : std::unexpected(error);
    }
    const GeneratedText generated{response->content.trimmed(), response->cutShort};
    co_return self ? finishRequest(generated) : generated;
}

} // namespace lexwick
