import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as T
import Lexwick

// The introduction presented again over the current screen, as a modal sheet; it closes when
// its state asks to be dismissed.
Popup {
    id: sheet
    required property OnboardingView onboarding

    parent: T.Overlay.overlay
    anchors.centerIn: parent
    width: 400
    height: 420
    padding: 0
    modal: true
    focus: true
    closePolicy: Popup.NoAutoClose
    onOpened: content.forceActiveFocus()
    T.Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.3) }
    background: Rectangle { color: Theme.window; radius: 10 }
    contentItem: OnboardingScreen {
        id: content
        onboarding: sheet.onboarding
        radius: 10
    }
}
