// SPDX-License-Identifier: MIT
#include "settings/KeychainManager.h"
#include "settings/UserDefaults.h"
#include "support/TestMain.h"

#include <QCoroTask>
#include <QTemporaryDir>
#include <QTest>

using namespace lexwick;
using namespace Qt::StringLiterals;

class KeychainManagerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keysArePerProviderUtf8Bytes()
    {
        QTemporaryDir dir;
        UserDefaults store(dir.filePath(u"defaults.cbor"_s));
        KeychainManager keychain(store);

        QVERIFY(QCoro::waitFor(keychain.save(u"s\u00E9k"_s, APIProvider::openai)));
        QCOMPARE(store.dataForKey(u"lexwick_apikey_openai"_s), QByteArray("s\xC3\xA9k"));
        QCOMPARE(keychain.load(APIProvider::openai), u"s\u00E9k"_s);
        QCOMPARE(keychain.load(APIProvider::groq), std::nullopt);

        QVERIFY(QCoro::waitFor(keychain.save(u"second"_s, APIProvider::openai)));
        QCOMPARE(keychain.load(APIProvider::openai), u"second"_s);

        // Stored unchanged: no trimming, an empty key is a key.
        QVERIFY(QCoro::waitFor(keychain.save(u"\uFEFF key \n"_s, APIProvider::groq)));
        QCOMPARE(keychain.load(APIProvider::groq), u"\uFEFF key \n"_s);
        QVERIFY(QCoro::waitFor(keychain.save(QString(), APIProvider::anthropic)));
        QCOMPARE(keychain.load(APIProvider::anthropic), QString());

        QVERIFY(QCoro::waitFor(keychain.remove(APIProvider::anthropic)));
        QCOMPARE(keychain.load(APIProvider::anthropic), std::nullopt);
        QVERIFY(QCoro::waitFor(keychain.remove(APIProvider::anthropic)));
        QCOMPARE(keychain.load(APIProvider::openai), u"second"_s);
    }

    void badDataIsNoKey()
    {
        QTemporaryDir dir;
        UserDefaults store(dir.filePath(u"defaults.cbor"_s));
        KeychainManager keychain(store);
        store.setObject(QByteArray("\xC3\x28"), u"lexwick_apikey_groq"_s);
        QCOMPARE(keychain.load(APIProvider::groq), std::nullopt);
        store.setObject(u"a string, not bytes"_s, u"lexwick_apikey_groq"_s);
        QCOMPARE(keychain.load(APIProvider::groq), std::nullopt);
    }
};

LEXWICK_TEST(KeychainManagerTest)
#include "KeychainManagerTest.moc"
