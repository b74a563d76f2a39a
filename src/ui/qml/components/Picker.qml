// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Lexwick

// A drop-down whose selection follows the state: a choice is reported, and the state decides
// what is selected (a choice would otherwise cut the binding).
ComboBox {
    id: picker
    property int selectedIndex: -1
    signal picked(int index)

    currentIndex: selectedIndex
    implicitHeight: 28
    onActivated: (index) => {
        picked(index)
        currentIndex = Qt.binding(() => picker.selectedIndex)
    }
    Layout.fillWidth: true
    font: Theme.bodyFont
    background: Rectangle {
        radius: 6
        color: Theme.thinMaterial
        border.width: 1
        border.color: Theme.controlBorder
        FocusRing { shown: picker.visualFocus }
    }
    delegate: ItemDelegate {
        required property var modelData
        required property int index
        width: ListView.view ? ListView.view.width : implicitWidth
        highlighted: picker.highlightedIndex === index
        contentItem: Text {
            text: modelData[picker.textRole]
            font.pixelSize: Theme.bodyFont.pixelSize
            font.weight: picker.currentIndex === index ? Font.DemiBold : Font.Normal
            color: Theme.label
            elide: Text.ElideRight
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            color: parent.highlighted ? Theme.accentTint : "transparent"
        }
    }
    // Our own glyph: the style's picture of arrows is hard to see on a dark palette.
    indicator: SymbolIcon {
        x: picker.width - width - 8
        y: (picker.height - height) / 2
        name: "chevron.right"
        size: 14
        rotation: 90
        color: Theme.secondaryLabel
    }
    popup.background: Rectangle {
        color: Theme.window
        border.width: 1
        border.color: Theme.separator
        radius: 6
    }
    contentItem: Text {
        leftPadding: 8
        rightPadding: picker.indicator.width + 4
        text: picker.displayText
        font: picker.font
        color: Theme.label
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
}
