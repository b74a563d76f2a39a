// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls.Basic
import Lexwick

// One tone in the tone picker: a capsule with the tone's symbol and name; a radio button to a
// screen reader.
ChoiceButton {
    id: button
    required property string symbol
    required property string title
    required property string tooltip

    topPadding: 6
    bottomPadding: 6
    leftPadding: 8
    rightPadding: 8
    ringRadius: height / 2
    Accessible.name: title
    Accessible.description: tooltip
    ToolTip.visible: hovered
    ToolTip.text: tooltip
    ToolTip.delay: 600

    scale: isSelected ? 1.02 : 1.0
    Behavior on scale { SpringAnimation { spring: 5; damping: 0.35 } }

    background: Rectangle {
        radius: height / 2
        color: button.isSelected ? Theme.thinMaterial : Theme.ultraThinMaterial
        border.width: button.isSelected ? 2 : 1
        border.color: button.isSelected ? Theme.accent : Theme.controlBorder
    }

    contentItem: Item {
        implicitWidth: row.implicitWidth
        implicitHeight: row.implicitHeight
        Row {
            id: row
            anchors.centerIn: parent
            spacing: 4
            SymbolIcon {
                anchors.verticalCenter: parent.verticalCenter
                name: button.symbol
                size: 10
                color: button.isSelected ? Theme.accent : Theme.secondaryLabel
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: button.title
                font.pixelSize: 10
                font.weight: Font.Medium
                color: button.isSelected ? Theme.accent : Theme.secondaryLabel
            }
        }
    }
}
