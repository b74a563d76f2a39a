// SPDX-License-Identifier: MIT
#include "ui/HistoryItemRow.h"

#include <QTextBoundaryFinder>

namespace lexwick {

QString HistoryItemRow::shortened(const QString& text, qsizetype count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    for (qsizetype n = 0; n < count; ++n) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0)
            return text;
        end = next;
    }
    if (end >= text.size())
        return text;
    return text.left(end) + QStringLiteral("...");
}

QString HistoryItemRow::inputLine(const HistoryItem& item)
{
    return shortened(item.originalText.trimmed(), 50);
}

QString HistoryItemRow::resultLine(const HistoryItem& item)
{
    return shortened(item.resultText, 100);
}

} // namespace lexwick
