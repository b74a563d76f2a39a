// SPDX-License-Identifier: MIT
#include "history/HistoryManager.h"
#include "support/Expect.h"
#include "support/PopoverScreen.h"
#include "support/RunTask.h"
#include "support/TestMain.h"
#include "ui/PopoverView.h"

#include <QAccessible>
#include <QClipboard>
#include <QQuickItem>
#include <QQuickTextDocument>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextDocument>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(LexwickPlugin)

using namespace lexwick;
using namespace lexwick::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

// The popover on the main screen, with the input focused.
struct Screen : PopoverScreen {
    Screen()
    {
        if (!show())
            qWarning("The popover did not come up");
    }
    QQuickItem* item(const char* name) const
    {
        return PopoverScreen::item(QString::fromLatin1(name));
    }
    void pressCtrlReturn() { press(Qt::Key_Return, Qt::ControlModifier); }

    // Sends the text with Ctrl+Return and waits for the answer.
    bool process(const QString& text, const QString& answer)
    {
        view.main()->setInputText(text);
        app.provider.enqueue(ScriptedReply::json(200, chatAnswer(answer)));
        QSignalSpy finished(view.main(), &MainView::requestFinished);
        pressCtrlReturn();
        return finished.wait(10000);
    }
};

// The result box's text as drawn: the characters struck through (with their colour) and the
// whole text.
struct Drawn {
    QString text, struck, underlined;
    QColor struckColour;
};

Drawn drawn(QQuickItem* result)
{
    const QTextDocument* document =
        result->property("textDocument").value<QQuickTextDocument*>()->textDocument();
    Drawn out{document->toPlainText(), {}, {}, {}};
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.fontStrikeOut()) {
                out.struck += it.fragment().text();
                out.struckColour = format.foreground().color();
            }
            if (format.fontUnderline())
                out.underlined += it.fragment().text();
        }
    }
    return out;
}

} // namespace

class MainScreenTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    void typingAndCtrlReturnShowTheAnswer()
    {
        Screen s;
        QVERIFY(!s.item("processButton")->isEnabled());
        s.type(u"Teh text"_s);
        QCOMPARE(s.view.main()->inputText(), u"Teh text"_s);
        QVERIFY(s.item("processButton")->isEnabled());
        QVERIFY(!s.visibleTexts().contains(u"Result"_s));

        s.app.provider.enqueue(ScriptedReply::json(200, chatAnswer(u"The **text**"_s)));
        QSignalSpy finished(s.view.main(), &MainView::requestFinished);
        s.pressCtrlReturn();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        QVERIFY(shown(s.item("result")));
        QVERIFY(s.visibleTexts().contains(u"Result"_s));
        QVERIFY(!shown(s.item("cachedBadge")));
        QCOMPARE(runTask(s.history.items())->size(), 1);

        QTest::mouseClick(&s.window, Qt::LeftButton, {},
                          s.item("copyButton")->mapToScene({5, 5}).toPoint());
        QCOMPARE(QGuiApplication::clipboard()->text(), u"The **text**"_s);
        QVERIFY(s.visibleTexts().contains(u"Copied!"_s));

        // The same request again is answered by the cache.
        s.pressCtrlReturn();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 10000);
        QVERIFY(shown(s.item("cachedBadge")));
        QCOMPARE(s.app.providerRequests(), 1);
    }

    // A correction shows what it changed until the toggle is switched off; screen readers hear
    // the changes in words; Copy copies the clean answer. Other actions have no toggle.
    void aCorrectionShowsItsChanges()
    {
        Screen s;
        QVERIFY(s.process(u"I has went home"_s, u"I have gone **home**"_s));
        QQuickItem* toggle = s.item("changesToggle");
        QQuickItem* result = s.item("result");
        QVERIFY(shown(toggle));
        QVERIFY(toggle->property("checked").toBool());
        Drawn shownChanges = drawn(result);
        QCOMPARE(shownChanges.text, u"I has wenthave gone home"_s);
        QCOMPARE(shownChanges.struck, u"has went"_s);
        QCOMPARE(shownChanges.underlined, u"have gone"_s);
        // The light palette's red, darkened to read on the screen's backgrounds.
        QCOMPARE(shownChanges.struckColour, QColor(u"#a4261f"_s));
        QVERIFY(!result->property("selectByMouse").toBool());
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(result);
        QVERIFY(accessible);
        QCOMPARE(accessible->text(QAccessible::Name),
                 u"Result with changes: I [deleted: has went] [inserted: have gone] home"_s);

        s.click(s.item("copyButton"));
        QCOMPARE(QGuiApplication::clipboard()->text(), u"I have gone **home**"_s);

        s.click(toggle);
        QVERIFY(!s.view.main()->result()->showChanges());
        QTRY_COMPARE(drawn(result).text, u"I have gone home"_s);
        QCOMPARE(drawn(result).struck, QString());
        QVERIFY(result->property("selectByMouse").toBool());
        QCOMPARE(accessible->text(QAccessible::Name), u"Result"_s);
        s.click(toggle);
        QTRY_COMPARE(drawn(result).struck, u"has went"_s);

        s.view.main()->setSelectedAction(TextAction::explain);
        QVERIFY(s.process(u"What is a noun?"_s, u"A naming word."_s));
        QVERIFY(!shown(toggle));
        QCOMPARE(drawn(result).text, u"A naming word."_s);
    }

    void whileProcessingTheButtonCancels()
    {
        Screen s;
        s.type(u"slow"_s);
        ScriptedReply slow = ScriptedReply::json(200, chatAnswer(u"late"_s));
        slow.delay = 5s;
        s.app.provider.enqueue(slow);
        QSignalSpy finished(s.view.main(), &MainView::requestFinished);
        s.pressCtrlReturn();
        QTRY_VERIFY(s.visibleTexts().contains(u"Cancel"_s));
        QVERIFY(shown(s.item("spinner")));
        QVERIFY(s.item("processButton")->isEnabled());

        s.pressCtrlReturn();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        QTRY_VERIFY(s.visibleTexts().contains(u"Correct"_s));
        QVERIFY(!shown(s.item("result")));
        QVERIFY(runTask(s.history.items())->isEmpty());
    }

    void theErrorLineShowsTheRoutersError()
    {
        Screen s;
        s.type(u"text"_s);
        s.app.provider.enqueue(ScriptedReply::json(401, R"({"error":{"message":"bad key"}})"));
        QSignalSpy finished(s.view.main(), &MainView::requestFinished);
        // A failed request is a warning in the log (a cancelled one is not).
        QTest::ignoreMessage(QtWarningMsg, "Lexwick: Error processing text - API Error: bad key");
        s.pressCtrlReturn();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        QVERIFY(shown(s.item("errorLine")));
        QVERIFY(s.visibleTexts().contains(s.view.main()->errorMessage()));
    }

    void theChecksShowAsTheUserTypes()
    {
        Screen s;
        s.view.main()->setInputText(QString(4213, u'a'));
        QVERIFY(s.visibleTexts().contains(u"4213/5000"_s));
        QVERIFY(s.visibleTexts().contains(u"Approaching character limit"_s));
        QCOMPARE(s.item("inputFrame")->property("border").value<QObject*>()->property("width"),
                 QVariant(1.0));

        s.view.main()->setInputText(QString(5001, u'a'));
        QVERIFY(s.visibleTexts().contains(u"Character limit exceeded (1 over)"_s));
        QCOMPARE(s.item("inputFrame")->property("border").value<QObject*>()->property("width"),
                 QVariant(2.0));
        QVERIFY(!s.item("processButton")->isEnabled());

        s.view.main()->setInputText(u"mail me: someone@example.com"_s);
        QTRY_VERIFY(shown(s.item("banner")));
        QVERIFY(s.visibleTexts().contains(u"Found: Email"_s));
        s.app.settings->setPiiDetectionEnabled(false);
        QTRY_VERIFY(!shown(s.item("banner")));
    }

    void theToneSectionBelongsToParaphrase()
    {
        Screen s;
        QVERIFY(!shown(s.item("toneSection")));
        s.view.main()->setSelectedAction(TextAction::paraphrase);
        QTRY_VERIFY(shown(s.item("toneSection")));
        QVERIFY(s.visibleTexts().contains(u"Persuasive"_s));
        QVERIFY(s.visibleTexts().contains(u"Paraphrase"_s));
    }

    // The text field's right-click menu acts on the field; the edit keys work without it.
    void theInputsMenuAndEditKeys()
    {
        Screen s;
        s.type(u"abc"_s);
        QQuickItem* input = s.item("input");
        QTest::mouseClick(&s.window, Qt::RightButton, {},
                          input->mapToScene(QPointF(20, 10)).toPoint());
        auto* menu = input->findChild<QObject*>(u"contextMenu"_s);
        QVERIFY(menu);
        QTRY_VERIFY(menu->property("opened").toBool());
        const auto menuItem = [&](int index) {
            QQuickItem* item = nullptr;
            QMetaObject::invokeMethod(menu, "itemAt", Q_RETURN_ARG(QQuickItem*, item),
                                      Q_ARG(int, index));
            return item;
        };
        QCOMPARE(menuItem(6)->property("text").toString(), u"Select All"_s);
        QVERIFY(!menuItem(3)->isEnabled()); // Cut, with nothing selected
        QTest::mouseClick(&s.window, Qt::LeftButton, {},
                          menuItem(6)->mapToScene(QPointF(10, 5)).toPoint());
        QTRY_VERIFY(!menu->property("visible").toBool());
        QCOMPARE(input->property("selectedText").toString(), u"abc"_s);

        QTRY_VERIFY(input->hasActiveFocus());
        QTest::keyClick(&s.window, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"abc"_s);
        QCOMPARE(s.view.main()->inputText(), QString());
        QTest::keyClick(&s.window, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s.view.main()->inputText(), u"abc"_s);
    }
};

LEXWICK_GUI_TEST(MainScreenTest)
#include "MainScreenTest.moc"
