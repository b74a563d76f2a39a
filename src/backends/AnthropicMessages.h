// SPDX-License-Identifier: MIT
#pragma once

#include "core/StreamedAnswer.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Anthropic's messages wire format.
namespace lexwick::anthropicmessages {

// The compact JSON request: model, 1024 tokens, the system prompt, one user message, and
// whether to stream the answer. Anthropic gets no temperature.
QByteArray encodeRequest(const QString& model, const QString& systemPrompt,
                         const QString& userMessage, bool stream = false);

// One event of the streamed answer: a text delta, the stop reason, the end ("message_stop"),
// or the error event (an AIError with its message). Other events add nothing.
Result<StreamEvent> decodeStreamEvent(const ServerSentEvent& event);

// The text of the first content block, untrimmed; nothing when the body has none.
std::optional<QString> decodeAnswer(const QByteArray& body);

} // namespace lexwick::anthropicmessages
