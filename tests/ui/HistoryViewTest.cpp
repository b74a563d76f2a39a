// SPDX-License-Identifier: MIT
#include "history/HistoryManager.h"
#include "support/RunTask.h"
#include "support/TestMain.h"
#include "settings/UserDefaults.h"
#include "ui/HistoryItemRow.h"
#include "ui/HistoryView.h"

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

namespace {

HistoryItem record(const QString& original, const QString& result)
{
    HistoryItem item;
    item.originalText = original;
    item.resultText = result;
    item.provider = u"Groq"_s;
    return item;
}

// A history screen's state over a store in a test folder; the model is checked from before
// its first row on.
struct Fixture {
    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath(u"defaults.cbor"_s)};
    HistoryManager store{dir.filePath(u"history.json"_s), defaults};
    HistoryView view{store};
    QAbstractItemModelTester tester{view.filteredItems(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest};

    // Records oldest first; the screen lists them newest first.
    explicit Fixture(const QList<HistoryItem>& records = {})
    {
        for (const HistoryItem& item : records)
            runTask(store.add(item));
    }

    bool appear()
    {
        QSignalSpy replaced(&view, &HistoryView::itemsReplaced);
        view.appear();
        // The store may answer before the call returns.
        return QTest::qWaitFor([&] { return !replaced.isEmpty(); }, 10000);
    }

    // The input lines of the listed cards, top to bottom.
    QStringList listed() const
    {
        QStringList lines;
        const HistoryListModel* model = const_cast<HistoryView&>(view).filteredItems();
        for (int row = 0; row < model->rowCount(); ++row)
            lines << model->index(row).data(HistoryListModel::inputLineRole).toString();
        return lines;
    }
};

} // namespace

class HistoryViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theSearchNarrowsAndWidensRowByRow()
    {
        Fixture f({record(u"Hello there"_s, u"Hi"_s), record(u"teh cat"_s, u"the cat"_s),
                   record(u"x"_s, u"Say hello"_s)});
        QVERIFY(f.appear());
        QCOMPARE(f.listed(), (QStringList{u"x"_s, u"teh cat"_s, u"Hello there"_s}));

        QSignalSpy removed(f.view.filteredItems(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy inserted(f.view.filteredItems(), &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(f.view.filteredItems(), &QAbstractItemModel::modelReset);
        f.view.setSearchQuery(u"HELLO"_s); // either text, any case
        QCOMPARE(f.listed(), (QStringList{u"x"_s, u"Hello there"_s}));
        f.view.setSearchQuery(u"HELLO THERE"_s);
        QCOMPARE(f.listed(), QStringList{u"Hello there"_s});
        f.view.setSearchQuery(QString());
        QCOMPARE(f.listed().size(), 3);
        QCOMPARE(removed.size(), 2);
        QCOMPARE(inserted.size(), 1); // the two rows back in their places, in one run
        QCOMPARE(reset.size(), 0);

        f.view.setSearchQuery(u"groq"_s); // the provider is not searched
        QVERIFY(f.listed().isEmpty());
        f.view.setSearchQuery(u" "_s); // not trimmed: only texts with a space
        QCOMPARE(f.listed(), (QStringList{u"x"_s, u"teh cat"_s, u"Hello there"_s}));
        f.view.setSearchQuery(u"cat "_s);
        QVERIFY(f.listed().isEmpty());
    }

    void theSearchComparesLowerCasedTexts()
    {
        // Lower-casing, not case folding: a final sigma is not the lower-case of a capital
        // sigma, and a dotted capital I lower-cases to an i with a dot above.
        Fixture f({record(u"λόγος"_s, u""_s), record(u"İstanbul"_s, u""_s)});
        QVERIFY(f.appear());
        f.view.setSearchQuery(u"Σ"_s);
        QVERIFY(f.listed().isEmpty());
        f.view.setSearchQuery(u"i"_s);
        QCOMPARE(f.listed(), QStringList{u"İstanbul"_s});
    }

    void copyConfirmsOnTheCardAndAppearingStartsAfresh()
    {
        Fixture f({record(u"a"_s, u"Result A"_s), record(u"b"_s, u"Result B"_s)});
        QVERIFY(f.appear());
        HistoryListModel* model = f.view.filteredItems();
        f.view.copy(1);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"Result A"_s);
        QVERIFY(model->index(1).data(HistoryListModel::showCopiedRole).toBool());
        QVERIFY(!model->index(0).data(HistoryListModel::showCopiedRole).toBool());
        QTRY_VERIFY_WITH_TIMEOUT(!model->index(1).data(HistoryListModel::showCopiedRole).toBool(),
                                 10000);

        f.view.copy(0);
        f.view.setSearchQuery(u"a"_s);
        QVERIFY(f.appear());
        QVERIFY(f.view.searchQuery().isEmpty());
        QCOMPARE(f.listed().size(), 2);
        QVERIFY(!model->index(0).data(HistoryListModel::showCopiedRole).toBool());
    }

    void cardLinesAreCutAtWholeCharacters()
    {
        using HistoryItemRow::shortened;
        const QString fifty(50, u'x');
        QCOMPARE(HistoryItemRow::inputLine(record(u"\n\n  "_s + fifty + u"  \n"_s, {})), fifty);
        QCOMPARE(HistoryItemRow::inputLine(record(fifty + u'y', {})), fifty + u"..."_s);
        const QString hundred(100, u'r');
        QCOMPARE(HistoryItemRow::resultLine(record({}, hundred)), hundred);
        QCOMPARE(HistoryItemRow::resultLine(record({}, u" "_s + hundred)),
                 u" "_s + hundred.left(99) + u"..."_s); // the result is not trimmed

        // A family emoji is one character, as is a flag or a letter with its accent.
        const QString family = u"👨‍👩‍👧"_s;
        QCOMPARE(shortened(family.repeated(3), 3), family.repeated(3));
        QCOMPARE(shortened(family.repeated(3), 2), family.repeated(2) + u"..."_s);
        QCOMPARE(shortened(u"🇩🇪🇫🇷e\u0301"_s, 3), u"🇩🇪🇫🇷e\u0301"_s);
        QCOMPARE(shortened(u"e\u0301e\u0301"_s, 1), u"e\u0301..."_s);
    }
};

LEXWICK_GUI_TEST(HistoryViewTest)
#include "HistoryViewTest.moc"
