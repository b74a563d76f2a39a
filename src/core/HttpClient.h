// SPDX-License-Identifier: MIT
#pragma once

#include "core/Error.h"

#include <QByteArray>
#include <QCoroTask>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QSet>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>
#include <utility>

namespace lexwick {

using HttpHeaders = QList<std::pair<QByteArray, QByteArray>>;

// How long a streamed answer may stay silent: until its first byte, and between two chunks. A
// long answer that keeps coming is never cut; a server that stops writing is a time-out.
struct StreamTimeouts {
    std::chrono::milliseconds firstByte;
    std::chrono::milliseconds chunkGap;

    // The providers' services.
    static constexpr StreamTimeouts services()
    {
        return {std::chrono::seconds(60), std::chrono::seconds(60)};
    }
    // A model server on this machine loads the model before its first word, which can take
    // minutes from a slow disk.
    static constexpr StreamTimeouts localModel()
    {
        return {std::chrono::minutes(5), std::chrono::seconds(60)};
    }
};

struct HttpResponse {
    int statusCode = 0;
    HttpHeaders headers;
    QByteArray body;

    // The first header of that name, compared without regard to case; empty when absent.
    QByteArray header(QByteArrayView name) const;
};

// What a reader of a body as it arrives makes of a chunk.
enum class BodyReading {
    more,     // read on
    complete, // the answer is whole: the transfer ends, and well, whatever the server sends on
    refused   // the transfer ends, and send() fails with TransportError::other
};

struct HttpRequest {
    QByteArray method = "GET";
    QUrl url;
    HttpHeaders headers;
    QByteArray body;
    // Counted from the last sign of life of the transfer.
    std::chrono::milliseconds timeout = std::chrono::seconds(60);
    // When set, the bound until the answer's first byte; timeout counts from there on.
    std::optional<std::chrono::milliseconds> firstByteTimeout;
    // When set, receives the body of a 2xx answer as it arrives, with the answer's status and
    // headers (its body empty); the response then has no body.
    std::function<BodyReading(const HttpResponse& head, QByteArrayView chunk)> onBody;

    // Streams with these bounds.
    void setStreamTimeouts(StreamTimeouts timeouts)
    {
        firstByteTimeout = timeouts.firstByte;
        timeout = timeouts.chunkGap;
    }
};

// The one HTTP client of the process, over one long-lived QNetworkAccessManager. Lives on the
// thread that created it; send() must be called there.
class HttpClient : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 maxBodySize = 8 * 1024 * 1024;

    explicit HttpClient(QObject* parent = nullptr);
    // Ends the transfers still under way: their coroutines finish with a cancelled transfer.
    ~HttpClient() override;

    // Sends the request and waits for the whole response. Any HTTP status is a response; the
    // errors are TransportError (no answer, a time-out, a body over maxBodySize, a refused
    // redirect to another origin or of a request with a body) and CancellationError (the stop
    // was requested). Each exchange sends the request once: a connection closed before the
    // answer is a lost connection, never a silent resend.
    QCoro::Task<Result<HttpResponse>> send(HttpRequest request, std::stop_token stop);

private:
    // One exchange, redirects not followed.
    QCoro::Task<Result<HttpResponse>> sendOnce(HttpRequest request, std::stop_token stop);

    QNetworkAccessManager m_manager;
    QSet<QNetworkReply*> m_inFlight;
};

} // namespace lexwick
