// SPDX-License-Identifier: MIT
#pragma once

#include <QCoroTask>

namespace lexwick {

// The window that held the selection when a request came, remembered so that its result can
// be pasted there: the result replaces the selection as if the user had pressed the paste key.
class PasteTarget {
public:
    virtual ~PasteTarget() = default;

    // Sends the paste key to the window, once the clipboard holds the result, if the window
    // still has the focus. False when nothing was sent.
    virtual QCoro::Task<bool> paste() = 0;
};

} // namespace lexwick
