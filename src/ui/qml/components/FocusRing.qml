// SPDX-License-Identifier: MIT
import QtQuick
import Lexwick

// The mark of the keyboard's focus: a ring just outside the item it is put in, drawn while
// `shown` holds (for a button, while the keyboard gave it the focus).
Rectangle {
    objectName: "focusRing"
    property bool shown: false
    property real itemRadius: 6

    anchors.fill: parent
    anchors.margins: -3
    radius: itemRadius + 3
    color: "transparent"
    border.width: 2
    border.color: Theme.focusRing
    visible: shown
    Accessible.ignored: true
}
