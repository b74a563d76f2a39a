// SPDX-License-Identifier: MIT
#include "Fuzz.h"

#include "settings/UserDefaults.h"

#include <QCborMap>
#include <QCborValue>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

// Whatever the file held, the store opens, and what it writes next reads back.
void run(const QByteArray& input)
{
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("store/defaults.cbor"));
    QDir(folder.filePath(QStringLiteral("store"))).removeRecursively();
    QDir().mkpath(folder.filePath(QStringLiteral("store")));
    {
        QFile file(path);
        lexwick::fuzz::require(file.open(QIODevice::WriteOnly) && file.write(input) == input.size(),
                               "the input can be written");
    }
    const QString key = QStringLiteral("lexwick_fuzz");
    {
        lexwick::UserDefaults store(path);
        for (const QString& stored : store.keys())
            (void)store.objectForKey(stored);
        store.setObject(QByteArray("\x00\xff", 2), key);
    }
    lexwick::UserDefaults reopened(path);
    lexwick::fuzz::require(reopened.dataForKey(key) == QByteArray("\x00\xff", 2),
                           "a written value reads back");
}

QByteArray seed()
{
    QCborMap map;
    map.insert(QStringLiteral("lexwick_provider_mode"), QStringLiteral("custom"));
    map.insert(QStringLiteral("lexwick_pii_detection"), true);
    map.insert(QStringLiteral("lexwick_api_key_groq"), QByteArray("gsk-1234"));
    return QCborValue(map).toCbor();
}

} // namespace

const lexwick::fuzz::Target lexwick::fuzz::target{"user_defaults", run, {seed()}};
