// SPDX-License-Identifier: MIT
#pragma once

#include <QLoggingCategory>
#include <QString>

namespace lexwick {

// One category per area, so that QT_LOGGING_RULES can quiet or raise each ("lexwick.http.debug
// =true").
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcTray)
Q_DECLARE_LOGGING_CATEGORY(lcPopover)
Q_DECLARE_LOGGING_CATEGORY(lcDbus)
Q_DECLARE_LOGGING_CATEGORY(lcHttp)
Q_DECLARE_LOGGING_CATEGORY(lcRouter)
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
Q_DECLARE_LOGGING_CATEGORY(lcHistory)

using LogCategory = const QLoggingCategory& (*)();

// Each writes one line for one event, "Lexwick: " followed by the event, at its level: what
// went wrong and loses work or a feature (critical), what went wrong and was got round
// (warning), what happened (info), and what only helps to follow a run (debug).
void logCritical(LogCategory category, const QString& event);
void logWarning(LogCategory category, const QString& event);
void logLine(LogCategory category, const QString& event);
void logDebug(LogCategory category, const QString& event);

// The line a message becomes on standard error. Lexwick's own lines already name it; others
// keep their category ("qt.qpa.xcb: …"). For the journal, each line starts with its syslog
// priority ("<4>" for a warning), which is how it tells the levels of a stream apart.
QByteArray formatLogLine(QtMsgType type, const char* category, const QString& message,
                         bool forJournal);

// Whether standard error is the journal's stream: JOURNAL_STREAM names its device and inode.
bool standardErrorIsJournal();

// Writes every message of the process as formatLogLine does.
void installLogHandler();

} // namespace lexwick
