// SPDX-License-Identifier: MIT
#include "FakeTrayWatcher.h"

#include <QDBusMessage>
#include <QUuid>

namespace lexwick::test {

FakeTrayWatcher::~FakeTrayWatcher()
{
    if (!m_connectionName.isEmpty())
        QDBusConnection::disconnectFromBus(m_connectionName);
}

bool FakeTrayWatcher::registerOn(const QString& busAddress)
{
    m_connectionName = QUuid::createUuid().toString();
    QDBusConnection bus = QDBusConnection::connectToBus(busAddress, m_connectionName);
    return bus.isConnected() &&
           bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                              QDBusConnection::ExportAllSlots |
                                  QDBusConnection::ExportAllProperties |
                                  QDBusConnection::ExportAllSignals) &&
           bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
}

void FakeTrayWatcher::RegisterStatusNotifierItem(const QString& service)
{
    if (!answersRegistrations)
        setDelayedReply(true);
    m_items.append(service);
    Q_EMIT StatusNotifierItemRegistered(service + QStringLiteral("/StatusNotifierItem"));
}

void FakeTrayWatcher::drop(const QString& service)
{
    m_items.removeAll(service);
    Q_EMIT StatusNotifierItemUnregistered(service + QStringLiteral("/StatusNotifierItem"));
}

void FakeTrayWatcher::RegisterStatusNotifierHost(const QString&)
{
    Q_EMIT StatusNotifierHostRegistered();
}

} // namespace lexwick::test
