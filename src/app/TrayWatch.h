// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractNativeEventFilter>
#include <QDBusConnection>
#include <QObject>

#include <memory>

class QDBusServiceWatcher;

namespace lexwick {

// Whether the desktop has a tray for our icon: a StatusNotifierWatcher on the session bus or,
// on X11, an XEmbed tray, which owns the selection _NET_SYSTEM_TRAY_S<screen>. Qt looks for a
// tray once per process, so the application makes its icon once one exists. Watching costs
// nothing while nothing happens: the bus announces the watcher's name, and a new XEmbed tray
// announces itself with a MANAGER message to the root window, whose structure events Qt
// already receives.
class TrayWatch : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit TrayWatch(QDBusConnection bus, QObject* parent = nullptr);
    ~TrayWatch() override;

    enum class Tray { none, statusNotifier, xembed };
    // The tray there is now; the watcher is preferred, as Qt prefers it.
    Tray currentTray() const;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    // Either kind of tray has appeared since the watch began (emitted once).
    void trayAppeared();

private:
    void appeared();

    QDBusConnection m_bus;
    std::unique_ptr<QDBusServiceWatcher> m_watcher;
    // On X11: the selection an XEmbed tray owns, and the type of its announcement (0 elsewhere).
    quint32 m_traySelection = 0;
    quint32 m_managerAtom = 0;
    bool m_appeared = false;
};

} // namespace lexwick
