// SPDX-License-Identifier: MIT
#pragma once

#include "core/HttpClient.h"

#include <QHostAddress>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

#include <chrono>
#include <deque>
#include <functional>

class QTcpSocket;

namespace lexwick::test {

// What the server answers to one request.
struct ScriptedReply {
    enum class Ending {
        complete,         // the whole answer
        dropBeforeAnswer, // close the connection without a word
        dropMidBody,      // headers and half the body, then close
        resetMidBody,     // headers and half the body, then a reset
        never,            // keep the connection open and never answer
        endless,          // headers, then a chunked body of 'x's that never ends (see below)
        streamed,         // headers, then each of chunks as a chunk of its own, then the end
        streamThenStall   // the same, but the body never ends: the connection stays open
    };
    // An endless body falls silent, its connection still open, after this much: a client that
    // never cuts it off cannot exhaust the machine.
    static constexpr qint64 endlessLimit = 64 * 1024 * 1024;

    int status = 200;
    HttpHeaders headers;
    QByteArray body;
    std::chrono::milliseconds delay{0};
    Ending ending = Ending::complete;
    // A streamed body's pieces, written one by one with the interval between them.
    QList<QByteArray> chunks;
    std::chrono::milliseconds chunkInterval{0};

    static ScriptedReply json(int status, const QByteArray& body);
    // A text/event-stream answer, one chunk per event data (each sent as "data: …" and a blank
    // line); the body ends after them, or stalls when told.
    static ScriptedReply eventStream(const QList<QByteArray>& data,
                                     std::chrono::milliseconds interval = {},
                                     Ending ending = Ending::streamed);
    static ScriptedReply withEnding(Ending ending);
    // The body sent compressed with the "deflate" content coding (a zlib stream).
    static ScriptedReply deflated(int status, const QByteArray& body);
};

struct ReceivedRequest {
    QByteArray method;
    QByteArray path;
    HttpHeaders headers;
    QByteArray body;

    QByteArray header(QByteArrayView name) const;
    QJsonObject json() const;
};

// A real HTTP/1.1 server on a loopback address and an ephemeral port. Each test scripts its
// answers; every request it receives is recorded.
class TestHttpServer : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<ScriptedReply(const ReceivedRequest&)>;

    explicit TestHttpServer(const QHostAddress& address = QHostAddress::LocalHost);

    quint16 port() const { return m_server.serverPort(); }
    QUrl url(const QString& path = QStringLiteral("/")) const;

    // Replies are used in order; once they are used up, the default one answers.
    void enqueue(ScriptedReply reply) { m_queue.push_back(std::move(reply)); }
    void setDefaultReply(ScriptedReply reply) { m_default = std::move(reply); }
    // Decides every answer itself, ahead of the queue.
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // Keeps each connection open after a complete answer, so that the client reuses it.
    void setKeepAlive(bool keepAlive) { m_keepAlive = keepAlive; }
    // Connections accepted so far.
    int connections() const { return m_connections; }
    // Body bytes sent so far in endless answers.
    qint64 endlessBytesSent() const { return m_endlessBytesSent; }
    // Connections the client has closed, or that ended otherwise, so far.
    int closedConnections() const { return m_closedConnections; }

    const QList<ReceivedRequest>& requests() const { return m_requests; }

    // A port on which nothing listens: connections to it are refused.
    static quint16 refusedPort();

private:
    void onReadyRead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const ScriptedReply& reply);
    void stream(QTcpSocket* socket, const ScriptedReply& reply);

    QTcpServer m_server;
    std::deque<ScriptedReply> m_queue;
    ScriptedReply m_default;
    Handler m_handler;
    QList<ReceivedRequest> m_requests;
    bool m_keepAlive = false;
    int m_connections = 0;
    qint64 m_endlessBytesSent = 0;
    int m_closedConnections = 0;
};

} // namespace lexwick::test
