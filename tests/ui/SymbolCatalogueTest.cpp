// SPDX-License-Identifier: MIT
#include "ui/SymbolCatalogue.h"
#include "core/TextAction.h"
#include "safety/InputValidator.h"
#include "settings/AIProviderMode.h"
#include "support/TestMain.h"
#include "ui/CharacterCounterView.h"
#include "ui/OnboardingView.h"

#include <QDirIterator>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QMetaEnum>
#include <QPainterPath>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRawFont>
#include <QRegularExpression>
#include <QSet>
#include <QtQml/qqmlextensionplugin.h>

#include <memory>

Q_IMPORT_QML_PLUGIN(LexwickPlugin)

using namespace lexwick;
using namespace Qt::StringLiterals;

namespace {

// The symbols the screens spell out: the quoted names on the lines of their QML that set a
// SymbolIcon's `name` or pass a `symbol` on.
QStringList screenSymbols()
{
    static const QRegularExpression setting(uR"re(\b(?:name|symbol)\s*:(.*))re"_s);
    static const QRegularExpression quoted(uR"re("([a-z0-9]+(?:\.[a-z0-9]+)*)")re"_s);
    QStringList names;
    QDirIterator files(u":/qt/qml/Lexwick"_s, {u"*.qml"_s}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
            const QRegularExpressionMatch match = setting.match(line);
            for (const auto& name : quoted.globalMatch(match.captured(1)))
                names << name.captured(1);
        }
    }
    return names;
}

template <typename Enum, std::size_t N> QStringList iconsOf(const std::array<Enum, N>& all)
{
    QStringList names;
    for (Enum value : all)
        names.append(icon(value));
    return names;
}

QStringList counterSymbols()
{
    QStringList names;
    const QMetaEnum states = QMetaEnum::fromType<CharacterState>();
    for (int i = 0; i < states.keyCount(); ++i) {
        const QString symbol =
            CharacterCounterView::symbol(static_cast<CharacterState>(states.value(i)));
        if (!symbol.isEmpty())
            names.append(symbol);
    }
    return names;
}

// True when the names draw as as many different glyphs as there are names.
bool allDistinct(const QStringList& names)
{
    QSet<char32_t> points;
    for (const QString& name : names)
        points.insert(SymbolCatalogue::codePoint(name).value_or(0));
    return points.size() == names.size() && !points.contains(0);
}

struct Rendered {
    QImage image;
    qreal implicitWidth = 0;
    QString family;
};

// One SymbolIcon, black on white, grabbed from an offscreen window.
Rendered render(const QString& name)
{
    QQmlEngine engine;
    // Qt 6.4 does not look for compiled-in modules there by itself.
    engine.addImportPath(u"qrc:/qt/qml"_s);
    QQmlComponent component(&engine);
    component.setData(
        u"import QtQuick\nimport Lexwick\n"
        u"SymbolIcon { x: 4; y: 4; size: 40; color: \"black\"; name: \"%1\" }\n"_s.arg(name)
            .toUtf8(),
        QUrl(u"file:///SymbolIconTest.qml"_s));
    std::unique_ptr<QObject> object(component.create());
    auto* item = qobject_cast<QQuickItem*>(object.get());
    if (!item) {
        qWarning().noquote() << component.errorString();
        return {};
    }
    QQuickWindow window;
    window.setColor(Qt::white);
    window.resize(48, 48);
    item->setParentItem(window.contentItem());
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return {};
    return {window.grabWindow(), item->implicitWidth(),
            item->property("font").value<QFont>().family()};
}

int inkedPixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128)
                ++count;
        }
    }
    return count;
}

} // namespace

class SymbolCatalogueTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    // Every symbol the screens and the lower layers name has a glyph.
    void everyNamedSymbolHasAGlyph()
    {
        QStringList named = screenSymbols();
        QVERIFY(named.size() > 20); // the scan finds the screens' files
        for (const OnboardingPage& page : OnboardingView::pages())
            named << page.icon;
        named << u"eye.fill"_s << u"eye.slash.fill"_s << u"arrow.right"_s << u"chevron.right"_s;
        named << iconsOf(allTextActions) << iconsOf(allToneOptions) << iconsOf(allProviderModes)
              << counterSymbols();
        for (const QString& name : std::as_const(named)) {
            if (!SymbolCatalogue::codePoint(name))
                QFAIL(qPrintable(u"no glyph for \"%1\""_s.arg(name)));
        }
        QVERIFY(!SymbolCatalogue::codePoint(u"no.such.symbol"));
        QVERIFY(!SymbolCatalogue::codePoint(u""));
        // A prefix of a known name is not that name.
        QVERIFY(!SymbolCatalogue::codePoint(u"checkmark.circle.fil"));
    }

    // Symbols that sit side by side, or that replace each other to show a change, must look
    // different.
    void symbolsThatTellThingsApartDiffer()
    {
        QVERIFY(allDistinct(iconsOf(allTextActions)));
        QVERIFY(allDistinct(iconsOf(allToneOptions)));
        QVERIFY(allDistinct(iconsOf(allProviderModes)));
        QVERIFY(allDistinct(counterSymbols()));
        QVERIFY(allDistinct({u"eye.fill"_s, u"eye.slash.fill"_s}));
        QVERIFY(allDistinct({u"doc.on.doc"_s, u"checkmark"_s}));
        QVERIFY(allDistinct({u"checkmark.circle"_s, u"checkmark.circle.fill"_s}));
        QVERIFY(allDistinct({u"info.circle"_s, u"info.circle.fill"_s}));
    }

    // Every code point of the catalogue is a drawn glyph of the font compiled into the library.
    void everyGlyphIsInTheEmbeddedFont()
    {
        QFile file(SymbolCatalogue::fontResource());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QRawFont font(file.readAll(), 24);
        QVERIFY(font.isValid());
        const QStringList names = SymbolCatalogue::names();
        QCOMPARE(names.size(), QSet<QString>(names.begin(), names.end()).size());
        for (const QString& name : names) {
            const char32_t point = *SymbolCatalogue::codePoint(name);
            QVERIFY2(font.supportsCharacter(point), qPrintable(name));
            const QList<quint32> glyphs = font.glyphIndexesForString(QString::fromUcs4(&point, 1));
            QVERIFY2(glyphs.size() == 1 && !font.pathForGlyph(glyphs.first()).isEmpty(),
                     qPrintable(name));
        }
        QVERIFY(!SymbolCatalogue::fontFamily().isEmpty());
    }

    // A known name draws its own glyph (not a missing-glyph box, which looks the same for every
    // name); an unknown one draws nothing, takes no space and warns about nothing.
    void symbolIconDrawsKnownNamesOnly()
    {
        const Rendered gear = render(u"gearshape.fill"_s);
        const Rendered check = render(u"checkmark"_s);
        const Rendered unknown = render(u"no.such.symbol"_s);
        QVERIFY(!gear.image.isNull() && !check.image.isNull() && !unknown.image.isNull());
        QVERIFY(inkedPixels(gear.image) > 100);
        QVERIFY(inkedPixels(check.image) > 30);
        QVERIFY(gear.image != check.image);
        // Drawn with the embedded font, not with whatever icon font the system may have.
        QCOMPARE(gear.family, SymbolCatalogue::fontFamily());
        QCOMPARE(inkedPixels(unknown.image), 0);
        QCOMPARE(unknown.implicitWidth, 0.0);
    }

    // The tray's fallback icon is compiled in and loads as an icon (the SVG plugin is present).
    void trayIconLoads()
    {
        const QIcon icon(u":/icons/io.github.lexwick.Lexwick.svg"_s);
        for (int size : {16, 22, 24}) {
            const QImage image = icon.pixmap(size, size).toImage();
            QVERIFY2(!image.isNull(), qPrintable(QString::number(size)));
            int opaque = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x)
                    opaque += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
            }
            // A bubble covers a good part of its square but not all of it.
            QVERIFY(opaque > size * size / 4 && opaque < size * size * 3 / 4);
        }
    }
};

LEXWICK_GUI_TEST(SymbolCatalogueTest)
#include "SymbolCatalogueTest.moc"
