// SPDX-License-Identifier: MIT
#include "app/RemoteDesktopPortal.h"
#include "settings/UserDefaults.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

namespace {

const QString sessionPath = u"/org/freedesktop/portal/desktop/session/1_1/lexwick"_s;

// The desktop's portal as the test scripts it: whether the user allows the keyboard, the
// restore token it hands out, and what it was asked and sent. Like a portal, it answers each
// request through the Response signal of its Request object, after the call's own reply.
class FakePortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.RemoteDesktop")

public:
    explicit FakePortal(QDBusConnection bus)
        : m_bus(std::move(bus))
    {
    }

    bool allows = true;
    QString token = u"token-1"_s;
    int sessions = 0;
    QList<QVariantMap> selections;
    QList<std::pair<int, uint>> keys;

    void closeSession()
    {
        m_bus.send(QDBusMessage::createSignal(sessionPath, u"org.freedesktop.portal.Session"_s,
                                              u"Closed"_s)
                   << QVariantMap());
    }

public Q_SLOTS:
    QDBusObjectPath CreateSession(const QVariantMap& options)
    {
        ++sessions;
        return respond(options, 0,
                       {{u"session_handle"_s, QVariant::fromValue(QDBusObjectPath(sessionPath))}});
    }

    QDBusObjectPath SelectDevices(const QDBusObjectPath&, const QVariantMap& options)
    {
        selections.append(options);
        return respond(options, 0, {});
    }

    QDBusObjectPath Start(const QDBusObjectPath&, const QString&, const QVariantMap& options)
    {
        if (!allows)
            return respond(options, 1, {});
        return respond(options, 0, {{u"devices"_s, 1u}, {u"restore_token"_s, token}});
    }

    void NotifyKeyboardKeysym(const QDBusObjectPath& session, const QVariantMap&, int keysym,
                              uint state)
    {
        if (session.path() == sessionPath)
            keys.append({keysym, state});
    }

private:
    QDBusObjectPath respond(const QVariantMap& options, uint response, const QVariantMap& results)
    {
        const QString path = u"/org/freedesktop/portal/desktop/request/"_s +
                             message().service().mid(1).replace(u'.', u'_') + u'/' +
                             options.value(u"handle_token"_s).toString();
        QDBusMessage signal =
            QDBusMessage::createSignal(path, u"org.freedesktop.portal.Request"_s, u"Response"_s);
        signal << response << results;
        QTimer::singleShot(20, this, [this, signal] { m_bus.send(signal); });
        return QDBusObjectPath(path);
    }

    QDBusConnection m_bus;
};

const QList<std::pair<int, uint>> ctrlV{{0xffe3, 1}, {0x76, 1}, {0x76, 0}, {0xffe3, 0}};

// A session bus of the test's own, with the portal on one connection and Lexwick on another.
struct Fixture {
    QTemporaryDir dir;
    QProcess daemon;
    QString address;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<FakePortal> portal;

    explicit Fixture(bool withPortal = true)
    {
        daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        if (daemon.waitForReadyRead(10000))
            address = QString::fromUtf8(daemon.readLine().trimmed());
        defaults = std::make_unique<UserDefaults>(dir.filePath(u"defaults.cbor"_s));
        if (withPortal) {
            QDBusConnection bus = QDBusConnection::connectToBus(address, name(u"portal"_s));
            portal = std::make_unique<FakePortal>(bus);
            bus.registerObject(u"/org/freedesktop/portal/desktop"_s, portal.get(),
                               QDBusConnection::ExportAllSlots);
            bus.registerService(u"org.freedesktop.portal.Desktop"_s);
        }
    }

    ~Fixture()
    {
        QDBusConnection::disconnectFromBus(name(u"portal"_s));
        for (int run = 0; run < runs; ++run)
            QDBusConnection::disconnectFromBus(name(u"lexwick%1"_s.arg(run)));
        daemon.terminate();
        daemon.waitForFinished(5000);
    }

    // Lexwick's portal client of one run, with a connection of its own.
    std::unique_ptr<RemoteDesktopPortal> run()
    {
        return std::make_unique<RemoteDesktopPortal>(
            QDBusConnection::connectToBus(address, name(u"lexwick%1"_s.arg(runs++))), *defaults);
    }

    std::optional<QString> storedToken() const
    {
        return defaults->stringForKey(RemoteDesktopPortal::restoreTokenKey);
    }

    // Connections are named per process: each fixture's names are its own.
    QString name(const QString& connection) const { return address + u' ' + connection; }

    int runs = 0;
};

} // namespace

class RemoteDesktopPortalTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The user is asked once per run, for the keyboard, to keep the permission; the token
    // that comes back lets the next run in, and is replaced by the one that run gets. A
    // session the desktop closes is asked for again.
    void asksOnceAndKeepsTheToken()
    {
        Fixture f;
        QVERIFY(!f.address.isEmpty());
        auto portal = f.run();
        QCOMPARE(runTask(portal->paste()), true);
        QCOMPARE(f.portal->keys, ctrlV);
        QCOMPARE(f.portal->selections.size(), 1);
        const QVariantMap asked = f.portal->selections.first();
        QCOMPARE(asked.value(u"types"_s).toUInt(), 1u);
        QCOMPARE(asked.value(u"persist_mode"_s).toUInt(), 2u);
        QVERIFY(!asked.contains(u"restore_token"_s));
        QCOMPARE(f.storedToken(), u"token-1"_s);

        QCOMPARE(runTask(portal->paste()), true);
        QCOMPARE(f.portal->sessions, 1);
        QCOMPARE(f.portal->keys, ctrlV + ctrlV);

        f.portal->closeSession();
        QTest::qWait(200);
        f.portal->token = u"token-2"_s;
        QCOMPARE(runTask(portal->paste()), true);
        QCOMPARE(f.portal->sessions, 2);
        QCOMPARE(f.portal->selections.last().value(u"restore_token"_s), u"token-1"_s);
        QCOMPARE(f.storedToken(), u"token-2"_s);

        portal = f.run();
        QCOMPARE(runTask(portal->paste()), true);
        QCOMPARE(f.portal->selections.last().value(u"restore_token"_s), u"token-2"_s);
    }

    // Declined, or no portal at all: nothing is typed, and a declined question is not asked
    // again in the same run.
    void withoutThePortalNothingIsTyped()
    {
        Fixture f;
        f.portal->allows = false;
        auto portal = f.run();
        QCOMPARE(runTask(portal->paste()), false);
        QCOMPARE(runTask(portal->paste()), false);
        QCOMPARE(f.portal->sessions, 1);
        QVERIFY(f.portal->keys.isEmpty());
        QCOMPARE(f.storedToken(), std::nullopt);

        Fixture none(false);
        auto alone = none.run();
        QCOMPARE(runTask(alone->paste(), std::chrono::seconds(5)), false);
    }
};

LEXWICK_TEST(RemoteDesktopPortalTest)
#include "RemoteDesktopPortalTest.moc"
