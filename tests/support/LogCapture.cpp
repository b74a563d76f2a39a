// SPDX-License-Identifier: MIT
#include "LogCapture.h"

#include <QMutexLocker>

#include <cstring>

namespace lexwick::test {

LogCapture* LogCapture::s_active = nullptr;

LogCapture::LogCapture()
{
    s_active = this;
    m_previous = qInstallMessageHandler(&LogCapture::handle);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    s_active = nullptr;
}

QStringList LogCapture::lines() const
{
    QStringList lines;
    for (const Entry& entry : entries())
        lines << entry.line;
    return lines;
}

QList<LogCapture::Entry> LogCapture::entries() const
{
    QMutexLocker lock(&m_mutex);
    return m_entries;
}

std::optional<LogCapture::Entry> LogCapture::find(const QString& start) const
{
    for (const Entry& entry : entries()) {
        if (entry.line.startsWith(start))
            return entry;
    }
    return std::nullopt;
}

void LogCapture::clear()
{
    QMutexLocker lock(&m_mutex);
    m_entries.clear();
}

void LogCapture::handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    LogCapture* capture = s_active;
    if (capture && context.category && std::strncmp(context.category, "lexwick.", 8) == 0) {
        QMutexLocker lock(&capture->m_mutex);
        capture->m_entries.append({type, QString::fromLatin1(context.category), message});
        return;
    }
    if (capture && capture->m_previous)
        capture->m_previous(type, context, message);
}

} // namespace lexwick::test
