// SPDX-License-Identifier: MIT
#include "app/TaskbarHint.h"

#include <QGuiApplication>
#include <QList>
#include <QWindow>

#include <xcb/xcb.h>

#if defined(LEXWICK_PLASMA_SHELL)
#include "plasma-shell-client.h"

#include <QHash>
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace lexwick {

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, strlen(name), name),
                              nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

#if defined(LEXWICK_PLASMA_SHELL)

void announced(void* data, wl_registry* registry, uint32_t name, const char* interface,
               uint32_t version)
{
    if (strcmp(interface, org_kde_plasma_shell_interface.name) == 0) {
        *static_cast<org_kde_plasma_shell**>(data) =
            static_cast<org_kde_plasma_shell*>(wl_registry_bind(
                registry, name, &org_kde_plasma_shell_interface, std::min(version, 5u)));
    }
}

void withdrawn(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener{announced, withdrawn};

// The compositor's KDE shell, or null where it has none; looked for once, on an event queue of
// our own so that Qt's queue is left alone. Nothing made from it sends events.
org_kde_plasma_shell* plasmaShell(wl_display* display)
{
    static org_kde_plasma_shell* const shell = [display] {
        org_kde_plasma_shell* found = nullptr;
        wl_event_queue* queue = wl_display_create_queue(display);
        auto* ours = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(ours), queue);
        wl_registry* registry = wl_display_get_registry(ours);
        wl_proxy_wrapper_destroy(ours);
        wl_registry_add_listener(registry, &registryListener, &found);
        wl_display_roundtrip_queue(display, queue);
        wl_registry_destroy(registry);
        return found;
    }();
    return shell;
}

void keepOutOfWaylandTaskbar(QWindow& window)
{
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    auto* display =
        native ? static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"))
               : nullptr;
    auto* surface =
        display ? static_cast<wl_surface*>(native->nativeResourceForWindow("surface", &window))
                : nullptr;
    org_kde_plasma_shell* shell = surface ? plasmaShell(display) : nullptr;
    if (!shell)
        return;
    // One KDE surface per window surface: the one of an earlier show goes first.
    static QHash<QWindow*, org_kde_plasma_surface*> made;
    if (org_kde_plasma_surface* earlier = made.take(&window))
        org_kde_plasma_surface_destroy(earlier);
    org_kde_plasma_surface* kde = org_kde_plasma_shell_get_surface(shell, surface);
    const uint32_t version = wl_proxy_get_version(reinterpret_cast<wl_proxy*>(kde));
    if (version >= ORG_KDE_PLASMA_SURFACE_SET_SKIP_TASKBAR_SINCE_VERSION)
        org_kde_plasma_surface_set_skip_taskbar(kde, 1);
    if (version >= ORG_KDE_PLASMA_SURFACE_SET_SKIP_SWITCHER_SINCE_VERSION)
        org_kde_plasma_surface_set_skip_switcher(kde, 1);
    made.insert(&window, kde);
    QObject::connect(&window, &QObject::destroyed, [&window] {
        if (org_kde_plasma_surface* kde = made.take(&window))
            org_kde_plasma_surface_destroy(kde);
    });
    wl_display_flush(display);
}

#endif

} // namespace

void keepOutOfTaskbar(QWindow& window)
{
#if defined(LEXWICK_PLASMA_SHELL)
    if (QGuiApplication::platformName() == u"wayland") {
        if (window.isVisible())
            keepOutOfWaylandTaskbar(window);
        return;
    }
#endif
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    // Only on a window that is not mapped: the window manager takes the states from the window
    // when it maps it and clears them when it unmaps it. Qt adds its own states to those it
    // finds here, so they are set again before every show.
    if (!x11 || window.isVisible())
        return;
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t state = atom(connection, "_NET_WM_STATE");
    QList<xcb_atom_t> states;
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> current(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, id, state, XCB_ATOM_ATOM, 0, 1024),
                               nullptr),
        &std::free);
    if (current && current->format == 32 && current->type == XCB_ATOM_ATOM) {
        const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(current.get()));
        states =
            QList<xcb_atom_t>(values, values + xcb_get_property_value_length(current.get()) / 4);
    }
    for (const char* name : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
        if (const xcb_atom_t skip = atom(connection, name); !states.contains(skip))
            states.append(skip);
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
                        states.size(), states.constData());
    xcb_flush(connection);
}

} // namespace lexwick
