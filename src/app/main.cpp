// SPDX-License-Identifier: MIT
#include "app/AppDelegate.h"
#include "app/ApplicationService.h"
#include "app/Command.h"
#include "app/QtSetting.h"
#include "app/Startup.h"
#include "core/Log.h"
#include "core/TextAction.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QMetaType>

#include <cstdio>

#include <optional>

namespace {

// Asks the instance that holds the name to open its popover, with our launch's token, which
// lets its window take the focus.
bool activateRunningInstance(QDBusConnection& bus, const QVariantMap& activation)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        lexwick::ApplicationService::serviceName, lexwick::ApplicationService::objectPath,
        QStringLiteral("org.freedesktop.Application"), QStringLiteral("Activate"));
    call << activation;
    return bus.call(call).type() == QDBusMessage::ReplyMessage;
}

} // namespace

int main(int argc, char** argv)
{
    // Qt's registry of the types it registers at run time is made on first use, and goes at
    // exit in the reverse order of making. Made by the session bus's start, it went before the
    // bus's thread stopped, and a message that thread read in between was reported on standard
    // error ("invalid type"). Made first, it goes last. (Qt Quick's libraries, linked before,
    // happened to make it at load time.)
    QMetaType::fromType<lexwick::TextAction>().id();
    lexwick::installLogHandler();

    // With an argument this is the command, which needs neither a display nor a window.
    if (argc > 1) {
        QCoreApplication command(argc, argv);
        QCoreApplication::setApplicationVersion(QStringLiteral(LEXWICK_VERSION));
        return lexwick::runCommand(QCoreApplication::arguments().mid(1)).value_or(2);
    }

    // Without a display QApplication would abort; the user learns why, and the exit status
    // tells a service manager (or the bus that started us) that it was no crash.
    if (const std::optional<QString> problem = lexwick::displayProblem()) {
        const QByteArray line = lexwick::formatLogLine(
            QtCriticalMsg, nullptr, QStringLiteral("lexwick: cannot open a display: ") + *problem,
            lexwick::standardErrorIsJournal());
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        return 1;
    }
    lexwick::logLine(lexwick::lcApp, QStringLiteral("main – starting"));
    // Qt would take the launch's token for the first window it maps, which may be a menu; it
    // goes to the popover instead, ours or the running instance's.
    const QVariantMap activation = lexwick::takeActivationData();
    // The popover's frames are small and seldom (a cursor's blink). Sent through shared memory,
    // each one made Qt wait for a round trip to the X server before drawing over a region the
    // server might still be reading: two more wakeups a frame. Copied over the socket instead,
    // none. Read when the connection to the display opens.
    std::optional<lexwick::ScopedQtSetting> noSharedMemory(std::in_place, "QT_XCB_NO_MITSHM", "1");
    QApplication app(argc, argv);
    noSharedMemory.reset();
    QApplication::setApplicationName(QStringLiteral("Lexwick"));
    QApplication::setApplicationVersion(QStringLiteral(LEXWICK_VERSION));
    QGuiApplication::setDesktopFileName(lexwick::ApplicationService::serviceName);
    QApplication::setQuitOnLastWindowClosed(false);

    lexwick::AppDelegate delegate;
    QDBusConnection bus = QDBusConnection::sessionBus();
    lexwick::ApplicationService service(bus, delegate.servicesPlatform());
    delegate.setApplicationService(&service);

    // One instance per session: the object first, then the name; a taken name means another
    // instance runs, which opens its popover instead.
    if (bus.isConnected()) {
        bus.registerObject(lexwick::ApplicationService::objectPath, &service,
                           QDBusConnection::ExportAdaptors);
        if (!bus.registerService(lexwick::ApplicationService::serviceName)) {
            activateRunningInstance(bus, activation);
            return 0;
        }
    }
    // A launcher that waits for our window (startup notification) started us: it gets the
    // popover, as when the desktop starts us through the bus and then calls Activate. At login
    // (no token) we stay in the tray.
    if (const QString token = lexwick::activationToken(activation); !token.isEmpty())
        delegate.activate(token);

    QMetaObject::invokeMethod(&delegate, &lexwick::AppDelegate::launch, Qt::QueuedConnection);
    return QApplication::exec();
}
