// SPDX-License-Identifier: MIT
#include "localmodel/BlockingProbe.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QTcpSocket>

#include <algorithm>
#include <limits>

namespace lexwick::blockingprobe {

namespace {

int remainingMs(const QDeadlineTimer& deadline)
{
    return int(std::clamp<qint64>(deadline.remainingTime(), 0, std::numeric_limits<int>::max()));
}

} // namespace

std::optional<Answer> parseResponse(const QByteArray& data, bool closed)
{
    const Answer noAnswer(std::unexpect, Failure::noAnswer);
    const bool mayStillBeHttp = QByteArrayView("HTTP/1.").startsWith(data);
    if (!data.startsWith("HTTP/1.") && (closed || !mayStillBeHttp))
        return noAnswer;
    const qsizetype headEnd = data.indexOf("\r\n\r\n");
    if (headEnd < 0 && closed)
        return noAnswer;
    if (headEnd < 0)
        return std::nullopt;
    const QList<QByteArray> lines = data.left(headEnd).split('\n');
    const QList<QByteArray> statusLine = lines.first().trimmed().split(' ');
    bool ok = false;
    const int status = statusLine.value(1).toInt(&ok);
    if (!ok || status < 100 || status > 599)
        return noAnswer;
    std::optional<qsizetype> length;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray name = lines[i].left(colon).trimmed();
        const QByteArray value = lines[i].mid(colon + 1).trimmed();
        if (name.compare("transfer-encoding", Qt::CaseInsensitive) == 0)
            return Answer(std::unexpect, Failure::unsupported);
        if (name.compare("content-length", Qt::CaseInsensitive) == 0) {
            length = value.toLongLong(&ok);
            if (!ok || *length < 0)
                return noAnswer;
        }
    }
    const QByteArray body = data.mid(headEnd + 4);
    if (length && body.size() >= *length)
        return Response{status, body.left(*length)};
    if (!closed)
        return std::nullopt;
    if (length) // cut short
        return noAnswer;
    return Response{status, body};
}

// HTTP/1.0 keeps the answer simple: no chunks, and the body ends where the connection does.
std::optional<Answer> get(const QUrl& url, QDeadlineTimer deadline, qsizetype maxSize,
                          const QByteArray& bearerToken)
{
    QTcpSocket socket;
    // The address is a loopback one; it must not be handed to a proxy either.
    socket.setProxy(QNetworkProxy::NoProxy);
    const quint16 port = quint16(url.port(80));
    if (QHostAddress address; address.setAddress(url.host()))
        socket.connectToHost(address, port);
    else
        socket.connectToHost(url.host(), port); // "localhost"
    if (!socket.waitForConnected(remainingMs(deadline))) {
        if (deadline.hasExpired())
            return std::nullopt;
        return Answer(std::unexpect, Failure::noAnswer); // refused, or no such host
    }

    QByteArray host = url.host(QUrl::FullyEncoded).toUtf8();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (url.port() != -1)
        host += ':' + QByteArray::number(url.port());
    const QByteArray authorization =
        bearerToken.isEmpty() ? QByteArray() : "Authorization: Bearer " + bearerToken + "\r\n";
    socket.write("GET " + url.path(QUrl::FullyEncoded).toUtf8() + " HTTP/1.0\r\nHost: " + host +
                 "\r\nAccept: application/json\r\n" + authorization + "Connection: close\r\n\r\n");

    QByteArray data;
    for (;;) {
        data += socket.readAll();
        if (data.size() > maxSize)
            return Answer(std::unexpect, Failure::noAnswer);
        if (auto parsed = parseResponse(data, socket.state() != QAbstractSocket::ConnectedState))
            return parsed;
        // The request goes out while this waits; false means out of time, or closed.
        if (!socket.waitForReadyRead(remainingMs(deadline))) {
            if (deadline.hasExpired())
                return std::nullopt;
            data += socket.readAll();
            return parseResponse(data, true); // what came is all there is
        }
    }
}

} // namespace lexwick::blockingprobe
