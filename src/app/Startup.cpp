// SPDX-License-Identifier: MIT
#include "app/Startup.h"

#include <QDir>
#include <QGuiApplication>
#include <qpa/qplatformnativeinterface.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstring>

namespace lexwick {

namespace {

bool canConnectToX()
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool connected = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return connected;
}

// Where libwayland-client looks: WAYLAND_DISPLAY (default "wayland-0"), relative to
// XDG_RUNTIME_DIR unless absolute.
bool canConnectToWayland()
{
    if (qEnvironmentVariableIsSet("WAYLAND_SOCKET"))
        return true;
    QString name = qEnvironmentVariable("WAYLAND_DISPLAY", QStringLiteral("wayland-0"));
    if (!QDir::isAbsolutePath(name)) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (runtime.isEmpty())
            return false;
        name = runtime + u'/' + name;
    }
    const QByteArray path = QFile::encodeName(name);
    sockaddr_un address{};
    if (path.size() >= qsizetype(sizeof(address.sun_path)))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return connected;
}

} // namespace

std::optional<QString> displayProblem()
{
    // The application takes no arguments (any makes it the command), so no "-platform" either.
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    // Unset, Qt picks X11 or Wayland by the session; either will do. A list is tried in order.
    QStringList candidates{QStringLiteral("xcb"), QStringLiteral("wayland")};
    if (!platform.isEmpty()) {
        candidates.clear();
        for (const QString& entry : platform.split(u';', Qt::SkipEmptyParts))
            candidates << entry.section(u':', 0, 0);
    }
    bool reachable = false;
    for (const QString& candidate : candidates) {
        if (candidate == u"xcb")
            reachable = reachable || canConnectToX();
        else if (candidate.startsWith(u"wayland"))
            reachable = reachable || canConnectToWayland();
        else
            return std::nullopt; // offscreen, a framebuffer: no display server to reach
    }
    if (reachable)
        return std::nullopt;
    const QString x = qEnvironmentVariable("DISPLAY");
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (x.isEmpty() && wayland.isEmpty())
        return QStringLiteral("DISPLAY and WAYLAND_DISPLAY are not set");
    QStringList tried;
    if (!x.isEmpty() && candidates.contains(u"xcb"))
        tried << QStringLiteral("X display ") + x;
    if (!wayland.isEmpty() && candidates.contains(u"wayland"))
        tried << QStringLiteral("Wayland display ") + wayland;
    if (tried.isEmpty())
        return QStringLiteral("no display for the platform ") + platform;
    return QStringLiteral("no answer from ") + tried.join(QStringLiteral(" or "));
}

QVariantMap takeActivationData()
{
    QVariantMap data;
    for (const auto& [variable, key] : {std::pair{"XDG_ACTIVATION_TOKEN", "activation-token"},
                                        std::pair{"DESKTOP_STARTUP_ID", "desktop-startup-id"}}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty())
            data.insert(QString::fromLatin1(key), value);
        qunsetenv(variable);
    }
    return data;
}

QString activationToken(const QVariantMap& platformData)
{
    const QString token = platformData.value(QStringLiteral("activation-token")).toString();
    return !token.isEmpty() ? token
                            : platformData.value(QStringLiteral("desktop-startup-id")).toString();
}

void applyActivationToken(const QString& token)
{
    if (token.isEmpty())
        return;
    if (QGuiApplication::platformName() == u"xcb") {
        // Qt puts it on the next window it maps (_NET_STARTUP_ID), which the window manager's
        // focus-stealing prevention accepts, and ends the launcher's startup notification.
        using SetStartupId = void (*)(const char*);
        QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
        if (auto set = native ? reinterpret_cast<SetStartupId>(
                                    native->nativeResourceFunctionForIntegration("setstartupid"))
                              : nullptr)
            set(token.toUtf8().constData());
        return;
    }
    qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
}

} // namespace lexwick
