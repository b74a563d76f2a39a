// SPDX-License-Identifier: MIT
// The whole application on a desktop of its own (Xvfb, openbox, a tray), measured from outside
// as a user meets it:
// - start-up: from the process's start (and from main()) to "status bar setup complete", with
//   an XEmbed tray and with a panel's StatusNotifierWatcher on the bus;
// - resident memory with the tray only (also as a share of a bare PyQt6 tray measured in the
//   same run) and after the first open;
// - wakeups a second (voluntary context switches of all threads) closed before the first
//   open, open and idle, and closed after a use;
// - time from the tray click to the popover's first frame (cold and warm), from a key press to
//   the frame that shows it with 5000 and with 100 000 characters in the field, and between frames
//   while a request runs (the spinner).
// Each figure is the median of five runs, or of as many as the first argument asks for, with
// the smallest and largest beside it. The further arguments name the binaries to measure side
// by side (the one built with this program by default), each in every run.
//
// Frames are seen through Qt's own render-loop log, stamped with the monotonic clock this
// program reads; clicks and keys are sent with XTest, so no helper process sits in between.

#include "FakeTrayWatcher.h"
#include "settings/SettingsManager.h"
#include "settings/UserDefaults.h"
#include "support/BackgroundTestHttpServer.h"
#include "support/Expect.h"
#include "X11Session.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

namespace {

constexpr auto wakeupPeriod = std::chrono::seconds(10);

double nowMs()
{
    return double(QDeadlineTimer::current().deadlineNSecs()) / 1e6;
}

void settle(int ms)
{
    eventually([] { return false; }, std::chrono::milliseconds(ms));
}

// The values one figure took, or why a run has none.
struct Sample {
    std::vector<double> values;
    QStringList failures;

    void add(std::optional<double> value, const QString& failure)
    {
        if (value)
            values.push_back(*value);
        else if (!failures.contains(failure))
            failures.append(failure);
    }
    // "median (min–max)", or why there is nothing to show.
    QString text(int decimals) const
    {
        if (values.empty())
            return u"n/a"_s;
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        const auto number = [&](double v) { return QString::number(v, 'f', decimals); };
        return u"%1 (%2–%3)"_s.arg(number(sorted[sorted.size() / 2]), number(sorted.front()),
                                   number(sorted.back()));
    }
};

std::optional<double> residentMB(qint64 pid)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    static const QRegularExpression rss(u"VmRSS:\\s+(\\d+) kB"_s);
    const auto match = rss.match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? std::optional(match.captured(1).toDouble() / 1024.0) : std::nullopt;
}

// Synthetic input straight into the X server.
class Input {
public:
    explicit Input(const QString& display)
        : m_display(XOpenDisplay(display.toLatin1().constData()))
    {
    }
    ~Input()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    bool isOpen() const { return m_display; }

    // The time the press left for the server.
    double click(QPoint at)
    {
        XTestFakeMotionEvent(m_display, -1, at.x(), at.y(), CurrentTime);
        XSync(m_display, False);
        const double sent = nowMs();
        XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
        XFlush(m_display);
        XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
        XFlush(m_display);
        return sent;
    }
    double key(KeySym symbol)
    {
        const KeyCode code = XKeysymToKeycode(m_display, symbol);
        const double sent = nowMs();
        XTestFakeKeyEvent(m_display, code, True, CurrentTime);
        XFlush(m_display);
        XTestFakeKeyEvent(m_display, code, False, CurrentTime);
        XFlush(m_display);
        return sent;
    }

private:
    Display* m_display;
};

// The application, with Qt's render loop reporting every frame and each log line stamped.
class Application {
public:
    Application(const X11Session& session, const QString& binary)
    {
        QProcessEnvironment environment = session.environment();
        environment.insert(u"QT_LOGGING_RULES"_s, u"qt.scenegraph.time.renderloop.debug=true"_s);
        environment.insert(u"QT_MESSAGE_PATTERN"_s, u"%{time boot} %{message}"_s);
        m_process = session.start(binary);
        m_process->setProcessEnvironment(environment);
        QObject::connect(m_process.get(), &QProcess::readyRead, [this] { read(); });
        started = nowMs();
        m_process->start();
    }
    ~Application()
    {
        m_process->kill();
        m_process->waitForFinished();
    }

    double started = 0; // when the process was started
    qint64 pid() const { return m_process->processId(); }
    // When the line was logged, once it is.
    std::optional<double> waitFor(QByteArrayView line)
    {
        std::optional<double> at;
        eventually(
            [&] {
                const auto it = std::ranges::find_if(
                    m_lines, [&](const auto& logged) { return logged.second.contains(line); });
                if (it != m_lines.end())
                    at = it->first;
                return at.has_value();
            },
            std::chrono::seconds(30));
        return at;
    }
    // The last lines logged, to say why something did not happen.
    QString tail() const
    {
        QStringList lines;
        for (auto it = m_lines.rbegin(); it != m_lines.rend() && lines.size() < 3; ++it)
            lines.prepend(QString::fromUtf8(it->second));
        return lines.isEmpty() ? u"nothing logged"_s : lines.join(u" / "_s);
    }
    // How long after the given moment the first frame was done.
    std::optional<double> firstFrameAfter(double sent)
    {
        std::optional<double> frame;
        eventually(
            [&] {
                const auto it =
                    std::ranges::find_if(m_frames, [&](double at) { return at >= sent; });
                if (it != m_frames.end())
                    frame = *it - sent;
                return frame.has_value();
            },
            std::chrono::seconds(10));
        return frame;
    }
    // The median time between the frames drawn in that span.
    std::optional<double> frameIntervalBetween(double from, double to) const
    {
        std::vector<double> intervals;
        for (std::size_t i = 1; i < m_frames.size(); ++i) {
            if (m_frames[i - 1] >= from && m_frames[i] <= to)
                intervals.push_back(m_frames[i] - m_frames[i - 1]);
        }
        if (intervals.size() < 3)
            return std::nullopt;
        std::ranges::sort(intervals);
        return intervals[intervals.size() / 2];
    }

private:
    void read()
    {
        static const QRegularExpression stamped(u"^\\s*(\\d+\\.\\d+) (.*)$"_s);
        m_pending += m_process->readAll();
        qsizetype end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            const QByteArray line = m_pending.left(end);
            m_pending.remove(0, end + 1);
            const auto match = stamped.match(QString::fromUtf8(line));
            if (!match.hasMatch())
                continue;
            const double at = match.captured(1).toDouble() * 1000.0;
            if (match.captured(2).startsWith(u"Frame rendered"))
                m_frames.push_back(at);
            else
                m_lines.emplace_back(at, match.captured(2).toUtf8());
        }
    }

    std::unique_ptr<QProcess> m_process;
    QByteArray m_pending;
    std::vector<std::pair<double, QByteArray>> m_lines;
    std::vector<double> m_frames;
};

struct Figures {
    Sample startXEmbed, startWatcher, mainXEmbed, mainWatcher, idleMB, idleRatio, openMB, wakeFirst,
        wakeOpen, wakeClosed, coldMs, warmMs, keyMs, keyLongMs, frameMs;
};

// A model server on loopback; a text that says "slowly" is answered after three seconds.
void serveModel(BackgroundTestHttpServer& server)
{
    server.setHandler([](const ReceivedRequest& request) {
        if (request.path.endsWith("/models"))
            return ScriptedReply::json(200, R"({"data":[{"id":"m"}]})");
        ScriptedReply reply = ScriptedReply::json(200, chatAnswer(u"Hello, world."_s));
        if (request.body.contains("slowly"))
            reply.delay = std::chrono::seconds(3);
        return reply;
    });
}

// A user who has been through the introduction and uses the model server.
void configure(const X11Session& session, const BackgroundTestHttpServer& server)
{
    const QString config = session.homePath(u".config/Lexwick"_s);
    QDir().mkpath(config);
    UserDefaults defaults(config + u"/defaults.cbor"_s);
    defaults.setObject(u"local"_s, SettingsManager::providerModeKey);
    defaults.setObject(server.url(u"/v1"_s).toString(), SettingsManager::localServerKey);
    defaults.setBool(true, SettingsManager::onboardingKey);
}

// Resident memory of the PyQt6 tray of this run, by which the idle figures are divided.
std::optional<double> measurePyQtTray(QString& failure)
{
    X11Session session({.tray = true});
    if (!session.failure().isEmpty()) {
        failure = u"desktop: "_s + session.failure();
        return std::nullopt;
    }
    auto tray = session.start(u"/usr/bin/python3"_s, {u"-c"_s, QStringLiteral(R"(import sys
from PyQt6.QtGui import QIcon
from PyQt6.QtWidgets import QApplication, QSystemTrayIcon
app = QApplication(sys.argv)
icon = QSystemTrayIcon(QIcon(sys.argv[1]))
icon.show()
print("ready", flush=True)
app.exec())"),
                                                      QStringLiteral(LEXWICK_ICON)});
    tray->start();
    if (!eventually([&] { return tray->canReadLine(); }, std::chrono::seconds(30))) {
        failure = u"the PyQt6 tray did not start (python3-pyqt6 installed?)"_s;
        return std::nullopt;
    }
    settle(4000);
    const auto resident = residentMB(tray->processId());
    if (!resident)
        failure = u"the PyQt6 tray's memory could not be read"_s;
    tray->kill();
    tray->waitForFinished();
    return resident;
}

void measureWithXEmbed(const QString& binary, Figures& figures, std::optional<double> pyqtMB)
{
    X11Session session({.tray = true});
    if (!session.failure().isEmpty()) {
        figures.startXEmbed.add(std::nullopt, u"desktop: "_s + session.failure());
        return;
    }
    BackgroundTestHttpServer modelServer;
    serveModel(modelServer);
    configure(session, modelServer);

    Input input(session.environment().value(u"DISPLAY"_s));
    Application app(session, binary);
    const auto ready = app.waitFor("status bar setup complete");
    if (!input.isOpen() || !ready) {
        figures.startXEmbed.add(std::nullopt, u"did not start: "_s + app.tail());
        return;
    }
    figures.startXEmbed.add(*ready - app.started, {});
    const auto main = app.waitFor("main – starting");
    figures.mainXEmbed.add(main ? std::optional(*ready - *main) : std::nullopt,
                           u"no start of main() logged"_s);
    // Past what start-up sets going (the history read, the model server's probe).
    settle(int(std::max(0.0, app.started + 4000 - nowMs())));
    const auto idle = residentMB(app.pid());
    figures.idleMB.add(idle, u"memory not readable"_s);
    if (idle && pyqtMB)
        figures.idleRatio.add(*idle / *pyqtMB, {});
    else
        figures.idleRatio.add(std::nullopt, u"no PyQt6 tray figure in this run"_s);
    figures.wakeFirst.add(wakeupsPerSecond(app.pid(), wakeupPeriod), u"threads not readable"_s);

    const QPoint icon = session.trayArea().value_or(QRect()).center();
    figures.coldMs.add(app.firstFrameAfter(input.click(icon)), u"no frame within 10 s"_s);
    settle(1500);
    figures.openMB.add(residentMB(app.pid()), u"memory not readable"_s);

    for (int i = 0; i < 3; ++i) {
        input.key(XK_Escape);
        settle(400); // past the guard against the click that hid it
        figures.warmMs.add(app.firstFrameAfter(input.click(icon)), u"no frame within 10 s"_s);
        settle(600);
    }
    settle(1000);
    figures.wakeOpen.add(wakeupsPerSecond(app.pid(), wakeupPeriod), u"threads not readable"_s);

    // 5000 characters in the field, then a key typed and taken back, one at a time.
    session.run(u"xclip"_s, {u"-selection"_s, u"clipboard"_s, u"-loops"_s, u"1"_s},
                QByteArray(5000, 'x'));
    session.key(u"ctrl+v"_s);
    settle(1000);
    for (int i = 0; i < 4; ++i) {
        figures.keyMs.add(app.firstFrameAfter(input.key(i % 2 ? XK_BackSpace : XK_a)),
                          u"no frame within 10 s"_s);
        settle(300);
    }

    // The same with a long paste: 100 000 characters of prose in paragraphs, over the limit.
    QByteArray paste;
    while (paste.size() < 100'000)
        paste += "The quick brown fox jumps over the lazy dog while the committee reviews its "
                 "plan. "
                 "Write to jane.doe@example.com before the meeting on Friday.\n\n";
    paste.truncate(100'000);
    session.run(u"xclip"_s, {u"-selection"_s, u"clipboard"_s, u"-loops"_s, u"1"_s}, paste);
    session.key(u"ctrl+a"_s);
    session.key(u"ctrl+v"_s);
    settle(2000);
    for (int i = 0; i < 4; ++i) {
        figures.keyLongMs.add(app.firstFrameAfter(input.key(i % 2 ? XK_BackSpace : XK_a)),
                              u"no frame within 10 s"_s);
        settle(500);
    }

    // A request the model server answers after three seconds: the frames meanwhile.
    session.key(u"ctrl+a"_s);
    session.type(u"slowly"_s);
    settle(300);
    const double sent = nowMs();
    session.key(u"ctrl+Return"_s);
    settle(2600);
    figures.frameMs.add(app.frameIntervalBetween(sent + 500, sent + 2500),
                        u"fewer than three frames while the request ran"_s);
    settle(1500); // the answer

    input.key(XK_Escape);
    settle(1500);
    figures.wakeClosed.add(wakeupsPerSecond(app.pid(), wakeupPeriod), u"threads not readable"_s);
}

void measureWithWatcher(const QString& binary, Figures& figures)
{
    X11Session session({.tray = false});
    if (!session.failure().isEmpty()) {
        figures.startWatcher.add(std::nullopt, u"desktop: "_s + session.failure());
        return;
    }
    // On a thread of its own, so that it answers at once while this one waits.
    QThread thread;
    thread.start();
    auto* watcher = new FakeTrayWatcher;
    watcher->moveToThread(&thread);
    bool registered = false;
    const QString bus = session.environment().value(u"DBUS_SESSION_BUS_ADDRESS"_s);
    QMetaObject::invokeMethod(
        watcher, [&] { registered = watcher->registerOn(bus); }, Qt::BlockingQueuedConnection);
    if (registered) {
        Application app(session, binary);
        const auto ready = app.waitFor("status bar setup complete");
        figures.startWatcher.add(ready ? std::optional(*ready - app.started) : std::nullopt,
                                 u"did not start: "_s + app.tail());
        const auto main = app.waitFor("main – starting");
        figures.mainWatcher.add(ready && main ? std::optional(*ready - *main) : std::nullopt,
                                u"no start of main() logged"_s);
    } else {
        figures.startWatcher.add(std::nullopt, u"the watcher could not be put on the bus"_s);
    }
    watcher->deleteLater(); // on its thread, as that ends
    thread.quit();
    thread.wait();
}

void print(const char* label, const std::vector<Figures>& figures, Sample Figures::*sample,
           int decimals, const char* unit, const char* budget)
{
    std::printf("%-44s", label);
    for (const Figures& f : figures)
        std::printf(" %26s", qPrintable((f.*sample).text(decimals) + u' ' + QLatin1String(unit)));
    std::printf("  %s\n", budget);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const int runs = arguments.isEmpty() ? 5 : std::max(1, arguments.first().toInt());
    QStringList binaries;
    for (const QString& binary : arguments.mid(1))
        binaries << QFileInfo(binary).absoluteFilePath(); // started from the desktop's home
    if (binaries.isEmpty())
        binaries << QStringLiteral(LEXWICK_BINARY);

    std::vector<Figures> figures(std::size_t(binaries.size()));
    Sample pyqt;
    for (int run = 0; run < runs; ++run) {
        QString failure;
        const auto pyqtMB = measurePyQtTray(failure);
        pyqt.add(pyqtMB, failure);
        for (qsizetype b = 0; b < binaries.size(); ++b) {
            measureWithXEmbed(binaries[b], figures[std::size_t(b)], pyqtMB);
            measureWithWatcher(binaries[b], figures[std::size_t(b)]);
        }
        std::fprintf(stderr, "run %d of %d done\n", run + 1, runs);
    }

    std::printf("median (min–max) of %d runs\n", runs);
    for (qsizetype b = 0; b < binaries.size(); ++b)
        std::printf("  [%lld] %s\n", static_cast<long long>(b + 1), qPrintable(binaries[b]));
    std::printf("%-44s", "");
    for (qsizetype b = 0; b < binaries.size(); ++b)
        std::printf(" %26s", qPrintable(u"[%1]"_s.arg(b + 1)));
    std::printf("  budget\n");
    print("start-up to the tray, XEmbed tray", figures, &Figures::startXEmbed, 0, "ms", "100 ms");
    print("start-up to the tray, StatusNotifierWatcher", figures, &Figures::startWatcher, 0, "ms",
          "100 ms");
    print("  from main(), XEmbed tray", figures, &Figures::mainXEmbed, 0, "ms", "");
    print("  from main(), StatusNotifierWatcher", figures, &Figures::mainWatcher, 0, "ms", "");
    print("resident, idle with the tray only", figures, &Figures::idleMB, 1, "MB", "");
    print("  share of a bare PyQt6 tray, same run", figures, &Figures::idleRatio, 2, "", "0.75");
    std::printf("%-44s %26s\n", "  the bare PyQt6 tray", qPrintable(pyqt.text(1) + u" MB"_s));
    print("resident, after the first open", figures, &Figures::openMB, 1, "MB", "55 MB");
    print("wakeups, closed, before the first open", figures, &Figures::wakeFirst, 2, "/s", "");
    print("wakeups, open and idle", figures, &Figures::wakeOpen, 2, "/s", "3/s");
    print("wakeups, closed after a use", figures, &Figures::wakeClosed, 2, "/s", "0.2/s");
    print("tray click to first frame, cold", figures, &Figures::coldMs, 1, "ms", "100 ms");
    print("tray click to first frame, warm", figures, &Figures::warmMs, 1, "ms", "10 ms");
    print("key press to its frame, 5000 characters", figures, &Figures::keyMs, 1, "ms", "16 ms");
    print("key press to its frame, 100 000 characters", figures, &Figures::keyLongMs, 1, "ms",
          "16 ms");
    print("time between frames while a request runs", figures, &Figures::frameMs, 1, "ms",
          "a display refresh");

    // Why a figure is missing or incomplete.
    const std::vector<std::pair<const char*, Sample Figures::*>> named = {
        {"start-up, XEmbed", &Figures::startXEmbed},
        {"start-up, watcher", &Figures::startWatcher},
        {"start-up from main(), XEmbed", &Figures::mainXEmbed},
        {"start-up from main(), watcher", &Figures::mainWatcher},
        {"idle memory", &Figures::idleMB},
        {"idle share", &Figures::idleRatio},
        {"memory after open", &Figures::openMB},
        {"wakeups before open", &Figures::wakeFirst},
        {"wakeups open", &Figures::wakeOpen},
        {"wakeups closed", &Figures::wakeClosed},
        {"cold open", &Figures::coldMs},
        {"warm open", &Figures::warmMs},
        {"key press", &Figures::keyMs},
        {"key press, long text", &Figures::keyLongMs},
        {"frames in a request", &Figures::frameMs}};
    for (qsizetype b = 0; b < binaries.size(); ++b) {
        for (const auto& [name, sample] : named) {
            for (const QString& why : (figures[std::size_t(b)].*sample).failures)
                std::printf("[%lld] %s: %s\n", static_cast<long long>(b + 1), name,
                            qPrintable(why));
        }
    }
    for (const QString& why : pyqt.failures)
        std::printf("PyQt6 tray: %s\n", qPrintable(why));
    return 0;
}
