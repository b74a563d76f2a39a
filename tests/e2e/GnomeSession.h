// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDBusConnection>
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

// A GNOME Shell desktop of its own for a test, headless: the Shell on Wayland with a virtual
// monitor of 1280x800, the Xwayland it starts, the AppIndicator extension for a tray, hot
// corners off. It runs on a private session bus and a second private bus as the system bus,
// with fresh home, configuration (dconf) and runtime folders. GNOME 43's top bar is black
// whatever the theme: there is no light bar to choose.
//
// Pictures come from the Shell's screenshot service, which answers only a caller owning
// org.gnome.Screenshot: the session's own connection does. Input goes through one
// org.gnome.Mutter.RemoteDesktop session kept open for the whole run (the seat has no
// keyboard before a virtual one has pressed a key, and while the session lives the top bar
// shows its indicator left of the tray icons). Everything is stopped in reverse order on
// destruction.
class GnomeSession {
public:
    GnomeSession();
    ~GnomeSession();
    GnomeSession(const GnomeSession&) = delete;
    GnomeSession& operator=(const GnomeSession&) = delete;

    // Empty when everything started; otherwise what did not.
    const QString& failure() const { return m_failure; }

    // The environment a program started on this desktop gets (both WAYLAND_DISPLAY and DISPLAY).
    const QProcessEnvironment& environment() const { return m_environment; }
    QString homePath(const QString& relative) const;
    // Xwayland's display, ":N".
    QString xDisplay() const { return m_environment.value(QStringLiteral("DISPLAY")); }

    // Starts a program on this desktop; its two output channels are merged.
    std::unique_ptr<QProcess> start(const QString& program,
                                    const QStringList& arguments = {}) const;
    // Runs a tool to its end while the event loop runs: its standard output, or nothing when it
    // failed or took longer than the timeout.
    std::optional<QByteArray>
    run(const QString& program, const QStringList& arguments, const QByteArray& input = {},
        std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // What the screen shows in that area now; a null image when the Shell did not say.
    QImage screenshot(QRect area) const;

    // The pointer goes to the top-left corner and from there by the offset: the session has no
    // stream for absolute positions.
    void moveTo(QPoint at);
    void click(QPoint at);
    void doubleClick(QPoint at);
    // Keys by their keysyms, pressed in order and released in reverse (a combination).
    void keys(const std::vector<quint32>& keysyms);
    void type(const QString& text);

    // The clipboard's text as a Wayland client reads it (wl-paste, which takes the focus for a
    // moment on GNOME: read it after the step under test).
    std::optional<QByteArray> clipboard() const;

private:
    bool launch(const QString& program, const QStringList& arguments);
    std::optional<QByteArray> lineMatching(const QByteArray& text,
                                           std::chrono::milliseconds timeout);
    bool startInput();
    void call(const QString& method, const QVariantList& arguments);

    QTemporaryDir m_home;
    QProcessEnvironment m_environment;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    std::optional<QDBusConnection> m_bus;
    QString m_inputSession;
    QString m_failure;
    mutable int m_pictures = 0;
};

// Keysyms the tests use.
namespace keysym {
constexpr quint32 returnKey = 0xff0d;
constexpr quint32 escape = 0xff1b;
constexpr quint32 down = 0xff54;
constexpr quint32 control = 0xffe3;
constexpr quint32 shift = 0xffe1;
} // namespace keysym

} // namespace lexwick::test
