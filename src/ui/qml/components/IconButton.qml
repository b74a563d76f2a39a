// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls.Basic
import Lexwick

// A symbol that acts as a button, named by its tool tip; `material` sets it on a tinted plate.
Pressable {
    id: button
    property string symbol
    property string tip
    property color tint: Theme.secondaryLabel
    property real size: 20
    property bool material: false

    padding: 6
    Accessible.name: tip
    ToolTip.visible: hovered && tip !== ""
    ToolTip.text: tip
    ToolTip.delay: 600
    contentItem: SymbolIcon { name: button.symbol; size: button.size; color: button.tint }
    background: Rectangle {
        radius: 6
        color: button.material ? Theme.ultraThinMaterial : "transparent"
    }
}
