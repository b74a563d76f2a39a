// SPDX-License-Identifier: MIT
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
// The same for a text whose count is known.
ValidationResult validate(const QString& text, qsizetype characterCount);

} // namespace InputValidator

// The count of a text that is being edited. Each new version is compared with the last one and
// only the part around the edit is counted again, so a key press in a long text costs about as
// much as one in a short text (the comparison of the two versions aside, a few microseconds per
// 100 000 characters). The count is always that of counting the whole text.
class CharacterCount {
public:
    qsizetype update(const QString& text);
    qsizetype count() const { return m_count; }

private:
    QString m_text;
    qsizetype m_count = 0;
};

} // namespace lexwick
