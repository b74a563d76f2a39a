// SPDX-License-Identifier: MIT
#include "backends/ProviderModels.h"

#include "core/ChatCompletions.h"
#include "core/HttpClient.h"
#include "settings/SettingsManager.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QUrlQuery>

#include <algorithm>
#include <utility>

namespace lexwick {

namespace {

QUrl listAddress(QUrl host, APIProvider provider)
{
    switch (provider) {
    case APIProvider::groq:
        host.setPath(QStringLiteral("/openai/v1/models"));
        break;
    case APIProvider::openai:
        host.setPath(QStringLiteral("/v1/models"));
        break;
    case APIProvider::anthropic:
        host.setPath(QStringLiteral("/v1/models"));
        // One page holds every model; the default page is short.
        host.setQuery(QStringLiteral("limit=1000"));
        break;
    }
    return host;
}

// The lists say nothing of what a model does; speech, image, embedding, moderation and
// classifier models are known by their names, and none of them answers a chat request.
bool answersChat(const QString& id)
{
    static constexpr QLatin1StringView others[] = {
        QLatin1StringView("whisper"),    QLatin1StringView("tts"),
        QLatin1StringView("transcribe"), QLatin1StringView("embedding"),
        QLatin1StringView("moderation"), QLatin1StringView("dall-e"),
        QLatin1StringView("gpt-image"),  QLatin1StringView("realtime"),
        QLatin1StringView("guard"),      QLatin1StringView("sora"),
        QLatin1StringView("davinci"),    QLatin1StringView("babbage")};
    return std::none_of(std::begin(others), std::end(others), [&](QLatin1StringView word) {
        return id.contains(word, Qt::CaseInsensitive);
    });
}

} // namespace

ProviderModels::ProviderModels(SettingsManager& settings, HttpClient& client, QObject* parent)
    : ProviderModels(settings, CustomAIService::Hosts::production(), client, defaultTimeout, parent)
{
}

ProviderModels::ProviderModels(SettingsManager& settings, CustomAIService::Hosts hosts,
                               HttpClient& client, std::chrono::milliseconds timeout,
                               QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_hosts(std::move(hosts))
    , m_client(client)
    , m_timeout(timeout)
{
    // A new key may see other models (or none); another provider is asked afresh.
    connect(&m_settings, &SettingsManager::apiKeysChanged, this, &ProviderModels::forgetAll);
    connect(&m_settings, &SettingsManager::customProviderChanged, this, &ProviderModels::forgetAll);
}

ProviderModels::~ProviderModels()
{
    for (Entry& e : m_entries) {
        if (e.fetching)
            e.fetching->request_stop();
    }
}

std::optional<QList<AIModel>> ProviderModels::listed(APIProvider provider) const
{
    const Entry& e = entry(provider);
    if (e.state != State::listed)
        return std::nullopt;
    return e.models;
}

QList<AIModel> ProviderModels::pickerModels(APIProvider provider) const
{
    const Entry& e = entry(provider);
    return e.state == State::listed ? merge(availableModels(provider), e.models)
                                    : availableModels(provider);
}

bool ProviderModels::isRetired(APIProvider provider, const QString& modelId) const
{
    const Entry& e = entry(provider);
    return e.state == State::listed &&
           std::none_of(e.models.cbegin(), e.models.cend(),
                        [&](const AIModel& m) { return m.id == modelId; });
}

void ProviderModels::fetch(APIProvider provider)
{
    Entry& e = entry(provider);
    if (e.state != State::unknown)
        return;
    const std::optional<QString> key = m_settings.getAPIKey(provider);
    if (!key) {
        e.state = State::failed;
        Q_EMIT modelsChanged(provider);
        return;
    }
    e.state = State::fetching;
    e.fetching.emplace();
    Q_EMIT modelsChanged(provider);
    runFetch(provider, *key, e.fetching->get_token()); // runs on; forgetAll() stops it
}

void ProviderModels::forgetAll()
{
    for (APIProvider provider : allAPIProviders) {
        Entry& e = entry(provider);
        if (e.fetching)
            e.fetching->request_stop();
        const bool known = e.state != State::unknown;
        e = Entry{};
        if (known)
            Q_EMIT modelsChanged(provider);
    }
}

QCoro::Task<void> ProviderModels::runFetch(APIProvider provider, QString key, std::stop_token stop)
{
    QPointer self(this);
    QCoro::Task<Result<QList<AIModel>>> asking = requestModels(provider, key, stop);
    const Result<QList<AIModel>> models = co_await std::move(asking);
    if (!self || stop.stop_requested())
        co_return; // forgotten meanwhile: a newer question decides
    Entry& e = entry(provider);
    e.fetching.reset();
    e.state = models ? State::listed : State::failed;
    e.models = models ? *models : QList<AIModel>();
    Q_EMIT modelsChanged(provider);
}

QCoro::Task<Result<QList<AIModel>>> ProviderModels::requestModels(APIProvider provider, QString key,
                                                                  std::stop_token stop)
{
    const QUrl url = listAddress(m_hosts.of(provider), provider);
    if (!url.isValid() || url.host().isEmpty())
        co_return std::unexpected(AIError(AIError::InvalidURL{}));
    HttpRequest request{.method = "GET",
                        .url = url,
                        .headers = CustomAIService::authHeaders(provider, key),
                        .body = {},
                        .timeout = m_timeout};
    const Result<HttpResponse> response = co_await m_client.send(std::move(request), stop);
    if (!response)
        co_return std::unexpected(response.error());
    if (response->statusCode != 200)
        co_return std::unexpected(
            chatcompletions::statusFailure(response->statusCode, response->body));
    std::optional<QList<AIModel>> models = decodeList(provider, response->body);
    if (!models)
        co_return std::unexpected(DecodingError{QStringLiteral("The model list is unreadable")});
    co_return *models;
}

std::optional<QList<AIModel>> ProviderModels::decodeList(APIProvider provider,
                                                         const QByteArray& body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    const QJsonValue data = document.object().value(QLatin1String("data"));
    if (!data.isArray())
        return std::nullopt;
    QList<AIModel> models;
    for (const QJsonValue& value : data.toArray()) {
        const QJsonObject object = value.toObject();
        const QString id = object.value(QLatin1String("id")).toString();
        if (id.isEmpty() || !answersChat(id))
            continue;
        QString name = id;
        if (provider == APIProvider::groq && !object.value(QLatin1String("active")).toBool(true))
            continue;
        if (provider == APIProvider::anthropic) {
            if (object.value(QLatin1String("type")).toString(QStringLiteral("model")) != u"model")
                continue;
            name = object.value(QLatin1String("display_name")).toString(id);
        }
        models.append(AIModel{id, name, provider});
    }
    return models;
}

QList<AIModel> ProviderModels::merge(const QList<AIModel>& catalogue, const QList<AIModel>& listed)
{
    QList<AIModel> models;
    const auto isListed = [&](const AIModel& m) {
        return std::any_of(listed.cbegin(), listed.cend(),
                           [&](const AIModel& l) { return l.id == m.id; });
    };
    for (const AIModel& m : catalogue) {
        if (isListed(m))
            models.append(m); // the catalogue's own label
    }
    const auto inCatalogue = [&](const AIModel& l) {
        return std::any_of(catalogue.cbegin(), catalogue.cend(),
                           [&](const AIModel& m) { return m.id == l.id; });
    };
    for (const AIModel& l : listed) {
        if (!inCatalogue(l))
            models.append(l);
    }
    return models;
}

} // namespace lexwick
