// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace lexwick {

// One event of a text/event-stream body: its type ("message" unless the stream names one) and
// its data lines joined by line feeds. Both are bytes: the data is decoded once it is whole,
// so a chunk may end inside a UTF-8 sequence.
struct ServerSentEvent {
    QByteArray type;
    QByteArray data;

    bool operator==(const ServerSentEvent&) const = default;
};

// Reads a stream of server-sent events as its bytes arrive. Lines end with CR LF, LF or CR, and
// a chunk may end anywhere, also between the CR and the LF of one line break. Comments
// (keep-alive lines starting with ':') and the fields id and retry are skipped; an event whose
// data is "[DONE]" ends the stream, and whatever follows it is ignored.
class ServerSentEventReader {
public:
    // The same cap as a whole body's.
    static constexpr qint64 maxSize = 8 * 1024 * 1024;

    // The events that the bytes complete, in order. Once the stream has grown over maxSize in
    // all, it is refused: nothing more is read, and tooLarge() says so.
    QList<ServerSentEvent> feed(QByteArrayView bytes);

    bool isDone() const { return m_done; }
    bool tooLarge() const { return m_tooLarge; }

private:
    void takeLine(QByteArrayView line, QList<ServerSentEvent>& events);

    QByteArray m_pending;    // the start of a line whose end has not come yet
    qsizetype m_scanned = 0; // how much of m_pending holds no line break
    bool m_afterCarriageReturn = false;
    QByteArray m_type;
    QByteArray m_data;
    bool m_hasData = false;
    qint64 m_total = 0;
    bool m_done = false;
    bool m_tooLarge = false;
};

} // namespace lexwick
