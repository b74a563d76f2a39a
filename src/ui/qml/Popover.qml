import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Lexwick

// The popover's content: the screen named by the state's currentScreen.
Rectangle {
    id: popover
    required property PopoverView view

    width: 400
    // The settings screen is a little taller than the others.
    height: view.currentScreen === "settings" ? 550 : 520
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

    // The settings screen lives as long as its state object: made afresh on each visit. The
    // object is handed over once, not bound, so the screen never sees it turn null.
    Loader {
        id: settingsScreen
        objectName: "settingsScreen"
        anchors.fill: parent
        visible: popover.view.currentScreen === "settings"
        function follow() {
            if (popover.view.settingsView)
                setSource("SettingsScreen.qml", { view: popover.view.settingsView })
            else
                source = ""
        }
        Component.onCompleted: follow()
        Connections {
            target: popover.view
            function onSettingsViewChanged() { settingsScreen.follow() }
        }
    }

    // The screens still to come: a way back, so nothing leaves the user stuck.
    Rectangle {
        anchors.fill: parent
        color: Theme.window
        visible: popover.view.currentScreen !== "main" && popover.view.currentScreen !== "settings"
        ColumnLayout {
            anchors.centerIn: parent
            spacing: 12
            Text {
                Layout.alignment: Qt.AlignHCenter
                text: popover.view.currentScreen === "history" ? "History" : "Welcome to Lexwick"
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
