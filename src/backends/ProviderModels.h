// SPDX-License-Identifier: MIT
#pragma once

#include "backends/CustomAIService.h"
#include "core/Error.h"
#include "settings/APIProvider.h"

#include <QByteArray>
#include <QCoroTask>
#include <QList>
#include <QObject>

#include <array>
#include <chrono>
#include <optional>
#include <stop_token>

namespace lexwick {

class HttpClient;
class SettingsManager;

// The models each provider serves now, as its own list says. The fixed catalogue goes stale as
// providers retire models, and a retired model fails every request; the model picker offers
// what is still served.
//
// A list is asked for once per provider and run, with the stored key, in one short exchange
// without retries, and kept; it is forgotten when a key is saved or deleted or the provider
// changes, so the next question asks again. Nothing here ever changes the stored model. Lives
// on the main thread.
class ProviderModels : public QObject {
    Q_OBJECT

public:
    enum class State {
        unknown,  // not asked yet (or forgotten)
        fetching, // the provider is being asked
        listed,   // the provider answered with its list
        failed    // no key, or no usable answer: the catalogue stands
    };

    static constexpr std::chrono::milliseconds defaultTimeout = std::chrono::seconds(8);

    // The providers' public hosts.
    ProviderModels(SettingsManager& settings, HttpClient& client, QObject* parent = nullptr);
    // Other hosts and time-out (tests).
    ProviderModels(SettingsManager& settings, CustomAIService::Hosts hosts, HttpClient& client,
                   std::chrono::milliseconds timeout, QObject* parent = nullptr);
    ~ProviderModels() override;

    State state(APIProvider provider) const { return entry(provider).state; }
    // The provider's own list, once it answered.
    std::optional<QList<AIModel>> listed(APIProvider provider) const;
    // What the picker offers: the catalogue's models the provider still lists (catalogue order),
    // then the others it lists; the catalogue itself while no list is known.
    QList<AIModel> pickerModels(APIProvider provider) const;
    // Whether the provider answered with a list that lacks this model.
    bool isRetired(APIProvider provider, const QString& modelId) const;

    // Asks the provider for its list unless it is known or being asked for. Without a stored
    // key the state becomes failed at once.
    void fetch(APIProvider provider);
    // Forgets every list, and stops the questions under way.
    void forgetAll();

    // One exchange with the provider: its models, or why there are none.
    QCoro::Task<Result<QList<AIModel>>> requestModels(APIProvider provider, QString key,
                                                      std::stop_token stop);

    // The provider's list answer read as models: Groq's inactive models and Anthropic's
    // entries of another type are left out. Nothing when the body is not such a list.
    static std::optional<QList<AIModel>> decodeList(APIProvider provider, const QByteArray& body);
    // The merge behind pickerModels.
    static QList<AIModel> merge(const QList<AIModel>& catalogue, const QList<AIModel>& listed);

Q_SIGNALS:
    // The state or the list of this provider changed.
    void modelsChanged(lexwick::APIProviders::APIProvider provider);

private:
    struct Entry {
        State state = State::unknown;
        QList<AIModel> models;
        std::optional<std::stop_source> fetching;
    };

    Entry& entry(APIProvider provider) { return m_entries.at(std::size_t(provider)); }
    const Entry& entry(APIProvider provider) const { return m_entries.at(std::size_t(provider)); }
    QCoro::Task<void> runFetch(APIProvider provider, QString key, std::stop_token stop);

    SettingsManager& m_settings;
    const CustomAIService::Hosts m_hosts;
    HttpClient& m_client;
    const std::chrono::milliseconds m_timeout;
    std::array<Entry, 3> m_entries;
};

} // namespace lexwick
