#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace lexwick {

namespace CharacterStates {
Q_NAMESPACE
// How close a text is to the length limit, in rising order.
enum class CharacterState { normal, warning, danger, exceeded };
Q_ENUM_NS(CharacterState)
} // namespace CharacterStates
using CharacterStates::CharacterState;

struct ValidationResult {
    bool isValid = false; // the text may be processed
    qsizetype characterCount = 0;
    qsizetype maxCharacters = 0;
    CharacterState state = CharacterState::normal;
    std::optional<QString> message; // absent for normal

    bool operator==(const ValidationResult&) const = default;
};

// The length check every text passes before it goes to a model. Stateless; callable from any
// thread.
namespace InputValidator {

inline constexpr qsizetype maxCharacters = 5000;

// Counts user-perceived characters (extended grapheme clusters), so an emoji sequence or a
// letter with a combining accent counts once.
ValidationResult validate(const QString& text);

} // namespace InputValidator

} // namespace lexwick
