// SPDX-License-Identifier: MIT
pragma Singleton
import QtQuick
import Lexwick

// The shared fonts and colours. Colours follow the desktop's palette (accent = highlight), so
// light and dark themes come from the system; without a compositor the two materials are two
// tints of the window colour. Whatever the palette, text keeps a contrast of 4.5:1 and control
// borders and the focus ring 3:1 with what they are drawn on: each colour is taken darker or
// lighter as far as that needs, and no further.
QtObject {
    id: theme
    readonly property SystemPalette palette: SystemPalette { colorGroup: SystemPalette.Active }
    readonly property bool dark: palette.window.hslLightness < 0.5

    readonly property font titleFont: Qt.font({ pixelSize: 20, weight: Font.DemiBold })
    readonly property font headlineFont: Qt.font({ pixelSize: 15, weight: Font.DemiBold })
    readonly property font bodyFont: Qt.font({ pixelSize: 13 })
    readonly property font captionFont: Qt.font({ pixelSize: 11 })

    // What text, symbols and controls are drawn on.
    readonly property color window: palette.window
    readonly property color thinMaterial: Qt.tint(window, dark ? "#14ffffff" : "#0a000000")
    readonly property color ultraThinMaterial: Qt.tint(window, dark ? "#22ffffff" : "#14000000")
    readonly property var surfaces: [window, thinMaterial, ultraThinMaterial]

    // The desktop's own colours, and the system colours of the symbols and status dots.
    readonly property color highlight: palette.highlight
    readonly property color systemOrange: dark ? "#ff9f0a" : "#ff9500"
    readonly property color systemRed: dark ? "#ff453a" : "#ff3b30"
    readonly property color systemGreen: dark ? "#30d158" : "#34c759"
    readonly property color systemBlue: dark ? "#0a84ff" : "#007aff"
    readonly property color systemPurple: dark ? "#bf5af2" : "#af52de"

    // Light washes of a colour behind its own text (badges, the banner, a selected toggle).
    readonly property color accentTint: tint(highlight)
    readonly property color redTint: tint(systemRed)
    readonly property color greenTint: tint(systemGreen)

    // Text and symbols.
    readonly property color label: readable(palette.windowText)
    readonly property color secondaryLabel: readable(Contrast.over(withAlpha(palette.windowText, 0.6), window))
    readonly property color accent: readable(highlight, accentTint)
    readonly property color orange: readable(systemOrange)
    readonly property color red: readable(systemRed, redTint)
    readonly property color green: readable(systemGreen, greenTint)
    readonly property color blue: readable(systemBlue, tint(systemBlue))
    readonly property color purple: readable(systemPurple, tint(systemPurple))

    // Fills behind white text: the primary buttons, and the process button while it cancels.
    readonly property color accentFill: Contrast.readable(highlight, ["white"], 4.5)
    readonly property color orangeFill: Contrast.readable(systemOrange, ["white"], 4.5)

    // Lines: a separator only divides; a control's border and the focus ring show where a
    // control is and which one has the keyboard.
    readonly property color separator: withAlpha(label, 0.2)
    readonly property color controlBorder: Contrast.readable(Contrast.over(withAlpha(palette.windowText, 0.35), window), surfaces, 3)
    readonly property color focusRing: Contrast.readable(highlight, surfaces, 3)

    function withAlpha(c, a) { return Qt.rgba(c.r, c.g, c.b, a) }
    function tint(c) { return Contrast.over(withAlpha(c, 0.15), ultraThinMaterial) }
    function readable(c, ownTint) {
        return Contrast.readable(c, ownTint === undefined ? surfaces : surfaces.concat([ownTint]), 4.5)
    }
}
