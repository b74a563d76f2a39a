// SPDX-License-Identifier: MIT
#include "FakeTrayWatcher.h"
#include "settings/SettingsManager.h"
#include "settings/UserDefaults.h"
#include "support/BackgroundTestHttpServer.h"
#include "support/Expect.h"
#include "support/TestMain.h"
#include "X11Session.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>

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
constexpr QPoint providerChipInPopover(30, 492);
// On the settings screen: the on-device card and Done.
constexpr QPoint localCardInSettings(200, 140);
constexpr QPoint doneButtonInSettings(353, 526);

// The real binary on a desktop of its own, using a model server on loopback. A text that says
// "slowly" is answered after three seconds.
struct Desktop {
    X11Session session;
    BackgroundTestHttpServer modelServer;

    explicit Desktop(X11Session::Options options, const QString& mode = u"local"_s)
        : session(options)
    {
        modelServer.setHandler([](const ReceivedRequest& request) {
            if (request.path.endsWith("/models"))
                return ScriptedReply::json(200, R"({"data":[{"id":"m"}]})");
            ScriptedReply reply = ScriptedReply::json(
                200, chatAnswer(request.body.contains("elsewhere") ? selectionAnswer : answer));
            if (request.body.contains("slowly"))
                reply.delay = std::chrono::seconds(3);
            return reply;
        });
        // A user who has been through the onboarding and chose a provider mode.
        const QString config = session.homePath(u".config/Lexwick"_s);
        QDir().mkpath(config);
        UserDefaults defaults(config + u"/defaults.cbor"_s);
        defaults.setObject(mode, SettingsManager::providerModeKey);
        defaults.setObject(modelServer.url(u"/v1"_s).toString(), SettingsManager::localServerKey);
        defaults.setBool(true, SettingsManager::onboardingKey);
    }
};

// One run of the application, its log collected as it comes.
struct Lexwick {
    std::unique_ptr<QProcess> process;
    QByteArray log;

    explicit Lexwick(const X11Session& session, const QStringList& environment = {})
        : process(session.start(QStringLiteral(LEXWICK_BINARY)))
    {
        QProcessEnvironment variables = process->processEnvironment();
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
};

// How many pixels of the image are near the colour.
qsizetype pixelsLike(const QImage& image, QColor colour)
{
    qsizetype count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green()) +
                    std::abs(pixel.blue() - colour.blue()) <
                60)
                ++count;
        }
    }
    return count;
}

// The accessible tree of the application as a screen reader reads it, one "role|name|states"
// line per object; empty when the walk failed.
QStringList accessibleTree(const X11Session& session)
{
    const auto out = session.run(QStringLiteral(LEXWICK_ACCESSIBLE_TREE), {u"Lexwick"_s});
    QStringList lines = QString::fromUtf8(out.value_or(QByteArray())).split(u'\n');
    for (QString& line : lines)
        line = line.trimmed();
    return lines;
}

// The tree's objects of that role and name, with at least these states.
bool hasObject(const QStringList& tree, const QString& role, const QString& name,
               const QStringList& states = {})
{
    return std::any_of(tree.begin(), tree.end(), [&](const QString& line) {
        const QStringList fields = line.split(u'|');
        if (fields.size() != 3 || fields[0] != role || fields[1] != name)
            return false;
        const QStringList has = fields[2].split(u',');
        return std::all_of(states.begin(), states.end(),
                           [&](const QString& state) { return has.contains(state); });
    });
}

// The light palette's colours as the theme makes them readable: the error line's red, and the
// process button's orange while a request runs (behind white text).
const QColor red(0xa4, 0x26, 0x1f);
const QColor orange(0xae, 0x65, 0x00);

// The corrections of the texts selected in other programs; a text that says "slowly" is
// answered after three seconds.
void answerCorrections(BackgroundTestHttpServer& modelServer)
{
    modelServer.setHandler([](const ReceivedRequest& request) {
        if (request.path.endsWith("/models"))
            return ScriptedReply::json(200, R"({"data":[{"id":"m"}]})");
        const QList<std::pair<QByteArray, QString>> corrections{
            {"fox jumpd over", u"fox jumped over"_s},
            {"Teh end", u"The end"_s},
            {"slowly hom", u"slowly home"_s},
            {"helo", u"hello"_s}};
        QString corrected = u"?"_s;
        for (const auto& [text, correction] : corrections) {
            if (request.body.contains(text)) {
                corrected = correction;
                break;
            }
        }
        ScriptedReply reply = ScriptedReply::json(200, chatAnswer(corrected));
        if (request.body.contains("slowly"))
            reply.delay = std::chrono::seconds(3);
        return reply;
    });
}

// The id of the visible window of this class, once it has one.
std::optional<QString> windowOfClass(const X11Session& session, const QString& windowClass)
{
    std::optional<QString> id;
    eventually([&] {
        const auto found =
            session.run(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--class"_s, windowClass});
        if (found && !found->trimmed().isEmpty())
            id = QString::fromLatin1(found->trimmed().split('\n').first());
        return id.has_value();
    });
    return id;
}

// Another program on the test's desktop, ended with the test.
struct Program {
    std::unique_ptr<QProcess> process;

    Program(const X11Session& session, const QString& program, const QStringList& arguments)
        : process(session.start(program, arguments))
    {
        process->start();
    }
    ~Program()
    {
        process->kill();
        process->waitForFinished();
    }
};

QByteArray fileContents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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
        QVERIFY2(
            eventually([&] { return (popover = session.visibleWindow(u"Lexwick"_s)).has_value(); }),
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
        QVERIFY(session.run(u"xclip"_s, {u"-selection"_s, u"primary"_s}, "Helo from elsewhere"));
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

    // A request belongs to whoever started it: the command's checks, its progress and its
    // answer never show in the popover, the popover's Copy copies only what it shows, and an
    // error about a provider goes once the user has chosen another.
    void requestsBelongToTheirCaller()
    {
        Desktop desktop({.tray = true}, u"custom"_s); // and no key
        const X11Session& session = desktop.session;
        QVERIFY2(session.failure().isEmpty(), qPrintable(session.failure()));
        Lexwick app(session);
        QVERIFY2(eventually([&] { return app.logged("status bar ready"); }), app.log.constData());
        const auto clipboard = [&] {
            return session.run(u"xclip"_s, {u"-selection"_s, u"clipboard"_s, u"-o"_s})
                .value_or(QByteArray());
        };
        const auto command = [&](const QString& action, const QByteArray& selection) {
            session.run(u"xclip"_s, {u"-selection"_s, u"primary"_s}, selection);
            auto process = session.start(QStringLiteral(LEXWICK_BINARY), {action});
            process->setStandardInputFile(QProcess::nullDevice());
            process->start();
            return process;
        };
        std::optional<QRect> popover;
        const auto shown = [&] {
            popover = session.visibleWindow(u"Lexwick"_s);
            return popover ? session.screenshot(*popover) : QImage();
        };

        // The command's refusal of an e-mail address is its own.
        auto refused = command(u"paraphrase"_s, "write to ann@example.com");
        QVERIFY(refused->waitForFinished(30'000));
        QCOMPARE(refused->exitCode(), 1);
        session.click(session.trayArea()->center());
        QVERIFY(eventually([&] { return !shown().isNull(); }));
        QTest::qWait(300); // the first frame
        QCOMPARE(pixelsLike(shown(), red), 0);

        // The popover's own error, about the missing key, goes when the user picks the model
        // on this machine.
        session.type(u"Helo world"_s);
        session.key(u"ctrl+Return"_s);
        QVERIFY2(eventually([&] { return pixelsLike(shown(), red) > 20; }), app.log.constData());
        session.click(popover->topLeft() + providerChipInPopover);
        QVERIFY(eventually([&] { return shown().height() == 550; }));
        session.click(popover->topLeft() + localCardInSettings);
        QVERIFY(eventually([&] { return app.logged("Lexwick: showing settings"); }));
        session.click(popover->topLeft() + doneButtonInSettings);
        QVERIFY2(eventually([&] { return shown().height() == 520; }), app.log.constData());
        QTest::qWait(300);
        QCOMPARE(pixelsLike(shown(), red), 0);

        // While the command's request runs, the popover is idle: no orange Cancel button.
        auto slow = command(u"correct"_s, "slowly, from elsewhere");
        QVERIFY(eventually(
            [&] { return desktop.modelServer.requests().last().body.contains("slowly"); }));
        QCOMPARE(pixelsLike(shown(), orange), 0);
        QVERIFY(slow->waitForFinished(30'000));
        QCOMPARE(slow->exitCode(), 0);
        QCOMPARE(clipboard(), selectionAnswer.toUtf8());

        // Its own request runs (orange); Copy under the spinner leaves the clipboard alone.
        session.key(u"ctrl+a"_s);
        session.type(u"Helo slowly"_s);
        session.key(u"ctrl+Return"_s);
        QVERIFY(eventually([&] { return pixelsLike(shown(), orange) > 100; }));
        session.click(popover->topLeft() + copyButtonInPopover);
        QTest::qWait(300);
        QCOMPARE(clipboard(), selectionAnswer.toUtf8());
        QVERIFY(eventually([&] { return pixelsLike(shown(), orange) == 0; }));
        session.click(popover->topLeft() + copyButtonInPopover);
        QVERIFY(eventually([&] { return clipboard() == answer.toUtf8(); }));
    }

    // Start-up waits for a tray only while there is none, and no longer once one appears: an
    // XEmbed tray that starts after Lexwick, or a panel's StatusNotifierWatcher.
    void startsOnceATrayAppears()
    {
        {
            Desktop desktop({.tray = false});
            const X11Session& session = desktop.session;
            QVERIFY2(session.failure().isEmpty(), qPrintable(session.failure()));
            Lexwick app(session);
            QVERIFY2(eventually([&] { return app.logged("tray: waiting"); }), app.log.constData());
            QVERIFY(desktop.session.startTray());
            QVERIFY2(eventually([&] { return app.logged("status bar ready"); }),
                     app.log.constData());
            QVERIFY2(app.logged("tray: appeared"), app.log.constData());
            // The icon docked: it opens the popover.
            session.click(session.trayArea()->center());
            QVERIFY(eventually([&] { return session.visibleWindow(u"Lexwick"_s).has_value(); }));
        }
        {
            Desktop desktop({.tray = false});
            const X11Session& session = desktop.session;
            QVERIFY2(session.failure().isEmpty(), qPrintable(session.failure()));
            Lexwick app(session);
            QVERIFY2(eventually([&] { return app.logged("tray: waiting"); }), app.log.constData());
            FakeTrayWatcher watcher;
            QVERIFY(watcher.registerOn(session.environment().value(u"DBUS_SESSION_BUS_ADDRESS"_s)));
            QVERIFY2(eventually([&] { return app.logged("status bar ready"); }),
                     app.log.constData());
            QVERIFY2(app.logged("tray: appeared"), app.log.constData());
            QVERIFY(eventually([&] { return !watcher.items().isEmpty(); }));
            QVERIFY(!session.visibleWindow(u"Lexwick"_s));
        }
    }

    // No animation runs unseen. Once the popover has been used and closed, Lexwick sleeps;
    // open and idle, only the input's cursor blinks. Counted as the times its threads woke.
    void nothingRunsUnseen()
    {
        Desktop desktop({.tray = true});
        const X11Session& session = desktop.session;
        QVERIFY2(session.failure().isEmpty(), qPrintable(session.failure()));
        Lexwick app(session);
        QVERIFY2(eventually([&] { return app.logged("status bar ready"); }), app.log.constData());
        const QPoint icon = session.trayArea()->center();
        std::optional<QRect> popover;
        const auto shown = [&] {
            popover = session.visibleWindow(u"Lexwick"_s);
            return popover ? session.screenshot(*popover) : QImage();
        };

        // A use: a request with its spinner, to its answer.
        session.click(icon);
        QVERIFY(eventually([&] { return !shown().isNull(); }));
        session.type(u"Helo slowly"_s);
        session.key(u"ctrl+Return"_s);
        QVERIFY2(eventually([&] { return pixelsLike(shown(), orange) > 100; }),
                 app.log.constData());
        QVERIFY(eventually([&] { return pixelsLike(shown(), orange) == 0; }));

        session.key(u"Escape"_s);
        QVERIFY(eventually([&] { return !session.visibleWindow(u"Lexwick"_s); }));
        QTest::qWait(1000); // what closing set going
        const auto closed = wakeupsPerSecond(app.process->processId(), std::chrono::seconds(10));
        QVERIFY(closed);
        QVERIFY2(*closed <= 0.2, qPrintable(u"closed: %1 wakeups a second"_s.arg(*closed)));

        session.click(icon);
        QVERIFY(eventually([&] { return !shown().isNull(); }));
        QTest::qWait(1000);
        const auto open = wakeupsPerSecond(app.process->processId(), std::chrono::seconds(10));
        QVERIFY(open);
        QVERIFY2(*open <= 3, qPrintable(u"open: %1 wakeups a second"_s.arg(*open)));
    }

    // The shortcut's command corrects the text selected in an editor in place: the answer is
    // pasted with Ctrl+V, also while the shortcut's modifiers are still held, and not at all
    // once the editor has lost the focus; the clipboard keeps the answer.
    void theSelectionIsReplacedInPlace()
    {
        Desktop desktop({.tray = true});
        const X11Session& session = desktop.session;
        QVERIFY2(session.failure().isEmpty(), qPrintable(session.failure()));
        answerCorrections(desktop.modelServer);
        Lexwick app(session);
        QVERIFY2(eventually([&] { return app.logged("status bar ready"); }), app.log.constData());

        const QString path = session.homePath(u"letter.txt"_s);
        QByteArray text = "The quick brown fox jumpd over the lazy dog.\n"
                          "It walks slowly hom.\n"
                          "Teh end.\n";
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(text);
        }
        Program editor(session, u"mousepad"_s, {path});
        const auto editorWindow = windowOfClass(session, u"Mousepad"_s);
        QVERIFY2(editorWindow, editor.process->readAll().constData());
        QTest::qWait(500); // the file shows

        // Selects `length` characters from the column of the line with the keyboard.
        const auto select = [&](int line, int column, int length) {
            session.run(u"xdotool"_s, {u"windowactivate"_s, u"--sync"_s, *editorWindow});
            session.key(u"ctrl+Home"_s);
            for (const auto& [key, count] :
                 {std::pair{u"Down"_s, line}, {u"Right"_s, column}, {u"shift+Right"_s, length}}) {
                if (count > 0)
                    session.run(u"xdotool"_s, {u"key"_s, u"--repeat"_s, QString::number(count),
                                               u"--delay"_s, u"5"_s, key});
            }
        };
        const auto primary = [&] {
            return session.run(u"xclip"_s, {u"-selection"_s, u"primary"_s, u"-o"_s})
                .value_or(QByteArray());
        };
        const auto clipboard = [&] {
            return session.run(u"xclip"_s, {u"-selection"_s, u"clipboard"_s, u"-o"_s})
                .value_or(QByteArray());
        };
        const auto startCorrect = [&] {
            auto command = session.start(QStringLiteral(LEXWICK_BINARY), {u"correct"_s});
            command->setStandardInputFile(QProcess::nullDevice()); // as a desktop shortcut
            command->start();
            return command;
        };
        // The editor asks for the clipboard once it has the paste key and inserts the answer
        // when it comes, so a save may come first: it saves again until the file holds the text.
        const auto saved = [&] {
            for (int attempt = 0; attempt < 5; ++attempt) {
                session.run(u"xdotool"_s, {u"windowactivate"_s, u"--sync"_s, *editorWindow});
                session.key(u"ctrl+s"_s);
                if (eventually([&] { return fileContents(path) == text; }, std::chrono::seconds(1)))
                    return true;
            }
            return false;
        };

        // Selected, corrected, saved: the phrase changed and nothing else.
        select(0, 16, 14);
        QVERIFY(eventually([&] { return primary() == "fox jumpd over"; }));
        auto command = startCorrect();
        QVERIFY(command->waitForFinished(30'000));
        QVERIFY2(command->exitCode() == 0, command->readAll().constData());
        text.replace("jumpd", "jumped");
        QVERIFY2(saved(), fileContents(path).constData());
        QCOMPARE(clipboard(), "fox jumped over");
        const QString picture = QDir::temp().filePath(u"lexwick-replaced-selection.png"_s);
        const auto geometry = session.visibleWindow(u".*Mousepad"_s);
        QVERIFY(geometry && session.screenshot(*geometry).save(picture));
        qInfo("The editor after the correction: %s", qPrintable(picture));

        // Ctrl and Alt still down from the shortcut when the answer comes: they are released
        // first, and the paste is a plain Ctrl+V.
        select(2, 0, 7);
        QVERIFY(eventually([&] { return primary() == "Teh end"; }));
        session.run(u"xdotool"_s, {u"keydown"_s, u"ctrl+alt"_s});
        command = startCorrect();
        QVERIFY(command->waitForFinished(30'000));
        session.run(u"xdotool"_s, {u"keyup"_s, u"ctrl+alt"_s});
        QVERIFY2(command->exitCode() == 0, command->readAll().constData());
        text.replace("Teh end", "The end");
        QVERIFY2(saved(), fileContents(path).constData());

        // The editor loses the focus to a terminal while the model works: nothing is pasted,
        // neither there nor in the terminal, and the answer waits on the clipboard.
        const QString typed = session.homePath(u"typed.txt"_s);
        // Any paste key would paste there.
        Program terminal(session, u"xterm"_s,
                         {u"-xrm"_s,
                          u"XTerm*VT100.translations: #override Ctrl <Key>V: "
                          "insert-selection(CLIPBOARD)"_s,
                          u"-e"_s, u"sh"_s, u"-c"_s, u"cat > \"$0\""_s, typed});
        const auto terminalWindow = windowOfClass(session, u"XTerm"_s);
        QVERIFY(terminalWindow);
        select(1, 9, 10);
        QVERIFY(eventually([&] { return primary() == "slowly hom"; }));
        command = startCorrect();
        QVERIFY(eventually(
            [&] { return desktop.modelServer.requests().last().body.contains("slowly"); }));
        session.run(u"xdotool"_s, {u"windowactivate"_s, u"--sync"_s, *terminalWindow});
        QVERIFY(command->waitForFinished(30'000));
        QVERIFY2(command->exitCode() == 0, command->readAll().constData());
        QCOMPARE(clipboard(), "slowly home");
        session.type(u"typed"_s);
        session.key(u"Return"_s);
        QVERIFY(
            eventually([&] { return !fileContents(typed).isEmpty(); }, std::chrono::seconds(5)));
        QCOMPARE(fileContents(typed), "typed\n");
        QVERIFY2(saved(), fileContents(path).constData()); // unchanged
    }

    // A terminal gets Ctrl+Shift+V, since its Ctrl+V is a control character of its own.
    void aTerminalGetsItsPasteKey()
    {
        Desktop desktop({.tray = true});
        const X11Session& session = desktop.session;
        QVERIFY2(session.failure().isEmpty(), qPrintable(session.failure()));
        answerCorrections(desktop.modelServer);
        Lexwick app(session);
        QVERIFY2(eventually([&] { return app.logged("status bar ready"); }), app.log.constData());

        // xterm binds the key to the clipboard as its users do; its own default is no paste.
        const QString typed = session.homePath(u"typed.txt"_s);
        Program terminal(session, u"xterm"_s,
                         {u"-xrm"_s,
                          u"XTerm*VT100.translations: #override Ctrl Shift <Key>V: "
                          "insert-selection(CLIPBOARD)"_s,
                          u"-e"_s, u"sh"_s, u"-c"_s, u"echo helo wrld; stty -icanon; cat > \"$0\""_s, typed});
        const auto terminalWindow = windowOfClass(session, u"XTerm"_s);
        QVERIFY(terminalWindow);
        QTest::qWait(500); // the line shows
        // A double click on the first word of the first line selects it.
        session.run(u"xdotool"_s,
                    {u"mousemove"_s, u"--window"_s, *terminalWindow, u"8"_s, u"6"_s, u"click"_s,
                     u"--repeat"_s, u"2"_s, u"--delay"_s, u"100"_s, u"1"_s});
        QVERIFY(eventually([&] {
            return session.run(u"xclip"_s, {u"-selection"_s, u"primary"_s, u"-o"_s}) == "helo";
        }));

        auto command = session.start(QStringLiteral(LEXWICK_BINARY), {u"correct"_s});
        command->setStandardInputFile(QProcess::nullDevice());
        command->start();
        QVERIFY(command->waitForFinished(30'000));
        QVERIFY2(command->exitCode() == 0, command->readAll().constData());
        // Without line editing each character reaches the file as the terminal receives it; the
        // paste arrives after the command has ended, once xterm has asked for the clipboard.
        QVERIFY2(eventually([&] { return fileContents(typed) == "hello"; }, std::chrono::seconds(5)),
                 fileContents(typed).constData());
        QTest::qWait(300); // and nothing after it
        QCOMPARE(fileContents(typed), "hello");
    }

    // A screen reader, through AT-SPI, finds every control of the main, settings and history
    // screens with its role, name and state; the screens are reached with the keyboard.
    void aScreenReaderReadsEveryScreen()
    {
        Desktop desktop({.tray = true});
        const X11Session& session = desktop.session;
        QVERIFY2(session.failure().isEmpty(), qPrintable(session.failure()));
        Lexwick app(session, {u"QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"_s});
        QVERIFY2(eventually([&] { return app.logged("status bar ready"); }), app.log.constData());
        session.click(session.trayArea()->center());
        QVERIFY(eventually([&] { return session.visibleWindow(u"Lexwick"_s).has_value(); }));
        QStringList tree;
        const auto read = [&](const QString& role, const QString& name) {
            return eventually([&] {
                tree = accessibleTree(session);
                return hasObject(tree, role, name);
            });
        };

        QVERIFY2(read(u"text"_s, u"Your Text"_s), qPrintable(tree.join(u'\n')));
        const auto expect = [&](const QString& role, const QString& name,
                                const QStringList& states = {u"focusable"_s}) {
            QVERIFY2(hasObject(tree, role, name, states),
                     qPrintable(role + u'|' + name + u" in\n"_s + tree.join(u'\n')));
        };
        expect(u"text"_s, u"Your Text"_s, {u"focusable"_s, u"focused"_s});
        for (const QString& button : {u"History"_s, u"Settings"_s, u"Close"_s, u"Quit"_s})
            expect(u"push button"_s, button);
        expect(u"radio button"_s, u"Correct"_s, {u"checked"_s, u"focusable"_s});
        expect(u"radio button"_s, u"Paraphrase"_s);
        expect(u"radio button"_s, u"Explain"_s);
        expect(u"push button"_s, u"Correct"_s, {}); // the process button, disabled while empty
        expect(u"label"_s, u"0 of 5000 characters"_s, {});
        expect(u"push button"_s, u"Using on-device AI (private, no internet required)"_s);

        // Shift+Tab from the text reaches Close, Settings, then History.
        for (int i = 0; i < 3; ++i)
            session.key(u"shift+Tab"_s);
        session.key(u"Return"_s);
        QVERIFY2(read(u"text"_s, u"Search history"_s), qPrintable(tree.join(u'\n')));
        expect(u"push button"_s, u"Close"_s);
        expect(u"push button"_s, u"Done"_s);

        // Back by the history's Close (Shift+Tab from the search), then to the settings.
        session.key(u"shift+Tab"_s);
        session.key(u"Return"_s);
        QVERIFY(eventually([&] { return app.logged("Lexwick: showing main"); }));
        QTest::qWait(500); // the main screen fades in and focuses its text
        session.key(u"shift+Tab"_s);
        session.key(u"shift+Tab"_s);
        session.key(u"Return"_s);
        QVERIFY2(read(u"push button"_s, u"Quit Lexwick"_s), qPrintable(tree.join(u'\n')));
        for (const QString& card : {u"On-Device (Local Model)"_s, u"Custom API Key"_s})
            expect(u"radio button"_s, card, {});
        expect(u"check box"_s, u"Detect Sensitive Data (PII)"_s, {u"checked"_s, u"focusable"_s});
        expect(u"text"_s, u"Local model server address"_s);
        expect(u"combo box"_s, u"Local model"_s);
        for (const QString& row : {u"Keyboard shortcuts"_s, u"Restart Onboarding"_s,
                                   u"Quit Lexwick"_s, u"Done"_s, u"Close"_s})
            expect(u"push button"_s, row);
    }

    // Without a tray the popover is an ordinary window that stays open when it loses focus.
    void windowWithoutTray()
    {
        Desktop desktop({.tray = false});
        const X11Session& session = desktop.session;
        QVERIFY2(session.failure().isEmpty(), qPrintable(session.failure()));

        Lexwick app(session);
        QVERIFY2(
            eventually([&] { return app.logged("ERROR – failed to create status bar button"); }),
            app.log.constData());
        std::optional<QRect> window;
        QVERIFY(
            eventually([&] { return (window = session.visibleWindow(u"Lexwick"_s)).has_value(); }));

        session.click(QPoint(5, 795)); // the desktop, outside the window
        QTest::qWait(500);
        QVERIFY(session.visibleWindow(u"Lexwick"_s));
    }
};

LEXWICK_TEST(EndToEndTest)
#include "EndToEndTest.moc"
