// SPDX-License-Identifier: MIT
#include "support/PopoverScreen.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

#include <QClipboard>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(LexwickPlugin)

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

namespace {

HistoryItem record(const QString& original, const QString& result, TextAction action,
                   std::optional<ToneOption> tone = std::nullopt)
{
    HistoryItem item;
    item.originalText = original;
    item.resultText = result;
    item.action = action;
    item.tone = tone;
    item.provider = u"Groq"_s;
    return item;
}

// The popover with records in its store, opened on the history screen (search focused).
struct Screen : PopoverScreen {
    explicit Screen(const QList<HistoryItem>& records)
    {
        record(records);
        if (!show())
            qWarning("The popover did not come up");
        QSignalSpy replaced(view.historyView(), &HistoryView::itemsReplaced);
        click(item(u"historyButton"_s));
        if (view.currentScreen() != u"history" ||
            !QTest::qWaitFor([&] { return !replaced.isEmpty(); }, 10000))
            qWarning("The history screen did not come up");
    }

    QQuickItem* list() const { return item(u"list"_s); }
    // The card in that row of the list, once the list has built it.
    QQuickItem* card(int row)
    {
        QQuickItem* card = nullptr;
        if (!laidOut())
            return nullptr;
        (void)QTest::qWaitFor([&] {
            QMetaObject::invokeMethod(list(), "itemAtIndex", Q_RETURN_ARG(QQuickItem*, card),
                                      Q_ARG(int, row));
            return card != nullptr;
        });
        return card;
    }
    void clickOnCard(int row, const QString& button) { click(item(button, card(row))); }
    // Waits until the screen shows what the store handed back after a delete or Clear All.
    bool clickAndWaitForStore(QQuickItem* button)
    {
        QSignalSpy replaced(view.historyView(), &HistoryView::itemsReplaced);
        click(button);
        return QTest::qWaitFor([&] { return !replaced.isEmpty(); }, 10000);
    }
};

} // namespace

class HistoryScreenTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    void searchNarrowsAndWidensAsTheUserTypes()
    {
        Screen s({record(u"Their going"_s, u"They're going"_s, TextAction::correct),
                  record(u"Report due"_s, u"The report is due"_s, TextAction::paraphrase,
                         ToneOption::casual)});
        QCOMPARE(s.list()->property("count").toInt(), 2);
        QVERIFY(s.visibleTexts().contains(u"2 items"_s));
        QTRY_VERIFY(s.visibleTexts().contains(u"Casual"_s));
        QVERIFY(shown(s.item(u"clearAllButton"_s)));

        s.type(u"REPORT"_s);
        QCOMPARE(s.view.historyView()->searchQuery(), u"REPORT"_s);
        QCOMPARE(s.list()->property("count").toInt(), 1);
        QVERIFY(s.visibleTexts().contains(u"1 items"_s));
        s.type(u"x"_s);
        QVERIFY(s.visibleTexts().contains(u"No results found"_s));
        QVERIFY(s.visibleTexts().contains(u"Try a different search term"_s));
        QVERIFY(shown(s.item(u"clearAllButton"_s)));
        s.press(Qt::Key_Backspace);
        QCOMPARE(s.list()->property("count").toInt(), 1);
        s.press(Qt::Key_A, Qt::ControlModifier);
        s.press(Qt::Key_Backspace);
        QCOMPARE(s.list()->property("count").toInt(), 2);
        QVERIFY(shown(s.card(1)));
    }

    // Deleting the only match leaves no results; Clear All also clears what the search hides.
    void deleteAndClearAllUnderASearch()
    {
        Screen s({record(u"alpha"_s, u"A"_s, TextAction::correct),
                  record(u"beta"_s, u"B"_s, TextAction::explain)});
        s.type(u"alp"_s);
        QCOMPARE(s.list()->property("count").toInt(), 1);
        QVERIFY(s.clickAndWaitForStore(s.item(u"deleteButton"_s, s.card(0))));
        QVERIFY(s.visibleTexts().contains(u"No results found"_s));
        QVERIFY(s.visibleTexts().contains(u"0 items"_s));
        QCOMPARE(runTask(s.history.items())->size(), 1);

        QVERIFY(s.clickAndWaitForStore(s.item(u"clearAllButton"_s)));
        QVERIFY(runTask(s.history.items())->isEmpty());
        QVERIFY(!shown(s.item(u"clearAllButton"_s)));
        s.click(s.item(u"search"_s));
        s.press(Qt::Key_A, Qt::ControlModifier);
        s.press(Qt::Key_Backspace);
        QVERIFY(s.visibleTexts().contains(u"No history yet"_s));
        QVERIFY(s.visibleTexts().contains(u"Processed text will appear here"_s));
    }

    void reuseReturnsToTheMainScreenWithTheRecord()
    {
        Screen s({record(u"Please find attached"_s, u"Here you go!"_s, TextAction::paraphrase,
                         ToneOption::friendly),
                  record(u"no tone"_s, u"No tone."_s, TextAction::explain)});
        s.view.main()->setSelectedTone(ToneOption::concise);
        s.clickOnCard(0, u"reuseButton"_s); // the newest: no tone
        QCOMPARE(s.view.currentScreen(), u"main"_s);
        QCOMPARE(s.view.main()->inputText(), u"no tone"_s);
        QCOMPARE(s.view.main()->selectedAction(), TextAction::explain);
        QCOMPARE(s.view.main()->selectedTone(), ToneOption::concise);
        QVERIFY(s.view.main()->result()->text().isEmpty());

        QSignalSpy replaced(s.view.historyView(), &HistoryView::itemsReplaced);
        s.view.setShowHistory(true);
        QTRY_VERIFY_WITH_TIMEOUT(!replaced.isEmpty(), 10000);
        s.clickOnCard(1, u"copyButton"_s);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"Here you go!"_s);
        QVERIFY(s.visibleTexts().contains(u"Copied!"_s));
        s.clickOnCard(1, u"reuseButton"_s);
        QCOMPARE(s.view.main()->inputText(), u"Please find attached"_s);
        QCOMPARE(s.view.main()->selectedAction(), TextAction::paraphrase);
        QCOMPARE(s.view.main()->selectedTone(), ToneOption::friendly);
        QTRY_COMPARE(s.window.activeFocusItem(), s.item(u"input"_s));
    }

    void cardsAreBuiltOnlyAsTheyScrollIntoView()
    {
        QList<HistoryItem> records;
        for (int i = 0; i < 50; ++i)
            records << record(QString(5000, QChar(u'a' + i % 26)), QString(5000, u'r'),
                              TextAction::correct);
        Screen s(records);
        QQuickItem* list = s.list();
        QVERIFY(s.card(0));
        const auto built = [&] {
            return list->property("contentItem").value<QQuickItem*>()->childItems().size();
        };
        QVERIFY(built() < 10);
        QMetaObject::invokeMethod(list, "positionViewAtEnd");
        QVERIFY(s.card(49));
        QVERIFY(built() < 10);
        QVERIFY(s.visibleTexts().contains(QString(50, u'a') + u"..."_s)); // the oldest
    }

    void doneAndTheCloseButtonGoBack()
    {
        Screen s({});
        QVERIFY(s.visibleTexts().contains(u"No history yet"_s));
        QVERIFY(s.visibleTexts().contains(u"0 items"_s));
        QVERIFY(!shown(s.item(u"clearAllButton"_s)));
        s.click(s.item(u"doneButton"_s));
        QCOMPARE(s.view.currentScreen(), u"main"_s);
        s.view.setShowHistory(true);
        s.click(s.item(u"closeButton"_s));
        QCOMPARE(s.view.currentScreen(), u"main"_s);
    }
};

LEXWICK_GUI_TEST(HistoryScreenTest)
#include "HistoryScreenTest.moc"
