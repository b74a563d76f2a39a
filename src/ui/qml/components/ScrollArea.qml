// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls.Basic

// A screen's scrolling content that follows the keyboard: whatever takes the focus inside it is
// scrolled into view. reveal() brings an item into view; revealSoon() does so again as the item
// settles into its place over the next moments (a section that has just appeared is laid out
// after the call).
ScrollView {
    id: area
    contentWidth: availableWidth
    clip: true

    readonly property Flickable flickable: contentItem
    property Item pending: null

    function reveal(item) {
        if (!item || !flickable)
            return
        const margin = 12
        const top = item.mapToItem(flickable.contentItem, 0, 0).y - margin
        const bottom = top + item.height + 2 * margin
        let y = flickable.contentY
        if (bottom > y + flickable.height)
            y = bottom - flickable.height
        if (top < y)
            y = top // an item taller than the view shows its start
        flickable.contentY = Math.max(0, Math.min(y, flickable.contentHeight - flickable.height))
    }
    function revealSoon(item) {
        pending = item
        settling.restart()
        Qt.callLater(area.revealPending)
    }
    function revealPending() { reveal(pending) }

    Timer { id: settling; interval: 500; onTriggered: area.pending = null }
    Connections {
        target: area.pending
        function onYChanged() { area.revealPending() }
        function onHeightChanged() { area.revealPending() }
    }
    Connections {
        target: area.flickable
        function onContentHeightChanged() { if (area.pending) area.revealPending() }
    }
    Connections {
        target: area.Window.window
        function onActiveFocusItemChanged() {
            // A field that scrolls in a frame of its own comes into view with its frame.
            let item = area.Window.window.activeFocusItem
            for (let p = item; p; p = p.parent) {
                if (p === area.flickable.contentItem) {
                    area.reveal(item)
                    return
                }
                if (p !== item && p.flickableDirection !== undefined)
                    item = p
            }
        }
    }
}
