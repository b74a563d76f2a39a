// SPDX-License-Identifier: MIT
#include "localmodel/LanguageModelSession.h"

#include "core/ChatCompletions.h"
#include "localmodel/SystemLanguageModel.h"
#include "core/HttpClient.h"

#include <QJsonDocument>
#include <QJsonObject>

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
    switch (
        availability.unavailableReason().value_or(SystemLanguageModel::UnavailableReason::other)) {
    case SystemLanguageModel::UnavailableReason::modelNotReady:
        return failure(
            Kind::modelUnavailable,
            QStringLiteral("The model server at %1 does not have the model.").arg(address),
            QStringLiteral("modelNotReady at ") + address);
    case SystemLanguageModel::UnavailableReason::loading:
        return failure(
            Kind::modelUnavailable,
            QStringLiteral("The model server at %1 is still loading the model.").arg(address),
            QStringLiteral("loading at ") + address);
    case SystemLanguageModel::UnavailableReason::needsKey:
        return failure(Kind::modelUnavailable,
                       QStringLiteral("The model server at %1 asks for an API key.").arg(address),
                       QStringLiteral("needsKey at ") + address);
    default:
        break;
    }
    return failure(Kind::modelUnavailable,
                   QStringLiteral("The model server at %1 is not answering.").arg(address),
                   QStringLiteral("no model server at ") + address);
}

// What went wrong below HTTP, in the model server's terms: the transport's own words for a
// closed connection are often just "Unknown error".
QString connectionFailure(const TransportError* transport)
{
    using TransportKind = TransportError::Kind;
    switch (transport ? transport->kind : TransportKind::other) {
    case TransportKind::networkConnectionLost:
        return QStringLiteral("The model server closed the connection before it finished "
                              "answering.");
    case TransportKind::timedOut:
        return QStringLiteral("The model server stopped answering.");
    case TransportKind::cannotConnectToHost:
    case TransportKind::cannotFindHost:
    case TransportKind::notConnectedToInternet:
        return QStringLiteral("The model server could not be reached.");
    case TransportKind::cancelled:
    case TransportKind::other:
        break;
    }
    return transport ? QStringLiteral("The model server could not be reached: %1")
                           .arg(transport->description)
                     : QStringLiteral("The model server could not be reached.");
}

// The message of an error body, in the shapes model servers use: OpenAI's
// {"error": {"message": …}}, {"error": "…"}, {"detail": "…"}, {"message": "…"}, or a line of
// plain text.
std::optional<QString> serverErrorMessage(const QByteArray& body)
{
    if (std::optional<QString> message = chatcompletions::decodeErrorMessage(body))
        return message;
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (document.isObject()) {
        const QJsonObject object = document.object();
        for (const QStringView key : {u"error", u"detail", u"message"}) {
            const QJsonValue value = object.value(key);
            if (value.isString() && !value.toString().trimmed().isEmpty())
                return value.toString().trimmed();
        }
        return std::nullopt;
    }
    const QString text = QString::fromUtf8(body).trimmed();
    if (document.isNull() && !text.isEmpty() && text.size() <= 300 && !text.contains(u'<'))
        return text;
    return std::nullopt;
}

// Value parameters only: the session may be gone while this runs, and the model is re-checked
// after every wait.
QCoro::Task<Result<Response>> generate(QPointer<SystemLanguageModel> model, QString instructions,
                                       QString prompt, GenerationOptions options,
                                       PartialText onPartial, std::stop_token stop)
{
    if (stop.stop_requested())
        co_return cancelled();
    const auto noServer = SystemLanguageModel::Availability::unavailable(
        SystemLanguageModel::UnavailableReason::other);
    if (!model)
        co_return unavailable(nullptr, noServer);

    // A fresh "available" is taken as it is; anything else is asked again, since the server may
    // have come up since. A failed generation below makes the next one ask.
    auto probing = model->checkedAvailability(stop);
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

    HttpHeaders headers = model->headers();
    headers.append(std::pair<QByteArray, QByteArray>("Content-Type", "application/json"));
    HttpRequest request{
        .method = "POST",
        .url = *url,
        .headers = std::move(headers),
        .body = chatcompletions::encodeRequest(modelName, instructions, prompt,
                                               {.temperature = options.temperature,
                                                .maxTokens = options.maximumResponseTokens,
                                                .stream = true})};
    request.setStreamTimeouts(model->streamTimeouts());
    auto exchange = sendStreamed(model->httpClient(), std::move(request),
                                 &chatcompletions::decodeStreamEvent, std::move(onPartial), stop);
    const Result<StreamedAnswer> answer = co_await std::move(exchange);

    if (!answer) {
        if (answer.error().is<CancellationError>())
            co_return cancelled();
        if (model) // the server may be gone; let the kept answer learn it
            model->distrust();
        if (const AIError* reported = answer.error().as<AIError>()) { // an error event
            const QString why = reported->errorDescription();
            co_return failure(
                Kind::serverError,
                QStringLiteral("The model server answered with an error: %1").arg(why),
                QStringLiteral("in the stream: ") + why);
        }
        if (answer.error().is<DecodingError>()) {
            const QString why = answer.error().localizedDescription();
            co_return failure(Kind::invalidAnswer, why, why);
        }
        const TransportError* transport = answer.error().as<TransportError>();
        co_return failure(Kind::connectionFailed, connectionFailure(transport),
                          answer.error().localizedDescription());
    }
    const HttpResponse& response = answer->response;
    if (response.statusCode != 200) {
        if (model)
            model->distrust();
        const QString why =
            serverErrorMessage(response.body)
                .value_or(QStringLiteral("HTTP ") + QString::number(response.statusCode));
        co_return failure(Kind::serverError,
                          QStringLiteral("The model server answered with an error: %1").arg(why),
                          QStringLiteral("status %1: %2").arg(response.statusCode).arg(why));
    }
    if (answer->streamed)
        co_return Response{answer->text, answer->stopReason == u"length"};
    // A server that ignores the request to stream answers with one body.
    const auto choice = chatcompletions::decodeChoice(response.body);
    if (!choice) {
        const QString why = choice.error().localizedDescription();
        co_return failure(Kind::invalidAnswer, why, why);
    }
    if (!choice->has_value()) {
        co_return failure(Kind::invalidAnswer,
                          QStringLiteral("The model server returned no answer."),
                          QStringLiteral("no choices"));
    }
    co_return Response{(*choice)->content, (*choice)->finishReason == u"length"};
}

} // namespace

LanguageModelSession::LanguageModelSession(SystemLanguageModel& model, QString instructions)
    : m_model(&model)
    , m_instructions(std::move(instructions))
{
}

QCoro::Task<Result<Response>> LanguageModelSession::respond(QString prompt,
                                                            GenerationOptions options,
                                                            PartialText onPartial,
                                                            std::stop_token stop) const
{
    return generate(m_model, m_instructions, std::move(prompt), options, std::move(onPartial),
                    std::move(stop));
}

} // namespace lexwick
