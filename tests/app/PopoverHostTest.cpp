// SPDX-License-Identifier: MIT
#include "app/PopoverHost.h"
#include "history/HistoryManager.h"
#include "support/LogCapture.h"
#include "support/RouterFixture.h"
#include "support/TestMain.h"

#include <QTest>

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

// The popover's library is loaded at the first open. Where it is missing (a broken
// installation), the tray goes on working without a popover, says why once, and the Services
// that need the popover are told it is not there.
class PopoverHostTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aMissingLibraryLeavesTheTrayWorking()
    {
        RouterFixture app;
        HistoryManager history(app.dir.filePath(u"history.json"_s), app.defaults);
        PopoverHost host({*app.router, *app.settings, history});
        LogCapture log;

        QVERIFY(!host.popover());
        host.setStandalone(true);
        host.popUp(QRect(10, 10, 1, 1));
        host.popUp(QRect(10, 10, 1, 1));
        QVERIFY(!host.popover());
        QVERIFY(!host.isVisible());
        QVERIFY(!host.hidBecauseOfDeactivationWithin(1000));
        host.hide();
        const QStringList errors = log.lines().filter(u"popover library not found"_s);
        QCOMPARE(errors.size(), 1);
        const std::optional<LogCapture::Entry> error = log.find(u"Lexwick: ERROR – popover"_s);
        QVERIFY(error && error->type == QtCriticalMsg && error->category == u"lexwick.popover");
        QVERIFY2(errors.first().contains(QCoreApplication::applicationDirPath()),
                 qPrintable(errors.first()));
    }
};

LEXWICK_TEST(PopoverHostTest)
#include "PopoverHostTest.moc"
