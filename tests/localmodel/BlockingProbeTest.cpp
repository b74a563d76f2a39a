// SPDX-License-Identifier: MIT
#include "localmodel/BlockingProbe.h"
#include "support/TestMain.h"

#include <QTest>

using namespace lexwick;
using namespace Qt::StringLiterals;

namespace {

// "pending", "noAnswer", "unsupported" or "<status> <body>".
QString describe(const std::optional<blockingprobe::Answer>& answer)
{
    if (!answer)
        return u"pending"_s;
    if (!*answer)
        return (*answer).error() == blockingprobe::Failure::unsupported ? u"unsupported"_s
                                                                        : u"noAnswer"_s;
    return QString::number((*answer)->status) + u' ' + QString::fromLatin1((*answer)->body);
}

} // namespace

class BlockingProbeTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parseResponse_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("expected");
        const auto withLength4 = [](const char* body) -> QByteArray {
            return QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n") + body;
        };
        QTest::newRow("complete") << withLength4("abcd") << false << u"200 abcd"_s;
        QTest::newRow("bytes past the length") << withLength4("abcdef") << false << u"200 abcd"_s;
        QTest::newRow("body under way") << withLength4("ab") << false << u"pending"_s;
        QTest::newRow("body cut short") << withLength4("ab") << true << u"noAnswer"_s;
        QTest::newRow("head under way")
            << QByteArray("HTTP/1.0 200 OK\r\n") << false << u"pending"_s;
        QTest::newRow("head cut short")
            << QByteArray("HTTP/1.0 200 OK\r\n") << true << u"noAnswer"_s;
        QTest::newRow("first bytes of a status line") << QByteArray("HTT") << false << u"pending"_s;
        QTest::newRow("not HTTP") << QByteArray("SSH-2.0-OpenSSH\r\n") << false << u"noAnswer"_s;
        QTest::newRow("nothing, closed") << QByteArray() << true << u"noAnswer"_s;
        QTest::newRow("body ends with the connection")
            << QByteArray("HTTP/1.0 503 Busy\r\n\r\nlater") << true << u"503 later"_s;
        QTest::newRow("no length, still open")
            << QByteArray("HTTP/1.0 200 OK\r\n\r\nab") << false << u"pending"_s;
        QTest::newRow("chunked")
            << QByteArray("HTTP/1.1 200 OK\r\nTRANSFER-encoding: chunked\r\n\r\n4\r\nabcd") << false
            << u"unsupported"_s;
        QTest::newRow("status not a number")
            << QByteArray("HTTP/1.0 OK\r\n\r\n") << true << u"noAnswer"_s;
        QTest::newRow("status out of range")
            << QByteArray("HTTP/1.0 999 Odd\r\n\r\n") << true << u"noAnswer"_s;
        QTest::newRow("negative length")
            << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: -1\r\n\r\n") << true << u"noAnswer"_s;
    }

    void parseResponse()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, closed);
        QFETCH(QString, expected);
        QCOMPARE(describe(blockingprobe::parseResponse(data, closed)), expected);
    }
};

LEXWICK_TEST(BlockingProbeTest)
#include "BlockingProbeTest.moc"
