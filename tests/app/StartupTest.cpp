// SPDX-License-Identifier: MIT
#include "app/Startup.h"
#include "support/TestMain.h"

#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace lexwick;
using namespace Qt::StringLiterals;

namespace {

const QString lexwickBinary = QStringLiteral(LEXWICK_BINARY);

// Sets the variables for the object's life (an empty value unsets), and puts back the old.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(const QList<std::pair<const char*, QByteArray>>& values)
    {
        for (const auto& [name, value] : values) {
            m_saved.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
            if (value.isEmpty())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }
    ScopedEnvironment(const char* name, const QByteArray& value)
        : ScopedEnvironment(QList<std::pair<const char*, QByteArray>>{{name, value}})
    {
    }
    ~ScopedEnvironment()
    {
        for (const Saved& saved : m_saved) {
            if (saved.set)
                qputenv(saved.name, saved.value);
            else
                qunsetenv(saved.name);
        }
    }

private:
    struct Saved {
        const char* name;
        QByteArray value;
        bool set;
    };
    QList<Saved> m_saved;
};

struct Run {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QString err;
};

// Starts `lexwick` with nothing of this process's environment but what is given.
Run runLexwick(const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(lexwickBinary, {});
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
    }
    return {process.exitCode(), process.exitStatus(),
            QString::fromUtf8(process.readAllStandardError())};
}

QByteArray journalStream(const QString& file)
{
    struct stat info {};
    if (stat(QFile::encodeName(file).constData(), &info) != 0)
        return {};
    return QByteArray::number(qulonglong(info.st_dev)) + ':' +
           QByteArray::number(qulonglong(info.st_ino));
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Which display the platform would use, and whether it answers: a socket that listens
    // counts, one that is gone or a variable that is not set does not, and a platform without
    // a display server is never refused.
    void theDisplayIsTriedBeforeQtAborts()
    {
        QTemporaryDir dir;
        QLocalServer compositor;
        QVERIFY(compositor.listen(dir.filePath(u"wayland-test"_s)));
        const QByteArray socket = QFile::encodeName(compositor.fullServerName());

        {
            ScopedEnvironment none({{"QT_QPA_PLATFORM", {}},
                                    {"DISPLAY", {}},
                                    {"WAYLAND_DISPLAY", {}},
                                    {"WAYLAND_SOCKET", {}}});
            QCOMPARE(displayProblem(), u"DISPLAY and WAYLAND_DISPLAY are not set"_s);
            // Asked for by name, offscreen needs nothing; X11 still needs its display.
            ScopedEnvironment offscreen("QT_QPA_PLATFORM", "offscreen");
            QCOMPARE(displayProblem(), std::nullopt);
            ScopedEnvironment x11("QT_QPA_PLATFORM", "xcb");
            QCOMPARE(displayProblem(), u"DISPLAY and WAYLAND_DISPLAY are not set"_s);
        }
        {
            ScopedEnvironment wayland({{"QT_QPA_PLATFORM", "wayland"},
                                       {"DISPLAY", {}},
                                       {"WAYLAND_DISPLAY", socket},
                                       {"WAYLAND_SOCKET", {}}});
            QCOMPARE(displayProblem(), std::nullopt);
            // A relative name is looked for in the runtime folder.
            ScopedEnvironment relative(
                {{"WAYLAND_DISPLAY", "wayland-test"}, {"XDG_RUNTIME_DIR", dir.path().toUtf8()}});
            QCOMPARE(displayProblem(), std::nullopt);
            ScopedEnvironment gone("WAYLAND_DISPLAY", "wayland-gone");
            QCOMPARE(displayProblem(),
                     u"no answer from Wayland display wayland-gone"_s);
            // A list of platforms: any one that answers will do.
            ScopedEnvironment list({{"QT_QPA_PLATFORM", "wayland;xcb"},
                                    {"DISPLAY", ":97"},
                                    {"WAYLAND_DISPLAY", socket}});
            QCOMPARE(displayProblem(), std::nullopt);
            ScopedEnvironment neither("WAYLAND_DISPLAY", "wayland-gone");
            QCOMPARE(displayProblem(),
                     u"no answer from X display :97 or Wayland display wayland-gone"_s);
        }
    }

    // Without a display the application says so on one line and ends with 1, where Qt would
    // abort; with the journal as its standard error, the line is an error there.
    void noDisplayIsOneLineAndExitOne()
    {
        QTemporaryDir dir;
        QProcessEnvironment bare;
        bare.insert(u"XDG_RUNTIME_DIR"_s, dir.path());
        Run run = runLexwick(bare);
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err,
                 u"lexwick: cannot open a display: DISPLAY and WAYLAND_DISPLAY are not set\n"_s);

        QProcessEnvironment dead = bare;
        dead.insert(u"DISPLAY"_s, u":97"_s);
        QVERIFY(!QFile::exists(u"/tmp/.X11-unix/X97"_s));
        run = runLexwick(dead);
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, u"lexwick: cannot open a display: no answer from X display :97\n"_s);

        QProcess journaled;
        const QString errFile = dir.filePath(u"stderr"_s);
        QFile(errFile).open(QIODevice::WriteOnly);
        bare.insert(u"JOURNAL_STREAM"_s, QString::fromLatin1(journalStream(errFile)));
        journaled.setProcessEnvironment(bare);
        journaled.setStandardErrorFile(errFile);
        journaled.start(lexwickBinary, {});
        QVERIFY(journaled.waitForFinished(30000));
        QCOMPARE(journaled.exitCode(), 1);
        QFile written(errFile);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(),
                 "<3>lexwick: cannot open a display: DISPLAY and WAYLAND_DISPLAY are not set\n");
    }

    // A running Lexwick's log in the journal: every line with its priority, the name once.
    void theLogReachesTheJournalWithItsLevels()
    {
        QTemporaryDir dir;
        const QString errFile = dir.filePath(u"stderr"_s);
        QFile(errFile).open(QIODevice::WriteOnly);
        QProcessEnvironment environment;
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        environment.insert(u"XDG_RUNTIME_DIR"_s, dir.path());
        environment.insert(u"HOME"_s, dir.path());
        environment.insert(u"XDG_CONFIG_HOME"_s, dir.filePath(u"config"_s));
        environment.insert(u"XDG_DATA_HOME"_s, dir.filePath(u"data"_s));
        environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, u"unix:path="_s + dir.filePath(u"no"_s));
        environment.insert(u"JOURNAL_STREAM"_s, QString::fromLatin1(journalStream(errFile)));
        QProcess lexwick;
        lexwick.setProcessEnvironment(environment);
        lexwick.setStandardErrorFile(errFile);
        lexwick.start(lexwickBinary, {});
        QFile written(errFile);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT(
            (log += written.readAll()).contains("<6>Lexwick: status bar setup complete\n"), 20000);
        lexwick.terminate();
        lexwick.waitForFinished(10000);

        QVERIFY2(log.startsWith("<6>Lexwick: main – starting\n"), log.constData());
        QVERIFY(log.contains("<6>Lexwick: tray: waiting\n"));
        QVERIFY(log.contains("<6>Lexwick: applicationDidFinishLaunching\n"));
        for (const QByteArray& line : log.split('\n')) {
            if (line.isEmpty())
                continue;
            QVERIFY2(line.size() > 3 && line[0] == '<' && line[2] == '>', line.constData());
            QVERIFY2(!line.contains("lexwick: Lexwick"), line.constData());
        }
    }

    // The launcher's token leaves the environment with the call that hands it on; the Wayland
    // one counts first; and it waits in the environment for the window's request.
    void theActivationTokenIsHandedOn()
    {
        {
            ScopedEnvironment launch(
                {{"XDG_ACTIVATION_TOKEN", "wl-1"}, {"DESKTOP_STARTUP_ID", "x11-1_TIME42"}});
            const QVariantMap data = takeActivationData();
            QCOMPARE(data, (QVariantMap{{u"activation-token"_s, u"wl-1"_s},
                                        {u"desktop-startup-id"_s, u"x11-1_TIME42"_s}}));
            QVERIFY(!qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN"));
            QVERIFY(!qEnvironmentVariableIsSet("DESKTOP_STARTUP_ID"));
            QCOMPARE(activationToken(data), u"wl-1"_s);
            QCOMPARE(activationToken({{u"desktop-startup-id"_s, u"x11-1_TIME42"_s}}),
                     u"x11-1_TIME42"_s);
            QCOMPARE(takeActivationData(), QVariantMap());
            QCOMPARE(activationToken({}), QString());
        }
        ScopedEnvironment clean("XDG_ACTIVATION_TOKEN", QByteArray());
        applyActivationToken(QString());
        QVERIFY(!qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN"));
        applyActivationToken(u"wl-2"_s);
        QCOMPARE(qgetenv("XDG_ACTIVATION_TOKEN"), "wl-2");
    }
};

LEXWICK_GUI_TEST(StartupTest)
#include "StartupTest.moc"
