// SPDX-License-Identifier: MIT
#include "GnomeSession.h"

#include "X11Session.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace lexwick::test {

namespace {

const QString remoteDesktopService = u"org.gnome.Mutter.RemoteDesktop"_s;
const QString remoteDesktopSession = u"org.gnome.Mutter.RemoteDesktop.Session"_s;
constexpr int leftButton = 0x110; // BTN_LEFT: buttons are evdev codes

} // namespace

GnomeSession::GnomeSession()
{
    const QString home = m_home.path();
    for (const QString& folder : {u".config"_s, u".local/share"_s, u".cache"_s, u"run"_s})
        QDir(home).mkpath(folder);
    QFile::setPermissions(home + u"/run"_s, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    m_environment.insert(u"PATH"_s, qEnvironmentVariable("PATH"));
    m_environment.insert(u"HOME"_s, home);
    m_environment.insert(u"XDG_CONFIG_HOME"_s, home + u"/.config"_s);
    m_environment.insert(u"XDG_DATA_HOME"_s, home + u"/.local/share"_s);
    m_environment.insert(u"XDG_CACHE_HOME"_s, home + u"/.cache"_s);
    m_environment.insert(u"XDG_RUNTIME_DIR"_s, home + u"/run"_s);
    m_environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    for (const char* sanitizer : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (qEnvironmentVariableIsSet(sanitizer))
            m_environment.insert(QString::fromLatin1(sanitizer), qEnvironmentVariable(sanitizer));
    }

    // The Shell dies at start without a system bus (its login manager): a private one will do.
    for (const QString& variable : {u"DBUS_SESSION_BUS_ADDRESS"_s, u"DBUS_SYSTEM_BUS_ADDRESS"_s}) {
        if (!launch(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s}))
            return;
        const auto address = lineMatching("unix:path=", std::chrono::seconds(20));
        if (!address) {
            m_failure = u"dbus-daemon did not start"_s;
            return;
        }
        m_environment.insert(variable, QString::fromLatin1(*address));
    }

    // Settings the Shell reads at start, in the private dconf database.
    const QList<QStringList> settings{
        {u"org.gnome.shell"_s, u"enabled-extensions"_s, u"['ubuntu-appindicators@ubuntu.com']"_s},
        {u"org.gnome.desktop.interface"_s, u"enable-hot-corners"_s, u"false"_s},
        {u"org.gnome.desktop.peripherals.mouse"_s, u"accel-profile"_s, u"flat"_s},
        {u"org.gnome.shell"_s, u"welcome-dialog-last-shown-version"_s, u"'999'"_s},
        // Notifications go to the list only: no banner over what the tests look at.
        {u"org.gnome.desktop.notifications"_s, u"show-banners"_s, u"false"_s},
    };
    for (const QStringList& setting : settings) {
        if (!run(u"gsettings"_s, QStringList{u"set"_s} + setting)) {
            m_failure = u"gsettings could not set "_s + setting.join(u' ');
            return;
        }
    }

    // Without a display manager the Shell tells once that it cannot lock the screen, with a
    // notification over the top of the screen; the file says it was told.
    QDir(home).mkpath(u".local/share/gnome-shell"_s);
    QFile(home + u"/.local/share/gnome-shell/lock-warning-shown"_s).open(QIODevice::WriteOnly);

    const QString display = u"lexwick-"_s + QString::number(QCoreApplication::applicationPid());
    if (!launch(u"gnome-shell"_s, {u"--wayland"_s, u"--headless"_s, u"--virtual-monitor"_s,
                                   u"1280x800"_s, u"--wayland-display="_s + display}))
        return;
    // "Using public X11 display :1, (using :2 for managed services)"
    const auto xwayland = lineMatching("Using public X11 display", std::chrono::seconds(60));
    if (!xwayland) {
        m_failure = u"gnome-shell did not start Xwayland"_s;
        QFile log(m_processes.back()->property("log").toString());
        if (log.open(QIODevice::ReadOnly))
            m_failure += u": "_s + QString::fromUtf8(log.readAll().right(600)).trimmed();
        return;
    }
    const auto announced = QString::fromUtf8(*xwayland).section(u"Using public X11 display "_s, 1);
    m_environment.insert(u"WAYLAND_DISPLAY"_s, display);
    m_environment.insert(u"DISPLAY"_s, announced.section(u',', 0, 0).trimmed());
    const QStringList authority =
        QDir(home + u"/run"_s).entryList({u".mutter-Xwaylandauth.*"_s}, QDir::Files | QDir::Hidden);
    if (!authority.isEmpty())
        m_environment.insert(u"XAUTHORITY"_s, home + u"/run/"_s + authority.first());
    m_environment.insert(u"XDG_SESSION_TYPE"_s, u"wayland"_s);
    m_environment.insert(u"XDG_CURRENT_DESKTOP"_s, u"GNOME"_s);

    m_bus =
        QDBusConnection::connectToBus(m_environment.value(u"DBUS_SESSION_BUS_ADDRESS"_s),
                                      u"gnome-session-"_s + QString::number(quintptr(this), 16));
    if (!m_bus->isConnected()) {
        m_failure = u"the session bus did not answer"_s;
        return;
    }
    m_bus->interface()->registerService(u"org.gnome.Screenshot"_s);
    const bool ready = eventually(
        [this] {
            const auto names = m_bus->interface()->registeredServiceNames().value();
            return names.contains(u"org.gnome.Shell.Screenshot"_s) &&
                   names.contains(remoteDesktopService) &&
                   names.contains(u"org.kde.StatusNotifierWatcher"_s);
        },
        std::chrono::seconds(60));
    if (!ready) {
        m_failure = u"gnome-shell did not offer its screenshots, input and tray"_s;
        return;
    }
    if (!startInput()) {
        m_failure = u"the remote desktop session did not start"_s;
        return;
    }
    // The Shell starts in its overview: Escape leaves it for the empty desktop.
    keys({keysym::escape});
    QTest::qWait(1000);
}

GnomeSession::~GnomeSession()
{
    if (m_bus && !m_inputSession.isEmpty())
        call(u"Stop"_s, {});
    if (m_bus)
        QDBusConnection::disconnectFromBus(m_bus->name());
    stopInReverse(m_processes);
}

QString GnomeSession::homePath(const QString& relative) const
{
    return m_home.filePath(relative);
}

// Its output goes to a file of its own, read for what it announces and kept for the failure
// message; a pipe nobody reads any more would stall it once full.
bool GnomeSession::launch(const QString& program, const QStringList& arguments)
{
    auto process = start(program, arguments);
    const QString log = m_home.filePath(u"%1-%2.log"_s.arg(program).arg(m_processes.size()));
    process->setStandardOutputFile(log);
    process->start();
    if (!process->waitForStarted()) {
        m_failure = program + u" could not be started: "_s + process->errorString();
        return false;
    }
    process->setProperty("log", log);
    m_processes.push_back(std::move(process));
    return true;
}

// The first line of the output of the program launched last that contains the text, or nothing
// when it ends or time is up first.
std::optional<QByteArray> GnomeSession::lineMatching(const QByteArray& text,
                                                     std::chrono::milliseconds timeout)
{
    QProcess& process = *m_processes.back();
    std::optional<QByteArray> found;
    const bool seen = eventually(
        [&] {
            QFile log(process.property("log").toString());
            if (log.open(QIODevice::ReadOnly)) {
                for (const QByteArray& line : log.readAll().split('\n')) {
                    if (line.contains(text)) {
                        found = line.trimmed();
                        return true;
                    }
                }
            }
            return process.state() != QProcess::Running;
        },
        timeout);
    return seen ? found : std::nullopt;
}

std::unique_ptr<QProcess> GnomeSession::start(const QString& program,
                                              const QStringList& arguments) const
{
    return prepareProgram(m_environment, m_home.path(), program, arguments);
}

std::optional<QByteArray> GnomeSession::run(const QString& program, const QStringList& arguments,
                                            const QByteArray& input,
                                            std::chrono::milliseconds timeout) const
{
    // The event loop runs meanwhile: the tool may wait for an answer from this process.
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    const bool ended = eventually([&] { return process.state() == QProcess::NotRunning; }, timeout);
    if (!ended || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

QImage GnomeSession::screenshot(QRect area) const
{
    if (!m_bus)
        return {};
    const QString file = m_home.filePath(u"picture-%1.png"_s.arg(++m_pictures));
    QDBusMessage call = QDBusMessage::createMethodCall(
        u"org.gnome.Shell.Screenshot"_s, u"/org/gnome/Shell/Screenshot"_s,
        u"org.gnome.Shell.Screenshot"_s, u"ScreenshotArea"_s);
    call << area.x() << area.y() << area.width() << area.height() << false << file;
    const QDBusMessage reply = m_bus->call(call, QDBus::Block, 10'000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2 ||
        !reply.arguments().at(0).toBool())
        return {};
    QImage picture(reply.arguments().at(1).toString());
    QFile::remove(reply.arguments().at(1).toString());
    return picture;
}

bool GnomeSession::startInput()
{
    const QDBusReply<QDBusObjectPath> created = m_bus->call(
        QDBusMessage::createMethodCall(remoteDesktopService, u"/org/gnome/Mutter/RemoteDesktop"_s,
                                       remoteDesktopService, u"CreateSession"_s));
    if (!created.isValid())
        return false;
    m_inputSession = created.value().path();
    const QDBusMessage started = m_bus->call(QDBusMessage::createMethodCall(
        remoteDesktopService, m_inputSession, remoteDesktopSession, u"Start"_s));
    if (started.type() != QDBusMessage::ReplyMessage)
        return false;
    // Keys right after the start may be lost; and the seat has a keyboard once one was pressed.
    QTest::qWait(500);
    keys({keysym::shift});
    return true;
}

void GnomeSession::call(const QString& method, const QVariantList& arguments)
{
    if (!m_bus || m_inputSession.isEmpty())
        return;
    QDBusMessage message = QDBusMessage::createMethodCall(remoteDesktopService, m_inputSession,
                                                          remoteDesktopSession, method);
    message.setArguments(arguments);
    m_bus->call(message, QDBus::Block, 5000);
}

void GnomeSession::moveTo(QPoint at)
{
    call(u"NotifyPointerMotionRelative"_s, {-5000.0, -5000.0});
    call(u"NotifyPointerMotionRelative"_s, {double(at.x()), double(at.y())});
    QTest::qWait(50);
}

void GnomeSession::click(QPoint at)
{
    moveTo(at);
    call(u"NotifyPointerButton"_s, {leftButton, true});
    call(u"NotifyPointerButton"_s, {leftButton, false});
}

void GnomeSession::doubleClick(QPoint at)
{
    click(at);
    call(u"NotifyPointerButton"_s, {leftButton, true});
    call(u"NotifyPointerButton"_s, {leftButton, false});
}

void GnomeSession::keys(const std::vector<quint32>& keysyms)
{
    for (const quint32 sym : keysyms)
        call(u"NotifyKeyboardKeysym"_s, {sym, true});
    for (auto it = keysyms.rbegin(); it != keysyms.rend(); ++it)
        call(u"NotifyKeyboardKeysym"_s, {*it, false});
    QTest::qWait(30);
}

void GnomeSession::type(const QString& text)
{
    for (const char32_t character : text.toUcs4()) {
        // Latin-1's keysyms are its code points; the rest are offset into Unicode's.
        keys({character < 0x100 ? quint32(character) : 0x01000000u + quint32(character)});
    }
}

std::optional<QByteArray> GnomeSession::clipboard() const
{
    return run(u"wl-paste"_s, {u"--no-newline"_s});
}

} // namespace lexwick::test
