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
    QMutexLocker lock(&m_mutex);
    return m_lines;
}

void LogCapture::clear()
{
    QMutexLocker lock(&m_mutex);
    m_lines.clear();
}

void LogCapture::handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    LogCapture* capture = s_active;
    if (capture && context.category && std::strcmp(context.category, "lexwick") == 0) {
        QMutexLocker lock(&capture->m_mutex);
        capture->m_lines << message;
        return;
    }
    if (capture && capture->m_previous)
        capture->m_previous(type, context, message);
}

} // namespace lexwick::test
