// SPDX-License-Identifier: MIT
#include "settings/UserDefaults.h"
#include "support/TestMain.h"

#include <QTemporaryDir>
#include <QTest>

#include <thread>

using namespace lexwick;
using namespace Qt::StringLiterals;

class UserDefaultsOrderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A writer still encoding a large snapshot finishes after a later, small one has written
    // its file: the older snapshot must not replace the newer file.
    void olderWriteNeverReplacesANewerFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"defaults.cbor"_s);
        UserDefaults store(path);
        store.setObject(QByteArray(32 * 1024 * 1024, 'x'), u"big"_s); // slow to encode
        std::jthread older([&store] { store.setBool(true, u"flag"_s); });
        while (!store.boolForKey(u"flag"_s)) // its snapshot is taken; it is encoding now
            std::this_thread::yield();
        store.removeObject(u"big"_s);
        older.join();
        const UserDefaults reopened(path);
        QCOMPARE(reopened.dataForKey(u"big"_s), std::nullopt);
        QVERIFY(reopened.boolForKey(u"flag"_s));
    }
};

LEXWICK_TEST(UserDefaultsOrderTest)
#include "UserDefaultsOrderTest.moc"
