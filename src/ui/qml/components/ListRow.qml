// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Lexwick

// A row of a list of places to go: symbol, text, and what it leads to.
Pressable {
    id: listRow
    property string symbol
    property string trailingSymbol
    property color tint: Theme.label

    Layout.fillWidth: true
    Layout.leftMargin: 16
    Layout.rightMargin: 16
    implicitHeight: 40
    ringRadius: 10
    background: Rectangle {
        radius: 10
        color: listRow.hovered ? Theme.thinMaterial : Theme.ultraThinMaterial
    }
    leftPadding: 12
    rightPadding: 12
    contentItem: RowLayout {
        spacing: 8
        SymbolIcon { name: listRow.symbol; size: 15; color: listRow.tint }
        Text { text: listRow.text; font: Theme.bodyFont; color: listRow.tint }
        Item { Layout.fillWidth: true }
        SymbolIcon {
            visible: listRow.trailingSymbol !== ""
            name: listRow.trailingSymbol
            size: 15
            color: Theme.secondaryLabel
        }
    }
}
