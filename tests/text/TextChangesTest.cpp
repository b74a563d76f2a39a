// SPDX-License-Identifier: MIT
#include "text/TextChanges.h"
#include "support/TestMain.h"

#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using namespace lexwick;
using namespace Qt::StringLiterals;

using Segments = QList<TextChanges::Segment>;
Q_DECLARE_METATYPE(Segments)

namespace lexwick {
char* toString(const TextChanges::Segment& segment)
{
    static const char* const kinds[] = {"=", "-", "+"};
    return QTest::toString(QString::fromLatin1(kinds[int(segment.kind)]) + segment.text);
}
} // namespace lexwick

namespace {

TextChanges::Segment same(const QString& text)
{
    return {TextChanges::Kind::unchanged, text};
}
TextChanges::Segment gone(const QString& text)
{
    return {TextChanges::Kind::deleted, text};
}
TextChanges::Segment added(const QString& text)
{
    return {TextChanges::Kind::inserted, text};
}

// Either text put together again from the segments.
QString rebuilt(const Segments& segments, TextChanges::Kind without)
{
    QString text;
    for (const TextChanges::Segment& segment : segments) {
        if (segment.kind != without)
            text += segment.text;
    }
    return text;
}

// A 5000-character text and its correction: every 40th word misspelt in the original.
std::pair<QString, QString> longTexts(int* edits)
{
    const QStringList words = u"the quick brown fox jumps over a lazy dog while writing "
                              u"letters to friends about weather"_s.split(u' ');
    QString original, corrected;
    *edits = 0;
    for (int i = 0; corrected.size() < 4990; ++i) {
        const QString& word = words[i % words.size()];
        const bool misspelt = i % 40 == 7;
        original += (misspelt ? word + u"x"_s : word) + (i % 12 == 11 ? u". "_s : u" "_s);
        corrected += word + (i % 12 == 11 ? u". "_s : u" "_s);
        *edits += misspelt;
    }
    return {original.trimmed(), corrected.trimmed()};
}

} // namespace

class TextChangesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void comparesWordByWord_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<Segments>("expected");

        QTest::newRow("typos fixed") << u"I recieved teh letter."_s << u"I received the letter."_s
                                     << Segments{same(u"I "_s), gone(u"recieved teh"_s),
                                                 added(u"received the"_s), same(u" letter."_s)};
        QTest::newRow("words inserted")
            << u"She went store."_s << u"She went to the store."_s
            << Segments{same(u"She went "_s), added(u"to the "_s), same(u"store."_s)};
        QTest::newRow("word deleted")
            << u"It is is fine."_s << u"It is fine."_s
            << Segments{same(u"It is "_s), gone(u"is "_s), same(u"fine."_s)};
        QTest::newRow("words reordered")
            << u"He quickly ran home."_s << u"He ran home quickly."_s
            << Segments{same(u"He "_s), gone(u"quickly "_s), same(u"ran home"_s),
                        added(u" quickly"_s), same(u"."_s)};
        QTest::newRow("punctuation only")
            << u"Hello world how are you"_s << u"Hello, world! How are you?"_s
            << Segments{same(u"Hello"_s), added(u","_s),   same(u" world"_s),
                        added(u"!"_s),    same(u" "_s),    gone(u"how"_s),
                        added(u"How"_s),  same(u" are you"_s), added(u"?"_s)};
        QTest::newRow("identical") << u"Nothing to fix."_s << u"Nothing to fix."_s
                                   << Segments{same(u"Nothing to fix."_s)};
        QTest::newRow("empty result")
            << u"Some text"_s << QString() << Segments{gone(u"Some text"_s)};
        QTest::newRow("empty original") << QString() << u"Hi"_s << Segments{added(u"Hi"_s)};
        QTest::newRow("all changed") << u"The cat sat"_s << u"A dog ran"_s
                                     << Segments{gone(u"The cat sat"_s), added(u"A dog ran"_s)};
        QTest::newRow("line break keeps changes apart")
            << u"teh\nend"_s << u"the\nEnd"_s
            << Segments{gone(u"teh"_s), added(u"the"_s), same(u"\n"_s), gone(u"end"_s),
                        added(u"End"_s)};
        QTest::newRow("paragraph inserted")
            << u"One.\nTwo."_s << u"One.\n\nTwo."_s
            << Segments{same(u"One.\n"_s), added(u"\n"_s), same(u"Two."_s)};
        // Whole clusters: a skin tone is not an inserted character, an accent not a
        // deleted one.
        QTest::newRow("emoji and combining marks")
            << u"I love it 👍 cafe"_s << u"I love it 👍🏽 cafe\u0301"_s
            << Segments{same(u"I love it "_s), gone(u"👍"_s), added(u"👍🏽"_s), same(u" "_s),
                        gone(u"cafe"_s), added(u"cafe\u0301"_s)};
        QTest::newRow("cjk words") << u"我喜欢猫。"_s << u"我喜欢狗。"_s
                                   << Segments{same(u"我喜欢"_s), gone(u"猫"_s),
                                               added(u"狗"_s), same(u"。"_s)};
    }

    void comparesWordByWord()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(Segments, expected);
        const Segments segments = TextChanges::compare(before, after);
        QCOMPARE(segments, expected);
    }

    // The segments rebuild both texts exactly, and a change never stands next to another of
    // its kind: here for the long texts that the fuzz target's small inputs never reach.
    void segmentsRebuildBothTexts_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        int edits = 0;
        const auto [original, corrected] = longTexts(&edits);
        QTest::newRow("5000 characters") << original << corrected;
        QString unrelated, rambling;
        for (int i = 0; rambling.size() < 40000; ++i) {
            unrelated += u"alpha%1, "_s.arg(i);
            rambling += u"omega%1 "_s.arg(i % 7 ? i : 0);
        }
        QTest::newRow("long and unrelated") << unrelated << rambling;
    }

    void segmentsRebuildBothTexts()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        const Segments segments = TextChanges::compare(before, after);
        QCOMPARE(rebuilt(segments, TextChanges::Kind::inserted), before);
        QCOMPARE(rebuilt(segments, TextChanges::Kind::deleted), after);
        for (qsizetype i = 1; i < segments.size(); ++i) {
            QVERIFY(segments[i].kind != segments[i - 1].kind);
            QVERIFY(!segments[i].text.isEmpty());
            QVERIFY(!(segments[i - 1].kind == TextChanges::Kind::inserted &&
                      segments[i].kind == TextChanges::Kind::deleted));
        }
    }

    void longTextFindsEachEdit()
    {
        int edits = 0;
        const auto [original, corrected] = longTexts(&edits);
        QVERIFY(corrected.size() >= 4900);
        const TextChanges changes(original, corrected);
        QCOMPARE(changes.count(), edits);
        for (const TextChanges::Segment& segment : changes.segments()) {
            if (segment.kind == TextChanges::Kind::deleted)
                QVERIFY2(segment.text.endsWith(u'x') && !segment.text.contains(u' '),
                         qPrintable(segment.text));
        }
    }

    // The marks are whole tags around text, inside the answer's own markup: Qt's rich text
    // engine strikes exactly the deleted text, underlines exactly the inserted text and keeps
    // the emphasis.
    void richTextMarksChangesInsideMarkdown_data()
    {
        QTest::addColumn<QString>("original");
        QTest::addColumn<QString>("corrected");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("struck");
        QTest::addColumn<QString>("underlined");
        QTest::addColumn<QString>("bold");

        QTest::newRow("inside strong") << u"a **god** day"_s << u"a **good** day"_s
                                       << u"a godgood day"_s << u"god"_s << u"good"_s
                                       << u"good"_s;
        QTest::newRow("after emphasis") << u"a *fine* dya"_s << u"a *fine* day"_s
                                        << u"a fine dyaday"_s << u"dya"_s << u"day"_s
                                        << QString();
        QTest::newRow("emphasis added is no change")
            << u"a good day"_s << u"a **good** day"_s << u"a good day"_s << QString()
            << QString() << u"good"_s;
        QTest::newRow("insertion across the tag")
            << u"a fine day"_s << u"a **very** fine day"_s << u"a very fine day"_s
            << QString() << u"very "_s << u"very"_s;
        QTest::newRow("markup characters deleted")
            << u"x <b> & y"_s << u"x & y"_s << u"x <b> & y"_s << u"<b> "_s << QString()
            << QString();
        QTest::newRow("line break deleted")
            << u"one\ntwo"_s << u"one two"_s << u"one¶ two"_s << u"¶"_s << u" "_s << QString();
        QTest::newRow("outer white space of the original")
            << u"  fine\n"_s << u"fine"_s << u"fine"_s << QString() << QString() << QString();
    }

    void richTextMarksChangesInsideMarkdown()
    {
        QFETCH(QString, original);
        QFETCH(QString, corrected);
        QFETCH(QString, shown);
        QFETCH(QString, struck);
        QFETCH(QString, underlined);
        QFETCH(QString, bold);

        QTextDocument document;
        document.setHtml(TextChanges(original, corrected).richText());
        QCOMPARE(document.toPlainText(), shown);
        QString gotStruck, gotUnderlined, gotBold;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat format = it.fragment().charFormat();
                const QString text = it.fragment().text();
                if (format.fontStrikeOut())
                    gotStruck += text;
                if (format.fontUnderline())
                    gotUnderlined += text;
                if (format.fontWeight() >= QFont::Bold)
                    gotBold += text;
            }
        }
        QCOMPARE(gotStruck, struck);
        QCOMPARE(gotUnderlined, underlined);
        QCOMPARE(gotBold, bold);
    }

    void spokenTextNamesEachChange()
    {
        const TextChanges changes(u"I has went to school"_s, u"I have gone to school"_s);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.spokenText(),
                 u"I [deleted: has went] [inserted: have gone] to school"_s);
        QCOMPARE(TextChanges(u"one\ntwo  three"_s, u"one two three"_s).spokenText(),
                 u"one[deleted: line break] [inserted: space]two[deleted: space] [inserted: "
                 u"space]three"_s);
    }
};

LEXWICK_TEST(TextChangesTest)
#include "TextChangesTest.moc"
