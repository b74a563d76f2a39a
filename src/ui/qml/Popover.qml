import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Lexwick

// The popover's content: the screen named by the state's currentScreen.
Rectangle {
    id: popover
    required property PopoverView view

    width: 400
    height: 520
    color: Theme.window

    // Keys that work wherever the focus is inside the popover.
    Shortcut { sequence: "Ctrl+Q"; context: Qt.WindowShortcut; onActivated: popover.view.quit() }
    Shortcut { sequence: "Escape"; context: Qt.WindowShortcut; onActivated: popover.view.close() }

    function focusInput() {
        if (mainScreen.visible)
            mainScreen.focusInput()
    }

    Connections {
        target: popover.view
        function onIsInputFocusedChanged() {
            if (popover.view.isInputFocused)
                popover.focusInput()
        }
    }

    MainScreen {
        id: mainScreen
        anchors.fill: parent
        view: popover.view
        visible: opacity > 0
        opacity: popover.view.currentScreen === "main" ? 1 : 0
        Behavior on opacity { NumberAnimation { duration: 200; easing.type: Easing.InOutQuad } }
        onVisibleChanged: if (visible) focusInput()
    }

    // The screens still to come: a way back, so nothing leaves the user stuck.
    Rectangle {
        anchors.fill: parent
        color: Theme.window
        visible: popover.view.currentScreen !== "main"
        ColumnLayout {
            anchors.centerIn: parent
            spacing: 12
            Text {
                Layout.alignment: Qt.AlignHCenter
                text: popover.view.currentScreen === "history" ? "History"
                    : popover.view.currentScreen === "settings" ? "Settings" : "Welcome to Lexwick"
                font: Theme.titleFont
                color: Theme.label
            }
            Button {
                Layout.alignment: Qt.AlignHCenter
                text: popover.view.currentScreen === "onboarding" ? "Get Started" : "Done"
                onClicked: {
                    if (popover.view.currentScreen === "onboarding")
                        popover.view.completeOnboarding()
                    popover.view.showSettings = false
                    popover.view.showHistory = false
                }
            }
        }
    }
}
