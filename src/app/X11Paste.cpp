// SPDX-License-Identifier: MIT
#include "app/X11Paste.h"

#include "core/CancellableSleep.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QGuiApplication>

#include <array>
#include <chrono>
#include <optional>
#include <string_view>
#include <vector>

#include <xcb/xcb.h>
// Xlib last: its macros (Bool, Status, None…) would break Qt's headers.
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <X11/Xatom.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace lexwick::x11paste {

namespace {

// How long modifiers still held from the shortcut are waited for, and how often looked at.
constexpr std::chrono::milliseconds modifierWait{1000};
constexpr std::chrono::milliseconds modifierLook{20};

struct Connection {
    Display* display;
    xcb_connection_t* xcb;
};

// Qt's own connection to the X server; nothing when the application does not run on X11.
std::optional<Connection> connection()
{
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display() || !x11->connection())
        return std::nullopt;
    return Connection{x11->display(), x11->connection()};
}

Window focusedWindow(Display* display)
{
    Window focus = None;
    int revertTo = 0;
    XGetInputFocus(display, &focus, &revertTo);
    return focus == PointerRoot ? None : focus;
}

// The client an X resource belongs to: the server hands each client a range of ids of its
// own, the bits outside the mask of the connection's setup.
bool sameClient(xcb_connection_t* xcb, Window a, Window b)
{
    const uint32_t mask = xcb_get_setup(xcb)->resource_id_mask;
    return (a & ~mask) == (b & ~mask);
}

struct WindowClass {
    QByteArray instance;
    QByteArray windowClass;
};

// The WM_CLASS of the window, or of its nearest ancestor that has one: the focus may be on a
// child of the application's top-level window. A window that has gone meanwhile makes the
// calls fail, nothing worse: Qt's connection ignores Xlib's errors.
std::optional<WindowClass> windowClass(Display* display, Window window)
{
    for (int depth = 0; window != None && depth < 32; ++depth) {
        XClassHint hint{};
        if (XGetClassHint(display, window, &hint) != 0) {
            WindowClass names{QByteArray(hint.res_name), QByteArray(hint.res_class)};
            XFree(hint.res_name);
            XFree(hint.res_class);
            return names;
        }
        Window root = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display, window, &root, &parent, &children, &count) == 0)
            return std::nullopt;
        if (children)
            XFree(children);
        if (parent == root)
            return std::nullopt;
        window = parent;
    }
    return std::nullopt;
}

bool isModifier(KeySym symbol)
{
    return (symbol >= XK_Shift_L && symbol <= XK_Hyper_R && symbol != XK_Caps_Lock &&
            symbol != XK_Shift_Lock) ||
           symbol == XK_ISO_Level3_Shift || symbol == XK_ISO_Level5_Shift ||
           symbol == XK_Mode_switch;
}

// The modifier keys down now, the user's or anyone's.
std::vector<KeyCode> heldModifiers(Display* display)
{
    std::array<char, 32> keys{};
    XQueryKeymap(display, keys.data());
    std::vector<KeyCode> held;
    for (int code = 8; code < 256; ++code) {
        if ((keys[size_t(code / 8)] & (1 << (code % 8))) == 0)
            continue;
        if (isModifier(XkbKeycodeToKeysym(display, KeyCode(code), 0, 0)))
            held.push_back(KeyCode(code));
    }
    return held;
}

// Whether a window of this WM_CLASS (its instance or class name) is a terminal emulator.
bool isTerminal(const QByteArray& instance, const QByteArray& windowClass)
{
    // Instance or class names, in lower case, of the terminal emulators of the usual desktops,
    // each between spaces.
    constexpr std::string_view terminals =
        " alacritty aterm com.mitchellh.ghostty contour cool-retro-term deepin-terminal "
        "eterm foot footclient ghostty gnome-terminal gnome-terminal-server guake kgx "
        "kitty konsole kterm lxterminal mate-terminal mlterm org.gnome.console "
        "org.gnome.ptyxis org.wezfurlong.wezterm ptyxis qterminal rxvt sakura st "
        "st-256color terminator terminology tilda tilix urxvt uxterm wezterm "
        "xfce4-terminal xterm ";
    const auto known = [terminals](const QByteArray& name) {
        const QByteArray word = ' ' + name.toLower() + ' ';
        return !name.isEmpty() &&
               terminals.find(std::string_view(word.constData(), size_t(word.size()))) !=
                   std::string_view::npos;
    };
    return known(instance) || known(windowClass);
}

class X11Target : public PasteTarget {
public:
    X11Target(Window window, bool terminal)
        : m_window(window)
        , m_terminal(terminal)
    {
    }

    QCoro::Task<bool> paste() override
    {
        // Ctrl+Alt+V is not a paste: what is still held of the shortcut goes first.
        const QDeadlineTimer deadline(modifierWait);
        for (;;) {
            const std::optional<Connection> x11 = connection();
            if (!x11)
                co_return false;
            const std::vector<KeyCode> held = heldModifiers(x11->display);
            if (held.empty())
                break;
            if (deadline.hasExpired()) {
                for (KeyCode code : held)
                    XTestFakeKeyEvent(x11->display, code, False, CurrentTime);
                break;
            }
            auto pause = cancellableSleep(modifierLook, std::stop_token());
            co_await std::move(pause);
        }

        const std::optional<Connection> x11 = connection();
        if (!x11 || focusedWindow(x11->display) != m_window)
            co_return false;
        Display* display = x11->display;
        const KeyCode control = XKeysymToKeycode(display, XK_Control_L);
        const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
        const KeyCode v = XKeysymToKeycode(display, XK_v);
        if (control == 0 || v == 0 || (m_terminal && shift == 0))
            co_return false;
        // Sent on the connection that made us the clipboard's owner, after that request: the
        // window asks for the clipboard only once it has the key, and finds the result there.
        XTestFakeKeyEvent(display, control, True, CurrentTime);
        if (m_terminal)
            XTestFakeKeyEvent(display, shift, True, CurrentTime);
        XTestFakeKeyEvent(display, v, True, CurrentTime);
        XTestFakeKeyEvent(display, v, False, CurrentTime);
        if (m_terminal)
            XTestFakeKeyEvent(display, shift, False, CurrentTime);
        XTestFakeKeyEvent(display, control, False, CurrentTime);
        XFlush(display);
        co_return true;
    }

private:
    Window m_window;
    bool m_terminal;
};

} // namespace

std::unique_ptr<PasteTarget> focusedSelectionOwner()
{
    const std::optional<Connection> x11 = connection();
    if (!x11)
        return nullptr;
    Display* display = x11->display;
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    if (XTestQueryExtension(display, &event, &error, &major, &minor) == 0)
        return nullptr;
    const Window focus = focusedWindow(display);
    const Window owner = XGetSelectionOwner(display, XA_PRIMARY);
    if (focus == None || owner == None || !sameClient(x11->xcb, focus, owner))
        return nullptr;
    const std::optional<WindowClass> names = windowClass(display, focus);
    const bool terminal = names && isTerminal(names->instance, names->windowClass);
    return std::make_unique<X11Target>(focus, terminal);
}

} // namespace lexwick::x11paste
