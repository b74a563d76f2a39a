// SPDX-License-Identifier: MIT
#include "localmodel/SystemLanguageModel.h"

#include "core/HttpClient.h"
#include "localmodel/BlockingProbe.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>

namespace lexwick {

using Availability = SystemLanguageModel::Availability;
using UnavailableReason = SystemLanguageModel::UnavailableReason;

namespace {

struct Outcome {
    Availability availability;
    QString model;          // the model a generation would ask for, when available
    bool undecided = false; // the first probe ran out of time: the answer is provisional
    QStringList listed;     // the models the server listed
};

const Availability noServer = Availability::unavailable(UnavailableReason::other);
const Availability notReady = Availability::unavailable(UnavailableReason::modelNotReady);
const Availability loading = Availability::unavailable(UnavailableReason::loading);
const Availability needsKey = Availability::unavailable(UnavailableReason::needsKey);

// A model list is a few kilobytes; anything far larger is not one.
constexpr qsizetype maxListSize = 1024 * 1024;

std::optional<QUrl> loopbackBase(const QString& text)
{
    QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!SystemLanguageModel::isLoopbackServer(url))
        return std::nullopt;
    // Only the parts that say where the server is; user info, query and fragment are dropped.
    QUrl base;
    base.setScheme(url.scheme());
    base.setHost(url.host());
    base.setPort(url.port());
    QString path = url.path();
    while (path.endsWith(u'/'))
        path.chop(1);
    base.setPath(path);
    return base;
}

// What an answer of GET <server>/models says about the model.
Outcome classify(int status, const QByteArray& body, const QString& wanted)
{
    if (status == 503) // the server is up, but still loading
        return {loading, {}};
    if (status == 401 || status == 403)
        return {needsKey, {}};
    if (status != 200)
        return {noServer, {}};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    const QJsonValue data = document.object().value(u"data");
    if (error.error != QJsonParseError::NoError || !data.isArray())
        return {noServer, {}};
    QStringList ids;
    for (const QJsonValue& entry : data.toArray()) {
        const QJsonValue id = entry.toObject().value(u"id");
        if (id.isString() && !id.toString().isEmpty())
            ids << id.toString();
    }
    if (wanted.isEmpty()) {
        return ids.isEmpty() ? Outcome{notReady, {}}
                             : Outcome{Availability::available(), ids[0], false, ids};
    }
    for (const QString& id : std::as_const(ids)) {
        if (SystemLanguageModel::isListedAs(id, wanted))
            return {Availability::available(), id, false, ids};
    }
    return {notReady, {}, false, ids};
}

// The first probe, while the caller waits: a refused port answers at once; a server that takes
// longer than the bound gets a provisional "no" and a background probe.
Outcome probeBlocking(const QUrl& url, const QString& wanted, const QString& key,
                      std::chrono::milliseconds bound)
{
    const auto answer = blockingprobe::get(url, QDeadlineTimer(bound), maxListSize, key.toUtf8());
    if (!answer || (!*answer && answer->error() == blockingprobe::Failure::unsupported))
        return {noServer, {}, true};
    if (!*answer)
        return {noServer, {}};
    return classify((*answer)->status, (*answer)->body, wanted);
}

} // namespace

SystemLanguageModel::SystemLanguageModel(HttpClient& client, QObject* parent)
    : SystemLanguageModel(QString::fromLatin1(defaultServerURL), QString(), client, Timing{},
                          parent)
{
}

SystemLanguageModel::SystemLanguageModel(QString serverURL, QString modelName, HttpClient& client,
                                         QObject* parent)
    : SystemLanguageModel(std::move(serverURL), std::move(modelName), client, Timing{}, parent)
{
}

SystemLanguageModel::SystemLanguageModel(QString serverURL, QString modelName, HttpClient& client,
                                         Timing timing, QObject* parent)
    : QObject(parent)
    , m_serverURL(std::move(serverURL))
    , m_modelName(std::move(modelName))
    , m_base(loopbackBase(m_serverURL))
    , m_client(client)
    , m_timing(timing)
{
    // The probe at start: once the event loop runs, unless somebody has asked by then. A first
    // question after it has answered does not wait at all.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_lastAnswer && m_currentProbesInFlight == 0)
                refresh();
        },
        Qt::QueuedConnection);
}

SystemLanguageModel::~SystemLanguageModel()
{
    m_lifetime.request_stop();
}

bool SystemLanguageModel::isListedAs(const QString& listedId, const QString& wanted)
{
    return listedId == wanted ||
           (!wanted.contains(u':') && listedId == wanted + QStringLiteral(":latest"));
}

bool SystemLanguageModel::isLoopbackServer(const QUrl& url)
{
    // QUrl has already turned every spelling of an IPv4 address ("127.1", "2130706433",
    // "0x7f.0.0.1") into its dotted form, lower-cased names, and taken user info apart from
    // the host, so what is checked here is exactly what would be connected to.
    if (!url.isValid() || url.scheme() != u"http")
        return false;
    const QString host = url.host();
    if (host == u"localhost")
        return true;
    QHostAddress address;
    return address.setAddress(host) && address.isLoopback();
}

void SystemLanguageModel::setServerURL(QString serverURL)
{
    if (serverURL == m_serverURL)
        return;
    m_serverURL = std::move(serverURL);
    m_base = loopbackBase(m_serverURL);
    setListedModels({}); // another server lists other models
    reconfigure();
}

void SystemLanguageModel::setModelName(QString modelName)
{
    if (modelName == m_modelName)
        return;
    m_modelName = std::move(modelName);
    reconfigure();
}

void SystemLanguageModel::setAPIKey(QString key)
{
    if (key == m_apiKey)
        return;
    m_apiKey = std::move(key);
    reconfigure();
}

HttpHeaders SystemLanguageModel::headers() const
{
    HttpHeaders headers{{"Accept", "application/json"}};
    if (!m_apiKey.isEmpty())
        headers.append(
            std::pair<QByteArray, QByteArray>("Authorization", "Bearer " + m_apiKey.toUtf8()));
    return headers;
}

void SystemLanguageModel::reconfigure()
{
    ++m_generation;
    m_currentProbesInFlight = 0;
    m_effectiveModelName.clear();
    m_answer.reset();
    if (!m_base) {
        setAnswer(noServer);
        return;
    }
    // Somebody has read an answer for the old settings: find the new one for them.
    if (m_lastAnswer)
        refresh();
}

Availability SystemLanguageModel::availability()
{
    // A question is often asked while a binding evaluates: news it brings is published a turn
    // later, so that no binding re-enters itself.
    if (!m_base) {
        setAnswer(noServer, Publish::later);
        return noServer;
    }
    if (!m_answer) {
        m_lastProbe = std::chrono::steady_clock::now();
        const Outcome first =
            probeBlocking(*endpoint(u"/models"), m_modelName, m_apiKey, m_timing.firstProbeBound);
        keep(m_generation, first.availability, first.model, first.listed, Publish::later);
        if (first.undecided)
            refresh();
        return *m_answer;
    }
    if (m_currentProbesInFlight == 0 &&
        std::chrono::steady_clock::now() - m_lastProbe >= m_timing.probeInterval)
        refresh();
    return *m_answer;
}

void SystemLanguageModel::distrust()
{
    m_trusted = false;
    refresh();
}

void SystemLanguageModel::refresh()
{
    if (!m_base) {
        setAnswer(noServer);
        return;
    }
    if (m_currentProbesInFlight > 0)
        return;
    (void)probe(m_lifetime.get_token()); // runs to its end on its own
}

QCoro::Task<Availability> SystemLanguageModel::probe(std::stop_token stop)
{
    return probe(m_timing.probeTimeout, std::move(stop));
}

QCoro::Task<Availability> SystemLanguageModel::checkedAvailability(std::stop_token stop)
{
    if (m_answer && m_answer->isAvailable() && m_trusted &&
        std::chrono::steady_clock::now() - m_lastProbe < m_timing.probeInterval)
        return [](Availability kept) -> QCoro::Task<Availability> { co_return kept; }(*m_answer);
    return probe(m_timing.requestProbeBound, std::move(stop));
}

QCoro::Task<Availability> SystemLanguageModel::probe(std::chrono::milliseconds timeout,
                                                     std::stop_token stop)
{
    const std::optional<QUrl> url = endpoint(u"/models");
    if (!url) {
        setAnswer(noServer);
        co_return noServer;
    }
    const std::uint64_t generation = m_generation;
    const QString wanted = m_modelName;
    ++m_probesInFlight;
    ++m_currentProbesInFlight;
    m_lastProbe = std::chrono::steady_clock::now();

    QPointer self(this);
    HttpRequest request{.method = "GET", .url = *url, .headers = headers(), .timeout = timeout};
    auto exchange = m_client.send(std::move(request), stop);
    const Result<HttpResponse> response = co_await std::move(exchange);
    if (!self)
        co_return noServer;
    --m_probesInFlight;
    if (generation == m_generation)
        --m_currentProbesInFlight;

    // A probe that was called off says nothing about the server.
    if (!response && response.error().is<CancellationError>())
        co_return m_answer.value_or(noServer);
    const Outcome outcome =
        response ? classify(response->statusCode, response->body, wanted) : Outcome{noServer, {}};
    keep(generation, outcome.availability, outcome.model, outcome.listed);
    co_return outcome.availability;
}

std::optional<QUrl> SystemLanguageModel::endpoint(QStringView path) const
{
    if (!m_base)
        return std::nullopt;
    QUrl url = *m_base;
    url.setPath(m_base->path() + path.toString());
    return url;
}

void SystemLanguageModel::keep(std::uint64_t generation, Availability availability,
                               QString effectiveModelName, QStringList listed, Publish publish)
{
    if (generation != m_generation) // an answer about the settings before the last change
        return;
    m_effectiveModelName = std::move(effectiveModelName);
    m_trusted = true;
    setAnswer(availability, publish);
    setListedModels(std::move(listed), publish);
}

void SystemLanguageModel::setListedModels(QStringList listed, Publish publish)
{
    if (m_listedModels == listed)
        return;
    m_listedModels = std::move(listed);
    announce(&SystemLanguageModel::listedModelsChanged, publish);
}

void SystemLanguageModel::setAnswer(Availability answer, Publish publish)
{
    const bool changed = !m_lastAnswer || *m_lastAnswer != answer;
    m_answer = answer;
    m_lastAnswer = answer;
    if (changed)
        announce(&SystemLanguageModel::availabilityChanged, publish);
}

void SystemLanguageModel::announce(void (SystemLanguageModel::*signal)(), Publish publish)
{
    if (publish == Publish::now)
        Q_EMIT(this->*signal)();
    else
        QMetaObject::invokeMethod(this, signal, Qt::QueuedConnection);
}

} // namespace lexwick
