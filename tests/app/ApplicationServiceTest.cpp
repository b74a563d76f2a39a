// SPDX-License-Identifier: MIT
#include "app/ApplicationService.h"
#include "app/DesktopNotifier.h"
#include "app/Pasteboard.h"
#include "app/ServicesProvider.h"
#include "history/HistoryManager.h"
#include "support/Expect.h"
#include "support/LogCapture.h"
#include "support/RouterFixture.h"
#include "support/TestMain.h"
#include "ui/PopoverView.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QGuiApplication>
#include <QProcess>

#include <csignal>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

namespace {

const QString lexwickBinary = QStringLiteral(LEXWICK_BINARY);

// A session bus of our own: a dbus-daemon whose activatable services live in a folder of the
// test's. It ends with the object.
class TestBus {
public:
    // What an activated Lexwick sees: no display (offscreen, or none at all), and files of its
    // own.
    explicit TestBus(bool offscreen = true)
    {
        services = dir.filePath(u"services"_s);
        QDir().mkpath(services);
        QFile config(dir.filePath(u"bus.conf"_s));
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("<busconfig>\n"
                                    "  <type>session</type>\n"
                                    "  <listen>unix:dir=%1</listen>\n"
                                    "  <servicedir>%2</servicedir>\n"
                                    "  <policy context=\"default\">\n"
                                    "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                                    "    <allow eavesdrop=\"true\"/>\n"
                                    "    <allow own=\"*\"/>\n"
                                    "  </policy>\n"
                                    "</busconfig>\n")
                         .arg(dir.path(), services)
                         .toUtf8());
        config.close();

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (offscreen) {
            environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        } else {
            for (const QString& name : {u"QT_QPA_PLATFORM"_s, u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s})
                environment.remove(name);
        }
        environment.insert(u"XDG_CONFIG_HOME"_s, dir.filePath(u"config"_s));
        environment.insert(u"XDG_DATA_HOME"_s, dir.filePath(u"data"_s));
        daemon.setProcessEnvironment(environment);
        daemon.start(u"dbus-daemon"_s, {u"--nofork"_s, u"--print-address=1"_s,
                                        u"--config-file="_s + config.fileName()});
        if (daemon.waitForReadyRead(10000))
            address = QString::fromUtf8(daemon.readLine().trimmed());
    }

    ~TestBus()
    {
        for (const QString& name : connections)
            QDBusConnection::disconnectFromBus(name);
        daemon.terminate();
        daemon.waitForFinished(5000);
    }

    QDBusConnection connect(const QString& name)
    {
        connections.append(name);
        return QDBusConnection::connectToBus(address, name);
    }

    QTemporaryDir dir;
    QString services;
    QProcess daemon;
    QString address;
    QStringList connections;
};

// A notification server that keeps what it is shown. It answers with the id it was asked to
// replace, or a new one, as servers do.
class NotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown {
        uint replaces;
        QString icon;
        QString summary;
        QString body;
        QVariantMap hints;
    };
    QList<Shown> shown;
    QStringList summaries;
    uint lastId = 0;

public Q_SLOTS:
    uint Notify(const QString&, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap& hints, int)
    {
        shown.append({replaces, icon, summary, body, hints});
        summaries.append(summary);
        return replaces != 0 ? replaces : ++lastId;
    }

Q_SIGNALS:
    void NotificationClosed(uint id, uint reason);
};

// Calls Lexwick's object without waiting. (A QDBusInterface would first ask for the object's
// description, and wait for it, which this process cannot give while it waits.)
QDBusPendingCall callLexwick(QDBusConnection connection, const QString& interface,
                             const QString& method, const QVariantList& arguments = {})
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        ApplicationService::serviceName, ApplicationService::objectPath, interface, method);
    call.setArguments(arguments);
    return connection.asyncCall(call);
}

// Starts the `lexwick` command on the bus; `input` goes to its standard input, which is
// /dev/null (as under a desktop's keyboard shortcut) when there is none.
std::unique_ptr<QProcess> startCommand(const QString& bus, const QStringList& arguments,
                                       std::optional<QByteArray> input = std::nullopt)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, bus);
    process->setProcessEnvironment(environment);
    if (!input)
        process->setStandardInputFile(QProcess::nullDevice());
    process->start(lexwickBinary, arguments);
    if (input) {
        process->write(*input);
        process->closeWriteChannel();
    }
    return process;
}

// The window a selection was read from, as the test sets it: there or not, and with or
// without the focus by the time the answer comes. It keeps what the clipboard held when it was
// pasted into.
struct Window {
    bool exists = false;
    bool focused = true;
    int taken = 0;
    QStringList pasted;
};

class FakePasteTarget : public PasteTarget {
public:
    explicit FakePasteTarget(Window& window)
        : m_window(window)
    {
    }

    QCoro::Task<bool> paste() override
    {
        if (m_window.focused)
            m_window.pasted.append(QGuiApplication::clipboard()->text());
        co_return m_window.focused;
    }

private:
    Window& m_window;
};

// One run of the `lexwick` command.
struct CommandRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Lexwick's object on the test bus, on a router whose provider is the local server. The
// selection is the (offscreen) clipboard, and the result goes back there.
struct Fixture {
    TestBus bus;
    RouterFixture app{{.storedMode = u"custom"_s}};
    ServicesProvider services{*app.router};
    NotificationServer notifications;
    Window window;
    bool replacesSelection = true; // the setting
    std::unique_ptr<ApplicationService> service;
    QDBusConnection connection = bus.connect(u"lexwick"_s);
    QDBusConnection notificationConnection = bus.connect(u"notifications"_s);

    QStringList activations;   // the tokens the popover was opened with
    QStringList popoverTokens; // those of the requests run in the popover (Wayland)

    explicit Fixture(bool ready = true, bool inPopover = false)
    {
        ApplicationService::Platform platform;
        platform.activate = [this](const QString& token) { activations.append(token); };
        if (inPopover) {
            platform.runInPopover = [this](TextAction, bool,
                                           QString token) -> QCoro::Task<SelectionOutcome> {
                popoverTokens.append(token);
                co_return false;
            };
        }
        platform.selection = [] {
            return std::make_shared<ClipboardPasteboard>(QClipboard::Clipboard,
                                                         QClipboard::Clipboard);
        };
        platform.pasteTarget = [this]() -> std::unique_ptr<PasteTarget> {
            ++window.taken;
            return window.exists ? std::make_unique<FakePasteTarget>(window) : nullptr;
        };
        platform.replacesSelection = [this] { return replacesSelection; };
        service = std::make_unique<ApplicationService>(connection, platform);
        connection.registerObject(ApplicationService::objectPath, service.get(),
                                  QDBusConnection::ExportAdaptors);
        connection.registerService(ApplicationService::serviceName);
        notificationConnection.registerObject(u"/org/freedesktop/Notifications"_s, &notifications,
                                              QDBusConnection::ExportAllSlots |
                                                  QDBusConnection::ExportAllSignals);
        notificationConnection.registerService(u"org.freedesktop.Notifications"_s);
        if (ready)
            service->setServicesProvider(&services);
    }

    void answer(const QString& text)
    {
        app.provider.enqueue(ScriptedReply::json(200, chatAnswer(text)));
    }

    std::unique_ptr<QProcess> start(const QStringList& arguments,
                                    std::optional<QByteArray> input = std::nullopt)
    {
        return startCommand(bus.address, arguments, std::move(input));
    }

    // Waits for the command while this process serves its calls.
    static CommandRun finish(QProcess& process)
    {
        QSignalSpy finished(&process, &QProcess::finished);
        if (process.state() != QProcess::NotRunning && !finished.wait(60000))
            return {};
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    CommandRun run(const QStringList& arguments, std::optional<QByteArray> input = std::nullopt)
    {
        auto process = start(arguments, std::move(input));
        return finish(*process);
    }

    QString clipboard() const { return QGuiApplication::clipboard()->text(); }
    void select(const QString& text) { QGuiApplication::clipboard()->setText(text); }
};

} // namespace

class ApplicationServiceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(!TestBus().address.isEmpty()); }

    void theSelection()
    {
        Fixture f;
        LogCapture log;
        f.select(u"teh cat"_s);
        f.answer(u"the cat"_s);
        CommandRun run = f.run({u"correct"_s});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out + run.err, QString());
        QCOMPARE(f.clipboard(), u"the cat"_s);
        QVERIFY(log.lines().contains(u"Lexwick: Lexwick - Correct completed"_s));
        QTRY_COMPARE(f.notifications.summaries, QStringList{ApplicationService::copiedMessage()});
        const std::optional<LogCapture::Entry> completed = log.find(u"Lexwick: Lexwick - "_s);
        QVERIFY(completed && completed->type == QtInfoMsg);

        f.select(u"hey, u coming?"_s);
        f.answer(u"Will you be attending?"_s);
        QCOMPARE(f.run({u"paraphrase"_s}).exitCode, 0);
        QCOMPARE(f.clipboard(), u"Will you be attending?"_s);
        QVERIFY(f.app.provider.requests().last().body.contains(
            instruction(ToneOption::formal).toUtf8()));

        f.select(QString());
        run = f.run({u"explain"_s});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, u"lexwick: No text selected\n"_s);
        QTRY_COMPARE(f.notifications.summaries.last(),
                     ApplicationService::failedMessage(TextAction::explain));
        QCOMPARE(f.notifications.shown.last().body, u"No text selected"_s);

        // Sensitive data: the clipboard keeps the selection.
        f.select(u"mail ann@example.com"_s);
        run = f.run({u"correct"_s});
        const QString message = AIError(AIError::PiiDetected{{PIIType::email}}).errorDescription();
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, u"lexwick: "_s + message + u"\n"_s);
        QCOMPARE(f.clipboard(), u"mail ann@example.com"_s);
        QCOMPARE(log.lines().last(), u"Lexwick: Lexwick Error - "_s + message);
        QCOMPARE(log.entries().last().type, QtWarningMsg);
        QCOMPARE(log.entries().last().category, u"lexwick.dbus"_s);
        QTRY_COMPARE(f.notifications.summaries.size(), 4);
        QCOMPARE(f.notifications.shown.last().body, DesktopNotifier::escapeMarkup(message));
        QCOMPARE(f.notifications.shown.last().icon, u"dialog-error"_s);
        QCOMPARE(f.notifications.shown.last().replaces, 1u); // one notification, replaced
        QCOMPARE(f.app.providerRequests(), 2);
    }

    // Where the selection cannot be read unfocused (Xwayland on some compositors), the popover
    // takes the request; a selection that can be read never opens it.
    void anUnreadableSelectionGoesToThePopover()
    {
        Fixture f(true, true);
        f.select(u"teh cat"_s);
        f.answer(u"the cat"_s);
        QCOMPARE(f.run({u"correct"_s}).exitCode, 0);
        QCOMPARE(f.clipboard(), u"the cat"_s);
        QCOMPARE(f.popoverTokens.size(), 0);

        f.select(QString());
        QCOMPARE(f.run({u"correct"_s}).exitCode, 0);
        QCOMPARE(f.popoverTokens.size(), 1);
        QCOMPARE(f.app.providerRequests(), 1);
    }

    // Help, version and usage errors are the command's own; a text on its standard input is
    // answered on its standard output, and two such runs go at once.
    void theCommandLine()
    {
        Fixture f;
        CommandRun run = f.run({u"--help"_s});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.startsWith(
            u"Usage: lexwick [correct | paraphrase | explain] [--paste | --no-paste]\n"_s));
        QCOMPARE(f.run({u"--version"_s}).out, u"lexwick " LEXWICK_VERSION "\n"_s);
        for (const QStringList& arguments :
             {QStringList{u"fix"_s}, QStringList{u"correct"_s, u"now"_s}, QStringList{u"-h"_s},
              QStringList{u"Correct"_s}, QStringList{u"--paste"_s},
              QStringList{u"correct"_s, u"--paste"_s, u"--no-paste"_s},
              QStringList{u"correct"_s, u"explain"_s}, QStringList{u"--help"_s, u"correct"_s}}) {
            run = f.run(arguments);
            QCOMPARE(run.exitCode, 2);
            QVERIFY(run.out.isEmpty() && run.err.startsWith(u"Usage: lexwick"_s));
        }
        QCOMPARE(f.app.providerRequests(), 0);

        f.select(u"on the clipboard"_s);
        f.answer(u"the cat"_s);
        run = f.run({u"correct"_s}, "teh cat\n");
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, u"the cat\n"_s);
        QVERIFY(f.app.provider.requests().last().body.contains("teh cat\\n"));
        run = f.run({u"paraphrase"_s}, "");
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, u"lexwick: No text selected\n"_s);
        QCOMPARE(f.clipboard(), u"on the clipboard"_s);
        QCOMPARE(f.notifications.summaries, QStringList());

        // Two at once: the second ends while the first waits for its answer.
        f.app.provider.setHandler([](const ReceivedRequest& request) {
            const bool slow = request.body.contains("slow");
            ScriptedReply reply = ScriptedReply::json(200, chatAnswer(slow ? u"1"_s : u"2"_s));
            reply.delay = std::chrono::milliseconds(slow ? 2000 : 0);
            return reply;
        });
        auto slow = f.start({u"explain"_s}, "slow");
        QTRY_COMPARE(f.app.providerRequests(), 2);
        auto fast = f.start({u"explain"_s}, "fast");
        QCOMPARE(Fixture::finish(*fast).out, u"2"_s);
        QCOMPARE(slow->state(), QProcess::Running);
        QCOMPARE(Fixture::finish(*slow).out, u"1"_s);
    }

    // The filter prints the answer as the model writes it; a command stopped with Ctrl+C
    // cancels its request, and the provider's connection closes.
    void theFilterStreams()
    {
        Fixture f;
        ScriptedReply reply = ScriptedReply::eventStream(
            chatStream({u"One"_s, u" two"_s, u" three "_s}), std::chrono::milliseconds(700));
        reply.chunks[1].prepend(reply.chunks.takeFirst());
        f.app.provider.enqueue(reply);
        auto command = f.start({u"explain"_s}, "text\n");
        QByteArray printed;
        QTRY_VERIFY_WITH_TIMEOUT((printed += command->readAllStandardOutput()).startsWith("One"),
                                 10000);
        QCOMPARE(command->state(), QProcess::Running);
        const CommandRun run = Fixture::finish(*command);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(QString::fromUtf8(printed) + run.out, u"One two three\n"_s);
        QCOMPARE(f.app.provider.closedConnections(), 1);

        reply = ScriptedReply::eventStream(chatStream({u"Half"_s, u" more"_s}),
                                           std::chrono::seconds(30));
        reply.chunks[1].prepend(reply.chunks.takeFirst());
        f.app.provider.enqueue(reply);
        command = f.start({u"explain"_s}, "other text");
        printed.clear();
        QTRY_VERIFY_WITH_TIMEOUT((printed += command->readAllStandardOutput()) == "Half", 10000);
        ::kill(pid_t(command->processId()), SIGINT);
        QTRY_COMPARE_WITH_TIMEOUT(f.app.provider.closedConnections(), 2, 5000);
        QVERIFY(f.app.cache.count() == 1);

        // The selection's route waits for the whole answer, and is cancelled alike.
        f.app.provider.enqueue(reply);
        f.select(u"selected text"_s);
        command = f.start({u"correct"_s});
        QTRY_COMPARE_WITH_TIMEOUT(f.app.providerRequests(), 3, 10000);
        QTest::qWait(200);
        QCOMPARE(command->readAllStandardOutput(), QByteArray());
        ::kill(pid_t(command->processId()), SIGINT);
        QTRY_COMPARE_WITH_TIMEOUT(f.app.provider.closedConnections(), 3, 5000);
        QCOMPARE(f.clipboard(), u"selected text"_s);
    }

    // The result replaces the selection in its window when the setting or the call asks for
    // it, the window still has the focus, and the clipboard already holds the result; otherwise
    // it waits on the clipboard. The notification says which. A filter never pastes.
    void theResultReplacesTheSelection()
    {
        Fixture f;
        f.window.exists = true;
        const auto correct = [&f](const QStringList& options, const QString& answer) {
            f.select(u"teh "_s + answer); // never answered from the cache
            f.answer(answer);
            const CommandRun run = f.run(QStringList{u"correct"_s} + options);
            QCOMPARE(run.exitCode, 0);
            QCOMPARE(f.clipboard(), answer); // kept there afterwards too
        };
        correct({}, u"the cat 1"_s);
        QCOMPARE(f.window.pasted, QStringList{u"the cat 1"_s});
        QTRY_COMPARE(f.notifications.summaries, QStringList{ApplicationService::replacedMessage()});

        // Focus lost meanwhile, or a selection of no window that could be told.
        f.window.focused = false;
        correct({}, u"the cat 2"_s);
        QTRY_COMPARE(f.notifications.summaries.last(), ApplicationService::copiedMessage());
        f.window = {.exists = false, .taken = f.window.taken, .pasted = f.window.pasted};
        correct({}, u"the cat 3"_s);
        QTRY_COMPARE(f.notifications.summaries.size(), 3);
        QCOMPARE(f.notifications.summaries.last(), ApplicationService::copiedMessage());
        QCOMPARE(f.window.pasted, QStringList{u"the cat 1"_s});
        QCOMPARE(f.window.taken, 3);

        // The setting says copy; the call may say otherwise, either way.
        f.window.exists = true;
        f.replacesSelection = false;
        correct({}, u"the cat 4"_s);
        QCOMPARE(f.window.taken, 3); // not even looked for
        correct({u"--paste"_s}, u"the cat 5"_s);
        f.replacesSelection = true;
        correct({u"--no-paste"_s}, u"the cat 6"_s);
        correct({u"--paste"_s}, u"the cat 7"_s);
        QCOMPARE(f.window.pasted, (QStringList{u"the cat 1"_s, u"the cat 5"_s, u"the cat 7"_s}));
        QTRY_COMPARE(f.notifications.summaries.size(), 7);
        QCOMPARE(f.notifications.summaries.mid(3),
                 (QStringList{
                     ApplicationService::copiedMessage(), ApplicationService::replacedMessage(),
                     ApplicationService::copiedMessage(), ApplicationService::replacedMessage()}));

        // A failed request pastes nothing; a filter writes to its output alone.
        f.select(QString());
        QCOMPARE(f.run({u"correct"_s, u"--paste"_s}).exitCode, 1);
        f.answer(u"the dog"_s);
        const CommandRun filter = f.run({u"--paste"_s, u"correct"_s}, "teh dog");
        QCOMPARE(filter.out, u"the dog"_s);
        QCOMPARE(f.window.pasted.size(), 3);
        QCOMPARE(f.clipboard(), QString());

        // The option is a boolean or nothing.
        const QDBusConnection client = f.bus.connect(u"client"_s);
        QDBusPendingCallWatcher odd(callLexwick(client, ApplicationService::servicesInterface,
                                                u"ProcessSelection"_s,
                                                {u"correct"_s, QVariantMap{{u"paste"_s, 1}}}));
        QTRY_VERIFY(odd.isFinished());
        QCOMPARE(odd.error().type(), QDBusError::InvalidArgs);
    }

    // Calls that come while Lexwick starts wait for it; the desktop file's actions are
    // answered at once, and the notification tells how they went.
    void callsFromTheDesktop()
    {
        Fixture f(false);
        f.select(u"cheers"_s);
        const QDBusConnection client = f.bus.connect(u"client"_s);
        const auto activate = [&](const QString& action) {
            return callLexwick(client, u"org.freedesktop.Application"_s, u"ActivateAction"_s,
                               {action, QVariant::fromValue(QVariantList()), QVariantMap()});
        };
        QDBusPendingCallWatcher action(activate(u"paraphrase"_s));
        QDBusPendingCallWatcher unknown(activate(u"translate"_s));
        QDBusPendingCallWatcher text(callLexwick(client, ApplicationService::servicesInterface,
                                                 u"ProcessText"_s, {u"explain"_s, u"Kater"_s}));
        QTRY_VERIFY(action.isFinished() && unknown.isFinished());
        QVERIFY(!action.isError());
        QCOMPARE(unknown.error().type(), QDBusError::InvalidArgs);
        QTest::qWait(100);
        QVERIFY(!text.isFinished());

        f.app.provider.setHandler([](const ReceivedRequest& request) {
            return ScriptedReply::json(
                200, chatAnswer(request.body.contains("Kater") ? u"Der Kater"_s : u"Regards"_s));
        });
        f.service->setServicesProvider(&f.services);
        QTRY_VERIFY(text.isFinished());
        QCOMPARE(QDBusReply<QString>(text).value(), u"Der Kater"_s);
        QTRY_COMPARE(f.notifications.summaries, QStringList{ApplicationService::copiedMessage()});
        QCOMPARE(f.clipboard(), u"Regards"_s);
    }

    // The command's request and the popover's run side by side on one router: each ends with
    // its own answer, cancelling the popover's leaves the command's running, and nothing of
    // the command's shows in the popover.
    void theCommandAndThePopoverEachKeepTheirOwn()
    {
        Fixture f;
        HistoryManager history(f.app.dir.filePath(u"history.json"_s), f.app.defaults);
        PopoverView popover(*f.app.router, *f.app.settings, history);
        MainView& main = *popover.main();
        ResultView& result = *main.result();
        f.app.provider.setHandler([](const ReceivedRequest& request) {
            if (request.body.contains("unanswered"))
                return ScriptedReply::withEnding(ScriptedReply::Ending::never);
            const bool command = request.body.contains("selected");
            ScriptedReply reply = ScriptedReply::json(
                200, chatAnswer(command ? u"command answer"_s : u"popover answer"_s));
            reply.delay = std::chrono::milliseconds(command ? 1500 : 300);
            return reply;
        });
        QSignalSpy popoverFinished(&main, &MainView::requestFinished);
        const auto runPopover = [&main](const QString& text) {
            main.setInputText(text);
            main.toggleProcessing();
        };

        // Both in flight: the popover's ends first, and the command's answer goes only to the
        // clipboard.
        f.select(u"selected text"_s);
        auto command = f.start({u"correct"_s});
        QTRY_COMPARE(f.app.providerRequests(), 1);
        QVERIFY(!main.isProcessing());
        runPopover(u"popover text"_s);
        QTRY_COMPARE_WITH_TIMEOUT(popoverFinished.size(), 1, 10000);
        QCOMPARE(main.errorMessage(), QString());
        QCOMPARE(result.text(), u"popover answer"_s);
        QCOMPARE(command->state(), QProcess::Running);
        QSignalSpy resultChanged(&result, &ResultView::textChanged);
        QCOMPARE(Fixture::finish(*command).exitCode, 0);
        QCOMPARE(f.clipboard(), u"command answer"_s);
        QCOMPARE(resultChanged.size(), 0);
        QVERIFY(!main.isProcessing() && !main.showsError() && !result.showsCachedBadge());

        // The command's failure is its own.
        f.select(u"mail ann@example.com"_s);
        QCOMPARE(f.run({u"explain"_s}).exitCode, 1);
        QVERIFY(!main.showsError());
        QVERIFY(!main.checks()->showsSensitiveDataBanner());
        QCOMPARE(main.inputText(), u"popover text"_s);
        QCOMPARE(result.text(), u"popover answer"_s);

        // Cancel cancels the popover's request only.
        f.select(u"selected again"_s);
        command = f.start({u"correct"_s});
        QTRY_COMPARE(f.app.providerRequests(), 3);
        runPopover(u"unanswered"_s);
        QTRY_COMPARE(f.app.providerRequests(), 4);
        QCOMPARE(main.processButtonText(), u"Cancel"_s);
        main.toggleProcessing();
        QTRY_COMPARE_WITH_TIMEOUT(popoverFinished.size(), 2, 10000);
        QCOMPARE(main.errorMessage(), u"Request was cancelled."_s);
        QCOMPARE(command->state(), QProcess::Running);
        const CommandRun run = Fixture::finish(*command);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(f.clipboard(), u"command answer"_s);
        QCOMPARE(main.errorMessage(), u"Request was cancelled."_s);
        QCOMPARE(result.text(), QString());
    }

    // One notification at a time: each replaces the one on screen, also when several come
    // before the server has answered; once the server closed it, the next is new. Successes go
    // by themselves; errors carry the error icon; the body is escaped markup.
    void notificationsReplaceEachOther()
    {
        Fixture f;
        QList<NotificationServer::Shown>& shown = f.notifications.shown;
        DesktopNotifier notifier(f.bus.connect(u"notifier"_s));
        notifier.notifySuccess(ApplicationService::copiedMessage());
        notifier.notifyError(u"Lexwick could not correct the selection"_s,
                             u"Server said <b>no</b> & \"why\""_s);
        QTRY_COMPARE(shown.size(), 2);
        QCOMPARE(shown[0].replaces, 0u);
        QCOMPARE(shown[0].icon, u"io.github.lexwick.Lexwick"_s);
        QCOMPARE(shown[0].summary, u"Copied: press Ctrl+V"_s);
        QCOMPARE(shown[0].body, QString());
        QCOMPARE(shown[0].hints.value(u"transient"_s), QVariant(true));
        QCOMPARE(shown[0].hints.value(u"urgency"_s).typeId(), QMetaType::UChar);
        QCOMPARE(shown[0].hints.value(u"urgency"_s).value<uchar>(), 0);
        QCOMPARE(shown[0].hints.value(u"desktop-entry"_s),
                 QVariant(u"io.github.lexwick.Lexwick"_s));
        QCOMPARE(shown[1].replaces, 1u);
        QCOMPARE(shown[1].icon, u"dialog-error"_s);
        QCOMPARE(shown[1].body, u"Server said &lt;b&gt;no&lt;/b&gt; &amp; \"why\""_s);
        QVERIFY(!shown[1].hints.contains(u"transient"_s));
        QCOMPARE(shown[1].hints.value(u"urgency"_s).value<uchar>(), 1);

        // A burst: the last one is shown and replaces the one before; those that came while an
        // id was awaited are skipped ("one" too, when the error's id had not come yet).
        for (const QString& summary : {u"one"_s, u"two"_s, u"three"_s})
            notifier.notifySuccess(summary);
        QTRY_COMPARE(shown.last().summary, u"three"_s);
        QTest::qWait(200);
        QCOMPARE(shown.last().summary, u"three"_s);
        QVERIFY(shown.size() == 3 || (shown.size() == 4 && shown[2].summary == u"one"));
        for (const NotificationServer::Shown& each : shown.mid(1))
            QCOMPARE(each.replaces, 1u);
        const qsizetype burst = shown.size();

        // Another's notification closing changes nothing; ours closing makes the next new.
        Q_EMIT f.notifications.NotificationClosed(7, 2);
        QTest::qWait(200);
        notifier.notifySuccess(u"four"_s);
        QTRY_COMPARE(shown.size(), burst + 1);
        QCOMPARE(shown.last().replaces, 1u);
        QTest::qWait(200); // its id has come back
        Q_EMIT f.notifications.NotificationClosed(1, 2);
        QTest::qWait(200);
        notifier.notifySuccess(u"five"_s);
        notifier.notifySuccess(u"six"_s);
        QTRY_COMPARE(shown.size(), burst + 3);
        QCOMPARE(shown[burst + 1].replaces, 0u);
        QCOMPARE(shown[burst + 2].replaces, 2u);
    }

    // The launcher's token reaches the popover: from a second start (platform_data), from the
    // command (the options of its call) and from a desktop action; the command's own
    // environment keeps none for anything it starts.
    void theActivationTokenReachesThePopover()
    {
        Fixture f(true, true);
        f.select(QString()); // unreadable unfocused, as on Wayland
        const auto start = [&f](const QStringList& arguments,
                                const QList<std::pair<QString, QString>>& variables) {
            QProcess process;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, f.bus.address);
            for (const auto& [name, value] : variables)
                environment.insert(name, value);
            process.setProcessEnvironment(environment);
            process.setStandardInputFile(QProcess::nullDevice());
            process.start(lexwickBinary, arguments);
            return Fixture::finish(process).exitCode;
        };
        QCOMPARE(start({}, {{u"XDG_ACTIVATION_TOKEN"_s, u"wl-1"_s},
                            {u"DESKTOP_STARTUP_ID"_s, u"x11-1_TIME5"_s}}),
                 0);
        QCOMPARE(start({}, {{u"DESKTOP_STARTUP_ID"_s, u"x11-2_TIME6"_s}}), 0);
        QCOMPARE(start({}, {}), 0);
        QCOMPARE(f.activations, (QStringList{u"wl-1"_s, u"x11-2_TIME6"_s, QString()}));

        QCOMPARE(start({u"correct"_s}, {{u"XDG_ACTIVATION_TOKEN"_s, u"wl-3"_s}}), 0);
        QCOMPARE(f.popoverTokens, QStringList{u"wl-3"_s});

        const QDBusConnection client = f.bus.connect(u"client"_s);
        QDBusPendingCallWatcher action(
            callLexwick(client, u"org.freedesktop.Application"_s, u"ActivateAction"_s,
                        {u"explain"_s, QVariant::fromValue(QVariantList()),
                         QVariantMap{{u"desktop-startup-id"_s, u"x11-4_TIME7"_s}}}));
        QTRY_COMPARE(f.popoverTokens, (QStringList{u"wl-3"_s, u"x11-4_TIME7"_s}));
    }

    // With a bus but no display, the bus starts Lexwick for the call, which cannot open a window
    // and ends; the command says that in words, not in the bus's.
    void activationWithoutADisplaySaysSo()
    {
        TestBus bus(false);
        QFile file(bus.services + u"/io.github.lexwick.Lexwick.service"_s);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[D-BUS Service]\nName=io.github.lexwick.Lexwick\nExec=" +
                   lexwickBinary.toUtf8() + "\n");
        file.close();
        const auto command = startCommand(bus.address, {u"correct"_s});
        QVERIFY(command->waitForFinished(60000));
        QCOMPARE(QString::fromUtf8(command->readAllStandardError()),
                 u"lexwick: Lexwick cannot start here: no display\n"_s);
        QCOMPARE(command->exitCode(), 1);
    }

    // No Lexwick runs: the bus starts the installed one for the call, and it answers.
    void activationStartsLexwick()
    {
        TestBus bus;
        QFile file(bus.services + u"/io.github.lexwick.Lexwick.service"_s);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[D-BUS Service]\nName=io.github.lexwick.Lexwick\nExec=" +
                   lexwickBinary.toUtf8() + "\n");
        file.close();

        // An offscreen Lexwick has no selection; its answer says so.
        const auto command = startCommand(bus.address, {u"correct"_s});
        QVERIFY(command->waitForFinished(60000));
        QCOMPARE(QString::fromUtf8(command->readAllStandardError()),
                 u"lexwick: No text selected\n"_s);
        QCOMPARE(command->exitCode(), 1);

        QDBusConnection connection = bus.connect(u"observer"_s);
        const QDBusReply<uint> pid =
            connection.interface()->servicePid(ApplicationService::serviceName);
        QVERIFY(pid.isValid());

        // A second start opens the running one's popover and ends.
        const auto second = startCommand(bus.address, {});
        QVERIFY(second->waitForFinished(60000));
        QCOMPARE(second->exitCode(), 0);
        QVERIFY(connection.interface()->isServiceRegistered(ApplicationService::serviceName));

        ::kill(static_cast<pid_t>(pid.value()), SIGTERM);
    }
};

LEXWICK_GUI_TEST(ApplicationServiceTest)
#include "ApplicationServiceTest.moc"
