// SPDX-License-Identifier: MIT
#include "ui/LocalServerView.h"

#include "localmodel/SystemLanguageModel.h"
#include "settings/SettingsManager.h"
#include "ui/PickerEntries.h"

#include <QJSEngine>
#include <QPointer>
#include <QVariantMap>

namespace lexwick {

using namespace Qt::StringLiterals;

namespace {

bool isLoopbackAddress(const QString& address)
{
    return SystemLanguageModel::isLoopbackServer(QUrl(address.trimmed()));
}

} // namespace

LocalServerView::LocalServerView(SettingsManager& settings, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_addressInput(settings.localServerURL())
    , m_apiKeyInput(settings.localServerAPIKey().value_or(QString()))
{
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
    m_liveChecks.setInterval(liveCheckInterval);
    connect(&m_liveChecks, &QTimer::timeout, this, [this] {
        if (!m_checking)
            checkAgain();
    });
    SystemLanguageModel& model = m_settings.localModel();
    connect(&model, &SystemLanguageModel::availabilityChanged, this,
            &LocalServerView::stateChanged);
    connect(&model, &SystemLanguageModel::listedModelsChanged, this,
            &LocalServerView::modelsChanged);
    connect(&m_settings, &SettingsManager::localModelNameChanged, this,
            &LocalServerView::modelsChanged);
    // The keyring's key arrives after a screen that opened at start-up read the file's; it
    // fills a field the user has not typed into.
    connect(&m_settings.keychain(), &KeychainManager::storeChanged, this,
            [this, shown = m_apiKeyInput] {
                if (m_apiKeyInput == shown)
                    setAPIKeyInput(m_settings.localServerAPIKey().value_or(QString()));
            });
    checkAgain();
}

LocalServerView::~LocalServerView()
{
    m_lifetime.request_stop();
}

void LocalServerView::setAddressInput(const QString& text)
{
    if (m_addressInput == text)
        return;
    m_addressInput = text;
    Q_EMIT addressInputChanged();
}

void LocalServerView::setAPIKeyInput(const QString& text)
{
    if (m_apiKeyInput == text)
        return;
    m_apiKeyInput = text;
    Q_EMIT apiKeyInputChanged();
}

void LocalServerView::applyAPIKey()
{
    if (m_apiKeyInput == m_settings.localServerAPIKey().value_or(QString()))
        return;
    storeAPIKey(m_apiKeyInput);
}

QCoro::Task<void> LocalServerView::storeAPIKey(QString key)
{
    QPointer<LocalServerView> self(this);
    auto storing = key.isEmpty() ? m_settings.deleteLocalServerAPIKey()
                                 : m_settings.saveLocalServerAPIKey(key);
    const auto stored = co_await std::move(storing);
    // A key with no UTF-8 form, or one the keyring refused: the server would not get it.
    if (self && stored)
        checkAgain();
}

void LocalServerView::setLive(bool live)
{
    if (live == isLive())
        return;
    if (live) {
        m_liveChecks.start();
        checkAgain();
    } else {
        m_liveChecks.stop();
    }
    Q_EMIT liveChanged();
}

void LocalServerView::applyAddress()
{
    const QString address = m_addressInput.trimmed();
    const QString error = isLoopbackAddress(address)
                              ? QString()
                              : u"Only a server on this computer can be used: an http address "
                                u"on 127.0.0.1, ::1 or localhost."_s;
    if (error != m_addressError) {
        m_addressError = error;
        Q_EMIT addressErrorChanged();
    }
    if (!error.isEmpty() || address == m_settings.localServerURL())
        return;
    m_settings.setLocalServerURL(address);
    checkAgain();
}

// The stored name as the server lists it ("m" is listed as "m:latest" by Ollama), or itself
// when the server does not have it.
namespace {

QString asListed(const QStringList& listed, const QString& stored)
{
    for (const QString& id : listed) {
        if (SystemLanguageModel::isListedAs(id, stored))
            return id;
    }
    return stored;
}

} // namespace

QVariantList LocalServerView::modelEntries() const
{
    const QStringList& listed = m_settings.localModel().listedModels();
    QVariantList entries{
        QVariantMap{{u"name"_s, QString()}, {u"title"_s, u"The first model the server lists"_s}}};
    const QString& stored = m_settings.localModelName();
    if (!stored.isEmpty() && !listed.contains(asListed(listed, stored))) {
        entries.append(QVariantMap{{u"name"_s, stored},
                                   {u"title"_s, QString(stored + u" (not on the server)"_s)}});
    }
    for (const QString& name : listed)
        entries.append(QVariantMap{{u"name"_s, name}, {u"title"_s, name}});
    return entries;
}

int LocalServerView::modelIndex() const
{
    const QString stored =
        asListed(m_settings.localModel().listedModels(), m_settings.localModelName());
    const qsizetype index = pickerIndex(modelEntries(), u"name"_s, stored);
    return index < 0 ? 0 : int(index);
}

void LocalServerView::selectModel(int index)
{
    const QVariantList entries = modelEntries();
    if (index < 0 || index >= entries.size())
        return;
    m_settings.setLocalModelName(entries.at(index).toMap().value(u"name"_s).toString());
    checkAgain();
}

LocalServerView::State LocalServerView::state() const
{
    SystemLanguageModel& model = m_settings.localModel();
    if (!isLoopbackAddress(model.serverURL()))
        return State::notLocal;
    if (m_checking)
        return State::checking;
    using Reason = SystemLanguageModel::UnavailableReason;
    switch (model.availability().unavailableReason().value_or(Reason::other)) {
    case Reason::modelNotReady:
        return State::modelNotLoaded;
    case Reason::loading:
        return State::loading;
    case Reason::needsKey:
        return State::needsKey;
    case Reason::deviceNotEligible:
    case Reason::appleIntelligenceNotEnabled:
    case Reason::other:
        break;
    }
    return model.isAvailable() ? State::ready : State::absent;
}

QString LocalServerView::stateText() const
{
    switch (state()) {
    case State::checking:
        return u"Checking the server…"_s;
    case State::ready: {
        const QString name = m_settings.localModel().effectiveModelName();
        return name.isEmpty() ? u"Ready: the model answers on this computer."_s
                              : u"Ready: "_s + name + u" answers on this computer."_s;
    }
    case State::modelNotLoaded:
        return m_settings.localModelName().isEmpty()
                   ? u"The server is running, but it has no model: add one to it."_s
                   : u"The server is running, but "_s + m_settings.localModelName() +
                         u" is not on it: pick one of its models, or add that one."_s;
    case State::loading:
        return u"The server is loading the model; it answers once it is ready."_s;
    case State::needsKey:
        return m_settings.localServerAPIKey()
                   ? u"The server refuses this API key: enter the one it was started with."_s
                   : u"The server asks for an API key: enter the one it was started with."_s;
    case State::absent:
        return u"No model server answers at this address: start it, or correct the address."_s;
    case State::notLocal:
        return u"This address is not on this computer, so it is never used."_s;
    }
    std::unreachable();
}

// From the model's kept answer, not from the check: the card says the same while a check runs.
QString LocalServerView::unavailableDescription() const
{
    SystemLanguageModel& model = m_settings.localModel();
    if (!isLoopbackAddress(model.serverURL()))
        return u"The server address is not on this computer: enter a local one."_s;
    switch (model.availability().unavailableReason().value_or(
        SystemLanguageModel::UnavailableReason::other)) {
    case SystemLanguageModel::UnavailableReason::modelNotReady:
        return u"The model server runs without the model: load it, then check again."_s;
    case SystemLanguageModel::UnavailableReason::loading:
        return u"The model server is loading the model."_s;
    case SystemLanguageModel::UnavailableReason::needsKey:
        return u"The model server asks for an API key: enter it below."_s;
    default:
        break;
    }
    return u"No local model server found: start Ollama or set its address below."_s;
}

void LocalServerView::checkAgain()
{
    if (m_check)
        m_check->request_stop(); // a check of the old address says nothing now
    m_check.emplace();
    check(m_check->get_token()); // runs on; the screen's end stops it
}

QCoro::Task<void> LocalServerView::check(std::stop_token stop)
{
    QPointer self(this);
    std::stop_callback onLifetimeEnd(m_lifetime.get_token(),
                                     [source = *m_check]() mutable { source.request_stop(); });
    m_checking = true;
    Q_EMIT stateChanged();
    QCoro::Task<SystemLanguageModel::Availability> probing = m_settings.localModel().probe(stop);
    co_await std::move(probing);
    if (!self || stop.stop_requested())
        co_return;
    m_checking = false;
    m_check.reset();
    Q_EMIT stateChanged();
}

} // namespace lexwick
