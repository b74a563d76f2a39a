// SPDX-License-Identifier: MIT
#include "support/Palettes.h"
#include "support/TestMain.h"
#include "ui/Contrast.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QtQml/qqmlextensionplugin.h>

#include <memory>

Q_IMPORT_QML_PLUGIN(LexwickPlugin)

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

namespace {

QPalette palette(QColor window, QColor text, QColor highlight)
{
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Highlight, highlight);
    return p;
}

// The theme's colours as the screens read them, under the palette the desktop hands over.
struct Theme {
    QQmlEngine engine;
    std::unique_ptr<QObject> holder;
    QObject* theme = nullptr;

    explicit Theme(const QPalette& palette)
    {
        QGuiApplication::setPalette(palette);
        engine.addImportPath(u"qrc:/qt/qml"_s);
        QQmlComponent component(&engine);
        component.setData("import QtQuick\nimport Lexwick\nQtObject { property var theme: Theme }",
                          QUrl());
        holder.reset(component.create());
        if (holder)
            theme = holder->property("theme").value<QObject*>();
        else
            qWarning() << component.errors();
    }
    QColor operator[](const char* name) const { return theme->property(name).value<QColor>(); }
};

// "secondaryLabel on ultraThinMaterial: 3.9 < 4.5"
QString shortfall(const char* fg, const char* bg, double ratio, double minimum)
{
    return u"%1 on %2: %3 < %4"_s.arg(QLatin1StringView(fg), QLatin1StringView(bg))
        .arg(ratio, 0, 'f', 2)
        .arg(minimum);
}

} // namespace

class ThemeContrastTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theRatioIsWcags()
    {
        QCOMPARE(Contrast::ratio(Qt::black, Qt::white), 21.0);
        QCOMPARE(Contrast::ratio(Qt::white, Qt::black), 21.0);
        QCOMPARE(Contrast::ratio(QColor(u"#3daee9"_s), QColor(u"#3daee9"_s)), 1.0);
        // Known values: #767676 is the lightest grey with 4.5:1 on white.
        QVERIFY(Contrast::ratio(QColor(u"#767676"_s), Qt::white) >= 4.5);
        QVERIFY(Contrast::ratio(QColor(u"#777777"_s), Qt::white) < 4.5);
        QVERIFY(qAbs(Contrast::ratio(Qt::white, QColor(u"#3daee9"_s)) - 2.5) < 0.1);
        QCOMPARE(Contrast::over(QColor(0, 0, 0, 0), Qt::white), QColor(Qt::white));
        QCOMPARE(Contrast::over(QColor(0, 0, 0, 255), Qt::white), QColor(Qt::black));
    }

    // A colour is changed only as far as it must be: one that reaches the contrast is kept,
    // one that does not is darkened (or lightened) to just past the minimum, keeping its hue.
    void readableChangesAColourNoMoreThanNeeded()
    {
        const QColor navy(u"#1a237e"_s);
        QCOMPARE(Contrast::readable(navy, {Qt::white}, 4.5), navy);
        const QColor sky(u"#3daee9"_s);
        const QColor darker = Contrast::readable(sky, {Qt::white}, 4.5);
        QVERIFY(Contrast::ratio(darker, Qt::white) >= 4.5);
        QVERIFY(Contrast::ratio(darker, Qt::white) < 4.6);
        QVERIFY(qAbs(darker.hslHueF() - sky.hslHueF()) < 0.02);
        const QColor lighter = Contrast::readable(QColor(u"#0000aa"_s), {Qt::black}, 4.5);
        QVERIFY(Contrast::ratio(lighter, Qt::black) >= 4.5);
        // A grey that no shade of the colour can stand out from 7:1.
        QCOMPARE(Contrast::readable(sky, {QColor(u"#808080"_s)}, 7.0), QColor(Qt::black));
    }

    void everyPairReadsInEveryPalette_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << lightPalette();
        QTest::newRow("dark") << darkPalette();
        QTest::newRow("yellow highlight on white")
            << palette(Qt::white, Qt::black, QColor(u"#ffd500"_s));
        QTest::newRow("grey text on grey")
            << palette(QColor(u"#d0d0d0"_s), QColor(u"#606060"_s), QColor(u"#4a90d9"_s));
        QTest::newRow("black with a deep blue highlight")
            << palette(Qt::black, QColor(u"#c0c0c0"_s), QColor(u"#0b2a80"_s));
        QTest::newRow("mid-grey window")
            << palette(QColor(u"#777777"_s), Qt::white, QColor(u"#ff8800"_s));
    }

    // Text 4.5:1 on everything it is drawn on, control borders and the focus ring 3:1; the
    // primary buttons' white label 4.5:1 on their fill; a disabled control's grey text is still
    // readable and dimmer than the enabled label.
    void everyPairReadsInEveryPalette()
    {
        QFETCH(QPalette, palette);
        Theme theme(palette);
        QVERIFY(theme.theme);
        const char* surfaces[] = {"window", "thinMaterial", "ultraThinMaterial"};
        const auto expect = [&](const char* fg, const char* bg, double minimum) {
            const double ratio = Contrast::ratio(theme[fg], theme[bg]);
            QVERIFY2(ratio >= minimum, qPrintable(shortfall(fg, bg, ratio, minimum)));
        };
        for (const char* bg : surfaces) {
            for (const char* text :
                 {"label", "secondaryLabel", "accent", "red", "green", "orange", "blue", "purple"})
                expect(text, bg, 4.5);
            for (const char* line : {"controlBorder", "focusRing", "accent", "red"})
                expect(line, bg, 3.0);
        }
        expect("accent", "accentTint", 4.5);
        expect("red", "redTint", 4.5);
        expect("green", "greenTint", 4.5);
        for (const char* fill : {"accentFill", "orangeFill"}) {
            const double ratio = Contrast::ratio(Qt::white, theme[fill]);
            QVERIFY2(ratio >= 4.5, qPrintable(shortfall("white", fill, ratio, 4.5)));
        }
        QVERIFY(Contrast::ratio(theme["secondaryLabel"], theme["window"]) <=
                Contrast::ratio(theme["label"], theme["window"]));
    }

    // The desktop's colours stay where they already read well.
    void aGoodPaletteIsKept()
    {
        for (const QPalette& palette : {lightPalette(), darkPalette()}) {
            Theme theme(palette);
            QCOMPARE(theme["label"], palette.color(QPalette::WindowText));
        }
        const QColor navy(u"#1a237e"_s);
        Theme theme(palette(Qt::white, Qt::black, navy));
        QCOMPARE(theme["accent"], navy);
        QCOMPARE(theme["accentFill"], navy);
    }
};

LEXWICK_GUI_TEST(ThemeContrastTest)
#include "ThemeContrastTest.moc"
