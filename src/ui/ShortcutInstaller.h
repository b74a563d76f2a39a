// SPDX-License-Identifier: MIT
#pragma once

#include <QCoroTask>
#include <QString>

#include <expected>

namespace lexwick {

// Binds the commands of the "Keyboard shortcuts" sheet to their keys in the desktop's own
// settings. The platform layer implements it for the desktops that let an application do so.
class ShortcutInstaller {
public:
    virtual ~ShortcutInstaller() = default;

    // Nothing once the keys are bound; otherwise the message the sheet shows. Running it again
    // must not bind anything twice.
    virtual QCoro::Task<std::expected<void, QString>> install() = 0;
};

} // namespace lexwick
