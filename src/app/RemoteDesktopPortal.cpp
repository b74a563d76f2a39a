// SPDX-License-Identifier: MIT
#include "app/RemoteDesktopPortal.h"

#include "settings/UserDefaults.h"

#include <QCoroSignal>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QPointer>

#include <chrono>
#include <memory>

namespace lexwick {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString portalInterface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");

constexpr uint keyboard = 1;
constexpr uint persistUntilRevoked = 2;
constexpr int controlKeysym = 0xffe3; // Control_L
constexpr int vKeysym = 0x76;         // v

// The user reads the portal's question and answers it.
constexpr std::chrono::minutes answerWait{2};

// The answer of one Request object, kept when it comes before anybody waits for it.
class PortalResponse : public QObject {
    Q_OBJECT

public:
    std::optional<std::pair<uint, QVariantMap>> answer;

    Q_SLOT void receive(uint response, const QVariantMap& results)
    {
        answer = {response, results};
        Q_EMIT received();
    }
    Q_SIGNAL void received();
};

QString objectPath(const QVariant& value)
{
    return value.canConvert<QDBusObjectPath>() ? value.value<QDBusObjectPath>().path()
                                               : value.toString();
}

} // namespace

RemoteDesktopPortal::RemoteDesktopPortal(QDBusConnection bus, UserDefaults& defaults,
                                         QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_defaults(defaults)
{
}

RemoteDesktopPortal::~RemoteDesktopPortal()
{
    if (!m_session.isEmpty()) {
        m_bus.send(QDBusMessage::createMethodCall(portalService, m_session,
                                                  QStringLiteral("org.freedesktop.portal.Session"),
                                                  QStringLiteral("Close")));
    }
}

QCoro::Task<bool> RemoteDesktopPortal::paste()
{
    QPointer self(this);
    if (m_session.isEmpty()) {
        // One question at a time; a paste that comes meanwhile leaves its result on the
        // clipboard.
        if (m_refused || m_starting)
            co_return false;
        QCoro::Task<bool> starting = startSession();
        const bool started = co_await std::move(starting);
        if (!self || !started)
            co_return false;
    }
    for (const auto& [keysym, pressed] : {std::pair{controlKeysym, true},
                                          {vKeysym, true},
                                          {vKeysym, false},
                                          {controlKeysym, false}}) {
        QCoro::Task<bool> pressing = pressKey(keysym, pressed);
        if (!co_await std::move(pressing) || !self) {
            if (self && !m_session.isEmpty()) {
                auto release = pressKey(controlKeysym, false); // never leave Ctrl down
                co_await std::move(release);
            }
            co_return false;
        }
    }
    co_return true;
}

QCoro::Task<bool> RemoteDesktopPortal::startSession()
{
    QPointer self(this);
    m_starting = true;
    QVariantMap sessionOptions{{QStringLiteral("session_handle_token"), QStringLiteral("lexwick")}};
    auto creating = request(QStringLiteral("CreateSession"), {}, sessionOptions);
    const std::optional<QVariantMap> created = co_await std::move(creating);
    if (!self)
        co_return false;
    const QString session =
        created ? objectPath(created->value(QStringLiteral("session_handle"))) : QString();
    std::optional<QVariantMap> started;
    if (!session.isEmpty()) {
        m_bus.connect(portalService, session, QStringLiteral("org.freedesktop.portal.Session"),
                      QStringLiteral("Closed"), this, SLOT(sessionClosed()));
        QVariantMap devices{{QStringLiteral("types"), keyboard},
                            {QStringLiteral("persist_mode"), persistUntilRevoked}};
        if (const auto token = m_defaults.stringForKey(restoreTokenKey); token && !token->isEmpty())
            devices.insert(QStringLiteral("restore_token"), *token);
        const QVariantList onSession{QVariant::fromValue(QDBusObjectPath(session))};
        auto selecting = request(QStringLiteral("SelectDevices"), onSession, devices);
        const bool selected = (co_await std::move(selecting)).has_value();
        if (!self)
            co_return false;
        if (selected) {
            auto starting =
                request(QStringLiteral("Start"), onSession + QVariantList{QString()}, {});
            started = co_await std::move(starting);
            if (!self)
                co_return false;
        }
    }
    m_starting = false;
    if (!started || (started->value(QStringLiteral("devices")).toUInt() & keyboard) == 0) {
        // No portal answers, or the user said no: the clipboard it is, for this run.
        m_refused = true;
        if (!session.isEmpty()) {
            m_bus.send(QDBusMessage::createMethodCall(
                portalService, session, QStringLiteral("org.freedesktop.portal.Session"),
                QStringLiteral("Close")));
        }
        co_return false;
    }
    m_session = session;
    // A token serves once; the next run needs the new one.
    const QString token = started->value(QStringLiteral("restore_token")).toString();
    if (!token.isEmpty())
        m_defaults.setObject(token, restoreTokenKey);
    co_return true;
}

QCoro::Task<std::optional<QVariantMap>>
RemoteDesktopPortal::request(QString method, QVariantList arguments, QVariantMap options)
{
    QPointer self(this);
    // The Request object's path follows from our name and the token, so its answer is listened
    // for before the call: a portal may answer before its reply to the call arrives.
    const QString token = QStringLiteral("lexwick%1").arg(++m_requests);
    options.insert(QStringLiteral("handle_token"), token);
    const QString sender = m_bus.baseService().mid(1).replace(u'.', u'_');
    const QString path =
        QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender + u'/' + token;
    auto response = std::make_unique<PortalResponse>();
    m_bus.connect(portalService, path, QStringLiteral("org.freedesktop.portal.Request"),
                  QStringLiteral("Response"), response.get(), SLOT(receive(uint, QVariantMap)));

    QDBusMessage call =
        QDBusMessage::createMethodCall(portalService, portalPath, portalInterface, method);
    call.setArguments(arguments << options);
    QDBusPendingCallWatcher watcher(m_bus.asyncCall(call));
    if (!watcher.isFinished()) {
        auto replied = qCoro(&watcher, &QDBusPendingCallWatcher::finished);
        co_await std::move(replied);
    }
    if (!self)
        co_return std::nullopt;
    if (!watcher.isError() && !response->answer) {
        auto answered = qCoro(response.get(), &PortalResponse::received, answerWait);
        co_await std::move(answered);
    }
    if (!self)
        co_return std::nullopt;
    m_bus.disconnect(portalService, path, QStringLiteral("org.freedesktop.portal.Request"),
                     QStringLiteral("Response"), response.get(), SLOT(receive(uint, QVariantMap)));
    if (watcher.isError() || !response->answer || response->answer->first != 0)
        co_return std::nullopt;
    co_return response->answer->second;
}

QCoro::Task<bool> RemoteDesktopPortal::pressKey(int keysym, bool pressed)
{
    QPointer self(this);
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, portalInterface,
                                                       QStringLiteral("NotifyKeyboardKeysym"));
    call << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariantMap() << keysym
         << uint(pressed ? 1 : 0);
    QDBusPendingCallWatcher watcher(m_bus.asyncCall(call));
    if (!watcher.isFinished()) {
        auto replied = qCoro(&watcher, &QDBusPendingCallWatcher::finished);
        co_await std::move(replied);
    }
    if (!self)
        co_return false;
    if (watcher.isError())
        sessionClosed(); // it is gone, or never let us type
    co_return !watcher.isError();
}

void RemoteDesktopPortal::sessionClosed()
{
    // The user or the desktop ended it; the next paste asks afresh.
    m_session.clear();
}

} // namespace lexwick

#include "RemoteDesktopPortal.moc"
