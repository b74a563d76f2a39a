// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Layouts
import Lexwick

// What the sensitive-data check found, and what to do about it.
Rectangle {
    id: banner
    required property string foundLine

    implicitHeight: row.implicitHeight + 16
    radius: 6
    color: Theme.redTint
    border.width: 1
    border.color: Theme.withAlpha(Theme.red, 0.3)
    Accessible.role: Accessible.AlertMessage
    Accessible.name: "Sensitive data detected. " + foundLine

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.margins: 8
        spacing: 8
        SymbolIcon {
            Layout.alignment: Qt.AlignTop
            name: "exclamationmark.shield.fill"
            size: 20
            color: Theme.red
        }
        ColumnLayout {
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignTop
            spacing: 4
            Text {
                text: "Sensitive data detected"
                font.pixelSize: 11
                font.weight: Font.DemiBold
                color: Theme.red
            }
            Text {
                Layout.fillWidth: true
                text: banner.foundLine
                font: Theme.captionFont
                color: Theme.secondaryLabel
                wrapMode: Text.Wrap
            }
            Text {
                Layout.fillWidth: true
                text: "Remove sensitive information before processing."
                font: Theme.captionFont
                color: Theme.secondaryLabel
                wrapMode: Text.Wrap
            }
        }
    }
}
