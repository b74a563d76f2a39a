// SPDX-License-Identifier: MIT
#pragma once

#include "TestHttpServer.h"

#include <QThread>

#include <type_traits>

namespace lexwick::test {

// A TestHttpServer on a thread of its own, so that it answers while the test's thread is
// blocked (code that waits on a socket without running the event loop). Every call waits
// until the server's thread has carried it out; a handler runs on the server's thread.
class BackgroundTestHttpServer {
    template <typename F> auto onServerThread(F function) const
    {
        if constexpr (std::is_void_v<decltype(function())>) {
            QMetaObject::invokeMethod(m_context, std::move(function), Qt::BlockingQueuedConnection);
        } else {
            decltype(function()) result{};
            QMetaObject::invokeMethod(m_context, std::move(function), Qt::BlockingQueuedConnection,
                                      &result);
            return result;
        }
    }

public:
    explicit BackgroundTestHttpServer(const QHostAddress& address = QHostAddress::LocalHost);
    ~BackgroundTestHttpServer();
    BackgroundTestHttpServer(const BackgroundTestHttpServer&) = delete;
    BackgroundTestHttpServer& operator=(const BackgroundTestHttpServer&) = delete;

    quint16 port() const { return m_url.port(); }
    QUrl url(const QString& path = QStringLiteral("/")) const;

    void enqueue(ScriptedReply reply)
    {
        onServerThread([&] { m_server->enqueue(std::move(reply)); });
    }
    void setDefaultReply(ScriptedReply reply)
    {
        onServerThread([&] { m_server->setDefaultReply(std::move(reply)); });
    }
    void setHandler(TestHttpServer::Handler handler)
    {
        onServerThread([&] { m_server->setHandler(std::move(handler)); });
    }
    void setKeepAlive(bool keepAlive)
    {
        onServerThread([&] { m_server->setKeepAlive(keepAlive); });
    }
    QList<ReceivedRequest> requests() const
    {
        return onServerThread([this] { return m_server->requests(); });
    }

private:
    QThread m_thread;
    QObject* m_context;
    TestHttpServer* m_server = nullptr;
    QUrl m_url;
};

} // namespace lexwick::test
