// SPDX-License-Identifier: MIT
#include "ui/CharacterCounterView.h"

#include <utility>

namespace lexwick::CharacterCounterView {

QString text(const ValidationResult& result)
{
    return QString::number(result.characterCount) + u'/' + QString::number(result.maxCharacters);
}

QString spokenText(const ValidationResult& result)
{
    QString spoken = QString::number(result.characterCount) + u" of " +
                     QString::number(result.maxCharacters) + u" characters";
    if (result.message)
        spoken += u". " + *result.message;
    return spoken;
}

QString symbol(CharacterState state)
{
    switch (state) {
    case CharacterState::normal:
        return {};
    case CharacterState::warning:
        return QStringLiteral("exclamationmark.triangle");
    case CharacterState::danger:
        return QStringLiteral("exclamationmark.triangle.fill");
    case CharacterState::exceeded:
        return QStringLiteral("xmark.circle.fill");
    }
    std::unreachable();
}

Colour colour(CharacterState state)
{
    switch (state) {
    case CharacterState::normal:
        return Colour::secondaryLabel;
    case CharacterState::warning:
        return Colour::orange;
    case CharacterState::danger:
    case CharacterState::exceeded:
        return Colour::red;
    }
    std::unreachable();
}

} // namespace lexwick::CharacterCounterView
