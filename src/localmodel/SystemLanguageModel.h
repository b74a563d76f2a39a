// SPDX-License-Identifier: MIT
#pragma once

#include "core/HttpClient.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QUrl>

#include <chrono>
#include <optional>
#include <stop_token>

namespace lexwick {

// The on-device language model: a model served by an OpenAI-compatible model server on this
// machine (Ollama, llama.cpp's server, LM Studio). Only loopback addresses are ever contacted,
// so no text given to the model leaves the machine.
//
// Whether the model can be used is asked often and from code that cannot wait, so the answer
// is kept and returned at once. A question that finds no answer yet (the first one, unless the
// probe at start has answered already, and the first after the address or the model changed)
// probes the server while the caller waits, for a short bounded time and without running the
// event loop. Every other probe runs in the background: at start, before each generation, on
// refresh(), after a failed generation, and when a question finds the kept answer older than
// the probe interval. A changed answer is published through availabilityChanged(). Lives on
// the main thread.
class SystemLanguageModel : public QObject {
    Q_OBJECT

public:
    enum class UnavailableReason {
        deviceNotEligible,
        appleIntelligenceNotEnabled,
        modelNotReady, // the server is up but does not list the model
        other,         // no server, no sensible answer, or an address off this machine
        loading,       // the server is up and still loading a model (503)
        needsKey       // the server asks for an API key, or refuses the one it was given
    };

    // Either available, or unavailable with a reason.
    class Availability {
    public:
        static Availability available() { return Availability(std::nullopt); }
        static Availability unavailable(UnavailableReason reason) { return Availability(reason); }

        bool isAvailable() const { return !m_reason; }
        std::optional<UnavailableReason> unavailableReason() const { return m_reason; }

        bool operator==(const Availability&) const = default;

    private:
        explicit Availability(std::optional<UnavailableReason> reason)
            : m_reason(reason)
        {
        }
        std::optional<UnavailableReason> m_reason;
    };

    // How long the first probe may keep the caller waiting, how long a background probe may
    // take, and how old a kept answer may grow before a question starts a background probe.
    struct Timing {
        std::chrono::milliseconds firstProbeBound{300};
        std::chrono::milliseconds probeTimeout{10'000};
        std::chrono::milliseconds probeInterval{30'000};
        // How long a request waits for the server's answer to "are you there?" before it goes
        // on without it.
        std::chrono::milliseconds requestProbeBound{1'000};
        // How long a generation's stream may stay silent.
        StreamTimeouts generation = StreamTimeouts::localModel();
    };

    static constexpr auto defaultServerURL = "http://127.0.0.1:11434/v1";

    // The default server and the first model it lists.
    explicit SystemLanguageModel(HttpClient& client, QObject* parent = nullptr);
    // An empty model name stands for the first model the server lists.
    SystemLanguageModel(QString serverURL, QString modelName, HttpClient& client,
                        QObject* parent = nullptr);
    SystemLanguageModel(QString serverURL, QString modelName, HttpClient& client, Timing timing,
                        QObject* parent = nullptr);
    ~SystemLanguageModel() override;

    // Whether a model the server lists is the one asked for by that name: Ollama lists
    // "name:latest" for a model asked for as plain "name".
    static bool isListedAs(const QString& listedId, const QString& wanted);

    // Whether the address is an http address on the loopback interface (127.0.0.0/8, ::1 or
    // "localhost"): the only addresses this model ever sends anything to.
    static bool isLoopbackServer(const QUrl& url);

    const QString& serverURL() const { return m_serverURL; }
    const QString& modelName() const { return m_modelName; }
    // Each change forgets the kept answer and probes the server afresh. The API key (empty for
    // none) goes to this server only, as a bearer token.
    void setServerURL(QString serverURL);
    void setModelName(QString modelName);
    void setAPIKey(QString key);

    // The kept answer, at once. See the class comment for when it probes the server.
    Availability availability();
    bool isAvailable() { return availability().isAvailable(); }

    // Probes the server now and waits for the answer, which is kept and published.
    QCoro::Task<Availability> probe(std::stop_token stop);
    // The answer a request goes by: a kept "available" younger than the probe interval as it
    // is; anything else is asked again (a server that was down may be up now), waiting at most
    // the request bound.
    QCoro::Task<Availability> checkedAvailability(std::stop_token stop);
    // Whether a probe of the server is on its way.
    bool isProbing() const { return m_probesInFlight > 0; }

    // The server's endpoint at this path below its address; nothing when the address is not
    // a loopback http address.
    std::optional<QUrl> endpoint(QStringView path) const;
    // The headers every request to the server carries: what it answers in, and the API key.
    HttpHeaders headers() const;
    // The model a generation asks for: the listed model that matched the configured name, or
    // the first listed one when no name is configured. Empty until a probe found one.
    const QString& effectiveModelName() const { return m_effectiveModelName; }
    // The models the server listed at the last probe, in its order; empty when it listed none
    // or did not answer.
    const QStringList& listedModels() const { return m_listedModels; }
    HttpClient& httpClient() const { return m_client; }
    StreamTimeouts streamTimeouts() const { return m_timing.generation; }

    // A generation failed: the kept answer is not taken on trust by the next request, and a
    // background probe starts.
    void distrust();

public Q_SLOTS:
    // Starts a background probe of the server, unless one is already on its way.
    void refresh();

Q_SIGNALS:
    void availabilityChanged();
    void listedModelsChanged();

private:
    QCoro::Task<Availability> probe(std::chrono::milliseconds timeout, std::stop_token stop);
    void reconfigure();
    enum class Publish { now, later };
    void keep(std::uint64_t generation, Availability availability, QString effectiveModelName,
              QStringList listed, Publish publish = Publish::now);
    void setListedModels(QStringList listed, Publish publish = Publish::now);
    void announce(void (SystemLanguageModel::*signal)(), Publish publish);
    void setAnswer(Availability answer, Publish publish = Publish::now);

    QString m_serverURL;
    QString m_modelName;
    QString m_apiKey;
    std::optional<QUrl> m_base; // the parsed address, when it is a loopback one
    HttpClient& m_client;
    const Timing m_timing;

    std::optional<Availability> m_answer;     // for the current address and model
    std::optional<Availability> m_lastAnswer; // the last one anybody could have read
    QString m_effectiveModelName;
    QStringList m_listedModels;
    bool m_trusted = true;          // no generation has failed since the kept answer came
    std::uint64_t m_generation = 0; // counts changes of address or model
    int m_probesInFlight = 0;
    int m_currentProbesInFlight = 0; // of them, those for the current generation
    std::chrono::steady_clock::time_point m_lastProbe;
    std::stop_source m_lifetime; // ends background probes with the object
};

} // namespace lexwick
