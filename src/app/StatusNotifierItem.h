// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QPoint>
#include <QStringList>

#include <memory>

class QDBusServiceWatcher;

namespace lexwick {

namespace sni {
class ItemObject;
class MenuObject;
} // namespace sni

// The tray icon as a StatusNotifierItem with a dbusmenu menu, the way GNOME's AppIndicator
// extension and Plasma show icons. Qt's own item drops the click's position and the
// activation token, and registers only if the panel's watcher ran before it did; this one
// registers again whenever a watcher appears on the bus.
class StatusNotifierItem : public QObject {
    Q_OBJECT

public:
    // Registers the item and its menu on the bus; it shows once a watcher takes it.
    StatusNotifierItem(QDBusConnection bus, QString iconName, QString iconThemePath,
                       QString toolTip, QStringList menuEntries, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    // Whether the panel's watcher has taken the item (since it last appeared).
    bool isRegistered() const { return m_registered; }
    QString serviceName() const { return m_serviceName; }

    // The token the panel sent with the latest click, for the window it opens; empty when it
    // sent none. Each token serves once.
    QString takeActivationToken();

Q_SIGNALS:
    // A click on the icon, at that point of the screen (null where the panel did not say).
    void activated(QPoint position);
    void menuEntryClicked(int index);
    void registeredChanged(bool registered);

private Q_SLOTS:
    void watcherRegisteredItem(const QString& item);
    void watcherDroppedItem(const QString& item);

private:
    friend class sni::ItemObject;
    friend class sni::MenuObject;

    void registerWithWatcher();
    void setRegistered(bool registered);

    QDBusConnection m_bus;
    QString m_serviceName;
    QString m_iconName;
    QString m_iconThemePath;
    QString m_toolTip;
    QStringList m_menuEntries;
    QString m_activationToken;
    bool m_registered = false;
    static constexpr int maxReregistrations = 3;
    static constexpr int reregistrationDelay = 1000; // ms
    int m_reregistrations = 0;
    std::unique_ptr<sni::ItemObject> m_item;
    std::unique_ptr<sni::MenuObject> m_menu;
    std::unique_ptr<QDBusServiceWatcher> m_watcher;
};

} // namespace lexwick
