// SPDX-License-Identifier: MIT
#include "settings/SettingsManager.h"
#include "settings/UserDefaults.h"
#include "support/PopoverScreen.h"
#include "support/TestMain.h"

#include <QRegularExpression>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(LexwickPlugin)

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

namespace {

// The popover of a first run: the introduction is not completed yet.
struct FirstRun : PopoverScreen {
    FirstRun()
        : PopoverScreen({.completedOnboarding = false})
    {
        if (!show())
            qWarning("The popover did not come up");
    }

    QQuickItem* button(const QString& name) const
    {
        return item(name, item(u"onboardingScreen"_s));
    }
    // The scale of each page dot, first to last.
    QList<qreal> dots() const
    {
        QList<qreal> scales;
        for (QQuickItem* dot : item(u"dots"_s)->childItems())
            if (dot->inherits("QQuickRectangle"))
                scales << dot->scale();
        return scales;
    }
};

} // namespace

class OnboardingScreenTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    void theFirstRunWalksThroughThreePages()
    {
        FirstRun s;
        s.view.setShowHistory(true); // the introduction comes first all the same
        QCOMPARE(s.view.currentScreen(), u"onboarding"_s);
        QVERIFY(s.visibleTexts().contains(u"Welcome to Lexwick"_s));
        QVERIFY(!shown(s.button(u"backButton"_s)));
        QVERIFY(s.visibleTexts().contains(u"Next"_s));
        QTRY_COMPARE(s.dots(), (QList<qreal>{1.2, 1.0, 1.0}));

        s.click(s.button(u"primaryButton"_s));
        QCOMPARE(s.view.onboardingView()->currentPage(), 1);
        QTRY_VERIFY(s.visibleTexts().contains(u"Choose Your AI"_s));
        QVERIFY(shown(s.button(u"backButton"_s)));
        s.click(s.button(u"backButton"_s));
        QCOMPARE(s.view.onboardingView()->currentPage(), 0);

        s.press(Qt::Key_Left); // nothing before the first page
        QCOMPARE(s.view.onboardingView()->currentPage(), 0);
        s.press(Qt::Key_Right);
        s.press(Qt::Key_Right);
        s.press(Qt::Key_Right); // the last page stays; only its button finishes
        QCOMPARE(s.view.onboardingView()->currentPage(), 2);
        QVERIFY(!s.app.settings->hasCompletedOnboarding());
        QTRY_VERIFY(s.visibleTexts().contains(u"Always Ready"_s));
        QVERIFY(s.visibleTexts().contains(u"Get Started"_s));
        QCOMPARE(s.view.onboardingView()->primarySymbol(), u"arrow.right"_s);
        QTRY_COMPARE(s.dots(), (QList<qreal>{1.0, 1.0, 1.2}));

        s.press(Qt::Key_Return);
        QVERIFY(s.app.settings->hasCompletedOnboarding());
        QCOMPARE(s.view.currentScreen(), u"history"_s);
        s.view.setShowHistory(false);
        QTRY_COMPARE(s.window.activeFocusItem(), s.item(u"input"_s));

        // A restart reads the completion back.
        UserDefaults again(s.app.defaults.filePath());
        SettingsManager settings(again, *s.app.model);
        QVERIFY(settings.hasCompletedOnboarding());
    }

    void getStartedFocusesTheInput()
    {
        FirstRun s;
        s.click(s.button(u"primaryButton"_s));
        s.click(s.button(u"primaryButton"_s));
        s.click(s.button(u"primaryButton"_s));
        QCOMPARE(s.view.currentScreen(), u"main"_s);
        QVERIFY(s.view.main()->isInputFocused());
        QTRY_COMPARE(s.window.activeFocusItem(), s.item(u"input"_s));
    }

    void theSheetStartsAgainAndLeavesTheScreenAsItWas()
    {
        PopoverScreen s;
        QVERIFY(s.show());
        s.view.setShowHistory(true);
        s.view.onboardingSheet()->forward();
        s.view.restartOnboarding();
        QCOMPARE(s.view.onboardingSheet()->currentPage(), 0);
        QTRY_VERIFY(s.visibleTexts().contains(u"Welcome to Lexwick"_s));
        s.press(Qt::Key_Return);
        s.press(Qt::Key_Return);
        QVERIFY(s.visibleTexts().contains(u"Get Started"_s));
        s.press(Qt::Key_Return);
        QVERIFY(!s.view.showsOnboardingSheet());
        QVERIFY(s.app.settings->hasCompletedOnboarding());
        QCOMPARE(s.view.currentScreen(), u"history"_s);
        QTRY_VERIFY(!s.visibleTexts().contains(u"Welcome to Lexwick"_s));
    }
};

LEXWICK_GUI_TEST(OnboardingScreenTest)
#include "OnboardingScreenTest.moc"
