// SPDX-License-Identifier: MIT
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Lexwick

// The three-page introduction with its page dots and buttons. Left and Right turn the pages,
// Return presses the primary button.
Rectangle {
    id: screen
    required property OnboardingView onboarding

    implicitWidth: 400
    implicitHeight: 420
    color: Theme.thinMaterial
    focus: true

    Keys.onPressed: (event) => {
        if (event.key === Qt.Key_Left)
            screen.onboarding.back()
        else if (event.key === Qt.Key_Right)
            screen.onboarding.forward()
        else if (event.key === Qt.Key_Return || event.key === Qt.Key_Enter)
            screen.onboarding.primaryAction()
        else
            return
        event.accepted = true
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // The pages side by side; the one in view slides in with a spring.
        Item {
            id: pager
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            Row {
                id: strip
                x: -screen.onboarding.currentPage * pager.width
                Behavior on x { SpringAnimation { spring: 6; damping: 0.5; epsilon: 0.25 } }
                Repeater {
                    model: screen.onboarding.pages
                    OnboardingPageView {
                        required property var modelData
                        required property int index
                        width: pager.width
                        height: pager.height
                        icon: modelData.icon
                        title: modelData.title
                        description: modelData.description
                        accentColor: modelData.accentColor
                        active: index === screen.onboarding.currentPage
                    }
                }
            }
        }

        // Page dots
        Row {
            objectName: "dots"
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 12
            Layout.bottomMargin: 12
            spacing: 8
            Repeater {
                model: screen.onboarding.pageCount
                Rectangle {
                    required property int index
                    readonly property bool current: index === screen.onboarding.currentPage
                    width: 8
                    height: 8
                    radius: 4
                    color: current ? Theme.accent : Theme.withAlpha(Theme.secondaryLabel, 0.3)
                    scale: current ? 1.2 : 1.0
                    Behavior on scale { SpringAnimation { spring: 6; damping: 0.45; epsilon: 0.005 } }
                    Behavior on color { ColorAnimation { duration: 300 } }
                }
            }
        }

        // Buttons
        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.bottomMargin: 16
            spacing: 12

            Pressable {
                id: back
                objectName: "backButton"
                visible: screen.onboarding.showsBack
                ringRadius: 8
                Accessible.name: "Back"
                leftPadding: 14
                rightPadding: 16
                topPadding: 9
                bottomPadding: 9
                onClicked: screen.onboarding.back()
                contentItem: Row {
                    spacing: 4
                    SymbolIcon {
                        anchors.verticalCenter: parent.verticalCenter
                        name: "chevron.left"
                        size: 16
                        color: Theme.secondaryLabel
                    }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: "Back"
                        font: Theme.bodyFont
                        color: Theme.secondaryLabel
                    }
                }
                background: Rectangle {
                    radius: 8
                    color: back.hovered ? Theme.thinMaterial : Theme.ultraThinMaterial
                    border.width: 1
                    border.color: Theme.controlBorder
                }
            }

            Item { Layout.fillWidth: true }

            Pressable {
                id: primary
                objectName: "primaryButton"
                ringRadius: 8
                Accessible.name: screen.onboarding.primaryTitle
                leftPadding: 18
                rightPadding: 14
                topPadding: 9
                bottomPadding: 9
                onClicked: screen.onboarding.primaryAction()
                contentItem: Row {
                    spacing: 6
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: screen.onboarding.primaryTitle
                        font: Theme.headlineFont
                        color: "white"
                    }
                    SymbolIcon {
                        anchors.verticalCenter: parent.verticalCenter
                        name: screen.onboarding.primarySymbol
                        size: 16
                        color: "white"
                    }
                }
                background: Rectangle {
                    radius: 8
                    color: primary.down ? Qt.darker(Theme.accentFill, 1.15) : Theme.accentFill
                }
            }
        }
    }
}
