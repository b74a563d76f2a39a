// SPDX-License-Identifier: MIT
#include "BackgroundTestHttpServer.h"

namespace lexwick::test {

BackgroundTestHttpServer::BackgroundTestHttpServer(const QHostAddress& address)
    : m_context(new QObject)
{
    m_context->moveToThread(&m_thread);
    m_thread.start();
    m_url = onServerThread([this, address] {
        m_server = new TestHttpServer(address);
        return m_server->url();
    });
}

BackgroundTestHttpServer::~BackgroundTestHttpServer()
{
    onServerThread([this] { delete m_server; });
    // Deleted when the thread finishes.
    m_context->deleteLater();
    m_thread.quit();
    m_thread.wait();
}

QUrl BackgroundTestHttpServer::url(const QString& path) const
{
    QUrl url = m_url;
    url.setPath(path);
    return url;
}

} // namespace lexwick::test
