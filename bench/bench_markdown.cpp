// SPDX-License-Identifier: MIT
#include "text/InlineMarkdown.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdio>

using namespace lexwick;

namespace {

// An answer as a model writes it: sentences with strong and emphasised words, code spans,
// links, a list, snake_case names and arithmetic, cut to `length` characters.
QString answer(qsizetype length)
{
    const QString paragraph = QStringLiteral(
        "Here is a **clearer** version of your text. I changed *two* things:\n"
        "- the verb `send_mail()` is now in the _present_ tense;\n"
        "- see [the guide](https://example.com/guide_(v2)?a=1&b=2) or write to "
        "[us](mailto:help@example.com).\n"
        "Note that 2 * 3 * 4 = 24 and my_variable_name stays as it is. 😀 日本語のテキスト\n\n");
    QString text;
    while (text.size() < length)
        text += paragraph;
    text.truncate(length);
    return text;
}

QString repeated(const QString& unit, qsizetype length)
{
    QString text;
    while (text.size() < length)
        text += unit;
    text.truncate(length);
    return text;
}

// Backtick runs of growing length, none closed: each opener looks for a closer of its length.
QString backtickLadder(qsizetype length)
{
    QString text;
    for (int run = 1; text.size() < length; ++run)
        text += QString(run, u'`') + u'a';
    text.truncate(length);
    return text;
}

void convert(benchmark::State& state, const QString& text)
{
    for (auto _ : state) {
        QString html = InlineMarkdown::toRichText(text);
        benchmark::DoNotOptimize(html);
    }
    state.SetComplexityN(state.range(0));
}

void BM_Answer(benchmark::State& state)
{
    convert(state, answer(state.range(0)));
}
void BM_Stars(benchmark::State& state)
{
    convert(state, QString(state.range(0), u'*'));
}
void BM_Underscores(benchmark::State& state)
{
    convert(state, QString(state.range(0), u'_'));
}
void BM_Backticks(benchmark::State& state)
{
    convert(state, QString(state.range(0), u'`'));
}
void BM_OpenBrackets(benchmark::State& state)
{
    convert(state, QString(state.range(0), u'['));
}
// Many openers that never close, then many closers that never open.
void BM_UnmatchedEmphasis(benchmark::State& state)
{
    const qsizetype half = state.range(0) / 2;
    convert(state,
            repeated(QStringLiteral("*a _b "), half) + repeated(QStringLiteral("c* d_ "), half));
}
void BM_BacktickLadder(benchmark::State& state)
{
    convert(state, backtickLadder(state.range(0)));
}
// Brackets whose destinations never close, and nested brackets.
void BM_UnclosedLinks(benchmark::State& state)
{
    convert(state, repeated(QStringLiteral("[a](b("), state.range(0)));
}
void BM_NestedLinks(benchmark::State& state)
{
    const qsizetype half = state.range(0) / 2;
    convert(state, QString(half, u'[') + repeated(QStringLiteral("](https://x.org)"), half));
}

#define LINEAR(name)                                                                               \
    BENCHMARK(name)                                                                                \
        ->RangeMultiplier(4)                                                                       \
        ->Range(1250, 20000)                                                                       \
        ->Unit(benchmark::kMicrosecond)                                                            \
        ->Complexity(benchmark::oN)

LINEAR(BM_Answer);
LINEAR(BM_Stars);
LINEAR(BM_Underscores);
LINEAR(BM_Backticks);
LINEAR(BM_OpenBrackets);
LINEAR(BM_UnmatchedEmphasis);
LINEAR(BM_BacktickLadder);
LINEAR(BM_UnclosedLinks);
LINEAR(BM_NestedLinks);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The realistic answer must exercise every construct, or its figure means little.
    const QString html = InlineMarkdown::toRichText(answer(5000));
    for (const char* tag :
         {"<strong>", "<em>", "<code>", "<a href=\"https:", "<a href=\"mailto:"}) {
        if (!html.contains(QLatin1String(tag))) {
            std::fprintf(stderr, "bench_markdown: the answer lacks %s\n", tag);
            return 1;
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
