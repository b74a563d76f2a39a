// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls.Basic
import Lexwick

// A filled, rounded button with its text and an optional symbol before it. Disabled, it loses
// its fill and its colour: a grey outline with grey text, plainly not to be pressed, still
// readable.
Pressable {
    id: pill
    property color fill: Theme.accentFill
    property color textColor: "white"
    property string symbol
    property font labelFont: Theme.bodyFont
    readonly property color shownTextColor: enabled ? textColor : Theme.secondaryLabel

    implicitWidth: pillRow.implicitWidth + 24
    implicitHeight: pillRow.implicitHeight + 12
    background: Rectangle {
        radius: 6
        color: pill.enabled ? pill.fill : "transparent"
        border.width: pill.enabled && Qt.colorEqual(pill.textColor, "white") ? 0 : 1
        border.color: pill.enabled ? pill.textColor : Theme.controlBorder
    }
    contentItem: Item {
        Row {
            id: pillRow
            anchors.centerIn: parent
            spacing: 4
            SymbolIcon {
                visible: pill.symbol !== ""
                anchors.verticalCenter: parent.verticalCenter
                name: pill.symbol
                size: 13
                color: pill.shownTextColor
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: pill.text
                font: pill.labelFont
                color: pill.shownTextColor
            }
        }
    }
}
