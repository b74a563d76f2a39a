import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Lexwick

// The settings screen: the provider mode, the local model server, the custom provider with its
// key and model, the sensitive-data check, the status, About, and the way out.
Rectangle {
    id: screen
    required property SettingsView view
    readonly property LocalServerView localServer: view.localServer

    implicitWidth: 400
    implicitHeight: 550
    color: Theme.window

    component Section: Rectangle {
        id: section
        property string title
        property string symbol
        default property alias content: body.data
        property alias headerExtra: extra.data
        Layout.fillWidth: true
        Layout.leftMargin: 16
        Layout.rightMargin: 16
        implicitHeight: column.implicitHeight + 24
        radius: 10
        color: Theme.ultraThinMaterial
        ColumnLayout {
            id: column
            anchors.fill: parent
            anchors.margins: 12
            spacing: 10
            RowLayout {
                Layout.fillWidth: true
                spacing: 6
                SymbolIcon { name: section.symbol; size: 15; color: Theme.label }
                Text { text: section.title; font: Theme.headlineFont; color: Theme.label }
                Item { Layout.fillWidth: true }
                Row { id: extra }
            }
            ColumnLayout {
                id: body
                Layout.fillWidth: true
                spacing: 8
            }
        }
    }

    component IconButton: ToolButton {
        property string symbol
        property string tip
        property color tint: Theme.secondaryLabel
        property real size: 18
        padding: 4
        focusPolicy: Qt.StrongFocus
        Accessible.name: tip
        ToolTip.visible: hovered && tip !== ""
        ToolTip.text: tip
        ToolTip.delay: 600
        contentItem: SymbolIcon { name: parent.symbol; size: parent.size; color: parent.tint }
        background: Item {}
    }

    component Caption: Text {
        Layout.fillWidth: true
        font: Theme.captionFont
        color: Theme.secondaryLabel
        wrapMode: Text.WordWrap
    }

    component Field: TextField {
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
            border.width: parent.activeFocus ? 2 : 1
            border.color: parent.activeFocus ? Theme.accent : Theme.separator
        }
    }

    // A drop-down whose selection follows the state: a choice is reported, and the state
    // decides what is selected (a choice would otherwise cut the binding).
    component Picker: ComboBox {
        id: picker
        property int selectedIndex: -1
        signal picked(int index)
        currentIndex: selectedIndex
        implicitHeight: 28
        onActivated: (index) => {
            picked(index)
            currentIndex = Qt.binding(() => picker.selectedIndex)
        }
        Layout.fillWidth: true
        font: Theme.bodyFont
        background: Rectangle {
            radius: 6
            color: Theme.thinMaterial
            border.width: picker.visualFocus ? 2 : 1
            border.color: picker.visualFocus ? Theme.accent : Theme.separator
        }
        delegate: ItemDelegate {
            required property var modelData
            required property int index
            width: ListView.view ? ListView.view.width : implicitWidth
            highlighted: picker.highlightedIndex === index
            contentItem: Text {
                text: modelData[picker.textRole]
                font.pixelSize: Theme.bodyFont.pixelSize
                font.weight: picker.currentIndex === index ? Font.DemiBold : Font.Normal
                color: Theme.label
                elide: Text.ElideRight
                verticalAlignment: Text.AlignVCenter
            }
            background: Rectangle {
                color: parent.highlighted ? Theme.withAlpha(Theme.accent, 0.2) : "transparent"
            }
        }
        // Our own glyph: the style's picture of arrows is hard to see on a dark palette.
        indicator: SymbolIcon {
            x: picker.width - width - 8
            y: (picker.height - height) / 2
            name: "chevron.right"
            size: 14
            rotation: 90
            color: Theme.secondaryLabel
        }
        popup.background: Rectangle {
            color: Theme.window
            border.width: 1
            border.color: Theme.separator
            radius: 6
        }
        contentItem: Text {
            leftPadding: 8
            rightPadding: picker.indicator.width + 4
            text: picker.displayText
            font: picker.font
            color: Theme.label
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
        }
    }

    component PillButton: AbstractButton {
        id: pill
        property color fill: Theme.accent
        property color textColor: "white"
        property string symbol
        property font labelFont: Theme.bodyFont
        implicitWidth: pillRow.implicitWidth + 24
        implicitHeight: pillRow.implicitHeight + 12
        focusPolicy: Qt.StrongFocus
        Accessible.name: text
        background: Rectangle {
            radius: 6
            color: pill.enabled ? pill.fill : Theme.withAlpha(pill.fill, 0.5)
        }
        contentItem: Item {
            Row {
                id: pillRow
                anchors.centerIn: parent
                spacing: 4
                SymbolIcon {
                    visible: pill.symbol !== ""
                    anchors.verticalCenter: parent.verticalCenter
                    name: pill.symbol
                    size: 13
                    color: pill.textColor
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: pill.text
                    font: pill.labelFont
                    color: pill.textColor
                }
            }
        }
    }

    // A row of the lower list: symbol, text, and what it leads to.
    component ListRow: AbstractButton {
        id: listRow
        property string symbol
        property string trailingSymbol
        property color tint: Theme.label
        Layout.fillWidth: true
        Layout.leftMargin: 16
        Layout.rightMargin: 16
        implicitHeight: 40
        focusPolicy: Qt.StrongFocus
        hoverEnabled: true
        Accessible.name: text
        background: Rectangle {
            radius: 10
            color: listRow.hovered ? Theme.thinMaterial : Theme.ultraThinMaterial
        }
        leftPadding: 12
        rightPadding: 12
        contentItem: RowLayout {
            spacing: 8
            SymbolIcon { name: listRow.symbol; size: 15; color: listRow.tint }
            Text { text: listRow.text; font: Theme.bodyFont; color: listRow.tint }
            Item { Layout.fillWidth: true }
            SymbolIcon {
                visible: listRow.trailingSymbol !== ""
                name: listRow.trailingSymbol
                size: 15
                color: Theme.secondaryLabel
            }
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // Header
        Rectangle {
            Layout.fillWidth: true
            implicitHeight: header.implicitHeight + 24
            color: Theme.thinMaterial
            RowLayout {
                id: header
                anchors.fill: parent
                anchors.margins: 12
                spacing: 8
                SymbolIcon { name: "gearshape.fill"; size: 22; color: Theme.accent }
                Text { text: "Settings"; font: Theme.titleFont; color: Theme.label }
                Item { Layout.fillWidth: true }
                IconButton {
                    objectName: "closeButton"
                    symbol: "xmark.circle.fill"; tip: "Close"; size: 20
                    onClicked: screen.view.close()
                }
            }
        }

        ScrollView {
            id: scroll
            objectName: "scroll"
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentWidth: availableWidth
            clip: true

            ColumnLayout {
                width: scroll.availableWidth
                spacing: 16

                Item { implicitHeight: 0 }

                Section {
                    title: "AI Provider"; symbol: "cpu"
                    Repeater {
                        // A fixed count: the cards stay while their state changes, so each can
                        // animate its own change of selection.
                        model: 3
                        ProviderOptionRow {
                            required property int index
                            readonly property var card: screen.view.providerCards[index]
                            objectName: "providerCard" + index
                            Layout.fillWidth: true
                            symbol: card.symbol
                            title: card.title
                            description: card.description
                            isSelected: card.isSelected
                            isAvailable: card.isAvailable
                            badge: card.badge
                            badgeIsAccent: card.badgeIsAccent
                            onClicked: screen.view.selectMode(card.mode)
                        }
                    }
                }

                // The custom provider's sections come in from the top and leave to it.
                ColumnLayout {
                    id: customSections
                    objectName: "customSections"
                    Layout.fillWidth: true
                    spacing: 16
                    visible: opacity > 0
                    opacity: screen.view.showsCustomSections ? 1 : 0
                    Behavior on opacity { NumberAnimation { duration: 250; easing.type: Easing.InOutQuad } }
                    transform: Translate {
                        y: screen.view.showsCustomSections ? 0 : -customSections.height / 2
                        Behavior on y { NumberAnimation { duration: 250; easing.type: Easing.InOutQuad } }
                    }

                    Section {
                        title: "Provider"; symbol: "building.2"
                        RowLayout {
                            Layout.fillWidth: true
                            spacing: 8
                            Repeater {
                                model: 3
                                AbstractButton {
                                    id: providerButton
                                    required property int index
                                    readonly property var entry: screen.view.providers[index]
                                    objectName: "providerButton" + index
                                    Layout.fillWidth: true
                                    Layout.preferredWidth: 1 // three equal buttons
                                    implicitHeight: providerLabel.implicitHeight + 16
                                    focusPolicy: Qt.StrongFocus
                                    Accessible.name: entry.title
                                    Accessible.checkable: true
                                    Accessible.checked: entry.isSelected
                                    onClicked: screen.view.selectProvider(entry.provider)
                                    background: Rectangle {
                                        radius: 8
                                        color: providerButton.entry.isSelected ? Theme.thinMaterial : Theme.ultraThinMaterial
                                        border.width: providerButton.entry.isSelected ? 2 : 0.5
                                        border.color: providerButton.entry.isSelected ? Theme.accent : Qt.rgba(1, 1, 1, 0.1)
                                    }
                                    contentItem: Text {
                                        id: providerLabel
                                        text: providerButton.entry.title
                                        font: Theme.bodyFont
                                        horizontalAlignment: Text.AlignHCenter
                                        verticalAlignment: Text.AlignVCenter
                                        color: providerButton.entry.isSelected ? Theme.accent : Theme.secondaryLabel
                                    }
                                }
                            }
                        }
                    }

                    Section {
                        objectName: "apiKeySection"
                        title: "API Key"; symbol: "key"
                        headerExtra: AbstractButton {
                            id: keyLink
                            objectName: "getAPIKeyLink"
                            visible: screen.view.showsGetAPIKeyLink
                            implicitWidth: linkRow.implicitWidth
                            implicitHeight: linkRow.implicitHeight
                            focusPolicy: Qt.StrongFocus
                            hoverEnabled: true
                            Accessible.name: "Get API Key"
                            onClicked: screen.view.openKeyConsole()
                            contentItem: Row {
                                id: linkRow
                                spacing: 3
                                Text {
                                    anchors.verticalCenter: parent.verticalCenter
                                    text: "Get API Key"
                                    font: Theme.captionFont
                                    color: Theme.accent
                                }
                                SymbolIcon {
                                    anchors.verticalCenter: parent.verticalCenter
                                    name: "arrow.up.right.square"
                                    size: 11
                                    color: Theme.accent
                                }
                            }
                            background: Item {}
                        }
                        RowLayout {
                            Layout.fillWidth: true
                            spacing: 6
                            Field {
                                id: keyField
                                objectName: "keyField"
                                text: screen.view.apiKeyInput
                                placeholderText: "Enter your API key"
                                echoMode: screen.view.showAPIKey ? TextInput.Normal : TextInput.Password
                                Accessible.name: "API key"
                                onTextEdited: screen.view.apiKeyInput = text
                                Keys.onReturnPressed: (event) => event.accepted = true
                                Keys.onEnterPressed: (event) => event.accepted = true
                            }
                            IconButton {
                                objectName: "eyeButton"
                                symbol: screen.view.eyeSymbol
                                tip: screen.view.eyeTooltip
                                onClicked: screen.view.toggleShowAPIKey()
                            }
                        }
                        RowLayout {
                            Layout.fillWidth: true
                            spacing: 8
                            PillButton {
                                objectName: "saveKeyButton"
                                text: "Save Key"
                                enabled: screen.view.canSaveKey
                                onClicked: screen.view.saveKey()
                            }
                            PillButton {
                                objectName: "deleteKeyButton"
                                visible: screen.view.showsDeleteButton
                                text: "Delete"
                                fill: "transparent"
                                textColor: Theme.red
                                onClicked: screen.view.deleteKey()
                            }
                            Row {
                                objectName: "savedMark"
                                spacing: 4
                                visible: opacity > 0
                                opacity: screen.view.showSaveSuccess ? 1 : 0
                                scale: screen.view.showSaveSuccess ? 1 : 0.6
                                Behavior on opacity { NumberAnimation { duration: 200 } }
                                Behavior on scale { NumberAnimation { duration: 200 } }
                                SymbolIcon {
                                    anchors.verticalCenter: parent.verticalCenter
                                    name: "checkmark.circle.fill"
                                    size: 13
                                    color: Theme.green
                                }
                                Text {
                                    anchors.verticalCenter: parent.verticalCenter
                                    text: "Saved"
                                    font: Theme.captionFont
                                    color: Theme.green
                                }
                            }
                            Item { Layout.fillWidth: true }
                        }
                        Caption {
                            objectName: "saveError"
                            visible: screen.view.showsSaveError
                            text: screen.view.saveError
                            color: Theme.red
                        }
                    }

                    Section {
                        objectName: "modelSection"
                        title: "Model"; symbol: "cube"
                        RowLayout {
                            Layout.fillWidth: true
                            spacing: 6
                            Picker {
                                objectName: "modelPicker"
                                model: screen.view.modelEntries
                                textRole: "name"
                                selectedIndex: screen.view.modelIndex
                                Accessible.name: "Model"
                                onPicked: (index) => screen.view.selectModel(index)
                            }
                            BusyIndicator {
                                visible: screen.view.isLoadingModels
                                running: visible
                                implicitWidth: 20
                                implicitHeight: 20
                                padding: 0
                            }
                        }
                        Caption {
                            objectName: "modelNotice"
                            visible: screen.view.modelNotice !== ""
                            text: screen.view.modelNotice
                            color: Theme.orange
                        }
                    }
                }

                // Where the on-device mode finds its model: always here, so that an unavailable
                // on-device mode can be made available.
                Section {
                    objectName: "localServerSection"
                    title: "Local model server"; symbol: "menubar.rectangle"
                    Caption { text: "Address" }
                    Field {
                        objectName: "serverAddressField"
                        text: screen.localServer.addressInput
                        placeholderText: "http://127.0.0.1:11434/v1"
                        Accessible.name: "Local model server address"
                        onTextEdited: screen.localServer.addressInput = text
                        onEditingFinished: screen.localServer.applyAddress()
                    }
                    Caption {
                        objectName: "serverAddressError"
                        visible: screen.localServer.addressError !== ""
                        text: screen.localServer.addressError
                        color: Theme.red
                    }
                    Caption { text: "Model" }
                    Picker {
                        objectName: "localModelPicker"
                        model: screen.localServer.modelEntries
                        textRole: "title"
                        selectedIndex: screen.localServer.modelIndex
                        Accessible.name: "Local model"
                        onPicked: (index) => screen.localServer.selectModel(index)
                    }
                    RowLayout {
                        Layout.fillWidth: true
                        spacing: 8
                        Rectangle {
                            implicitWidth: 8
                            implicitHeight: 8
                            radius: 4
                            color: screen.localServer.state === LocalServerView.State.ready ? Theme.green
                                 : screen.localServer.state === LocalServerView.State.checking ? Theme.secondaryLabel
                                 : Theme.orange
                        }
                        Caption {
                            objectName: "serverState"
                            text: screen.localServer.stateText
                        }
                        PillButton {
                            objectName: "checkAgainButton"
                            text: "Check again"
                            fill: Theme.thinMaterial
                            textColor: Theme.accent
                            enabled: screen.localServer.state !== LocalServerView.State.checking
                            onClicked: screen.localServer.checkAgain()
                        }
                    }
                }

                Section {
                    title: "Safety & Privacy"; symbol: "shield"
                    RowLayout {
                        Layout.fillWidth: true
                        spacing: 8
                        ColumnLayout {
                            Layout.fillWidth: true
                            spacing: 2
                            Text {
                                Layout.fillWidth: true
                                text: "Detect Sensitive Data (PII)"
                                font: Theme.bodyFont
                                color: Theme.label
                            }
                            Caption {
                                text: "Block processing if emails, phone numbers, SSN, or credit cards are detected"
                            }
                        }
                        Switch {
                            id: piiSwitch
                            objectName: "piiSwitch"
                            indicator: Rectangle {
                                implicitWidth: 38
                                implicitHeight: 22
                                x: piiSwitch.leftPadding
                                y: (piiSwitch.height - height) / 2
                                radius: height / 2
                                color: piiSwitch.checked ? Theme.accent : Theme.separator
                                Rectangle {
                                    x: piiSwitch.checked ? parent.width - width - 2 : 2
                                    y: 2
                                    width: parent.height - 4
                                    height: width
                                    radius: width / 2
                                    color: "white"
                                    Behavior on x { NumberAnimation { duration: 120 } }
                                }
                            }
                            checked: screen.view.piiDetectionEnabled
                            Accessible.name: "Detect Sensitive Data (PII)"
                            onToggled: screen.view.piiDetectionEnabled = checked
                        }
                    }
                }

                Section {
                    objectName: "statusSection"
                    title: "Status"; symbol: "info.circle"
                    RowLayout {
                        Layout.fillWidth: true
                        spacing: 8
                        Rectangle {
                            objectName: "statusDot"
                            implicitWidth: 8
                            implicitHeight: 8
                            radius: 4
                            color: screen.view.isConfigured ? Theme.green : Theme.orange
                        }
                        Caption {
                            objectName: "statusMessage"
                            text: screen.view.statusMessage
                        }
                    }
                }

                Section {
                    title: "About"; symbol: "info.circle.fill"
                    Rectangle {
                        Layout.fillWidth: true
                        implicitHeight: aboutRow.implicitHeight + 16
                        radius: 8
                        color: Theme.thinMaterial
                        RowLayout {
                            id: aboutRow
                            anchors.fill: parent
                            anchors.margins: 8
                            spacing: 10
                            Rectangle {
                                implicitWidth: 40
                                implicitHeight: 40
                                radius: 6
                                color: Theme.withAlpha(Theme.accent, 0.15)
                                SymbolIcon {
                                    anchors.centerIn: parent
                                    name: "text.bubble.fill"
                                    size: 22
                                    color: Theme.accent
                                }
                            }
                            ColumnLayout {
                                spacing: 2
                                Text { text: "Lexwick"; font: Theme.headlineFont; color: Theme.label }
                                Text { text: screen.view.versionLine; font: Theme.captionFont; color: Theme.secondaryLabel }
                            }
                            Item { Layout.fillWidth: true }
                        }
                    }
                    Caption { text: screen.view.aboutLine }
                }

                ListRow {
                    objectName: "shortcutsRow"
                    text: "Keyboard shortcuts"
                    symbol: "keyboard"
                    trailingSymbol: "chevron.right"
                    onClicked: screen.view.setShowsShortcuts(true)
                }

                ListRow {
                    objectName: "restartOnboardingRow"
                    text: "Restart Onboarding"
                    symbol: "arrow.counterclockwise"
                    trailingSymbol: "chevron.right"
                    onClicked: screen.view.restartOnboarding()
                }

                ListRow {
                    objectName: "quitRow"
                    text: "Quit Lexwick"
                    symbol: "power"
                    tint: Theme.red
                    onClicked: screen.view.quit()
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
                anchors.leftMargin: 16
                anchors.rightMargin: 12
                anchors.topMargin: 8
                anchors.bottomMargin: 8
                Text {
                    text: "Settings are saved automatically"
                    font: Theme.captionFont
                    color: Theme.secondaryLabel
                }
                Item { Layout.fillWidth: true }
                PillButton {
                    objectName: "doneButton"
                    text: "Done"
                    labelFont: Theme.headlineFont
                    onClicked: screen.view.close()
                }
            }
        }
    }

    // The shortcuts sheet, modal over the screen.
    Rectangle {
        anchors.fill: parent
        visible: screen.view.showsShortcuts
        color: Qt.rgba(0, 0, 0, 0.3)
        MouseArea { anchors.fill: parent } // nothing below takes clicks
        ShortcutsSheet {
            objectName: "shortcutsSheet"
            anchors.centerIn: parent
            width: Math.min(implicitWidth, parent.width - 24)
            shortcuts: screen.view.shortcuts
            onDone: screen.view.setShowsShortcuts(false)
        }
    }
}
