// SPDX-License-Identifier: MIT
#pragma once

#include "core/Error.h"
#include "core/StreamedAnswer.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The chat-completions wire format, shared by every back-end that speaks it.
namespace lexwick::chatcompletions {

// What a request asks for besides its messages; whatever is unset is not sent, which leaves it
// to the server.
struct RequestOptions {
    std::optional<double> temperature;
    std::optional<int> maxTokens;
    std::optional<bool> stream;
};

// The cloud and custom-key services ask for the same temperature and length everywhere.
inline constexpr RequestOptions serviceOptions{.temperature = 0.3, .maxTokens = 1024};

// The compact JSON request: model, the system message (left out when the prompt is empty), the
// user message, and the options that are set.
QByteArray encodeRequest(const QString& model, const QString& systemPrompt,
                         const QString& userMessage, const RequestOptions& options);

// The first choice's message content of a success body, untrimmed; nothing when "choices" is
// empty. Fails with DecodingError when the body is not a success body.
Result<std::optional<QString>> decodeAnswer(const QByteArray& body);

// The same, with why the model stopped ("stop", "length" at the output limit, …; empty when
// the body does not say).
struct Choice {
    QString content;
    QString finishReason;
};
Result<std::optional<Choice>> decodeChoice(const QByteArray& body);

// One event of a streamed answer: the first choice's delta content and finish reason, or the
// provider's error (an AIError) when the event carries one instead.
Result<StreamEvent> decodeStreamEvent(const ServerSentEvent& event);

// The provider's message when the body is an error body ({"error": {"message": …}}).
std::optional<QString> decodeErrorMessage(const QByteArray& body);

// What an answer with a status other than 200 means: the provider's own message when the body
// carries one, the bare status otherwise.
AIError statusFailure(int statusCode, const QByteArray& body);

} // namespace lexwick::chatcompletions
