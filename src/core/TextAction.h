// SPDX-License-Identifier: MIT
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

// What a user message puts in front of an action's own words.
enum class MessagePreface {
    none,
    // The chosen tone's instruction (the default tone's when none is chosen), in both forms.
    toneInstruction,
    // What to explain, by the kind of input (`classifyExplainInput`). Only the delimited
    // form carries it; the plain form's lead-in stands alone.
    explainKind,
};

// Everything that describes an action, one row per action. The texts are literals that live
// for the whole run, so the table costs nothing at start-up.
struct TextActionInfo {
    TextAction action;
    // The label on screen and the stored form (history, cache keys), so it cannot change.
    QStringView title;
    // The word of `lexwick <name>`, of the Services' action names and of the desktop file.
    QStringView commandName;
    QStringView symbol;
    QStringView description; // the tooltip
    QStringView systemPrompt;
    // Plain form: after the preface (and a blank line), before the text.
    QStringView plainLeadIn;
    // Delimited form: after the preface (and a blank line), before the fenced text.
    QStringView delimitedOpening;
    MessagePreface preface;
    // Whether the result can show what it changed in the text.
    bool showsChanges;
};

const TextActionInfo& info(TextAction action);

QString rawValue(TextAction action); // the title
QString icon(TextAction action);
QString description(TextAction action);
std::optional<TextAction> textActionFromRawValue(QStringView raw);

QString commandName(TextAction action);
std::optional<TextAction> textActionFromCommandName(QStringView name);

// An action takes a tone exactly when its message carries the tone's instruction; the tone
// picker, the history record and the cache key follow from that.
bool usesTone(TextAction action);
bool showsChanges(TextAction action);

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

struct ToneOptionInfo {
    ToneOption tone;
    QStringView title; // the label and the stored form
    QStringView symbol;
    // The sentence put in front of the request, also the tone button's tooltip.
    QStringView instruction;
};

const ToneOptionInfo& info(ToneOption tone);

QString rawValue(ToneOption tone); // the title
QString icon(ToneOption tone);
QString instruction(ToneOption tone);
std::optional<ToneOption> toneOptionFromRawValue(QStringView raw);

// The tone of a request that names none: formal for an action that takes a tone, none for
// the others.
std::optional<ToneOption> defaultTone(TextAction action);

} // namespace lexwick
