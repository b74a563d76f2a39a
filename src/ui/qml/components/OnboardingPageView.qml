// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Layouts
import Lexwick

// One page of the introduction: its pulsing symbol in a tinted circle, title and description.
Item {
    id: page
    required property string icon
    required property string title
    required property string description
    required property string accentColor
    readonly property color accent: Theme[accentColor] ?? Theme.accent
    // Whether the symbol pulses; only the page in view does, and only while it can be seen.
    property bool active: true
    readonly property bool pulses: active && symbol.visible && (Window.window?.visible ?? false)

    ColumnLayout {
        anchors.centerIn: parent
        width: parent.width - 32
        spacing: 16

        Rectangle {
            Layout.alignment: Qt.AlignHCenter
            implicitWidth: 90
            implicitHeight: 90
            radius: 45
            color: Theme.tint(page.accent)
            SymbolIcon {
                id: symbol
                anchors.centerIn: parent
                name: page.icon
                size: 40
                color: page.accent
                // It pulses in size: fading would take it below a readable contrast.
                SequentialAnimation on scale {
                    running: page.pulses
                    loops: Animation.Infinite
                    NumberAnimation { from: 1; to: 0.85; duration: 900; easing.type: Easing.InOutSine }
                    NumberAnimation { from: 0.85; to: 1; duration: 900; easing.type: Easing.InOutSine }
                }
            }
        }
        Text {
            Layout.alignment: Qt.AlignHCenter
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: page.title
            font: Theme.titleFont
            color: Theme.label
            wrapMode: Text.Wrap
        }
        Text {
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            horizontalAlignment: Text.AlignHCenter
            text: page.description
            font: Theme.bodyFont
            color: Theme.secondaryLabel
            wrapMode: Text.Wrap
        }
    }
}
