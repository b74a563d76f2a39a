// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QString>

namespace lexwick {

// Desktop notifications (org.freedesktop.Notifications) titled "Lexwick". Sent without waiting
// for an answer: a desktop without a notification server loses them, and nothing else.
class DesktopNotifier {
public:
    explicit DesktopNotifier(QDBusConnection bus);

    void notify(const QString& body);

private:
    QDBusConnection m_bus;
};

} // namespace lexwick
