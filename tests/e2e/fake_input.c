// SPDX-License-Identifier: MIT
// Input for a test's KWin, as a user gives it, and activation tokens as a launcher gets them.
// One command a line on standard input; each is answered on standard output once the
// compositor has taken it ("ok", or the token), so the test knows the input has arrived:
//   move X Y      the pointer to that point of the screen
//   click         a left click where the pointer is
//   key CODE      an evdev key code pressed and released; press CODE / release CODE
//   token         an activation token, an empty line without one (KWin grants them to clients
//                 that manage windows, as a launcher or a task bar does)
//   windows       the windows, one line each: "STATE X Y WIDTH HEIGHT APP_ID|TITLE", then "end";
//                 STATE is the window management's flags (active 1, skip taskbar 4096)
#include "fake-input-client-protocol.h"
#include "plasma-window-management-client-protocol.h"
#include "xdg-activation-v1-client-protocol.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wayland-client.h>

enum { leftButton = 0x110 };

static struct org_kde_kwin_fake_input* input;
static struct xdg_activation_v1* activation;
static struct org_kde_plasma_window_management* management;
static char token[256];

struct window {
    struct org_kde_plasma_window* handle;
    uint32_t state;
    int x, y;
    uint32_t width, height;
    char appId[128];
    char title[256];
    int mapped;
    struct window* next;
};
static struct window* windows;

static void titleChanged(void* data, struct org_kde_plasma_window* handle, const char* title)
{
    (void)handle;
    snprintf(((struct window*)data)->title, sizeof((struct window*)data)->title, "%s", title);
}

static void appIdChanged(void* data, struct org_kde_plasma_window* handle, const char* appId)
{
    (void)handle;
    snprintf(((struct window*)data)->appId, sizeof((struct window*)data)->appId, "%s", appId);
}

static void stateChanged(void* data, struct org_kde_plasma_window* handle, uint32_t flags)
{
    (void)handle;
    ((struct window*)data)->state = flags;
}

static void geometryChanged(void* data, struct org_kde_plasma_window* handle, int x, int y,
                            uint32_t width, uint32_t height)
{
    (void)handle;
    struct window* window = data;
    window->x = x, window->y = y, window->width = width, window->height = height;
}

static void unmapped(void* data, struct org_kde_plasma_window* handle)
{
    (void)handle;
    ((struct window*)data)->mapped = 0;
}

static void ignoreString(void* data, struct org_kde_plasma_window* handle, const char* value)
{
    (void)data, (void)handle, (void)value;
}

static void ignoreInt(void* data, struct org_kde_plasma_window* handle, int32_t value)
{
    (void)data, (void)handle, (void)value;
}

static void ignoreUint(void* data, struct org_kde_plasma_window* handle, uint32_t value)
{
    (void)data, (void)handle, (void)value;
}

static void ignore(void* data, struct org_kde_plasma_window* handle)
{
    (void)data, (void)handle;
}

static void ignoreParent(void* data, struct org_kde_plasma_window* handle,
                         struct org_kde_plasma_window* parent)
{
    (void)data, (void)handle, (void)parent;
}

static void ignoreMenu(void* data, struct org_kde_plasma_window* handle, const char* service,
                       const char* path)
{
    (void)data, (void)handle, (void)service, (void)path;
}

static const struct org_kde_plasma_window_listener windowListener = {
    .title_changed = titleChanged,
    .app_id_changed = appIdChanged,
    .state_changed = stateChanged,
    .virtual_desktop_changed = ignoreInt,
    .themed_icon_name_changed = ignoreString,
    .unmapped = unmapped,
    .initial_state = ignore,
    .parent_window = ignoreParent,
    .geometry = geometryChanged,
    .icon_changed = ignore,
    .pid_changed = ignoreUint,
    .virtual_desktop_entered = ignoreString,
    .virtual_desktop_left = ignoreString,
    .application_menu = ignoreMenu,
    .activity_entered = ignoreString,
    .activity_left = ignoreString,
    .resource_name_changed = ignoreString,
};

static void showDesktopChanged(void* data, struct org_kde_plasma_window_management* handle,
                               uint32_t state)
{
    (void)data, (void)handle, (void)state;
}

static void windowAdded(void* data, struct org_kde_plasma_window_management* handle, uint32_t id)
{
    (void)data, (void)handle, (void)id; // announced again with its uuid
}

static void stackingChanged(void* data, struct org_kde_plasma_window_management* handle,
                            struct wl_array* ids)
{
    (void)data, (void)handle, (void)ids;
}

static void stackingUuidsChanged(void* data, struct org_kde_plasma_window_management* handle,
                                 const char* uuids)
{
    (void)data, (void)handle, (void)uuids;
}

static void windowWithUuid(void* data, struct org_kde_plasma_window_management* handle, uint32_t id,
                           const char* uuid)
{
    (void)data, (void)id;
    struct window* window = calloc(1, sizeof *window);
    window->mapped = 1;
    window->handle = org_kde_plasma_window_management_get_window_by_uuid(handle, uuid);
    org_kde_plasma_window_add_listener(window->handle, &windowListener, window);
    window->next = windows;
    windows = window;
}

static const struct org_kde_plasma_window_management_listener managementListener = {
    .show_desktop_changed = showDesktopChanged,
    .window = windowAdded,
    .stacking_order_changed = stackingChanged,
    .stacking_order_uuid_changed = stackingUuidsChanged,
    .window_with_uuid = windowWithUuid,
};

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                   uint32_t version)
{
    (void)data;
    if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
        input = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4);
    else if (strcmp(interface, xdg_activation_v1_interface.name) == 0)
        activation = wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1);
    else if (strcmp(interface, org_kde_plasma_window_management_interface.name) == 0 &&
             version >= 13) {
        management = wl_registry_bind(registry, name, &org_kde_plasma_window_management_interface,
                                      version < 16 ? version : 16);
        org_kde_plasma_window_management_add_listener(management, &managementListener, NULL);
    }
}

static void globalRemoved(void* data, struct wl_registry* registry, uint32_t name)
{
    (void)data, (void)registry, (void)name;
}

static const struct wl_registry_listener registryListener = {global, globalRemoved};

static void tokenDone(void* data, struct xdg_activation_token_v1* object, const char* value)
{
    (void)data, (void)object;
    snprintf(token, sizeof token, "%s", value);
}

static const struct xdg_activation_token_v1_listener tokenListener = {tokenDone};

int main(void)
{
    struct wl_display* display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "no Wayland display\n");
        return 1;
    }
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, NULL);
    wl_display_roundtrip(display);
    wl_display_roundtrip(display);
    if (!input) {
        fprintf(stderr, "the compositor offers no fake input\n");
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(input, "Lexwick tests", "drives the test's desktop");
    wl_display_roundtrip(display);
    setvbuf(stdout, NULL, _IOLBF, 0);
    printf("ready\n");

    char line[256];
    while (fgets(line, sizeof line, stdin)) {
        double x, y;
        unsigned code;
        if (sscanf(line, "move %lf %lf", &x, &y) == 2) {
            org_kde_kwin_fake_input_pointer_motion_absolute(input, wl_fixed_from_double(x),
                                                            wl_fixed_from_double(y));
        } else if (strncmp(line, "click", 5) == 0) {
            org_kde_kwin_fake_input_button(input, leftButton, WL_POINTER_BUTTON_STATE_PRESSED);
            org_kde_kwin_fake_input_button(input, leftButton, WL_POINTER_BUTTON_STATE_RELEASED);
        } else if (sscanf(line, "key %u", &code) == 1) {
            org_kde_kwin_fake_input_keyboard_key(input, code, WL_KEYBOARD_KEY_STATE_PRESSED);
            org_kde_kwin_fake_input_keyboard_key(input, code, WL_KEYBOARD_KEY_STATE_RELEASED);
        } else if (sscanf(line, "press %u", &code) == 1) {
            org_kde_kwin_fake_input_keyboard_key(input, code, WL_KEYBOARD_KEY_STATE_PRESSED);
        } else if (sscanf(line, "release %u", &code) == 1) {
            org_kde_kwin_fake_input_keyboard_key(input, code, WL_KEYBOARD_KEY_STATE_RELEASED);
        } else if (strncmp(line, "token", 5) == 0) {
            if (!activation) {
                printf("\n"); // none to be had
                continue;
            }
            token[0] = '\0';
            struct xdg_activation_token_v1* request =
                xdg_activation_v1_get_activation_token(activation);
            xdg_activation_token_v1_add_listener(request, &tokenListener, NULL);
            xdg_activation_token_v1_commit(request);
            while (!token[0] && wl_display_dispatch(display) != -1) {
            }
            xdg_activation_token_v1_destroy(request);
            printf("%s\n", token);
            continue;
        } else if (strncmp(line, "windows", 7) == 0) {
            wl_display_roundtrip(display); // new windows announced
            wl_display_roundtrip(display); // and their properties
            for (const struct window* window = windows; window; window = window->next) {
                if (window->mapped)
                    printf("%u %d %d %u %u %s|%s\n", window->state, window->x, window->y,
                           window->width, window->height, window->appId, window->title);
            }
            printf("end\n");
            continue;
        } else {
            printf("unknown\n");
            continue;
        }
        if (wl_display_roundtrip(display) == -1)
            return 1;
        printf("ok\n");
    }
    wl_display_disconnect(display);
    return 0;
}
