// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace lexwick::test {

// A desktop of its own for a test: an X server (Xvfb), a session bus, a window manager
// (openbox: a tool window gets the keyboard only from one) and, if asked, a tray (trayer,
// an XEmbed tray at the screen's top right). Home, configuration and runtime folders are
// fresh temporary ones. Everything started is stopped, in reverse order, on destruction.
class X11Session {
public:
    struct Options {
        bool tray = true;
    };

    explicit X11Session(Options options);
    ~X11Session();
    X11Session(const X11Session&) = delete;
    X11Session& operator=(const X11Session&) = delete;

    // Empty when everything started; otherwise what did not.
    const QString& failure() const { return m_failure; }

    // The environment a program started on this desktop gets.
    const QProcessEnvironment& environment() const { return m_environment; }
    // A path below the session's home folder.
    QString homePath(const QString& relative) const;

    // Starts a program on this desktop; its two output channels are merged.
    std::unique_ptr<QProcess> start(const QString& program, const QStringList& arguments = {}) const;
    // Runs a tool (xdotool, xclip) to its end: its standard output, or nothing when it failed.
    std::optional<QByteArray> run(const QString& program, const QStringList& arguments,
                                  const QByteArray& input = {}) const;

    // Starts the XEmbed tray (trayer) if it does not run yet; false when it did not come up.
    bool startTray();
    // The tray's panel, where the icons dock.
    std::optional<QRect> trayArea() const;
    // The geometry of the visible top-level window of this title, if there is one.
    std::optional<QRect> visibleWindow(const QString& title) const;
    // What the screen shows in that area now; a null image when it cannot be read.
    QImage screenshot(QRect area) const;
    void click(QPoint at) const;
    void type(const QString& text) const;
    void key(const QString& keys) const;

private:
    bool launch(const QString& program, const QStringList& arguments);
    // Waits for the program launched last to print a line, which it does once it is ready.
    std::optional<QByteArray> firstLine(std::chrono::milliseconds timeout);

    QTemporaryDir m_home;
    QProcessEnvironment m_environment;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    QString m_failure;
};

// What the test desktops share. A program made ready to start on a desktop: its environment,
// the home folder as working folder, its two output channels merged.
std::unique_ptr<QProcess> prepareProgram(const QProcessEnvironment& environment,
                                         const QString& home, const QString& program,
                                         const QStringList& arguments);
// Runs a tool to its end: its standard output, or nothing when it failed or outlived the
// timeout. The event loop waits meanwhile.
std::optional<QByteArray> runTool(const QProcessEnvironment& environment, const QString& program,
                                  const QStringList& arguments, const QByteArray& input = {},
                                  std::chrono::milliseconds timeout = std::chrono::seconds(10));
// Stops what a desktop started, the last started first.
void stopInReverse(std::vector<std::unique_ptr<QProcess>>& processes);

// Polls the condition, running the event loop between looks, until it holds or time is up.
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds timeout = std::chrono::seconds(20));

// How often the threads of the process were woken, per second, over the period (the event loop
// runs meanwhile): the sum of their voluntary context switches, each a time a thread slept and
// was woken. A thread that ends meanwhile is left out. Nothing when the process cannot be read.
std::optional<double> wakeupsPerSecond(qint64 pid, std::chrono::milliseconds period);

} // namespace lexwick::test
