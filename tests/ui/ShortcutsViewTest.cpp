// SPDX-License-Identifier: MIT
#include "ui/ShortcutsView.h"
#include "support/TestMain.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QRegularExpression>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(LexwickPlugin)

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

class ShortcutsViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void eachDesktopItsWay()
    {
        QCOMPARE(ShortcutsView::desktopNamed(u"ubuntu:GNOME"_s), ShortcutsView::Desktop::gnome);
        QCOMPARE(ShortcutsView::desktopNamed(u"KDE"_s), ShortcutsView::Desktop::kde);
        QCOMPARE(ShortcutsView::desktopNamed(u"XFCE"_s), ShortcutsView::Desktop::other);
        QCOMPARE(ShortcutsView::desktopNamed(QString()), ShortcutsView::Desktop::other);

        QVERIFY(!ShortcutsView(ShortcutsView::Desktop::gnome).showsSetUpButton()); // no installer
        ShortcutsView kde(ShortcutsView::Desktop::kde);
        QVERIFY(kde.explanation().contains(u"System Settings"_s));
        QVERIFY(!kde.showsSetUpButton());
        QVERIFY(!kde.canSetUp());
        ShortcutsView other(ShortcutsView::Desktop::other);
        QVERIFY(!other.showsSetUpButton());
        const QVariantList commands = other.commands();
        QCOMPARE(commands.size(), 3);
        QCOMPARE(commands[1].toMap()[u"command"_s], u"lexwick paraphrase"_s);
        QCOMPARE(commands[1].toMap()[u"shortcut"_s], QString()); // nothing binds it there
        QCOMPARE(kde.commands()[1].toMap()[u"shortcut"_s], u"Ctrl+Alt+Shift+P"_s);
    }

    void theSheetLoads()
    {
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        for (auto desktop : {ShortcutsView::Desktop::gnome, ShortcutsView::Desktop::kde}) {
            ShortcutsView view(desktop);
            QQmlEngine engine;
            engine.addImportPath(u"qrc:/qt/qml"_s);
            QQmlComponent component(&engine);
            component.setData("import Lexwick\nShortcutsSheet {}\n",
                              QUrl(u"file:///ShortcutsSheetTest.qml"_s));
            std::unique_ptr<QObject> sheet(component.createWithInitialProperties(
                {{u"shortcuts"_s, QVariant::fromValue(&view)}}));
            QVERIFY2(sheet, qPrintable(component.errorString()));
            QVERIFY(sheet->property("implicitHeight").toReal() > 100);
        }
    }
};

LEXWICK_GUI_TEST(ShortcutsViewTest)
#include "ShortcutsViewTest.moc"
