#include "history/HistoryManager.h"
#include "support/Expect.h"
#include "support/PopoverScreen.h"
#include "support/RunTask.h"
#include "support/TestMain.h"
#include "ui/PopoverView.h"

#include <QClipboard>
#include <QQuickItem>
#include <QRegularExpression>
#include <QSignalSpy>
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
    QQuickItem* item(const char* name) const { return PopoverScreen::item(QString::fromLatin1(name)); }
    void pressCtrlReturn() { press(Qt::Key_Return, Qt::ControlModifier); }
};

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
        QCOMPARE(s.view.inputText(), u"Teh text"_s);
        QVERIFY(s.item("processButton")->isEnabled());
        QVERIFY(!s.visibleTexts().contains(u"Result"_s));

        s.app.provider.enqueue(ScriptedReply::json(200, chatAnswer(u"The **text**"_s)));
        QSignalSpy finished(&s.view, &PopoverView::requestFinished);
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

    void whileProcessingTheButtonCancels()
    {
        Screen s;
        s.type(u"slow"_s);
        ScriptedReply slow = ScriptedReply::json(200, chatAnswer(u"late"_s));
        slow.delay = 5s;
        s.app.provider.enqueue(slow);
        QSignalSpy finished(&s.view, &PopoverView::requestFinished);
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
        QSignalSpy finished(&s.view, &PopoverView::requestFinished);
        s.pressCtrlReturn();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        QVERIFY(shown(s.item("errorLine")));
        QVERIFY(s.visibleTexts().contains(s.view.errorMessage()));
    }

    void theChecksShowAsTheUserTypes()
    {
        Screen s;
        s.view.setInputText(QString(4213, u'a'));
        QVERIFY(s.visibleTexts().contains(u"4213/5000"_s));
        QVERIFY(s.visibleTexts().contains(u"Approaching character limit"_s));
        QCOMPARE(s.item("inputFrame")->property("border").value<QObject*>()->property("width"),
                 QVariant(1.0));

        s.view.setInputText(QString(5001, u'a'));
        QVERIFY(s.visibleTexts().contains(u"Character limit exceeded (1 over)"_s));
        QCOMPARE(s.item("inputFrame")->property("border").value<QObject*>()->property("width"),
                 QVariant(2.0));
        QVERIFY(!s.item("processButton")->isEnabled());

        s.view.setInputText(u"mail me: someone@example.com"_s);
        QTRY_VERIFY(shown(s.item("banner")));
        QVERIFY(s.visibleTexts().contains(u"Found: Email"_s));
        s.app.settings->setPiiDetectionEnabled(false);
        QTRY_VERIFY(!shown(s.item("banner")));
    }

    void theToneSectionBelongsToParaphrase()
    {
        Screen s;
        QVERIFY(!shown(s.item("toneSection")));
        s.view.setSelectedAction(TextAction::paraphrase);
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
        QCOMPARE(s.view.inputText(), QString());
        QTest::keyClick(&s.window, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s.view.inputText(), u"abc"_s);
    }
};

LEXWICK_GUI_TEST(MainScreenTest)
#include "MainScreenTest.moc"
