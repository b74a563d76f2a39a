import QtQuick
import QtQuick.Layouts
import Lexwick

// The eight tones in two rows of four.
ColumnLayout {
    id: selector
    required property var tones
    property int selectedTone: 0
    signal toneChosen(int tone)

    spacing: 8
    Repeater {
        model: 2
        RowLayout {
            id: line
            required property int index
            spacing: 4
            Repeater {
                model: selector.tones.slice(line.index * 4, line.index * 4 + 4)
                ToneButton {
                    required property var modelData
                    Layout.fillWidth: true
                    symbol: modelData.symbol
                    title: modelData.title
                    tooltip: modelData.tooltip
                    isSelected: modelData.tone === selector.selectedTone
                    onClicked: selector.toneChosen(modelData.tone)
                }
            }
        }
    }
}
