// SPDX-License-Identifier: MIT
#include "TestHttpServer.h"

#include <QJsonDocument>
#include <QTcpSocket>
#include <QTimer>

namespace lexwick::test {

namespace {

const char* bufferProperty = "lexwick_buffer";

// Splits one complete request off the front of the buffer; nothing while it is incomplete.
std::optional<ReceivedRequest> takeRequest(QByteArray& buffer)
{
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return std::nullopt;
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    ReceivedRequest request;
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    request.method = requestLine.value(0);
    request.path = requestLine.value(1);
    qsizetype contentLength = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray name = lines[i].left(colon).trimmed();
        const QByteArray value = lines[i].mid(colon + 1).trimmed();
        request.headers.append({name, value});
        if (name.compare("content-length", Qt::CaseInsensitive) == 0)
            contentLength = value.toLongLong();
    }
    const qsizetype total = headEnd + 4 + contentLength;
    if (buffer.size() < total)
        return std::nullopt;
    request.body = buffer.mid(headEnd + 4, contentLength);
    buffer.remove(0, total);
    return request;
}

} // namespace

ScriptedReply ScriptedReply::json(int status, const QByteArray& body)
{
    return ScriptedReply{
        .status = status, .headers = {{"Content-Type", "application/json"}}, .body = body};
}

ScriptedReply ScriptedReply::eventStream(const QList<QByteArray>& data,
                                         std::chrono::milliseconds interval, Ending ending)
{
    ScriptedReply reply{.status = 200,
                        .headers = {{"Content-Type", "text/event-stream; charset=utf-8"}},
                        .ending = ending,
                        .chunkInterval = interval};
    for (const QByteArray& event : data)
        reply.chunks.append("data: " + event + "\n\n");
    return reply;
}

ScriptedReply ScriptedReply::withEnding(Ending ending)
{
    ScriptedReply reply;
    reply.ending = ending;
    return reply;
}

ScriptedReply ScriptedReply::deflated(int status, const QByteArray& body)
{
    // qCompress puts a four-byte length before the zlib stream.
    return ScriptedReply{.status = status,
                         .headers = {{"Content-Type", "application/json"},
                                     {"Content-Encoding", "deflate"}},
                         .body = qCompress(body, 9).mid(4)};
}

QByteArray ReceivedRequest::header(QByteArrayView name) const
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QJsonObject ReceivedRequest::json() const
{
    return QJsonDocument::fromJson(body).object();
}

TestHttpServer::TestHttpServer(const QHostAddress& address)
{
    if (!m_server.listen(address, 0))
        qFatal("TestHttpServer: cannot listen: %s", qPrintable(m_server.errorString()));
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            ++m_connections;
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this] { ++m_closedConnections; });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QUrl TestHttpServer::url(const QString& path) const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(m_server.serverAddress().toString());
    url.setPort(port());
    url.setPath(path);
    return url;
}

quint16 TestHttpServer::refusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort(); // closed again when probe goes
}

void TestHttpServer::onReadyRead(QTcpSocket* socket)
{
    QByteArray buffer = socket->property(bufferProperty).toByteArray() + socket->readAll();
    while (std::optional<ReceivedRequest> request = takeRequest(buffer)) {
        m_requests.append(*request);
        ScriptedReply reply = m_default;
        if (m_handler) {
            reply = m_handler(*request);
        } else if (!m_queue.empty()) {
            reply = std::move(m_queue.front());
            m_queue.pop_front();
        }
        if (reply.delay.count() > 0)
            QTimer::singleShot(reply.delay, socket,
                               [this, socket, reply] { answer(socket, reply); });
        else
            answer(socket, reply);
    }
    socket->setProperty(bufferProperty, buffer);
}

void TestHttpServer::answer(QTcpSocket* socket, const ScriptedReply& reply)
{
    using Ending = ScriptedReply::Ending;
    if (reply.ending == Ending::never)
        return;
    if (reply.ending == Ending::dropBeforeAnswer) {
        socket->abort();
        return;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + " Scripted\r\n";
    for (const auto& [name, value] : reply.headers)
        head += name + ": " + value + "\r\n";
    if (reply.ending == Ending::streamed || reply.ending == Ending::streamThenStall) {
        socket->write(head + "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n");
        stream(socket, reply);
        return;
    }
    if (reply.ending == Ending::endless) {
        socket->write(head + "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n");
        // Written as the socket drains, so that the server holds no more than a few chunks.
        const QByteArray body(64 * 1024, 'x');
        const QByteArray chunk = QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n";
        const auto feed = [this, socket, chunk, size = body.size()] {
            while (socket->state() == QAbstractSocket::ConnectedState &&
                   socket->bytesToWrite() < 4 * chunk.size() &&
                   m_endlessBytesSent < ScriptedReply::endlessLimit) {
                socket->write(chunk);
                m_endlessBytesSent += size;
            }
        };
        connect(socket, &QTcpSocket::bytesWritten, socket, feed);
        feed();
        return;
    }
    head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    const bool keepOpen = m_keepAlive && reply.ending == Ending::complete;
    head += keepOpen ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    socket->write(head);
    if (reply.ending == Ending::complete) {
        socket->write(reply.body);
        if (!keepOpen)
            socket->disconnectFromHost();
        return;
    }
    socket->write(reply.body.left(reply.body.size() / 2));
    if (reply.ending == Ending::resetMidBody) {
        socket->flush();
        socket->abort();
    } else {
        socket->disconnectFromHost();
    }
}

// Writes the reply's chunks, the first at once and each next after the interval.
void TestHttpServer::stream(QTcpSocket* socket, const ScriptedReply& reply)
{
    const auto writeChunk = [socket](const QByteArray& chunk) {
        socket->write(QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n");
        socket->flush();
    };
    const auto finish = [socket, ending = reply.ending] {
        if (ending != ScriptedReply::Ending::streamed)
            return; // stalls, the connection open
        socket->write("0\r\n\r\n");
        socket->disconnectFromHost();
    };
    if (reply.chunkInterval.count() == 0) {
        for (const QByteArray& chunk : reply.chunks)
            writeChunk(chunk);
        finish();
        return;
    }
    auto* timer = new QTimer(socket);
    timer->setInterval(reply.chunkInterval);
    const auto next = std::make_shared<qsizetype>(0);
    const auto tick = [timer, next, chunks = reply.chunks, writeChunk, finish] {
        if (*next == chunks.size()) {
            timer->stop();
            finish();
            return;
        }
        writeChunk(chunks.at((*next)++));
    };
    connect(timer, &QTimer::timeout, socket, tick);
    tick();
    timer->start();
}

} // namespace lexwick::test
