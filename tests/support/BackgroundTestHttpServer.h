#pragma once

#include "TestHttpServer.h"

#include <QThread>

namespace lexwick::test {

// A TestHttpServer on a thread of its own, so that it answers while the test's thread is
// blocked (code that waits on a socket without running the event loop). Every call waits
// until the server's thread has carried it out; a handler runs on the server's thread.
class BackgroundTestHttpServer {
public:
    explicit BackgroundTestHttpServer(const QHostAddress& address = QHostAddress::LocalHost);
    ~BackgroundTestHttpServer();
    BackgroundTestHttpServer(const BackgroundTestHttpServer&) = delete;
    BackgroundTestHttpServer& operator=(const BackgroundTestHttpServer&) = delete;

    quint16 port() const { return m_url.port(); }
    QUrl url(const QString& path = QStringLiteral("/")) const;

    void enqueue(ScriptedReply reply);
    void setDefaultReply(ScriptedReply reply);
    void setHandler(TestHttpServer::Handler handler);
    QList<ReceivedRequest> requests() const;

private:
    template <typename F> auto onServerThread(F function) const
    {
        decltype(function()) result{};
        QMetaObject::invokeMethod(m_context, std::move(function), Qt::BlockingQueuedConnection,
                                  &result);
        return result;
    }

    QThread m_thread;
    QObject* m_context;
    TestHttpServer* m_server = nullptr;
    QUrl m_url;
};

} // namespace lexwick::test
