// SPDX-License-Identifier: MIT
#include "RouterFixture.h"

#include "backends/CustomAIService.h"
#include "backends/GroqAIService.h"
#include "backends/LocalAIService.h"
#include "Expect.h"


namespace lexwick::test {

RouterFixture::RouterFixture(Options options)
{
    modelServer.setHandler([](const ReceivedRequest& request) {
        return request.path.endsWith("/models")
                   ? ScriptedReply::json(200, R"({"data":[{"id":"m"}]})")
                   : ScriptedReply::json(200, chatAnswer(QStringLiteral("on-device answer")));
    });
    const QString modelURL =
        options.localModel
            ? modelServer.url(QStringLiteral("/v1")).toString()
            : QStringLiteral("http://127.0.0.1:%1/v1").arg(TestHttpServer::refusedPort());
    defaults.setObject(modelURL, SettingsManager::localServerKey);
    if (options.storedMode)
        defaults.setObject(*options.storedMode, SettingsManager::providerModeKey);
    defaults.setObject(QByteArray("test-key"), QStringLiteral("lexwick_apikey_groq"));

    model = std::make_unique<SystemLanguageModel>(modelURL, QString(), client);
    settings = std::make_unique<SettingsManager>(defaults, *model);
    if (options.chosenMode)
        settings->setProviderMode(*options.chosenMode);
    const QUrl host = provider.url(QString());
    AIServiceProvider::Backends backends{
        options.localBackEnd ? options.localBackEnd(*model)
                             : std::make_unique<LocalAIService>(*model),
        std::make_unique<GroqAIService>(
            provider.url(QStringLiteral("/openai/v1/chat/completions")).toString(),
            QStringLiteral("cloud-key"), GroqAIService::defaultTimeout, client),
        std::make_unique<CustomAIService>(*settings, CustomAIService::Hosts{host, host, host},
                                          RetryHandler(3, 0.01, 0.05), client),
    };
    router = std::make_unique<AIServiceProvider>(*settings, std::move(backends), cache);
}

} // namespace lexwick::test
