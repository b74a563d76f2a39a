#include "safety/InputValidator.h"
#include "support/TestMain.h"

#include <QTest>

using namespace lexwick;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(lexwick::CharacterState)
Q_DECLARE_METATYPE(lexwick::CounterColour)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

// Man, woman, girl, boy joined by zero-width joiners: seven code points, eleven UTF-16 units.
const QString family = u"\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466"_s;

// Prose of exactly n characters, ending in a letter.
QString prose(qsizetype n)
{
    QString text = u"Lorem ipsum dolor sit amet, 42 consectetur.\n"_s.repeated(n / 44 + 1);
    text.truncate(n);
    if (n > 0)
        text[n - 1] = u'x';
    return text;
}

} // namespace

class InputValidatorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void levels_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qsizetype>("count");
        QTest::addColumn<CharacterState>("state");
        QTest::addColumn<std::optional<QString>>("message");
        QTest::addColumn<bool>("valid");

        const std::optional<QString> none;
        const std::optional<QString> approaching = u"Approaching character limit"_s;
        const std::optional<QString> near = u"Near maximum length"_s;
        QTest::newRow("empty") << QString() << qsizetype(0) << CharacterState::normal << none
                               << false;
        QTest::newRow("3999") << prose(3999) << qsizetype(3999) << CharacterState::normal << none
                              << true;
        QTest::newRow("4000") << prose(4000) << qsizetype(4000) << CharacterState::warning
                              << approaching << true;
        QTest::newRow("4499") << prose(4499) << qsizetype(4499) << CharacterState::warning
                              << approaching << true;
        QTest::newRow("4500") << prose(4500) << qsizetype(4500) << CharacterState::danger << near
                              << true;
        QTest::newRow("5000") << prose(5000) << qsizetype(5000) << CharacterState::danger << near
                              << true;
        QTest::newRow("5001") << prose(5001) << qsizetype(5001) << CharacterState::exceeded
                              << std::optional(u"Character limit exceeded (1 over)"_s) << false;
        QTest::newRow("6234") << prose(6234) << qsizetype(6234) << CharacterState::exceeded
                              << std::optional(u"Character limit exceeded (1234 over)"_s) << false;
        QTest::newRow("5000 family emoji")
            << family.repeated(5000) << qsizetype(5000) << CharacterState::danger << near << true;
        QTest::newRow("5001 family emoji")
            << family.repeated(5001) << qsizetype(5001) << CharacterState::exceeded
            << std::optional(u"Character limit exceeded (1 over)"_s) << false;
        QTest::newRow("3999 accented letters, 7998 code units")
            << u"e\u0301"_s.repeated(3999) << qsizetype(3999) << CharacterState::normal << none
            << true;
        QTest::newRow("4000 CR LF line breaks")
            << u"\r\n"_s.repeated(3999) + u"."_s << qsizetype(4000) << CharacterState::warning
            << approaching << true;
    }

    void levels()
    {
        QFETCH(QString, text);
        QFETCH(qsizetype, count);
        QFETCH(CharacterState, state);
        QFETCH(std::optional<QString>, message);
        QFETCH(bool, valid);
        const ValidationResult result = InputValidator::validate(text);
        QCOMPARE(result.characterCount, count);
        QCOMPARE(result.maxCharacters, 5000);
        QCOMPARE(result.state, state);
        QCOMPARE(result.message, message);
        QCOMPARE(result.isValid, valid);
    }

    void blankTextIsNotValid_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("spaces and a line break") << u"   \n"_s << false;
        QTest::newRow("no-break and ideographic spaces") << u"\u00A0\u3000"_s << false;
        QTest::newRow("a letter between blanks") << u"\n  a \u3000"_s << true;
        QTest::newRow("a lone combining accent") << u" \u0301 "_s << true;
    }

    void blankTextIsNotValid()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const ValidationResult result = InputValidator::validate(text);
        QCOMPARE(result.isValid, valid);
        QCOMPARE(result.state, CharacterState::normal);
        QCOMPARE(result.message, std::nullopt);
    }

    void countsUserPerceivedCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qsizetype>("count");
        QTest::newRow("family emoji") << family << qsizetype(1);
        QTest::newRow("two flags") << u"\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7"_s << qsizetype(2);
        QTest::newRow("letter and combining accent") << u"e\u0301"_s << qsizetype(1);
        QTest::newRow("precomposed and combining") << u"\u00E9\u0301x"_s << qsizetype(2);
        QTest::newRow("Hangul jamo syllable") << u"\u1100\u1161\u11A8"_s << qsizetype(1);
        QTest::newRow("CR LF is one") << u"a\r\nb"_s << qsizetype(3);
        QTest::newRow("CR LF beside an emoji") << u"\r\n\U0001F600\r\n"_s << qsizetype(3);
        QTest::newRow("Latin-1 letters") << u"Grüße, café"_s << qsizetype(11);
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + u"a"_s << qsizetype(2);
    }

    void countsUserPerceivedCharacters()
    {
        QFETCH(QString, text);
        QFETCH(qsizetype, count);
        QCOMPARE(InputValidator::validate(text).characterCount, count);
    }

    void counter_data()
    {
        QTest::addColumn<qsizetype>("count");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<CounterColour>("colour");
        QTest::newRow("normal") << qsizetype(12) << u"12/5000"_s << QString()
                                << CounterColour::secondaryLabel;
        QTest::newRow("warning") << qsizetype(4213) << u"4213/5000"_s
                                 << u"exclamationmark.triangle"_s << CounterColour::orange;
        QTest::newRow("danger") << qsizetype(5000) << u"5000/5000"_s
                                << u"exclamationmark.triangle.fill"_s << CounterColour::red;
        QTest::newRow("exceeded") << qsizetype(12345) << u"12345/5000"_s << u"xmark.circle.fill"_s
                                  << CounterColour::red;
    }

    void counter()
    {
        QFETCH(qsizetype, count);
        QFETCH(QString, text);
        QFETCH(QString, symbol);
        QFETCH(CounterColour, colour);
        const ValidationResult result = InputValidator::validate(prose(count));
        QCOMPARE(counterText(result), text);
        QCOMPARE(counterSymbol(result.state), symbol);
        QCOMPARE(counterColour(result.state), colour);
    }
};

LEXWICK_TEST(InputValidatorTest)
#include "InputValidatorTest.moc"
