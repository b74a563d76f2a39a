// SPDX-License-Identifier: MIT
#pragma once

#include "core/AIServiceProtocol.h"
#include "core/Error.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <expected>
#include <optional>

namespace lexwick::test {

// The AIError a request failed with. Any other outcome comes back as an ApiError that names
// it, so that the comparison after it fails readably instead of crashing.
AIError aiError(const Result<QString>& result);
AIError aiError(const std::expected<QString, AIError>& result);

// A back-end's answer as its text alone; a task that did not finish is an ApiError that says so.
Result<QString> generatedText(const std::optional<Result<GeneratedText>>& result);

// The error that a networkError wraps, when it is of type E.
template <typename E> const E* behind(const AIError& error)
{
    const auto* network = error.as<AIError::NetworkError>();
    return network ? network->underlying->as<E>() : nullptr;
}

// Success bodies of the providers' formats.
QByteArray chatAnswer(const QString& content);
QByteArray anthropicAnswer(const QString& text);

// The events' data of streamed answers made of these pieces: the chat-completions chunks with
// the finish reason in the last and "[DONE]", Anthropic's events from message_start to
// message_stop.
QList<QByteArray> chatStream(const QStringList& pieces,
                             const QString& finishReason = QStringLiteral("stop"));
QList<QByteArray> anthropicStream(const QStringList& pieces,
                                  const QString& stopReason = QStringLiteral("end_turn"));

} // namespace lexwick::test
