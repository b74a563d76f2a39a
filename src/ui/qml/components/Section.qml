// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Layouts
import Lexwick

// A titled group on a plate; what it holds is stacked below the title, and `headerExtra` sits
// at the title's right.
Rectangle {
    id: section
    property string title
    property string symbol
    default property alias content: body.data
    property alias headerExtra: extra.data

    Layout.fillWidth: true
    Layout.leftMargin: 16
    Layout.rightMargin: 16
    implicitHeight: column.implicitHeight + 24
    radius: 10
    color: Theme.ultraThinMaterial

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 12
        spacing: 10
        RowLayout {
            Layout.fillWidth: true
            spacing: 6
            SymbolIcon { name: section.symbol; size: 15; color: Theme.label }
            Text { text: section.title; font: Theme.headlineFont; color: Theme.label }
            Item { Layout.fillWidth: true }
            Row { id: extra }
        }
        ColumnLayout {
            id: body
            Layout.fillWidth: true
            spacing: 8
        }
    }
}
