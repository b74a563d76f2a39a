// SPDX-License-Identifier: MIT
#include "Fuzz.h"

#include "core/ServerSentEvents.h"

namespace {

// The first byte chooses how the rest is cut into chunks: however it is cut, the reader must
// find the same events, the same end and the same refusal as when fed it whole.
void run(const QByteArray& input)
{
    using lexwick::ServerSentEventReader;
    if (input.isEmpty())
        return;
    const QByteArrayView stream = QByteArrayView(input).sliced(1);
    ServerSentEventReader whole;
    const auto expected = whole.feed(stream);

    ServerSentEventReader pieces;
    QList<lexwick::ServerSentEvent> events;
    quint32 seed = quint8(input.front()) + 1;
    for (qsizetype from = 0; from < stream.size();) {
        seed = seed * 1103515245u + 12345u;
        const qsizetype length = std::min<qsizetype>(1 + (seed >> 16) % 17, stream.size() - from);
        events += pieces.feed(stream.sliced(from, length));
        from += length;
    }
    lexwick::fuzz::require(events == expected, "any split gives the same events");
    lexwick::fuzz::require(pieces.isDone() == whole.isDone(), "any split ends alike");
    lexwick::fuzz::require(pieces.tooLarge() == whole.tooLarge(), "any split is refused alike");
}

} // namespace

const lexwick::fuzz::Target lexwick::fuzz::target{
    "server_sent_events",
    run,
    {"\x01: ping\r\ndata: {\"a\":1}\r\n\r\ndata: [DONE]\n\n",
     "\x07"
     "event: content_block_delta\rdata: x\rdata:y\r\r",
     "\x02id: 1\nretry: 5\ndata\n\ndata: \xe2\x82\xac\n\n"}};
