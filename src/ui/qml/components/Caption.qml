// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Layouts
import Lexwick

// A line of small secondary text that wraps to the width it is given.
Text {
    Layout.fillWidth: true
    font: Theme.captionFont
    color: Theme.secondaryLabel
    wrapMode: Text.WordWrap
}
