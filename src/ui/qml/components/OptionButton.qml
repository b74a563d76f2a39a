// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Layouts
import Lexwick

// One of a row of equal options in a ChoiceGrid (the providers, what a shortcut does): its
// title centred, the chosen one outlined and lettered in the accent colour. Only the chosen
// one is a Tab stop; the grid's arrows reach the others.
ChoiceButton {
    id: option
    Layout.fillWidth: true
    Layout.preferredWidth: 1 // equal widths
    implicitHeight: label.implicitHeight + 16
    focusPolicy: isSelected ? Qt.TabFocus : Qt.NoFocus
    ringRadius: 8
    background: Rectangle {
        radius: 8
        color: option.isSelected ? Theme.thinMaterial : Theme.ultraThinMaterial
        border.width: option.isSelected ? 2 : 1
        border.color: option.isSelected ? Theme.accent : Theme.controlBorder
    }
    contentItem: Text {
        id: label
        text: option.text
        font: Theme.bodyFont
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        color: option.isSelected ? Theme.accent : Theme.secondaryLabel
    }
}
