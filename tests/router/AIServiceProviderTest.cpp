// SPDX-License-Identifier: MIT
#include "backends/CustomAIService.h"
#include "backends/LocalAIService.h"
#include "localmodel/SystemLanguageModel.h"
#include "support/Expect.h"
#include "support/LogCapture.h"
#include "support/RouterFixture.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

#include <QTest>

#include <atomic>
#include <memory>

using namespace lexwick;
using namespace lexwick::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

using Outcome = std::expected<ProcessedText, AIError>;
using Answer = std::expected<QString, AIError>;

Outcome request(RouterFixture& f, const QString& text, TextAction action = TextAction::correct,
                std::optional<ToneOption> tone = std::nullopt, std::stop_token stop = {})
{
    return runTask(f.router->processText(text, action, tone, {}, stop))
        .value_or(std::unexpected(AIError(AIError::ApiError{u"<did not finish>"_s})));
}

// The answer's text alone.
Answer process(RouterFixture& f, const QString& text, TextAction action = TextAction::correct,
               std::optional<ToneOption> tone = std::nullopt, std::stop_token stop = {})
{
    const Outcome outcome = request(f, text, action, tone, stop);
    return outcome ? Answer(outcome->text) : Answer(std::unexpect, outcome.error());
}

std::optional<AIError::Kind> failure(const Answer& answer)
{
    return answer ? std::nullopt : std::optional(answer.error().kind());
}

// An on-device back-end that finds the model gone when asked.
class VanishedModel : public LocalAIService {
public:
    using LocalAIService::LocalAIService;
    QCoro::Task<Result<GeneratedText>> processText(QString, TextAction, std::optional<ToneOption>,
                                                   PartialText, std::stop_token) override
    {
        co_return std::unexpected(
            AIError(AIError::LocalModelUnavailable{LocalAIAvailability::modelNotReady}));
    }
};

} // namespace

class AIServiceProviderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cloudIsServedByTheCustomProvider()
    {
        LogCapture log;
        RouterFixture f({.storedMode = u"custom"_s});
        f.settings->setProviderMode(AIProviderMode::cloud);
        QTest::qWait(20); // the router follows the setting one turn late
        QCOMPARE(f.router->activeMode(), AIProviderMode::custom);
        QCOMPARE(f.router->providerName(), u"Groq"_s);
        QVERIFY(
            log.lines().contains(u"Lexwick: Cloud not yet available, falling back to custom"_s));

        f.provider.enqueue(ScriptedReply::json(200, chatAnswer(u"fixed"_s)));
        QCOMPARE(process(f, u"fix me"_s), u"fixed"_s);
        QCOMPARE(f.provider.requests().last().header("Authorization"), "Bearer test-key");

        const CacheKey key{u"fix me"_s, rawValue(TextAction::correct), std::nullopt, u"Groq"_s,
                           u"llama-3.1-8b-instant"_s};
        QCOMPARE(f.cache.get(key), std::optional(u"fixed"_s));

        f.settings->setCustomProvider(APIProvider::openai);
        QCOMPARE(f.router->providerName(), u"OpenAI"_s);
    }

    // The model is gone when the request comes: the custom back-end answers, the on-device
    // error stays readable, and the answer is kept under the name the request began with.
    void localFailureAtRequestTimeFallsBackToCustom()
    {
        RouterFixture f({.localModel = true,
                         .storedMode = u"local"_s,
                         .localBackEnd = [](SystemLanguageModel& model) {
                             return std::make_unique<VanishedModel>(model);
                         }});
        QCOMPARE(f.router->activeMode(), AIProviderMode::local);
        f.provider.enqueue(ScriptedReply::json(200, chatAnswer(u"custom answer"_s)));
        const Outcome answered = request(f, u"text"_s);
        QCOMPARE(answered->text, u"custom answer"_s);
        QCOMPARE(answered->provider, u"Local"_s);
        QCOMPARE(answered->fallbackReason->kind(), AIError::Kind::localModelUnavailable);
        QCOMPARE(f.providerRequests(), 1);
        QVERIFY(f.router->lastError());
        QCOMPARE(f.router->lastError()->kind(), AIError::Kind::localModelUnavailable);
        const CacheKey key{u"text"_s, rawValue(TextAction::correct), std::nullopt, u"Local"_s,
                           f.model->serverURL() + u" "_s};
        QCOMPARE(f.cache.get(key), std::optional(u"custom answer"_s));
    }

    void unavailableLocalModelFallsBackAtStart()
    {
        LogCapture log;
        RouterFixture f({.localModel = false, .chosenMode = AIProviderMode::local});
        QCOMPARE(f.router->activeMode(), AIProviderMode::custom);
        const QString line = u"Lexwick: Local AI not available, falling back to custom"_s;
        QCOMPARE(log.lines().count(line), 1);
        QTest::qWait(20); // the mode subscription's first delivery runs the rule again
        QCOMPARE(log.lines().count(line), 2);

        f.provider.enqueue(ScriptedReply::json(200, chatAnswer(u"a"_s)));
        QCOMPARE(process(f, u"text"_s), u"a"_s); // a cache miss applies the rule once more
        QCOMPARE(log.lines().count(line), 3);
    }

    void availableLocalModelServes()
    {
        RouterFixture f({.localModel = true, .storedMode = u"local"_s});
        QCOMPARE(f.router->activeMode(), AIProviderMode::local);
        QCOMPARE(f.router->providerName(), u"Local"_s);
        QCOMPARE(process(f, u"text"_s), u"on-device answer"_s);
        QCOMPARE(f.providerRequests(), 0);
    }

    void cacheIsSharedAcrossOuterWhiteSpace()
    {
        RouterFixture f({.storedMode = u"custom"_s});
        f.provider.enqueue(ScriptedReply::json(200, chatAnswer(u"once"_s)));
        const Outcome first =
            request(f, u"same text"_s, TextAction::paraphrase, ToneOption::casual);
        QCOMPARE(first->text, u"once"_s);
        QVERIFY(!first->wasCached);
        QVERIFY(!f.router->lastResultWasCached());

        LogCapture log;
        const Outcome again =
            request(f, u"\n  same text \t"_s, TextAction::paraphrase, ToneOption::casual);
        QCOMPARE(again->text, u"once"_s);
        QVERIFY(again->wasCached);
        QCOMPARE(again->provider, u"Groq"_s);
        QVERIFY(f.router->lastResultWasCached());
        QCOMPARE(log.lines(), QStringList{u"Lexwick: Serving cached response"_s});
        QCOMPARE(f.providerRequests(), 1);

        // Another tone, action or provider is another entry.
        f.provider.setDefaultReply(ScriptedReply::json(200, chatAnswer(u"new"_s)));
        QCOMPARE(process(f, u"same text"_s, TextAction::paraphrase, ToneOption::formal), u"new"_s);
        QCOMPARE(process(f, u"same text"_s, TextAction::correct), u"new"_s);
        QVERIFY(!f.router->lastResultWasCached());
        QCOMPARE(f.providerRequests(), 3);
    }

    void inputChecksComeBeforeTheCache()
    {
        RouterFixture f({.storedMode = u"custom"_s});
        const QString body(4990, u'a');
        f.provider.enqueue(ScriptedReply::json(200, chatAnswer(u"ok"_s)));
        QVERIFY(process(f, body).has_value());

        // The same request once trimmed, but over the limit as entered.
        const Answer tooLong = process(f, QString(20, u' ') + body);
        QCOMPARE(failure(tooLong), AIError::Kind::inputTooLong);
        QCOMPARE(tooLong.error().errorDescription(),
                 u"Text too long (5010 characters). Maximum is 5000."_s);
        QVERIFY(f.router->lastError());
        QCOMPARE(f.router->lastError()->kind(), AIError::Kind::inputTooLong);
        QVERIFY(!f.router->lastResultWasCached());

        const Answer personal = process(f, u"write to ann@example.com"_s);
        QCOMPARE(personal.error().errorDescription(),
                 u"Sensitive data detected: Email. Please remove before processing."_s);
        QCOMPARE(f.providerRequests(), 1);

        f.settings->setPiiDetectionEnabled(false);
        f.provider.enqueue(ScriptedReply::json(200, chatAnswer(u"sent"_s)));
        QCOMPARE(process(f, u"write to ann@example.com"_s), u"sent"_s);
        QVERIFY(!f.router->lastError());
    }

    void failuresReachTheCallerAsAIErrors()
    {
        RouterFixture f({.storedMode = u"custom"_s});
        f.provider.enqueue(ScriptedReply::json(501, {}));
        const Answer notImplemented = process(f, u"text"_s);
        QCOMPARE(notImplemented.error().errorDescription(), u"Server error: HTTP 501"_s);
        QCOMPARE(f.router->lastErrorMessage(), u"Server error: HTTP 501"_s);
        QCOMPARE(f.providerRequests(), 1);

        f.provider.setDefaultReply(ScriptedReply::withEnding(ScriptedReply::Ending::never));
        std::stop_source stop;
        QTimer::singleShot(100ms, [&stop] { stop.request_stop(); });
        const Answer cancelled =
            process(f, u"other text"_s, TextAction::correct, std::nullopt, stop.get_token());
        QCOMPARE(failure(cancelled), AIError::Kind::cancelled);
        QVERIFY(f.router->lastError());
        QCOMPARE(f.router->lastError()->kind(), AIError::Kind::cancelled);

        // Nothing failed was cached.
        f.provider.setDefaultReply(ScriptedReply::json(200, chatAnswer(u"ok"_s)));
        QCOMPARE(process(f, u"text"_s), u"ok"_s);
        QVERIFY(!f.router->lastResultWasCached());
    }

    // Two callers at once: each sees the pieces of its own answer only, trimmed as the final
    // text will be. A stream that fails after text arrived leaves nothing in the cache.
    void partialTextBelongsToItsCallerAndNeverReachesTheCache()
    {
        RouterFixture f({.storedMode = u"custom"_s});
        f.provider.setHandler([](const ReceivedRequest& request) {
            const bool first = request.body.contains("first");
            return ScriptedReply::eventStream(
                chatStream(first ? QStringList{u"\n"_s, u"One "_s, u"two "_s, u"\n"_s}
                                 : QStringList{u"Un"_s, u" deux"_s}),
                20ms);
        });
        QStringList firstPartials;
        QStringList secondPartials;
        auto first = std::make_shared<std::optional<Outcome>>();
        auto second = std::make_shared<std::optional<Outcome>>();
        const auto start = [&f](const QString& text, QStringList* partials,
                                std::shared_ptr<std::optional<Outcome>> out) -> QCoro::Task<void> {
            QCoro::Task<Outcome> task = f.router->processText(
                text, TextAction::correct, {},
                [partials](const QString& soFar) { partials->append(soFar); }, {});
            out->emplace(co_await std::move(task));
        };
        start(u"first text"_s, &firstPartials, first);
        start(u"second text"_s, &secondPartials, second);
        QTRY_VERIFY(first->has_value() && second->has_value());
        QCOMPARE((*first)->value().text, u"One two"_s);
        QCOMPARE(firstPartials.last(), u"One two"_s); // "One" first, unless both came at once
        QVERIFY(firstPartials.size() <= 2);
        QCOMPARE((*second)->value().text, u"Un deux"_s);
        QCOMPARE(secondPartials.last(), u"Un deux"_s);
        QVERIFY(secondPartials.size() <= 2);

        // Cut off after its first piece: the error, and no answer kept.
        QList<QByteArray> cut = chatStream({u"Partial"_s, u" answer"_s});
        cut.resize(3);
        f.provider.setHandler({});
        f.provider.setDefaultReply(ScriptedReply::eventStream(cut));
        QCOMPARE(failure(process(f, u"third text"_s)), AIError::Kind::networkError);
        QCOMPARE(f.cache.count(), 2);
        f.provider.setDefaultReply(ScriptedReply::eventStream(chatStream({u"Whole"_s})));
        QCOMPARE(process(f, u"third text"_s), u"Whole"_s);
        QVERIFY(!f.router->lastResultWasCached());
    }

    // The model server as it lives beside the application: it goes away, comes back, loads,
    // asks for a key, stops mid-answer or at its output limit. The user's choice of Local
    // stands throughout: each request asks again when the last answer was "no", falls back
    // while the server cannot serve, and says why in the words of what was chosen.
    void theLocalServerComesAndGoes()
    {
        RouterFixture f({.localModel = true, .storedMode = u"local"_s});
        auto state = std::make_shared<std::atomic<int>>(0);
        enum { down, up, loading, needsKey, brokenBody, dropsMidAnswer, atItsLimit };
        f.modelServer.setHandler([state](const ReceivedRequest& request) {
            const bool list = request.path.endsWith("/models");
            switch (state->load()) {
            case down:
                return ScriptedReply::withEnding(ScriptedReply::Ending::dropBeforeAnswer);
            case loading:
                return ScriptedReply::json(503, R"({"error":{"message":"Loading model"}})");
            case needsKey:
                if (request.header("Authorization") != "Bearer sesame")
                    return ScriptedReply::json(401, R"({"error":"Unauthorized"})");
                break;
            case brokenBody:
                if (!list)
                    return ScriptedReply::json(500, R"({"error":"model 'm' not found"})");
                break;
            case dropsMidAnswer:
                if (!list) {
                    ScriptedReply reply = ScriptedReply::json(200, chatAnswer(u"half"_s));
                    reply.ending = ScriptedReply::Ending::dropMidBody;
                    return reply;
                }
                break;
            case atItsLimit:
                if (!list)
                    return ScriptedReply::json(
                        200, R"({"choices":[{"message":{"content":"It was the best of"},)"
                             R"("finish_reason":"length"}]})");
                break;
            }
            return list ? ScriptedReply::json(200, R"({"data":[{"id":"m"}]})")
                        : ScriptedReply::json(200, chatAnswer(u"on-device answer"_s));
        });
        f.settings->setCustomProvider(APIProvider::anthropic); // and no key for it
        const auto ask = [&f](const QString& text) { return request(f, text); };
        const auto message = [](const Outcome& outcome) {
            return outcome ? (outcome->fallbackReason ? outcome->fallbackReason->errorDescription()
                                                      : QString())
                           : outcome.error().errorDescription();
        };

        *state = down;
        f.model->refresh();
        QTRY_VERIFY(!f.model->isAvailable());
        QCOMPARE(message(ask(u"one"_s)), u"No local model server answers. API key not "
                                         u"configured. Please add your Anthropic API key."_s);
        QCOMPARE(f.settings->providerMode(), AIProviderMode::local);

        *state = up; // no user action: the next request finds it
        const Outcome served = ask(u"two"_s);
        QCOMPARE(served->text, u"on-device answer"_s);
        QCOMPARE(served->provider, u"Local"_s);
        QVERIFY(!served->fallbackReason);

        // A fresh "yes" is taken as it is: one generation, no second look at the list.
        const qsizetype before = f.modelServer.requests().size();
        QVERIFY(ask(u"three"_s).has_value());
        QCOMPARE(f.modelServer.requests().size(), before + 1);

        // A failed generation makes the next request ask again, and the reason is named.
        *state = loading;
        QVERIFY(!ask(u"four"_s));
        QCOMPARE(message(ask(u"five"_s)), u"The local model server is still loading the model. "
                                          u"API key not configured. Please add your Anthropic "
                                          u"API key."_s);
        f.settings->saveAPIKey(u"k"_s, APIProvider::anthropic);
        f.provider.enqueue(ScriptedReply::json(200, anthropicAnswer(u"from Anthropic"_s)));
        const Outcome stoodIn = ask(u"six"_s);
        QCOMPARE(stoodIn->text, u"from Anthropic"_s);
        QCOMPARE(message(stoodIn), u"The local model server is still loading the model. "
                                   u"Anthropic answered instead."_s);

        *state = needsKey;
        f.provider.setDefaultReply(ScriptedReply::json(200, anthropicAnswer(u"again"_s)));
        QCOMPARE(message(ask(u"seven"_s)),
                 u"The local model server asks for an API key. Anthropic answered instead."_s);
        QVERIFY(QCoro::waitFor(f.settings->saveLocalServerAPIKey(u"sesame"_s)));
        QCOMPARE(ask(u"eight"_s)->text, u"on-device answer"_s);

        // The server's own words, without a prefix twice; a connection lost mid-answer.
        *state = brokenBody;
        QCOMPARE(message(ask(u"nine"_s)), u"Local model error: The model server answered with "
                                          u"an error: model 'm' not found"_s);
        *state = dropsMidAnswer;
        QCOMPARE(message(ask(u"ten"_s)), u"Local model error: The model server closed the "
                                         u"connection before it finished answering."_s);

        // An answer cut at the output limit says so, and is not kept for the next request.
        *state = atItsLimit;
        const Outcome cut = ask(u"eleven"_s);
        QVERIFY(cut->cutShort);
        QCOMPARE(cut->text, u"It was the best of"_s);
        QVERIFY(!ask(u"eleven"_s)->wasCached);

        // Another model on the server is another cache entry.
        *state = needsKey;
        QVERIFY(ask(u"twelve"_s).has_value());
        QVERIFY(ask(u"twelve"_s)->wasCached);
        f.settings->setLocalModelName(u"m"_s);
        QVERIFY(!ask(u"twelve"_s)->wasCached);
    }

    void busyFollowsTheBackEndsOneTurnLate()
    {
        RouterFixture f({.storedMode = u"custom"_s});
        ScriptedReply slow = ScriptedReply::json(200, chatAnswer(u"late"_s));
        slow.delay = 200ms;
        f.provider.enqueue(slow);

        auto outcome = std::make_shared<std::optional<Outcome>>();
        [](AIServiceProvider* router,
           std::shared_ptr<std::optional<Outcome>> out) -> QCoro::Task<void> {
            QCoro::Task<Outcome> task =
                router->processText(u"text"_s, TextAction::correct, {}, {}, {});
            out->emplace(co_await std::move(task));
        }(f.router.get(), outcome);

        QVERIFY(f.router->customService().isProcessing());
        QVERIFY(!f.router->isProcessing()); // not yet: the news arrives one turn late
        QTRY_VERIFY(f.router->isProcessing());
        QTRY_VERIFY(outcome->has_value());
        QTRY_VERIFY(!f.router->isProcessing());
        QCOMPARE((*outcome)->value().text, u"late"_s);
    }
};

LEXWICK_TEST(AIServiceProviderTest)
#include "AIServiceProviderTest.moc"
