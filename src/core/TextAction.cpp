#include "core/TextAction.h"

#include "core/RawValue.h"

#include <utility>

namespace lexwick {

QString rawValue(TextAction action)
{
    switch (action) {
    case TextAction::correct:
        return QStringLiteral("Correct");
    case TextAction::paraphrase:
        return QStringLiteral("Paraphrase");
    case TextAction::explain:
        return QStringLiteral("Explain");
    }
    std::unreachable();
}

QString icon(TextAction action)
{
    switch (action) {
    case TextAction::correct:
        return QStringLiteral("checkmark.circle");
    case TextAction::paraphrase:
        return QStringLiteral("arrow.triangle.2.circlepath");
    case TextAction::explain:
        return QStringLiteral("book");
    }
    std::unreachable();
}

QString description(TextAction action)
{
    switch (action) {
    case TextAction::correct:
        return QStringLiteral("Fix grammar, spelling & punctuation");
    case TextAction::paraphrase:
        return QStringLiteral("Rewrite with different tone");
    case TextAction::explain:
        return QStringLiteral("Define a word or explain a sentence");
    }
    std::unreachable();
}

std::optional<TextAction> textActionFromRawValue(QStringView raw)
{
    return fromRawValue(raw, allTextActions, rawValue);
}

QString rawValue(ToneOption tone)
{
    switch (tone) {
    case ToneOption::formal:
        return QStringLiteral("Formal");
    case ToneOption::casual:
        return QStringLiteral("Casual");
    case ToneOption::concise:
        return QStringLiteral("Concise");
    case ToneOption::friendly:
        return QStringLiteral("Friendly");
    case ToneOption::professional:
        return QStringLiteral("Professional");
    case ToneOption::confident:
        return QStringLiteral("Confident");
    case ToneOption::empathetic:
        return QStringLiteral("Empathetic");
    case ToneOption::persuasive:
        return QStringLiteral("Persuasive");
    }
    std::unreachable();
}

QString icon(ToneOption tone)
{
    switch (tone) {
    case ToneOption::formal:
        return QStringLiteral("briefcase");
    case ToneOption::casual:
        return QStringLiteral("face.smiling");
    case ToneOption::concise:
        return QStringLiteral("text.alignleft");
    case ToneOption::friendly:
        return QStringLiteral("hand.wave");
    case ToneOption::professional:
        return QStringLiteral("building.2");
    case ToneOption::confident:
        return QStringLiteral("star");
    case ToneOption::empathetic:
        return QStringLiteral("heart");
    case ToneOption::persuasive:
        return QStringLiteral("megaphone");
    }
    std::unreachable();
}

QString instruction(ToneOption tone)
{
    switch (tone) {
    case ToneOption::formal:
        return QStringLiteral(
            "Use formal, professional language suitable for business communication.");
    case ToneOption::casual:
        return QStringLiteral("Use casual, friendly language as if talking to a friend.");
    case ToneOption::concise:
        return QStringLiteral(
            "Make the text as brief and direct as possible while keeping the meaning.");
    case ToneOption::friendly:
        return QStringLiteral(
            "Use warm, approachable language that builds rapport and connection.");
    case ToneOption::professional:
        return QStringLiteral("Use polished, business-appropriate language suitable for "
                              "workplace communication.");
    case ToneOption::confident:
        return QStringLiteral(
            "Use assertive, self-assured language that conveys authority and certainty.");
    case ToneOption::empathetic:
        return QStringLiteral("Use understanding, compassionate language that acknowledges "
                              "emotions and perspectives.");
    case ToneOption::persuasive:
        return QStringLiteral("Use compelling, convincing language designed to influence and "
                              "motivate the reader.");
    }
    std::unreachable();
}

std::optional<ToneOption> toneOptionFromRawValue(QStringView raw)
{
    return fromRawValue(raw, allToneOptions, rawValue);
}

} // namespace lexwick
