// SPDX-License-Identifier: MIT
#include "core/ServerSentEvents.h"
#include "support/TestMain.h"

#include <QRandomGenerator>
#include <QTest>

using namespace lexwick;

namespace {

using Events = QList<ServerSentEvent>;

Events readWhole(QByteArrayView bytes)
{
    ServerSentEventReader reader;
    return reader.feed(bytes);
}

// The same bytes fed in pieces that end at the given positions.
Events readSplit(QByteArrayView bytes, const QList<qsizetype>& cuts)
{
    ServerSentEventReader reader;
    Events events;
    qsizetype from = 0;
    for (qsizetype cut : cuts) {
        events += reader.feed(bytes.sliced(from, cut - from));
        from = cut;
    }
    events += reader.feed(bytes.sliced(from));
    return events;
}

ServerSentEvent message(const QByteArray& data)
{
    return {"message", data};
}

// A stream with every feature the reader knows: both line breaks, a lone CR, comments, other
// fields, a named event, data over several lines, multi-byte UTF-8 and an invalid sequence.
const QByteArray mixedStream =
    ": keep-alive\r\n"
    "data: {\"a\":\"h\xc3\xa9llo \xe2\x82\xac \xf0\x9f\x98\x80\"}\r\n\r\n"
    "id: 7\nretry: 100\n"
    "event: content_block_delta\ndata:first\ndata:  second\n\n"
    "data: \xff\xfe broken \xe2\x82\r\r"
    ":\n\n"
    "data\n\n"
    "event: error\ndata: {\"error\":1}\n\n";

const Events mixedEvents{
    message("{\"a\":\"h\xc3\xa9llo \xe2\x82\xac \xf0\x9f\x98\x80\"}"),
    {"content_block_delta", "first\n second"},
    message("\xff\xfe broken \xe2\x82"),
    message(""),
    {"error", "{\"error\":1}"},
};

} // namespace

class ServerSentEventsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsEveryLineBreakCommentAndField() { QCOMPARE(readWhole(mixedStream), mixedEvents); }

    // A chunk may end anywhere: inside a field name, a UTF-8 sequence, between CR and LF.
    void everySplitInTwoOrThreeGivesTheSameEvents()
    {
        for (qsizetype i = 0; i <= mixedStream.size(); ++i) {
            QCOMPARE(readSplit(mixedStream, {i}), mixedEvents);
            for (qsizetype j = i; j <= mixedStream.size(); j += 3)
                QCOMPARE(readSplit(mixedStream, {i, j}), mixedEvents);
        }
        // One byte at a time.
        ServerSentEventReader reader;
        Events events;
        for (char c : mixedStream)
            events += reader.feed(QByteArrayView(&c, 1));
        QCOMPARE(events, mixedEvents);
    }

    void randomSplitsGiveTheSameEvents()
    {
        QRandomGenerator random(26);
        for (int round = 0; round < 2000; ++round) {
            QList<qsizetype> cuts;
            qsizetype at = 0;
            while ((at += random.bounded(1, 12)) < mixedStream.size())
                cuts.append(at);
            QCOMPARE(readSplit(mixedStream, cuts), mixedEvents);
        }
    }

    // An event counts only once its blank line arrives; one cut off by the end of the stream
    // is none.
    void anEventWaitsForItsBlankLine()
    {
        ServerSentEventReader reader;
        QVERIFY(reader.feed("data: one\n").isEmpty());
        QCOMPARE(reader.feed("\ndata: two"), Events{message("one")});
        QVERIFY(reader.feed("\n").isEmpty());
        QCOMPARE(reader.feed("\r"), Events{message("two")});
        QVERIFY(reader.feed("\n").isEmpty()); // the LF of the CR's line break: no second blank
        QCOMPARE(reader.feed("data: three\n\n"), Events{message("three")});
    }

    void doneEndsTheStream()
    {
        ServerSentEventReader reader;
        QCOMPARE(reader.feed("data: a\n\ndata: [DONE]\n\ndata: after\n\n"), Events{message("a")});
        QVERIFY(reader.isDone());
        QVERIFY(reader.feed("data: more\n\n").isEmpty());
        // Only the whole data "[DONE]" is the end.
        QCOMPARE(readWhole("data: [DONE] \n\ndata:[DONE]x\n\n"),
                 (Events{message("[DONE] "), message("[DONE]x")}));
    }

    void aStreamOverTheCapIsRefused()
    {
        ServerSentEventReader reader;
        const QByteArray line = "data: " + QByteArray(1024 * 1024 - 8, 'x') + "\n\n";
        qint64 fed = 0;
        int events = 0;
        while (fed + line.size() <= ServerSentEventReader::maxSize) {
            events += int(reader.feed(line).size());
            fed += line.size();
        }
        QCOMPARE(events, 8);
        QVERIFY(!reader.tooLarge());
        QVERIFY(reader.feed(line).isEmpty());
        QVERIFY(reader.tooLarge());
        QVERIFY(reader.feed("data: x\n\n").isEmpty());

        // A line that never ends is bounded too.
        ServerSentEventReader endless;
        const QByteArray piece(64 * 1024, 'y');
        while (!endless.tooLarge())
            QVERIFY(endless.feed(piece).isEmpty());
    }
};

LEXWICK_TEST(ServerSentEventsTest)
#include "ServerSentEventsTest.moc"
