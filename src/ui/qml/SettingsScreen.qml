// SPDX-License-Identifier: MIT
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

    // The server is followed while the screen is seen.
    Binding {
        target: screen.localServer
        property: "live"
        value: screen.visible && screen.Window.window !== null && screen.Window.window.visible
    }

    implicitWidth: 400
    implicitHeight: 550
    color: Theme.window

    ColumnLayout {
        anchors.fill: parent
        spacing: 0
        enabled: !screen.view.showsShortcuts // a sheet over it keeps the keyboard to itself

        ScreenHeader {
            symbol: "gearshape.fill"; title: "Settings"
            IconButton {
                objectName: "closeButton"
                symbol: "xmark.circle.fill"; tip: "Close"
                onClicked: screen.view.close()
            }
        }

        ScrollArea {
            id: scroll
            objectName: "scroll"
            Layout.fillWidth: true
            Layout.fillHeight: true

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
                        ChoiceGrid {
                            Layout.fillWidth: true
                            name: "Provider"
                            columns: 3
                            columnSpacing: 8
                            model: 3
                            delegate: OptionButton {
                                required property int index
                                readonly property var entry: screen.view.providers[index]
                                objectName: "providerButton" + index
                                text: entry.title
                                isSelected: entry.isSelected
                                onClicked: screen.view.selectProvider(entry.provider)
                            }
                        }
                    }

                    Section {
                        objectName: "apiKeySection"
                        title: "API Key"; symbol: "key"
                        headerExtra: Pressable {
                            id: keyLink
                            objectName: "getAPIKeyLink"
                            visible: screen.view.showsGetAPIKeyLink
                            implicitWidth: linkRow.implicitWidth
                            implicitHeight: linkRow.implicitHeight
                            ringRadius: 2
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
                                padding: 4
                                size: 18
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
                    Caption { text: "API key, if the server was started with one" }
                    Field {
                        objectName: "serverKeyField"
                        text: screen.localServer.apiKeyInput
                        echoMode: TextInput.Password
                        placeholderText: "None"
                        Accessible.name: "Local model server API key"
                        onTextEdited: screen.localServer.apiKeyInput = text
                        onEditingFinished: screen.localServer.applyAPIKey()
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

                // What a keyboard shortcut does with its result.
                Section {
                    objectName: "afterShortcutSection"
                    title: "After a shortcut"; symbol: "keyboard"
                    ChoiceGrid {
                        Layout.fillWidth: true
                        name: "After a shortcut"
                        columns: 2
                        columnSpacing: 8
                        model: [
                            { replaces: true, title: "Replace the selection" },
                            { replaces: false, title: "Copy to the clipboard" }
                        ]
                        delegate: OptionButton {
                            required property var modelData
                            required property int index
                            objectName: "afterShortcutButton" + index
                            text: modelData.title
                            isSelected: screen.view.replacesSelection === modelData.replaces
                            onClicked: screen.view.replacesSelection = modelData.replaces
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
                        SettingSwitch {
                            objectName: "piiSwitch"
                            isOn: screen.view.piiDetectionEnabled
                            Accessible.name: "Detect Sensitive Data (PII)"
                            onSwitched: (on) => screen.view.piiDetectionEnabled = on
                        }
                    }
                }

                Section {
                    objectName: "startupSection"
                    title: "Startup"; symbol: "power"
                    RowLayout {
                        Layout.fillWidth: true
                        spacing: 8
                        Text {
                            Layout.fillWidth: true
                            text: "Start at login"
                            font: Theme.bodyFont
                            color: Theme.label
                        }
                        SettingSwitch {
                            objectName: "loginSwitch"
                            isOn: screen.view.startsAtLogin
                            Accessible.name: "Start at login"
                            onSwitched: (on) => screen.view.startsAtLogin = on
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
                            // Beside the first line, however the message wraps.
                            Layout.alignment: Qt.AlignTop
                            Layout.topMargin: 4
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
                    Caption {
                        objectName: "keyStoreLine"
                        Layout.fillWidth: true
                        text: screen.view.keyStoreLine
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
                                color: Theme.accentTint
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
                    id: shortcutsRow
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
            id: shortcutsSheet
        }
        // The keyboard goes onto the sheet as it opens, and back where it was opened as it closes.
        Connections {
            target: screen.view
            function onShowsShortcutsChanged() {
                if (screen.view.showsShortcuts)
                    shortcutsSheet.focusFirst()
                else
                    shortcutsRow.forceActiveFocus(Qt.TabFocusReason)
            }
        }
    }
}
