// SPDX-License-Identifier: MIT
#include "app/TrayWatch.h"

#include <QByteArray>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QGuiApplication>

#include <xcb/xcb.h>
// Xlib last: its macros (Bool, Status, None…) would break Qt's headers.
#include <X11/Xlib.h>

namespace lexwick {

namespace {

const QString statusNotifierWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");

Display* x11Display()
{
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                              : nullptr;
    return x11 ? x11->display() : nullptr;
}

} // namespace

TrayWatch::TrayWatch(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
    // Both watches begin before the first look, so a tray that comes in between is not missed.
    if (m_bus.isConnected()) {
        m_watcher = std::make_unique<QDBusServiceWatcher>(
            statusNotifierWatcher, m_bus, QDBusServiceWatcher::WatchForRegistration);
        connect(m_watcher.get(), &QDBusServiceWatcher::serviceRegistered, this,
                &TrayWatch::appeared);
    }
    if (Display* display = x11Display()) {
        const QByteArray selection = "_NET_SYSTEM_TRAY_S" + QByteArray::number(DefaultScreen(display));
        m_traySelection = XInternAtom(display, selection.constData(), False);
        m_managerAtom = XInternAtom(display, "MANAGER", False);
        qGuiApp->installNativeEventFilter(this);
    }
}

TrayWatch::~TrayWatch()
{
    if (m_traySelection && qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

TrayWatch::Tray TrayWatch::currentTray() const
{
    if (m_bus.isConnected() && m_bus.interface()->isServiceRegistered(statusNotifierWatcher))
        return Tray::statusNotifier;
    if (Display* display = x11Display(); display && m_traySelection &&
                                         XGetSelectionOwner(display, m_traySelection) != 0)
        return Tray::xembed;
    return Tray::none;
}

bool TrayWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return false;
    // The tray's announcement: MANAGER, with the selection it now owns as the second datum.
    const auto* client = static_cast<const xcb_client_message_event_t*>(message);
    if (client->type == m_managerAtom && client->format == 32 &&
        client->data.data32[1] == m_traySelection) {
        // Not from inside Qt's event handling: whoever listens makes windows.
        QMetaObject::invokeMethod(this, &TrayWatch::appeared, Qt::QueuedConnection);
    }
    return false; // Qt's own tray support reads it too
}

void TrayWatch::appeared()
{
    if (m_appeared)
        return;
    m_appeared = true;
    Q_EMIT trayAppeared();
}

} // namespace lexwick
