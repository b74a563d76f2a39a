// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Lexwick

// The popover's main screen: the text, the action (and tone), the process button, the result.
Rectangle {
    id: screen
    required property MainView view
    readonly property InputChecks checks: view.checks
    readonly property ResultView result: view.result

    implicitWidth: 400
    implicitHeight: 520
    color: Theme.window

    function focusInput() { input.forceActiveFocus() }

    // When a request starts and when it ends, its result comes into view; the input is a
    // Shift+Tab (or a key typed) away.
    Connections {
        target: screen.result
        function onStateChanged() {
            if (screen.result.isShown)
                scroll.revealSoon(resultSection)
        }
    }

    // Ctrl+Return and Ctrl+Enter act as the process button while it is enabled.
    Shortcut {
        sequences: ["Ctrl+Return", "Ctrl+Enter"]
        enabled: screen.visible && screen.view.isProcessButtonEnabled
        onActivated: screen.view.toggleProcessing()
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        ScreenHeader {
            symbol: "text.bubble.fill"; title: "Lexwick"
            IconButton {
                objectName: "historyButton"
                symbol: "clock.arrow.circlepath"; tip: "History"
                material: true
                onClicked: screen.view.openHistory()
            }
            IconButton {
                objectName: "settingsButton"
                symbol: "gearshape.fill"; tip: "Settings"
                material: true
                onClicked: screen.view.openSettings()
            }
            IconButton {
                objectName: "closeButton"
                symbol: "xmark.circle.fill"; tip: "Close"
                onClicked: screen.view.close()
            }
        }

        // Content
        ScrollArea {
            id: scroll
            objectName: "mainScroll"
            Layout.fillWidth: true
            Layout.fillHeight: true
            background: Rectangle { color: Theme.ultraThinMaterial }

            ColumnLayout {
                width: scroll.availableWidth
                spacing: 16

                Item { implicitHeight: 0 } // the stack's top margin comes from its spacing

                // Input
                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.leftMargin: 16
                    Layout.rightMargin: 16
                    spacing: 6
                    SectionLabel { symbol: "text.alignleft"; title: "Your Text" }
                    Rectangle {
                        id: inputFrame
                        objectName: "inputFrame"
                        Layout.fillWidth: true
                        implicitHeight: Math.max(80, Math.min(120, input.implicitHeight))
                        radius: 10
                        color: Theme.ultraThinMaterial
                        border.width: screen.checks.inputBorder === InputChecks.InputBorder.exceeded ? 2 : 1
                        border.color: screen.checks.inputBorder === InputChecks.InputBorder.neutral
                                      ? Theme.controlBorder : Theme.red
                        Behavior on border.color { ColorAnimation { duration: 200; easing.type: Easing.InOutQuad } }
                        FocusRing { shown: input.activeFocus; itemRadius: 10 }
                        ScrollView {
                            anchors.fill: parent
                            contentWidth: availableWidth
                            TextArea {
                                objectName: "input"
                                id: input
                                text: screen.view.inputText
                                onTextChanged: {
                                    if (screen.view.inputText !== text)
                                        screen.view.inputText = text
                                    if (activeFocus)
                                        scroll.reveal(inputFrame) // typing brings the field back
                                }
                                onActiveFocusChanged: screen.view.isInputFocused = activeFocus
                                wrapMode: TextEdit.Wrap
                                padding: 8
                                font: Theme.bodyFont
                                color: Theme.label
                                selectByMouse: true
                                persistentSelection: true
                                background: null
                                Accessible.name: "Your Text"
                                Accessible.description: screen.view.inputHint
                                hoverEnabled: true
                                ToolTip.visible: hovered
                                ToolTip.delay: 1000
                                ToolTip.text: screen.view.inputHint

                                // Tab and Shift+Tab move on, as from any other control; Ctrl+Tab
                                // inserts a tab.
                                Keys.onTabPressed: (event) => {
                                    if (event.modifiers & Qt.ControlModifier)
                                        insertTab()
                                    else
                                        nextItemInFocusChain(true).forceActiveFocus(Qt.TabFocusReason)
                                }
                                Keys.onBacktabPressed: nextItemInFocusChain(false).forceActiveFocus(Qt.BacktabFocusReason)
                                function insertTab() {
                                    if (selectedText !== "")
                                        remove(selectionStart, selectionEnd)
                                    insert(cursorPosition, "\t")
                                }

                                // Made on first use: a menu costs time when the popover first opens.
                                property Menu contextMenu: null
                                TapHandler {
                                    acceptedButtons: Qt.RightButton
                                    onTapped: {
                                        if (!input.contextMenu)
                                            input.contextMenu = contextMenuComponent.createObject(input)
                                        input.contextMenu.popup()
                                    }
                                }
                                Component {
                                    id: contextMenuComponent
                                    Menu {
                                        objectName: "contextMenu"
                                        onClosed: input.forceActiveFocus() // typing goes on where it was
                                        MenuItem { text: "Undo"; enabled: input.canUndo; onTriggered: input.undo() }
                                        MenuItem { text: "Redo"; enabled: input.canRedo; onTriggered: input.redo() }
                                        MenuSeparator {}
                                        MenuItem { text: "Cut"; enabled: input.selectedText !== ""; onTriggered: input.cut() }
                                        MenuItem { text: "Copy"; enabled: input.selectedText !== ""; onTriggered: input.copy() }
                                        MenuItem { text: "Paste"; enabled: input.canPaste; onTriggered: input.paste() }
                                        MenuItem { text: "Select All"; onTriggered: input.selectAll() }
                                    }
                                }
                            }
                        }
                    }
                    RowLayout {
                        Layout.fillWidth: true
                        Text {
                            visible: screen.checks.validationMessage !== ""
                            text: screen.checks.validationMessage
                            font: Theme.captionFont
                            color: screen.checks.counterColour === CharacterCounterView.Colour.orange ? Theme.orange
                                 : screen.checks.counterColour === CharacterCounterView.Colour.red ? Theme.red
                                 : Theme.secondaryLabel
                        }
                        Item { Layout.fillWidth: true }
                        CharacterCounter {
                            objectName: "counter"
                            text: screen.checks.counterText
                            spokenText: screen.checks.counterSpokenText
                            symbol: screen.checks.counterSymbol
                            colour: screen.checks.counterColour
                        }
                    }
                }

                // Sensitive data
                WarningBanner {
                    objectName: "banner"
                    id: banner
                    Layout.fillWidth: true
                    Layout.leftMargin: 16
                    Layout.rightMargin: 16
                    visible: opacity > 0
                    opacity: screen.checks.showsSensitiveDataBanner ? 1 : 0
                    foundLine: screen.checks.sensitiveDataFoundLine
                    Behavior on opacity { NumberAnimation { duration: 200; easing.type: Easing.InOutQuad } }
                    transform: Translate {
                        y: screen.checks.showsSensitiveDataBanner ? 0 : -banner.height
                        Behavior on y { NumberAnimation { duration: 200; easing.type: Easing.InOutQuad } }
                    }
                }

                // Action
                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.leftMargin: 16
                    Layout.rightMargin: 16
                    spacing: 6
                    SectionLabel { symbol: "wand.and.stars"; title: "Action" }
                    ChoiceGrid {
                        objectName: "actions"
                        Layout.fillWidth: true
                        name: "Action"
                        columns: 3
                        columnSpacing: 8
                        model: screen.view.actions
                        delegate: ActionButton {
                            required property var modelData
                            objectName: "action" + modelData.title
                            Layout.fillWidth: true
                            Layout.preferredWidth: 1 // three equal cards
                            symbol: modelData.symbol
                            title: modelData.title
                            tooltip: modelData.tooltip
                            isSelected: modelData.action === screen.view.selectedAction
                            focusPolicy: isSelected ? Qt.TabFocus : Qt.NoFocus
                            onClicked: screen.view.selectedAction = modelData.action
                        }
                    }
                }

                // Tone
                ColumnLayout {
                    id: toneSection
                    objectName: "toneSection"
                    Layout.fillWidth: true
                    Layout.leftMargin: 16
                    Layout.rightMargin: 16
                    spacing: 6
                    visible: opacity > 0
                    opacity: screen.view.showsToneSection ? 1 : 0
                    Behavior on opacity { NumberAnimation { duration: 200; easing.type: Easing.InOutQuad } }
                    transform: Translate {
                        y: screen.view.showsToneSection ? 0 : -toneSection.height
                        Behavior on y { NumberAnimation { duration: 200; easing.type: Easing.InOutQuad } }
                    }
                    SectionLabel { symbol: "speaker.wave.2"; title: "Tone" }
                    ToneSelector {
                        Layout.fillWidth: true
                        tones: screen.view.tones
                        selectedTone: screen.view.selectedTone
                        onToneChosen: (tone) => screen.view.selectedTone = tone
                    }
                }

                // Process: filled while it can act; disabled, a grey outline with grey text.
                Pressable {
                    id: processButton
                    objectName: "processButton"
                    Layout.fillWidth: true
                    Layout.leftMargin: 16
                    Layout.rightMargin: 16
                    implicitHeight: 24 + processLabel.implicitHeight
                    enabled: screen.view.isProcessButtonEnabled
                    ringRadius: 10
                    readonly property color labelColour: enabled ? "white" : Theme.secondaryLabel
                    Accessible.name: screen.view.processButtonText
                    Accessible.description: "Ctrl+Return"
                    onClicked: screen.view.toggleProcessing()
                    background: Rectangle {
                        radius: 10
                        color: !processButton.enabled ? Theme.ultraThinMaterial
                             : screen.view.isProcessing ? Theme.orangeFill : Theme.accentFill
                        border.width: processButton.enabled ? 0 : 1
                        border.color: Theme.controlBorder
                        Rectangle { // its shadow
                            z: -1
                            anchors.fill: parent
                            anchors.topMargin: 3
                            anchors.bottomMargin: -3
                            radius: 10
                            visible: processButton.enabled
                            color: Theme.withAlpha(parent.color, 0.3)
                        }
                    }
                    contentItem: Item {
                        Row {
                            id: processLabel
                            anchors.centerIn: parent
                            spacing: 8
                            BusyIndicator {
                                visible: screen.view.isProcessing
                                running: visible
                                width: 16
                                height: 16
                                padding: 0 // the default padding leaves no room for the spinner
                                scale: 0.8
                                palette.dark: processButton.labelColour // the colour of its dots
                                anchors.verticalCenter: parent.verticalCenter
                            }
                            SymbolIcon {
                                visible: !screen.view.isProcessing
                                anchors.verticalCenter: parent.verticalCenter
                                name: screen.view.processButtonSymbol
                                size: 16
                                color: processButton.labelColour
                            }
                            Text {
                                anchors.verticalCenter: parent.verticalCenter
                                text: screen.view.processButtonText
                                font: Theme.headlineFont
                                color: processButton.labelColour
                            }
                        }
                    }
                }

                // Result
                ColumnLayout {
                    id: resultSection
                    objectName: "resultSection"
                    Layout.fillWidth: true
                    Layout.leftMargin: 16
                    Layout.rightMargin: 16
                    spacing: 6
                    visible: screen.result.isShown
                    RowLayout {
                        Layout.fillWidth: true
                        SectionLabel { symbol: "sparkles"; title: "Result" }
                        Badge {
                            objectName: "cachedBadge"
                            visible: screen.result.showsCachedBadge
                            text: "Cached"
                            textColor: Theme.green
                            weight: Font.DemiBold
                            horizontalPadding: 6
                            color: Theme.greenTint
                        }
                        Item { Layout.fillWidth: true }
                        Pressable {
                            id: changesToggle
                            objectName: "changesToggle"
                            visible: screen.result.showsChangesToggle
                            checkable: true
                            checked: screen.result.showChanges
                            onToggled: screen.result.showChanges = checked
                            implicitWidth: changesRow.implicitWidth + 12
                            implicitHeight: changesRow.implicitHeight + 6
                            Accessible.name: "Changes"
                            Accessible.description: screen.result.changesSummary
                            ToolTip.visible: hovered
                            ToolTip.delay: 500
                            ToolTip.text: screen.result.changesSummary
                            background: Rectangle {
                                radius: 6
                                color: changesToggle.checked ? Theme.accentTint : Theme.ultraThinMaterial
                                border.width: 1
                                border.color: changesToggle.checked ? Theme.accent : Theme.controlBorder
                            }
                            contentItem: Item {
                                Row {
                                    id: changesRow
                                    anchors.centerIn: parent
                                    spacing: 4
                                    SymbolIcon {
                                        anchors.verticalCenter: parent.verticalCenter
                                        name: "plus.forwardslash.minus"
                                        size: 11
                                        color: changesToggle.checked ? Theme.accent : Theme.secondaryLabel
                                    }
                                    Text {
                                        anchors.verticalCenter: parent.verticalCenter
                                        text: "Changes"
                                        font: Theme.captionFont
                                        color: changesToggle.checked ? Theme.accent : Theme.secondaryLabel
                                    }
                                }
                            }
                        }
                        Pressable {
                            id: copyButton
                            objectName: "copyButton"
                            implicitWidth: copyRow.implicitWidth + 12
                            implicitHeight: copyRow.implicitHeight + 6
                            Accessible.name: screen.result.showCopiedFeedback ? "Copied!" : "Copy"
                            enabled: screen.result.canCopy
                            readonly property color tint: enabled ? Theme.accent : Theme.secondaryLabel
                            onClicked: screen.result.copy()
                            background: Rectangle {
                                radius: 6
                                color: Theme.ultraThinMaterial
                                border.width: 1
                                border.color: copyButton.enabled ? Theme.accent : Theme.controlBorder
                            }
                            contentItem: Item {
                                Row {
                                    id: copyRow
                                    anchors.centerIn: parent
                                    spacing: 4
                                    SymbolIcon {
                                        anchors.verticalCenter: parent.verticalCenter
                                        name: screen.result.showCopiedFeedback ? "checkmark" : "doc.on.doc"
                                        size: 11
                                        color: copyButton.tint
                                    }
                                    Text {
                                        anchors.verticalCenter: parent.verticalCenter
                                        text: screen.result.showCopiedFeedback ? "Copied!" : "Copy"
                                        font: Theme.captionFont
                                        color: copyButton.tint
                                    }
                                }
                            }
                        }
                    }
                    Rectangle {
                        Layout.fillWidth: true
                        implicitHeight: (screen.result.showsSpinner ? spinner.implicitHeight : result.implicitHeight) + 24
                        radius: 10
                        color: Theme.ultraThinMaterial
                        border.width: 1
                        border.color: Theme.withAlpha(Theme.green, 0.5)
                        BusyIndicator {
                            id: spinner
                            objectName: "spinner"
                            anchors.centerIn: parent
                            visible: screen.result.showsSpinner
                            running: visible
                            palette.dark: Theme.secondaryLabel // the colour of its dots
                            Accessible.name: "Waiting for the answer"
                        }
                        TextEdit {
                            id: result
                            objectName: "result"
                            visible: !screen.result.showsSpinner
                            anchors.fill: parent
                            anchors.margins: 12
                            readOnly: true
                            // A selection of the changes would copy the deleted words too.
                            selectByMouse: !screen.result.showsChanges
                            wrapMode: TextEdit.Wrap
                            textFormat: TextEdit.RichText
                            // Each change on a wash of its colour, so that a deletion and the
                            // insertion after it read as two.
                            text: "<style>.deleted { color: " + Theme.red + "; background-color: "
                                  + Theme.redTint + "; } .inserted { color: " + Theme.green
                                  + "; background-color: " + Theme.greenTint + "; }</style>"
                                  + screen.result.richText
                            font: Theme.bodyFont
                            color: Theme.label
                            selectionColor: Theme.accent
                            onLinkActivated: (link) => screen.result.openLink(link)
                            activeFocusOnTab: true // a screen reader's user reads it from here
                            Accessible.name: screen.result.accessibleName
                            FocusRing { shown: result.activeFocus; anchors.margins: -8; itemRadius: 6 }
                        }
                    }
                    Text {
                        objectName: "cutShortNotice"
                        Layout.fillWidth: true
                        visible: text !== ""
                        text: screen.result.cutShortNotice
                        font: Theme.captionFont
                        color: Theme.secondaryLabel
                        wrapMode: Text.Wrap
                    }
                }

                // Error
                Rectangle {
                    id: errorLine
                    objectName: "errorLine"
                    Layout.fillWidth: true
                    Layout.leftMargin: 16
                    Layout.rightMargin: 16
                    visible: screen.view.showsError
                    implicitHeight: errorRow.implicitHeight + 16
                    radius: 6
                    color: Theme.ultraThinMaterial
                    border.width: 1
                    border.color: Theme.withAlpha(Theme.red, 0.3)
                    Accessible.role: Accessible.AlertMessage
                    Accessible.name: screen.view.errorMessage
                    RowLayout {
                        id: errorRow
                        anchors.fill: parent
                        anchors.margins: 8
                        spacing: 6
                        SymbolIcon {
                            Layout.alignment: Qt.AlignTop
                            name: "exclamationmark.triangle.fill"
                            size: 12
                            color: Theme.red
                        }
                        Text {
                            Layout.fillWidth: true
                            text: screen.view.errorMessage
                            font: Theme.captionFont
                            color: Theme.red
                            wrapMode: Text.Wrap
                        }
                    }
                }

                Item { implicitHeight: 0 }
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
                anchors.margins: 8
                Pressable {
                    id: chip
                    objectName: "chip"
                    implicitWidth: chipRow.implicitWidth + 12
                    implicitHeight: chipRow.implicitHeight + 6
                    Accessible.name: screen.view.providerChipTooltip
                    ToolTip.visible: hovered
                    ToolTip.text: screen.view.providerChipTooltip
                    ToolTip.delay: 600
                    onClicked: screen.view.openSettings()
                    background: Rectangle { radius: 6; color: Theme.ultraThinMaterial }
                    contentItem: Item {
                        Row {
                            id: chipRow
                            anchors.centerIn: parent
                            spacing: 4
                            Rectangle {
                                anchors.verticalCenter: parent.verticalCenter
                                width: 6; height: 6; radius: 3
                                color: screen.view.providerMode === AIProviderMode.AIProviderMode.local ? Theme.green
                                     : screen.view.providerMode === AIProviderMode.AIProviderMode.cloud ? Theme.blue
                                     : Theme.purple
                            }
                            Text {
                                anchors.verticalCenter: parent.verticalCenter
                                text: screen.view.providerName
                                font: Theme.captionFont
                                color: Theme.secondaryLabel
                            }
                        }
                    }
                }
                Item { Layout.fillWidth: true }
                Text { text: "Ctrl+↩ to process"; font: Theme.captionFont; color: Theme.secondaryLabel }
                Item { Layout.fillWidth: true }
                Pressable {
                    id: quitButton
                    objectName: "quitButton"
                    text: "Quit"
                    padding: 6
                    leftPadding: 10
                    rightPadding: 10
                    font: Theme.captionFont
                    contentItem: Text {
                        text: quitButton.text
                        font: quitButton.font
                        color: Theme.label
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                    }
                    background: Rectangle {
                        radius: 6
                        color: quitButton.hovered ? Theme.ultraThinMaterial : "transparent"
                    }
                    onClicked: screen.view.quit()
                }
            }
        }
    }
}
