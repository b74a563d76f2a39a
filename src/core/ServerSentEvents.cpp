// SPDX-License-Identifier: MIT
#include "core/ServerSentEvents.h"

namespace lexwick {

QList<ServerSentEvent> ServerSentEventReader::feed(QByteArrayView bytes)
{
    QList<ServerSentEvent> events;
    if (m_done || m_tooLarge || bytes.isEmpty())
        return events;
    m_total += bytes.size();
    if (m_total > maxSize) {
        m_tooLarge = true;
        m_pending.clear();
        return events;
    }
    // A CR that ended the last chunk may be followed by the LF of the same line break.
    if (m_afterCarriageReturn && bytes.front() == '\n')
        bytes = bytes.sliced(1);
    m_afterCarriageReturn = false;
    m_pending.append(bytes);

    qsizetype start = 0;
    for (qsizetype i = m_scanned; i < m_pending.size() && !m_done; ++i) {
        const char c = m_pending.at(i);
        if (c != '\n' && c != '\r')
            continue;
        takeLine(QByteArrayView(m_pending).sliced(start, i - start), events);
        if (c == '\r') {
            if (i + 1 == m_pending.size())
                m_afterCarriageReturn = true;
            else if (m_pending.at(i + 1) == '\n')
                ++i;
        }
        start = i + 1;
    }
    if (m_done) {
        m_pending.clear();
        m_scanned = 0;
        return events;
    }
    m_pending.remove(0, start);
    m_scanned = m_pending.size();
    return events;
}

void ServerSentEventReader::takeLine(QByteArrayView line, QList<ServerSentEvent>& events)
{
    if (line.isEmpty()) {
        // A blank line ends an event; one without data is none.
        if (m_hasData) {
            if (m_data == "[DONE]") {
                m_done = true;
            } else {
                events.append(ServerSentEvent{
                    m_type.isEmpty() ? QByteArrayLiteral("message") : m_type, std::move(m_data)});
            }
        }
        m_type.clear();
        m_data.clear();
        m_hasData = false;
        return;
    }
    if (line.front() == ':')
        return; // a comment, often sent to keep the connection alive
    const qsizetype colon = line.indexOf(':');
    const QByteArrayView field = colon < 0 ? line : line.first(colon);
    QByteArrayView value = colon < 0 ? QByteArrayView() : line.sliced(colon + 1);
    if (value.startsWith(' '))
        value = value.sliced(1);
    if (field == "data") {
        if (m_hasData) {
            m_data.append('\n');
            m_data.append(value);
        } else {
            m_data = value.toByteArray();
            m_hasData = true;
        }
    } else if (field == "event") {
        m_type = value.toByteArray();
    }
}

} // namespace lexwick
