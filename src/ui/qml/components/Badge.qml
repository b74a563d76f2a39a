// SPDX-License-Identifier: MIT
import QtQuick
import Lexwick

// A small tinted label with an optional symbol before its text.
Rectangle {
    id: badge
    property alias text: label.text
    property alias textColor: label.color
    property alias symbol: symbol.name
    property real horizontalPadding: 5
    property int pixelSize: 9
    property int weight: Font.Normal

    implicitWidth: badgeRow.implicitWidth + 2 * horizontalPadding
    implicitHeight: badgeRow.implicitHeight + 4
    radius: 4

    Row {
        id: badgeRow
        anchors.centerIn: parent
        spacing: 3
        SymbolIcon {
            id: symbol
            anchors.verticalCenter: parent.verticalCenter
            visible: name !== ""
            size: 10
            color: label.color
        }
        Text {
            id: label
            anchors.verticalCenter: parent.verticalCenter
            font.pixelSize: badge.pixelSize
            font.weight: badge.weight
        }
    }
}
