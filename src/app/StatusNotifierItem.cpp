// SPDX-License-Identifier: MIT
#include "app/StatusNotifierItem.h"

#include "core/Log.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QTimer>

namespace lexwick::sni {

// The wire types of the two interfaces.
struct IconPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb;
};
using IconPixmaps = QList<IconPixmap>;

struct ToolTip {
    QString iconName;
    IconPixmaps pixmaps;
    QString title;
    QString text;
};

// A menu entry with its children; a child travels as a variant holding another of these.
struct MenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<QDBusVariant> children;
};

struct MenuItemProperties {
    int id = 0;
    QVariantMap properties;
};
using MenuItemPropertiesList = QList<MenuItemProperties>;

struct MenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using MenuEvents = QList<MenuEvent>;

} // namespace lexwick::sni

Q_DECLARE_METATYPE(lexwick::sni::IconPixmap)
Q_DECLARE_METATYPE(lexwick::sni::ToolTip)
Q_DECLARE_METATYPE(lexwick::sni::MenuLayout)
Q_DECLARE_METATYPE(lexwick::sni::MenuItemProperties)
Q_DECLARE_METATYPE(lexwick::sni::MenuEvent)

namespace lexwick::sni {

QDBusArgument& operator<<(QDBusArgument& out, const IconPixmap& pixmap)
{
    out.beginStructure();
    out << pixmap.width << pixmap.height << pixmap.argb;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, IconPixmap& pixmap)
{
    in.beginStructure();
    in >> pixmap.width >> pixmap.height >> pixmap.argb;
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const ToolTip& tip)
{
    out.beginStructure();
    out << tip.iconName << tip.pixmaps << tip.title << tip.text;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, ToolTip& tip)
{
    in.beginStructure();
    in >> tip.iconName >> tip.pixmaps >> tip.title >> tip.text;
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const MenuLayout& layout)
{
    out.beginStructure();
    out << layout.id << layout.properties;
    out.beginArray(qMetaTypeId<QDBusVariant>());
    for (const QDBusVariant& child : layout.children)
        out << child;
    out.endArray();
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, MenuLayout& layout)
{
    in.beginStructure();
    in >> layout.id >> layout.properties;
    layout.children.clear();
    in.beginArray();
    while (!in.atEnd()) {
        QDBusVariant child;
        in >> child;
        layout.children.append(child);
    }
    in.endArray();
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const MenuItemProperties& item)
{
    out.beginStructure();
    out << item.id << item.properties;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, MenuItemProperties& item)
{
    in.beginStructure();
    in >> item.id >> item.properties;
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const MenuEvent& event)
{
    out.beginStructure();
    out << event.id << event.eventId << event.data << event.timestamp;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, MenuEvent& event)
{
    in.beginStructure();
    in >> event.id >> event.eventId >> event.data >> event.timestamp;
    in.endStructure();
    return in;
}

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString itemPath = QStringLiteral("/StatusNotifierItem");
const QString menuPath = QStringLiteral("/MenuBar");

void registerTypes()
{
    static const bool once = [] {
        qDBusRegisterMetaType<IconPixmap>();
        qDBusRegisterMetaType<IconPixmaps>();
        qDBusRegisterMetaType<ToolTip>();
        qDBusRegisterMetaType<MenuLayout>();
        qDBusRegisterMetaType<MenuItemProperties>();
        qDBusRegisterMetaType<MenuItemPropertiesList>();
        qDBusRegisterMetaType<MenuEvent>();
        qDBusRegisterMetaType<MenuEvents>();
        return true;
    }();
    Q_UNUSED(once);
}

} // namespace

// org.kde.StatusNotifierItem at /StatusNotifierItem.
class ItemObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category CONSTANT)
    Q_PROPERTY(QString Id READ id CONSTANT)
    Q_PROPERTY(QString Title READ title CONSTANT)
    Q_PROPERTY(QString Status READ status CONSTANT)
    Q_PROPERTY(int WindowId READ windowId CONSTANT)
    Q_PROPERTY(QString IconName READ iconName CONSTANT)
    Q_PROPERTY(QString IconThemePath READ iconThemePath CONSTANT)
    Q_PROPERTY(lexwick::sni::IconPixmaps IconPixmap READ noPixmaps CONSTANT)
    Q_PROPERTY(QString OverlayIconName READ none CONSTANT)
    Q_PROPERTY(lexwick::sni::IconPixmaps OverlayIconPixmap READ noPixmaps CONSTANT)
    Q_PROPERTY(QString AttentionIconName READ none CONSTANT)
    Q_PROPERTY(lexwick::sni::IconPixmaps AttentionIconPixmap READ noPixmaps CONSTANT)
    Q_PROPERTY(QString AttentionMovieName READ none CONSTANT)
    Q_PROPERTY(lexwick::sni::ToolTip ToolTip READ toolTip CONSTANT)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu CONSTANT)
    Q_PROPERTY(QDBusObjectPath Menu READ menu CONSTANT)

public:
    explicit ItemObject(StatusNotifierItem& owner)
        : m_owner(owner)
    {
    }

    static QString category() { return QStringLiteral("ApplicationStatus"); }
    static QString id() { return QStringLiteral("lexwick"); }
    static QString title() { return QStringLiteral("Lexwick"); }
    static QString status() { return QStringLiteral("Active"); }
    static int windowId() { return 0; }
    QString iconName() const { return m_owner.m_iconName; }
    QString iconThemePath() const { return m_owner.m_iconThemePath; }
    static IconPixmaps noPixmaps() { return {}; }
    static QString none() { return {}; }
    ToolTip toolTip() const { return {m_owner.m_iconName, {}, title(), m_owner.m_toolTip}; }
    // The panel sends Activate on a click and shows the menu itself on the other button.
    static bool itemIsMenu() { return false; }
    static QDBusObjectPath menu() { return QDBusObjectPath(menuPath); }

public Q_SLOTS:
    void Activate(int x, int y) { Q_EMIT m_owner.activated(QPoint(x, y)); }
    // The middle button: the popover too, as nothing else would come of it.
    void SecondaryActivate(int x, int y) { Q_EMIT m_owner.activated(QPoint(x, y)); }
    // Only called by panels that do not draw the menu: there is no menu of our own to show.
    void ContextMenu(int, int) {}
    void Scroll(int, const QString&) {}
    void ProvideXdgActivationToken(const QString& token) { m_owner.m_activationToken = token; }

Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    StatusNotifierItem& m_owner;
};

// com.canonical.dbusmenu at /MenuBar: a flat menu whose entries have ids 1, 2, … in order.
class MenuObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version CONSTANT)
    Q_PROPERTY(QString TextDirection READ textDirection CONSTANT)
    Q_PROPERTY(QString Status READ status CONSTANT)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath CONSTANT)

public:
    explicit MenuObject(StatusNotifierItem& owner)
        : m_owner(owner)
    {
    }

    static uint version() { return 3; }
    static QString textDirection() { return QStringLiteral("ltr"); }
    static QString status() { return QStringLiteral("normal"); }
    static QStringList iconThemePath() { return {}; }

public Q_SLOTS:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   lexwick::sni::MenuLayout& layout)
    {
        Q_UNUSED(propertyNames); // a handful of properties: all of them are sent
        layout = {parentId, properties(parentId), {}};
        if (parentId == 0 && recursionDepth != 0) {
            for (int id = 1; id <= m_owner.m_menuEntries.size(); ++id) {
                const MenuLayout child{id, properties(id), {}};
                layout.children.append(QDBusVariant(QVariant::fromValue(child)));
            }
        }
        return revision;
    }

    lexwick::sni::MenuItemPropertiesList GetGroupProperties(const QList<int>& ids,
                                                            const QStringList& propertyNames)
    {
        Q_UNUSED(propertyNames);
        MenuItemPropertiesList items;
        for (int id : ids) {
            if (exists(id))
                items.append({id, properties(id)});
        }
        return items;
    }

    QDBusVariant GetProperty(int id, const QString& name)
    {
        return QDBusVariant(properties(id).value(name));
    }

    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp)
    {
        Q_UNUSED(data);
        Q_UNUSED(timestamp);
        if (eventId == u"clicked" && id >= 1 && id <= m_owner.m_menuEntries.size())
            Q_EMIT m_owner.menuEntryClicked(id - 1);
    }

    QList<int> EventGroup(const lexwick::sni::MenuEvents& events)
    {
        QList<int> unknown;
        for (const MenuEvent& event : events) {
            if (!exists(event.id))
                unknown.append(event.id);
            Event(event.id, event.eventId, event.data, event.timestamp);
        }
        return unknown;
    }

    // The menu never changes, so nothing needs updating before it shows.
    bool AboutToShow(int) { return false; }
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors)
    {
        for (int id : ids) {
            if (!exists(id))
                idErrors.append(id);
        }
        return {};
    }

Q_SIGNALS:
    void ItemsPropertiesUpdated(const lexwick::sni::MenuItemPropertiesList& updated,
                                const lexwick::sni::MenuItemPropertiesList& removed);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    static constexpr uint revision = 1;

    bool exists(int id) const { return id >= 0 && id <= m_owner.m_menuEntries.size(); }

    QVariantMap properties(int id) const
    {
        if (id == 0)
            return {{QStringLiteral("children-display"), QStringLiteral("submenu")}};
        if (!exists(id))
            return {};
        // An underscore marks a mnemonic in a label; a literal one is doubled.
        QString label = m_owner.m_menuEntries.at(id - 1);
        label.replace(u'_', QStringLiteral("__"));
        return {{QStringLiteral("label"), label},
                {QStringLiteral("enabled"), true},
                {QStringLiteral("visible"), true}};
    }

    StatusNotifierItem& m_owner;
};

} // namespace lexwick::sni

namespace lexwick {

StatusNotifierItem::StatusNotifierItem(QDBusConnection bus, QString iconName, QString iconThemePath,
                                       QString toolTip, QStringList menuEntries, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_iconName(std::move(iconName))
    , m_iconThemePath(std::move(iconThemePath))
    , m_toolTip(std::move(toolTip))
    , m_menuEntries(std::move(menuEntries))
{
    sni::registerTypes();
    static int instances = 0;
    m_serviceName = QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
                        .arg(QCoreApplication::applicationPid())
                        .arg(++instances);
    m_item = std::make_unique<sni::ItemObject>(*this);
    m_menu = std::make_unique<sni::MenuObject>(*this);
    if (!m_bus.isConnected())
        return;
    constexpr auto exported = QDBusConnection::ExportAllSlots |
                              QDBusConnection::ExportAllProperties |
                              QDBusConnection::ExportAllSignals;
    if (!m_bus.registerObject(sni::itemPath, m_item.get(), exported) ||
        !m_bus.registerObject(sni::menuPath, m_menu.get(), exported) ||
        !m_bus.registerService(m_serviceName)) {
        logWarning(lcTray, QStringLiteral("ERROR – tray icon not put on the bus: ") +
                m_bus.lastError().message());
        return;
    }
    // A panel that starts, or restarts, after us takes the item when its watcher appears.
    m_watcher = std::make_unique<QDBusServiceWatcher>(sni::watcherService, m_bus,
                                                      QDBusServiceWatcher::WatchForOwnerChange);
    connect(m_watcher.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                if (newOwner.isEmpty()) {
                    setRegistered(false);
                } else {
                    m_reregistrations = 0;
                    registerWithWatcher();
                }
            });
    m_bus.connect(sni::watcherService, QStringLiteral("/StatusNotifierWatcher"),
                  sni::watcherService, QStringLiteral("StatusNotifierItemRegistered"), this,
                  SLOT(watcherRegisteredItem(QString)));
    m_bus.connect(sni::watcherService, QStringLiteral("/StatusNotifierWatcher"),
                  sni::watcherService, QStringLiteral("StatusNotifierItemUnregistered"), this,
                  SLOT(watcherDroppedItem(QString)));
    if (m_bus.interface()->isServiceRegistered(sni::watcherService))
        registerWithWatcher();
}

StatusNotifierItem::~StatusNotifierItem()
{
    if (!m_bus.isConnected())
        return;
    m_bus.unregisterService(m_serviceName);
    m_bus.unregisterObject(sni::itemPath);
    m_bus.unregisterObject(sni::menuPath);
}

QString StatusNotifierItem::takeActivationToken()
{
    return std::exchange(m_activationToken, QString());
}

void StatusNotifierItem::registerWithWatcher()
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        sni::watcherService, QStringLiteral("/StatusNotifierWatcher"), sni::watcherService,
        QStringLiteral("RegisterStatusNotifierItem"));
    call << m_serviceName;
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* p) {
        p->deleteLater();
        if (!p->isError())
            setRegistered(true);
        else if (!m_registered) // its announcement may have come without the answer
            logWarning(lcTray, QStringLiteral("ERROR – the tray did not take the icon: ") +
                    p->error().message());
    });
}

void StatusNotifierItem::watcherRegisteredItem(const QString& item)
{
    // Plasma's watcher announces the item, as "service/path", but may answer the call that
    // registered it only much later, after it has asked the item for its properties.
    if (item == m_serviceName || item.startsWith(m_serviceName + u'/'))
        setRegistered(true);
}

void StatusNotifierItem::watcherDroppedItem(const QString& item)
{
    if (item != m_serviceName && !item.startsWith(m_serviceName + u'/'))
        return;
    setRegistered(false);
    // We are still here, so the panel gave up on the icon: GNOME's extension does when reading
    // the item's properties fails while the shell starts. Asked again a little later, it
    // shows the icon; a panel that keeps dropping it is not asked for ever.
    if (m_reregistrations >= maxReregistrations)
        return;
    ++m_reregistrations;
    QTimer::singleShot(reregistrationDelay, this, [this] {
        if (!m_registered && m_bus.interface()->isServiceRegistered(sni::watcherService))
            registerWithWatcher();
    });
}

void StatusNotifierItem::setRegistered(bool registered)
{
    if (m_registered == registered)
        return;
    m_registered = registered;
    Q_EMIT registeredChanged(registered);
}

} // namespace lexwick

#include "StatusNotifierItem.moc"
