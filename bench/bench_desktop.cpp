// The whole application on a desktop of its own (Xvfb, openbox, an XEmbed tray), measured
// from outside as a user meets it: resident memory with the tray only and after the first
// open, time from the tray click to the popover's first frame (cold and warm), and time from
// a key press to the frame that shows it with 5000 characters in the field. A bare PyQt6 tray
// is measured in the same run for comparison. Each figure is the median of five runs, or of
// as many as the first argument asks for.
//
// Frames are seen through Qt's own render-loop log, stamped with the monotonic clock this
// program reads; clicks and keys are sent with XTest, so no helper process sits in between.

#include "X11Session.h"
#include "settings/SettingsManager.h"
#include "settings/UserDefaults.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

namespace {

double nowMs()
{
    return double(QDeadlineTimer::current().deadlineNSecs()) / 1e6;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double residentMB(qint64 pid)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    static const QRegularExpression rss(u"VmRSS:\\s+(\\d+) kB"_s);
    const auto match = rss.match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toDouble() / 1024.0 : -1;
}

void settle(int ms)
{
    eventually([] { return false; }, std::chrono::milliseconds(ms));
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

// The application, with Qt's render loop reporting every frame.
class Application {
public:
    explicit Application(const X11Session& session)
    {
        QProcessEnvironment environment = session.environment();
        environment.insert(u"QT_LOGGING_RULES"_s, u"qt.scenegraph.time.renderloop.debug=true"_s);
        environment.insert(u"QT_MESSAGE_PATTERN"_s, u"%{time boot} %{message}"_s);
        m_process = session.start(QStringLiteral(LEXWICK_BINARY));
        m_process->setProcessEnvironment(environment);
        QObject::connect(m_process.get(), &QProcess::readyRead, [this] { read(); });
        m_process->start();
    }
    ~Application()
    {
        m_process->kill();
        m_process->waitForFinished();
    }

    qint64 pid() const { return m_process->processId(); }
    bool waitFor(QByteArrayView line)
    {
        return eventually([&] { return m_log.contains(line); }, std::chrono::seconds(30));
    }
    // How long after the given moment the first frame was done.
    double firstFrameAfter(double sent)
    {
        double frame = -1;
        eventually(
            [&] {
                const auto it = std::find_if(m_frames.begin(), m_frames.end(),
                                             [&](double at) { return at >= sent; });
                if (it == m_frames.end())
                    return false;
                frame = *it;
                return true;
            },
            std::chrono::seconds(10));
        return frame < 0 ? -1 : frame - sent;
    }

private:
    void read()
    {
        static const QRegularExpression frame(u"^\\s*(\\d+\\.\\d+) Frame rendered"_s);
        m_pending += m_process->readAll();
        qsizetype end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            const QByteArray line = m_pending.left(end);
            m_pending.remove(0, end + 1);
            m_log += line + '\n';
            const auto match = frame.match(QString::fromUtf8(line));
            if (match.hasMatch())
                m_frames.push_back(match.captured(1).toDouble() * 1000.0);
        }
    }

    std::unique_ptr<QProcess> m_process;
    QByteArray m_pending;
    QByteArray m_log;
    std::vector<double> m_frames;
};

struct Figures {
    std::vector<double> idleMB, openMB, coldMs, warmMs, keyMs, pyqtMB;
};

void measureLexwick(Figures& figures)
{
    X11Session session({.tray = true});
    if (!session.failure().isEmpty()) {
        std::fprintf(stderr, "desktop: %s\n", qPrintable(session.failure()));
        return;
    }
    const QString config = session.homePath(u".config/Lexwick"_s);
    QDir().mkpath(config);
    UserDefaults(config + u"/defaults.cbor"_s).setBool(true, SettingsManager::onboardingKey);

    Input input(session.environment().value(u"DISPLAY"_s));
    Application app(session);
    if (!input.isOpen() || !app.waitFor("status bar ready")) {
        std::fprintf(stderr, "Lexwick did not start\n");
        return;
    }
    settle(1500);
    figures.idleMB.push_back(residentMB(app.pid()));

    const QPoint icon = session.trayArea().value_or(QRect()).center();
    figures.coldMs.push_back(app.firstFrameAfter(input.click(icon)));
    settle(1500);
    figures.openMB.push_back(residentMB(app.pid()));

    for (int i = 0; i < 3; ++i) {
        input.key(XK_Escape);
        settle(400); // past the guard against the click that hid it
        figures.warmMs.push_back(app.firstFrameAfter(input.click(icon)));
        settle(600);
    }

    // 5000 characters in the field, then a key typed and taken back, one at a time.
    session.run(u"xclip"_s, {u"-selection"_s, u"clipboard"_s, u"-loops"_s, u"1"_s},
                QByteArray(5000, 'x'));
    session.key(u"ctrl+v"_s);
    settle(1000);
    for (int i = 0; i < 4; ++i) {
        figures.keyMs.push_back(app.firstFrameAfter(input.key(i % 2 ? XK_BackSpace : XK_a)));
        settle(300);
    }
}

void measurePyQtTray(Figures& figures)
{
    X11Session session({.tray = true});
    auto tray = session.start(u"/usr/bin/python3"_s,
                              {u"-c"_s, QStringLiteral(R"(import sys
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
        std::fprintf(stderr, "the PyQt6 tray did not start (python3-pyqt6 installed?)\n");
        return;
    }
    settle(1500);
    figures.pyqtMB.push_back(residentMB(tray->processId()));
    tray->kill();
    tray->waitForFinished();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 5;
    Figures figures;
    for (int run = 0; run < runs; ++run) {
        measureLexwick(figures);
        measurePyQtTray(figures);
        std::fprintf(stderr, "run %d of %d done\n", run + 1, runs);
    }
    std::printf("median of %d runs %31s %10s\n", runs, "measured", "budget");
    std::printf("%-48s %7.1f MB %7d MB\n", "resident, idle with the tray only",
                median(figures.idleMB), 35);
    std::printf("%-48s %7.1f MB %10s\n", "  a bare PyQt6 tray, same run", median(figures.pyqtMB),
                "");
    std::printf("%-48s %7.1f MB %7d MB\n", "resident, after the first open",
                median(figures.openMB), 55);
    std::printf("%-48s %7.1f ms %7d ms\n", "tray click to first frame, cold",
                median(figures.coldMs), 100);
    std::printf("%-48s %7.1f ms %7d ms\n", "tray click to first frame, warm",
                median(figures.warmMs), 10);
    std::printf("%-48s %7.1f ms %7d ms\n", "key press to its frame, 5000 characters",
                median(figures.keyMs), 16);
    return 0;
}
