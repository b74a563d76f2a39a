// SPDX-License-Identifier: MIT
#pragma once

#include "app/PasteTarget.h"

#include <memory>

namespace lexwick {

// Pasting on X11, with XTest: the paste key is sent as the X server's own keyboard would.
//
// The window that has the focus when the call comes is the target, provided that the owner of
// the PRIMARY selection (the text the request reads) belongs to the same client: otherwise the
// selection was made elsewhere and there is nothing to replace. The key is Ctrl+V, or
// Ctrl+Shift+V for a terminal emulator (known by its WM_CLASS), whose Ctrl+V is a control
// character. Modifiers the user still holds from the shortcut (Ctrl, Alt, Shift, Super…)
// would turn it into another key: they are waited out for a second, then released.
namespace x11paste {

// The focused window, as a target, when it owns the selection; nothing otherwise (also when
// the application does not run on X11 or the server has no XTest).
std::unique_ptr<PasteTarget> focusedSelectionOwner();

} // namespace x11paste

} // namespace lexwick
