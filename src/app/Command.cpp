// SPDX-License-Identifier: MIT
#include "app/Command.h"

#include "app/ApplicationService.h"
#include "app/Startup.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QFile>
#include <QVariantMap>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace lexwick {

namespace {

// A model may take minutes, and an application started by activation needs a moment more;
// D-Bus's own 25 seconds would give up on both.
constexpr int callTimeoutMs = 15 * 60 * 1000;

const char* const usageLine =
    "Usage: lexwick [correct | paraphrase | explain] [--paste | --no-paste]\n";

void write(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

QString help()
{
    return QString::fromUtf8(usageLine) + QStringLiteral(R"(
Without an argument, starts Lexwick, or opens the popover of the Lexwick that runs.

  correct      corrects the selected text
  paraphrase   paraphrases the selected text in a formal tone
  explain      explains the selected text

The result goes to the clipboard and, where the desktop allows it, replaces the
selection in its window (the setting "After a shortcut" says whether it does);
a notification says which. With text on standard input, that text is processed
instead and the result is written to standard output (nothing goes to the
clipboard or to a window), so the command can serve as a filter for editors and
scripts.

  --paste      replaces the selection this time, whatever the setting says
  --no-paste   only puts the result on the clipboard this time
  --help       shows this help
  --version    shows the version

Exit status: 0 when the text was processed; 1 when it was not (the reason is
written to standard error); 2 for an unknown argument.
)");
}

// Text comes from a pipe or a file. A terminal, the /dev/null that launchers of keyboard
// shortcuts give their commands, or a session manager's socket means the selection.
bool hasInput()
{
    struct stat info {};
    if (fstat(STDIN_FILENO, &info) != 0)
        return false;
    return S_ISFIFO(info.st_mode) || S_ISREG(info.st_mode);
}

QString readInput()
{
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(in.readAll());
}

// Writes the pieces of the answer to standard output as the model writes them.
class WrittenPrinter : public QObject {
    Q_OBJECT

public:
    const QString& printed() const { return m_printed; }

public Q_SLOTS:
    void print(const QString& piece)
    {
        m_printed += piece;
        write(stdout, piece);
    }

private:
    QString m_printed;
};

// What users read when the call failed: Lexwick's own message, or why it could not be asked.
QString callError(const QDBusMessage& reply)
{
    const QString name = reply.errorName();
    if (name == ApplicationService::errorName)
        return reply.errorMessage();
    // The bus started Lexwick for the call, and it ended at once: it exits with 1 when there is
    // no display to show its popover on (its log says more). The bus's own words ("Process
    // io.github.lexwick.Lexwick exited with status 1") would tell users nothing.
    if (name == u"org.freedesktop.DBus.Error.Spawn.ChildExited") {
        if (reply.errorMessage().endsWith(u" status 1"))
            return QStringLiteral("Lexwick cannot start here: no display");
        return QStringLiteral("Lexwick could not start: it ended at once (see its log)");
    }
    if (name == u"org.freedesktop.DBus.Error.Spawn.ChildSignaled")
        return QStringLiteral("Lexwick could not start: it crashed at once (see its log)");
    if (name.startsWith(u"org.freedesktop.DBus.Error.Spawn."))
        return QStringLiteral("Lexwick could not be started: ") + reply.errorMessage();
    return QStringLiteral("cannot reach Lexwick: ") + reply.errorMessage();
}

int call(TextAction action, std::optional<bool> paste)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        write(stderr, QStringLiteral("lexwick: no session bus: ") + bus.lastError().message() +
                          QStringLiteral("\n"));
        return 1;
    }

    const bool filter = hasInput();
    QDBusMessage request;
    QString input;
    if (filter) {
        input = readInput();
        request = QDBusMessage::createMethodCall(
            ApplicationService::serviceName, ApplicationService::objectPath,
            ApplicationService::servicesInterface, QStringLiteral("ProcessText"));
        request << commandName(action) << input;
    } else {
        request = QDBusMessage::createMethodCall(
            ApplicationService::serviceName, ApplicationService::objectPath,
            ApplicationService::servicesInterface, QStringLiteral("ProcessSelection"));
        // Where the popover opens to read the selection (Wayland), the launcher's token lets it
        // take the focus.
        QVariantMap options = takeActivationData();
        if (paste)
            options.insert(QStringLiteral("paste"), *paste);
        request << commandName(action) << options;
    }

    // The filter prints the answer as it is written; the reply completes it.
    WrittenPrinter printer;
    if (filter) {
        bus.connect(ApplicationService::serviceName, ApplicationService::objectPath,
                    ApplicationService::servicesInterface, QStringLiteral("Written"), &printer,
                    SLOT(print(QString)));
    }
    QDBusPendingCallWatcher pending(bus.asyncCall(request, callTimeoutMs));
    QEventLoop loop;
    QObject::connect(&pending, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    if (!pending.isFinished())
        loop.exec();
    const QDBusMessage reply = pending.reply();
    if (reply.type() == QDBusMessage::ErrorMessage) {
        write(stderr, QStringLiteral("lexwick: ") + callError(reply) + QStringLiteral("\n"));
        return 1;
    }
    if (filter) {
        const QString result = reply.arguments().value(0).toString();
        // What was printed is where the result begins; should it ever not be, the result
        // follows whole on a line of its own.
        const QString& printed = printer.printed();
        QString rest = result.startsWith(printed) ? result.sliced(printed.size()) : u'\n' + result;
        // A filter keeps the shape of its input: a text that ended a line still does.
        if (input.endsWith(u'\n') && !result.endsWith(u'\n'))
            rest += u'\n';
        write(stdout, rest);
    }
    return 0;
}

} // namespace

std::optional<int> runCommand(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return std::nullopt;
    if (arguments == QStringList{QStringLiteral("--help")}) {
        write(stdout, help());
        return 0;
    }
    if (arguments == QStringList{QStringLiteral("--version")}) {
        write(stdout, QStringLiteral("lexwick ") + QCoreApplication::applicationVersion() +
                          QStringLiteral("\n"));
        return 0;
    }
    // One action, and at most one of the paste options, in either order.
    std::optional<TextAction> action;
    std::optional<bool> paste;
    bool valid = arguments.size() <= 2;
    for (const QString& argument : arguments) {
        if ((argument == u"--paste" || argument == u"--no-paste") && !paste)
            paste = argument == u"--paste";
        else if (const auto named = textActionFromCommandName(argument); named && !action)
            action = named;
        else
            valid = false;
    }
    if (valid && action)
        return call(*action, paste);
    write(stderr, QString::fromUtf8(usageLine) +
                      QStringLiteral("Try 'lexwick --help' for more information.\n"));
    return 2;
}

} // namespace lexwick

#include "Command.moc"
