import QtQuick
import QtQuick.Controls.Basic
import Lexwick

// A filled, rounded button with its text and an optional symbol before it; faded while disabled.
AbstractButton {
    id: pill
    property color fill: Theme.accent
    property color textColor: "white"
    property string symbol
    property font labelFont: Theme.bodyFont

    implicitWidth: pillRow.implicitWidth + 24
    implicitHeight: pillRow.implicitHeight + 12
    focusPolicy: Qt.StrongFocus
    Accessible.name: text
    background: Rectangle {
        radius: 6
        color: pill.enabled ? pill.fill : Theme.withAlpha(pill.fill, 0.5)
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
                color: pill.textColor
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: pill.text
                font: pill.labelFont
                color: pill.textColor
            }
        }
    }
}
