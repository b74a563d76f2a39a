// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Layouts
import Lexwick

// The eight tones in two rows of four, in aligned columns.
ChoiceGrid {
    id: selector
    required property var tones
    property int selectedTone: 0
    signal toneChosen(int tone)

    name: "Tone"
    columns: 4
    rowSpacing: 8
    columnSpacing: 4
    model: tones
    delegate: ToneButton {
        required property var modelData
        objectName: "tone" + modelData.title
        Layout.fillWidth: true
        Layout.preferredWidth: 1 // equal columns
        symbol: modelData.symbol
        title: modelData.title
        tooltip: modelData.tooltip
        isSelected: modelData.tone === selector.selectedTone
        focusPolicy: isSelected ? Qt.TabFocus : Qt.NoFocus
        onClicked: selector.toneChosen(modelData.tone)
    }
}
