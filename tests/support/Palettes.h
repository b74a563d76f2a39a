// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QPalette>

namespace lexwick::test {

// A desktop's light palette (Breeze's colours).
inline QPalette lightPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0xef, 0xf0, 0xf1));
    p.setColor(QPalette::WindowText, QColor(0x23, 0x26, 0x29));
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::Text, QColor(0x23, 0x26, 0x29));
    p.setColor(QPalette::Button, QColor(0xfc, 0xfc, 0xfc));
    p.setColor(QPalette::ButtonText, QColor(0x23, 0x26, 0x29));
    p.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(0x80, 0x80, 0x80));
    return p;
}

// A desktop's dark palette.
inline QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x2b, 0x2d, 0x30));
    p.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    p.setColor(QPalette::Base, QColor(0x1e, 0x1f, 0x22));
    p.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    p.setColor(QPalette::Button, QColor(0x3c, 0x3f, 0x41));
    p.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    p.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(0x90, 0x90, 0x90));
    return p;
}

} // namespace lexwick::test
