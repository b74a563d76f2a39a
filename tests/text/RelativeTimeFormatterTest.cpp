// SPDX-License-Identifier: MIT
#include "support/TestMain.h"
#include "text/RelativeTimeFormatter.h"

using namespace lexwick;
using namespace Qt::StringLiterals;

class RelativeTimeFormatterTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theLargestWholeUnitInTheLocalesShortStyle_data()
    {
        QTest::addColumn<QDateTime>("date");
        QTest::addColumn<QString>("text");
        const QDateTime now(QDate(2024, 3, 15), QTime(12, 0), Qt::LocalTime);
        QTest::newRow("same second") << now << u"now"_s;
        QTest::newRow("seconds") << now.addSecs(-59) << u"59 sec. ago"_s;
        QTest::newRow("minutes") << now.addSecs(-5 * 60 - 59) << u"5 min. ago"_s;
        QTest::newRow("hours") << now.addSecs(-23 * 3600) << u"23 hr. ago"_s;
        QTest::newRow("days") << now.addDays(-6) << u"6 days ago"_s;
        QTest::newRow("one day") << now.addSecs(-25 * 3600) << u"1 day ago"_s;
        QTest::newRow("weeks") << now.addDays(-14) << u"2 wk. ago"_s;
        QTest::newRow("months") << now.addMonths(-3) << u"3 mo. ago"_s;
        QTest::newRow("not yet a month") << now.addMonths(-1).addSecs(1) << u"4 wk. ago"_s;
        QTest::newRow("years") << now.addYears(-2).addDays(-40) << u"2 yr. ago"_s;
        QTest::newRow("future") << now.addSecs(300) << u"in 5 min."_s;
    }
    void theLargestWholeUnitInTheLocalesShortStyle()
    {
        QFETCH(QDateTime, date);
        QFETCH(QString, text);
        const QDateTime now(QDate(2024, 3, 15), QTime(12, 0), Qt::LocalTime);
        const RelativeTimeFormatter english(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(english.format(date, now), text);
    }

    void theTextIsTheUsersLocales()
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const RelativeTimeFormatter german(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(german.format(now.addSecs(-300), now), u"vor 5 Min."_s);
        QVERIFY(german.format(QDateTime(), now).isEmpty());
        const RelativeTimeFormatter c(QLocale::c());
        QCOMPARE(c.format(now.addDays(-1), now), u"1 day ago"_s);
    }
};

LEXWICK_TEST(RelativeTimeFormatterTest)
#include "RelativeTimeFormatterTest.moc"
