// SPDX-License-Identifier: MIT
#include "core/HttpClient.h"
#include "support/TestHttpServer.h"
#include "support/TestMain.h"

#include <QTest>

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

namespace {

QCoro::Task<void> sendInto(HttpClient& client, QUrl url, std::optional<Result<HttpResponse>>& out)
{
    auto task = client.send(HttpRequest{.url = url}, {});
    out = co_await std::move(task);
}

} // namespace

class HttpClientLifetimeTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // No coroutine is left waiting on a reply that went away with its client.
    void destroyedClientEndsItsTransfers()
    {
        TestHttpServer server;
        server.setDefaultReply(ScriptedReply::withEnding(ScriptedReply::Ending::never));
        auto client = std::make_unique<HttpClient>();
        std::optional<Result<HttpResponse>> first, second;
        sendInto(*client, server.url(), first);
        sendInto(*client, server.url(), second);
        QTRY_COMPARE(server.requests().size(), 2);
        client.reset();
        QTRY_VERIFY_WITH_TIMEOUT(first && second, 5000);
        QVERIFY(!first->has_value() && !second->has_value());
    }
};

LEXWICK_TEST(HttpClientLifetimeTest)
#include "HttpClientLifetimeTest.moc"
