// SPDX-License-Identifier: MIT
// The key chain against a real GNOME Keyring on a session bus of the test's own.
#include "settings/KeychainManager.h"
#include "settings/UserDefaults.h"
#include "support/LogCapture.h"
#include "support/TestMain.h"

#include <QCoroTask>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <qt6keychain/keychain.h>

using namespace lexwick;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QString service = u"io.github.lexwick.Lexwick"_s;
const QString password = u"test password"_s;

// Runs a keyring job on the account and waits for its answer.
void runJob(QKeychain::Job& job, const QString& account)
{
    job.setAutoDelete(false);
    job.setKey(account);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
}

// What the keyring holds for an account, asked directly; nothing when it holds nothing.
std::optional<QString> keyringEntry(const QString& account)
{
    QKeychain::ReadPasswordJob job(service);
    runJob(job, account);
    if (job.error() != QKeychain::NoError)
        return std::nullopt;
    return job.textData();
}

std::optional<QString> fileEntry(const QString& file, const QString& account)
{
    const UserDefaults store(file);
    const auto bytes = store.dataForKey(KeychainManager::storageKey(account));
    return bytes ? std::optional<QString>(QString::fromUtf8(*bytes)) : std::nullopt;
}

void openKeyring(KeychainManager& keychain)
{
    QCoro::waitFor(keychain.openKeyring(service, 5s));
}

} // namespace

class KeyringTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // A bus that activates nothing: the keyring is there only once the test starts it.
        QFile config(m_dir.filePath(u"bus.conf"_s));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral("<busconfig><type>session</type>"
                                    "<listen>unix:dir=%1</listen>"
                                    "<policy context=\"default\"><allow send_destination=\"*\"/>"
                                    "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
                                    "</busconfig>\n")
                         .arg(m_dir.path())
                         .toUtf8());
        config.close();
        m_bus.start(u"dbus-daemon"_s, {u"--nofork"_s, u"--print-address=1"_s,
                                       u"--config-file="_s + config.fileName()});
        QVERIFY(m_bus.waitForReadyRead(10000));
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.readLine().trimmed());
    }

    void cleanupTestCase()
    {
        if (m_keyring.state() != QProcess::NotRunning) {
            m_keyring.kill();
            m_keyring.waitForFinished();
        }
        m_bus.kill();
        m_bus.waitForFinished();
    }

    // Runs first, before the keyring exists.
    void withoutSecretServiceKeysStayInTheFile()
    {
        const QString file = m_dir.filePath(u"no-keyring.cbor"_s);
        UserDefaults store(file);
        store.setObject(QByteArray("gsk-1"), KeychainManager::storageKey(APIProvider::groq));
        KeychainManager keychain(store);
        QSignalSpy decided(&keychain, &KeychainManager::storeChanged);
        openKeyring(keychain);

        QCOMPARE(keychain.store(), KeychainManager::Store::file);
        QVERIFY(!keychain.keyringProblem().isEmpty());
        QCOMPARE(decided.count(), 1);
        QCOMPARE(keychain.load(APIProvider::groq), u"gsk-1"_s);
        QVERIFY(QCoro::waitFor(keychain.save(u"sk-2"_s, APIProvider::openai)));
        QCOMPARE(fileEntry(file, u"openai"_s), u"sk-2"_s);
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ReadOther | QFileDevice::WriteOther;
        QCOMPARE(QFile::permissions(file) & others, QFileDevice::Permissions());
    }

    void startKeyring()
    {
        // An unlocked login keyring in a home of its own, as a session login would leave it.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const QString home = m_dir.filePath(u"home"_s);
        QDir().mkpath(home + u"/.local/share"_s);
        environment.insert(u"HOME"_s, home);
        environment.insert(u"XDG_DATA_HOME"_s, home + u"/.local/share"_s);
        environment.insert(u"XDG_CONFIG_HOME"_s, home + u"/.config"_s);
        environment.remove(u"DISPLAY"_s);
        m_keyring.setProcessEnvironment(environment);
        m_keyring.start(u"gnome-keyring-daemon"_s,
                        {u"--foreground"_s, u"--unlock"_s, u"--components=secrets"_s});
        QVERIFY(m_keyring.waitForStarted());
        m_keyring.write(password.toUtf8());
        m_keyring.closeWriteChannel();
        QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(
                                     u"org.freedesktop.secrets"_s),
                                 10000);
    }

    void saveLoadReplaceDelete()
    {
        const QString file = m_dir.filePath(u"keys.cbor"_s);
        UserDefaults store(file);
        KeychainManager keychain(store);
        openKeyring(keychain);
        QCOMPARE(keychain.store(), KeychainManager::Store::keyring);
        QCOMPARE(keychain.load(APIProvider::anthropic), std::nullopt);

        QVERIFY(QCoro::waitFor(keychain.save(u"s\u00E9k"_s, APIProvider::anthropic)));
        QCOMPARE(keychain.load(APIProvider::anthropic), u"s\u00E9k"_s);
        QCOMPARE(keyringEntry(u"anthropic"_s), u"s\u00E9k"_s);
        QVERIFY(QCoro::waitFor(keychain.save(u"second"_s, APIProvider::anthropic)));
        QCOMPARE(keyringEntry(u"anthropic"_s), u"second"_s);
        // An empty key is a key, and the text is kept as typed.
        QVERIFY(QCoro::waitFor(keychain.save(u" k \n"_s, APIProvider::groq)));
        QCOMPARE(keyringEntry(u"groq"_s), u" k \n"_s);
        // Nothing of it went to the file.
        QVERIFY(store.keys().isEmpty());

        // A later run reads what this one stored.
        {
            KeychainManager next(store);
            openKeyring(next);
            QCOMPARE(next.load(APIProvider::anthropic), u"second"_s);
            QCOMPARE(next.load(APIProvider::groq), u" k \n"_s);
        }

        QVERIFY(QCoro::waitFor(keychain.remove(APIProvider::anthropic)));
        QCOMPARE(keychain.load(APIProvider::anthropic), std::nullopt);
        QCOMPARE(keyringEntry(u"anthropic"_s), std::nullopt);
        QVERIFY(QCoro::waitFor(keychain.remove(APIProvider::anthropic)));
        QVERIFY(QCoro::waitFor(keychain.remove(APIProvider::groq)));
        // No text that has no UTF-8 form reaches the keyring either.
        const auto refused = QCoro::waitFor(keychain.save(QString(QChar(0xD800)), u"groq"_s));
        QVERIFY(!refused);
        QCOMPARE(refused.error().errorDescription(), u"Invalid data"_s);
    }

    void keysOfTheFileMoveToTheKeyring()
    {
        const QString file = m_dir.filePath(u"three.cbor"_s);
        {
            UserDefaults store(file);
            store.setObject(QByteArray("gsk-three"), KeychainManager::storageKey(u"groq"_s));
            store.setObject(QByteArray("sk-three"), KeychainManager::storageKey(u"openai"_s));
            store.setObject(QByteArray("srv-three"), KeychainManager::storageKey(u"local"_s));
            store.setObject(u"custom"_s, u"ai_provider_mode"_s);
        }
        UserDefaults store(file);
        KeychainManager keychain(store);
        // Until the keyring answered, the file's keys are the ones in use.
        QCOMPARE(keychain.load(u"groq"_s), u"gsk-three"_s);
        openKeyring(keychain);

        QCOMPARE(keychain.store(), KeychainManager::Store::keyring);
        QCOMPARE(keychain.load(u"groq"_s), u"gsk-three"_s);
        QCOMPARE(keyringEntry(u"groq"_s), u"gsk-three"_s);
        QCOMPARE(keyringEntry(u"openai"_s), u"sk-three"_s);
        QCOMPARE(keyringEntry(u"local"_s), u"srv-three"_s);
        QCOMPARE(store.keys(), QStringList{u"ai_provider_mode"_s});
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(!written.readAll().contains("three"));
        cleanKeyring();
    }

    void aKillDuringTheMoveLosesNothing()
    {
        const QString file = m_dir.filePath(u"killed.cbor"_s);
        const QMap<QString, QString> keys{{u"groq"_s, u"gsk-killed"_s},
                                          {u"openai"_s, u"sk-killed"_s},
                                          {u"anthropic"_s, u"a-k"_s}};
        {
            UserDefaults store(file);
            for (auto it = keys.cbegin(); it != keys.cend(); ++it)
                store.setObject(it.value().toUtf8(), KeychainManager::storageKey(it.key()));
        }
        // Kill a run moving the keys ever later, until one gets to its end: after each, every
        // key is in the file or in the keyring, unchanged.
        bool finished = false;
        for (int delay = 0; delay < 3000 && !finished; delay += 7) {
            QProcess run;
            run.start(QCoreApplication::applicationFilePath(), {u"--move-keys"_s, file});
            QVERIFY(run.waitForStarted());
            QTest::qWait(delay);
            if (run.state() == QProcess::NotRunning) {
                finished = true;
                QCOMPARE(run.exitCode(), 0);
            } else {
                run.kill();
                run.waitForFinished();
            }
            for (auto it = keys.cbegin(); it != keys.cend(); ++it) {
                const bool kept =
                    fileEntry(file, it.key()) == it.value() || keyringEntry(it.key()) == it.value();
                QVERIFY2(kept, qPrintable(u"%1 lost after %2 ms"_s.arg(it.key()).arg(delay)));
            }
        }
        QVERIFY(finished);
        for (auto it = keys.cbegin(); it != keys.cend(); ++it) {
            QCOMPARE(keyringEntry(it.key()), it.value());
            QCOMPARE(fileEntry(file, it.key()), std::nullopt);
        }
        cleanKeyring();
    }

    // Runs last: the keyring stays locked.
    void aLockedKeyringIsNotUsed()
    {
        {
            UserDefaults store(m_dir.filePath(u"before-lock.cbor"_s));
            KeychainManager keychain(store);
            openKeyring(keychain);
            QVERIFY(QCoro::waitFor(keychain.save(u"a-before-lock"_s, APIProvider::anthropic)));
        }
        // A plain call: an interface object would introspect, and Qt keeps what that builds.
        QDBusMessage lock = QDBusMessage::createMethodCall(
            u"org.freedesktop.secrets"_s, u"/org/freedesktop/secrets"_s,
            u"org.freedesktop.Secret.Service"_s, u"Lock"_s);
        lock << QVariant::fromValue(QList<QDBusObjectPath>{
            QDBusObjectPath(u"/org/freedesktop/secrets/collection/login"_s)});
        const QDBusMessage locked = QDBusConnection::sessionBus().call(lock);
        QCOMPARE(locked.type(), QDBusMessage::ReplyMessage);

        const QString file = m_dir.filePath(u"locked.cbor"_s);
        UserDefaults store(file);
        store.setObject(QByteArray("gsk-locked"), KeychainManager::storageKey(u"groq"_s));
        KeychainManager keychain(store);
        openKeyring(keychain);

        QCOMPARE(keychain.store(), KeychainManager::Store::file);
        QVERIFY(!keychain.keyringProblem().isEmpty());
        QCOMPARE(keychain.load(u"groq"_s), u"gsk-locked"_s);
        QCOMPARE(fileEntry(file, u"groq"_s), u"gsk-locked"_s);
        // Saves of this run go to the file too, not to a keyring that cannot take them.
        QVERIFY(QCoro::waitFor(keychain.save(u"sk-locked"_s, u"openai"_s)));
        QCOMPARE(fileEntry(file, u"openai"_s), u"sk-locked"_s);

        // Locked with nothing of ours in it (another application id), it reads as empty, but
        // takes no key either.
        UserDefaults other(m_dir.filePath(u"locked-empty.cbor"_s));
        other.setObject(QByteArray("o-locked"), KeychainManager::storageKey(u"openai"_s));
        KeychainManager second(other);
        test::LogCapture log;
        QCoro::waitFor(second.openKeyring(service + u".Other"_s, 5s));
        QCOMPARE(second.store(), KeychainManager::Store::file);
        // The refused write is a warning of the settings' area.
        const std::optional<test::LogCapture::Entry> refused =
            log.find(u"Lexwick: Keyring not used"_s);
        QVERIFY(refused && refused->type == QtWarningMsg);
        QCOMPARE(refused->category, u"lexwick.settings"_s);
        QCOMPARE(second.load(u"openai"_s), u"o-locked"_s);
    }

private:
    void cleanKeyring()
    {
        for (const QString& account : KeychainManager::accounts()) {
            QKeychain::DeletePasswordJob job(service);
            runJob(job, account);
        }
    }

    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_keyring;
};

// Also the run that a test kills: it moves the keys of a settings file and exits.
int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--move-keys") == 0) {
        QCoreApplication app(argc, argv);
        UserDefaults store(QString::fromLocal8Bit(argv[2]));
        KeychainManager keychain(store);
        QCoro::waitFor(keychain.openKeyring(service, 5s));
        return keychain.store() == KeychainManager::Store::keyring ? 0 : 1;
    }
    return lexwick::test::runTest<QCoreApplication, KeyringTest>(argc, argv);
}

#include "KeyringTest.moc"
