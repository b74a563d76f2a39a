// SPDX-License-Identifier: MIT
import QtQuick
import Lexwick

// The small symbol and caption above a part of a screen.
Row {
    id: label
    property string symbol
    property string title
    spacing: 4
    SymbolIcon {
        anchors.verticalCenter: parent.verticalCenter
        name: label.symbol
        size: 11
        color: Theme.secondaryLabel
    }
    Text {
        anchors.verticalCenter: parent.verticalCenter
        text: label.title
        font: Theme.captionFont
        color: Theme.secondaryLabel
    }
}
