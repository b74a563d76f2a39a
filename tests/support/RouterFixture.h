// SPDX-License-Identifier: MIT
#pragma once

#include "backends/LocalAIService.h"
#include "localmodel/SystemLanguageModel.h"
#include "BackgroundTestHttpServer.h"
#include "router/AIServiceProvider.h"
#include "core/HttpClient.h"
#include "core/ResponseCache.h"
#include "settings/SettingsManager.h"
#include "settings/UserDefaults.h"
#include "TestHttpServer.h"

#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace lexwick::test {

// The request path of the application wired to local servers: a provider server that answers
// as Groq, OpenAI and Anthropic do, and an on-device model server (listing the model "m")
// that answers or is absent. Retry pauses are a few milliseconds.
struct RouterFixture {
    struct Options {
        bool localModel = false; // whether the on-device model server is there
        std::optional<QString> storedMode;
        // Chosen after the settings started, before the router does.
        std::optional<AIProviderMode> chosenMode;
        // Another on-device back-end over the model, in place of the product's.
        std::function<std::unique_ptr<LocalAIService>(SystemLanguageModel&)> localBackEnd;
    };

    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath(QStringLiteral("defaults.cbor"))};
    HttpClient client;
    TestHttpServer provider;
    BackgroundTestHttpServer modelServer;
    std::unique_ptr<SystemLanguageModel> model;
    std::unique_ptr<SettingsManager> settings;
    ResponseCache cache;
    std::unique_ptr<AIServiceProvider> router;

    explicit RouterFixture(Options options);
    RouterFixture()
        : RouterFixture(Options{})
    {
    }

    // The requests the provider server received on its chat-completions paths.
    qsizetype providerRequests() const { return provider.requests().size(); }
};

} // namespace lexwick::test
