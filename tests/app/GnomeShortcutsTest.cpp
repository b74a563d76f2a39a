// SPDX-License-Identifier: MIT
#include "app/GnomeShortcuts.h"
#include "support/RunTask.h"
#include "support/TestMain.h"
#include "ui/ShortcutsView.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace lexwick;
using namespace lexwick::test;
using namespace Qt::StringLiterals;

namespace {

const QString mediaKeys = u"org.gnome.settings-daemon.plugins.media-keys"_s;
const QString keybinding = mediaKeys + u".custom-keybinding:"_s;
const QString usersOwn =
    u"/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/"_s;

// The two GNOME schemas we write, as GNOME declares their keys, compiled into a folder of the
// test's; the settings themselves go to a key file there too.
struct GnomeSettings {
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

    QTemporaryDir dir;
    bool compiled = false;
};

QString gsettings(const QStringList& arguments)
{
    QProcess process;
    process.start(u"gsettings"_s, arguments);
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace

class GnomeShortcutsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void addedToTheUsersOwn()
    {
        GnomeSettings gnome;
        QVERIFY(gnome.compiled);
        gsettings({u"set"_s, mediaKeys, u"custom-keybindings"_s, u"['"_s + usersOwn + u"']"_s});
        gsettings({u"set"_s, keybinding + usersOwn, u"name"_s, u"'Terminal'"_s});
        const QStringList list{u"get"_s, mediaKeys, u"custom-keybindings"_s};

        GnomeShortcuts shortcuts;
        ShortcutsView view(ShortcutsView::Desktop::gnome, &shortcuts);
        QVERIFY(view.canSetUp());
        QCOMPARE(runTask(view.setUpShortcuts()), true);
        const QStringList expected{usersOwn, GnomeShortcuts::path(TextAction::correct),
                                   GnomeShortcuts::path(TextAction::paraphrase),
                                   GnomeShortcuts::path(TextAction::explain)};
        QCOMPARE(GnomeShortcuts::parseStringList(gsettings(list)), expected);
        QCOMPARE(gsettings({u"get"_s, keybinding + usersOwn, u"name"_s}), u"'Terminal'"_s);
        const QString paraphrase = keybinding + GnomeShortcuts::path(TextAction::paraphrase);
        QCOMPARE(gsettings({u"get"_s, paraphrase, u"command"_s}), u"'lexwick paraphrase'"_s);
        QCOMPARE(gsettings({u"get"_s, paraphrase, u"binding"_s}), u"'<Control><Alt><Shift>p'"_s);
        QCOMPARE(view.status(), u"The shortcuts are set up."_s);
        QVERIFY(view.canSetUp());

        // Once more: nothing is added twice.
        QCOMPARE(runTask(view.setUpShortcuts()), true);
        QCOMPARE(GnomeShortcuts::parseStringList(gsettings(list)), expected);
    }

    void aFailureIsShown()
    {
        GnomeSettings gnome;
        GnomeShortcuts notInstalled(gnome.dir.filePath(u"none"_s));
        ShortcutsView missing(ShortcutsView::Desktop::gnome, &notInstalled);
        QCOMPARE(runTask(missing.setUpShortcuts()), false);
        QVERIFY(missing.status().startsWith(u"Could not set up the shortcuts"_s));
        QVERIFY(!missing.isSettingUp());

        // A schema the system does not have: only an unrelated one is seen (GNOME Shell's
        // packages install the real one, so the system's folders are left out).
        const QString other = gnome.dir.filePath(u"other"_s);
        QDir().mkpath(other);
        QFile schema(other + u"/other.gschema.xml"_s);
        QVERIFY(schema.open(QIODevice::WriteOnly));
        schema.write(R"(<schemalist><schema id="io.github.lexwick.Unrelated" path="/unrelated/">
  <key name="name" type="s"><default>''</default></key></schema></schemalist>)");
        schema.close();
        QCOMPARE(QProcess::execute(u"glib-compile-schemas"_s, {other}), 0);
        qputenv("GSETTINGS_SCHEMA_DIR", other.toUtf8());
        qputenv("XDG_DATA_DIRS", gnome.dir.path().toUtf8());
        qputenv("XDG_DATA_HOME", gnome.dir.path().toUtf8());
        GnomeShortcuts shortcuts;
        ShortcutsView view(ShortcutsView::Desktop::gnome, &shortcuts);
        QCOMPARE(runTask(view.setUpShortcuts()), false);
        QVERIFY2(view.status().contains(u"media-keys"_s), qPrintable(view.status()));
    }

    void gvariantStringLists()
    {
        using G = GnomeShortcuts;
        QCOMPARE(G::parseStringList(u"['a', \"b\", 'it\\'s']"_s),
                 (QStringList{u"a"_s, u"b"_s, u"it's"_s}));
        QCOMPARE(G::parseStringList(u"['a' 'b']"_s), std::nullopt);
        QCOMPARE(G::parseStringList(u"['a"_s), std::nullopt);
        QCOMPARE(G::parseStringList(u"nothing"_s), std::nullopt);
        const QStringList odd{u"it's"_s, u"back\\slash"_s};
        QCOMPARE(G::parseStringList(G::stringListText(odd)), odd);
        QCOMPARE(G::parseStringList(G::stringListText({})), QStringList());
    }
};

LEXWICK_TEST(GnomeShortcutsTest)
#include "GnomeShortcutsTest.moc"
