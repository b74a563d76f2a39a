#include "safety/InputValidator.h"
#include "support/TestMain.h"

#include <QTest>

using namespace lexwick;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(lexwick::CharacterState)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

// Man, woman, girl, boy joined by zero-width joiners: seven code points, eleven UTF-16 units.
const QString family = u"\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466"_s;

// Prose of exactly n characters.
QString prose(qsizetype n)
{
    return u"Lorem ipsum dolor sit amet, 42 consectetur.\n"_s.repeated(n / 44 + 1).left(n);
}

} // namespace

class InputValidatorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void validate_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qsizetype>("count");
        QTest::addColumn<CharacterState>("state");
        QTest::addColumn<std::optional<QString>>("message");
        QTest::addColumn<bool>("valid");
        const auto row = [](const char* name, const QString& text, qsizetype count,
                            CharacterState state, std::optional<QString> message, bool valid) {
            QTest::newRow(name) << text << count << state << message << valid;
        };
        using enum CharacterState;
        row("3999", prose(3999), 3999, normal, std::nullopt, true);
        row("4000", prose(4000), 4000, warning, u"Approaching character limit"_s, true);
        row("4499", prose(4499), 4499, warning, u"Approaching character limit"_s, true);
        row("4500", prose(4500), 4500, danger, u"Near maximum length"_s, true);
        row("5000", prose(5000), 5000, danger, u"Near maximum length"_s, true);
        row("5001", prose(5001), 5001, exceeded, u"Character limit exceeded (1 over)"_s, false);
        row("6234", prose(6234), 6234, exceeded, u"Character limit exceeded (1234 over)"_s, false);
        row("empty", QString(), 0, normal, std::nullopt, false);
        row("blank", u" \n\u00A0\u3000"_s, 4, normal, std::nullopt, false);
        row("a family emoji counts once", family, 1, normal, std::nullopt, true);
        row("CR LF counts once", u"a\r\nb"_s, 3, normal, std::nullopt, true);
        row("a combining mark joins its letter", u"Cafe\u0301"_s, 4, normal, std::nullopt, true);
    }

    void validate()
    {
        QFETCH(QString, text);
        QFETCH(qsizetype, count);
        QFETCH(CharacterState, state);
        QFETCH(std::optional<QString>, message);
        QFETCH(bool, valid);
        const ValidationResult result = InputValidator::validate(text);
        QCOMPARE(result.characterCount, count);
        QCOMPARE(result.state, state);
        QCOMPARE(result.message, message);
        QCOMPARE(result.isValid, valid);
    }
};

LEXWICK_TEST(InputValidatorTest)
#include "InputValidatorTest.moc"
