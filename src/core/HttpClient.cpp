// SPDX-License-Identifier: MIT
#include "core/HttpClient.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cstring>

#include <memory>

namespace lexwick {

namespace {

// Why the client itself ended a transfer; Qt reports each of these as an abort.
enum class Ending { none, stopped, timedOut, tooLarge, refused, complete };

// A request body that can be read once. Qt silently sends a request again when its connection
// closes before the answer, and does so by rewinding the body: refusing the rewind turns that
// resend into a failure of its own (ContentReSendError), so every attempt is one request.
class OneShotBody : public QIODevice {
public:
    OneShotBody(QByteArray data, QObject* parent)
        : QIODevice(parent)
        , m_data(std::move(data))
    {
        open(QIODevice::ReadOnly);
    }
    qint64 size() const override { return m_data.size(); }
    bool seek(qint64 position) override
    {
        // Qt may rewind before it has sent anything; after that, never.
        return !m_started && position == 0 && QIODevice::seek(0);
    }
    bool reset() override { return seek(0); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 count = std::min(maxSize, m_data.size() - pos());
        if (count <= 0)
            return count == 0 && pos() >= m_data.size() ? -1 : 0;
        m_started = true;
        std::memcpy(data, m_data.constData() + pos(), size_t(count));
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_data;
    bool m_started = false;
};

struct Transfer {
    Ending ending = Ending::none;
    QByteArray body;
    qint64 received = 0;
    bool heardBack = false;
    std::optional<HttpResponse> streamedHead; // set once a 2xx answer's body goes to onBody
};

constexpr int maxRedirects = 10;

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool hasBody(const HttpRequest& request)
{
    return !request.body.isEmpty() || (request.method != "GET" && request.method != "HEAD");
}

// Resumes the awaiting coroutine the moment the reply finishes, not a turn later: a transfer
// ended while the client is destroyed must still complete its coroutine.
class ReplyFinished {
public:
    explicit ReplyFinished(QNetworkReply* reply)
        : m_reply(reply)
    {
    }
    bool await_ready() const noexcept { return m_reply->isFinished(); }
    void await_suspend(std::coroutine_handle<> awaiting)
    {
        m_connection = QObject::connect(
            m_reply, &QNetworkReply::finished, m_reply,
            [connection = &m_connection, awaiting] {
                QObject::disconnect(*connection);
                awaiting.resume();
            },
            Qt::DirectConnection);
    }
    void await_resume() const noexcept {}

private:
    QNetworkReply* m_reply;
    QMetaObject::Connection m_connection;
};

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};

bool sameOrigin(const QUrl& a, const QUrl& b)
{
    const auto port = [](const QUrl& url) { return url.port(url.scheme() == u"https" ? 443 : 80); };
    return a.scheme() == b.scheme() && a.host() == b.host() && port(a) == port(b);
}

// Qt's codes below 200 are failures of the connection or the proxy; most others describe an
// HTTP answer that did arrive. A resend Qt could not make means the connection was lost.
bool isTransportFailure(QNetworkReply::NetworkError code)
{
    return (code != QNetworkReply::NoError && code < QNetworkReply::ContentAccessDenied) ||
           code == QNetworkReply::ContentReSendError;
}

TransportError::Kind transportKind(QNetworkReply::NetworkError code)
{
    switch (code) {
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError:
        return TransportError::Kind::timedOut;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ContentReSendError:
        return TransportError::Kind::networkConnectionLost;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::ProxyConnectionRefusedError:
        return TransportError::Kind::cannotConnectToHost;
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::ProxyNotFoundError:
        return TransportError::Kind::cannotFindHost;
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return TransportError::Kind::notConnectedToInternet;
    case QNetworkReply::OperationCanceledError:
        return TransportError::Kind::cancelled;
    default:
        return TransportError::Kind::other;
    }
}

} // namespace

QByteArray HttpResponse::header(QByteArrayView name) const
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

HttpClient::HttpClient(QObject* parent)
    : QObject(parent)
{
}

HttpClient::~HttpClient()
{
    const QSet<QNetworkReply*> replies = m_inFlight;
    for (QNetworkReply* reply : replies)
        reply->abort();
}

QCoro::Task<Result<HttpResponse>> HttpClient::send(HttpRequest request, std::stop_token stop)
{
    // Redirects are followed here rather than by Qt: Qt's own following on a kept-alive
    // connection now and then reports a failure although the answer arrived, and sends the
    // request again.
    const QUrl origin = request.url;
    for (int redirects = 0;; ++redirects) {
        auto exchange = sendOnce(request, stop);
        Result<HttpResponse> response = co_await std::move(exchange);
        if (!response || !isRedirect(response->statusCode))
            co_return response;
        const QByteArray location = response->header("Location");
        if (location.isEmpty())
            co_return response;
        const QUrl target = request.url.resolved(QUrl::fromEncoded(location));
        const QString shown = target.toDisplayString(QUrl::RemoveUserInfo);
        // Following would send the body a second time; the APIs we post to do not redirect.
        if (hasBody(request)) {
            co_return std::unexpected(TransportError{
                TransportError::Kind::other,
                QStringLiteral("Refused to follow a redirect of a %1 request to %2")
                    .arg(QString::fromLatin1(request.method), shown)});
        }
        // An API key must never travel to another host.
        if (!sameOrigin(origin, target)) {
            co_return std::unexpected(
                TransportError{TransportError::Kind::other,
                               QStringLiteral("Refused to follow a redirect to another host: %1").arg(shown)});
        }
        if (redirects == maxRedirects) {
            co_return std::unexpected(
                TransportError{TransportError::Kind::other, QStringLiteral("Too many redirects.")});
        }
        request.url = target;
    }
}

QCoro::Task<Result<HttpResponse>> HttpClient::sendOnce(HttpRequest request, std::stop_token stop)
{
    if (stop.stop_requested())
        co_return std::unexpected(CancellationError{});

    QNetworkRequest networkRequest(request.url);
    for (const auto& [name, value] : request.headers)
        networkRequest.setRawHeader(name, value);
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                QNetworkRequest::ManualRedirectPolicy);
    // Qt checks the inflation ratio only past its threshold; our cap applies to the inflated
    // size from the first byte, and the check must not end a body the cap allows.
    networkRequest.setDecompressedSafetyCheckThreshold(-1);

    QNetworkReply* r = nullptr;
    if (hasBody(request)) {
        networkRequest.setHeader(QNetworkRequest::ContentLengthHeader, request.body.size());
        // Read straight from the device, so that Qt keeps no copy it could resend from.
        networkRequest.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
        auto* body = new OneShotBody(request.body, nullptr);
        r = m_manager.sendCustomRequest(networkRequest, request.method, body);
        body->setParent(r);
    } else {
        r = m_manager.sendCustomRequest(networkRequest, request.method);
    }
    std::unique_ptr<QNetworkReply, DeleteLater> reply(r);
    // Unbounded, Qt's network thread reads on while this thread is busy and hands the data over
    // in one piece once it catches up: a body far over the cap would be held before the check
    // below ever ran. Bounded, Qt stops reading until the data has been taken.
    r->setReadBufferSize(1024 * 1024);
    m_inFlight.insert(r);
    auto transfer = std::make_shared<Transfer>();

    // Qt's own transfer time-out would be indistinguishable from an abort; keep our own. Until
    // the first byte of the answer it may run on a bound of its own.
    QTimer idle;
    idle.setSingleShot(true);
    idle.setInterval(request.firstByteTimeout.value_or(request.timeout));
    const auto endTransfer = [r, transfer](Ending ending) {
        if (transfer->ending == Ending::none && r->isRunning()) {
            transfer->ending = ending;
            r->abort();
        }
    };
    const auto heardBack = [&idle, transfer, gap = request.timeout] {
        if (!transfer->heardBack) {
            transfer->heardBack = true;
            idle.setInterval(gap);
        }
        idle.start();
    };
    QObject::connect(&idle, &QTimer::timeout, r, [endTransfer] { endTransfer(Ending::timedOut); });
    QObject::connect(r, &QNetworkReply::uploadProgress, &idle, qOverload<>(&QTimer::start));
    // Headers alone are a sign of life, not the answer's first byte: a model server may send
    // them before it has loaded the model.
    QObject::connect(r, &QNetworkReply::metaDataChanged, &idle, qOverload<>(&QTimer::start));
    QObject::connect(r, &QNetworkReply::downloadProgress, &idle,
                     [heardBack, &idle](qint64 received) {
                         if (received > 0)
                             heardBack();
                         else
                             idle.start();
                     });
    const auto onBody = request.onBody;
    QObject::connect(r, &QNetworkReply::readyRead, r, [r, transfer, endTransfer, onBody] {
        const QByteArray chunk = r->readAll();
        transfer->received += chunk.size();
        if (transfer->received > maxBodySize) {
            endTransfer(Ending::tooLarge);
            return;
        }
        if (onBody && !transfer->streamedHead) {
            const int status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (status >= 200 && status < 300)
                transfer->streamedHead = HttpResponse{status, r->rawHeaderPairs(), {}};
        }
        if (!transfer->streamedHead) {
            transfer->body += chunk;
            return;
        }
        switch (onBody(*transfer->streamedHead, chunk)) {
        case BodyReading::more:
            break;
        case BodyReading::complete:
            endTransfer(Ending::complete);
            break;
        case BodyReading::refused:
            endTransfer(Ending::refused);
            break;
        }
    });
    idle.start();

    // The stop may come from any thread; the reply is aborted on its own.
    std::stop_callback onStop(stop, [r, endTransfer] {
        QMetaObject::invokeMethod(
            r, [endTransfer] { endTransfer(Ending::stopped); }, Qt::QueuedConnection);
    });

    co_await ReplyFinished(r);
    m_inFlight.remove(r);
    idle.stop();

    switch (transfer->ending) {
    case Ending::stopped:
        co_return std::unexpected(CancellationError{});
    case Ending::timedOut:
        co_return std::unexpected(TransportError{TransportError::Kind::timedOut,
                                                 QStringLiteral("The request timed out.")});
    case Ending::tooLarge:
        co_return std::unexpected(
            TransportError{TransportError::Kind::other, QStringLiteral("The response is larger than 8 MiB.")});
    case Ending::refused:
        co_return std::unexpected(TransportError{TransportError::Kind::other,
                                                 QStringLiteral("The answer could not be read.")});
    case Ending::complete:
        co_return std::move(*transfer->streamedHead);
    case Ending::none:
        break;
    }

    const auto code = r->error();
    const QVariant status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // Qt flags a redirect of a request with a body as an error of its own; the answer arrived,
    // and send() decides about it.
    if (status.isValid() && isRedirect(status.toInt()))
        co_return HttpResponse{status.toInt(), r->rawHeaderPairs(), {}};
    if (isTransportFailure(code))
        co_return std::unexpected(TransportError{transportKind(code), r->errorString()});
    // Qt reports an error of its own for a status below 400 only when it could not deliver
    // the body (a broken compressed stream, for one): that body is not the whole answer.
    if (code != QNetworkReply::NoError && status.isValid() && status.toInt() < 400)
        co_return std::unexpected(TransportError{TransportError::Kind::other, r->errorString()});
    if (!status.isValid()) {
        const QString description = code == QNetworkReply::NoError
                                        ? QStringLiteral("The server's answer is not HTTP.")
                                        : r->errorString();
        co_return std::unexpected(TransportError{TransportError::Kind::other, description});
    }

    // What is left after the last readyRead.
    if (onBody && !transfer->streamedHead && status.toInt() >= 200 && status.toInt() < 300)
        transfer->streamedHead = HttpResponse{status.toInt(), r->rawHeaderPairs(), {}};
    if (r->isOpen() && r->bytesAvailable() > 0) {
        const QByteArray rest = r->readAll();
        transfer->received += rest.size();
        if (transfer->received > maxBodySize) {
            co_return std::unexpected(TransportError{
                TransportError::Kind::other, QStringLiteral("The response is larger than 8 MiB.")});
        }
        if (!transfer->streamedHead)
            transfer->body += rest;
        else if (onBody(*transfer->streamedHead, rest) == BodyReading::refused)
            co_return std::unexpected(TransportError{
                TransportError::Kind::other, QStringLiteral("The answer could not be read.")});
    }
    co_return HttpResponse{status.toInt(), r->rawHeaderPairs(), std::move(transfer->body)};
}

} // namespace lexwick
