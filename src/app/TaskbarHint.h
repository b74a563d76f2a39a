// SPDX-License-Identifier: MIT
#pragma once

class QWindow;

namespace lexwick {

// Keeps a window that is about to be shown out of the taskbar and the pager. On X11 (and
// Xwayland) a tool window is only a utility window, which taskbars list unless its
// _NET_WM_STATE says to skip it; elsewhere this does nothing.
void keepOutOfTaskbar(QWindow& window);

} // namespace lexwick
