// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QStringList>

namespace lexwick::test {

// The StatusNotifierWatcher of a panel, as much of it as Qt's tray icon uses: it takes the
// icon's registration and says that a host shows icons. Put on a test desktop's session bus.
class FakeTrayWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    FakeTrayWatcher() = default;
    ~FakeTrayWatcher() override;

    // Takes the watcher's name on the bus at that address; false when it could not.
    bool registerOn(const QString& busAddress);

    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    // The icons registered so far (their bus names).
    QStringList items() const { return m_items; }
    // Like Plasma's watcher on a busy desktop: it announces an icon it takes, but the answer to
    // the icon's call does not come.
    bool answersRegistrations = true;
    // Gives up an icon, as a panel does when it cannot read it.
    void drop(const QString& service);

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service);
    void RegisterStatusNotifierHost(const QString& service);

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    QString m_connectionName;
    QStringList m_items;
};

} // namespace lexwick::test
