pragma Singleton
import QtQuick

// The shared fonts and colours. Colours follow the desktop's palette (accent = highlight), so
// light and dark themes come from the system; without a compositor the two materials are two
// tints of the window colour.
QtObject {
    readonly property SystemPalette palette: SystemPalette { colorGroup: SystemPalette.Active }
    readonly property bool dark: palette.window.hslLightness < 0.5

    readonly property font titleFont: Qt.font({ pixelSize: 20, weight: Font.DemiBold })
    readonly property font headlineFont: Qt.font({ pixelSize: 15, weight: Font.DemiBold })
    readonly property font bodyFont: Qt.font({ pixelSize: 13 })
    readonly property font captionFont: Qt.font({ pixelSize: 11 })

    readonly property color accent: palette.highlight
    readonly property color label: palette.windowText
    readonly property color secondaryLabel: Qt.rgba(label.r, label.g, label.b, 0.6)
    readonly property color separator: Qt.rgba(label.r, label.g, label.b, 0.2)
    readonly property color window: palette.window
    readonly property color thinMaterial: Qt.tint(window, dark ? "#14ffffff" : "#0a000000")
    readonly property color ultraThinMaterial: Qt.tint(window, dark ? "#22ffffff" : "#14000000")

    readonly property color orange: dark ? "#ff9f0a" : "#ff9500"
    readonly property color red: dark ? "#ff453a" : "#ff3b30"
    readonly property color green: dark ? "#30d158" : "#34c759"
    readonly property color blue: dark ? "#0a84ff" : "#007aff"
    readonly property color purple: dark ? "#bf5af2" : "#af52de"

    function withAlpha(c, a) { return Qt.rgba(c.r, c.g, c.b, a) }
}
