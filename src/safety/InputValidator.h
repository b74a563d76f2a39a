#pragma once

#include <QString>

#include <optional>

namespace lexwick {

// How close a text is to the length limit, in rising order.
enum class CharacterState { normal, warning, danger, exceeded };

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

// What the character counter shows, without drawing it.
enum class CounterColour { secondaryLabel, orange, red };

// "4213/5000": the count and the limit, no spaces, no digit grouping.
QString counterText(const ValidationResult& result);
// The symbol in front of the count; empty for normal, which has none.
QString counterSymbol(CharacterState state);
CounterColour counterColour(CharacterState state);

} // namespace lexwick
