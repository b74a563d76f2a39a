// SPDX-License-Identifier: MIT
#include "X11Session.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QtEndian>
#include <QRegularExpression>
#include <QThread>

using namespace Qt::StringLiterals;

namespace lexwick::test {

std::unique_ptr<QProcess> prepareProgram(const QProcessEnvironment& environment,
                                         const QString& home, const QString& program,
                                         const QStringList& arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProgram(program);
    process->setArguments(arguments);
    process->setProcessEnvironment(environment);
    process->setWorkingDirectory(home);
    process->setProcessChannelMode(QProcess::MergedChannels);
    return process;
}

std::optional<QByteArray> runTool(const QProcessEnvironment& environment, const QString& program,
                                  const QStringList& arguments, const QByteArray& input,
                                  std::chrono::milliseconds timeout)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(int(timeout.count())) ||
        process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

void stopInReverse(std::vector<std::unique_ptr<QProcess>>& processes)
{
    for (auto it = processes.rbegin(); it != processes.rend(); ++it) {
        QProcess& process = **it;
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(3000);
    }
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(50);
    }
    return true;
}

namespace {

// Each thread's voluntary context switches, by thread id.
std::optional<QHash<QString, qint64>> voluntarySwitches(qint64 pid)
{
    static const QRegularExpression field(u"^voluntary_ctxt_switches:\\s+(\\d+)$"_s,
                                          QRegularExpression::MultilineOption);
    const QDir tasks(u"/proc/%1/task"_s.arg(pid));
    if (!tasks.exists())
        return std::nullopt;
    QHash<QString, qint64> switches;
    for (const QString& thread : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks.filePath(thread + u"/status"_s));
        if (!status.open(QIODevice::ReadOnly))
            continue; // ended in between
        const auto match = field.match(QString::fromLatin1(status.readAll()));
        if (match.hasMatch())
            switches.insert(thread, match.captured(1).toLongLong());
    }
    return switches;
}

} // namespace

std::optional<double> wakeupsPerSecond(qint64 pid, std::chrono::milliseconds period)
{
    const auto before = voluntarySwitches(pid);
    QElapsedTimer clock;
    clock.start();
    eventually([] { return false; }, period);
    const auto after = voluntarySwitches(pid);
    if (!before || !after)
        return std::nullopt;
    qint64 woken = 0;
    for (auto it = after->cbegin(); it != after->cend(); ++it)
        woken += it.value() - before->value(it.key(), 0); // a new thread: all of its own
    return double(woken) * 1000.0 / double(clock.elapsed());
}

X11Session::X11Session(Options options)
{
    const QString home = m_home.path();
    QDir(home).mkpath(u".config"_s);
    QDir(home).mkpath(u"run"_s);
    QFile::setPermissions(home + u"/run"_s, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // Nothing of the caller's desktop leaks in: no display, bus or configuration of its own.
    m_environment.insert(u"PATH"_s, qEnvironmentVariable("PATH"));
    m_environment.insert(u"HOME"_s, home);
    m_environment.insert(u"XDG_CONFIG_HOME"_s, home + u"/.config"_s);
    m_environment.insert(u"XDG_RUNTIME_DIR"_s, home + u"/run"_s);
    m_environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    m_environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    for (const char* sanitizer : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (qEnvironmentVariableIsSet(sanitizer))
            m_environment.insert(QString::fromLatin1(sanitizer), qEnvironmentVariable(sanitizer));
    }

    // -displayfd picks a free display and prints its number once the server accepts clients;
    // -fbdir keeps the screen's pixels in a file, an XWD image, for the tests to look at.
    QDir(home).mkpath(u"screen"_s);
    if (!launch(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, u"1280x800x24"_s,
                            u"-nolisten"_s, u"tcp"_s, u"-fbdir"_s, home + u"/screen"_s})) {
        return;
    }
    const auto display = firstLine(std::chrono::seconds(20));
    if (!display) {
        m_failure = u"Xvfb did not start"_s;
        return;
    }
    m_environment.insert(u"DISPLAY"_s, u":"_s + QString::fromLatin1(*display));

    if (!launch(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s}))
        return;
    const auto bus = firstLine(std::chrono::seconds(20));
    if (!bus) {
        m_failure = u"dbus-daemon did not start"_s;
        return;
    }
    m_environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, QString::fromLatin1(*bus));

    if (!launch(u"openbox"_s, {}))
        return;
    const bool managed = eventually(
        [this] {
            const auto check = run(u"xprop"_s, {u"-root"_s, u"_NET_SUPPORTING_WM_CHECK"_s});
            return check && check->contains("window id");
        },
        std::chrono::seconds(20));
    if (!managed) {
        const QProcess& openbox = *m_processes.back();
        QFile errors(m_home.filePath(u"openbox.stderr"_s));
        m_failure = u"openbox did not start"_s;
        if (openbox.state() != QProcess::Running)
            m_failure += u" (it exited with %1)"_s.arg(openbox.exitCode());
        if (errors.open(QIODevice::ReadOnly))
            m_failure += u": "_s + QString::fromUtf8(errors.readAll().right(400)).trimmed();
        return;
    }

    if (options.tray && !startTray() && m_failure.isEmpty())
        m_failure = u"trayer did not start"_s;
}

bool X11Session::startTray()
{
    if (trayArea())
        return true;
    if (!launch(u"trayer"_s, {u"--edge"_s, u"top"_s, u"--align"_s, u"right"_s, u"--widthtype"_s,
                              u"request"_s, u"--height"_s, u"24"_s, u"--SetDockType"_s, u"true"_s}))
        return false;
    return eventually([this] { return trayArea().has_value(); }, std::chrono::seconds(20));
}

X11Session::~X11Session()
{
    stopInReverse(m_processes);
}

QString X11Session::homePath(const QString& relative) const
{
    return m_home.filePath(relative);
}

bool X11Session::launch(const QString& program, const QStringList& arguments)
{
    auto process = start(program, arguments);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    // Kept for the failure message: a desktop program that dies says why there.
    process->setStandardErrorFile(m_home.filePath(program + u".stderr"_s));
    process->start();
    if (!process->waitForStarted()) {
        m_failure = program + u" could not be started: "_s + process->errorString();
        return false;
    }
    m_processes.push_back(std::move(process));
    return true;
}

std::optional<QByteArray> X11Session::firstLine(std::chrono::milliseconds timeout)
{
    QProcess& process = *m_processes.back();
    const QDeadlineTimer deadline(timeout);
    while (!process.canReadLine()) {
        if (deadline.hasExpired() || process.state() != QProcess::Running)
            return std::nullopt;
        process.waitForReadyRead(100);
    }
    return process.readLine().trimmed();
}

std::unique_ptr<QProcess> X11Session::start(const QString& program,
                                            const QStringList& arguments) const
{
    return prepareProgram(m_environment, m_home.path(), program, arguments);
}

std::optional<QByteArray> X11Session::run(const QString& program, const QStringList& arguments,
                                          const QByteArray& input) const
{
    return runTool(m_environment, program, arguments, input);
}

namespace {

// xdotool's "getwindowgeometry --shell" answer.
std::optional<QRect> parseGeometry(const QByteArray& shell)
{
    static const QRegularExpression field(u"^(X|Y|WIDTH|HEIGHT)=(-?\\d+)$"_s,
                                          QRegularExpression::MultilineOption);
    QRect rect;
    int found = 0;
    for (auto it = field.globalMatch(QString::fromLatin1(shell)); it.hasNext(); ++found) {
        const auto match = it.next();
        const int value = match.captured(2).toInt();
        const QString name = match.captured(1);
        if (name == u"X")
            rect.moveLeft(value);
        else if (name == u"Y")
            rect.moveTop(value);
        else if (name == u"WIDTH")
            rect.setWidth(value);
        else
            rect.setHeight(value);
    }
    return found == 4 && !rect.isEmpty() ? std::optional(rect) : std::nullopt;
}

} // namespace

std::optional<QRect> X11Session::trayArea() const
{
    const auto shell = run(u"xdotool"_s, {u"search"_s, u"--classname"_s, u"^panel$"_s,
                                          u"getwindowgeometry"_s, u"--shell"_s, u"%1"_s});
    return shell ? parseGeometry(*shell) : std::nullopt;
}

std::optional<QRect> X11Session::visibleWindow(const QString& title) const
{
    const auto shell = run(u"xdotool"_s,
                           {u"search"_s, u"--onlyvisible"_s, u"--name"_s, u'^' + title + u'$',
                            u"getwindowgeometry"_s, u"--shell"_s, u"%1"_s});
    return shell ? parseGeometry(*shell) : std::nullopt;
}

// The XWD header: big-endian 32-bit fields, the ones read here at these indices.
QImage X11Session::screenshot(QRect area) const
{
    QFile file(m_home.filePath(u"screen/Xvfb_screen0"_s));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    const auto field = [&data](int index) {
        return qFromBigEndian<quint32>(data.constData() + 4 * index);
    };
    if (data.size() < 100)
        return {};
    const quint32 headerSize = field(0), width = field(4), height = field(5), byteOrder = field(7),
                  bitsPerPixel = field(11), bytesPerLine = field(12), colours = field(19);
    const qsizetype pixels = qsizetype(headerSize) + 12 * qsizetype(colours);
    if (bitsPerPixel != 32 || byteOrder != 0 ||
        data.size() < pixels + qsizetype(bytesPerLine) * height)
        return {};
    // Least significant byte first, 0x00RRGGBB: what QImage calls RGB32 on this machine.
    const QImage screen(reinterpret_cast<const uchar*>(data.constData() + pixels), int(width),
                        int(height), int(bytesPerLine), QImage::Format_RGB32);
    return screen.copy(area);
}

void X11Session::click(QPoint at) const
{
    run(u"xdotool"_s, {u"mousemove"_s, QString::number(at.x()), QString::number(at.y()),
                       u"click"_s, u"1"_s});
}

void X11Session::type(const QString& text) const
{
    run(u"xdotool"_s, {u"type"_s, u"--delay"_s, u"10"_s, text});
}

void X11Session::key(const QString& keys) const
{
    run(u"xdotool"_s, {u"key"_s, keys});
}

} // namespace lexwick::test
