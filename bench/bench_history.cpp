// SPDX-License-Identifier: MIT
#include "history/HistoryManager.h"
#include "settings/UserDefaults.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace lexwick;

namespace {

HistoryItem record(int n)
{
    HistoryItem item;
    item.originalText = QString(5000, QChar(u'a' + n % 26));
    item.resultText = QString(5000, QChar(u'A' + n % 26));
    item.action = TextAction::paraphrase;
    item.tone = ToneOption::casual;
    item.provider = QStringLiteral("Groq");
    return item;
}

// One add to a full history of 50 records of 5000 characters each: the hop to the history's
// worker thread, the trim and the atomic save of the whole list (about 1 MB), back to the
// caller.
void BM_AddToFullHistory(benchmark::State& state)
{
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath(QStringLiteral("defaults.cbor")));
    HistoryManager history(dir.filePath(QStringLiteral("history.json")), defaults);
    for (int n = 0; n < HistoryManager::maxItems; ++n)
        QCoro::waitFor(history.add(record(n)));

    int n = 0;
    for (auto _ : state)
        QCoro::waitFor(history.add(record(++n)));
    state.SetLabel("50 records of 2 x 5000 characters");
}
BENCHMARK(BM_AddToFullHistory)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
