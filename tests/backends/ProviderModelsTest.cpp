// SPDX-License-Identifier: MIT
#include "backends/ProviderModels.h"
#include "support/RouterFixture.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

#include <QSignalSpy>
#include <QTest>

using namespace lexwick;
using namespace lexwick::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(lexwick::APIProvider)
Q_DECLARE_METATYPE(lexwick::test::ScriptedReply)

namespace {

// What each provider's list endpoint answers today, in its own shape.
QByteArray listBody(APIProvider provider)
{
    switch (provider) {
    case APIProvider::groq:
        return R"({"object":"list","data":[
            {"id":"llama-3.3-70b-versatile","object":"model","owned_by":"Meta","active":true},
            {"id":"llama-3.1-8b-instant","object":"model","active":true},
            {"id":"mixtral-8x7b-32768","object":"model","active":false},
            {"id":"whisper-large-v3","object":"model","active":true},
            {"id":"meta-llama/llama-guard-4-12b","object":"model","active":true},
            {"id":"openai/gpt-oss-20b","object":"model"}]})";
    case APIProvider::openai:
        return R"({"object":"list","data":[
            {"id":"gpt-4.1","object":"model","owned_by":"system"},
            {"id":"gpt-4o","object":"model"},
            {"id":"text-embedding-3-small","object":"model"},
            {"id":"gpt-4o-mini-tts","object":"model"},
            {"id":"dall-e-3","object":"model"},
            {"id":"gpt-4o-mini","object":"model"}]})";
    case APIProvider::anthropic:
        return R"({"data":[
            {"type":"model","id":"claude-sonnet-4-5","display_name":"Claude Sonnet 4.5"},
            {"type":"model","id":"claude-3-haiku-20240307","display_name":"Claude Haiku 3"},
            {"type":"embedding","id":"voyage-x","display_name":"Voyage"}],
            "has_more":false})";
    }
    std::unreachable();
}

QStringList ids(const QList<AIModel>& models)
{
    QStringList list;
    for (const AIModel& m : models)
        list << m.id;
    return list;
}

struct Fixture : RouterFixture {
    ProviderModels models;

    explicit Fixture(std::chrono::milliseconds timeout = 5s)
        : models(*settings, {provider.url({}), provider.url({}), provider.url({})}, client, timeout)
    {
        for (APIProvider p : allAPIProviders)
            settings->saveAPIKey(u"key-"_s + rawValue(p), p);
    }

    // Asks and waits until the provider's question is settled.
    ProviderModels::State fetched(APIProvider p)
    {
        models.fetch(p);
        if (!QTest::qWaitFor([&] { return models.state(p) != ProviderModels::State::fetching; },
                             10000))
            qWarning("The question is still on its way");
        return models.state(p);
    }
};

} // namespace

class ProviderModelsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void eachProvidersListIsAskedForAndMerged_data()
    {
        QTest::addColumn<APIProvider>("provider");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QStringList>("picker");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("groq") << APIProvider::groq << QByteArray("/openai/v1/models")
                              << QStringList{u"llama-3.1-8b-instant"_s,
                                             u"llama-3.3-70b-versatile"_s, u"openai/gpt-oss-20b"_s}
                              << QStringList{u"Llama 3.1 8B (Fast)"_s, u"llama-3.3-70b-versatile"_s,
                                             u"openai/gpt-oss-20b"_s};
        QTest::newRow("openai") << APIProvider::openai << QByteArray("/v1/models")
                                << QStringList{u"gpt-4o-mini"_s, u"gpt-4o"_s, u"gpt-4.1"_s}
                                << QStringList{u"GPT-4o Mini (Fast)"_s, u"GPT-4o (Smart)"_s,
                                               u"gpt-4.1"_s};
        QTest::newRow("anthropic")
            << APIProvider::anthropic << QByteArray("/v1/models?limit=1000")
            << QStringList{u"claude-3-haiku-20240307"_s, u"claude-sonnet-4-5"_s}
            << QStringList{u"Claude 3 Haiku (Fast)"_s, u"Claude Sonnet 4.5"_s};
    }

    // The catalogue's still-served models keep their place and label; retired ones (Groq's
    // inactive Mixtral), what is no model (Anthropic's other types) and models that do not
    // chat (speech, embeddings, images, classifiers) are left out.
    void eachProvidersListIsAskedForAndMerged()
    {
        QFETCH(APIProvider, provider);
        QFETCH(QByteArray, path);
        QFETCH(QStringList, picker);
        QFETCH(QStringList, names);
        Fixture f;
        const QString mixtral = u"mixtral-8x7b-32768"_s; // inactive at Groq, unknown elsewhere
        QVERIFY(!f.models.isRetired(provider, mixtral)); // not known yet
        f.provider.enqueue(ScriptedReply::json(200, listBody(provider)));
        QCOMPARE(f.fetched(provider), ProviderModels::State::listed);
        QVERIFY(f.models.isRetired(provider, mixtral));
        QVERIFY(!f.models.isRetired(provider, picker.first()));

        QCOMPARE(f.provider.requests().size(), 1);
        const ReceivedRequest& request = f.provider.requests().first();
        QCOMPARE(request.method, "GET");
        QCOMPARE(request.path, path);
        const QByteArray key = "key-" + rawValue(provider).toUtf8();
        if (provider == APIProvider::anthropic) {
            QCOMPARE(request.header("x-api-key"), key);
            QCOMPARE(request.header("anthropic-version"), "2023-06-01");
            QVERIFY(request.header("Authorization").isEmpty());
        } else {
            QCOMPARE(request.header("Authorization"), "Bearer " + key);
        }

        const QList<AIModel> shown = f.models.pickerModels(provider);
        QCOMPARE(ids(shown), picker);
        QStringList shownNames;
        for (const AIModel& m : shown)
            shownNames << m.name;
        QCOMPARE(shownNames, names);

        // Kept for the run: asking again sends nothing.
        f.models.fetch(provider);
        QCOMPARE(f.models.state(provider), ProviderModels::State::listed);
        QCOMPARE(f.provider.requests().size(), 1);
    }

    void failuresLeaveTheCatalogue_data()
    {
        QTest::addColumn<ScriptedReply>("reply");
        QTest::newRow("401") << ScriptedReply::json(401, R"({"error":{"message":"bad key"}})");
        QTest::newRow("500") << ScriptedReply::json(500, "oops");
        QTest::newRow("not a list") << ScriptedReply::json(200, R"({"models":[]})");
        QTest::newRow("dropped") << ScriptedReply::withEnding(
            ScriptedReply::Ending::dropBeforeAnswer);
    }

    // One attempt only: an error is not retried, and the picker shows the catalogue.
    void failuresLeaveTheCatalogue()
    {
        QFETCH(ScriptedReply, reply);
        Fixture f;
        f.provider.setDefaultReply(reply);
        QCOMPARE(f.fetched(APIProvider::openai), ProviderModels::State::failed);
        QCOMPARE(f.models.pickerModels(APIProvider::openai), availableModels(APIProvider::openai));
        QVERIFY(!f.models.isRetired(APIProvider::openai, u"gpt-4-turbo"_s));
        QTest::qWait(50);
        // Qt itself sends a GET once more when the connection closes before any answer.
        QVERIFY(f.provider.requests().size() <= 2);
        if (QTest::currentDataTag() != QByteArray("dropped"))
            QCOMPARE(f.provider.requests().size(), 1);
    }

    void aServerThatNeverAnswersTimesOut()
    {
        Fixture f(200ms);
        f.provider.setDefaultReply(ScriptedReply::withEnding(ScriptedReply::Ending::never));
        const std::optional<Result<QList<AIModel>>> result =
            runTask(f.models.requestModels(APIProvider::groq, u"k"_s, {}));
        QVERIFY(result && !*result);
        const TransportError* transport = result->error().as<TransportError>();
        QVERIFY(transport);
        QCOMPARE(transport->kind, TransportError::Kind::timedOut);
    }

    void withoutAKeyNothingIsAsked()
    {
        Fixture f;
        f.settings->deleteAPIKey(APIProvider::anthropic);
        f.models.fetch(APIProvider::anthropic);
        QCOMPARE(f.models.state(APIProvider::anthropic), ProviderModels::State::failed);
        QVERIFY(f.provider.requests().isEmpty());
    }

    // A saved or deleted key and another provider forget the lists, also one still on its way.
    void keysAndProviderChangesForgetTheLists()
    {
        Fixture f;
        f.provider.setDefaultReply(ScriptedReply::json(200, listBody(APIProvider::groq)));
        QCOMPARE(f.fetched(APIProvider::groq), ProviderModels::State::listed);
        f.settings->saveAPIKey(u"new"_s, APIProvider::groq);
        QCOMPARE(f.models.state(APIProvider::groq), ProviderModels::State::unknown);
        QCOMPARE(f.fetched(APIProvider::groq), ProviderModels::State::listed);
        QCOMPARE(f.provider.requests().last().header("Authorization"), "Bearer new");

        ScriptedReply slow = ScriptedReply::json(200, listBody(APIProvider::groq));
        slow.delay = 300ms;
        f.provider.setDefaultReply(slow);
        f.settings->deleteAPIKey(APIProvider::openai);
        f.models.fetch(APIProvider::groq);
        QCOMPARE(f.models.state(APIProvider::groq), ProviderModels::State::fetching);
        f.settings->setCustomProvider(APIProvider::openai);
        QCOMPARE(f.models.state(APIProvider::groq), ProviderModels::State::unknown);
        QTest::qWait(500); // the stopped question's late answer changes nothing
        QCOMPARE(f.models.state(APIProvider::groq), ProviderModels::State::unknown);
    }
};

LEXWICK_TEST(ProviderModelsTest)
#include "ProviderModelsTest.moc"
