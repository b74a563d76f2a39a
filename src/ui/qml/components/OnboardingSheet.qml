// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as T
import Lexwick

// The introduction presented again over the current screen, as a modal sheet. Open from the
// start; close() closes it, and closed() says when it has. An item around the popup, so that
// a Loader can make it.
Item {
    id: root
    required property OnboardingView onboarding
    signal closed()
    // Escape, which the popover's own shortcut does not see past a modal sheet.
    signal escapePressed()

    function close() { sheet.close() }

    Popup {
        id: sheet
        parent: T.Overlay.overlay
        anchors.centerIn: parent
        width: 400
        height: 420
        padding: 0
        modal: true
        focus: true
        visible: true
        closePolicy: Popup.NoAutoClose
        onOpened: content.forceActiveFocus()
        Shortcut { sequence: "Escape"; onActivated: root.escapePressed() }
        onClosed: root.closed()
        T.Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.3) }
        background: Rectangle { color: Theme.window; radius: 10 }
        contentItem: OnboardingScreen {
            id: content
            onboarding: root.onboarding
            radius: 10
        }
    }
}
