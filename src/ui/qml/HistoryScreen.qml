// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Lexwick

// The history screen: search the records, reuse, copy or delete one, or clear them all.
Rectangle {
    id: screen
    required property HistoryView history

    implicitWidth: 400
    implicitHeight: 450
    color: Theme.window

    function focusSearch() { search.forceActiveFocus() }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        ScreenHeader {
            symbol: "clock.arrow.circlepath"; title: "History"
            IconButton {
                objectName: "closeButton"
                symbol: "xmark.circle.fill"; tip: "Close"
                onClicked: screen.history.close()
            }
        }

        // Search
        Rectangle {
            Layout.fillWidth: true
            implicitHeight: searchRow.implicitHeight + 8
            color: Theme.ultraThinMaterial
            RowLayout {
                id: searchRow
                anchors.fill: parent
                anchors.leftMargin: 12
                anchors.rightMargin: 12
                anchors.topMargin: 4
                anchors.bottomMargin: 4
                spacing: 6
                SymbolIcon { name: "magnifyingglass"; size: 14; color: Theme.secondaryLabel }
                TextField {
                    id: search
                    objectName: "search"
                    Layout.fillWidth: true
                    placeholderText: "Search history..."
                    placeholderTextColor: Theme.secondaryLabel
                    text: screen.history.searchQuery
                    onTextChanged: if (screen.history.searchQuery !== text) screen.history.searchQuery = text
                    font: Theme.bodyFont
                    color: Theme.label
                    selectByMouse: true
                    leftPadding: 0
                    background: Item { FocusRing { shown: search.activeFocus; anchors.leftMargin: -24; itemRadius: 4 } }
                    Accessible.name: "Search history"
                }
            }
        }

        Rectangle { Layout.fillWidth: true; implicitHeight: 1; color: Theme.separator }

        // Body
        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            ListView {
                id: list
                objectName: "list"
                anchors.fill: parent
                anchors.margins: 12
                anchors.rightMargin: 12
                visible: !screen.history.showsEmptyState
                clip: true
                spacing: 8
                boundsBehavior: Flickable.StopAtBounds
                model: screen.history.filteredItems
                ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }
                delegate: HistoryItemRow {
                    required property int index
                    width: ListView.view.width
                    onFocusedInside: list.positionViewAtIndex(index, ListView.Contain)
                    onReuse: screen.history.reuse(index)
                    onCopy: screen.history.copy(index)
                    onRemove: screen.history.remove(index)
                }
            }

            ColumnLayout {
                objectName: "emptyState"
                anchors.centerIn: parent
                visible: screen.history.showsEmptyState
                spacing: 8
                SymbolIcon {
                    Layout.alignment: Qt.AlignHCenter
                    name: "clock.badge.questionmark"
                    size: 48
                    color: Theme.secondaryLabel
                }
                Text {
                    Layout.alignment: Qt.AlignHCenter
                    text: screen.history.emptyTitle
                    font: Theme.headlineFont
                    color: Theme.secondaryLabel
                }
                Text {
                    Layout.alignment: Qt.AlignHCenter
                    text: screen.history.emptyMessage
                    font: Theme.captionFont
                    color: Theme.secondaryLabel
                }
            }
        }

        // Footer
        Rectangle {
            Layout.fillWidth: true
            implicitHeight: footer.implicitHeight + 16
            color: Theme.thinMaterial
            RowLayout {
                id: footer
                anchors.fill: parent
                anchors.leftMargin: 12
                anchors.rightMargin: 12
                anchors.topMargin: 8
                anchors.bottomMargin: 8
                spacing: 12
                Text {
                    objectName: "count"
                    text: screen.history.footerText
                    font: Theme.captionFont
                    color: Theme.secondaryLabel
                }
                Item { Layout.fillWidth: true }
                Pressable {
                    id: clearAll
                    objectName: "clearAllButton"
                    visible: screen.history.showsClearAll
                    padding: 4
                    ringRadius: 4
                    Accessible.name: "Clear All"
                    contentItem: Text { text: "Clear All"; font: Theme.captionFont; color: Theme.red }
                    background: Rectangle {
                        radius: 4
                        color: clearAll.hovered ? Theme.redTint : "transparent"
                    }
                    onClicked: screen.history.clearAll()
                }
                Pressable {
                    id: done
                    objectName: "doneButton"
                    padding: 4
                    ringRadius: 6
                    leftPadding: 8
                    rightPadding: 8
                    Accessible.name: "Done"
                    contentItem: Text { text: "Done"; font: Theme.headlineFont; color: Theme.accent }
                    background: Rectangle {
                        radius: 6
                        color: done.hovered ? Theme.accentTint : "transparent"
                    }
                    onClicked: screen.history.close()
                }
            }
        }
    }
}
