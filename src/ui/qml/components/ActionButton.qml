// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls.Basic
import Lexwick

// One of the three action buttons: symbol over title, highlighted while selected. One of a
// group: a screen reader hears it as a radio button.
ChoiceButton {
    id: button
    required property string symbol
    required property string title
    required property string tooltip

    topPadding: 12
    bottomPadding: 12
    ringRadius: 10
    Accessible.name: title
    Accessible.description: tooltip
    ToolTip.visible: hovered
    ToolTip.text: tooltip
    ToolTip.delay: 600

    scale: isSelected ? 1.02 : 1.0
    z: isSelected ? 1 : 0 // grown, it draws over its neighbours rather than under them
    Behavior on scale { SpringAnimation { spring: 5; damping: 0.35 } }

    background: Rectangle {
        radius: 10
        color: button.isSelected ? Theme.thinMaterial : Theme.ultraThinMaterial
        border.width: button.isSelected ? 2 : 1
        border.color: button.isSelected ? Theme.accent : Theme.controlBorder
        Behavior on border.color { ColorAnimation { duration: 200 } }
        // The selected button's shadow: below it, so that it never looks like the focus ring.
        Rectangle {
            z: -1
            anchors.fill: parent
            anchors.topMargin: 3
            anchors.bottomMargin: -3
            radius: 10
            color: Theme.withAlpha(Theme.accent, 0.2)
            visible: button.isSelected
        }
    }

    contentItem: Column {
        spacing: 4
        SymbolIcon {
            anchors.horizontalCenter: parent.horizontalCenter
            name: button.symbol
            size: 22
            color: button.isSelected ? Theme.accent : Theme.secondaryLabel
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: button.title
            font: Theme.captionFont
            color: button.isSelected ? Theme.accent : Theme.secondaryLabel
        }
    }
}
