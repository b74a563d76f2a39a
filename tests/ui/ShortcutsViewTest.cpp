#include "ui/ShortcutsView.h"
#include "support/RunTask.h"
#include "support/TestMain.h"

#include <QDir>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(LexwickPlugin)

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

namespace {

// The two GNOME schemas the sheet writes, as GNOME declares their keys, compiled into a folder
// of the test's; the settings themselves go to a key file there too.
class GnomeSettings {
public:
    GnomeSettings()
    {
        const QString schemas = dir.filePath(u"schemas"_s);
        QDir().mkpath(schemas);
        QFile file(schemas + u"/media-keys.gschema.xml"_s);
        file.open(QIODevice::WriteOnly);
        file.write(R"(<schemalist>
  <schema id="org.gnome.settings-daemon.plugins.media-keys"
          path="/org/gnome/settings-daemon/plugins/media-keys/">
    <key name="custom-keybindings" type="as"><default>[]</default></key>
  </schema>
  <schema id="org.gnome.settings-daemon.plugins.media-keys.custom-keybinding">
    <key name="name" type="s"><default>''</default></key>
    <key name="command" type="s"><default>''</default></key>
    <key name="binding" type="s"><default>''</default></key>
  </schema>
</schemalist>
)");
        file.close();
        compiled = QProcess::execute(u"glib-compile-schemas"_s, {schemas}) == 0;
        qputenv("GSETTINGS_SCHEMA_DIR", schemas.toUtf8());
        qputenv("GSETTINGS_BACKEND", "keyfile");
        qputenv("XDG_CONFIG_HOME", dir.filePath(u"config"_s).toUtf8());
    }

    static QString get(const QStringList& arguments)
    {
        QProcess process;
        process.start(u"gsettings"_s, QStringList{u"get"_s} + arguments);
        process.waitForFinished();
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

    static void set(const QStringList& arguments)
    {
        QProcess::execute(u"gsettings"_s, QStringList{u"set"_s} + arguments);
    }

    static QStringList list()
    {
        return ShortcutsView::parseStringList(
                   get({u"org.gnome.settings-daemon.plugins.media-keys"_s,
                        u"custom-keybindings"_s}))
            .value_or(QStringList{u"unreadable"_s});
    }

    static QString key(const QString& path, const QString& name)
    {
        return get(
            {u"org.gnome.settings-daemon.plugins.media-keys.custom-keybinding:"_s + path, name});
    }

    QTemporaryDir dir;
    bool compiled = false;
};

const QString usersOwn =
    u"/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/"_s;

} // namespace

class ShortcutsViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void eachDesktopItsWay()
    {
        QCOMPARE(ShortcutsView::desktopNamed(u"ubuntu:GNOME"_s), ShortcutsView::Desktop::gnome);
        QCOMPARE(ShortcutsView::desktopNamed(u"KDE"_s), ShortcutsView::Desktop::kde);
        QCOMPARE(ShortcutsView::desktopNamed(u"XFCE"_s), ShortcutsView::Desktop::other);
        QCOMPARE(ShortcutsView::desktopNamed(QString()), ShortcutsView::Desktop::other);

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

    void gnomeShortcutsAreAddedToTheUsersOwn()
    {
        GnomeSettings gnome;
        QVERIFY(gnome.compiled);
        GnomeSettings::set({u"org.gnome.settings-daemon.plugins.media-keys"_s,
                            u"custom-keybindings"_s, u"['"_s + usersOwn + u"']"_s});
        GnomeSettings::set(
            {u"org.gnome.settings-daemon.plugins.media-keys.custom-keybinding:"_s + usersOwn,
             u"name"_s, u"'Terminal'"_s});

        ShortcutsView view(ShortcutsView::Desktop::gnome);
        QVERIFY(view.canSetUp());
        QCOMPARE(runTask(view.setUpShortcuts()), true);
        const QStringList expected{usersOwn, ShortcutsView::gnomePath(TextAction::correct),
                                   ShortcutsView::gnomePath(TextAction::paraphrase),
                                   ShortcutsView::gnomePath(TextAction::explain)};
        QCOMPARE(GnomeSettings::list(), expected);
        QCOMPARE(GnomeSettings::key(usersOwn, u"name"_s), u"'Terminal'"_s);
        const QString paraphrase = ShortcutsView::gnomePath(TextAction::paraphrase);
        QCOMPARE(GnomeSettings::key(paraphrase, u"command"_s), u"'lexwick paraphrase'"_s);
        QCOMPARE(GnomeSettings::key(paraphrase, u"binding"_s), u"'<Control><Alt><Shift>p'"_s);
        QCOMPARE(view.status(), u"The shortcuts are set up."_s);
        QVERIFY(view.canSetUp());

        // Once more: nothing is added twice.
        QCOMPARE(runTask(view.setUpShortcuts()), true);
        QCOMPARE(GnomeSettings::list(), expected);
    }

    void aFailureIsShown()
    {
        GnomeSettings gnome;
        ShortcutsView missing(ShortcutsView::Desktop::gnome, gnome.dir.filePath(u"none"_s));
        QCOMPARE(runTask(missing.setUpShortcuts()), false);
        QVERIFY(missing.status().startsWith(u"Could not set up the shortcuts"_s));
        QVERIFY(!missing.isSettingUp());

        // A schema the system does not have.
        qputenv("GSETTINGS_SCHEMA_DIR", gnome.dir.path().toUtf8());
        ShortcutsView view(ShortcutsView::Desktop::gnome);
        QCOMPARE(runTask(view.setUpShortcuts()), false);
        QVERIFY(view.status().contains(u"media-keys"_s));
    }

    void gvariantStringLists()
    {
        using V = ShortcutsView;
        QCOMPARE(V::parseStringList(u"@as []"_s), QStringList());
        QCOMPARE(V::parseStringList(u"['a', \"b\", 'it\\'s']"_s),
                 (QStringList{u"a"_s, u"b"_s, u"it's"_s}));
        QCOMPARE(V::parseStringList(u"['a' 'b']"_s), std::nullopt);
        QCOMPARE(V::parseStringList(u"['a"_s), std::nullopt);
        QCOMPARE(V::parseStringList(u"nothing"_s), std::nullopt);
        const QStringList odd{u"it's"_s, u"back\\slash"_s};
        QCOMPARE(V::parseStringList(V::stringListText(odd)), odd);
        QCOMPARE(V::parseStringList(V::stringListText({})), QStringList());
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
