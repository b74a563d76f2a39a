// SPDX-License-Identifier: MIT
#include "backends/AnthropicMessages.h"
#include "core/ChatCompletions.h"
#include "core/Prompts.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <benchmark/benchmark.h>

using namespace lexwick;

namespace {

// 5000 characters of ordinary prose.
QString prose(qsizetype length)
{
    const QString sentence = QStringLiteral(
        "The quick brown fox jumps over the lazy dog while the committee reviews its 2024 plan. ");
    QString text;
    while (text.size() < length)
        text += sentence;
    text.truncate(length);
    return text;
}

QByteArray successBody(qsizetype size)
{
    const QJsonObject body{
        {QStringLiteral("id"), QStringLiteral("chatcmpl-1")},
        {QStringLiteral("object"), QStringLiteral("chat.completion")},
        {QStringLiteral("choices"),
         QJsonArray{QJsonObject{{QStringLiteral("index"), 0},
                                {QStringLiteral("message"),
                                 QJsonObject{{QStringLiteral("role"), QStringLiteral("assistant")},
                                             {QStringLiteral("content"), prose(size - 200)}}},
                                {QStringLiteral("finish_reason"), QStringLiteral("stop")}}}},
    };
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

// Everything a request costs on this side of the network: both message forms, the JSON body,
// and reading a 4 KiB answer.
void BM_ChatRequestRoundTrip(benchmark::State& state)
{
    const QString text = prose(5000);
    const QByteArray answer = successBody(4096);
    for (auto _ : state) {
        const QString plain = plainUserMessage(text, TextAction::paraphrase, ToneOption::casual);
        const QString delimited = delimitedUserMessage(text, TextAction::explain, std::nullopt);
        const QByteArray body = chatcompletions::encodeRequest(
            QStringLiteral("llama-3.1-8b-instant"), systemPrompt(TextAction::paraphrase), delimited,
            chatcompletions::serviceOptions);
        const auto content = chatcompletions::decodeAnswer(answer);
        benchmark::DoNotOptimize(plain);
        benchmark::DoNotOptimize(body);
        benchmark::DoNotOptimize(content);
    }
}
BENCHMARK(BM_ChatRequestRoundTrip)->Unit(benchmark::kMicrosecond);

QByteArray anthropicBody(qsizetype size)
{
    const QJsonObject body{
        {QStringLiteral("id"), QStringLiteral("msg_1")},
        {QStringLiteral("type"), QStringLiteral("message")},
        {QStringLiteral("content"),
         QJsonArray{QJsonObject{{QStringLiteral("type"), QStringLiteral("text")},
                                {QStringLiteral("text"), prose(size - 200)}}}},
        {QStringLiteral("stop_reason"), QStringLiteral("end_turn")},
    };
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

// The same for Anthropic's messages format.
void BM_MessagesRequestRoundTrip(benchmark::State& state)
{
    const QString text = prose(5000);
    const QByteArray answer = anthropicBody(4096);
    for (auto _ : state) {
        const QString delimited = delimitedUserMessage(text, TextAction::correct, std::nullopt);
        const QByteArray body = anthropicmessages::encodeRequest(
            QStringLiteral("claude-3-haiku-20240307"), systemPrompt(TextAction::correct), delimited);
        const auto content = anthropicmessages::decodeAnswer(answer);
        benchmark::DoNotOptimize(body);
        benchmark::DoNotOptimize(content);
    }
}
BENCHMARK(BM_MessagesRequestRoundTrip)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
