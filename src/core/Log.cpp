// SPDX-License-Identifier: MIT
#include "core/Log.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace lexwick {

Q_LOGGING_CATEGORY(lcApp, "lexwick.app")
Q_LOGGING_CATEGORY(lcTray, "lexwick.tray")
Q_LOGGING_CATEGORY(lcPopover, "lexwick.popover")
Q_LOGGING_CATEGORY(lcDbus, "lexwick.dbus")
Q_LOGGING_CATEGORY(lcHttp, "lexwick.http")
Q_LOGGING_CATEGORY(lcRouter, "lexwick.router")
Q_LOGGING_CATEGORY(lcSettings, "lexwick.settings")
Q_LOGGING_CATEGORY(lcHistory, "lexwick.history")

namespace {

QString line(const QString& event)
{
    return QStringLiteral("Lexwick: ") + event;
}

bool journal = false;

void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const QByteArray text = formatLogLine(type, context.category, message, journal);
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
    std::fflush(stderr);
}

} // namespace

void logCritical(LogCategory category, const QString& event)
{
    qCCritical(category).noquote() << line(event);
}

void logWarning(LogCategory category, const QString& event)
{
    qCWarning(category).noquote() << line(event);
}

void logLine(LogCategory category, const QString& event)
{
    qCInfo(category).noquote() << line(event);
}

void logDebug(LogCategory category, const QString& event)
{
    qCDebug(category).noquote() << line(event);
}

QByteArray formatLogLine(QtMsgType type, const char* category, const QString& message,
                         bool forJournal)
{
    QByteArray text;
    if (forJournal) {
        // sd-daemon's prefixes: the syslog priorities.
        switch (type) {
        case QtFatalMsg:
            text = "<2>";
            break;
        case QtCriticalMsg:
            text = "<3>";
            break;
        case QtWarningMsg:
            text = "<4>";
            break;
        case QtInfoMsg:
            text = "<6>";
            break;
        case QtDebugMsg:
            text = "<7>";
            break;
        }
    }
    const bool ours = category && std::strncmp(category, "lexwick", 7) == 0;
    if (category && !ours && std::strcmp(category, "default") != 0)
        text += QByteArray(category) + ": ";
    text += message.toUtf8();
    // The journal reads a stream line by line: a message of several lines keeps its level on
    // each.
    if (forJournal)
        text.replace('\n', QByteArray(1, '\n').append(text.left(3)));
    text += '\n';
    return text;
}

bool standardErrorIsJournal()
{
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    const qsizetype colon = stream.indexOf(':');
    if (colon <= 0)
        return false;
    bool deviceOk = false;
    bool inodeOk = false;
    const qulonglong device = stream.left(colon).toULongLong(&deviceOk);
    const qulonglong inode = stream.mid(colon + 1).toULongLong(&inodeOk);
    struct stat info {};
    if (!deviceOk || !inodeOk || fstat(STDERR_FILENO, &info) != 0)
        return false;
    return info.st_dev == device && info.st_ino == inode;
}

void installLogHandler()
{
    journal = standardErrorIsJournal();
    qInstallMessageHandler(&handle);
}

} // namespace lexwick
