// SPDX-License-Identifier: MIT
#include "core/Log.h"

namespace lexwick {

Q_LOGGING_CATEGORY(lcLexwick, "lexwick")

void logLine(const QString& event)
{
    qCInfo(lcLexwick).noquote() << QStringLiteral("Lexwick: ") + event;
}

} // namespace lexwick
