// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <optional>

namespace lexwick {

// Desktop notifications (org.freedesktop.Notifications) about the requests on the selection.
// Lexwick shows one at a time: each replaces the one before while that is still on screen.
// Successes are transient (they leave no trace in the notification list); errors carry the
// error icon. A desktop without a notification server loses them, and nothing else.
class DesktopNotifier : public QObject {
    Q_OBJECT

public:
    explicit DesktopNotifier(QDBusConnection bus, QObject* parent = nullptr);

    // The summary says what happened ("Replaced the selection").
    void notifySuccess(const QString& summary);
    // The summary says what failed, the body why (the message users see).
    void notifyError(const QString& summary, const QString& body);

    // A body is markup for servers that support it: a provider's "<" must stay a "<".
    static QString escapeMarkup(const QString& text);

private Q_SLOTS:
    void onClosed(uint id, uint reason);

private:
    struct Notification {
        QString summary;
        QString body;
        bool error = false;
    };

    void send(const Notification& notification);

    QDBusConnection m_bus;
    uint m_shown = 0;      // the server's id of ours on screen, which the next one replaces
    bool m_asking = false; // a Notify waits for its id
    std::optional<Notification> m_next; // sent once that id has come
};

} // namespace lexwick
