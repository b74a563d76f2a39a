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
// The symbol in front of the count; empty for normal, which has none.
QString symbol(CharacterState state);
Colour colour(CharacterState state);

} // namespace CharacterCounterView

} // namespace lexwick
