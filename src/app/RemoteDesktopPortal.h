// SPDX-License-Identifier: MIT
#pragma once

#include <QCoroTask>
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace lexwick {

class UserDefaults;

// Keys sent through the desktop's RemoteDesktop portal (org.freedesktop.portal.RemoteDesktop),
// where a Wayland compositor lets no application send them on its own. The portal asks the
// user once: the session (the keyboard only) lasts for the run, and the restore token it hands
// back, kept in the key–value store, lets the next run in without asking again where the
// desktop keeps the permission. A refusal holds for the rest of the run. Lives on the main
// thread.
class RemoteDesktopPortal : public QObject {
    Q_OBJECT

public:
    static inline const QString restoreTokenKey = QStringLiteral("lexwick_remote_desktop_token");

    RemoteDesktopPortal(QDBusConnection bus, UserDefaults& defaults, QObject* parent = nullptr);
    ~RemoteDesktopPortal() override;

    // False once the portal proved missing or the user declined, for the rest of the run.
    bool mayPaste() const { return !m_refused; }

    // Presses Ctrl+V for the window that has the focus, starting the session first when none
    // runs. False when nothing was sent: no portal, refused, or the session could not start.
    QCoro::Task<bool> paste();

private:
    QCoro::Task<bool> startSession();
    // Calls a method of the portal that answers through a Request object, and waits for that
    // answer: its results, or nothing when the call failed or the user said no.
    QCoro::Task<std::optional<QVariantMap>> request(QString method, QVariantList arguments,
                                                    QVariantMap options);
    QCoro::Task<bool> pressKey(int keysym, bool pressed);
    Q_SLOT void sessionClosed();

    QDBusConnection m_bus;
    UserDefaults& m_defaults;
    QString m_session; // the session's object path while it runs
    bool m_refused = false;
    bool m_starting = false;
    int m_requests = 0;
};

} // namespace lexwick
