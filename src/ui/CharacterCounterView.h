// SPDX-License-Identifier: MIT
#pragma once

#include "safety/InputValidator.h"

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace lexwick {

// What the character counter under the input shows, without drawing it.
namespace CharacterCounterView {
Q_NAMESPACE
QML_ELEMENT

enum class Colour { secondaryLabel, orange, red };
Q_ENUM_NS(Colour)

// "4213/5000": the count and the limit, no spaces, no digit grouping.
QString text(const ValidationResult& result);
// The same for a screen reader, with the level's message: "4213 of 5000 characters. Approaching
// character limit".
QString spokenText(const ValidationResult& result);
// The symbol in front of the count; empty for normal, which has none.
QString symbol(CharacterState state);
Colour colour(CharacterState state);

} // namespace CharacterCounterView

} // namespace lexwick
