// SPDX-License-Identifier: MIT
import QtQuick
import Lexwick

// One system symbol by name, drawn as a glyph of the embedded icon font. A name the catalogue
// does not know draws nothing and takes no space. `color` is the text's own colour.
Text {
    property string name
    property real size: 16

    text: Symbols.glyph(name)
    font.family: Symbols.fontFamily
    font.pixelSize: size
    horizontalAlignment: Text.AlignHCenter
    verticalAlignment: Text.AlignVCenter
    // The glyphs fill their em square: a line as tall as the size keeps icons centred in rows.
    lineHeightMode: Text.FixedHeight
    lineHeight: size
    // Decorative: the control that holds an icon carries the accessible name.
    Accessible.ignored: true
}
