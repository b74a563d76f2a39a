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

namespace {

// A popover that notes the activation token the environment holds when it asks for the focus.
class TokenPopover : public Popover {
public:
    explicit TokenPopover(QStringList& seen)
        : m_seen(seen)
    {
    }
    void setStandalone(bool) override {}
    bool isVisible() const override { return false; }
    void hide() override {}
    void popUp(const QRect&) override
    {
        m_seen.append(qEnvironmentVariable("XDG_ACTIVATION_TOKEN"));
    }
    bool hidBecauseOfDeactivationWithin(int) const override { return false; }
    QWindow* window() const override { return nullptr; }
    bool isProcessing() const override { return false; }
    QCoro::Task<ServiceOutcome> runService(QString, TextAction) override { co_return QString(); }

private:
    QStringList& m_seen;
};

class TokenPopoverFactory : public PopoverFactory {
public:
    QStringList seen;
    std::unique_ptr<Popover> create(const PopoverContext&) override
    {
        return std::make_unique<TokenPopover>(seen);
    }
};

} // namespace

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

    // A launcher's token is in place when the popover asks for the focus, for that request
    // alone; it is not left behind for a later one.
    void theActivationTokenGoesWithOneRequest()
    {
        RouterFixture app;
        HistoryManager history(app.dir.filePath(u"history.json"_s), app.defaults);
        TokenPopoverFactory factory;
        PopoverHost host({*app.router, *app.settings, history}, factory);
        qunsetenv("XDG_ACTIVATION_TOKEN");
        host.setActivationToken(u"wl-1"_s);
        host.popUp(QRect(10, 10, 1, 1));
        QVERIFY(!qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN"));
        host.popUp(QRect(10, 10, 1, 1));
        host.setActivationToken(u"wl-2"_s);
        host.popUp(QRect(10, 10, 1, 1));
        QCOMPARE(factory.seen, (QStringList{u"wl-1"_s, QString(), u"wl-2"_s}));
    }
};

LEXWICK_GUI_TEST(PopoverHostTest)
#include "PopoverHostTest.moc"
