// SPDX-License-Identifier: MIT
#pragma once

// The names QML knows the lower layers' types by. The lower layers stay free of QtQml: their
// enumerations carry meta-objects, and the QML names are declared here.

#include "core/AIError.h"
#include "core/TextAction.h"
#include "history/HistoryItem.h"
#include "safety/InputValidator.h"
#include "settings/AIProviderMode.h"
#include "settings/APIProvider.h"

#include <QtQml/qqml.h>

namespace lexwick::qml {

namespace TextActionForeign {
Q_NAMESPACE
QML_FOREIGN_NAMESPACE(lexwick::TextActions)
QML_NAMED_ELEMENT(TextAction)
} // namespace TextActionForeign

namespace ToneOptionForeign {
Q_NAMESPACE
QML_FOREIGN_NAMESPACE(lexwick::ToneOptions)
QML_NAMED_ELEMENT(ToneOption)
} // namespace ToneOptionForeign

namespace AIProviderModeForeign {
Q_NAMESPACE
QML_FOREIGN_NAMESPACE(lexwick::AIProviderModes)
QML_NAMED_ELEMENT(AIProviderMode)
} // namespace AIProviderModeForeign

namespace APIProviderForeign {
Q_NAMESPACE
QML_FOREIGN_NAMESPACE(lexwick::APIProviders)
QML_NAMED_ELEMENT(APIProvider)
} // namespace APIProviderForeign

namespace CharacterStateForeign {
Q_NAMESPACE
QML_FOREIGN_NAMESPACE(lexwick::CharacterStates)
QML_NAMED_ELEMENT(CharacterState)
} // namespace CharacterStateForeign

namespace LocalAIAvailabilityForeign {
Q_NAMESPACE
QML_FOREIGN_NAMESPACE(lexwick::LocalAIAvailabilities)
QML_NAMED_ELEMENT(LocalAIAvailability)
} // namespace LocalAIAvailabilityForeign

namespace PIITypeForeign {
Q_NAMESPACE
QML_FOREIGN_NAMESPACE(lexwick::PIITypes)
QML_NAMED_ELEMENT(PIIType)
} // namespace PIITypeForeign

struct HistoryItemForeign {
    Q_GADGET
    QML_FOREIGN(lexwick::HistoryItem)
    QML_VALUE_TYPE(historyItem)
};

} // namespace lexwick::qml
