// SPDX-License-Identifier: MIT
#include "core/Prompts.h"

#include <utility>

namespace lexwick {

namespace {

QString kindInstruction(ExplainInputKind kind)
{
    switch (kind) {
    case ExplainInputKind::word:
        return QStringLiteral("Provide a dictionary definition for this WORD:\n"
                              "- Part of speech (noun, verb, adjective, etc.)\n"
                              "- Clear definition\n"
                              "- One example sentence showing usage\n"
                              "Format: Use **bold** for the word, *italics* for part of speech.");
    case ExplainInputKind::phrase:
        return QStringLiteral("Explain this PHRASE or TERM:\n"
                              "- What it means\n"
                              "- Common usage context\n"
                              "- Brief example if helpful\n"
                              "Keep explanation to 2-3 sentences.");
    case ExplainInputKind::sentence:
        return QStringLiteral("Explain the meaning of this SENTENCE:\n"
                              "- What it conveys\n"
                              "- Any idioms, metaphors, or non-obvious meanings\n"
                              "- Cultural or contextual notes if relevant\n"
                              "Keep explanation brief (2-4 sentences).");
    }
    std::unreachable();
}

// A preface stands in a paragraph of its own before the action's words.
QString prefaced(const QString& preface)
{
    return preface + QStringLiteral("\n\n");
}

QString toneInstruction(TextAction action, std::optional<ToneOption> tone)
{
    return instruction(tone.value_or(*defaultTone(action)));
}

// Spaces and tabs separate words; line breaks do not.
bool isWordSeparator(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

int wordCount(const QString& text)
{
    int count = 0;
    bool inWord = false;
    for (QChar c : text) {
        const bool separator = isWordSeparator(c);
        if (!separator && !inWord)
            ++count;
        inWord = !separator;
    }
    return count;
}

} // namespace

QString systemPrompt(TextAction action)
{
    return info(action).systemPrompt.toString();
}

QString plainUserMessage(const QString& text, TextAction action, std::optional<ToneOption> tone)
{
    const TextActionInfo& row = info(action);
    QString message;
    if (row.preface == MessagePreface::toneInstruction)
        message = prefaced(toneInstruction(action, tone));
    return message + row.plainLeadIn + text;
}

QString delimitedUserMessage(const QString& text, TextAction action, std::optional<ToneOption> tone)
{
    QString fenced = text;
    fenced.replace(QStringLiteral("<<<"), QStringLiteral("\u2039\u2039\u2039"));
    fenced.replace(QStringLiteral(">>>"), QStringLiteral("\u203A\u203A\u203A"));

    const TextActionInfo& row = info(action);
    QString message;
    switch (row.preface) {
    case MessagePreface::none:
        break;
    case MessagePreface::toneInstruction:
        message = prefaced(toneInstruction(action, tone));
        break;
    case MessagePreface::explainKind:
        message = prefaced(kindInstruction(classifyExplainInput(fenced)));
        break;
    }
    return message + row.delimitedOpening + QStringLiteral("<<<USER_TEXT_START>>>\n") + fenced +
           QStringLiteral("\n<<<USER_TEXT_END>>>");
}

ExplainInputKind classifyExplainInput(const QString& text)
{
    // QString::trimmed() strips exactly the Unicode white-space-and-line-break set.
    const QString trimmed = text.trimmed();
    const int words = wordCount(trimmed);
    if (words == 1)
        return ExplainInputKind::word;
    if (words > 3)
        return ExplainInputKind::sentence;
    const bool hasSentenceMark =
        trimmed.contains(u'.') || trimmed.contains(u'!') || trimmed.contains(u'?');
    return hasSentenceMark ? ExplainInputKind::sentence : ExplainInputKind::phrase;
}

} // namespace lexwick
