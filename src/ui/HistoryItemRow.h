// SPDX-License-Identifier: MIT
#pragma once

#include "history/HistoryItem.h"

#include <QString>

namespace lexwick::HistoryItemRow {

// At most `count` user-perceived characters (grapheme clusters, so an emoji or a letter with
// its accents is never cut apart) of the text, followed by "..." when something was left out.
QString shortened(const QString& text, qsizetype count);

// The card's first text line: the submitted text without surrounding white space, cut at 50.
QString inputLine(const HistoryItem& item);
// The card's second text line: the result as it is, cut at 100.
QString resultLine(const HistoryItem& item);

} // namespace lexwick::HistoryItemRow
