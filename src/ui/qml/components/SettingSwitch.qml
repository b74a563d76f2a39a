// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls.Basic
import Lexwick

// An on/off setting: Space, Return or a click asks for the other state through `switched`;
// what shows is the state's answer (`isOn`), so a change the state refused does not stick.
// Ringed while the keyboard put the focus on it.
Switch {
    id: control
    property bool isOn: false
    signal switched(bool on)

    checked: isOn
    onToggled: {
        const on = checked
        checked = Qt.binding(() => control.isOn)
        switched(on)
    }
    indicator: Rectangle {
        implicitWidth: 38
        implicitHeight: 22
        x: control.leftPadding
        y: (control.height - height) / 2
        radius: height / 2
        color: control.checked ? Theme.accent : Theme.controlBorder
        FocusRing { shown: control.visualFocus; itemRadius: height / 2 }
        Rectangle {
            x: control.checked ? parent.width - width - 2 : 2
            y: 2
            width: parent.height - 4
            height: width
            radius: width / 2
            color: "white"
            Behavior on x { NumberAnimation { duration: 120 } }
        }
    }
    Keys.onReturnPressed: { toggle(); toggled() }
    Keys.onEnterPressed: { toggle(); toggled() }
}
