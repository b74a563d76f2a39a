#include "core/HttpClient.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace lexwick {

namespace {

// Why the client itself ended a transfer; Qt reports each of these as an abort.
enum class Ending { none, stopped, timedOut, tooLarge, redirectRefused };

struct Transfer {
    Ending ending = Ending::none;
    QByteArray body;
    QUrl refusedRedirect;
};

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

// Qt's codes below 200 are failures of the connection or the proxy; the others describe an
// HTTP answer that did arrive.
bool isTransportFailure(QNetworkReply::NetworkError code)
{
    return code != QNetworkReply::NoError && code < QNetworkReply::ContentAccessDenied;
}

TransportError::Kind transportKind(QNetworkReply::NetworkError code)
{
    switch (code) {
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError:
        return TransportError::Kind::timedOut;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::ProxyConnectionClosedError:
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
    if (stop.stop_requested())
        co_return std::unexpected(CancellationError{});

    QNetworkRequest networkRequest(request.url);
    for (const auto& [name, value] : request.headers)
        networkRequest.setRawHeader(name, value);
    // An API key must never travel to another host: each redirect is checked below.
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                QNetworkRequest::UserVerifiedRedirectPolicy);

    std::unique_ptr<QNetworkReply, DeleteLater> reply(
        m_manager.sendCustomRequest(networkRequest, request.method, request.body));
    QNetworkReply* const r = reply.get();
    m_inFlight.insert(r);
    auto transfer = std::make_shared<Transfer>();

    // Qt's own transfer time-out would be indistinguishable from an abort; keep our own.
    QTimer idle;
    idle.setSingleShot(true);
    idle.setInterval(request.timeout);
    const auto endTransfer = [r, transfer](Ending ending) {
        if (transfer->ending == Ending::none && r->isRunning()) {
            transfer->ending = ending;
            r->abort();
        }
    };
    QObject::connect(&idle, &QTimer::timeout, r, [endTransfer] { endTransfer(Ending::timedOut); });
    QObject::connect(r, &QNetworkReply::uploadProgress, &idle, qOverload<>(&QTimer::start));
    QObject::connect(r, &QNetworkReply::downloadProgress, &idle, qOverload<>(&QTimer::start));
    QObject::connect(r, &QNetworkReply::readyRead, r, [r, transfer, endTransfer] {
        transfer->body += r->readAll();
        if (transfer->body.size() > maxBodySize)
            endTransfer(Ending::tooLarge);
    });
    const QUrl origin = request.url;
    QObject::connect(r, &QNetworkReply::redirected, r,
                     [r, transfer, origin, endTransfer](const QUrl& target) {
                         if (sameOrigin(origin, target)) {
                             Q_EMIT r->redirectAllowed();
                         } else {
                             transfer->refusedRedirect = target;
                             endTransfer(Ending::redirectRefused);
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
        co_return std::unexpected(TransportError{
            TransportError::Kind::other, QStringLiteral("The response is larger than 8 MiB.")});
    case Ending::redirectRefused:
        co_return std::unexpected(TransportError{
            TransportError::Kind::other,
            QStringLiteral("Refused to follow a redirect to another host: %1")
                .arg(transfer->refusedRedirect.toDisplayString(QUrl::RemoveUserInfo))});
    case Ending::none:
        break;
    }

    const auto code = r->error();
    const QVariant status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (isTransportFailure(code))
        co_return std::unexpected(TransportError{transportKind(code), r->errorString()});
    if (!status.isValid()) {
        const QString description = code == QNetworkReply::NoError
                                        ? QStringLiteral("The server's answer is not HTTP.")
                                        : r->errorString();
        co_return std::unexpected(TransportError{TransportError::Kind::other, description});
    }

    if (r->isOpen())
        transfer->body += r->readAll();
    if (transfer->body.size() > maxBodySize) {
        co_return std::unexpected(TransportError{
            TransportError::Kind::other, QStringLiteral("The response is larger than 8 MiB.")});
    }
    co_return HttpResponse{status.toInt(), r->rawHeaderPairs(), std::move(transfer->body)};
}

} // namespace lexwick
