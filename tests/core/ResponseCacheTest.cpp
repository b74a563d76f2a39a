#include "core/ResponseCache.h"
#include "support/TestMain.h"

#include <QSet>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

using namespace lexwick;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(lexwick::CacheKey)

namespace {

const CacheKey stored{u"hi"_s, u"Paraphrase"_s, u"Formal"_s, u"Groq"_s};

CacheKey numbered(int i)
{
    return CacheKey{u"text "_s + QString::number(i), u"Correct"_s, std::nullopt, u"Local"_s};
}

} // namespace

class ResponseCacheTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void hitsOnlyTheSameFourFields_data()
    {
        QTest::addColumn<CacheKey>("key");
        QTest::addColumn<bool>("hit");
        const auto with = [](auto change) {
            CacheKey key = stored;
            change(key);
            return key;
        };
        QTest::newRow("same fields") << stored << true;
        QTest::newRow("other text") << with([](CacheKey& k) { k.text = u"hi!"_s; }) << false;
        QTest::newRow("text with a trailing space")
            << with([](CacheKey& k) { k.text = u"hi "_s; }) << false;
        QTest::newRow("other action")
            << with([](CacheKey& k) { k.action = u"Correct"_s; }) << false;
        QTest::newRow("other tone") << with([](CacheKey& k) { k.tone = u"Casual"_s; }) << false;
        QTest::newRow("no tone") << with([](CacheKey& k) { k.tone.reset(); }) << false;
        QTest::newRow("other provider")
            << with([](CacheKey& k) { k.provider = u"OpenAI"_s; }) << false;
    }

    void hitsOnlyTheSameFourFields()
    {
        QFETCH(CacheKey, key);
        QFETCH(bool, hit);
        ResponseCache cache([this] { return m_now; });
        cache.set(u"Hello."_s, stored);
        QCOMPARE(cache.get(key), hit ? std::optional(u"Hello."_s) : std::nullopt);
        QCOMPARE(cache.get(stored), std::optional(u"Hello."_s));
    }

    void noToneIsNotAToneCalledNone()
    {
        ResponseCache cache([this] { return m_now; });
        const CacheKey none{u"hi"_s, u"Correct"_s, u"none"_s, u"Groq"_s};
        const CacheKey absent{u"hi"_s, u"Correct"_s, std::nullopt, u"Groq"_s};
        cache.set(u"with a tone"_s, none);
        QCOMPARE(cache.get(absent), std::nullopt);
        QCOMPARE(cache.get(none), std::optional(u"with a tone"_s));
    }

    // Keys whose hashes collide share one slot, but never one answer.
    void collidingKeysNeverShareAnAnswer()
    {
        ResponseCache cache([this] { return m_now; }, [](QStringView) { return quint64(42); });
        cache.set(u"first"_s, numbered(1));
        QCOMPARE(cache.get(numbered(2)), std::nullopt);
        cache.set(u"second"_s, numbered(2));
        QCOMPARE(cache.count(), 1);
        QCOMPARE(cache.get(numbered(1)), std::nullopt);
        QCOMPARE(cache.get(numbered(2)), std::optional(u"second"_s));
        QCOMPARE(cache.accessOrder(), QStringList{u"42"_s});
    }

    void keyStringsAreSeededPerCache()
    {
        ResponseCache one;
        ResponseCache other;
        QCOMPARE(one.keyString(stored), one.keyString(stored));
        QVERIFY(one.keyString(stored) != other.keyString(stored));
        bool isNumber = false;
        one.keyString(stored).toLongLong(&isNumber);
        QVERIFY(isNumber);
        ResponseCache negative([this] { return m_now; }, [](QStringView) { return ~quint64(0); });
        QCOMPARE(negative.keyString(stored), u"-1"_s);
    }

    void expiresOneHourAfterStoring_data()
    {
        QTest::addColumn<std::chrono::milliseconds>("age");
        QTest::addColumn<bool>("hit");
        QTest::newRow("3599 s") << std::chrono::milliseconds(3599s) << true;
        QTest::newRow("exactly 3600 s") << std::chrono::milliseconds(3600s) << true;
        QTest::newRow("3600.001 s") << 3600001ms << false;
        QTest::newRow("3601 s") << std::chrono::milliseconds(3601s) << false;
    }

    void expiresOneHourAfterStoring()
    {
        QFETCH(std::chrono::milliseconds, age);
        QFETCH(bool, hit);
        ResponseCache cache([this] { return m_now; });
        cache.set(u"old"_s, numbered(1));
        cache.set(u"new"_s, numbered(2));
        m_now += age;
        QCOMPARE(cache.get(numbered(1)), hit ? std::optional(u"old"_s) : std::nullopt);
        // An expired entry is dropped from the cache and from the order.
        QCOMPARE(cache.count(), hit ? 2 : 1);
        QCOMPARE(cache.accessOrder().contains(cache.keyString(numbered(1))), hit);
    }

    void readingDoesNotRenew()
    {
        ResponseCache cache([this] { return m_now; });
        cache.set(u"answer"_s, stored);
        m_now += 3000s;
        QCOMPARE(cache.get(stored), std::optional(u"answer"_s));
        m_now += 601s;
        QCOMPARE(cache.get(stored), std::nullopt);
        // Storing again starts a new hour.
        cache.set(u"again"_s, stored);
        m_now += 3600s;
        QCOMPARE(cache.get(stored), std::optional(u"again"_s));
    }

    void evictsTheLeastRecentlyUsed_data()
    {
        QTest::addColumn<int>("read");
        QTest::addColumn<int>("evicted");
        QTest::newRow("none read: the first stored goes") << -1 << 0;
        QTest::newRow("the first read: the second goes") << 0 << 1;
        QTest::newRow("the second read: the first goes") << 1 << 0;
    }

    void evictsTheLeastRecentlyUsed()
    {
        QFETCH(int, read);
        QFETCH(int, evicted);
        ResponseCache cache([this] { return m_now; });
        for (int i = 0; i < 100; ++i)
            cache.set(QString::number(i), numbered(i));
        QCOMPARE(cache.count(), 100);
        if (read >= 0)
            QCOMPARE(cache.get(numbered(read)), std::optional(QString::number(read)));
        cache.set(u"new"_s, numbered(100));
        QCOMPARE(cache.count(), 100);
        QCOMPARE(cache.accessOrder().size(), 100);
        QVERIFY(!cache.accessOrder().contains(cache.keyString(numbered(evicted))));
        QCOMPARE(cache.accessOrder().last(), cache.keyString(numbered(100)));
        for (int i = 0; i <= 100; ++i)
            QCOMPARE(cache.get(numbered(i)).has_value(), i != evicted);
    }

    void replacingInAFullCacheLeaves99()
    {
        ResponseCache cache([this] { return m_now; });
        for (int i = 0; i < 100; ++i)
            cache.set(QString::number(i), numbered(i));
        cache.set(u"replaced"_s, numbered(50));
        QCOMPARE(cache.count(), 99);
        QCOMPARE(cache.accessOrder().size(), 99);
        QCOMPARE(cache.get(numbered(0)), std::nullopt);
        QCOMPARE(cache.get(numbered(50)), std::optional(u"replaced"_s));
        QCOMPARE(cache.get(numbered(1)), std::optional(u"1"_s));
        // Below the limit a replacement evicts nothing.
        cache.set(u"again"_s, numbered(1));
        QCOMPARE(cache.count(), 99);
        QCOMPARE(cache.get(numbered(2)), std::optional(u"2"_s));
    }

    // Reads and writes from several threads at once leave the cache whole.
    void operationsDoNotInterleave()
    {
        ResponseCache cache;
        std::atomic<int> wrongAnswers = 0;
        {
            std::vector<std::jthread> threads;
            for (int t = 0; t < 4; ++t)
                threads.emplace_back([&cache, &wrongAnswers, t] {
                    for (int i = 0; i < 2000; ++i) {
                        const CacheKey key = numbered((i * 7 + t) % 150);
                        if (i % 3 == 0)
                            cache.set(key.text, key);
                        else if (const auto hit = cache.get(key); hit && *hit != key.text)
                            ++wrongAnswers;
                    }
                });
        }
        QCOMPARE(wrongAnswers.load(), 0);
        const QStringList order = cache.accessOrder();
        QCOMPARE(cache.count(), order.size());
        QVERIFY(cache.count() <= 100);
        QCOMPARE(QSet<QString>(order.begin(), order.end()).size(), order.size());
        for (int i = 0; i < 150; ++i)
            if (const auto hit = cache.get(numbered(i)))
                QCOMPARE(*hit, numbered(i).text);
    }

private:
    ResponseCache::TimePoint m_now{std::chrono::hours(1000)};
};

LEXWICK_TEST(ResponseCacheTest)
#include "ResponseCacheTest.moc"
