// SPDX-License-Identifier: MIT
#include "safety/PIIDetector.h"
#include "support/TestMain.h"

#include <unicode/regex.h>

#include <QRandomGenerator>
#include <QTest>

#include <memory>

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

// The plain way: each pattern run over the whole text, then the same checks.
QString referenceDetect(const QString& text)
{
    QStringList parts;
    const auto add = [&](PIIType type, std::initializer_list<std::u16string_view> sources,
                         bool (*check)(QStringView) = nullptr) {
        QStringList found;
        for (std::u16string_view source : sources) {
            UErrorCode status = U_ZERO_ERROR;
            UParseError error;
            std::unique_ptr<icu::RegexPattern> pattern(icu::RegexPattern::compile(
                icu::UnicodeString(source.data(), int32_t(source.size())), 0, error, status));
            const icu::UnicodeString input(text.utf16(), int32_t(text.size()));
            std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(input, status));
            while (matcher->find(status)) {
                const QString match =
                    text.mid(matcher->start(status), matcher->end(status) - matcher->start(status));
                if (!check || check(match))
                    found << match;
            }
        }
        if (!found.isEmpty())
            parts << rawValue(type) + u": "_s + found.join(u", ");
    };
    using namespace PIIDetector;
    add(PIIType::email, {emailPattern});
    add(PIIType::phone, {phonePattern}, isPlausiblePhone);
    add(PIIType::ssn, {ssnPattern}, isPlausibleSSN);
    add(PIIType::creditCard, {cardIssuerPattern, cardGroupsPattern}, passesCardCheck);
    add(PIIType::ipAddress, {ipv4Pattern, ipv6Pattern});
    return parts.join(u" | ");
}

} // namespace

class PIIDetectorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void detects_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("found");
        const auto row = [](const char* name, const QString& text, const QString& found) {
            QTest::newRow(name) << text << found;
        };
        row("seven-digit local number", u"Call 555-1234 tonight."_s, QString());
        row("area code", u"Call (555) 123-4567."_s, u"Phone Number: (555) 123-4567"_s);
        row("+1", u"Call +1 555 123 4567 now."_s, u"Phone Number: +1 555 123 4567"_s);
        row("nine zeros", u"SSN 000-00-0000."_s, QString());
        const QString arabicSSN = u"\u0661\u0662\u0663-\u0664\u0665-\u0666\u0667\u0668\u0669"_s;
        row("SSN in Arabic-Indic digits", arabicSSN, u"Social Security Number: "_s + arabicSSN);
        row("16 digits, a card twice and a phone", u"card 4111111111111111"_s,
            u"Phone Number: 4111111111 | Credit Card: 4111111111111111, 4111111111111111"_s);
        row("16 digits failing the card check", u"card 4111111111111112"_s,
            u"Phone Number: 4111111111"_s);
        row("four groups of four", u"card 5555 5555 5555 4444."_s,
            u"Credit Card: 5555 5555 5555 4444"_s);
        row("card in Arabic-Indic digits is only a phone", u"\u0664"_s + u"\u0661"_s.repeated(15),
            u"Phone Number: \u0664"_s + u"\u0661"_s.repeated(9));
        row("255 and 256", u"1.2.3.255 1.2.3.256"_s, u"IP Address: 1.2.3.255"_s);
        row("IPv6, compressed", u"at 2001:db8::8a2e:370:7334 now"_s, QString());
        row("kinds in their own order",
            u"1.2.3.4 123-45-6789 (555) 123-4567 me@x.org 4111-1111-1111-1111"_s,
            u"Email: me@x.org | Phone Number: (555) 123-4567 | Social Security Number: "
            u"123-45-6789 | Credit Card: 4111-1111-1111-1111 | IP Address: 1.2.3.4"_s);
    }

    void detects()
    {
        QFETCH(QString, text);
        QFETCH(QString, found);
        const DetectionResult result = PIIDetector::detect(text);
        QCOMPARE(describe(result), found);
        QCOMPARE(result.hasPII, !found.isEmpty());
        QCOMPARE(result.matches.keys(), result.detectedTypes);
    }

    // Matching only where a match can be must find what matching everywhere finds, also with
    // digits and spaces of other scripts and surrogate pairs.
    void equalsMatchingTheWholeText()
    {
        const QStringList pieces =
            u"1|4|5|256|4111111111111111|4567|\u0661|\U0001D7D0|\uFF15|-|.| |"
            u"\u00A0|\u2028|(|+1|@|:|f|x|\u0301|\U0001F600|mail@host.io|"
            u"192.168.|fe80:"_s.split(u'|');
        QRandomGenerator random(20240611);
        for (int round = 0; round < 400; ++round) {
            QString text;
            for (int i = random.bounded(1, 60); i > 0; --i)
                text += pieces[random.bounded(pieces.size())];
            const QString actual = describe(PIIDetector::detect(text));
            QVERIFY2(actual == referenceDetect(text), qPrintable(text + u" → "_s + actual));
        }
    }
};

LEXWICK_TEST(PIIDetectorTest)
#include "PIIDetectorTest.moc"
