// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Lexwick

// A one-line text field on a thin plate, ringed while it has the focus.
TextField {
    id: field
    Layout.fillWidth: true
    font: Theme.bodyFont
    color: Theme.label
    placeholderTextColor: Theme.secondaryLabel
    selectByMouse: true
    leftPadding: 8
    rightPadding: 8
    background: Rectangle {
        radius: 6
        color: Theme.thinMaterial
        border.width: 1
        border.color: Theme.controlBorder
        FocusRing { shown: field.activeFocus }
    }
}
