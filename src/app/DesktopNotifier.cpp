// SPDX-License-Identifier: MIT
#include "app/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace lexwick {

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
const QString appId = QStringLiteral("io.github.lexwick.Lexwick");

enum Urgency : uchar { low = 0, normal = 1 };

} // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
    m_bus.connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onClosed(uint, uint)));
}

void DesktopNotifier::notifySuccess(const QString& summary)
{
    send({summary, QString(), false});
}

void DesktopNotifier::notifyError(const QString& summary, const QString& body)
{
    send({summary, body, true});
}

QString DesktopNotifier::escapeMarkup(const QString& text)
{
    QString escaped = text;
    escaped.replace(u'&', QStringLiteral("&amp;"));
    escaped.replace(u'<', QStringLiteral("&lt;"));
    escaped.replace(u'>', QStringLiteral("&gt;"));
    return escaped;
}

void DesktopNotifier::onClosed(uint id, uint reason)
{
    Q_UNUSED(reason);
    if (id == m_shown)
        m_shown = 0;
}

void DesktopNotifier::send(const Notification& notification)
{
    // Two in quick succession: the second must know the first's id to replace it, so it waits
    // for that (and a third takes its place).
    if (m_asking) {
        m_next = notification;
        return;
    }
    QVariantMap hints{{QStringLiteral("desktop-entry"), appId}};
    if (notification.error) {
        hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(Urgency::normal)));
    } else {
        hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(Urgency::low)));
        hints.insert(QStringLiteral("transient"), true);
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    call << QStringLiteral("Lexwick") << m_shown
         << (notification.error ? QStringLiteral("dialog-error") : appId) << notification.summary
         << escapeMarkup(notification.body) << QStringList() << hints << -1;
    m_asking = true;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* answered) {
                answered->deleteLater();
                const QDBusPendingReply<uint> reply = *answered;
                m_shown = reply.isValid() ? reply.value() : 0;
                m_asking = false;
                if (m_next)
                    send(*std::exchange(m_next, std::nullopt));
            });
}

} // namespace lexwick
