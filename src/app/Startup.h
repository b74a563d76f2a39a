// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace lexwick {

// Why no window could be shown, when the display the platform would use cannot be reached
// ("DISPLAY and WAYLAND_DISPLAY are not set"); nothing when it can, or when the platform needs
// no display (offscreen). QApplication aborts the process in that case; this lets it say so
// and end instead.
std::optional<QString> displayProblem();

// The launcher's proof that the user asked for us (XDG_ACTIVATION_TOKEN on Wayland,
// DESKTOP_STARTUP_ID on X11), as org.freedesktop.Application's platform data
// ("activation-token", "desktop-startup-id"). Taken out of the environment: it is good for one
// window only, and ours hands it to the instance that shows one.
QVariantMap takeActivationData();

// The token a platform data carries, the Wayland one first; empty when none.
QString activationToken(const QVariantMap& platformData);

// Lets the next window that asks for the focus present the token: on X11 as its startup id,
// elsewhere through XDG_ACTIVATION_TOKEN, which Qt's Wayland plugin reads (and clears) when a
// window requests activation.
void applyActivationToken(const QString& token);

} // namespace lexwick
