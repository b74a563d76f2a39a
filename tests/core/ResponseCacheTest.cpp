// SPDX-License-Identifier: MIT
#include "core/ResponseCache.h"
#include "support/TestMain.h"

#include <QTest>

using namespace lexwick;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

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
    void hitsOnlyTheSameFourFields()
    {
        ResponseCache cache([this] { return m_now; });
        cache.set(u"Hello."_s, stored);
        QCOMPARE(cache.get(stored), std::optional(u"Hello."_s));
        const QList<CacheKey> others = {{u"hi "_s, u"Paraphrase"_s, u"Formal"_s, u"Groq"_s},
                                        {u"hi"_s, u"Correct"_s, u"Formal"_s, u"Groq"_s},
                                        {u"hi"_s, u"Paraphrase"_s, u"Casual"_s, u"Groq"_s},
                                        {u"hi"_s, u"Paraphrase"_s, std::nullopt, u"Groq"_s},
                                        {u"hi"_s, u"Paraphrase"_s, u"Formal"_s, u"OpenAI"_s}};
        for (const CacheKey& other : others)
            QCOMPARE(cache.get(other), std::nullopt);
    }

    void collidingKeysNeverShareAnAnswer()
    {
        ResponseCache cache([this] { return m_now; }, [](QStringView) { return quint64(42); });
        cache.set(u"first"_s, numbered(1));
        QCOMPARE(cache.get(numbered(2)), std::nullopt);
        cache.set(u"second"_s, numbered(2));
        QCOMPARE(cache.get(numbered(1)), std::nullopt);
        QCOMPARE(cache.get(numbered(2)), std::optional(u"second"_s));
    }

    // Fresh up to exactly an hour after storing; a read half-way does not renew the entry.
    void expiresOneHourAfterStoring()
    {
        for (const auto& [age, fresh] :
             {std::pair(3599s, true), std::pair(3600s, true), std::pair(3601s, false)}) {
            ResponseCache cache([this] { return m_now; });
            cache.set(u"old"_s, stored);
            m_now += age / 2;
            QVERIFY(cache.get(stored));
            m_now += age - age / 2;
            QCOMPARE(cache.get(stored).has_value(), fresh);
            QCOMPARE(cache.count(), fresh ? 1 : 0); // an expired entry is dropped
        }
    }

    void evictsTheLeastRecentlyUsed_data()
    {
        QTest::addColumn<int>("read");
        QTest::addColumn<int>("added");
        QTest::addColumn<int>("evicted");
        QTest::newRow("none read: the first stored goes") << -1 << 100 << 0;
        QTest::newRow("the first read: the second goes") << 0 << 100 << 1;
        // Room is made before the replacement is counted, so 99 are left.
        QTest::newRow("replacing one: the first goes too") << -1 << 50 << 0;
    }

    void evictsTheLeastRecentlyUsed()
    {
        QFETCH(int, read);
        QFETCH(int, added);
        QFETCH(int, evicted);
        ResponseCache cache([this] { return m_now; });
        for (int i = 0; i < 100; ++i)
            cache.set(QString::number(i), numbered(i));
        if (read >= 0)
            QVERIFY(cache.get(numbered(read)));
        cache.set(u"new"_s, numbered(added));
        QCOMPARE(cache.count(), added == 100 ? 100 : 99);
        QCOMPARE(cache.get(numbered(added)), std::optional(u"new"_s));
        for (int i = 0; i < 100; ++i)
            QCOMPARE(cache.get(numbered(i)).has_value(), i != evicted);
    }

private:
    ResponseCache::TimePoint m_now{std::chrono::hours(1000)};
};

LEXWICK_TEST(ResponseCacheTest)
#include "ResponseCacheTest.moc"
