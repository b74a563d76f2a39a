// SPDX-License-Identifier: MIT
#pragma once

#include "core/TextAction.h"

#include <QString>

#include <optional>

namespace lexwick {

// What an explain request is about; decides which instruction the model gets.
enum class ExplainInputKind { word, phrase, sentence };

// The system prompt of an action; the same for every back-end.
QString systemPrompt(TextAction action);

// The user message of the built-in cloud service: the text as it is, after a lead-in.
QString plainUserMessage(const QString& text, TextAction action, std::optional<ToneOption> tone);

// The user message of the custom and on-device services: the text fenced between marker
// lines, with any marker-like runs in it defused so that it cannot close the fence itself.
QString delimitedUserMessage(const QString& text, TextAction action,
                             std::optional<ToneOption> tone);

ExplainInputKind classifyExplainInput(const QString& text);

} // namespace lexwick
