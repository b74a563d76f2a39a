// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Lexwick

// The "Keyboard shortcuts" sheet: the three commands with their default keys, and on GNOME a
// button that adds them to the custom shortcuts.
Rectangle {
    id: sheet
    required property ShortcutsView shortcuts
    signal done()

    // The keyboard starts on the sheet's first button.
    function focusFirst() {
        (setUp.visible && setUp.enabled ? setUp : done).forceActiveFocus(Qt.TabFocusReason)
    }

    implicitWidth: 360
    implicitHeight: column.implicitHeight + 32
    radius: 10
    color: Theme.window
    border.width: 1
    border.color: Theme.separator
    Accessible.role: Accessible.Dialog
    Accessible.name: shortcuts.title

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 16
        spacing: 12

        Text {
            text: sheet.shortcuts.title
            font: Theme.headlineFont
            color: Theme.label
        }
        Text {
            Layout.fillWidth: true
            text: sheet.shortcuts.explanation
            font: Theme.captionFont
            color: Theme.secondaryLabel
            wrapMode: Text.Wrap
        }
        Repeater {
            model: sheet.shortcuts.commands
            delegate: RowLayout {
                required property var modelData
                Layout.preferredWidth: column.width
                spacing: 8
                ColumnLayout {
                    spacing: 2
                    Text {
                        text: modelData.title
                        font: Theme.bodyFont
                        color: Theme.label
                    }
                    TextEdit {
                        text: modelData.command
                        readOnly: true
                        selectByMouse: true
                        font.family: "monospace"
                        font.pixelSize: 11
                        color: Theme.secondaryLabel
                    }
                }
                Text {
                    Layout.fillWidth: true
                    horizontalAlignment: Text.AlignRight
                    text: modelData.shortcut
                    font: Theme.captionFont
                    color: Theme.secondaryLabel
                }
            }
        }
        Text {
            Layout.fillWidth: true
            visible: text !== ""
            text: sheet.shortcuts.status
            font: Theme.captionFont
            color: Theme.label
            wrapMode: Text.Wrap
        }
        RowLayout {
            Layout.fillWidth: true
            Item { Layout.fillWidth: true }
            PillButton {
                id: setUp
                objectName: "setUpShortcutsButton"
                visible: sheet.shortcuts.showsSetUpButton
                enabled: sheet.shortcuts.canSetUp
                text: "Set Up Shortcuts"
                fill: "transparent"
                textColor: Theme.accent
                onClicked: sheet.shortcuts.setUp()
            }
            PillButton {
                id: done
                objectName: "shortcutsDoneButton"
                text: "Done"
                onClicked: sheet.done()
            }
        }
    }
}
