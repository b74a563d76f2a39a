// SPDX-License-Identifier: MIT
#include "PlasmaSession.h"

#include "X11Session.h" // eventually()

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QUuid>

#include <cstring>
#include <linux/input-event-codes.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace lexwick::test {

namespace {

// The window management's state flags.
constexpr unsigned activeFlag = 1u << 0;
constexpr unsigned skipTaskbarFlag = 1u << 12;

bool writeFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

// The display Xwayland serves, from its command line: KWin starts it as its child.
std::optional<QString> xwaylandDisplay(qint64 kwin)
{
    QFile children(u"/proc/%1/task/%1/children"_s.arg(kwin));
    if (!children.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray& pid : children.readAll().split(' ')) {
        QFile commandLine(u"/proc/%1/cmdline"_s.arg(QString::fromLatin1(pid.trimmed())));
        if (!commandLine.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> arguments = commandLine.readAll().split('\0');
        if (arguments.size() > 1 && arguments[0].endsWith("Xwayland") &&
            arguments[1].startsWith(':')) {
            return QString::fromLatin1(arguments[1]);
        }
    }
    return std::nullopt;
}

} // namespace

PlasmaSession::PlasmaSession(Options options)
{
    const QString home = m_home.path();
    QDir(home).mkpath(u"run"_s);
    QFile::setPermissions(home + u"/run"_s, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    m_environment.insert(u"PATH"_s, qEnvironmentVariable("PATH"));
    m_environment.insert(u"HOME"_s, home);
    m_environment.insert(u"XDG_CONFIG_HOME"_s, home + u"/.config"_s);
    m_environment.insert(u"XDG_DATA_HOME"_s, home + u"/.local/share"_s);
    m_environment.insert(u"XDG_CACHE_HOME"_s, home + u"/.cache"_s);
    m_environment.insert(u"XDG_RUNTIME_DIR"_s, home + u"/run"_s);
    m_environment.insert(u"XDG_SESSION_TYPE"_s, u"wayland"_s);
    m_environment.insert(u"XDG_CURRENT_DESKTOP"_s, u"KDE"_s);
    m_environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    m_environment.insert(u"QT_QPA_PLATFORM"_s, u"wayland"_s);
    for (const char* sanitizer : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (qEnvironmentVariableIsSet(sanitizer))
            m_environment.insert(QString::fromLatin1(sanitizer), qEnvironmentVariable(sanitizer));
    }

    // The panel's colours: Breeze or Breeze Dark, for the panel and the applications alike.
    const QString scheme = options.dark ? u"BreezeDark"_s : u"BreezeLight"_s;
    QFile colours(u"/usr/share/color-schemes/%1.colors"_s.arg(scheme));
    if (colours.open(QIODevice::ReadOnly)) {
        writeFile(home + u"/.config/kdeglobals"_s,
                  colours.readAll() + "\n[General]\nColorScheme=" + scheme.toUtf8() + "\n");
    }
    writeFile(home + u"/.config/plasmarc"_s,
              "[Theme]\nname=" + QByteArray(options.dark ? "breeze-dark" : "default") + "\n");
    // No lock screen and no session restore to wait for.
    writeFile(home + u"/.config/kscreenlockerrc"_s,
              "[Daemon]\nAutolock=false\nLockOnResume=false\n");

    // KWin lets a program use fake input and window management when a desktop file of its own
    // asks for them, as Plasma's launchers do; such a program also gets activation tokens for
    // what it starts. The input client is one.
    writeFile(home + u"/.local/share/applications/lexwick-test-input.desktop"_s,
              "[Desktop Entry]\nType=Application\nName=Test input\nNoDisplay=true\nExec=" +
                  QByteArrayLiteral(LEXWICK_FAKE_INPUT) +
                  "\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input,"
                  "org_kde_plasma_window_management\n");

    if (!launch(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s}))
        return;
    QProcess& bus = *m_processes.back();
    const QDeadlineTimer busDeadline(std::chrono::seconds(20));
    while (!bus.canReadLine() && !busDeadline.hasExpired() && bus.state() == QProcess::Running)
        bus.waitForReadyRead(100);
    if (!bus.canReadLine()) {
        m_failure = u"dbus-daemon did not start"_s;
        return;
    }
    m_environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s,
                         QString::fromLatin1(bus.readLine().trimmed()));

    // The installed binary carries a file capability, which a container refuses to exec; a
    // copy has none.
    const QString kwin = home + u"/kwin_wayland"_s;
    if (!QFile::copy(u"/usr/bin/kwin_wayland"_s, kwin)) {
        m_failure = u"kwin_wayland could not be copied"_s;
        return;
    }
    QFile::setPermissions(kwin, QFile::ReadOwner | QFile::ExeOwner);
    const QString socket = u"lexwick-kde-"_s + QUuid::createUuid().toString(QUuid::Id128).left(8);
    m_environment.insert(u"KWIN_SCREENSHOT_NO_PERMISSION_CHECKS"_s, u"1"_s);
    if (!launch(kwin, {u"--virtual"_s, u"--xwayland"_s, u"--no-lockscreen"_s, u"--width"_s,
                       u"1280"_s, u"--height"_s, u"800"_s, u"--socket"_s, socket}))
        return;
    m_environment.remove(u"KWIN_SCREENSHOT_NO_PERMISSION_CHECKS"_s);
    m_kwin = m_processes.back().get();
    std::optional<QString> display;
    const bool up = eventually(
        [&] {
            display = xwaylandDisplay(m_kwin->processId());
            return (display && QFile::exists(u"/tmp/.X11-unix/X"_s + display->mid(1)) &&
                    QFile::exists(home + u"/run/"_s + socket)) ||
                   m_kwin->state() != QProcess::Running;
        },
        std::chrono::seconds(30));
    if (!up || m_kwin->state() != QProcess::Running) {
        QFile errors(m_home.filePath(u"kwin_wayland.stderr"_s));
        m_failure = u"kwin_wayland did not start"_s;
        if (errors.open(QIODevice::ReadOnly))
            m_failure += u": "_s + QString::fromUtf8(errors.readAll().right(400)).trimmed();
        return;
    }
    m_environment.insert(u"WAYLAND_DISPLAY"_s, socket);
    m_environment.insert(u"DISPLAY"_s, *display);

    if (!launch(QStringLiteral(LEXWICK_FAKE_INPUT), {}))
        return;
    m_input = m_processes.back().get();
    if (!m_input->waitForReadyRead(20'000) || m_input->readLine().trimmed() != "ready") {
        m_failure = u"the input client did not start"_s;
        return;
    }

    if (options.panel && !startPanel() && m_failure.isEmpty())
        m_failure = u"the Plasma panel did not show"_s;
}

PlasmaSession::~PlasmaSession()
{
    // The input client ends at the end of its commands.
    if (m_input)
        m_input->closeWriteChannel();
    stopInReverse(m_processes);
}

QString PlasmaSession::homePath(const QString& relative) const
{
    return m_home.filePath(relative);
}

bool PlasmaSession::launch(const QString& program, const QStringList& arguments)
{
    auto process = start(program, arguments);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setStandardErrorFile(m_home.filePath(QFileInfo(program).fileName() + u".stderr"_s));
    process->start();
    if (!process->waitForStarted()) {
        m_failure = program + u" could not be started: "_s + process->errorString();
        return false;
    }
    m_processes.push_back(std::move(process));
    return true;
}

bool PlasmaSession::startPanel()
{
    if (panelArea())
        return true;
    if (!launch(u"/usr/lib/x86_64-linux-gnu/libexec/kactivitymanagerd"_s, {}) ||
        !launch(u"kded5"_s, {}))
        return false;
    // Outside a full Plasma session kded loads the tray's watcher only when asked.
    const auto bus = QDBusConnection::connectToBus(
        m_environment.value(u"DBUS_SESSION_BUS_ADDRESS"_s), u"lexwick-plasma-panel"_s);
    const bool watching = eventually(
        [&] {
            QDBusInterface kded(u"org.kde.kded5"_s, u"/kded"_s, u"org.kde.kded5"_s, bus);
            const QDBusReply<bool> loaded = kded.call(u"loadModule"_s, u"statusnotifierwatcher"_s);
            return loaded.isValid() && loaded.value();
        },
        std::chrono::seconds(20));
    QDBusConnection::disconnectFromBus(u"lexwick-plasma-panel"_s);
    if (!watching) {
        m_failure = u"kded did not load the tray's watcher"_s;
        return false;
    }
    if (!launch(u"plasmashell"_s, {u"--no-respawn"_s}))
        return false;
    // Its window comes first; what it draws, a few seconds later, and the tray's own icons
    // after that: ready when the panel left of the clock stays the same for two seconds.
    QImage last;
    int unchanged = 0;
    return eventually(
        [&] {
            const auto area = panelArea();
            const QImage panel = area ? screenshot(area->adjusted(0, 0, -clockWidth, 0)) : QImage();
            unchanged = !panel.isNull() && panel == last ? unchanged + 1 : 0;
            last = panel;
            QThread::msleep(250);
            return unchanged >= 8;
        },
        std::chrono::seconds(60));
}

std::optional<QRect> PlasmaSession::panelArea() const
{
    for (const Window& window : windows()) {
        if (window.appId == u"org.kde.plasmashell" && window.title == u"Plasma" &&
            !window.geometry.isEmpty() && window.geometry.height() < 100)
            return window.geometry;
    }
    return std::nullopt;
}

QByteArray PlasmaSession::command(const QByteArray& line, bool list) const
{
    if (!m_input || m_input->state() != QProcess::Running)
        return {};
    m_input->write(line + '\n');
    QByteArray answer;
    const QDeadlineTimer deadline(std::chrono::seconds(10));
    while (!deadline.hasExpired()) {
        if (!m_input->canReadLine() && !m_input->waitForReadyRead(100))
            continue;
        const QByteArray read = m_input->readLine();
        if (!list)
            return read.trimmed();
        if (read.trimmed() == "end")
            return answer;
        answer += read;
    }
    return answer;
}

std::vector<PlasmaSession::Window> PlasmaSession::windows() const
{
    std::vector<Window> found;
    for (const QByteArray& line : command("windows", true).split('\n')) {
        // "STATE X Y WIDTH HEIGHT APP_ID|TITLE"
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 6)
            continue;
        const unsigned state = fields[0].toUInt();
        qsizetype restStart = 0;
        for (int field = 0; field < 5; ++field)
            restStart = line.indexOf(' ', restStart) + 1;
        const QByteArray rest = line.mid(restStart);
        Window window;
        window.geometry =
            QRect(fields[1].toInt(), fields[2].toInt(), fields[3].toInt(), fields[4].toInt());
        window.appId = QString::fromUtf8(rest.left(rest.indexOf('|')));
        window.title = QString::fromUtf8(rest.mid(rest.indexOf('|') + 1));
        window.active = state & activeFlag;
        window.skipsTaskbar = state & skipTaskbarFlag;
        if (!window.geometry.isEmpty()) // placed and shown
            found.push_back(window);
    }
    return found;
}

std::optional<PlasmaSession::Window> PlasmaSession::window(const QString& title) const
{
    for (const Window& window : windows()) {
        if (window.title == title)
            return window;
    }
    return std::nullopt;
}

// KWin writes the picture, raw, into the pipe it is given after it has answered with its
// size and format.
QImage PlasmaSession::screenshot(QRect area) const
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    QDBusUnixFileDescriptor writeEnd(fds[1]);
    ::close(fds[1]);
    QFile picture;
    picture.open(fds[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);

    const auto bus = QDBusConnection::connectToBus(
        m_environment.value(u"DBUS_SESSION_BUS_ADDRESS"_s), u"lexwick-plasma-screenshot"_s);
    QVariantMap results;
    {
        QDBusInterface screenshots(u"org.kde.KWin"_s, u"/org/kde/KWin/ScreenShot2"_s,
                                   u"org.kde.KWin.ScreenShot2"_s, bus);
        const QDBusReply<QVariantMap> reply =
            screenshots.call(u"CaptureWorkspace"_s, QVariantMap{{u"native-resolution"_s, true}},
                             QVariant::fromValue(writeEnd));
        if (reply.isValid())
            results = reply.value();
    }
    QDBusConnection::disconnectFromBus(u"lexwick-plasma-screenshot"_s);
    writeEnd = QDBusUnixFileDescriptor();
    if (results.isEmpty())
        return {};

    const int width = results.value(u"width"_s).toInt();
    const int height = results.value(u"height"_s).toInt();
    const int stride = results.value(u"stride"_s).toInt();
    const auto format = QImage::Format(results.value(u"format"_s).toInt());
    const QByteArray data = picture.readAll();
    if (width <= 0 || height <= 0 || data.size() < qsizetype(stride) * height)
        return {};
    const QImage screen(reinterpret_cast<const uchar*>(data.constData()), width, height, stride,
                        format);
    return area.isEmpty() ? QImage() : screen.copy(area).convertToFormat(QImage::Format_RGB32);
}

void PlasmaSession::click(QPoint at) const
{
    command("move " + QByteArray::number(at.x()) + ' ' + QByteArray::number(at.y()));
    command("click");
}

void PlasmaSession::type(const QString& text) const
{
    static const char* const letters = "qwertyuiopasdfghjklzxcvbnm";
    static const unsigned letterCodes[] = {
        KEY_Q, KEY_W, KEY_E, KEY_R, KEY_T, KEY_Y, KEY_U, KEY_I, KEY_O, KEY_P, KEY_A, KEY_S, KEY_D,
        KEY_F, KEY_G, KEY_H, KEY_J, KEY_K, KEY_L, KEY_Z, KEY_X, KEY_C, KEY_V, KEY_B, KEY_N, KEY_M};
    for (const QChar character : text) {
        const char lower = char(character.toLower().toLatin1());
        if (const char* letter = std::strchr(letters, lower); letter && lower) {
            const unsigned code = letterCodes[letter - letters];
            character.isUpper() ? key({KEY_LEFTSHIFT, code}) : key({code});
        } else if (lower >= '1' && lower <= '9') {
            key({unsigned(KEY_1 + (lower - '1'))});
        } else if (lower == '0') {
            key({KEY_0});
        } else if (lower == ' ') {
            key({KEY_SPACE});
        } else if (lower == '.') {
            key({KEY_DOT});
        } else if (lower == ',') {
            key({KEY_COMMA});
        }
    }
}

void PlasmaSession::key(std::initializer_list<unsigned> codes) const
{
    for (const unsigned code : codes)
        command("press " + QByteArray::number(code));
    for (auto it = std::rbegin(codes); it != std::rend(codes); ++it)
        command("release " + QByteArray::number(*it));
}

QString PlasmaSession::activationToken() const
{
    // KWin answers a client it does not trust with a token that activates nothing.
    const QByteArray token = command("token");
    return token.startsWith("not-granted") ? QString() : QString::fromUtf8(token);
}

std::optional<QByteArray> PlasmaSession::clipboard() const
{
    return run(u"wl-paste"_s, {u"--no-newline"_s});
}

std::unique_ptr<QProcess> PlasmaSession::start(const QString& program,
                                               const QStringList& arguments) const
{
    return prepareProgram(m_environment, m_home.path(), program, arguments);
}

std::optional<QByteArray> PlasmaSession::run(const QString& program, const QStringList& arguments,
                                             const QByteArray& input) const
{
    return runTool(m_environment, program, arguments, input);
}

} // namespace lexwick::test
