#include "history/HistoryManager.h"
#include "settings/UserDefaults.h"
#include "support/LogCapture.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

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

QStringList asideKeys(const UserDefaults& store)
{
    return store.keys().filter(QRegularExpression(u"^lexwick_history_unreadable-"_s));
}

QJsonArray storedArray(UserDefaults& store)
{
    return QJsonDocument::fromJson(store.dataForKey(HistoryManager::storageKey).value_or(""))
        .array();
}

} // namespace

class HistoryManagerTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<UserDefaults> m_store;

private Q_SLOTS:
    void init()
    {
        QFile::remove(m_dir.filePath(u"defaults.cbor"_s));
        m_store = std::make_unique<UserDefaults>(m_dir.filePath(u"defaults.cbor"_s));
    }

    // An older, longer history is loaded whole; the next add keeps the fifty newest.
    void keepsTheFiftyNewest()
    {
        HistoryManager empty(*m_store);
        QVERIFY(itemsOf(empty).isEmpty());
        QCOMPARE(m_store->dataForKey(HistoryManager::storageKey), std::nullopt);

        QList<HistoryItem> sixty;
        for (int n = 60; n >= 1; --n)
            sixty.append(item(n));
        m_store->setObject(encodeHistory(sixty), HistoryManager::storageKey);
        HistoryManager history(*m_store);
        QCOMPARE(itemsOf(history).size(), 60);
        run(history.add(item(61)));
        const QList<HistoryItem> items = itemsOf(history);
        QCOMPARE(items.size(), 50);
        QCOMPARE(items.first().originalText, u"in 61"_s);
        QCOMPARE(items.last().originalText, u"in 12"_s);

        const QJsonArray stored = storedArray(*m_store);
        QCOMPARE(stored.size(), 50);
        QCOMPARE(stored.first()[u"originalText"_s].toString(), u"in 61"_s);
        HistoryManager reopened(*m_store);
        QCOMPARE(itemsOf(reopened), items);
    }

    void storedFormIsExact()
    {
        HistoryManager history(*m_store);
        HistoryItem casual = item(1, ToneOption::casual);
        casual.timestamp = QDateTime(QDate(2001, 1, 1), QTime(0, 0, 1, 500), Qt::UTC);
        casual.wasCached = true;
        run(history.add(casual));
        run(history.add(item(2)));

        const QByteArray bytes = m_store->dataForKey(HistoryManager::storageKey).value();
        QVERIFY(!bytes.contains('\n'));
        const QJsonArray stored = QJsonDocument::fromJson(bytes).array();
        const QJsonObject newest = stored[0].toObject();
        QVERIFY(!newest.contains(u"tone"_s));
        QCOMPARE(newest[u"action"_s].toString(), u"Correct"_s);
        const QJsonObject older = stored[1].toObject();
        QCOMPARE(older.keys(),
                 (QStringList{u"action"_s, u"id"_s, u"originalText"_s, u"provider"_s,
                              u"resultText"_s, u"timestamp"_s, u"tone"_s, u"wasCached"_s}));
        QCOMPARE(older[u"tone"_s].toString(), u"Casual"_s);
        QCOMPARE(older[u"timestamp"_s].toDouble(), 1.5);
        QCOMPARE(older[u"wasCached"_s].toBool(), true);
        QCOMPARE(older[u"id"_s].toString(), casual.id.toString(QUuid::WithoutBraces).toUpper());

        HistoryManager reopened(*m_store);
        const QList<HistoryItem> items = itemsOf(reopened);
        QCOMPARE(items.value(1), casual);
        QCOMPARE(items.value(0).tone, std::nullopt);
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
        m_store->setObject(document, HistoryManager::storageKey);
        LogCapture log;
        HistoryManager history(*m_store);
        QStringList read;
        for (const HistoryItem& item : itemsOf(history))
            read.append(item.originalText);
        QCOMPARE(read, readable);
        QCOMPARE(log.lines().size(), 1);
        QVERIFY(log.lines().first().startsWith(u"Lexwick: Failed to load history: "));
        QCOMPARE(m_store->dataForKey(HistoryManager::storageKey), document); // not yet replaced

        run(history.add(item(1)));
        QCOMPARE(storedArray(*m_store).size(), readable.size() + 1);
        QCOMPARE(log.lines().size(), 2);
        const QStringList aside = asideKeys(*m_store);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(m_store->dataForKey(aside.first()), document);

        // Set aside once; what is stored now reads cleanly.
        run(history.add(item(2)));
        QCOMPARE(asideKeys(*m_store).size(), 1);
        LogCapture quiet;
        HistoryManager reopened(*m_store);
        QCOMPARE(itemsOf(reopened).size(), readable.size() + 2);
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
        HistoryManager history(*m_store);
        const QList<HistoryItem> items = itemsOf(history);
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.first().timestamp.date().year(), year);
        // What is written back reads back the same.
        run(history.add(item(1)));
        HistoryManager reopened(*m_store);
        QCOMPARE(itemsOf(reopened), itemsOf(history));
    }

    void deleteAndClear()
    {
        HistoryManager history(*m_store);
        const HistoryItem first = item(1);
        run(history.add(first));
        run(history.add(item(2)));
        // Issued together, they run in order: the add lands before the delete looks.
        const HistoryItem third = item(3);
        QCoro::Task<void> adding = history.add(third);
        QCoro::Task<void> deleting = history.deleteItem(third.id);
        run(std::move(adding));
        run(std::move(deleting));
        QCOMPARE(itemsOf(history).size(), 2);

        run(history.deleteItem(QUuid::createUuid()));
        QCOMPARE(itemsOf(history).size(), 2);
        run(history.deleteItem(first.id));
        QCOMPARE(itemsOf(history).size(), 1);
        QCOMPARE(storedArray(*m_store).size(), 1);

        run(history.clear());
        QVERIFY(itemsOf(history).isEmpty());
        QCOMPARE(m_store->dataForKey(HistoryManager::storageKey), QByteArray("[]"));
    }
};

LEXWICK_TEST(HistoryManagerTest)
#include "HistoryManagerTest.moc"
