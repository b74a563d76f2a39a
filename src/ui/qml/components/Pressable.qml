// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls.Basic
import Lexwick

// A button the keyboard works: Tab stops on it, Space, Return and Enter press it, and a ring
// shows around it while the keyboard has put the focus there. Named by its text unless it says
// otherwise. A screen reader hears a button, or a check box when it is checkable (Qt 6.4 takes a
// control's role from its type alone).
AbstractButton {
    id: control
    property real ringRadius: 6

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             implicitContentHeight + topPadding + bottomPadding)
    focusPolicy: Qt.TabFocus // a click leaves the focus where it was (the text, mostly)
    hoverEnabled: true
    Accessible.name: text

    function activate() {
        if (checkable) {
            toggle()
            toggled()
        }
        clicked()
    }
    Keys.onReturnPressed: activate()
    Keys.onEnterPressed: activate()

    FocusRing { shown: control.visualFocus; itemRadius: control.ringRadius }
}
