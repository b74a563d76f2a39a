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
#include <stop_token>
#include <utility>

namespace lexwick {

using HttpHeaders = QList<std::pair<QByteArray, QByteArray>>;

struct HttpRequest {
    QByteArray method = "GET";
    QUrl url;
    HttpHeaders headers;
    QByteArray body;
    // Counted from the last sign of life of the transfer.
    std::chrono::milliseconds timeout = std::chrono::seconds(60);
};

struct HttpResponse {
    int statusCode = 0;
    HttpHeaders headers;
    QByteArray body;

    // The first header of that name, compared without regard to case; empty when absent.
    QByteArray header(QByteArrayView name) const;
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
