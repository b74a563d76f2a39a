// SPDX-License-Identifier: MIT
#include "core/StreamedAnswer.h"

#include <memory>
#include <optional>

namespace lexwick {

namespace {

struct Reading {
    std::optional<bool> isStream; // decided by the first chunk's headers
    ServerSentEventReader reader;
    QByteArray body;
    QString text;
    QString stopReason;
    bool ended = false;
    std::optional<Error> failure;
};

} // namespace

QCoro::Task<Result<StreamedAnswer>> sendStreamed(HttpClient& client, HttpRequest request,
                                                 StreamEventDecoder decode, PartialText onText,
                                                 std::stop_token stop)
{
    auto reading = std::make_shared<Reading>();
    request.onBody = [reading, decode = std::move(decode),
                      onText = std::move(onText)](const HttpResponse& head, QByteArrayView chunk) {
        if (!reading->isStream)
            reading->isStream =
                head.header("Content-Type").trimmed().toLower().startsWith("text/event-stream");
        if (!*reading->isStream) {
            reading->body += chunk;
            return BodyReading::more;
        }
        const qsizetype before = reading->text.size();
        for (const ServerSentEvent& event : reading->reader.feed(chunk)) {
            Result<StreamEvent> piece = decode(event);
            if (!piece) {
                reading->failure = std::move(piece.error());
                return BodyReading::refused;
            }
            reading->text += piece->text;
            if (!piece->stopReason.isEmpty())
                reading->stopReason = piece->stopReason;
            if (piece->ends) {
                reading->ended = true;
                break;
            }
        }
        reading->ended = reading->ended || reading->reader.isDone();
        if (reading->text.size() != before && onText)
            onText(reading->text);
        return reading->ended ? BodyReading::complete : BodyReading::more;
    };

    auto exchange = client.send(std::move(request), stop);
    Result<HttpResponse> response = co_await std::move(exchange);
    if (reading->failure)
        co_return std::unexpected(std::move(*reading->failure));
    if (!response)
        co_return std::unexpected(std::move(response.error()));

    StreamedAnswer answer{.response = std::move(*response)};
    if (!reading->isStream.value_or(false)) {
        if (reading->isStream) // a 2xx body that went through the reader as it came
            answer.response.body = std::move(reading->body);
        co_return answer;
    }
    if (!reading->ended && reading->stopReason.isEmpty()) {
        co_return std::unexpected(TransportError{
            TransportError::Kind::networkConnectionLost,
            QStringLiteral("The connection closed before the answer was complete.")});
    }
    answer.streamed = true;
    answer.text = std::move(reading->text);
    answer.stopReason = std::move(reading->stopReason);
    co_return answer;
}

} // namespace lexwick
