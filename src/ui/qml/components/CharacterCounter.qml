// SPDX-License-Identifier: MIT
import QtQuick
import Lexwick

// The count and the limit, with the level's symbol in front when it has one.
Row {
    id: counter
    required property string text
    required property string symbol
    required property int colour
    // The count and the level in words, for a screen reader.
    property string spokenText: text

    readonly property color tint: colour === CharacterCounterView.Colour.orange ? Theme.orange
                                  : colour === CharacterCounterView.Colour.red ? Theme.red
                                  : Theme.secondaryLabel
    spacing: 4
    Accessible.role: Accessible.StaticText
    Accessible.name: spokenText

    SymbolIcon {
        anchors.verticalCenter: parent.verticalCenter
        visible: counter.symbol !== ""
        name: counter.symbol
        size: 10
        color: counter.tint
    }
    Text {
        anchors.verticalCenter: parent.verticalCenter
        text: counter.text
        font: Theme.captionFont
        color: counter.tint
        Behavior on color { ColorAnimation { duration: 200; easing.type: Easing.InOutQuad } }
    }
}
