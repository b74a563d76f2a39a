// SPDX-License-Identifier: MIT
#include "safety/InputValidator.h"
#include "support/TestMain.h"

#include <QRandomGenerator>
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

    // Edits anywhere in texts of every kind of cluster (pieces that join across an edit:
    // CR LF, flags whose pairing shifts, emoji sequences, combining marks; and long runs with
    // no plain pair near the edit) keep the count of a full count, edit after edit.
    void theCountFollowsEdits()
    {
        const QStringList pieces{u"a"_s,
                                 u" "_s,
                                 u"\r"_s,
                                 u"\n"_s,
                                 u"\u0301"_s,
                                 u"\u200D"_s,
                                 family,
                                 u"\U0001F1E9"_s,
                                 u"\U0001F1EA"_s,
                                 u"\u00A9"_s,
                                 u"\u0915\u094D"_s,
                                 u"\uAC00"_s,
                                 u"\u1100"_s,
                                 u"\u1161"_s,
                                 u"\u0600"_s,
                                 u"e\u0301 "_s};
        QRandomGenerator random(25);
        const auto somePieces = [&](int n) {
            QString text;
            for (int i = 0; i < n; ++i)
                text += pieces[random.bounded(pieces.size())];
            return text;
        };
        for (int round = 0; round < 200; ++round) {
            CharacterCount count;
            // Half the texts hold long stretches without a plain pair, past the look-around.
            QString text = round % 2 ? u"\uAC00"_s.repeated(300) + somePieces(40) : somePieces(40);
            for (int edit = 0; edit < 30; ++edit) {
                const qsizetype at = random.bounded(text.size() + 1);
                const qsizetype removed = std::min<qsizetype>(random.bounded(4), text.size() - at);
                text.replace(at, removed, somePieces(random.bounded(4)));
                QCOMPARE(count.update(text), InputValidator::validate(text).characterCount);
            }
        }
    }
};

LEXWICK_TEST(InputValidatorTest)
#include "InputValidatorTest.moc"
