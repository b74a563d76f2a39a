// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Lexwick

// The popover's content: the screen named by the state's currentScreen.
Rectangle {
    id: popover
    required property PopoverView view

    // The size of the screen shown: the main screen 400 × 520, the settings screen 400 × 550,
    // the history screen 400 × 450, the introduction 400 × 420. The window follows it.
    implicitWidth: 400
    implicitHeight: view.currentScreen === "history" ? 450
                  : view.currentScreen === "onboarding" ? 420
                  : view.currentScreen === "settings" ? 550 : 520
    color: Theme.window

    // Keys that work wherever the focus is inside the popover.
    Shortcut { sequence: "Ctrl+Q"; context: Qt.WindowShortcut; onActivated: popover.view.quit() }
    Shortcut { sequence: "Escape"; context: Qt.WindowShortcut; onActivated: popover.view.escape() }

    function focusInput() {
        if (mainScreen.visible)
            mainScreen.focusInput()
    }

    Connections {
        target: popover.view.main
        function onIsInputFocusedChanged() {
            if (popover.view.main.isInputFocused)
                popover.focusInput()
        }
    }

    MainScreen {
        id: mainScreen
        anchors.fill: parent
        view: popover.view.main
        visible: opacity > 0
        opacity: popover.view.currentScreen === "main" ? 1 : 0
        Behavior on opacity { NumberAnimation { duration: 200; easing.type: Easing.InOutQuad } }
        onVisibleChanged: if (visible) focusInput()
    }

    // The history and the introduction are made from their files each time they show, so that
    // their types are loaded when first needed, not with the popover.
    Loader {
        id: history
        objectName: "historyScreen"
        anchors.fill: parent
        readonly property bool shown: popover.view.currentScreen === "history"
        function follow() {
            if (shown)
                setSource("HistoryScreen.qml", { history: popover.view.historyView })
            else
                source = ""
        }
        onShownChanged: follow()
        Component.onCompleted: follow()
        onLoaded: item.focusSearch()
    }

    Loader {
        id: onboarding
        objectName: "onboardingScreen"
        anchors.fill: parent
        readonly property bool shown: popover.view.currentScreen === "onboarding"
        function follow() {
            if (shown)
                setSource("OnboardingScreen.qml", { onboarding: popover.view.onboardingView })
            else
                source = ""
        }
        onShownChanged: follow()
        Component.onCompleted: follow()
        onLoaded: item.forceActiveFocus()
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

    // The introduction again, as a sheet: made when it is presented and gone once it has
    // closed, so its pulsing symbols never run unseen.
    Loader {
        id: onboardingSheet
        objectName: "onboardingSheet"
        function follow() {
            if (popover.view.showsOnboardingSheet)
                setSource("components/OnboardingSheet.qml",
                          { onboarding: popover.view.onboardingSheet })
            else if (item)
                item.close()
        }
        Component.onCompleted: follow()
        Connections {
            target: popover.view
            function onShowsOnboardingSheetChanged() { onboardingSheet.follow() }
        }
        Connections {
            target: onboardingSheet.item
            function onClosed() { onboardingSheet.source = "" }
            function onEscapePressed() { popover.view.escape() }
        }
    }
}
