// SPDX-License-Identifier: MIT
#include "app/StatusNotifierItem.h"
#include "app/PopoverHost.h"
#include "app/StatusBarManager.h"
#include "FakeTrayWatcher.h"
#include "history/HistoryManager.h"
#include "support/RouterFixture.h"
#include "support/TestMain.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <optional>

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

namespace {

// A session bus of the test's own.
struct PrivateBus {
    PrivateBus()
    {
        daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        if (daemon.waitForReadyRead(10000))
            address = QString::fromUtf8(daemon.readLine().trimmed());
    }
    ~PrivateBus()
    {
        for (const QString& name : connections)
            QDBusConnection::disconnectFromBus(name);
        daemon.terminate();
        daemon.waitForFinished(5000);
    }
    QDBusConnection connect(const QString& name)
    {
        connections.append(name);
        return QDBusConnection::connectToBus(address, name);
    }

    QProcess daemon;
    QString address;
    QStringList connections;
};

// The panel's side: the calls a tray host makes on the item. The item answers from this same
// thread, so every call waits with the event loop running.
struct TrayHost {
    TrayHost(QDBusConnection bus, QString service)
        : bus(std::move(bus))
        , service(std::move(service))
    {
    }

    std::optional<QDBusMessage> call(const QString& path, const QString& interface,
                                     const QString& method, const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        QDBusPendingCall pending = bus.asyncCall(message);
        if (!QTest::qWaitFor([&] { return pending.isFinished(); }, 5000) || pending.isError())
            return std::nullopt;
        return pending.reply();
    }
    std::optional<QDBusMessage> item(const QString& method, const QVariantList& arguments = {})
    {
        return call(u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s, method, arguments);
    }
    std::optional<QDBusMessage> menu(const QString& method, const QVariantList& arguments = {})
    {
        return call(u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, method, arguments);
    }
    QVariantMap itemProperties()
    {
        const auto reply = call(u"/StatusNotifierItem"_s, u"org.freedesktop.DBus.Properties"_s,
                                u"GetAll"_s, {u"org.kde.StatusNotifierItem"_s});
        return reply ? qdbus_cast<QVariantMap>(reply->arguments().value(0)) : QVariantMap();
    }

    QDBusConnection bus;
    QString service;
};

// Reads a dbusmenu layout, (ia{sv}av), into its labels by id.
QMap<int, QString> labelsOf(const QDBusArgument& layout)
{
    QMap<int, QString> labels;
    int id = 0;
    QVariantMap properties;
    layout.beginStructure();
    layout >> id >> properties;
    if (properties.contains(u"label"_s))
        labels.insert(id, properties.value(u"label"_s).toString());
    layout.beginArray();
    while (!layout.atEnd()) {
        QDBusVariant child;
        layout >> child;
        labels.insert(labelsOf(qvariant_cast<QDBusArgument>(child.variant())));
    }
    layout.endArray();
    layout.endStructure();
    return labels;
}

struct Tray {
    Tray()
        : history(app.dir.filePath(u"history.json"_s), app.defaults)
        , host({*app.router, *app.settings, history})
    {
    }
    RouterFixture app;
    HistoryManager history;
    PopoverHost host;
};

} // namespace

// The tray icon as the panels see it: registered with whichever watcher is on the bus,
// answering their clicks and their menu requests, with its properties readable.
class StatusNotifierItemTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A panel that starts after Lexwick, or restarts, takes the icon; until one does, the
    // popover is an ordinary window, and once one has, it is a popover again.
    void registersWithEveryWatcherThatAppears()
    {
        PrivateBus bus;
        QVERIFY(!bus.address.isEmpty());
        Tray tray;
        StatusBarManager manager(tray.host, bus.connect(u"lexwick"_s));
        QVERIFY(tray.host.isStandalone());

        auto watcher = std::make_unique<FakeTrayWatcher>();
        QVERIFY(watcher->registerOn(bus.address));
        QTRY_COMPARE(watcher->items().size(), 1);
        QVERIFY(watcher->items().first().startsWith(u"org.kde.StatusNotifierItem-"_s));
        QTRY_VERIFY(!tray.host.isStandalone());

        // The panel drops the icon (GNOME's extension does when it could not read it at the
        // shell's start): it is registered again.
        const QString item = watcher->items().first();
        watcher->drop(item);
        QVERIFY(watcher->items().isEmpty());
        QTRY_COMPARE(watcher->items(), QStringList{item});

        // The panel restarts: its new watcher is told of the icon too.
        watcher.reset();
        watcher = std::make_unique<FakeTrayWatcher>();
        QVERIFY(watcher->registerOn(bus.address));
        QTRY_COMPARE(watcher->items().size(), 1);
        QVERIFY(!tray.host.isStandalone());
    }

    // A watcher that announces the icon but never answers its call still has it docked.
    void dockedOnTheWatchersAnnouncement()
    {
        PrivateBus bus;
        Tray tray;
        StatusBarManager manager(tray.host, bus.connect(u"lexwick"_s));
        QVERIFY(tray.host.isStandalone());
        FakeTrayWatcher watcher;
        watcher.answersRegistrations = false;
        QVERIFY(watcher.registerOn(bus.address));
        QTRY_COMPARE(watcher.items().size(), 1);
        QTRY_VERIFY(!tray.host.isStandalone());
    }

    // A watcher already there takes the icon at once, and the popover is never a window.
    void registersWithAWatcherAlreadyThere()
    {
        PrivateBus bus;
        FakeTrayWatcher watcher;
        QVERIFY(watcher.registerOn(bus.address));
        Tray tray;
        StatusBarManager manager(tray.host, bus.connect(u"lexwick"_s));
        QVERIFY(!tray.host.isStandalone());
        QTRY_COMPARE(watcher.items().size(), 1);
    }

    // A click opens the popover where the panel says it was, with the panel's activation
    // token, which serves that one opening only; the menu's entries open and quit.
    void clicksAndMenuEntries()
    {
        PrivateBus bus;
        FakeTrayWatcher watcher;
        QVERIFY(watcher.registerOn(bus.address));
        Tray tray;
        StatusBarManager manager(tray.host, bus.connect(u"lexwick"_s));
        QTRY_COMPARE(watcher.items().size(), 1);
        TrayHost panel(bus.connect(u"panel"_s), watcher.items().first());
        QSignalSpy opening(&manager, &StatusBarManager::popoverOpening);
        QSignalSpy quit(&manager, &StatusBarManager::quitRequested);

        QVERIFY(panel.item(u"ProvideXdgActivationToken"_s, {u"token-1"_s}));
        QVERIFY(panel.item(u"Activate"_s, {640, 14}));
        QCOMPARE(opening.size(), 1);
        QCOMPARE(opening.at(0).at(0).toRect(), QRect(640, 14, 1, 1));
        QCOMPARE(opening.at(0).at(1).toString(), u"token-1"_s);
        QVERIFY(panel.item(u"Activate"_s, {100, 780}));
        QCOMPARE(opening.size(), 2);
        QCOMPARE(opening.at(1).at(0).toRect(), QRect(100, 780, 1, 1));
        QCOMPARE(opening.at(1).at(1).toString(), QString());
        QVERIFY(panel.item(u"Scroll"_s, {120, u"vertical"_s}));
        QVERIFY(panel.item(u"ContextMenu"_s, {10, 10}));
        QCOMPARE(opening.size(), 2);

        const auto layout = panel.menu(u"GetLayout"_s, {0, -1, QStringList()});
        QVERIFY(layout);
        const QMap<int, QString> labels =
            labelsOf(qvariant_cast<QDBusArgument>(layout->arguments().value(1)));
        QCOMPARE(labels.values(), (QStringList{u"Open Lexwick"_s, u"Quit Lexwick"_s}));

        // As GNOME's menu does it: a token first, then the click.
        QVERIFY(panel.item(u"ProvideXdgActivationToken"_s, {u"token-2"_s}));
        const QVariant noData = QVariant::fromValue(QDBusVariant(QString()));
        QVERIFY(panel.menu(u"Event"_s, {labels.key(u"Open Lexwick"_s), u"clicked"_s, noData, 0u}));
        QCOMPARE(opening.size(), 3);
        QCOMPARE(opening.at(2).at(1).toString(), u"token-2"_s);
        // A menu entry tells no position: the popover opens where the icon was last clicked.
        QCOMPARE(opening.at(2).at(0).toRect(), QRect(100, 780, 1, 1));
        qunsetenv("XDG_ACTIVATION_TOKEN");
        QVERIFY(panel.menu(u"Event"_s, {labels.key(u"Open Lexwick"_s), u"hovered"_s, noData, 0u}));
        QVERIFY(panel.menu(u"Event"_s, {7, u"clicked"_s, noData, 0u}));
        QCOMPARE(opening.size(), 3);
        QCOMPARE(quit.size(), 0);
        QVERIFY(panel.menu(u"Event"_s, {labels.key(u"Quit Lexwick"_s), u"clicked"_s, noData, 0u}));
        QCOMPARE(quit.size(), 1);
    }

    // What the panels read: a symbolic icon by name (with the build's folder while
    // uninstalled), a menu of our own that the panel draws, and a tooltip.
    void propertiesReadBack()
    {
        PrivateBus bus;
        FakeTrayWatcher watcher;
        QVERIFY(watcher.registerOn(bus.address));
        Tray tray;
        StatusBarManager manager(tray.host, bus.connect(u"lexwick"_s));
        QTRY_COMPARE(watcher.items().size(), 1);
        TrayHost panel(bus.connect(u"panel"_s), watcher.items().first());

        const QVariantMap properties = panel.itemProperties();
        QCOMPARE(properties.value(u"IconName"_s).toString(),
                 u"io.github.lexwick.Lexwick-symbolic"_s);
        QCOMPARE(qvariant_cast<QDBusObjectPath>(properties.value(u"Menu"_s)).path(), u"/MenuBar"_s);
        QCOMPARE(properties.value(u"ItemIsMenu"_s), QVariant(false));
        QCOMPARE(properties.value(u"Status"_s).toString(), u"Active"_s);
        QCOMPARE(properties.value(u"Category"_s).toString(), u"ApplicationStatus"_s);
        QCOMPARE(properties.value(u"Title"_s).toString(), u"Lexwick"_s);
        const QString themePath = properties.value(u"IconThemePath"_s).toString();
        if (!themePath.isEmpty()) {
            QVERIFY2(
                QFile::exists(themePath +
                              u"/hicolor/symbolic/apps/io.github.lexwick.Lexwick-symbolic.svg"_s),
                qPrintable(themePath));
        }
        // The tooltip, (sa(iiay)ss): its title and text.
        const auto tip = qvariant_cast<QDBusArgument>(properties.value(u"ToolTip"_s));
        QCOMPARE(tip.currentSignature(), u"(sa(iiay)ss)"_s);
        QString icon, title, text;
        tip.beginStructure();
        tip >> icon;
        tip.beginArray();
        tip.endArray();
        tip >> title >> text;
        tip.endStructure();
        QCOMPARE(title, u"Lexwick"_s);
        QCOMPARE(text, u"Lexwick - Quick text assistance"_s);

        // The menu's own properties, read by every dbusmenu client first.
        const auto version = panel.call(u"/MenuBar"_s, u"org.freedesktop.DBus.Properties"_s,
                                        u"Get"_s, {u"com.canonical.dbusmenu"_s, u"Version"_s});
        QVERIFY(version);
        QCOMPARE(qvariant_cast<QDBusVariant>(version->arguments().value(0)).variant().toUInt(), 3u);
    }

    // The symbolic icon: one colour, taken from the style sheet the panels rewrite (KDE) or
    // replaced wholesale (GNOME); drawn for an XEmbed tray, it reads on light and dark panels.
    void symbolicIconRecolours()
    {
        QFile file(u":/icons/symbolic/apps/io.github.lexwick.Lexwick-symbolic.svg"_s);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray svg = file.readAll();
        QVERIFY(svg.contains("id=\"current-color-scheme\""));
        QVERIFY(svg.contains(".ColorScheme-Text{color:#232629}"));
        QVERIFY(svg.contains("class=\"ColorScheme-Text\" fill=\"currentColor\""));
        QVERIFY(!svg.contains("fill=\"#"));

        const auto glyphColours = [](const QIcon& icon, int size) {
            QSet<QRgb> colours;
            const QImage image = icon.pixmap(size, size).toImage();
            int inked = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb pixel = image.pixel(x, y);
                    if (qAlpha(pixel) == 255) {
                        colours.insert(pixel & 0xffffff);
                        ++inked;
                    }
                }
            }
            return inked > size * size / 5 ? colours : QSet<QRgb>();
        };
        for (int size : {16, 22, 32}) {
            const auto onLight =
                glyphColours(StatusBarManager::iconOn(QColor(0xef, 0xf0, 0xf1)), size);
            const auto onDark = glyphColours(StatusBarManager::iconOn(Qt::black), size);
            QCOMPARE(onLight, QSet<QRgb>{0x232629});
            QCOMPARE(onDark, QSet<QRgb>{0xeff0f1});
        }
        // Mid-grey panels get whichever reads better.
        QCOMPARE(glyphColours(StatusBarManager::iconOn(QColor(0x40, 0x40, 0x40)), 22),
                 QSet<QRgb>{0xeff0f1});
        QCOMPARE(glyphColours(StatusBarManager::iconOn(QColor(0xa0, 0xa0, 0xa0)), 22),
                 QSet<QRgb>{0x232629});
    }
};

LEXWICK_GUI_TEST(StatusNotifierItemTest)
#include "StatusNotifierItemTest.moc"
