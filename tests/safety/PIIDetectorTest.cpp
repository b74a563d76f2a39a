#include "safety/PIIDetector.h"
#include "support/TestMain.h"

#include <unicode/regex.h>

#include <QRandomGenerator>
#include <QTest>

#include <memory>
#include <thread>
#include <vector>

using namespace lexwick;
using namespace Qt::StringLiterals;

namespace {

// "Kind: match, match | Kind: match", in the result's order; empty when nothing was found.
QString describe(const DetectionResult& result)
{
    QStringList parts;
    for (PIIType type : result.detectedTypes)
        parts << rawValue(type) + u": "_s + result.matches.value(type).join(u", ");
    return parts.join(u" | ");
}

// The plain way: every pattern compiled here and run over the whole text.
DetectionResult referenceDetect(const QString& text)
{
    const auto all = [&text](const char16_t* source) {
        UErrorCode status = U_ZERO_ERROR;
        UParseError error;
        std::unique_ptr<icu::RegexPattern> pattern(
            icu::RegexPattern::compile(icu::UnicodeString(source), 0, error, status));
        const icu::UnicodeString input(reinterpret_cast<const UChar*>(text.utf16()),
                                       int32_t(text.size()));
        std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(input, status));
        QStringList found;
        while (matcher->find(status))
            found << text.mid(matcher->start(status),
                              matcher->end(status) - matcher->start(status));
        return found;
    };
    const auto kept = [](QStringList list, bool (*check)(QStringView)) {
        list.removeIf([check](const QString& s) { return !check(s); });
        return list;
    };
    const QList<std::pair<PIIType, QStringList>> steps = {
        {PIIType::email, all(u"[a-zA-Z0-9._%+-]+@[a-zA-Z0-9.-]+\\.[a-zA-Z]{2,}")},
        {PIIType::phone,
         kept(all(u"(?:\\+1[-.\\s]?)?(?:\\(?\\d{3}\\)?[-.\\s]?)?\\d{3}[-.\\s]?\\d{4}"),
              PIIDetector::isPlausiblePhone)},
        {PIIType::ssn,
         kept(all(u"\\b\\d{3}[-\\s]?\\d{2}[-\\s]?\\d{4}\\b"), PIIDetector::isPlausibleSSN)},
        {PIIType::creditCard,
         kept(all(u"\\b(?:4[0-9]{12}(?:[0-9]{3})?|5[1-5][0-9]{14}|3[47][0-9]{13}|6(?:011|5[0-9]"
                  u"{2})[0-9]{12}|(?:2131|1800|35\\d{3})\\d{11})\\b") +
                  all(u"\\b(?:\\d{4}[-\\s]?){3}\\d{4}\\b"),
              PIIDetector::passesCardCheck)},
        {PIIType::ipAddress,
         all(u"\\b(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.){3}(?:25[0-5]|2[0-4][0-9]|[01]?"
             u"[0-9][0-9]?)\\b") +
             all(u"\\b(?:[0-9a-fA-F]{1,4}:){7}[0-9a-fA-F]{1,4}\\b")},
    };
    DetectionResult result;
    for (const auto& [type, found] : steps) {
        if (found.isEmpty())
            continue;
        result.detectedTypes << type;
        result.matches.insert(type, found);
    }
    result.hasPII = !result.detectedTypes.isEmpty();
    return result;
}

} // namespace

class PIIDetectorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void detects_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("found");

        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("prose") << u"We met at 10 and left by 11:30."_s << QString();
        QTest::newRow("e-mail in a sentence")
            << u"Write to jane.doe@example.com today."_s << u"Email: jane.doe@example.com"_s;
        QTest::newRow("e-mail before a full stop") << u"Mail x@y.io."_s << u"Email: x@y.io"_s;
        QTest::newRow("two e-mails")
            << u"a@b.cd,e.f+g@h-i.example.museum"_s << u"Email: a@b.cd, e.f+g@h-i.example.museum"_s;

        QTest::newRow("seven-digit local number") << u"Call 555-1234 tonight."_s << QString();
        QTest::newRow("area code in parentheses")
            << u"Call (555) 123-4567 tonight."_s << u"Phone Number: (555) 123-4567"_s;
        QTest::newRow("+1 and spaces")
            << u"Call +1 555 123 4567 now."_s << u"Phone Number: +1 555 123 4567"_s;
        QTest::newRow("inside a word, no boundaries needed")
            << u"abc5551234567def"_s << u"Phone Number: 5551234567"_s;
        QTest::newRow("no-break spaces are white space")
            << u"(555)\u00A0123\u00A04567"_s << u"Phone Number: (555)\u00A0123\u00A04567"_s;
        QTest::newRow("two phone numbers")
            << u"555.123.4567 or 555.765.4321"_s << u"Phone Number: 555.123.4567, 555.765.4321"_s;

        QTest::newRow("nine zeros in SSN layout") << u"SSN 000-00-0000."_s << QString();
        QTest::newRow("SSN") << u"SSN 123-45-6789."_s << u"Social Security Number: 123-45-6789"_s;
        QTest::newRow("SSN glued to a letter has no word boundary")
            << u"x123-45-6789"_s << QString();
        QTest::newRow("SSN without separators")
            << u"id 123456789 ok"_s << u"Social Security Number: 123456789"_s;
        QTest::newRow("SSN with one digit not zero")
            << u"000-00-0001"_s << u"Social Security Number: 000-00-0001"_s;
        QTest::newRow("SSN in Arabic-Indic digits")
            << u"\u0631\u0642\u0645 \u0661\u0662\u0663-\u0664\u0665-\u0666\u0667\u0668\u0669"_s
            << u"Social Security Number: \u0661\u0662\u0663-\u0664\u0665-\u0666\u0667\u0668\u0669"_s;

        QTest::newRow("16 digits passing the card check")
            << u"card 4111111111111111"_s
            << u"Phone Number: 4111111111 | Credit Card: 4111111111111111, 4111111111111111"_s;
        QTest::newRow("16 digits failing the card check")
            << u"card 4111111111111112"_s << u"Phone Number: 4111111111"_s;
        QTest::newRow("four groups with hyphens")
            << u"card 4111-1111-1111-1111"_s << u"Credit Card: 4111-1111-1111-1111"_s;
        QTest::newRow("four groups with spaces")
            << u"card 5555 5555 5555 4444."_s << u"Credit Card: 5555 5555 5555 4444"_s;
        QTest::newRow("15-digit issuer number")
            << u"amex 378282246310005"_s
            << u"Phone Number: 3782822463 | Credit Card: 378282246310005"_s;
        QTest::newRow("card number in Arabic-Indic digits")
            << u"\u0664\u0661\u0661\u0661\u0661\u0661\u0661\u0661\u0661\u0661\u0661\u0661\u0661"
               u"\u0661\u0661\u0661"_s
            << u"Phone Number: \u0664\u0661\u0661\u0661\u0661\u0661\u0661\u0661\u0661\u0661"_s;

        QTest::newRow("version number of four parts")
            << u"version 1.2.3.4"_s << u"IP Address: 1.2.3.4"_s;
        QTest::newRow("dotted quad with 255")
            << u"host 192.168.1.255"_s << u"IP Address: 192.168.1.255"_s;
        QTest::newRow("dotted quad with 256") << u"host 192.168.1.256"_s << QString();
        QTest::newRow("IPv6, full form")
            << u"at 2001:0db8:85a3:0000:0000:8a2e:0370:7334 now"_s
            << u"IP Address: 2001:0db8:85a3:0000:0000:8a2e:0370:7334"_s;
        QTest::newRow("IPv6, compressed") << u"at 2001:db8::8a2e:370:7334 now"_s << QString();
        QTest::newRow("IPv4 before IPv6") << u"fe80:0:0:0:0:0:0:1 and 10.0.0.1"_s
                                          << u"IP Address: 10.0.0.1, fe80:0:0:0:0:0:0:1"_s;

        QTest::newRow("kinds in their own order")
            << u"Server 10.0.0.1 is run by admin@example.org"_s
            << u"Email: admin@example.org | IP Address: 10.0.0.1"_s;
        QTest::newRow("every kind")
            << u"1.2.3.4 4111111111111111 123-45-6789 (555) 123-4567 me@x.org"_s
            << u"Email: me@x.org | Phone Number: 4111111111, (555) 123-4567 | "
               u"Social Security Number: 123-45-6789 | "
               u"Credit Card: 4111111111111111, 4111111111111111 | IP Address: 1.2.3.4"_s;
    }

    void detects()
    {
        QFETCH(QString, text);
        QFETCH(QString, found);
        const DetectionResult result = PIIDetector::detect(text);
        QCOMPARE(describe(result), found);
        QCOMPARE(result.hasPII, !found.isEmpty());
        // The map holds exactly the detected kinds, and they are in the order of the kinds.
        QCOMPARE(result.matches.keys(), result.detectedTypes);
    }

    void cardCheck_data()
    {
        QTest::addColumn<QString>("candidate");
        QTest::addColumn<bool>("passes");
        QTest::newRow("valid") << u"4111111111111111"_s << true;
        QTest::newRow("one digit changed") << u"4111111111111112"_s << false;
        QTest::newRow("separators are ignored") << u"4111-1111 1111-1111"_s << true;
        QTest::newRow("12 digits") << u"000000000000"_s << false;
        QTest::newRow("13 digits") << u"0000000000000"_s << true;
        QTest::newRow("19 digits") << u"4000000000000000006"_s << true;
        QTest::newRow("20 digits") << u"40000000000000000002"_s << false;
        QTest::newRow("doubling of 5 to 9") << u"5555555555554444"_s << true;
        QTest::newRow("Arabic-Indic digits")
            << u"\u0664\u0661\u0661\u0661\u0661\u0661\u0661\u0661\u0661\u0661\u0661\u0661\u0661"
               u"\u0661\u0661\u0661"_s
            << false;
        QTest::newRow("one fullwidth digit") << u"411111111111111\uFF11"_s << false;
        QTest::newRow("one digit of another plane") << u"411111111111111\U0001D7CF"_s << false;
    }

    void cardCheck()
    {
        QFETCH(QString, candidate);
        QFETCH(bool, passes);
        QCOMPARE(PIIDetector::passesCardCheck(candidate), passes);
    }

    // Matching only where a match can be must find what matching everywhere finds, also with
    // digits and spaces of other scripts, combining marks, surrogate pairs and separators.
    void equalsMatchingTheWholeText()
    {
        const QStringList pieces = {
            u"0"_s,        u"1"_s,          u"4"_s,          u"5"_s,
            u"9"_s,        u"25"_s,         u"256"_s,        u"4111111111111111"_s,
            u"123"_s,      u"4567"_s,       u"\u0661"_s,     u"\u0664"_s,
            u"\uFF15"_s,   u"\U0001D7D0"_s, u"\U0001D7CE"_s, u"-"_s,
            u"."_s,        u" "_s,          u"\u00A0"_s,     u"\u2028"_s,
            u"\v"_s,       u"\u0085"_s,     u"\u3000"_s,     u"\n"_s,
            u"("_s,        u")"_s,          u"+1"_s,         u"+"_s,
            u"@"_s,        u":"_s,          u"a"_s,          u"f"_s,
            u"F"_s,        u"x"_s,          u"_"_s,          u"%"_s,
            u"\u00E9"_s,   u"\u0301"_s,     u"\U0001F600"_s, u"mail@host.io"_s,
            u"192.168."_s, u"fe80:"_s,      u"0db8:"_s,      u".com"_s,
            u"\u0410"_s,   u"\U00010400"_s};
        QRandomGenerator random(20240611);
        for (int round = 0; round < 4000; ++round) {
            QString text;
            const int length = random.bounded(1, 40);
            for (int i = 0; i < length; ++i)
                text += pieces[random.bounded(pieces.size())];
            const QString expected = describe(referenceDetect(text));
            const QString actual = describe(PIIDetector::detect(text));
            if (actual != expected)
                QFAIL(qPrintable(u"text \""_s + text + u"\": "_s + actual + u" instead of "_s +
                                 expected));
        }
    }

    void safeFromManyThreads()
    {
        const QString text = u"Reach me at a.b@example.com or (555) 123-4567; card "
                             u"4111 1111 1111 1111, host 10.1.2.3. "_s.repeated(50);
        const QString expected = describe(PIIDetector::detect(text));
        std::vector<QString> seen(4);
        {
            std::vector<std::jthread> threads;
            for (std::size_t t = 0; t < seen.size(); ++t)
                threads.emplace_back([&, t] {
                    for (int i = 0; i < 20; ++i)
                        seen[t] = describe(PIIDetector::detect(text));
                });
        }
        for (const QString& result : seen)
            QCOMPARE(result, expected);
    }

    void bannerSummary()
    {
        DetectionResult result;
        result.detectedTypes = {PIIType::email, PIIType::ipAddress};
        QCOMPARE(foundLine(result), u"Found: Email, IP Address"_s);
    }
};

LEXWICK_TEST(PIIDetectorTest)
#include "PIIDetectorTest.moc"
