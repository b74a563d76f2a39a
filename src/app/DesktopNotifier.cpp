// SPDX-License-Identifier: MIT
#include "app/DesktopNotifier.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace lexwick {

DesktopNotifier::DesktopNotifier(QDBusConnection bus)
    : m_bus(std::move(bus))
{
}

void DesktopNotifier::notify(const QString& body)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QStringLiteral("io.github.lexwick.Lexwick")}};
    call << QStringLiteral("Lexwick") << 0u << QStringLiteral("io.github.lexwick.Lexwick")
         << QStringLiteral("Lexwick") << body << QStringList() << hints << -1;
    m_bus.send(call);
}

} // namespace lexwick
