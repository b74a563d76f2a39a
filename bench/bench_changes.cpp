// SPDX-License-Identifier: MIT
#include "text/TextChanges.h"

#include <QCoreApplication>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <cstdio>

using namespace lexwick;

namespace {

// A text of `length` characters as people write it, and its correction with one word in
// `every` changed (misspelt in the original, a word dropped or doubled now and then).
std::pair<QString, QString> correction(qsizetype length, int every)
{
    const QStringList words = QStringLiteral(
        "when the letter arrived she read it twice before writing back to her sister about "
        "the weather, the garden and the plans they had made for the summer")
                                  .split(u' ');
    QString original, corrected;
    for (int i = 0; corrected.size() < length; ++i) {
        const QString& word = words[i % words.size()];
        const QString gap = i % 15 == 14 ? QStringLiteral(". ") : QStringLiteral(" ");
        corrected += word + gap;
        if (i % every != every - 1)
            original += word + gap;
        else if (i % (3 * every) == every - 1)
            original += gap; // a word the correction adds
        else
            original += word.sliced(1) + word.first(1) + gap; // a typo
    }
    corrected.truncate(length);
    return {original.first(std::min(original.size(), length)), corrected};
}

void BM_Compare(benchmark::State& state)
{
    const auto [original, corrected] = correction(state.range(0), int(state.range(1)));
    qsizetype changes = 0;
    for (auto _ : state) {
        const TextChanges result(original, corrected);
        changes = result.count();
        benchmark::DoNotOptimize(result.segments().data());
    }
    state.counters["changes"] = double(changes);
}

// What the screen asks for: the comparison and its rich text.
void BM_CompareAndRender(benchmark::State& state)
{
    const auto [original, corrected] = correction(state.range(0), int(state.range(1)));
    for (auto _ : state) {
        QString html = TextChanges(original, corrected).richText();
        benchmark::DoNotOptimize(html);
    }
}

// The worst case: an answer that shares no word with the text it was given.
void BM_NothingInCommon(benchmark::State& state)
{
    QString original, corrected;
    for (int i = 0; corrected.size() < state.range(0); ++i) {
        original += QStringLiteral("alpha%1 ").arg(i);
        corrected += QStringLiteral("omega%1 ").arg(i);
    }
    for (auto _ : state) {
        const TextChanges result(original, corrected);
        benchmark::DoNotOptimize(result.segments().data());
    }
}

// 5000 characters against corrections with about 10 to 120 edits; then the length grows.
BENCHMARK(BM_Compare)
    ->Args({5000, 80})
    ->Args({5000, 20})
    ->Args({5000, 7})
    ->Args({1250, 20})
    ->Args({20000, 20})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CompareAndRender)->Args({5000, 20})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NothingInCommon)->Arg(1250)->Arg(5000)->Arg(40000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The realistic pair must hold a few dozen changes, or its figure means little.
    const auto [original, corrected] = correction(5000, 20);
    const qsizetype count = TextChanges(original, corrected).count();
    if (count < 24 || count > 60) {
        std::fprintf(stderr, "bench_changes: %lld changes, not a few dozen\n", (long long)count);
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
