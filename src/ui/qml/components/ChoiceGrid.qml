// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Layouts
import Lexwick

// The buttons of one choice, in columns of equal width. To the keyboard the group is one stop:
// Tab enters it at the chosen button (the only one whose `focusPolicy` takes Tab),
// the arrow keys move between the buttons, Space or Return chooses. A screen reader hears a
// group of that name.
GridLayout {
    id: grid
    property alias model: repeater.model
    property alias delegate: repeater.delegate
    property string name

    Accessible.role: Accessible.Grouping
    Accessible.name: name

    Repeater { id: repeater }

    Keys.onPressed: (event) => {
        if (event.key === Qt.Key_Tab || event.key === Qt.Key_Backtab) {
            // Out of the group, from its tab stop: Qt 6.4 goes astray when it starts from a
            // button that is not one.
            for (let i = 0; i < repeater.count; ++i) {
                const stop = repeater.itemAt(i)
                if (stop.activeFocusOnTab) {
                    const forward = event.key === Qt.Key_Tab
                    stop.nextItemInFocusChain(forward).forceActiveFocus(
                        forward ? Qt.TabFocusReason : Qt.BacktabFocusReason)
                    event.accepted = true
                    return
                }
            }
            return
        }
        const step = event.key === Qt.Key_Left ? -1 : event.key === Qt.Key_Right ? 1
                   : event.key === Qt.Key_Up ? -grid.columns : event.key === Qt.Key_Down ? grid.columns : 0
        if (step === 0)
            return
        for (let i = 0; i < repeater.count; ++i) {
            if (repeater.itemAt(i).activeFocus) {
                const next = repeater.itemAt(i + step)
                if (next)
                    next.forceActiveFocus(Qt.TabFocusReason)
                break
            }
        }
        event.accepted = true
    }
}
