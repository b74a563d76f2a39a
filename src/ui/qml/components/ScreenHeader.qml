// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Layouts
import Lexwick

// The bar at the top of a screen: its symbol and title, and the screen's buttons at the right.
Rectangle {
    id: header
    objectName: "header"
    property string symbol
    property string title
    default property alias trailing: buttons.data

    Layout.fillWidth: true
    implicitHeight: row.implicitHeight + 24
    color: Theme.thinMaterial

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.margins: 12
        spacing: 8
        SymbolIcon { name: header.symbol; size: 22; color: Theme.accent }
        Text { text: header.title; font: Theme.titleFont; color: Theme.label }
        Item { Layout.fillWidth: true }
        RowLayout {
            id: buttons
            spacing: 8
        }
    }
}
