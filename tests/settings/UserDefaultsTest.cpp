// SPDX-License-Identifier: MIT
#include "settings/UserDefaults.h"
#include "support/LogCapture.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

using namespace lexwick;
using namespace Qt::StringLiterals;

class UserDefaultsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(u"config/lexwick/defaults.cbor"_s); }

    static unsigned mode(const QString& file)
    {
        struct stat info {};
        return ::stat(QFile::encodeName(file).constData(), &info) == 0 ? info.st_mode & 0777 : 0;
    }

private Q_SLOTS:
    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    // A writer killed before its commit leaves QSaveFile's copy, API keys and all, beside the
    // store; the next start removes it and nothing else.
    void staleCopiesOfAKilledWriterAreRemoved()
    {
        { UserDefaults(path()).setObject(u"sk-secret"_s, u"key"_s); }
        const pid_t child = ::fork();
        if (child == 0) {
            QSaveFile file(path());
            file.open(QIODevice::WriteOnly);
            file.write("sk-secret, half written");
            file.flush();
            ::_exit(0); // no commit, no clean-up: as if killed
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);

        const QDir folder = QFileInfo(path()).dir();
        const QStringList others{u"defaults.cbor.unreadable-20260101-120000-000"_s,
                                 u"defaults.cbor.bak"_s, u"defaults.cbor.abcdefg"_s,
                                 u"my-defaults.cbor.abcdef"_s, u"notes.txt"_s};
        for (const QString& name : others) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(folder.mkdir(u"defaults.cbor.Folder"_s));
        const auto leftovers = [&folder] {
            QStringList names = folder.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
            names.removeAll(u"defaults.cbor"_s);
            names.sort();
            return names;
        };
        // Where the file system has unnamed temporary files the killed writer left none; a
        // named copy stands for it either way.
        QFile planted(folder.filePath(u"defaults.cbor.Ab12Cd"_s));
        QVERIFY(planted.open(QIODevice::WriteOnly));
        planted.write("sk-secret, half written");
        planted.close();
        QVERIFY(leftovers().contains(u"defaults.cbor.Ab12Cd"_s));

        test::LogCapture log;
        UserDefaults store(path());
        QCOMPARE(store.stringForKey(u"key"_s), u"sk-secret"_s);
        QStringList expected = others;
        expected.append(u"defaults.cbor.Folder"_s);
        expected.sort();
        QCOMPARE(leftovers(), expected);
        QCOMPARE(log.lines().size(), 1);
    }

    void valuesKeepTheirTypeAcrossRuns()
    {
        {
            UserDefaults store(path());
            store.setObject(u"custom"_s, u"mode"_s);
            store.setBool(false, u"flag"_s);
            store.setBool(true, u"other flag"_s);
            store.setObject(QByteArray("\x00\xFF\xFEkey", 6), u"bytes"_s);
            store.setObject(QByteArray(), u"empty bytes"_s);
            store.setObject(u"gone"_s, u"removed"_s);
            store.removeObject(u"removed"_s);
            store.removeObject(u"never there"_s);
        }
        UserDefaults store(path());
        QCOMPARE(store.stringForKey(u"mode"_s), u"custom"_s);
        QCOMPARE(store.objectForKey(u"flag"_s), UserDefaults::Value(false));
        QVERIFY(store.boolForKey(u"other flag"_s));
        QCOMPARE(store.dataForKey(u"bytes"_s), QByteArray("\x00\xFF\xFEkey", 6));
        QCOMPARE(store.dataForKey(u"empty bytes"_s), QByteArray());
        QCOMPARE(store.objectForKey(u"removed"_s), std::nullopt);

        // A typed read of another type gives nothing.
        QCOMPARE(store.stringForKey(u"bytes"_s), std::nullopt);
        QCOMPARE(store.dataForKey(u"mode"_s), std::nullopt);
        QVERIFY(!store.boolForKey(u"mode"_s));
        QVERIFY(!store.boolForKey(u"missing"_s));
    }

    void fileIsPrivate()
    {
        UserDefaults store(path());
        store.setObject(QByteArray("sk-secret"), u"lexwick_apikey_openai"_s);
        QCOMPARE(mode(path()), 0600u);
        QCOMPARE(mode(QFileInfo(path()).absolutePath()), 0700u);
        store.setBool(true, u"again"_s); // a replaced file is as private as the first
        QCOMPARE(mode(path()), 0600u);
    }

    void unreadableFileIsSetAside_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("garbage") << QByteArray("this is not a settings file");
        QTest::newRow("not a map") << QByteArray("\x83\x01\x02\x03", 4); // CBOR array
        QTest::newRow("empty") << QByteArray();
        QTemporaryDir scratch;
        const QString written = scratch.filePath(u"defaults.cbor"_s);
        UserDefaults(written).setObject(QByteArray(10000, 'h'), u"lexwick_history"_s);
        QFile file(written);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray whole = file.readAll();
        QTest::newRow("cut in half") << whole.left(whole.size() / 2);
    }

    void unreadableFileIsSetAside()
    {
        QFETCH(QByteArray, content);
        QDir().mkpath(QFileInfo(path()).absolutePath());
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();

        test::LogCapture log;
        UserDefaults store(path());
        QCOMPARE(store.keys(), QStringList());
        QCOMPARE(log.lines().size(), 1);
        QVERIFY(log.lines().first().startsWith(u"Lexwick: Settings file "));
        QCOMPARE(log.entries().first().type, QtWarningMsg);
        QCOMPARE(log.entries().first().category, u"lexwick.settings"_s);

        const QStringList asides =
            QFileInfo(path()).dir().entryList({u"defaults.cbor.unreadable-*"_s});
        QCOMPARE(asides.size(), 1);
        QFile kept(QFileInfo(path()).dir().filePath(asides.first()));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), content);

        store.setBool(true, u"works"_s);
        QVERIFY(UserDefaults(path()).boolForKey(u"works"_s));
    }

    void concurrentWritersLoseNothing()
    {
        UserDefaults store(path());
        constexpr int perThread = 100;
        const auto writer = [&store](const QString& prefix) {
            for (int i = 0; i < perThread; ++i)
                store.setObject(QString::number(i), prefix + QString::number(i));
        };
        {
            std::jthread a(writer, u"a"_s);
            std::jthread b(writer, u"b"_s);
        }
        UserDefaults reopened(path());
        for (int i = 0; i < perThread; ++i) {
            QCOMPARE(reopened.stringForKey(u"a"_s + QString::number(i)), QString::number(i));
            QCOMPARE(reopened.stringForKey(u"b"_s + QString::number(i)), QString::number(i));
        }
    }
};

LEXWICK_TEST(UserDefaultsTest)
#include "UserDefaultsTest.moc"
