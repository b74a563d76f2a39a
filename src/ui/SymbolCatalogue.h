// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QtQml/qqmlregistration.h>

#include <optional>

namespace lexwick {

// The system symbol names the screens use, drawn with glyphs of the Material Icons font.
namespace SymbolCatalogue {

// The font's code point for a symbol name; nothing for a name the catalogue does not know.
std::optional<char32_t> codePoint(QStringView name);
// Every name the catalogue knows, in alphabetical order.
QStringList names();

// The embedded font file, as a Qt resource path.
QString fontResource();
// The family of the embedded font, registered with the application on first use; empty when
// the font could not be loaded.
QString fontFamily();

} // namespace SymbolCatalogue

// The catalogue as QML sees it: `Symbols.glyph("gearshape.fill")` in a text in
// `Symbols.fontFamily`.
class Symbols : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString fontFamily READ fontFamily CONSTANT)

public:
    explicit Symbols(QObject* parent = nullptr);

    QString fontFamily() const;
    // The glyph for a symbol name, or an empty string for a name the catalogue does not know.
    Q_INVOKABLE QString glyph(const QString& name) const;
};

} // namespace lexwick
