// SPDX-License-Identifier: MIT
// A streamed answer's costs on this side of the network:
// - BM_ChunkToFrame: from a piece of the answer reaching the result (5000 characters already
//   shown) to the popover's frame that shows it, rendered offscreen by the software renderer;
// - BM_RendersAt200ChunksPerSecond: how often the result lays out its text when 200 pieces
//   arrive a second (the counter renders_per_second);
// - BM_StreamedRequest against BM_WholeRequest: one request whose answer comes as 1000 small
//   events from the loopback server, against the same bytes taken as one body; the difference
//   is the streaming's parse and bookkeeping per request, which BM_ReadEvents measures alone
//   (the same events in 4 KiB reads, through the reader and the format's decoder).

#include "core/ChatCompletions.h"
#include "core/StreamedAnswer.h"
#include "support/Expect.h"
#include "support/PopoverScreen.h"
#include "support/RunTask.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <benchmark/benchmark.h>

Q_IMPORT_QML_PLUGIN(LexwickPlugin)

using namespace lexwick;
using namespace lexwick::test;
using namespace std::chrono_literals;

namespace {

QString prose(qsizetype length)
{
    const QString sentence = QStringLiteral(
        "The quick brown fox jumps over the **lazy** dog while the committee reviews its plan. ");
    QString text;
    while (text.size() < length)
        text += sentence;
    text.truncate(length);
    return text;
}

// A popover whose request is in flight, its answer being written: the server sent the
// headers and waits.
struct Writing {
    PopoverScreen screen;
    ResultView& result = *screen.view.main()->result();

    Writing()
    {
        screen.app.provider.enqueue(
            ScriptedReply::eventStream({}, {}, ScriptedReply::Ending::streamThenStall));
        screen.show();
        screen.view.main()->setSelectedAction(TextAction::explain);
        screen.view.main()->setInputText(QStringLiteral("ephemeral"));
        screen.view.main()->toggleProcessing();
    }
};

void BM_ChunkToFrame(benchmark::State& state)
{
    Writing w;
    QString shown = prose(5000);
    w.result.showPartial(shown);
    (void)w.screen.window.grabWindow();
    for (auto _ : state) {
        state.PauseTiming();
        QTest::qWait(int(ResultView::frameInterval.count()) + 2); // the next piece is due
        shown += QStringLiteral("word ");
        state.ResumeTiming();
        w.result.showPartial(shown);
        const QImage frame = w.screen.window.grabWindow();
        benchmark::DoNotOptimize(frame);
    }
}
BENCHMARK(BM_ChunkToFrame)->Unit(benchmark::kMillisecond)->Iterations(100);

void BM_RendersAt200ChunksPerSecond(benchmark::State& state)
{
    Writing w;
    QString shown = prose(5000);
    for (auto _ : state) {
        QSignalSpy renders(&w.result, &ResultView::textChanged);
        QElapsedTimer clock;
        clock.start();
        int pieces = 0;
        // As many pieces as 200 a second make by now, each handed over on its own.
        QTimer feed;
        feed.setInterval(1ms);
        QObject::connect(&feed, &QTimer::timeout, [&] {
            while (pieces < clock.elapsed() / 5) {
                shown += QStringLiteral("word ");
                w.result.showPartial(shown);
                ++pieces;
            }
        });
        feed.start();
        QTest::qWait(1000);
        feed.stop();
        const double seconds = double(clock.elapsed()) / 1000.0;
        state.counters["pieces_per_second"] = pieces / seconds;
        state.counters["renders_per_second"] = double(renders.size()) / seconds;
    }
}
BENCHMARK(BM_RendersAt200ChunksPerSecond)->Unit(benchmark::kMillisecond)->Iterations(1);

// 1000 events of a few characters each, as a model writes them.
QList<QByteArray> smallEvents()
{
    QStringList pieces;
    for (int i = 0; i < 1000; ++i)
        pieces.append(QStringLiteral(" word%1").arg(i % 10));
    return chatStream(pieces);
}

void BM_ReadEvents(benchmark::State& state)
{
    QByteArray body;
    for (const QByteArray& data : smallEvents())
        body += "data: " + data + "\n\n";
    for (auto _ : state) {
        ServerSentEventReader reader;
        QString text;
        for (qsizetype at = 0; at < body.size(); at += 4096) {
            for (const ServerSentEvent& event : reader.feed(QByteArrayView(body).sliced(
                     at, std::min<qsizetype>(4096, body.size() - at)))) {
                if (const Result<StreamEvent> piece = chatcompletions::decodeStreamEvent(event))
                    text += piece->text;
            }
        }
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_ReadEvents)->Unit(benchmark::kMicrosecond);

void BM_StreamedRequest(benchmark::State& state)
{
    TestHttpServer server;
    server.setDefaultReply(ScriptedReply::eventStream(smallEvents()));
    HttpClient client;
    qsizetype length = 0;
    for (auto _ : state) {
        HttpRequest request{
            .method = "POST", .url = server.url(QStringLiteral("/v1")), .body = "{}"};
        auto task = sendStreamed(client, std::move(request), &chatcompletions::decodeStreamEvent,
                                 [&length](const QString& soFar) { length = soFar.size(); }, {});
        const auto answer = runTask(std::move(task));
        if (!answer || !*answer || !(*answer)->streamed)
            state.SkipWithError("the streamed request failed");
    }
    benchmark::DoNotOptimize(length);
}
BENCHMARK(BM_StreamedRequest)->Unit(benchmark::kMillisecond);

void BM_WholeRequest(benchmark::State& state)
{
    TestHttpServer server;
    ScriptedReply reply = ScriptedReply::eventStream(smallEvents());
    reply.headers = {{"Content-Type", "application/octet-stream"}};
    server.setDefaultReply(reply);
    HttpClient client;
    for (auto _ : state) {
        HttpRequest request{
            .method = "POST", .url = server.url(QStringLiteral("/v1")), .body = "{}"};
        const auto response = runTask(client.send(std::move(request), {}));
        if (!response || !*response)
            state.SkipWithError("the request failed");
    }
}
BENCHMARK(BM_WholeRequest)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QUICK_BACKEND", "software");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
