// SPDX-License-Identifier: MIT
#include "localmodel/LanguageModelSession.h"
#include "localmodel/SystemLanguageModel.h"
#include "support/BackgroundTestHttpServer.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(lexwick::test::ScriptedReply)
Q_DECLARE_METATYPE(lexwick::GenerationOptions)
Q_DECLARE_METATYPE(lexwick::GenerationError::Kind)

namespace {

using Kind = GenerationError::Kind;

ScriptedReply answer(const QByteArray& content)
{
    return ScriptedReply::json(200, R"({"choices":[{"message":{"content":")" + content + "\"}}]}");
}

// A server that lists the model "m" and answers the generation (and any try after) with chat.
auto respond(ScriptedReply chat, GenerationOptions options = {}, std::stop_token stop = {})
{
    BackgroundTestHttpServer server;
    HttpClient client;
    SystemLanguageModel model(server.url(u"/v1"_s).toString(), u"m"_s, client);
    server.enqueue(ScriptedReply::json(200, R"({"data":[{"id":"other"},{"id":"m"}]})"));
    server.setDefaultReply(std::move(chat));
    auto result =
        runTask(LanguageModelSession(model, u"Be brief."_s).respond(u"p"_s, options, {}, stop))
            .value_or(std::unexpected(DecodingError{u"<did not finish>"_s}));
    (void)QTest::qWaitFor([&] { return !model.isProbing(); }, 10'000); // before the client goes
    return std::pair{std::move(result), server.requests()};
}

} // namespace

class LanguageModelSessionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sendsOneChatCompletionsRequest_data()
    {
        QTest::addColumn<GenerationOptions>("options");
        QTest::addColumn<QString>("members");
        QTest::newRow("unset") << GenerationOptions{} << u"messages model stream"_s;
        QTest::newRow("set") << GenerationOptions{.temperature = 0.5, .maximumResponseTokens = 64}
                             << u"max_tokens messages model stream temperature"_s;
    }

    void sendsOneChatCompletionsRequest()
    {
        QFETCH(GenerationOptions, options);
        const auto [result, requests] = respond(answer(R"(  Hi there.\n)"), options);
        QCOMPARE(result ? result->content : QString(), u"  Hi there.\n"_s); // untrimmed
        QCOMPARE(requests.size(), 2);                                       // a fresh look first
        QCOMPARE(requests[1].method + ' ' + requests[1].path, "POST /v1/chat/completions");
        const QJsonObject body = requests[1].json();
        QTEST(body.keys().join(u' '), "members");
        QCOMPARE(body[u"model"_s], u"m"_s);
        QCOMPARE(body[u"stream"_s], true);
        QCOMPARE(body[u"messages"_s].toArray(),
                 QJsonArray({QJsonObject{{u"role"_s, u"system"_s}, {u"content"_s, u"Be brief."_s}},
                             QJsonObject{{u"role"_s, u"user"_s}, {u"content"_s, u"p"_s}}}));
        QCOMPARE(body[u"temperature"_s].toDouble(-1), options.temperature.value_or(-1));
        QCOMPARE(body[u"max_tokens"_s].toInt(-1), options.maximumResponseTokens.value_or(-1));
    }

    void failures_data()
    {
        QTest::addColumn<ScriptedReply>("chat");
        QTest::addColumn<Kind>("kind");
        ScriptedReply cut = answer(QByteArray(2000, 'x'));
        cut.ending = ScriptedReply::Ending::dropMidBody;
        QTest::newRow("error with a message")
            << ScriptedReply::json(500, R"({"error":{"message":"model crashed"}})")
            << Kind::serverError;
        QTest::newRow("server dies mid-answer") << cut << Kind::connectionFailed;
        QTest::newRow("cancelled")
            << ScriptedReply::withEnding(ScriptedReply::Ending::never) << Kind::cancelled;
    }

    void failures()
    {
        QFETCH(ScriptedReply, chat);
        QFETCH(Kind, kind);
        std::stop_source stop;
        QObject scope;
        if (kind == Kind::cancelled)
            QTimer::singleShot(100, &scope, [&stop] { stop.request_stop(); });
        const auto [result, requests] = respond(chat, {}, stop.get_token());
        const GenerationError* error = result ? nullptr : result.error().as<GenerationError>();
        QVERIFY(error);
        QCOMPARE(error->kind, kind);
        QCOMPARE(error->description.contains(u"model crashed"), kind == Kind::serverError);
        QCOMPARE(requests.value(1).path, "/v1/chat/completions"); // the generation was sent
    }
};

LEXWICK_TEST(LanguageModelSessionTest)
#include "LanguageModelSessionTest.moc"
