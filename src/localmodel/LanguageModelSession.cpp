#include "localmodel/LanguageModelSession.h"

#include "core/ChatCompletions.h"
#include "localmodel/SystemLanguageModel.h"
#include "core/HttpClient.h"

namespace lexwick {

namespace {

using Kind = GenerationError::Kind;
using Response = LanguageModelSession::Response;

QString caseName(Kind kind)
{
    switch (kind) {
    case Kind::cancelled:
        return QStringLiteral("cancelled");
    case Kind::modelUnavailable:
        return QStringLiteral("modelUnavailable");
    case Kind::connectionFailed:
        return QStringLiteral("connectionFailed");
    case Kind::serverError:
        return QStringLiteral("serverError");
    case Kind::invalidAnswer:
        return QStringLiteral("invalidAnswer");
    }
    std::unreachable();
}

std::unexpected<Error> failure(Kind kind, QString description, const QString& detail)
{
    return std::unexpected(Error(GenerationError{kind, std::move(description),
                                                 QStringLiteral("GenerationError.") +
                                                     caseName(kind) + u'(' + detail + u')'}));
}

std::unexpected<Error> cancelled()
{
    return failure(Kind::cancelled, QStringLiteral("The request was cancelled."),
                   QStringLiteral("the task was cancelled"));
}

std::unexpected<Error> unavailable(const SystemLanguageModel* model,
                                   SystemLanguageModel::Availability availability)
{
    if (!model) {
        return failure(Kind::modelUnavailable,
                       QStringLiteral("The on-device model is not available."),
                       QStringLiteral("no model"));
    }
    const QString address = model->serverURL();
    if (!model->endpoint(u"")) {
        return failure(
            Kind::modelUnavailable,
            QStringLiteral("The model server address %1 is not on this computer; on-device text "
                           "is only sent to this computer.")
                .arg(address),
            QStringLiteral("not a loopback address: ") + address);
    }
    if (availability.unavailableReason() == SystemLanguageModel::UnavailableReason::modelNotReady) {
        return failure(
            Kind::modelUnavailable,
            QStringLiteral("The model server at %1 has not loaded the model yet.").arg(address),
            QStringLiteral("modelNotReady at ") + address);
    }
    return failure(Kind::modelUnavailable,
                   QStringLiteral("The model server at %1 is not answering.").arg(address),
                   QStringLiteral("no model server at ") + address);
}

// Value parameters only: the session may be gone while this runs, and the model is re-checked
// after every wait.
QCoro::Task<Result<Response>> generate(QPointer<SystemLanguageModel> model, QString instructions,
                                       QString prompt, GenerationOptions options,
                                       std::stop_token stop)
{
    if (stop.stop_requested())
        co_return cancelled();
    const auto noServer = SystemLanguageModel::Availability::unavailable(
        SystemLanguageModel::UnavailableReason::other);
    if (!model)
        co_return unavailable(nullptr, noServer);

    // Afresh: the server may have stopped, or dropped the model, since the last probe.
    auto probing = model->probe(stop);
    const auto availability = co_await std::move(probing);
    if (stop.stop_requested())
        co_return cancelled();
    if (!model || !availability.isAvailable())
        co_return unavailable(model, availability);
    // Asked again: the address may have changed while the probe was on its way.
    const std::optional<QUrl> url = model->endpoint(u"/chat/completions");
    const QString modelName = model->effectiveModelName();
    if (!url || modelName.isEmpty())
        co_return unavailable(model, noServer);

    HttpRequest request{.method = "POST",
                        .url = *url,
                        .headers = {{"Content-Type", "application/json"}},
                        .body = chatcompletions::encodeRequest(
                            modelName, instructions, prompt,
                            {.temperature = options.temperature,
                             .maxTokens = options.maximumResponseTokens,
                             .stream = false}),
                        .timeout = LanguageModelSession::generationTimeout};
    HttpClient& client = model->httpClient();
    auto exchange = client.send(std::move(request), stop);
    const Result<HttpResponse> response = co_await std::move(exchange);

    if (!response) {
        if (response.error().is<CancellationError>())
            co_return cancelled();
        if (model) // the server may be gone; let the kept answer learn it
            model->refresh();
        const QString why = response.error().localizedDescription();
        co_return failure(Kind::connectionFailed,
                          QStringLiteral("The model server could not be reached: %1").arg(why),
                          why);
    }
    if (response->statusCode != 200) {
        if (model)
            model->refresh();
        const QString why =
            chatcompletions::decodeErrorMessage(response->body)
                .value_or(QStringLiteral("HTTP ") + QString::number(response->statusCode));
        co_return failure(Kind::serverError,
                          QStringLiteral("The model server answered with an error: %1").arg(why),
                          QStringLiteral("status %1: %2").arg(response->statusCode).arg(why));
    }
    const auto answer = chatcompletions::decodeAnswer(response->body);
    if (!answer) {
        const QString why = answer.error().localizedDescription();
        co_return failure(Kind::invalidAnswer, why, why);
    }
    if (!answer->has_value()) {
        co_return failure(Kind::invalidAnswer,
                          QStringLiteral("The model server returned no answer."),
                          QStringLiteral("no choices"));
    }
    co_return Response{answer->value()};
}

} // namespace

LanguageModelSession::LanguageModelSession(SystemLanguageModel& model, QString instructions)
    : m_model(&model)
    , m_instructions(std::move(instructions))
{
}

QCoro::Task<Result<Response>>
LanguageModelSession::respond(QString prompt, GenerationOptions options, std::stop_token stop) const
{
    return generate(m_model, m_instructions, std::move(prompt), options, std::move(stop));
}

} // namespace lexwick
