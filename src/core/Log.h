// SPDX-License-Identifier: MIT
#pragma once

#include <QLoggingCategory>
#include <QString>

namespace lexwick {

Q_DECLARE_LOGGING_CATEGORY(lcLexwick)

// Writes one line for one event: "Lexwick: " followed by the event.
void logLine(const QString& event);

} // namespace lexwick
