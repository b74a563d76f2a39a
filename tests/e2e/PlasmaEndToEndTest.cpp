// SPDX-License-Identifier: MIT
#include "PlasmaSession.h"
#include "settings/SettingsManager.h"
#include "settings/UserDefaults.h"
#include "support/BackgroundTestHttpServer.h"
#include "support/Expect.h"
#include "support/TestMain.h"
#include "X11Session.h" // eventually()

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDir>
#include <QImage>
#include <QTest>

#include <linux/input-event-codes.h>

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

namespace {

const QString typedAnswer = u"Hello world."_s;
const QString filterAnswer = u"Hello from the filter."_s;
const QString selectionAnswer = u"Hello from elsewhere."_s;

// Where the Copy button of the result sits in the popover, for a result of one line.
constexpr QPoint copyButtonInPopover(358, 371);

// The real binary on a Plasma desktop of its own, using a model server on loopback.
struct Desktop {
    PlasmaSession session;
    BackgroundTestHttpServer modelServer;

    explicit Desktop(PlasmaSession::Options options)
        : session(options)
    {
        modelServer.setHandler([](const ReceivedRequest& request) {
            if (request.path.endsWith("/models"))
                return ScriptedReply::json(200, R"({"data":[{"id":"m"}]})");
            const QString corrected = request.body.contains("elsewhere") ? selectionAnswer
                                      : request.body.contains("filter")  ? filterAnswer
                                                                         : typedAnswer;
            return ScriptedReply::json(200, chatAnswer(corrected));
        });
        // A user who has been through the onboarding and uses the model on this machine.
        const QString config = session.homePath(u".config/Lexwick"_s);
        QDir().mkpath(config);
        UserDefaults defaults(config + u"/defaults.cbor"_s);
        defaults.setObject(u"local"_s, SettingsManager::providerModeKey);
        defaults.setObject(modelServer.url(u"/v1"_s).toString(), SettingsManager::localServerKey);
        defaults.setBool(true, SettingsManager::onboardingKey);
    }
};

// One run of the application on a Qt platform ("wayland" or "xcb"), its log collected.
struct Lexwick {
    std::unique_ptr<QProcess> process;
    QByteArray log;

    // Standard input is the null device, as launchers and keyboard shortcuts give it, or a
    // pipe that finish() writes to.
    enum class Input { None, Piped };

    Lexwick(const PlasmaSession& session, const QString& platform,
            const QStringList& arguments = {}, const QStringList& environment = {},
            Input input = Input::None)
        : process(session.start(QStringLiteral(LEXWICK_BINARY), arguments))
    {
        if (input == Input::None)
            process->setStandardInputFile(QProcess::nullDevice());
        QProcessEnvironment variables = process->processEnvironment();
        variables.insert(u"QT_QPA_PLATFORM"_s, platform);
        for (const QString& variable : environment)
            variables.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
        process->setProcessEnvironment(variables);
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
    // Runs to its end, the input (if any) on its standard input: its exit code, -1 on a hang.
    int finish(const QByteArray& input = {})
    {
        if (!input.isEmpty())
            process->write(input);
        process->closeWriteChannel();
        // It may have ended already, and then there is nothing to wait for.
        if (process->state() != QProcess::NotRunning && !process->waitForFinished(30'000))
            return -1;
        log += process->readAll();
        return process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    }
};

// A picture for the one who looks at the run, in the temporary folder.
void keep(const QImage& picture, const QString& name)
{
    const QString folder = QDir::current().filePath(u"PlasmaEndToEndTest-pictures"_s);
    QDir().mkpath(folder);
    const QString path = folder + u'/' + name + u".png"_s;
    if (picture.save(path))
        qInfo("Picture: %s", qPrintable(path));
}

// Where an icon came on the panel between the two pictures: of the runs of changed columns
// (the icons beside it may shift by a pixel), the one that was bare panel before.
QRect newIcon(const QImage& before, const QImage& after)
{
    if (before.size() != after.size() || before.isNull())
        return {};
    std::vector<QRect> runs;
    for (int x = 0; x < after.width(); ++x) {
        QRect column;
        for (int y = 0; y < after.height(); ++y) {
            if (before.pixel(x, y) != after.pixel(x, y))
                column |= QRect(x, y, 1, 1);
        }
        if (column.isEmpty())
            continue;
        if (!runs.empty() && x - runs.back().right() <= 3)
            runs.back() |= column;
        else
            runs.push_back(column);
    }
    QRect bare;
    qsizetype fewest = std::numeric_limits<qsizetype>::max();
    for (const QRect& run : runs) {
        QSet<QRgb> colours;
        for (int y = run.top(); y <= run.bottom(); ++y) {
            for (int x = run.left(); x <= run.right(); ++x)
                colours.insert(before.pixel(x, y));
        }
        if (colours.size() < fewest)
            fewest = colours.size(), bare = run;
    }
    return bare;
}

double luminance(QRgb colour)
{
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(colour)) + 0.7152 * channel(qGreen(colour)) +
           0.0722 * channel(qBlue(colour));
}

// The contrast of the icon's most distinct pixel against the panel behind it (the colour
// most of the area has), as a ratio of relative luminances: 1 is invisible, 21 black on white.
double iconContrast(const QImage& area)
{
    QHash<QRgb, int> counts;
    for (int y = 0; y < area.height(); ++y) {
        for (int x = 0; x < area.width(); ++x)
            ++counts[area.pixel(x, y)];
    }
    QRgb background = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most)
            most = it.value(), background = it.key();
    }
    const double panel = luminance(background);
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const double icon = luminance(it.key());
        best = std::max(best, (std::max(icon, panel) + 0.05) / (std::min(icon, panel) + 0.05));
    }
    return best;
}

// The items the panel's tray was told about.
QStringList trayItems(const PlasmaSession& session)
{
    auto bus = QDBusConnection::connectToBus(
        session.environment().value(u"DBUS_SESSION_BUS_ADDRESS"_s), u"lexwick-tray-items"_s);
    QStringList items;
    {
        QDBusInterface watcher(u"org.kde.StatusNotifierWatcher"_s, u"/StatusNotifierWatcher"_s,
                               u"org.kde.StatusNotifierWatcher"_s, bus);
        items = watcher.property("RegisteredStatusNotifierItems").toStringList();
    }
    QDBusConnection::disconnectFromBus(u"lexwick-tray-items"_s);
    return items;
}

// Another application with a window that owns the primary selection once clicked.
struct SelectionOwner {
    std::unique_ptr<QProcess> process;

    SelectionOwner(const PlasmaSession& session, const QString& text)
        : process(session.start(QStringLiteral(LEXWICK_SELECTION_OWNER), {text}))
    {
        process->setProcessChannelMode(QProcess::SeparateChannels);
        process->start();
    }
    ~SelectionOwner()
    {
        process->kill();
        process->waitForFinished();
    }
    // Clicks its window: it owns the selection and has the focus.
    bool select(const PlasmaSession& session)
    {
        return eventually([&] {
            const auto window = session.window(u"Selection owner"_s);
            if (!window)
                return false;
            session.click(window->geometry.center());
            return process->waitForReadyRead(1000) && process->readAll().contains("owned");
        });
    }
};

} // namespace

class PlasmaEndToEndTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void onThePanel_data()
    {
        QTest::addColumn<QString>("platform");
        QTest::addColumn<bool>("dark");
        QTest::newRow("Wayland, light panel") << u"wayland"_s << false;
        QTest::newRow("Xwayland, dark panel") << u"xcb"_s << true;
    }

    // The icon docks on the panel and reads on it; a click opens the popover over it with the
    // keyboard focus and no task bar entry; Escape closes it and a second start opens it
    // again. The filter answers on its output; text selected in another application is
    // corrected onto the clipboard.
    void onThePanel()
    {
        QFETCH(QString, platform);
        QFETCH(bool, dark);
        const QString name = platform + (dark ? u"-dark"_s : u"-light"_s);
        Desktop desktop({.panel = true, .dark = dark});
        const PlasmaSession& session = desktop.session;
        QVERIFY2(session.failure().isEmpty(), qPrintable(session.failure()));
        // The tray's part of the panel, left of the clock.
        const auto panel = session.panelArea();
        QVERIFY(panel);
        const QRect tray = panel->adjusted(panel->width() / 2, 0, -PlasmaSession::clockWidth, 0);
        const QImage without = session.screenshot(tray);

        Lexwick app(session, platform);
        QVERIFY2(eventually([&] { return app.logged("status bar ready"); }), app.log.constData());
        QRect icon;
        QImage with;
        QVERIFY2(eventually([&] {
                     with = session.screenshot(tray);
                     icon = newIcon(without, with);
                     return !icon.isEmpty();
                 }),
                 app.log.constData());
        QTest::qWait(1000); // drawn in full
        with = session.screenshot(tray);
        icon = newIcon(without, with);
        keep(with, name + u"-panel"_s);
        keep(with.copy(icon.adjusted(-4, -4, 4, 4)).scaled(icon.size() * 8), name + u"-icon"_s);
        QVERIFY2(icon.width() <= 32 && icon.height() <= 32, "an icon of the panel's size");
        const double contrast = iconContrast(with.copy(icon.adjusted(-2, -2, 2, 2)));
        qInfo("The icon's contrast on the %s panel: %.1f:1", dark ? "dark" : "light", contrast);
        // A symbolic icon that the panel recolours reads on a light and a dark panel alike.
        QVERIFY2(contrast >= 3, qPrintable(u"contrast %1:1"_s.arg(contrast, 0, 'f', 1)));

        // Left click: the popover, above the icon, with the focus.
        const QPoint iconCentre = icon.translated(tray.topLeft()).center();
        session.click(iconCentre);
        std::optional<PlasmaSession::Window> popover;
        QVERIFY2(eventually([&] {
                     popover = session.window(u"Lexwick"_s);
                     return popover && popover->active;
                 }),
                 app.log.constData());
        QTest::qWait(1500); // the task bar catches up
        keep(session.screenshot(QRect(0, 0, 1280, 800)), name + u"-popover"_s);
        // A native Wayland window cannot place itself: KWin centres it. Through Xwayland the
        // pointer is unknown over the (Wayland) panel, so only the position the tray reports
        // with its click places it.
        if (platform == u"xcb") {
            QVERIFY2(popover->geometry.bottom() <= panel->top() &&
                         popover->geometry.left() <= iconCentre.x() + 16 &&
                         popover->geometry.right() >= iconCentre.x() - 16,
                     qPrintable(u"the popover opens over the icon at %1,%2, not at %3,%4"_s
                                    .arg(iconCentre.x())
                                    .arg(iconCentre.y())
                                    .arg(popover->geometry.x())
                                    .arg(popover->geometry.y())));
        }
        // A tool window gets a task bar entry on KWin until it asks for none itself.
        QVERIFY2(popover->skipsTaskbar, "the popover has no task bar entry");

        session.type(u"Helo world"_s);
        session.key({KEY_LEFTCTRL, KEY_ENTER});
        QVERIFY2(eventually([&] {
                     const auto requests = desktop.modelServer.requests();
                     return !requests.isEmpty() && requests.last().body.contains("Helo world");
                 }),
                 app.log.constData());
        // The answer shows (Escape would cancel a running request); Copy puts it on the
        // clipboard.
        QVERIFY2(eventually([&] {
                     session.click(popover->geometry.topLeft() + copyButtonInPopover);
                     return session.clipboard() == typedAnswer.toUtf8();
                 }),
                 app.log.constData());

        session.key({KEY_ESC});
        QVERIFY2(eventually([&] { return !session.window(u"Lexwick"_s); }), app.log.constData());
        Lexwick second(session, platform);
        QCOMPARE(second.finish(), 0);
        QVERIFY2(eventually([&] { return (popover = session.window(u"Lexwick"_s)).has_value(); }),
                 app.log.constData());
        QVERIFY2(eventually([&] {
                     popover = session.window(u"Lexwick"_s);
                     return popover && popover->active;
                 }),
                 "the popover opened by a second start has the focus");
        QTest::qWait(500); // Qt takes the focus a moment after KWin gives it
        session.key({KEY_ESC});
        QVERIFY2(eventually([&] { return !session.window(u"Lexwick"_s); }), app.log.constData());

        Lexwick filter(session, platform, {u"correct"_s}, {}, Lexwick::Input::Piped);
        QCOMPARE(filter.finish("Helo from the filter\n"), 0);
        QVERIFY2(filter.log.contains(filterAnswer.toUtf8()), filter.log.constData());

        // Text selected in another application, the command started by a shortcut: the
        // desktop's shortcut daemon hands it an activation token as a launcher does.
        SelectionOwner other(session, u"Helo from elsewhere"_s);
        QVERIFY(other.select(session));
        Lexwick command(session, platform, {u"correct"_s},
                        {u"XDG_ACTIVATION_TOKEN="_s + session.activationToken()});
        // Through Xwayland, KWin hands a Wayland window's selection to X only while an X window
        // has the focus: the popover opens when the selection cannot be read without it.
        QVERIFY2(command.finish() == 0, command.log.constData());
        // Read afterwards: wl-paste takes no focus on KWin, but nothing may disturb the step.
        QCOMPARE(session.clipboard().value_or(QByteArray()), selectionAnswer.toUtf8());
    }

    // Without a tray the popover is a window; the command, given a token as a launcher gives
    // it, brings that window the focus and corrects the other application's selection.
    void theWindowTakesTheFocusWithoutATray()
    {
        Desktop desktop({.panel = false});
        const PlasmaSession& session = desktop.session;
        QVERIFY2(session.failure().isEmpty(), qPrintable(session.failure()));
        Lexwick app(session, u"wayland"_s);
        QVERIFY2(eventually([&] { return session.window(u"Lexwick"_s).has_value(); }),
                 app.log.constData());

        SelectionOwner other(session, u"Helo from elsewhere"_s);
        QVERIFY(other.select(session));
        QVERIFY(eventually([&] {
            const auto lexwick = session.window(u"Lexwick"_s);
            return lexwick && !lexwick->active;
        }));
        const QString token = session.activationToken();
        QVERIFY2(!token.isEmpty(), "KWin grants a launcher a token");
        Lexwick command(session, u"wayland"_s, {u"correct"_s},
                        {u"XDG_ACTIVATION_TOKEN="_s + token});
        // KWin refuses the focus to a window that asks without the token, and unfocused the
        // window reads no selection ("No text selected"). The focus itself may last too short
        // a moment to be seen from here.
        QVERIFY2(command.finish() == 0, command.log.constData());
        QCOMPARE(session.clipboard().value_or(QByteArray()), selectionAnswer.toUtf8());
    }

    // Started before the panel, Lexwick docks its icon once the panel's tray comes up.
    void theIconDocksOnALatePanel()
    {
        Desktop desktop({.panel = false});
        PlasmaSession& session = desktop.session;
        QVERIFY2(session.failure().isEmpty(), qPrintable(session.failure()));
        Lexwick app(session, u"wayland"_s);
        QVERIFY2(eventually([&] { return app.logged("status bar"); }), app.log.constData());

        QVERIFY(session.startPanel());
        const bool docked = eventually([&] { return !trayItems(session).isEmpty(); });
        keep(session.screenshot(*session.panelArea()), u"late-panel"_s);
        QVERIFY2(docked, app.log.constData());
    }
};

LEXWICK_TEST(PlasmaEndToEndTest)
#include "PlasmaEndToEndTest.moc"
