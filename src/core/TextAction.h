#pragma once

#include <QObject>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace lexwick {

// Each enumeration has a namespace of its own: that gives it a meta-object (its case names for
// QML) without a meta-object for the whole of `lexwick`, which only one header could declare.
namespace TextActions {
Q_NAMESPACE
// The three things Lexwick does to a text. The raw value is both the label on screen and
// the stored form (history, cache keys).
enum class TextAction { correct, paraphrase, explain };
Q_ENUM_NS(TextAction)
} // namespace TextActions
using TextActions::TextAction;

inline constexpr std::array allTextActions{TextAction::correct, TextAction::paraphrase,
                                           TextAction::explain};

QString rawValue(TextAction action);
QString icon(TextAction action);
QString description(TextAction action);
std::optional<TextAction> textActionFromRawValue(QStringView raw);

namespace ToneOptions {
Q_NAMESPACE
// The tones of a paraphrase, in the order of the tone picker.
enum class ToneOption {
    formal,
    casual,
    concise,
    friendly,
    professional,
    confident,
    empathetic,
    persuasive
};
Q_ENUM_NS(ToneOption)
} // namespace ToneOptions
using ToneOptions::ToneOption;

inline constexpr std::array allToneOptions{ToneOption::formal,       ToneOption::casual,
                                           ToneOption::concise,      ToneOption::friendly,
                                           ToneOption::professional, ToneOption::confident,
                                           ToneOption::empathetic,   ToneOption::persuasive};

QString rawValue(ToneOption tone);
QString icon(ToneOption tone);
// The sentence put in front of a paraphrase request, also the tone button's tooltip.
QString instruction(ToneOption tone);
std::optional<ToneOption> toneOptionFromRawValue(QStringView raw);

} // namespace lexwick
