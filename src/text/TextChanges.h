// SPDX-License-Identifier: MIT
#pragma once

#include "text/InlineMarkdown.h"

#include <QList>
#include <QString>
#include <QStringView>

namespace lexwick {

// What a correction changed, word by word: the model's corrected answer compared with the text
// it was given.
class TextChanges {
public:
    enum class Kind { unchanged, deleted, inserted };
    struct Segment {
        Kind kind;
        QString text;
        friend bool operator==(const Segment&, const Segment&) = default;
    };

    // Both texts are compared as a reader sees them: inline Markdown markers are not words, so
    // a correction that only adds emphasis changes nothing. White space around `original` is
    // not compared (the answer never keeps it).
    TextChanges(const QString& original, const QString& corrected);

    const QList<Segment>& segments() const { return m_segments; }
    // How many places changed: each run of deleted and inserted text between unchanged text.
    qsizetype count() const { return m_count; }
    // The corrected answer as rich text with its inline Markdown, deleted words struck through
    // in <span class="deleted">, inserted words underlined in <span class="inserted">; the
    // classes get their colours from the screen.
    QString richText() const;
    // The same for a screen reader: "I [deleted: has went] [inserted: have gone] to school".
    QString spokenText() const;

    // The comparison itself. The texts are cut into words, the spaces and the punctuation
    // between them as ICU's word break iterator finds them, and matched by Myers' shortest
    // edit script in linear space: O((n + m) · d) for d changed pieces. In each change the
    // deleted text comes before the inserted text; a change is moved to start at a word where
    // it can, and changes parted by white space alone are joined, so "has went" → "have gone"
    // reads as one change. A long answer that shares little with its text would take seconds;
    // past a fixed amount of work what is left of it shows as replaced.
    static QList<Segment> compare(QStringView before, QStringView after);

private:
    InlineMarkdown::Formatted m_corrected;
    QList<Segment> m_segments;
    qsizetype m_count = 0;
};

} // namespace lexwick
