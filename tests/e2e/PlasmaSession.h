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
#include <memory>
#include <optional>
#include <vector>

namespace lexwick::test {

// A KDE Plasma desktop of its own for a test: KWin on a virtual screen with Xwayland, a session
// bus, and, if asked, the Plasma panel with its system tray (light or dark). Home,
// configuration and runtime folders are fresh temporary ones. Input and the list of windows
// come from a small Wayland client (fake_input) that KWin trusts as it trusts a launcher; the
// screen is read through KWin's screenshot interface. Everything started is stopped, in
// reverse order, on destruction.
class PlasmaSession {
public:
    struct Options {
        bool panel = true;
        bool dark = false;
    };

    // A top-level window as KWin's window management reports it.
    struct Window {
        QString appId;
        QString title;
        QRect geometry;
        bool active = false;
        bool skipsTaskbar = false;
    };

    explicit PlasmaSession(Options options);
    ~PlasmaSession();
    PlasmaSession(const PlasmaSession&) = delete;
    PlasmaSession& operator=(const PlasmaSession&) = delete;

    // Empty when everything started; otherwise what did not.
    const QString& failure() const { return m_failure; }

    // The environment a program started on this desktop gets: native Wayland; a program
    // through Xwayland sets QT_QPA_PLATFORM=xcb (DISPLAY is set).
    const QProcessEnvironment& environment() const { return m_environment; }
    QString homePath(const QString& relative) const;

    std::unique_ptr<QProcess> start(const QString& program,
                                    const QStringList& arguments = {}) const;
    std::optional<QByteArray> run(const QString& program, const QStringList& arguments,
                                  const QByteArray& input = {}) const;

    // Starts the panel (activity manager, kded with the tray's watcher, plasmashell) if it
    // does not run yet; false when it did not come up.
    bool startPanel();
    // The width of the clock and the show-desktop button at the panel's right end: what
    // changes there is not the tray's.
    static constexpr int clockWidth = 140;
    // The panel at the screen's bottom, once it shows.
    std::optional<QRect> panelArea() const;

    std::vector<Window> windows() const;
    // The visible window of this title, if there is one.
    std::optional<Window> window(const QString& title) const;

    // What the screen shows in that area now; a null image when it cannot be read.
    QImage screenshot(QRect area) const;
    void click(QPoint at) const;
    // Types letters, digits, spaces and ".,"; a capital with Shift.
    void type(const QString& text) const;
    // Evdev key codes pressed in order and released in reverse: {KEY_LEFTCTRL, KEY_ENTER}.
    void key(std::initializer_list<unsigned> codes) const;
    // A token as a launcher gets it for the program it starts; empty when KWin refused one.
    QString activationToken() const;
    // What the clipboard holds, as wl-paste reads it.
    std::optional<QByteArray> clipboard() const;

private:
    bool launch(const QString& program, const QStringList& arguments);
    // One command to the input client and its answer, up to the line "end" for a list.
    QByteArray command(const QByteArray& line, bool list = false) const;

    QTemporaryDir m_home;
    QProcessEnvironment m_environment;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    QProcess* m_kwin = nullptr;
    QProcess* m_input = nullptr;
    QString m_failure;
};

} // namespace lexwick::test
