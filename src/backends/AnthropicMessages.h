#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Anthropic's messages wire format.
namespace lexwick::anthropicmessages {

// The compact JSON request: model, 1024 tokens, the system prompt, one user message. Anthropic
// gets no temperature.
QByteArray encodeRequest(const QString& model, const QString& systemPrompt,
                         const QString& userMessage);

// The text of the first content block, untrimmed; nothing when the body has none.
std::optional<QString> decodeAnswer(const QByteArray& body);

} // namespace lexwick::anthropicmessages
