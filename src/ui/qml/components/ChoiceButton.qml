// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Templates as T
import Lexwick

// One button of a choice (a ChoiceGrid, the provider modes): a radio button to a screen reader,
// checked while the state says it is chosen. A click, Space or Return asks for it through
// `clicked`; what shows selected is the state's answer. Ringed while the keyboard put the focus
// on it.
T.RadioButton {
    id: control
    property bool isSelected: false
    property real ringRadius: 6

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             implicitContentHeight + topPadding + bottomPadding)
    focusPolicy: Qt.TabFocus // a click leaves the focus where it was (the text, mostly)
    hoverEnabled: true
    autoExclusive: false
    indicator: null
    checked: isSelected
    Accessible.name: text

    // The button checks itself when pressed; the state decides again.
    onClicked: checked = Qt.binding(() => control.isSelected)
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    FocusRing { shown: control.visualFocus; itemRadius: control.ringRadius }
}
