// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Lexwick

// The card of one record: its badges and age, its two text lines, and Reuse, Copy and Delete.
Rectangle {
    id: card
    required property string actionTitle
    required property string actionSymbol
    required property string toneTitle
    required property bool wasCached
    required property string relativeTime
    required property string inputLine
    required property string resultLine
    required property bool showCopied

    signal reuse()
    signal copy()
    signal remove()
    // One of its buttons took the focus: the card wants to be seen.
    signal focusedInside()

    implicitHeight: lines.implicitHeight + 24
    radius: 10
    Accessible.role: Accessible.ListItem
    Accessible.name: actionTitle + (toneTitle !== "" ? ", " + toneTitle : "") + (wasCached ? ", cached" : "")
                     + ", " + relativeTime + ": " + inputLine
    color: Theme.ultraThinMaterial
    border.width: 0.5
    border.color: Qt.rgba(1, 1, 1, 0.1)

    component CardButton: Pressable {
        id: button
        property string symbol
        property string title
        property color tint
        property bool iconOnly: false
        padding: 2
        ringRadius: 4
        Accessible.name: title
        onActiveFocusChanged: if (activeFocus) card.focusedInside()
        ToolTip.visible: hovered && iconOnly
        ToolTip.text: title
        ToolTip.delay: 600
        contentItem: Row {
            spacing: 4
            SymbolIcon {
                anchors.verticalCenter: parent.verticalCenter
                name: button.symbol
                size: 11
                color: button.tint
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                visible: !button.iconOnly
                text: button.title
                font: Theme.captionFont
                color: button.tint
            }
        }
        background: Rectangle {
            radius: 4
            color: button.hovered ? Theme.withAlpha(button.tint, 0.12) : "transparent"
        }
    }

    ColumnLayout {
        id: lines
        anchors.fill: parent
        anchors.margins: 12
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            spacing: 6
            Badge {
                objectName: "actionBadge"
                symbol: card.actionSymbol
                text: card.actionTitle
                textColor: Theme.accent
                pixelSize: 10
                weight: Font.Medium
                horizontalPadding: 6
                color: Theme.accentTint
            }
            Badge {
                objectName: "toneBadge"
                visible: card.toneTitle !== ""
                text: card.toneTitle
                textColor: Theme.secondaryLabel
                color: Theme.withAlpha(Theme.label, 0.08)
            }
            Badge {
                objectName: "cachedBadge"
                visible: card.wasCached
                text: "Cached"
                textColor: Theme.green
                color: Theme.greenTint
            }
            Item { Layout.fillWidth: true }
            Text {
                text: card.relativeTime
                font: Theme.captionFont
                color: Theme.secondaryLabel
            }
        }

        Text {
            Layout.fillWidth: true
            text: card.inputLine
            textFormat: Text.PlainText
            wrapMode: Text.WrapAtWordBoundaryOrAnywhere
            font: Theme.bodyFont
            color: Theme.label
        }

        Text {
            Layout.fillWidth: true
            text: card.resultLine
            textFormat: Text.PlainText
            wrapMode: Text.WrapAtWordBoundaryOrAnywhere
            font: Theme.captionFont
            color: Theme.secondaryLabel
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 12
            CardButton {
                objectName: "reuseButton"
                symbol: "arrow.uturn.backward"
                title: "Reuse"
                tint: Theme.accent
                onClicked: card.reuse()
            }
            CardButton {
                objectName: "copyButton"
                symbol: card.showCopied ? "checkmark" : "doc.on.doc"
                title: card.showCopied ? "Copied!" : "Copy"
                tint: card.showCopied ? Theme.green : Theme.secondaryLabel
                onClicked: card.copy()
            }
            Item { Layout.fillWidth: true }
            CardButton {
                objectName: "deleteButton"
                symbol: "trash"
                title: "Delete"
                iconOnly: true
                tint: Theme.red
                onClicked: card.remove()
            }
        }
    }
}
