#include "app/AppDelegate.h"
#include "app/ApplicationAdaptor.h"
#include "core/Log.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(LexwickPlugin)

namespace {

const QString applicationId = QStringLiteral("io.github.lexwick.Lexwick");
const QString objectPath = QStringLiteral("/io/github/lexwick/Lexwick");

// Asks the instance that holds the name to open its popover.
bool activateRunningInstance(QDBusConnection& bus)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        applicationId, objectPath, QStringLiteral("org.freedesktop.Application"),
        QStringLiteral("Activate"));
    call << QVariantMap();
    return bus.call(call).type() == QDBusMessage::ReplyMessage;
}

} // namespace

int main(int argc, char** argv)
{
    lexwick::logLine(QStringLiteral("main – starting"));
    // A popover needs no GPU context; the software renderer keeps the process small.
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lexwick"));
    QApplication::setApplicationVersion(QStringLiteral(LEXWICK_VERSION));
    QGuiApplication::setDesktopFileName(applicationId);
    QApplication::setQuitOnLastWindowClosed(false);

    lexwick::AppDelegate delegate;
    QObject dbusObject;
    new lexwick::ApplicationAdaptor(&dbusObject, delegate);

    // One instance per session: the object first, then the name; a taken name means another
    // instance runs, which opens its popover instead.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        bus.registerObject(objectPath, &dbusObject);
        if (!bus.registerService(applicationId)) {
            activateRunningInstance(bus);
            return 0;
        }
    }

    QMetaObject::invokeMethod(&delegate, &lexwick::AppDelegate::launch, Qt::QueuedConnection);
    return QApplication::exec();
}
