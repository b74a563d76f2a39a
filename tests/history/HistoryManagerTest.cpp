// SPDX-License-Identifier: MIT
#include "history/HistoryManager.h"
#include "settings/UserDefaults.h"
#include "support/LogCapture.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

namespace {

HistoryItem item(int n, std::optional<ToneOption> tone = std::nullopt)
{
    HistoryItem item;
    item.originalText = u"in %1"_s.arg(n);
    item.resultText = u"out %1"_s.arg(n);
    item.action = tone ? TextAction::paraphrase : TextAction::correct;
    item.tone = tone;
    item.provider = u"Groq"_s;
    return item;
}

QList<HistoryItem> itemsOf(HistoryManager& history)
{
    return runTask(history.items()).value_or(QList<HistoryItem>{});
}

void run(QCoro::Task<void> task)
{
    QVERIFY(runTask(std::move(task)));
}

// A stored record, with one piece of its text replaced to spoil it.
QByteArray record(const QString& original, QByteArrayView from = {}, QByteArrayView to = {})
{
    QByteArray json = R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","originalText":")" +
                      original.toUtf8() +
                      R"(","resultText":"b","action":"Paraphrase","tone":"Casual",)"
                      R"("provider":"Groq","timestamp":1.5,"wasCached":false})";
    if (!from.isEmpty())
        json.replace(from.toByteArray(), to.toByteArray());
    return json;
}

QList<HistoryItem> numbered(int from, int to)
{
    QList<HistoryItem> items;
    for (int n = from; n >= to; --n)
        items.append(item(n));
    return items;
}

} // namespace

class HistoryManagerTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<UserDefaults> m_store;

    QString historyFile() const { return m_dir.filePath(u"data/lexwick/history.json"_s); }

    std::unique_ptr<HistoryManager> open()
    {
        return std::make_unique<HistoryManager>(historyFile(), *m_store);
    }

    std::optional<QByteArray> stored() const
    {
        QFile file(historyFile());
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return file.readAll();
    }

    QJsonArray storedArray() const
    {
        return QJsonDocument::fromJson(stored().value_or("")).array();
    }

    QStringList asideFiles() const
    {
        return QDir(QFileInfo(historyFile()).absolutePath())
            .entryList({u"history.json.unreadable-*"_s}, QDir::Files);
    }

    QByteArray asideContent(const QString& name) const
    {
        QFile file(QFileInfo(historyFile()).absoluteDir().filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QByteArray settingsFileBytes() const
    {
        QFile file(m_store->filePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void init()
    {
        QFile::remove(m_dir.filePath(u"defaults.cbor"_s));
        QDir(m_dir.filePath(u"data"_s)).removeRecursively();
        m_store = std::make_unique<UserDefaults>(m_dir.filePath(u"defaults.cbor"_s));
    }

    // An older, longer history is loaded whole; the next add keeps the fifty newest.
    void keepsTheFiftyNewest()
    {
        {
            auto empty = open();
            QVERIFY(itemsOf(*empty).isEmpty());
        }
        QCOMPARE(stored(), std::nullopt);

        m_store->setObject(encodeHistory(numbered(60, 1)), HistoryManager::storageKey);
        auto history = open();
        QCOMPARE(itemsOf(*history).size(), 60);
        run(history->add(item(61)));
        const QList<HistoryItem> items = itemsOf(*history);
        QCOMPARE(items.size(), 50);
        QCOMPARE(items.first().originalText, u"in 61"_s);
        QCOMPARE(items.last().originalText, u"in 12"_s);

        const QJsonArray array = storedArray();
        QCOMPARE(array.size(), 50);
        QCOMPARE(array.first()[u"originalText"_s].toString(), u"in 61"_s);
        QCOMPARE(itemsOf(*open()), items);
    }

    void storedFormIsExact()
    {
        auto history = open();
        HistoryItem casual = item(1, ToneOption::casual);
        casual.timestamp = QDateTime(QDate(2001, 1, 1), QTime(0, 0, 1, 500), Qt::UTC);
        casual.wasCached = true;
        run(history->add(casual));
        run(history->add(item(2)));

        const QByteArray bytes = stored().value();
        QVERIFY(!bytes.contains('\n'));
        const QJsonArray array = QJsonDocument::fromJson(bytes).array();
        const QJsonObject newest = array[0].toObject();
        QVERIFY(!newest.contains(u"tone"_s));
        QCOMPARE(newest[u"action"_s].toString(), u"Correct"_s);
        const QJsonObject older = array[1].toObject();
        QCOMPARE(older.keys(),
                 (QStringList{u"action"_s, u"id"_s, u"originalText"_s, u"provider"_s,
                              u"resultText"_s, u"timestamp"_s, u"tone"_s, u"wasCached"_s}));
        QCOMPARE(older[u"tone"_s].toString(), u"Casual"_s);
        QCOMPARE(older[u"timestamp"_s].toDouble(), 1.5);
        QCOMPARE(older[u"wasCached"_s].toBool(), true);
        QCOMPARE(older[u"id"_s].toString(), casual.id.toString(QUuid::WithoutBraces).toUpper());
        // The owner's alone, and nothing of it in the settings.
        QCOMPARE(QFile::permissions(historyFile()) & 0x0FFF,
                 QFileDevice::ReadUser | QFileDevice::WriteUser);
        QCOMPARE(QFile::permissions(QFileInfo(historyFile()).absolutePath()) & 0x0FFF,
                 QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
        QVERIFY(m_store->keys().isEmpty());

        const QList<HistoryItem> items = itemsOf(*open());
        QCOMPARE(items.value(1), casual);
        QCOMPARE(items.value(0).tone, std::nullopt);
    }

    // The history of an older version, fifty records and a damaged one, leaves the settings
    // for its own file on the first start: every byte of it, and nothing stays behind.
    void movesOutOfTheSettings()
    {
        QList<QByteArray> records;
        for (const HistoryItem& old : numbered(50, 1))
            records.append(encodeHistory({old}).sliced(1).chopped(1));
        records.insert(10, record(u"damaged"_s, R"("action":"Paraphrase")", R"("action":7)"));
        const QByteArray document = "[" + records.join(',') + "]";
        m_store->setObject(document, HistoryManager::storageKey);
        m_store->setObject(QByteArray("[older unreadable]"),
                           HistoryManager::unreadableKeyPrefix + u"20250101-000000-000"_s);
        m_store->setBool(true, u"has_completed_onboarding"_s);

        LogCapture log;
        auto history = open();
        const QList<HistoryItem> items = itemsOf(*history);
        QCOMPARE(items.size(), 50);
        QCOMPARE(items.first().originalText, u"in 50"_s);
        QCOMPARE(stored(), document);
        QCOMPARE(m_store->keys(), QStringList{u"has_completed_onboarding"_s});
        QVERIFY(!settingsFileBytes().contains("in 50"));
        QVERIFY(!settingsFileBytes().contains("older unreadable"));
        QCOMPARE(asideFiles(), QStringList{u"history.json.unreadable-20250101-000000-000"_s});

        // The damaged record is kept aside by the first save, not lost.
        run(history->add(item(51)));
        QCOMPARE(asideFiles().size(), 2);
        bool kept = false;
        for (const QString& name : asideFiles())
            kept = kept || asideContent(name) == document;
        QVERIFY(kept);
        QCOMPARE(storedArray().size(), 50);
    }

    // A start killed between writing the file and removing the settings' copy leaves both;
    // one killed before the file's commit leaves an unfinished copy. Neither loses or doubles
    // a record.
    void aKillBetweenTheTwoWritesLosesNothing()
    {
        const QByteArray document = encodeHistory(numbered(3, 1));
        m_store->setObject(document, HistoryManager::storageKey);
        QDir().mkpath(QFileInfo(historyFile()).absolutePath());
        {
            QFile unfinished(historyFile() + u".Ab12Cd"_s);
            QVERIFY(unfinished.open(QIODevice::WriteOnly));
            unfinished.write(document.left(20));
        }
        QCOMPARE(itemsOf(*open()).size(), 3);
        QCOMPARE(stored(), document);
        QVERIFY(m_store->keys().isEmpty());

        m_store->setObject(document, HistoryManager::storageKey);
        auto history = open();
        QCOMPARE(itemsOf(*history).size(), 3);
        QCOMPARE(stored(), document);
        QVERIFY(m_store->keys().isEmpty());
        run(history->add(item(4)));
        QCOMPARE(itemsOf(*open()).size(), 4);
    }

    // One bad record must not cost the others; whatever could not be read is kept aside
    // before the first save replaces it.
    void unreadableRecordsAreSkippedAndKept_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QStringList>("readable"); // originalText of the records read

        const QByteArray good1 = record(u"first"_s);
        const QByteArray good2 = record(u"second"_s);
        const auto list = [](const QList<QByteArray>& elements) -> QByteArray {
            return "[" + elements.join(',') + "]";
        };
        QTest::newRow("not JSON") << QByteArray("[{\"id\":") << QStringList{};
        QTest::newRow("not a list") << QByteArray(R"({"id":1})") << QStringList{};
        QTest::newRow("no resultText")
            << list({good1, record(u"x"_s, R"("resultText":"b",)", ""), good2})
            << QStringList{u"first"_s, u"second"_s};
        QTest::newRow("tone of a newer version")
            << list({good1, record(u"x"_s, R"("tone":"Casual")", R"("tone":"Grumpy")")})
            << QStringList{u"first"_s};
        QTest::newRow("timestamp as text")
            << list({record(u"x"_s, R"("timestamp":1.5)", R"("timestamp":"yesterday")"), good2})
            << QStringList{u"second"_s};
        QTest::newRow("not an object") << list({"42", good1}) << QStringList{u"first"_s};
    }

    void unreadableRecordsAreSkippedAndKept()
    {
        QFETCH(QByteArray, document);
        QFETCH(QStringList, readable);
        QDir().mkpath(QFileInfo(historyFile()).absolutePath());
        {
            QFile file(historyFile());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(document);
        }
        LogCapture log;
        auto history = open();
        QStringList read;
        for (const HistoryItem& item : itemsOf(*history))
            read.append(item.originalText);
        QCOMPARE(read, readable);
        QCOMPARE(log.lines().size(), 1);
        QVERIFY(log.lines().first().startsWith(u"Lexwick: Failed to load history: "));
        QCOMPARE(stored(), document); // not yet replaced

        run(history->add(item(1)));
        QCOMPARE(storedArray().size(), readable.size() + 1);
        QCOMPARE(log.lines().size(), 2);
        const QStringList aside = asideFiles();
        QCOMPARE(aside.size(), 1);
        QCOMPARE(asideContent(aside.first()), document);

        // Set aside once; what is stored now reads cleanly.
        run(history->add(item(2)));
        QCOMPARE(asideFiles().size(), 1);
        LogCapture quiet;
        QCOMPARE(itemsOf(*open()).size(), readable.size() + 2);
        QVERIFY(quiet.lines().isEmpty());
    }

    // A date no clock can show must not break the decoder: the record is read, clamped.
    void timestampOutOfRangeIsClamped_data()
    {
        QTest::addColumn<QByteArray>("timestamp");
        QTest::addColumn<int>("year");
        QTest::newRow("far future") << QByteArray("1e300") << 9999;
        QTest::newRow("far past") << QByteArray("-1e300") << 1;
        QTest::newRow("largest double") << QByteArray("1.7976931348623157e308") << 9999;
        QTest::newRow("ordinary") << QByteArray("86400.25") << 2001;
    }

    void timestampOutOfRangeIsClamped()
    {
        QFETCH(QByteArray, timestamp);
        QFETCH(int, year);
        m_store->setObject(
            "[" + record(u"t"_s, R"("timestamp":1.5)", QByteArray("\"timestamp\":" + timestamp)) + "]",
            HistoryManager::storageKey);
        auto history = open();
        const QList<HistoryItem> items = itemsOf(*history);
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.first().timestamp.date().year(), year);
        // What is written back reads back the same.
        run(history->add(item(1)));
        QCOMPARE(itemsOf(*open()), itemsOf(*history));
    }

    void deleteAndClear()
    {
        auto history = open();
        const HistoryItem first = item(1);
        run(history->add(first));
        run(history->add(item(2)));
        // Issued together, they run in order: the add lands before the delete looks.
        const HistoryItem third = item(3);
        QCoro::Task<void> adding = history->add(third);
        QCoro::Task<void> deleting = history->deleteItem(third.id);
        run(std::move(adding));
        run(std::move(deleting));
        QCOMPARE(itemsOf(*history).size(), 2);

        run(history->deleteItem(QUuid::createUuid()));
        QCOMPARE(itemsOf(*history).size(), 2);
        run(history->deleteItem(first.id));
        QCOMPARE(itemsOf(*history).size(), 1);
        QCOMPARE(storedArray().size(), 1);

        run(history->clear());
        QVERIFY(itemsOf(*history).isEmpty());
        QCOMPARE(stored(), QByteArray("[]"));
    }
};

LEXWICK_TEST(HistoryManagerTest)
#include "HistoryManagerTest.moc"
