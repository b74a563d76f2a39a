// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Lexwick

// One provider-mode card: symbol, title and description, the check mark while selected and a
// badge while the mode cannot be chosen. An unavailable card is dimmed and takes no clicks.
ChoiceButton {
    id: row
    required property string symbol
    required property string title
    required property string description
    property bool isAvailable: true
    property string badge: ""
    property bool badgeIsAccent: false

    implicitHeight: content.implicitHeight + 24
    enabled: isAvailable
    opacity: isAvailable ? 1 : 0.6
    ringRadius: 10
    Accessible.name: title
    Accessible.description: description

    scale: isSelected ? 1.01 : 1.0
    Behavior on scale { SpringAnimation { spring: 5; damping: 0.35 } }

    background: Rectangle {
        radius: 10
        color: row.isSelected ? Theme.thinMaterial : Theme.ultraThinMaterial
        border.width: row.isSelected ? 2 : 1
        border.color: row.isSelected ? Theme.accent : Theme.controlBorder
        Behavior on border.color { ColorAnimation { duration: 200 } }
    }

    contentItem: RowLayout {
        id: content
        spacing: 10
        Item {
            Layout.preferredWidth: 24
            Layout.preferredHeight: 24
            Layout.alignment: Qt.AlignVCenter
            SymbolIcon {
                id: icon
                anchors.centerIn: parent
                name: row.symbol
                size: 20
                color: row.isSelected ? Theme.accent : Theme.secondaryLabel
            }
            // A short bounce whenever the selection changes.
            SequentialAnimation {
                id: bounce
                NumberAnimation { target: icon; property: "scale"; to: 1.25; duration: 120; easing.type: Easing.OutQuad }
                NumberAnimation { target: icon; property: "scale"; to: 1.0; duration: 180; easing.type: Easing.OutBack }
            }
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Text {
                Layout.fillWidth: true
                text: row.title
                font: Theme.bodyFont
                color: row.isAvailable ? Theme.label : Theme.secondaryLabel
                elide: Text.ElideRight
            }
            Text {
                Layout.fillWidth: true
                text: row.description
                font: Theme.captionFont
                color: Theme.secondaryLabel
                wrapMode: Text.WordWrap
            }
        }
        SymbolIcon {
            objectName: "checkMark"
            Layout.alignment: Qt.AlignVCenter
            visible: row.isSelected
            name: "checkmark.circle.fill"
            size: 18
            color: Theme.accent
        }
        Rectangle {
            objectName: "badge"
            Layout.alignment: Qt.AlignVCenter
            visible: row.badge !== ""
            implicitWidth: badgeText.implicitWidth + 16
            implicitHeight: badgeText.implicitHeight + 6
            radius: height / 2
            color: row.badgeIsAccent ? Theme.accentTint : "transparent"
            border.width: row.badgeIsAccent ? 1 : 0
            border.color: Theme.withAlpha(Theme.accent, 0.3)
            Text {
                id: badgeText
                anchors.centerIn: parent
                text: row.badge
                font: Theme.captionFont
                color: row.badgeIsAccent ? Theme.accent : Theme.secondaryLabel
            }
        }
    }

    onIsSelectedChanged: bounce.restart()
}
