// SPDX-License-Identifier: MIT
#pragma once

class QWindow;

namespace lexwick {

// Keeps a window out of the taskbar and the pager; called before the window is shown and again
// once it is. On X11 (and Xwayland) a tool window is only a utility window, which taskbars list
// unless its _NET_WM_STATE, set before the window is mapped, says to skip it. On Wayland every
// toplevel is listed; KWin skips one whose surface asks through KDE's shell protocol, which
// needs the surface that showing makes. Elsewhere this does nothing.
void keepOutOfTaskbar(QWindow& window);

} // namespace lexwick
